#include "widgets/singleTools/InstrumentWidget.h"

#include <QResizeEvent>

#include "controls/AutoResizer.h"
#include "manager/RecvDataHandleManager.h"
#include "ui_InstrumentWidget.h"
#include "widgets/singleTools/AhrsSample.h"
#include "workerThread/MessageIds.h"

namespace {
constexpr qint64 kDialIntervalNs = 30000000;   // 0.03 s
constexpr qint64 kLabelIntervalNs = 200000000; // 0.2 s

QString Readout(const char* prefix, float value, int decimals)
{
    return QString::fromUtf8(prefix) + QString::number(static_cast<double>(value), 'f', decimals);
}
}

InstrumentWidget::InstrumentWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::InstrumentWidget)
    , m_dial_tail(this, QStringLiteral("dial_refresh_tail"), [this] { ShowDials(m_latest); })
    , m_label_tail(this, QStringLiteral("label_refresh_tail"), [this] { ShowLabels(m_latest); })
{
    ui->setupUi(this);
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            &InstrumentWidget::slot_display_ahrs_value);
    InitAutoResize();
}

InstrumentWidget::~InstrumentWidget()
{
    m_resizer.reset();
    delete ui;
}

void InstrumentWidget::InitAutoResize()
{
    m_resizer = std::make_unique<AutoResizer>(this, width(), height());
    m_resizer->setAutoResizeFlag(AutoResizer::INCLUDE_LABEL | AutoResizer::INCLUDE_BUTTON
                                 | AutoResizer::INCLUDE_EDITOR | AutoResizer::INCLUDE_COMBOBOX);
    m_resizer->addAutoResizeItem(ui->widgetHSI);
    m_resizer->addAutoResizeItem(ui->widgetPFD);
    m_resizer->doneAllResizeItem();
}

void InstrumentWidget::resizeEvent(QResizeEvent* event)
{
    m_resizer->doAutoResize();
    QWidget::resizeEvent(event);
}

void InstrumentWidget::slot_display_ahrs_value(int id, QVariant var1, QVariant /*var2*/)
{
    if (id != PAGE_MSG_AHRS_DATA) {
        return;
    }
    const qint64 now = m_clock.NowNs();
    m_latest = AhrsSampleFromVariant(var1);

    const qint64 sinceDials = now - m_last_dial_ns;
    if (!m_dials_shown || sinceDials > kDialIntervalNs) {
        ShowDials(m_latest);
    } else {
        m_dial_tail.Hold(kDialIntervalNs - sinceDials);
    }
    const qint64 sinceLabels = now - m_last_refresh_ns;
    if (!m_refreshed || sinceLabels > kLabelIntervalNs) {
        ShowLabels(m_latest);
    } else {
        m_label_tail.Hold(kLabelIntervalNs - sinceLabels);
    }
}

void InstrumentWidget::ShowDials(const AhrsData& sample)
{
    ui->widgetPFD->updateRoll(sample.roll);
    ui->widgetPFD->updatePitch(sample.pitch);
    ui->widgetHSI->updateHeading(sample.yaw);
    m_last_dial_ns = m_clock.NowNs();
    m_dials_shown = true;
    m_dial_tail.Done();
}

void InstrumentWidget::ShowLabels(const AhrsData& sample)
{
    ui->label_1011->setText(Readout("ACCX：", sample.acc_x, 3));
    ui->label_1014->setText(Readout("ACCY：", sample.acc_y, 3));
    ui->label_1018->setText(Readout("ACCZ：", sample.acc_z, 3));
    ui->label_1012->setText(Readout("GYROX：", sample.gyro_x, 3));
    ui->label_1015->setText(Readout("GYROY：", sample.gyro_y, 3));
    ui->label_1019->setText(Readout("GYROZ：", sample.gyro_z, 3));
    ui->label_1013->setText(Readout("ROLL：", sample.roll, 4));
    ui->label_1016->setText(Readout("PITCH：", sample.pitch, 2));
    ui->label_1020->setText(Readout("YAW：", sample.yaw, 2));
    ui->label_1021->setText(Readout("TEMP：", sample.temperature, 2));
    m_last_refresh_ns = m_clock.NowNs();
    m_refreshed = true;
    m_label_tail.Done();
}
