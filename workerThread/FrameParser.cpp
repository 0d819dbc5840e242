#include "workerThread/FrameParser.h"

#include "commom/CommonFunction.h"
#include "commom/Logger.h"
#include "workerThread/DeviceFrames.h"

#include <cstring>

namespace {

QString HeldBackText(int count)
{
    return QString::fromUtf8("（此前%1条同类日志未写）").arg(count);
}

} // namespace

FrameParser::FrameParser()
{
    std::memset(m_payload, 0, sizeof m_payload);
}

void FrameParser::Reset()
{
    m_state = 0;
    m_count = 0;
    m_failureCount = 0;
}

bool FrameParser::Finish()
{
    m_state = 0;
    if (m_receivedCrc == m_crc) {
        return true;
    }
    ++m_failureCount;
    int heldBack = 0;
    if (m_crcLog.Allow(&heldBack)) {
        LogStream line = LOG_DEBUG();
        line << "crc校验失败" << QString("%1\t%2").arg(m_receivedCrc).arg(m_crc);
        if (heldBack > 0) {
            line << HeldBackText(heldBack);
        }
    }
    return false;
}

void FrameParser::LogLongFrame()
{
    int heldBack = 0;
    if (m_lengthLog.Allow(&heldBack)) {
        LogStream line = LOG_DEBUG();
        line << "m_parse.length = " << m_length;
        if (heldBack > 0) {
            line << HeldBackText(heldBack);
        }
    }
}

bool FrameParser::PushByte(uint8_t byte)
{
    switch (m_state) {
    case 0:
        if (byte == DeviceFrame::kHeader1) {
            m_crc = crc_crc32(kFrameCrcInit, &byte, 1);
            m_state = 1;
        }
        return false;
    case 1:
        if (byte == DeviceFrame::kHeader2) {
            m_crc = crc_crc32(m_crc, &byte, 1);
            m_state = 2;
        } else if (byte == DeviceFrame::kHeader1) {
            m_crc = crc_crc32(kFrameCrcInit, &byte, 1);
        } else {
            m_state = 0;
        }
        return false;
    case 2:
        m_idLow = byte;
        m_crc = crc_crc32(m_crc, &byte, 1);
        m_state = 3;
        return false;
    case 3:
        m_id = static_cast<uint32_t>(byte) * 256u + m_idLow;
        m_crc = crc_crc32(m_crc, &byte, 1);
        m_state = 4;
        return false;
    case 4:
        m_lengthLow = byte;
        m_crc = crc_crc32(m_crc, &byte, 1);
        m_state = 5;
        return false;
    case 5:
        m_length = static_cast<uint32_t>(byte) * 256u + m_lengthLow;
        m_crc = crc_crc32(m_crc, &byte, 1);
        if (m_length > 100) {
            LogLongFrame();
        }
        if (m_length == 0) {
            m_state = 0;
            return false;
        }
        m_count = 0;
        m_state = 6;
        return false;
    case 6:
        // A 16-bit length always fits the buffer.
        m_payload[m_count++] = byte;
        m_crc = crc_crc32(m_crc, &byte, 1);
        if (m_count >= m_length) {
            m_state = 7;
        }
        return false;
    case 7:
    case 8:
    case 9:
        m_crcBytes[m_state - 7] = byte;
        ++m_state;
        return false;
    case 10:
        m_receivedCrc = static_cast<uint32_t>(m_crcBytes[0]) | (static_cast<uint32_t>(m_crcBytes[1]) << 8)
                        | (static_cast<uint32_t>(m_crcBytes[2]) << 16) | (static_cast<uint32_t>(byte) << 24);
        return Finish();
    default:
        m_state = 0;
        return false;
    }
}

size_t FrameParser::Feed(const uint8_t* data, size_t count, bool* frameReady)
{
    *frameReady = false;
    size_t i = 0;
    while (i < count) {
        if (m_state == 0) {
            // Skip to the next header byte in one pass.
            const void* hit = std::memchr(data + i, DeviceFrame::kHeader1, count - i);
            if (!hit) {
                return count;
            }
            i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
        } else if (m_state == 6) {
            // Take the payload run at once.
            size_t take = m_length - m_count;
            if (take > count - i) {
                take = count - i;
            }
            std::memcpy(m_payload + m_count, data + i, take);
            m_crc = crc_crc32(m_crc, data + i, static_cast<unsigned int>(take));
            m_count += static_cast<uint32_t>(take);
            i += take;
            if (m_count >= m_length) {
                m_state = 7;
            }
            continue;
        }
        if (PushByte(data[i++])) {
            *frameReady = true;
            return i;
        }
    }
    return count;
}
