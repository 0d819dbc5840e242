#include "widgets/singleTools/PacketLossChecker.h"

#include <algorithm>

namespace {
constexpr uint32_t kSlack = 200;
constexpr int32_t kIntervalMin = 1;
constexpr int32_t kIntervalMax = 1000;
}

void PacketLossChecker::SetFrameIntervalMs(int32_t intervalMs)
{
    // Outside 1..1000 ms the expected step would wrap in 32 bits.
    m_frame_interval_ms = std::clamp(intervalMs, kIntervalMin, kIntervalMax);
}

bool PacketLossChecker::Feed(uint32_t mcuTime)
{
    bool counted = false;
    if (m_enabled && m_last_mcu_time != 0) {
        const uint32_t delta = mcuTime - m_last_mcu_time; // modulo 2^32 across the wrap
        const uint32_t expected = static_cast<uint32_t>(m_frame_interval_ms) * 1000u;
        if (delta > expected + kSlack || delta < expected - kSlack) {
            ++m_lose_pkt_count;
            counted = true;
        }
    }
    m_last_mcu_time = mcuTime;
    return counted;
}
