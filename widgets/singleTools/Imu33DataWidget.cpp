#include "widgets/singleTools/Imu33DataWidget.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
#include <cstring>
#include <qcustomplot.h>

#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "controls/AutoResizer.h"
#include "controls/LockerButton.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "ui_Imu33DataWidget.h"
#include "widgets/singleTools/RecordingSwitch.h"
#include "workerThread/MessageIds.h"

namespace {
constexpr double kAddIntervalS = 0.01;
constexpr double kWindowS = 5.0;
constexpr int kRecordWords = 7; // acc x, y, z, gyro x, y, z, temperature

const char* const kExpandImage = ":/images/resources/images/Expand.png";
const char* const kCollapseImage = ":/images/resources/images/un-collapse-o.png";
const char* const kIdleImage = ":/images/resources/images/button/dataRecord.png";
const char* const kRecordingImage = ":/images/resources/images/button/dataRecording.png";

// Plot and graph of each series.
struct SeriesPlace
{
    int plot;
    int graph;
};
constexpr SeriesPlace kPlace[Imu33DataWidget::SERIES_COUNT] = {
    {0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 1}, {1, 2}, {2, 0}};
constexpr int kGraphsOfPlot[3] = {4, 3, 1};

QString Fixed(const char* caption, double value, int decimals)
{
    return QString::fromUtf8(caption) + QString::number(value, 'f', decimals);
}
}

Imu33DataWidget::Imu33DataWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::Imu33DataWidget)
    , m_label_tail(this, QStringLiteral("label_refresh_tail"),
                   [this] { UpdateNumValue(m_latest_record.data(), PageTime()); })
{
    ui->setupUi(this);
    initWidget();
    InitAutoZoomTimer();

    RecvDataHandleManager* bus = RecvDataHandleManager::GetInstance();
    connect(bus, &RecvDataHandleManager::SignalSendMessageToPage, this,
            &Imu33DataWidget::slot_display_ahrs_array_value);
    // The connect widget ends a running recording when the device goes away;
    // the record button must then stop showing it as running.
    connect(bus, &RecvDataHandleManager::SignalResetPage, this, &Imu33DataWidget::slot_reset_page);
    connect(bus, &RecvDataHandleManager::SignalSendMessageToPage, this, &Imu33DataWidget::slot_record_answer);

    InitSetWidget();
    InitAutoResize();

    ui->label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_save_dir = SettingManager::GetInstance()->GetPreAHRSDataSavePath();
    ui->widget_set->hide();
    ui->btn_set_customLayout->SetImageLabel(QPixmap(kCollapseImage));
}

Imu33DataWidget::~Imu33DataWidget()
{
    delete m_panel; // its timers stop with it
    m_panel = nullptr;
    m_resizer.reset();
    delete ui;
    ui = nullptr;
}

void Imu33DataWidget::initWidget()
{
    ui->comboBox_module_27->addItems({"All", "ax", "ay", "az", "norm"});
    ui->comboBox_module_26->addItems({"All", "gx", "gy", "gz"});
    QStringList modules;
    for (int i = 0; i < kModuleCount; ++i) {
        modules << QString::number(i);
    }
    ui->comboBox_module_9imu_select->addItems(modules);
    ui->comboBox_module_28->addItem("temp");
    for (QComboBox* box : {ui->comboBox_module_27, ui->comboBox_module_26, ui->comboBox_module_9imu_select,
                           ui->comboBox_module_28}) {
        box->setCurrentIndex(0);
    }

    const QCP::Interactions interactions = QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables
        | QCP::iSelectAxes | QCP::iSelectLegend;
    for (int p = 0; p < 3; ++p) {
        QCustomPlot* plot = Plot(p);
        plot->setInteractions(interactions);
        plot->xAxis->setLabel("t");
        plot->legend->setVisible(true);
        plot->axisRect(0)->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    }
    const char* const yLabels[3] = {"accel", "gyro", "temp"};
    const double yRange[3] = {2, 2, 100};
    const char* const names[3][4] = {{"x", "y", "z", "norm"}, {"x", "y", "z", nullptr}, {"temp", nullptr, nullptr, nullptr}};
    const QColor xyzColours[4] = {Qt::red, Qt::blue, Qt::green, Qt::cyan};
    for (int p = 0; p < 3; ++p) {
        QCustomPlot* plot = Plot(p);
        plot->yAxis->setLabel(yLabels[p]);
        plot->yAxis->setRange(-yRange[p], yRange[p]);
        for (int g = 0; g < kGraphsOfPlot[p]; ++g) {
            QCPGraph* graph = plot->addGraph();
            graph->setName(names[p][g]);
            graph->setPen(QPen(p == 2 ? QColor(Qt::cyan) : xyzColours[g], 1));
        }
    }
}

