#include "widgets/singleTools/peopleNavPage/PeopleNavMainWidget.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
#include <qcustomplot.h>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "controls/AutoResizer.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "ui_PeopleNavMainWidget.h"
#include "widgets/singleTools/RecordingSwitch.h"
#include "workerThread/MessageIds.h"

namespace {
constexpr int kAutoZoomPeriodMs = 100;
constexpr int kExpiryPeriodMs = 500;
constexpr double kLabelIntervalS = 0.3;
// Samples still in flight from before a reset belong to the old track.
constexpr int kDropAfterClearMs = 1000;
constexpr double kMarkerHalf = 0.02;
constexpr qint64 kReplotIntervalNs = 40000000; // 0.04 s

QString Fixed(const char* caption, double value, int decimals)
{
    return QString::fromUtf8(caption) + QString::number(value, 'f', decimals);
}
}

const char* const PeopleNavMainWidget::kResetCommand = "AT+PDRRESET\r\n";

PeopleNavMainWidget::PeopleNavMainWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::PeopleNavMainWidget)
    , m_replot_tail(this, QStringLiteral("track_replot_tail"), [this] { Replot(); })
{
    ui->setupUi(this);
    InitAutoResize();
    InitPlot();
    InitAutoZoomTimer();
    RecvDataHandleManager* bus = RecvDataHandleManager::GetInstance();
    connect(bus, &RecvDataHandleManager::SignalSendMessageToPage, this,
            &PeopleNavMainWidget::slot_display_people_nav_value);
    // Nobody else ends this page's recording when the device goes away.
    connect(bus, &RecvDataHandleManager::SignalResetPage, this, &PeopleNavMainWidget::slot_device_gone);
    connect(bus, &RecvDataHandleManager::SignalSendMessageToPage, this, &PeopleNavMainWidget::slot_record_answer);
}

PeopleNavMainWidget::~PeopleNavMainWidget()
{
    m_auto_zoom_timer->stop();
    m_press_timer->stop();
    m_wheel_timer->stop();
    m_resizer.reset();
    // The track and the marker belong to the plot and go with it.
    delete ui;
    ui = nullptr;
}

void PeopleNavMainWidget::InitAutoResize()
{
    m_resizer = std::make_unique<AutoResizer>(this, width(), height());
    m_resizer->setAutoResizeFlag(AutoResizer::INCLUDE_LABEL | AutoResizer::INCLUDE_BUTTON
                                 | AutoResizer::INCLUDE_EDITOR | AutoResizer::INCLUDE_COMBOBOX);
    m_resizer->addAutoResizeItem(ui->custom_plot);
    m_resizer->doneAllResizeItem();
}

void PeopleNavMainWidget::InitPlot()
{
    QCustomPlot* plot = ui->custom_plot;
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables | QCP::iSelectAxes
                          | QCP::iSelectLegend);
    plot->legend->setVisible(false);
    plot->xAxis->setRange(-1, 1);
    plot->yAxis->setRange(-1, 1);

    m_track = new QCPCurve(plot->xAxis, plot->yAxis);
    m_track->setPen(QPen(QColor(Qt::green), 3));
    // A wide pen over thousands of points: joins drawn the fast way.
    plot->setPlottingHint(QCP::phFastPolylines, true);

    m_origin = new QCPItemRect(plot);
    m_origin->setBrush(QBrush(Qt::red));
    m_origin->setPen(QPen(Qt::red));
    InitZero();
}

void PeopleNavMainWidget::InitZero()
{
    m_origin->topLeft->setType(QCPItemPosition::ptPlotCoords);
    m_origin->bottomRight->setType(QCPItemPosition::ptPlotCoords);
    m_origin->topLeft->setCoords(-kMarkerHalf, kMarkerHalf);
    m_origin->bottomRight->setCoords(kMarkerHalf, -kMarkerHalf);
}

void PeopleNavMainWidget::InitAutoZoomTimer()
{
    connect(ui->custom_plot, &QCustomPlot::mouseWheel, this, &PeopleNavMainWidget::slot_on_mouse_wheel);
    connect(ui->custom_plot, &QCustomPlot::mousePress, this, &PeopleNavMainWidget::slot_on_mouse_press);

    m_auto_zoom_timer = new QTimer(this);
    m_press_timer = new QTimer(this);
    m_wheel_timer = new QTimer(this);
    connect(m_auto_zoom_timer, &QTimer::timeout, this, &PeopleNavMainWidget::slot_auto_zoom_tick);
    connect(m_press_timer, &QTimer::timeout, this, &PeopleNavMainWidget::slot_press_expiry_tick);
    connect(m_wheel_timer, &QTimer::timeout, this, &PeopleNavMainWidget::slot_wheel_expiry_tick);
}

