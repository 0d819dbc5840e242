#ifndef PACKETLOSSCHECKER_H
#define PACKETLOSSCHECKER_H

#include <cstdint>

// Counts irregular steps of the device time stamp. The stamp is expected to
// advance by the frame interval (ms) x 1000 per sample, with 200 of slack
// either way; a step backwards counts too. One irregular step is one lost
// packet however many samples it spans.
class PacketLossChecker
{
public:
    // Feeds one sample's time stamp; true when this step was counted.
    bool Feed(uint32_t mcuTime);

    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool IsEnabled() const { return m_enabled; }
    void SetFrameIntervalMs(int32_t intervalMs);
    int32_t FrameIntervalMs() const { return m_frame_interval_ms; }
    void ResetCount() { m_lose_pkt_count = 0; }
    uint32_t Count() const { return m_lose_pkt_count; }
    uint32_t LastMcuTime() const { return m_last_mcu_time; }

private:
    uint32_t m_lose_pkt_count = 0;
    int32_t m_frame_interval_ms = 10;
    uint32_t m_last_mcu_time = 0;
    bool m_enabled = false;
};

#endif // PACKETLOSSCHECKER_H
