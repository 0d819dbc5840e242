#include "widgets/singleTools/AHRSDataWidget.h"

#include <QComboBox>
#include <QDateTime>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
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
#include "ui_AHRSDataWidget.h"
#include "widgets/singleTools/AhrsSample.h"
#include "widgets/singleTools/RecordSpaceCheck.h"
#include "widgets/singleTools/RecordingSwitch.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"

namespace {
constexpr double kAddIntervalS = 0.01;
constexpr double kWindowS = 5.0;
constexpr int kParamOutputRate = 21; // the output-rate parameter's index

const char* const kExpandImage = ":/images/resources/images/Expand.png";
const char* const kCollapseImage = ":/images/resources/images/un-collapse-o.png";

// Series shown by graph g of each plot.
constexpr int kFirstSeriesOfPlot[3] = {AHRSDataWidget::SERIES_ACC_X, AHRSDataWidget::SERIES_GYRO_X,
                                       AHRSDataWidget::SERIES_ROLL};
constexpr int kGraphsOfPlot[3] = {3, 3, 4};

QString Fixed(const char* caption, double value, int decimals)
{
    return QString::fromUtf8(caption) + QString::number(value, 'f', decimals);
}
}

AHRSDataWidget::AHRSDataWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::AHRSDataWidget)
    , m_label_tail(this, QStringLiteral("label_refresh_tail"),
                   [this] { UpdateNumValue(m_latest_sample, PageTime()); })
{
    m_icon_recording = QStringLiteral(":/images/resources/images/button/dataRecording.png");
    m_icon_idle = QStringLiteral(":/images/resources/images/button/dataRecord.png");

    ui->setupUi(this);
    InitAutoZoomTimer();
    InitWidget();
    InitAutoResize();
    InitPlot();

    ui->label_record->setVisible(true);
    ui->comboBox1->installEventFilter(this);
    ui->comboBox_module_15->installEventFilter(this);
    ui->comboBox_module_16->installEventFilter(this);

    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            &AHRSDataWidget::slot_display_ahrs_value);
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            &AHRSDataWidget::slot_record_answer);

    ui->label_file_save_tip->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_save_dir = SettingManager::GetInstance()->GetPreAHRSDataSavePath();

    ui->widget_set->hide();
    ui->btn_set_customLayout->SetImageLabel(QPixmap(kCollapseImage));

    for (QWidget* w : {static_cast<QWidget*>(ui->label_mx), static_cast<QWidget*>(ui->label_my),
                       static_cast<QWidget*>(ui->label_mz), static_cast<QWidget*>(ui->label_6),
                       static_cast<QWidget*>(ui->label_frame_interval_units),
                       static_cast<QWidget*>(ui->label_lose_pkt), static_cast<QWidget*>(ui->label_time_sync),
                       static_cast<QWidget*>(ui->label_4), static_cast<QWidget*>(ui->spinBox_lose_pkt),
                       static_cast<QWidget*>(ui->btn_lose_pkt_start),
                       static_cast<QWidget*>(ui->btn_lose_pkt_reset),
                       static_cast<QWidget*>(ui->btn_open_time_sync_detect), static_cast<QWidget*>(ui->line),
                       static_cast<QWidget*>(ui->btn_select_data_rate)}) {
        w->hide();
    }
}

AHRSDataWidget::~AHRSDataWidget()
{
    delete m_panel; // its timers stop with it
    m_panel = nullptr;
    m_resizer.reset();
    delete ui;
    ui = nullptr;
}

void AHRSDataWidget::InitAutoZoomTimer()
{
    connect(ui->plot1, &QCustomPlot::mouseWheel, this, &AHRSDataWidget::slot_on_mouse_wheel_1);
    connect(ui->plot2, &QCustomPlot::mouseWheel, this, &AHRSDataWidget::slot_on_mouse_wheel_2);
    connect(ui->plot3, &QCustomPlot::mouseWheel, this, &AHRSDataWidget::slot_on_mouse_wheel_3);
    connect(ui->plot1, &QCustomPlot::mousePress, this, &AHRSDataWidget::slot_on_mouse_press_1);
    connect(ui->plot2, &QCustomPlot::mousePress, this, &AHRSDataWidget::slot_on_mouse_press_2);
    connect(ui->plot3, &QCustomPlot::mousePress, this, &AHRSDataWidget::slot_on_mouse_press_3);

    m_panel = new PlotPanel(this, {ui->plot1, ui->plot2, ui->plot3}, m_clock);
}

