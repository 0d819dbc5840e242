#ifndef TRAILINGREFRESH_H
#define TRAILINGREFRESH_H

#include <QString>
#include <QtGlobal>

#include <functional>

class QObject;
class QTimer;

// The tail of a rate-limited refresh. A live page refreshes a readout at
// most once per interval; a value that comes in sooner is held back, and
// without a tail the last value of a burst would never be shown. The page
// calls Hold() for a held-back value and Done() whenever it refreshed: a
// held value is then shown (through the refresh callback) when the interval
// runs out, unless a refresh came first.
class TrailingRefresh
{
public:
    // The timer is a child of owner, named timerName (tests find it).
    TrailingRefresh(QObject* owner, const QString& timerName, std::function<void()> refresh);
    TrailingRefresh(const TrailingRefresh&) = delete;
    TrailingRefresh& operator=(const TrailingRefresh&) = delete;

    // A value was held back; waitNs is what is left of the interval. The
    // first hold after a refresh fixes the deadline; later ones keep it.
    void Hold(qint64 waitNs);
    // The page has just refreshed: nothing is held any more.
    void Done();
    bool IsHolding() const;

private:
    QTimer* m_timer = nullptr;
};

#endif // TRAILINGREFRESH_H
