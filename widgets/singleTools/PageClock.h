#ifndef PAGECLOCK_H
#define PAGECLOCK_H

#include <QtGlobal>

#include <functional>

// Monotonic time for the live pages' decimation and pause stamps, so that a
// change of the system clock neither freezes nor floods the refreshes. Tests
// give a page a clock of their own.
class PageClock
{
public:
    using Source = std::function<qint64()>; // nanoseconds, any fixed origin

    static qint64 SteadyNs();

    void SetSource(Source source) { m_source = std::move(source); }
    qint64 NowNs() const { return m_source ? m_source() : SteadyNs(); }
    qint64 NowMs() const { return NowNs() / 1000000; }
    double NowS() const { return static_cast<double>(NowNs()) / 1e9; }

private:
    Source m_source;
};

#endif // PAGECLOCK_H