void AHRSDataWidget::InitWidget()
{
    ui->hs_ahrs_update_rate->setMaximum(100);
    ui->hs_ahrs_update_rate->setValue(100);
    ui->hs_label_update_rate->setMaximum(100);
    ui->hs_label_update_rate->setValue(100);
    ui->spinBox->setSingleStep(2);
    ui->spinBox->setMaximum(60);
    ui->spinBox->setValue(16);
    ui->spinBox_lose_pkt->setSingleStep(10);
    ui->spinBox_lose_pkt->setMaximum(1000);
    ui->spinBox_lose_pkt->setMinimum(1);
    ui->spinBox_lose_pkt->setValue(10);

    ui->btn_set_customLayout->StyleAsPanelToggle(this, QPixmap(kExpandImage),
                                                 QFont(QStringLiteral("大小"), 10, 87));

    ui->hs_ahrs_update_rate->setValue(100);
    ui->hs_label_update_rate->setValue(50);
    ui->spinBox->setValue(10);

    // A value equal to the form's own emits no change, so apply the settled
    // values once here: the page then shows 50.0hz, 5.0hz, 10s and 10 ms
    // whatever the form started with.
    on_hs_ahrs_update_rate_valueChanged(ui->hs_ahrs_update_rate->value());
    on_hs_label_update_rate_valueChanged(ui->hs_label_update_rate->value());
    on_spinBox_valueChanged(ui->spinBox->value());
    on_spinBox_lose_pkt_valueChanged(ui->spinBox_lose_pkt->value());
}

void AHRSDataWidget::InitAutoResize()
{
    m_resizer = std::make_unique<AutoResizer>(this, width(), height());
    m_resizer->setAutoResizeFlag(AutoResizer::INCLUDE_LABEL | AutoResizer::INCLUDE_BUTTON
                                 | AutoResizer::INCLUDE_EDITOR | AutoResizer::INCLUDE_COMBOBOX);
    for (QWidget* w : {static_cast<QWidget*>(ui->plot1), static_cast<QWidget*>(ui->plot2),
                       static_cast<QWidget*>(ui->plot3), ui->widget_set,
                       static_cast<QWidget*>(ui->hs_ahrs_update_rate),
                       static_cast<QWidget*>(ui->hs_label_update_rate), static_cast<QWidget*>(ui->spinBox),
                       static_cast<QWidget*>(ui->spinBox_lose_pkt), static_cast<QWidget*>(ui->line)}) {
        m_resizer->addAutoResizeItem(w);
    }
    m_resizer->doneAllResizeItem();
}

void AHRSDataWidget::InitPlot()
{
    ui->comboBox1->addItems({"All", "ax", "ay", "az"});
    ui->comboBox_module_15->addItems({"All", "gx", "gy", "gz"});
    ui->comboBox_module_16->addItems({"All", "roll", "pitch", "yaw", "temp"});

    ui->label_record->installEventFilter(this);
    ui->label_record->setPixmap(QPixmap(m_icon_idle));

    const QCP::Interactions interactions = QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables
        | QCP::iSelectAxes | QCP::iSelectLegend;
    for (int p = 0; p < 3; ++p) {
        Plot(p)->setInteractions(interactions);
        Plot(p)->axisRect(0)->setRangeZoomAxes(nullptr, Plot(p)->yAxis);
    }
    const char* const yLabels[3] = {"accel", "gyro", "attitude"};
    const double yRange[3] = {2, 100, 100};
    for (int p = 0; p < 3; ++p) {
        Plot(p)->xAxis->setLabel("t");
        Plot(p)->yAxis->setLabel(yLabels[p]);
        Plot(p)->legend->setVisible(true);
        Plot(p)->yAxis->setRange(-yRange[p], yRange[p]);
    }
    for (int p = 0; p < 3; ++p) {
        Plot(p)->axisRect(0)->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    }
    const QColor colours[4] = {Qt::red, Qt::blue, Qt::green, Qt::cyan};
    const char* const names[3][4] = {{"x", "y", "z", nullptr}, {"x", "y", "z", nullptr},
                                     {"roll", "pitch", "yaw", "temp"}};
    for (int p = 0; p < 3; ++p) {
        for (int g = 0; g < kGraphsOfPlot[p]; ++g) {
            QCPGraph* graph = Plot(p)->addGraph();
            graph->setName(names[p][g]);
            graph->setPen(QPen(colours[g]));
        }
    }
    m_panel->UseOwnTexts();
}

