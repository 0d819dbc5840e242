#ifndef THROTTLEDLOG_H
#define THROTTLEDLOG_H

#include <QElapsedTimer>

// Lets a repeated log line through at most once per interval and counts the
// lines held back, so a retry loop or a per-frame line cannot push older
// diagnostics out of the kept log files. One instance per repeated line,
// used from one thread.
class ThrottledLog
{
public:
    explicit ThrottledLog(qint64 intervalMs = 1000) : m_intervalMs(intervalMs) {}

    // True when the line may be written now; *suppressed receives how many
    // lines were held back since the last one written.
    bool Allow(int* suppressed = nullptr)
    {
        if (m_timer.isValid() && m_timer.elapsed() < m_intervalMs) {
            ++m_suppressed;
            return false;
        }
        m_timer.start();
        if (suppressed) {
            *suppressed = m_suppressed;
        }
        m_suppressed = 0;
        return true;
    }

    void Reset()
    {
        m_timer.invalidate();
        m_suppressed = 0;
    }

private:
    qint64 m_intervalMs;
    QElapsedTimer m_timer;
    int m_suppressed = 0;
};

#endif  // THROTTLEDLOG_H