PeopleNavPayload PeopleNavMainWidget::SampleFromVariant(const QVariant& var)
{
    const int type = qMetaTypeId<PeopleNavPayload>();
    if (var.userType() == type) {
        return var.value<PeopleNavPayload>();
    }
    if (var.isValid() && var.canConvert(type)) {
        QVariant copy = var;
        if (copy.convert(type)) {
            return copy.value<PeopleNavPayload>();
        }
    }
    PeopleNavPayload zero{};
    return zero;
}

// ---------------------------------------------------------------------------
// Reception

void PeopleNavMainWidget::slot_display_people_nav_value(int id, QVariant var1, QVariant /*var2*/)
{
    if (id == PAGE_MSG_CONNECTION && var1.isValid() && !var1.toBool()) {
        slot_device_gone();
        return;
    }
    if (id != PAGE_MSG_PEOPLE_NAV_DATA) {
        return;
    }
    if (!m_started) {
        m_auto_zoom_timer->start(kAutoZoomPeriodMs);
        m_wheel_timer->start(kExpiryPeriodMs);
        m_press_timer->start(kExpiryPeriodMs);
        m_started = true;
        m_start_ns = m_clock.NowNs();
    }
    const qint64 nowNs = m_clock.NowNs();
    const PeopleNavPayload sample = SampleFromVariant(var1);
    // Copied out of the packed record: its floats may sit unaligned.
    const float x = sample.pos_x;
    const float y = sample.pos_y;

    if (m_drop) {
        LOG_DEBUG() << QString::number(static_cast<double>(x)) + "  " + QString::number(static_cast<double>(y));
        return;
    }

    const double t = static_cast<double>(nowNs - m_start_ns) / 1e9;
    if (t - m_last_label_time > kLabelIntervalS) {
        UpdateLabels(sample);
        m_last_label_time = t;
    }

    // A position the device could not compute would stretch the axes to
    // nothing or break the line: such a sample is shown but not drawn.
    if (!std::isfinite(x) || !std::isfinite(y)) {
        LOG_DEBUG() << "track point skipped:" << x << y;
        return;
    }
    AddTrackPoint(static_cast<double>(x), static_cast<double>(y));
    const qint64 sinceReplot = nowNs - m_last_replot_ns;
    if (!m_replotted || sinceReplot > kReplotIntervalNs) {
        Replot();
    } else {
        m_replot_tail.Hold(kReplotIntervalNs - sinceReplot);
    }
}

void PeopleNavMainWidget::AddTrackPoint(double x, double y)
{
    // The curve mirrors the walk's thinned copy, changed in place where it
    // can be.
    switch (m_walk.Append(x, y)) {
    case WalkTrack::APPENDED:
        m_track->addData(m_walk.Drawn().last().x(), m_walk.Drawn().last().y());
        break;
    case WalkTrack::END_REPLACED: {
        auto last = m_track->data()->end() - 1;
        last->key = m_walk.Drawn().last().x();
        last->value = m_walk.Drawn().last().y();
        break;
    }
    case WalkTrack::REDRAWN: {
        const QVector<QPointF>& drawn = m_walk.Drawn();
        QVector<QCPCurveData> points;
        points.reserve(drawn.size());
        for (int i = 0; i < drawn.size(); ++i) {
            points.append(QCPCurveData(i, drawn.at(i).x(), drawn.at(i).y()));
        }
        m_track->data()->set(points, true);
        break;
    }
    case WalkTrack::DROPPED:
        break;
    }
}

void PeopleNavMainWidget::Replot()
{
    m_last_replot_ns = m_clock.NowNs();
    m_replotted = true;
    m_replot_tail.Done();
    ui->custom_plot->replot(QCustomPlot::rpQueuedReplot);
}

void PeopleNavMainWidget::UpdateLabels(const PeopleNavPayload& sample)
{
    ui->label_accx->setText(Fixed("ACCX：", sample.acc_x, 3));
    ui->label_accy->setText(Fixed("ACCY：", sample.acc_y, 3));
    ui->label_accz->setText(Fixed("ACCZ：", sample.acc_z, 3));
    ui->label_gyrox->setText(Fixed("GYROX：", sample.gyro_x, 3));
    ui->label_gyroy->setText(Fixed("GYROY：", sample.gyro_y, 3));
    ui->label_gyroz->setText(Fixed("GYROZ：", sample.gyro_z, 3));
    ui->label_roll->setText(Fixed("ROLL：", static_cast<int16_t>(sample.roll) / 100.0, 3));
    ui->label_pitch->setText(Fixed("PITCH：", static_cast<int16_t>(sample.pitch) / 100.0, 3));
    ui->label_yaw->setText(Fixed("YAW：", static_cast<int16_t>(sample.yaw) / 100.0, 3));
    ui->label_temp->setText(Fixed("TEMP：", sample.temperature, 2));
    ui->label_time_ms->setText(QStringLiteral("TIME_MS: ") + QString::number(sample.time));
    ui->label_pos0->setText(Fixed("pos[0]: ", sample.pos_x, 3));
    ui->label_pos1->setText(Fixed("pos[1]: ", sample.pos_y, 3));
    ui->label_pos2->setText(Fixed("pos[2]: ", sample.pos_z, 3));
    ui->label_zupt->setText(QStringLiteral("ZUPT: ") + QString::number(sample.zupt_flag));
}

