#include "widgets/singleTools/TrailingRefresh.h"

#include <QTimer>

TrailingRefresh::TrailingRefresh(QObject* owner, const QString& timerName, std::function<void()> refresh)
    : m_timer(new QTimer(owner))
{
    m_timer->setObjectName(timerName);
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer, &QTimer::timeout, owner, std::move(refresh));
}

void TrailingRefresh::Hold(qint64 waitNs)
{
    if (m_timer->isActive()) {
        return;
    }
    // Rounded up, and one more: the refresh falls strictly after the
    // interval, as the page's own limit demands.
    const qint64 waitMs = qMax<qint64>(0, (waitNs + 999999) / 1000000) + 1;
    m_timer->start(static_cast<int>(qMin<qint64>(waitMs, 60000)));
}

void TrailingRefresh::Done()
{
    m_timer->stop();
}

bool TrailingRefresh::IsHolding() const
{
    return m_timer->isActive();
}
