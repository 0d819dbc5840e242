#ifndef TIMESYNCREADOUT_H
#define TIMESYNCREADOUT_H

#include <QString>

#include <cstdint>

// The TIME_SYNC readout: shows the device time stamp as a Beijing-time clock
// while it advances by at most one second between two readout refreshes.
class TimeSyncReadout
{
public:
    // ms after the Unix epoch, shown in UTC+8, e.g.
    // "1970-01-01 08:00:00.000 (UTC+8)".
    static QString MsToBeijingTimeString(unsigned long ms);

    // One readout refresh: the text for the label, and the stamp is kept for
    // the next comparison.
    QString Update(uint32_t mcuTime);

    uint64_t LastSyncTime() const { return m_last_sync_time; }

private:
    uint64_t m_last_sync_time = 0;
};

#endif // TIMESYNCREADOUT_H