void Imu33DataWidget::InitAutoZoomTimer()
{
    connect(ui->nine_imu_plot1, &QCustomPlot::mouseWheel, this, &Imu33DataWidget::slot_on_mouse_wheel_1);
    connect(ui->nine_imu_plot2, &QCustomPlot::mouseWheel, this, &Imu33DataWidget::slot_on_mouse_wheel_2);
    connect(ui->nine_imu_plot3, &QCustomPlot::mouseWheel, this, &Imu33DataWidget::slot_on_mouse_wheel_3);
    connect(ui->nine_imu_plot1, &QCustomPlot::mousePress, this, &Imu33DataWidget::slot_on_mouse_press_1);
    connect(ui->nine_imu_plot2, &QCustomPlot::mousePress, this, &Imu33DataWidget::slot_on_mouse_press_2);
    connect(ui->nine_imu_plot3, &QCustomPlot::mousePress, this, &Imu33DataWidget::slot_on_mouse_press_3);

    m_panel = new PlotPanel(this, {ui->nine_imu_plot1, ui->nine_imu_plot2, ui->nine_imu_plot3}, m_clock);
    m_panel->UseOwnTexts();
}

void Imu33DataWidget::InitSetWidget()
{
    ui->hs_ahrs_update_rate->setMaximum(100);
    ui->hs_ahrs_update_rate->setValue(100);
    ui->hs_label_update_rate->setMaximum(100);
    ui->hs_label_update_rate->setValue(100);
    ui->spinBox->setSingleStep(2);
    ui->spinBox->setMaximum(60);

    QFont font = ui->btn_set_customLayout->GetTextHandle()->font();
    font.setPointSize(10);
    font.setWeight(87);
    ui->btn_set_customLayout->StyleAsPanelToggle(this, QPixmap(kExpandImage), font);

    ui->hs_label_update_rate->setValue(50);
    ui->spinBox->setValue(10);

    // A value equal to the form's own emits no change: apply the settled
    // values once so that the read-outs and the timer follow them.
    on_hs_ahrs_update_rate_valueChanged(ui->hs_ahrs_update_rate->value());
    on_hs_label_update_rate_valueChanged(ui->hs_label_update_rate->value());
    on_spinBox_valueChanged(ui->spinBox->value());
}

void Imu33DataWidget::InitAutoResize()
{
    m_resizer = std::make_unique<AutoResizer>(this, width(), height());
    m_resizer->setAutoResizeFlag(AutoResizer::INCLUDE_LABEL | AutoResizer::INCLUDE_BUTTON
                                 | AutoResizer::INCLUDE_EDITOR | AutoResizer::INCLUDE_COMBOBOX);
    for (QWidget* w : {static_cast<QWidget*>(ui->nine_imu_plot1), static_cast<QWidget*>(ui->nine_imu_plot2),
                       static_cast<QWidget*>(ui->nine_imu_plot3), ui->widget_set,
                       static_cast<QWidget*>(ui->hs_ahrs_update_rate),
                       static_cast<QWidget*>(ui->hs_label_update_rate), static_cast<QWidget*>(ui->spinBox)}) {
        m_resizer->addAutoResizeItem(w);
    }
    m_resizer->doneAllResizeItem();
}

QCustomPlot* Imu33DataWidget::Plot(int plot) const
{
    switch (plot) {
    case 0:
        return ui->nine_imu_plot1;
    case 1:
        return ui->nine_imu_plot2;
    default:
        return ui->nine_imu_plot3;
    }
}