QCustomPlot* AHRSDataWidget::Plot(int plot) const
{
    switch (plot) {
    case 0:
        return ui->plot1;
    case 1:
        return ui->plot2;
    default:
        return ui->plot3;
    }
}

bool AHRSDataWidget::Grows(int plot, int graph) const
{
    const int index = m_series_index[plot];
    return index == 0 || index == graph + 1;
}

QString AHRSDataWidget::MsToBeijingTimeString(unsigned long ms)
{
    return TimeSyncReadout::MsToBeijingTimeString(ms);
}

// ---------------------------------------------------------------------------
// Reception

void AHRSDataWidget::slot_display_ahrs_value(int id, QVariant var1, QVariant /*var2*/)
{
    if (id == PAGE_MSG_AHRS_DATA) {
        HandleSample(var1);
    } else if (id == PAGE_MSG_AHRS_RECORD_STOPPED) {
        ui->label_record->setPixmap(QPixmap(m_icon_idle));
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_RECORD_AHRS, QVariant(), QVariant());
    }
}

void AHRSDataWidget::HandleSample(const QVariant& var1)
{
    if (!m_started) {
        m_started = true;
        m_start_ns = m_clock.NowNs();
        m_panel->StartTimers();
        LOG_DEBUG() << "开启任意缩放图表定时器";
    }

    const AhrsData sample = AhrsSampleFromVariant(var1);

    m_lose.SetEnabled(m_lose_pkt_check);
    if (m_lose.Feed(sample.MCU_TIME)) {
        ui->label_lose_pkt->setText(tr("丢包数：") + QString::number(m_lose.Count()));
    }

    const double t = PageTime();
    m_latest_sample = sample;

    m_acc_norm = std::sqrt(sample.acc_x * sample.acc_x + sample.acc_y * sample.acc_y + sample.acc_z * sample.acc_z);
    m_gyro_norm = std::sqrt(sample.gyro_x * sample.gyro_x + sample.gyro_y * sample.gyro_y
                            + sample.gyro_z * sample.gyro_z);

    m_series_index[0] = ui->comboBox1->currentIndex();
    m_series_index[1] = ui->comboBox_module_15->currentIndex();
    m_series_index[2] = ui->comboBox_module_16->currentIndex();

    if (t - m_last_add_time > kAddIntervalS) {
        AddDataToVec(sample, t);
    }
    if (t - m_last_plot_time > static_cast<double>(1.0f / m_plot_rate_hz)) {
        QMutexLocker locker(&m_plot_mutex);
        UpdatePlot(t);
    }
    const double labelInterval = static_cast<double>(1.0f / m_label_rate_hz);
    const double sinceLabel = t - m_last_label_time;
    if (sinceLabel > labelInterval) {
        UpdateNumValue(sample, t);
    } else {
        m_label_tail.Hold(static_cast<qint64>((labelInterval - sinceLabel) * 1e9));
    }
}

double AHRSDataWidget::PageTime() const
{
    return static_cast<double>(m_clock.NowNs() - m_start_ns) / 1e9;
}

