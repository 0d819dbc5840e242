#include "widgets/singleTools/TimeSyncReadout.h"

#include <QDateTime>

namespace {
constexpr qint64 kBeijingOffsetS = 28800;
constexpr uint64_t kMaxStepMs = 1000;
}

QString TimeSyncReadout::MsToBeijingTimeString(unsigned long ms)
{
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), Qt::UTC);
    return utc.addSecs(kBeijingOffsetS).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
        + QStringLiteral(" (UTC+8)");
}

QString TimeSyncReadout::Update(uint32_t mcuTime)
{
    const uint64_t now = mcuTime;
    const uint64_t step = now - m_last_sync_time; // a step back wraps to a huge step
    m_last_sync_time = now;
    if (step > kMaxStepMs) {
        return QStringLiteral("TIME_SYNC：N/A");
    }
    return QStringLiteral("TIME_SYNC：") + MsToBeijingTimeString(mcuTime);
}