bool Imu33DataWidget::Selected(int series) const
{
    switch (series) {
    case SERIES_ACC_X:
    case SERIES_ACC_Y:
    case SERIES_ACC_Z:
    case SERIES_ACC_NORM:
        return m_acc_select == 0 || m_acc_select == series - SERIES_ACC_X + 1;
    case SERIES_GYRO_X:
    case SERIES_GYRO_Y:
    case SERIES_GYRO_Z:
        return m_gyro_select == 0 || m_gyro_select == series - SERIES_GYRO_X + 1;
    default:
        return m_temp_select == 0;
    }
}

bool Imu33DataWidget::IsAutoZoomRunning() const
{
    return m_panel->IsAutoZoomRunning();
}

int Imu33DataWidget::AutoZoomDelayS() const
{
    return m_panel->ResumeDelayS();
}

bool Imu33DataWidget::IsPlotPaused(int plot) const
{
    return m_panel->IsPaused(plot);
}

AhrsArrayData Imu33DataWidget::SampleFromVariant(const QVariant& var)
{
    const int type = qMetaTypeId<AhrsArrayData>();
    if (var.userType() == type) {
        return var.value<AhrsArrayData>();
    }
    if (var.isValid() && var.canConvert(type)) {
        QVariant copy = var;
        if (copy.convert(type)) {
            return copy.value<AhrsArrayData>();
        }
    }
    AhrsArrayData zero{};
    return zero;
}

// ---------------------------------------------------------------------------
// Reception

void Imu33DataWidget::slot_display_ahrs_array_value(int id, QVariant var1, QVariant /*var2*/)
{
    if (id != PAGE_MSG_IMU33_DATA) {
        return;
    }
    const AhrsArrayData sample = SampleFromVariant(var1);
    // The payload is packed: copy the shown module's words out rather than
    // reading floats in place.
    float record[kRecordWords];
    static_assert(sizeof(ImuUnitData) == sizeof(record), "seven words per module");
    std::memcpy(record, &sample.imu[m_module_index], sizeof(record));
    static_assert(sizeof(m_latest_record) == sizeof(record), "seven words per module");
    std::memcpy(m_latest_record.data(), record, sizeof(record));

    m_acc_norm = std::sqrt(record[0] * record[0] + record[1] * record[1] + record[2] * record[2]);

    if (!m_started) {
        m_started = true;
        m_start_ns = m_clock.NowNs();
        m_panel->StartTimers();
        LOG_DEBUG() << "开启任意缩放图表定时器";
    }
    const double t = PageTime();

    m_acc_select = ui->comboBox_module_27->currentIndex();
    m_gyro_select = ui->comboBox_module_26->currentIndex();
    m_temp_select = ui->comboBox_module_28->currentIndex();

    if (t - m_last_add_time > kAddIntervalS) {
        AddDataToVec(record, t);
    }
    if (t - m_last_plot_time > static_cast<double>(1.0f / m_plot_rate_hz)) {
        UpdatePlot(t);
    }
    const double labelInterval = static_cast<double>(1.0f / m_label_rate_hz);
    const double sinceLabel = t - m_last_label_time;
    if (sinceLabel > labelInterval) {
        UpdateNumValue(record, t);
    } else {
        m_label_tail.Hold(static_cast<qint64>((labelInterval - sinceLabel) * 1e9));
    }
}

double Imu33DataWidget::PageTime() const
{
    return static_cast<double>(m_clock.NowNs() - m_start_ns) / 1e9;
}

void Imu33DataWidget::AddDataToVec(const float* record, double t)
{
    for (AhrsSeries& series : m_series) {
        series.DropOldestWhenFull();
    }
    const double values[SERIES_COUNT] = {record[0], record[1], record[2], m_acc_norm,
                                         record[3], record[4], record[5], record[6]};
    for (int s = 0; s < SERIES_COUNT; ++s) {
        if (Selected(s)) {
            m_series[s].Append(t, values[s]);
        }
    }
    m_last_add_time = t;
}