void AHRSDataWidget::AddDataToVec(const AhrsData& sample, double t)
{
    for (AhrsSeries& series : m_series) {
        series.DropOldestWhenFull();
    }
    const float values[SERIES_COUNT] = {sample.acc_x,  sample.acc_y,  sample.acc_z, sample.gyro_x,
                                        sample.gyro_y, sample.gyro_z, sample.roll,  sample.pitch,
                                        sample.yaw,    sample.temperature};
    for (int p = 0; p < 3; ++p) {
        for (int g = 0; g < kGraphsOfPlot[p]; ++g) {
            if (Grows(p, g)) {
                const int id = kFirstSeriesOfPlot[p] + g;
                m_series[id].Append(t, static_cast<double>(values[id]));
            }
        }
    }
    m_last_add_time = t;
}

void AHRSDataWidget::UpdateNumValue(const AhrsData& sample, double t)
{
    ui->label_accx->setText(Fixed("ACCX：", sample.acc_x, 3));
    ui->label_accy->setText(Fixed("ACCY：", sample.acc_y, 3));
    ui->label_accz->setText(Fixed("ACCZ：", sample.acc_z, 3));
    ui->label_gyrox->setText(Fixed("GYROX：", sample.gyro_x, 3));
    ui->label_gyroy->setText(Fixed("GYROY：", sample.gyro_y, 3));
    ui->label_gyroz->setText(Fixed("GYROZ：", sample.gyro_z, 3));
    ui->label_roll->setText(Fixed("ROLL：", sample.roll, 4));
    ui->label_pitch->setText(Fixed("PITCH：", sample.pitch, 4));
    ui->label_yaw->setText(Fixed("YAW：", sample.yaw, 4));
    ui->label_ahrs_gyro_norm->setText(Fixed("GYR_NORM：", m_gyro_norm, 4));
    ui->label_acc_norm->setText(Fixed("ACC_NORM：", m_acc_norm, 4));
    ui->label_temp->setText(Fixed("TEMP：", sample.temperature, 3));
    ui->label_mcu_time->setText(QStringLiteral("MCU_TIME：") + QString::number(sample.MCU_TIME));
    if (m_time_sync_check) {
        ui->label_time_sync->setText(m_time_sync.Update(sample.MCU_TIME));
    }
    m_last_label_time = t;
    m_label_tail.Done();
}

void AHRSDataWidget::UpdatePlot(double t)
{
    for (int p = 0; p < 3; ++p) {
        QCustomPlot* plot = Plot(p);
        for (int g = 0; g < kGraphsOfPlot[p]; ++g) {
            const AhrsSeries& series = m_series[kFirstSeriesOfPlot[p] + g];
            if (Grows(p, g) && !series.keys.isEmpty() && !series.values.isEmpty()) {
                // Keys are page times, appended in order: already sorted.
                plot->graph(g)->setData(series.keys, series.values, true);
            }
        }
    }
    m_panel->Scroll(t, kWindowS);
    m_last_plot_time = t;
}

void AHRSDataWidget::ClearVec(QVector<double>& vec)
{
    vec.clear();
}

// ---------------------------------------------------------------------------
// Settings panel

void AHRSDataWidget::on_hs_ahrs_update_rate_valueChanged(int value)
{
    m_plot_rate_hz = static_cast<float>(std::max(value, 2)) * 0.5f;
    ui->label_ahrs_rate->setText(QString::number(static_cast<double>(m_plot_rate_hz), 'f', 1) + "hz");
}

void AHRSDataWidget::on_hs_label_update_rate_valueChanged(int value)
{
    m_label_rate_hz = static_cast<float>(std::max(value, 1) / 10.0);
    ui->label_rate->setText(QString::number(static_cast<double>(m_label_rate_hz), 'f', 1) + "hz");
}

void AHRSDataWidget::on_btn_set_customLayout_clicked()
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

void AHRSDataWidget::resizeEvent(QResizeEvent* event)
{
    if (m_resizer) {
        m_resizer->doAutoResize();
    }
    const QString& icon = g_ahrs_file_recording ? m_icon_recording : m_icon_idle;
    const int w = std::max(ui->label_record->width(), 1);
    const int h = std::max(ui->label_record->height(), 1);
    ui->label_record->setPixmap(ScaleImage(icon, static_cast<unsigned>(w), static_cast<unsigned>(h)));
    QWidget::resizeEvent(event);
}

