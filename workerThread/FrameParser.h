#ifndef FRAMEPARSER_H
#define FRAMEPARSER_H

#include <cstddef>
#include <cstdint>

#include "commom/ThrottledLog.h"

// Incremental parser of device frames (AA 55, u16 id, u16 length, payload,
// u32 CRC-32 with initial value 1). Constant work per byte, no allocation:
// the payload is kept in place until the next frame starts.
//
// Once AA 55 has been accepted the parser is committed to the frame: a
// further AA inside id, length, payload or CRC is data; it looks for a new
// header only after the frame ended or failed its CRC.
class FrameParser
{
public:
    static constexpr uint32_t kBufferSize = 100000;

    FrameParser();

    // Back to waiting for AA; clears the failure count.
    void Reset();
    // Back to waiting for AA; keeps the failure count.
    void ResetState() { m_state = 0; m_count = 0; }

    // One byte. True when it completed a frame whose CRC matched; the frame
    // (Id, Length, Payload) stays readable until the next byte.
    bool PushByte(uint8_t byte);

    // Parses from data until a good frame completes or the bytes run out.
    // Returns how many bytes were used; *frameReady tells whether the last
    // of them completed a good frame. Same results as PushByte on each byte.
    size_t Feed(const uint8_t* data, size_t count, bool* frameReady);

    uint8_t State() const { return m_state; }
    uint32_t Id() const { return m_id; }
    uint32_t Length() const { return m_length; }
    const uint8_t* Payload() const { return m_payload; }
    // Frames dropped for a CRC mismatch since the last Reset.
    uint32_t FailureCount() const { return m_failureCount; }
    // Received and computed CRC of the last failed frame.
    uint32_t LastReceivedCrc() const { return m_receivedCrc; }
    uint32_t LastComputedCrc() const { return m_crc; }

private:
    bool Finish();
    void LogLongFrame();

    uint8_t m_payload[kBufferSize];
    uint8_t m_state = 0;
    uint32_t m_count = 0;
    uint32_t m_id = 0;
    uint32_t m_length = 0;
    uint32_t m_receivedCrc = 0;
    uint8_t m_idLow = 0;
    uint8_t m_lengthLow = 0;
    uint8_t m_crcBytes[3] = {0, 0, 0};
    uint32_t m_crc = 0;
    uint32_t m_failureCount = 0;
    // Per-frame diagnostics: at most one line a second each, so a stream of
    // long or broken frames cannot push everything else out of the log.
    ThrottledLog m_lengthLog;
    ThrottledLog m_crcLog;
};

#endif // FRAMEPARSER_H