void Imu33DataWidget::UpdatePlot(double t)
{
    for (int s = 0; s < SERIES_COUNT; ++s) {
        const AhrsSeries& series = m_series[s];
        if (Selected(s) && !series.keys.isEmpty() && !series.values.isEmpty()) {
            // Keys are page times, appended in order: already sorted.
            Plot(kPlace[s].plot)->graph(kPlace[s].graph)->setData(series.keys, series.values, true);
        }
    }
    m_panel->Scroll(t, kWindowS);
    m_last_plot_time = t;
}

void Imu33DataWidget::UpdateNumValue(const float* record, double t)
{
    ui->label_accx->setText(Fixed("ACCX：", record[0], 3));
    ui->label_accy->setText(Fixed("ACCY：", record[1], 3));
    ui->label_accz->setText(Fixed("ACCZ：", record[2], 3));
    ui->label_gyrox->setText(Fixed("GYROX：", record[3], 3));
    ui->label_gyroy->setText(Fixed("GYROY：", record[4], 3));
    ui->label_gyroz->setText(Fixed("GYROZ：", record[5], 3));
    ui->label_acc_norm->setText(Fixed("ACC_NORM：", m_acc_norm, 4));
    ui->label_temp->setText(Fixed("TEMP：", record[6], 2));
    m_last_label_time = t;
    m_label_tail.Done();
}

void Imu33DataWidget::on_comboBox_module_9imu_select_currentIndexChanged(int index)
{
    // An emptied selector reports -1; the record of a module that does not
    // exist must never be read.
    if (index < 0 || index >= kModuleCount) {
        return;
    }
    m_module_index = static_cast<uint8_t>(index);
    LOG_DEBUG() << "nine_imu_select:" << index;
}

// ---------------------------------------------------------------------------
// Settings panel

void Imu33DataWidget::on_hs_ahrs_update_rate_valueChanged(int value)
{
    m_plot_rate_hz = static_cast<float>(std::max(value, 2)) * 0.5f;
    ui->label_ahrs_rate->setText(QString::number(static_cast<double>(m_plot_rate_hz), 'f', 1) + "hz");
}

void Imu33DataWidget::on_hs_label_update_rate_valueChanged(int value)
{
    m_label_rate_hz = static_cast<float>(std::max(value, 1) / 10.0);
    ui->label_rate->setText(QString::number(static_cast<double>(m_label_rate_hz), 'f', 1) + "hz");
}

void Imu33DataWidget::on_spinBox_valueChanged(int arg1)
{
    if (arg1 != 0) {
        m_panel->SetResumeDelayS(arg1);
        m_panel->SetAutoZoom(true);
        ui->label_ahrs_rate_2->setText(QString::number(arg1) + "s");
    } else {
        ui->label_ahrs_rate_2->setText(QStringLiteral("关闭自适应刷新"));
        m_panel->SetAutoZoom(false);
    }
}

void Imu33DataWidget::on_btn_set_customLayout_clicked()
{
    if (ui->widget_set->isHidden()) {
        ui->widget_set->show();
        ui->widget_set->raise();
        ui->btn_set_customLayout->SetImageLabel(QPixmap(kExpandImage));
    } else {
        ui->widget_set->hide();
        ui->btn_set_customLayout->SetImageLabel(QPixmap(kCollapseImage));
    }
}

void Imu33DataWidget::resizeEvent(QResizeEvent* event)
{
    if (m_resizer) {
        m_resizer->doAutoResize();
    }
    const QRect r = ui->btn_save_33imu_data->geometry();
    ui->btn_save_33imu_data->setGeometry(r.x(), r.y(), r.width(), r.width());
    QWidget::resizeEvent(event);
}

// ---------------------------------------------------------------------------
// Auto-zoom with pause

