#include "controls/TimeRunningWidget.h"

#include <QFont>
#include <QPainter>
#include <QTimer>

TimeRunningWidget::TimeRunningWidget(QWidget* parent)
    : QWidget(parent)
{
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &TimeRunningWidget::slot_tick);
}

void TimeRunningWidget::StartRun()
{
    if (!m_timer->isActive()) {
        m_timer->start();
    }
}

void TimeRunningWidget::StopRun()
{
    if (m_timer->isActive()) {
        m_timer->stop();
    }
}

bool TimeRunningWidget::IsRunning() const
{
    return m_timer->isActive();
}

void TimeRunningWidget::ClearTime()
{
    StopRun();
    m_time = QTime(0, 0, 0, 0);
    m_text = m_time.toString("hh:mm:ss");
    update();
}

void TimeRunningWidget::SetElapsedTime(const QTime& time)
{
    m_time = time.isValid() ? QTime(time.hour(), time.minute(), time.second()) : QTime(0, 0, 0, 0);
    m_text = m_time.toString("hh:mm:ss");
    update();
}

void TimeRunningWidget::slot_tick()
{
    // QTime wraps past 23:59:59 back to 00:00:00.
    m_time = m_time.addSecs(1);
    m_text = m_time.toString("hh:mm:ss");
    update();
}

void TimeRunningWidget::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::red));
    painter.drawRoundedRect(QRect(1, 1, width() - 2, height() - 2), 12, 12);

    painter.setBrush(Qt::red);
    painter.drawEllipse(10, height() / 2 - 5, 10, 10);

    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(16);
    painter.setFont(font);
    painter.drawText(QRect(20, 0, width() - 20, height()), Qt::AlignCenter, m_text);
}