bool AHRSDataWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (ui && watched == ui->label_record) {
        if (event->type() == QEvent::MouseButtonPress
            && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            return HandleRecordPress();
        }
        return false;
    }
    if (ui && (watched == ui->comboBox1 || watched == ui->comboBox_module_15 || watched == ui->comboBox_module_16)
        && event->type() == QEvent::MouseMove) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Plots: auto-zoom, pause and resume, reset

int AHRSDataWidget::ResumeDelayS() const
{
    return m_panel->ResumeDelayS();
}

bool AHRSDataWidget::IsPlotPaused(int plot) const
{
    return m_panel->IsPaused(plot);
}

void AHRSDataWidget::slot_on_mouse_wheel_1(QWheelEvent*) { m_panel->Pause(0, PlotPanel::MARK_WHEEL); }
void AHRSDataWidget::slot_on_mouse_wheel_2(QWheelEvent*) { m_panel->Pause(1, PlotPanel::MARK_WHEEL); }
void AHRSDataWidget::slot_on_mouse_wheel_3(QWheelEvent*) { m_panel->Pause(2, PlotPanel::MARK_WHEEL); }
void AHRSDataWidget::slot_on_mouse_press_1(QMouseEvent*) { m_panel->Pause(0, PlotPanel::MARK_PRESS); }
void AHRSDataWidget::slot_on_mouse_press_2(QMouseEvent*) { m_panel->Pause(1, PlotPanel::MARK_PRESS); }
void AHRSDataWidget::slot_on_mouse_press_3(QMouseEvent*) { m_panel->Pause(2, PlotPanel::MARK_PRESS); }
void AHRSDataWidget::slot_auto_zoom_tick() { m_panel->AutoZoomTick(); }
void AHRSDataWidget::slot_press_resume_tick() { m_panel->PressResumeTick(); }
void AHRSDataWidget::slot_wheel_resume_tick() { m_panel->WheelResumeTick(); }

void AHRSDataWidget::on_spinBox_valueChanged(int value)
{
    if (value != 0) {
        m_panel->SetResumeDelayS(value);
        m_panel->SetAutoZoom(true);
        ui->label_ahrs_rate_2->setText(QString::number(value) + "s");
    } else {
        ui->label_ahrs_rate_2->setText(QStringLiteral("关闭自适应刷新"));
        m_panel->SetAutoZoom(false);
    }
}

void AHRSDataWidget::on_btn_reset_data_clicked()
{
    {
        QMutexLocker locker(&m_plot_mutex);
        for (AhrsSeries& series : m_series) {
            series.count = 0;
            ClearVec(series.keys);
            ClearVec(series.values);
        }
    }
    const double yRange[3] = {2, 100, 100};
    for (int p = 0; p < 3; ++p) {
        QCustomPlot* plot = Plot(p);
        for (int g = 0; g < plot->graphCount(); ++g) {
            plot->graph(g)->data()->clear();
        }
        plot->yAxis->setRange(-yRange[p], yRange[p]);
    }
    for (int p = 0; p < 3; ++p) {
        Plot(p)->replot(QCustomPlot::rpRefreshHint);
    }
}

// ---------------------------------------------------------------------------
// Recording, packet loss, TIME_SYNC, output rate

QString AHRSDataWidget::DefaultRecordFileName() const
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QString name = g_imu_sn.Get() + "_" + stamp;
    return m_save_dir.isEmpty() ? name : m_save_dir + "/" + name;
}