void Imu33DataWidget::slot_on_mouse_wheel_1(QWheelEvent*) { m_panel->Pause(0, PlotPanel::MARK_WHEEL); LOG_DEBUG() << "滚轮事件触发了"; }
void Imu33DataWidget::slot_on_mouse_wheel_2(QWheelEvent*) { m_panel->Pause(1, PlotPanel::MARK_WHEEL); LOG_DEBUG() << "滚轮事件触发了"; }
void Imu33DataWidget::slot_on_mouse_wheel_3(QWheelEvent*) { m_panel->Pause(2, PlotPanel::MARK_WHEEL); LOG_DEBUG() << "滚轮事件触发了"; }

void Imu33DataWidget::slot_on_mouse_press_1(QMouseEvent*)
{
    m_panel->Pause(0, PlotPanel::MARK_PRESS);
    LOG_DEBUG() << "鼠标点击事件触发了" << m_clock.NowMs();
}

void Imu33DataWidget::slot_on_mouse_press_2(QMouseEvent*)
{
    m_panel->Pause(1, PlotPanel::MARK_PRESS);
    LOG_DEBUG() << "鼠标点击事件触发了" << m_clock.NowMs();
}

void Imu33DataWidget::slot_on_mouse_press_3(QMouseEvent*)
{
    m_panel->Pause(2, PlotPanel::MARK_PRESS);
    LOG_DEBUG() << "鼠标点击事件触发了" << m_clock.NowMs();
}

void Imu33DataWidget::slot_auto_zoom_tick() { m_panel->AutoZoomTick(); }
void Imu33DataWidget::slot_press_expiry_tick() { m_panel->PressResumeTick(); }
void Imu33DataWidget::slot_wheel_expiry_tick() { m_panel->WheelResumeTick(); }

// ---------------------------------------------------------------------------
// Recording

void Imu33DataWidget::ShowRecordImage(bool recording)
{
    ui->btn_save_33imu_data->setStyleSheet(
        QStringLiteral("QPushButton{border-image:url(%1);border:none;background-color:transparent;}")
            .arg(QString::fromUtf8(recording ? kRecordingImage : kIdleImage)));
}

void Imu33DataWidget::slot_reset_page()
{
    if (!g_33imu_file_recording) {
        ShowRecordImage(false);
    }
}

void Imu33DataWidget::slot_record_answer(int id, QVariant var1, QVariant var2)
{
    QString error;
    if (!RecordingSwitch::TakeFailure(IMU_MSG_RECORD_IMU33, &m_record_path, id, var1, var2, &error)) {
        return;
    }
    ShowRecordImage(false);
    ui->label->setText(error);
    DialogSeam::ShowWarning(this, QStringLiteral("警告"), RecordingSwitch::FailureMessage(error));
}

void Imu33DataWidget::on_btn_save_33imu_data_clicked()
{
    if (!g_communicate_with_serial_flag) {
        DialogSeam::ShowCritical(this, QStringLiteral("错误"), QStringLiteral("未成功连接设备"));
    }

    if (g_33imu_file_recording) {
        const QMessageBox::StandardButton answer =
            DialogSeam::AskQuestion(this, QStringLiteral("确认对话框"), QStringLiteral("请确认是否停止采集数据"),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            LOG_DEBUG() << "取消";
            return;
        }
        LOG_DEBUG() << "确定停止";
        ShowRecordImage(false);
        RecordingSwitch::Stop(IMU_MSG_RECORD_IMU33);
        return;
    }

    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    QString proposed = g_imu_sn.Get() + "_" + stamp;
    if (!m_save_dir.isEmpty()) {
        proposed = m_save_dir + "/" + proposed;
    }
    const QString path = DialogSeam::GetSaveFileName(this, QStringLiteral("保存二进制数据"), proposed,
                                                     QStringLiteral("数据格式 (*.dat)"));
    if (path.isEmpty()) {
        return;
    }
    QString error;
    if (!RecordingSwitch::Start(IMU_MSG_RECORD_IMU33, path, &error)) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), error);
        return;
    }
    m_record_path = path;
    ShowRecordImage(true);
    const int slash = path.lastIndexOf('/');
    m_save_dir = slash >= 0 ? path.left(slash) : QString();
    SettingManager::GetInstance()->SetPreAHRSDataSavePath(m_save_dir);
    ui->label->setText(QStringLiteral("数据保存路径：") + path);
}