void PeopleNavMainWidget::resizeEvent(QResizeEvent* event)
{
    if (m_resizer) {
        m_resizer->doAutoResize();
    }
    QWidget::resizeEvent(event);
}

// ---------------------------------------------------------------------------
// Auto-zoom with pause

void PeopleNavMainWidget::slot_auto_zoom_tick()
{
    if (m_paused) {
        return;
    }
    ui->custom_plot->yAxis->rescale(true);
    ui->custom_plot->xAxis->rescale(true);
}

void PeopleNavMainWidget::slot_on_mouse_wheel(QWheelEvent*)
{
    m_paused = true;
    m_wheel_flag = true;
    m_wheel_time = m_clock.NowMs();
    LOG_DEBUG() << "滚轮事件触发了";
}

void PeopleNavMainWidget::slot_on_mouse_press(QMouseEvent*)
{
    m_paused = true;
    m_press_flag = true;
    m_press_time = m_clock.NowMs();
    LOG_DEBUG() << "鼠标点击事件触发了" << m_press_time;
}

void PeopleNavMainWidget::slot_press_expiry_tick()
{
    if (m_press_flag && m_clock.NowMs() - m_press_time > static_cast<qint64>(m_delay_s) * 1000) {
        if (!m_wheel_flag) {
            m_paused = false;
        }
        m_press_flag = false;
    }
}

void PeopleNavMainWidget::slot_wheel_expiry_tick()
{
    if (m_wheel_flag && m_clock.NowMs() - m_wheel_time > static_cast<qint64>(m_delay_s) * 1000) {
        if (!m_press_flag) {
            m_paused = false;
        }
        m_wheel_flag = false;
    }
}

// ---------------------------------------------------------------------------
// Buttons

void PeopleNavMainWidget::on_btn_clear_track_clicked()
{
    if (!g_communicate_with_serial_flag) {
        DialogSeam::ShowCritical(this, QStringLiteral("错误"), QStringLiteral("未成功连接设备"));
    }
    ui->label->clear();
    m_walk.Clear();
    m_track->data()->clear();
    m_drop = true;
    ui->custom_plot->yAxis->setRange(-1, 1);
    ui->custom_plot->xAxis->setRange(-1, 1);
    InitZero();
    Replot();
    SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_SEND_RAW, QByteArray(kResetCommand),
                                                           QVariant());
    QTimer::singleShot(kDropAfterClearMs, this, [this] { m_drop = false; });
}

void PeopleNavMainWidget::slot_device_gone()
{
    // A recording left on would show "取消保存" over a file that no longer
    // grows, and the next press would only stop it.
    if (!g_people_nav_file_recording.exchange(false)) {
        return;
    }
    SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_RECORD_PEOPLE_NAV, QVariant(), QVariant());
    ui->btn_save_data->setText(QStringLiteral("保存数据文件"));
    LOG_INFO() << "设备断开，停止保存行人导航数据";
}

void PeopleNavMainWidget::slot_record_answer(int id, QVariant var1, QVariant var2)
{
    QString error;
    if (!RecordingSwitch::TakeFailure(IMU_MSG_RECORD_PEOPLE_NAV, &m_record_path, id, var1, var2, &error)) {
        return;
    }
    ui->btn_save_data->setText(QStringLiteral("保存数据文件"));
    DialogSeam::ShowWarning(this, QStringLiteral("警告"), RecordingSwitch::FailureMessage(error));
}

void PeopleNavMainWidget::on_btn_save_data_clicked()
{
    if (!g_communicate_with_serial_flag) {
        DialogSeam::ShowCritical(this, QStringLiteral("错误"), QStringLiteral("未成功连接设备"));
    }
    if (g_people_nav_file_recording) {
        RecordingSwitch::Stop(IMU_MSG_RECORD_PEOPLE_NAV);
        ui->btn_save_data->setText(QStringLiteral("保存数据文件"));
        return;
    }
    const QString proposed =
        g_imu_sn.Get() + "_" + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QString path = DialogSeam::GetSaveFileName(this, QStringLiteral("保存二进制数据"), proposed,
                                                     QStringLiteral("数据格式 (*.dat)"));
    if (path.isEmpty()) {
        return;
    }
    QString error;
    if (!RecordingSwitch::Start(IMU_MSG_RECORD_PEOPLE_NAV, path, &error)) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), error);
        return;
    }
    m_record_path = path;
    ui->btn_save_data->setText(QStringLiteral("取消保存"));
}