bool AHRSDataWidget::HandleRecordPress()
{
    if (!g_communicate_with_serial_flag) {
        DialogSeam::ShowCritical(this, QStringLiteral("错误"), QStringLiteral("未成功连接设备"));
    }

    if (!g_ahrs_file_recording) {
        const QString path = DialogSeam::GetSaveFileName(this, tr("保存二进制数据"), DefaultRecordFileName(),
                                                         tr("数据格式 (*.dat)"));
        if (path.isEmpty()) {
            return false;
        }
        const RecordSpaceCheck::Result space = RecordSpaceCheck::Check(path);
        if (!space.allowed) {
            DialogSeam::ShowWarning(this, QStringLiteral("警告"), space.message);
            return false;
        }
        QString error;
        if (!RecordingSwitch::Start(IMU_MSG_RECORD_AHRS, path, &error)) {
            DialogSeam::ShowWarning(this, QStringLiteral("警告"), error);
            return false;
        }
        m_record_path = path;
        ui->label_record->setPixmap(QPixmap(m_icon_recording));
        ui->label_file_save_tip->setText(QStringLiteral("数据保存路径: ") + path);
        LOG_INFO() << QStringLiteral("AHRS数据保存路径: ") + path;
        m_save_dir = path.left(path.lastIndexOf('/'));
        SettingManager::GetInstance()->SetPreAHRSDataSavePath(m_save_dir);
        return true;
    }

    const QMessageBox::StandardButton answer = DialogSeam::AskQuestion(
        this, tr("确认对话框"), tr("请确认是否停止采集数据"), QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        LOG_DEBUG() << "取消";
        return false;
    }
    LOG_DEBUG() << "确定停止";
    ui->label_record->setPixmap(QPixmap(m_icon_idle));
    RecordingSwitch::Stop(IMU_MSG_RECORD_AHRS);
    LOG_INFO() << "取消保存AHRS数据";
    return true;
}

void AHRSDataWidget::slot_record_answer(int id, QVariant var1, QVariant var2)
{
    QString error;
    if (!RecordingSwitch::TakeFailure(IMU_MSG_RECORD_AHRS, &m_record_path, id, var1, var2, &error)) {
        return;
    }
    // The worker has closed the file; the page stops showing a recording
    // and says what was lost.
    ui->label_record->setPixmap(QPixmap(m_icon_idle));
    ui->label_file_save_tip->setText(error);
    DialogSeam::ShowWarning(this, QStringLiteral("警告"), RecordingSwitch::FailureMessage(error));
}

void AHRSDataWidget::on_btn_lose_pkt_start_clicked()
{
    if (ui->btn_lose_pkt_start->text() == QStringLiteral("开启")) {
        m_lose_pkt_check = true;
        m_lose.ResetCount();
        ui->btn_lose_pkt_start->setText(QStringLiteral("关闭"));
        ui->label_lose_pkt->setText(tr("丢包数：") + "0");
    } else {
        m_lose_pkt_check = false;
        ui->btn_lose_pkt_start->setText(QStringLiteral("开启"));
        ui->label_lose_pkt->setText(tr("丢包数：N/A"));
    }
    m_lose.SetEnabled(m_lose_pkt_check);
}

void AHRSDataWidget::on_btn_lose_pkt_reset_clicked()
{
    m_lose.ResetCount();
    ui->label_lose_pkt->setText(tr("丢包数：") + "0");
}

void AHRSDataWidget::on_spinBox_lose_pkt_valueChanged(int value)
{
    m_lose.SetFrameIntervalMs(value);
}

void AHRSDataWidget::on_btn_open_time_sync_detect_clicked()
{
    LOG_DEBUG() << static_cast<unsigned int>(g_data_rate.load());
    if (ui->btn_open_time_sync_detect->text() == QStringLiteral("开启")) {
        m_time_sync_check = true;
        ui->btn_open_time_sync_detect->setText(QStringLiteral("关闭"));
    } else {
        m_time_sync_check = false;
        ui->btn_open_time_sync_detect->setText(QStringLiteral("开启"));
        ui->label_time_sync->setText(QStringLiteral("TIME_SYNC：N/A"));
    }
}

void AHRSDataWidget::on_btn_select_data_rate_clicked()
{
    // command id, f1, f2, u1, u2, i1, i2
    const QList<QVariant> list = {QVariant(int(CMD_GET_PARAM)), QVariant(0), QVariant(0),
                                  QVariant(kParamOutputRate), QVariant(0), QVariant(0), QVariant(0)};
    for (int i = 0; i < 10; ++i) {
        SerialPortManager::GetInstance()->SendCommand(list);
        MSleepNonBlock(3);
    }
}
