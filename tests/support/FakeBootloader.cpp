#include "FakeBootloader.h"

#include <QBuffer>
#include <QElapsedTimer>

#include <cstring>

#include "PtyDevice.h"
#include "commom/CommonFunction.h"
#include "widgets/general/FirmwareCipher.h"

namespace {

void PutU16(QByteArray& b, uint16_t v)
{
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>(v >> 8));
}

void PutU32(QByteArray& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t GetU32(const QByteArray& b, int at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(b[at + i]);
    return v;
}

uint16_t GetU16(const QByteArray& b, int at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

uint32_t FrameCrc(const QByteArray& b, int length)
{
    return crc_crc32(1, reinterpret_cast<const unsigned char*>(b.constData()), static_cast<unsigned int>(length));
}

} // namespace

FakeBootloader::FakeBootloader(PtyDevice& pty, const Options& options) : m_pty(pty), m_options(options) {}

QByteArray FakeBootloader::DeviceFrame(uint16_t id, const QByteArray& payload)
{
    QByteArray f;
    f.append(static_cast<char>(0xAA));
    f.append(static_cast<char>(0x55));
    PutU16(f, id);
    PutU16(f, static_cast<uint16_t>(payload.size()));
    f.append(payload);
    PutU32(f, FrameCrc(f, f.size()));
    return f;
}

uint32_t FakeBootloader::PaddedCrc(const QByteArray& plainImage, uint32_t flashSize)
{
    QByteArray padded = plainImage;
    if (static_cast<uint32_t>(padded.size()) < flashSize)
        padded.append(QByteArray(static_cast<int>(flashSize) - padded.size(), static_cast<char>(0xFF)));
    return crc32(reinterpret_cast<const unsigned char*>(padded.constData()),
                 static_cast<unsigned int>(padded.size()), 0);
}

int FakeBootloader::CountOf(uint16_t cmd) const
{
    int n = 0;
    for (const LongCommand& c : m_commands)
        if (c.cmd == cmd)
            ++n;
    return n;
}

void FakeBootloader::Pump(int waitMs)
{
    const QByteArray got = m_pty.ReadAvailable(waitMs);
    if (!got.isEmpty()) {
        m_stream.append(got);
        Parse();
    }
    if (!m_bannerTail.isEmpty() && m_bannerClock.elapsed() >= m_options.bannerTailDelayMs) {
        m_pty.Write(m_bannerTail);
        m_bannerTail.clear();
    }
}

bool FakeBootloader::RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        Pump(20);
    }
    return true;
}

void FakeBootloader::Reply(uint16_t id, const QByteArray& payload)
{
    m_pty.Write(DeviceFrame(id, payload));
}

void FakeBootloader::SyncReply(uint32_t status)
{
    QByteArray payload;
    PutU32(payload, status);
    PutU32(payload, m_options.flashSize);
    Reply(100, payload);
}

void FakeBootloader::Parse()
{
    // The reboot sequence opens with the legacy unlock frame 55 AA 78 0C 00.
    if (m_rebootStart < 0) {
        const int at = m_stream.indexOf(QByteArray::fromHex("55aa780c00"), m_parsePos);
        if (at < 0)
            return;
        m_rebootStart = at;
        m_parsePos = at;
    }
    if (!m_inBootloader) {
        // Count the batch-mode commands that end the reboot sequence; the
        // device then restarts and prints its banner.
        while (true) {
            const int at = m_stream.indexOf(QByteArray::fromHex("55aabb881800"), m_parsePos);
            if (at < 0 || at + 34 > m_stream.size())
                break;
            ++m_batchCommands;
            m_parsePos = at + 34;
        }
        if (m_batchCommands >= 8 && !m_bannerSent) {
            m_bannerSent = true;
            const int half = m_options.banner.size() / 2;
            m_pty.Write(m_options.banner.left(half));
            m_bannerTail = m_options.banner.mid(half);
            m_bannerClock.start();
        }
        const int request = m_stream.indexOf(m_options.requestString, m_parsePos);
        if (request < 0)
            return;
        m_inBootloader = true;
        m_parsePos = request;
    }

    while (m_parsePos + 6 <= m_stream.size()) {
        if (static_cast<uint8_t>(m_stream[m_parsePos]) != 0x55
            || static_cast<uint8_t>(m_stream[m_parsePos + 1]) != 0xAA) {
            ++m_parsePos; // request strings and other text
            continue;
        }
        const uint16_t length = GetU16(m_stream, m_parsePos + 4);
        int frameSize = 0;
        if (length == 24)
            frameSize = 34;
        else if (length == 71)
            frameSize = 81;
        else {
            m_errors << QString("unknown frame at %1").arg(m_parsePos);
            ++m_parsePos;
            continue;
        }
        if (m_parsePos + frameSize > m_stream.size())
            return; // wait for the rest
        const QByteArray frame = m_stream.mid(m_parsePos, frameSize);
        m_parsePos += frameSize;
        if (FrameCrc(frame, frameSize - 4) != GetU32(frame, frameSize - 4)) {
            m_errors << QString("bad CRC in frame of %1 bytes").arg(frameSize);
            continue;
        }
        if (frameSize == 81) {
            HandleData(frame);
            continue;
        }
        LongCommand c;
        c.cmd = GetU16(frame, 2);
        std::memcpy(&c.f1, frame.constData() + 6, 4);
        std::memcpy(&c.f2, frame.constData() + 10, 4);
        c.u1 = GetU32(frame, 14);
        c.u2 = GetU32(frame, 18);
        c.i1 = static_cast<int32_t>(GetU32(frame, 22));
        c.i2 = static_cast<int32_t>(GetU32(frame, 26));
        m_commands << c;
        m_events << QString("C%1").arg(c.cmd);
        HandleCommand(c);
    }
}

void FakeBootloader::HandleCommand(const LongCommand& c)
{
    switch (c.cmd) {
    case 33: // sync
    case 34: // information
        SyncReply(m_options.syncStatus);
        break;
    case 35: // erase
        SyncReply(CountOf(35) <= m_options.failedErases ? 0x11 : m_options.syncStatus);
        break;
    case 41: { // CRC
        auto cipher = FirmwareCipher::WithProgramKey();
        QByteArray enciphered = m_image;
        QBuffer source(&enciphered);
        source.open(QIODevice::ReadOnly);
        QByteArray plain;
        QBuffer target(&plain);
        target.open(QIODevice::WriteOnly);
        cipher->PassFile(source, target, FirmwareCipher::Decipher);
        m_reportedCrc = PaddedCrc(plain, m_options.flashSize);
        if (m_options.wrongCrc)
            m_reportedCrc ^= 0x5A5A5A5A;
        QByteArray payload;
        PutU32(payload, 0);
        PutU32(payload, m_reportedCrc);
        Reply(30012, payload);
        break;
    }
    default:
        break;
    }
}

void FakeBootloader::HandleData(const QByteArray& frame)
{
    if (GetU16(frame, 2) != 39)
        m_errors << QString("data frame with command %1").arg(GetU16(frame, 2));
    if (static_cast<uint8_t>(frame[76]) != 0)
        m_errors << "data frame flag not 0";
    const uint32_t offset = GetU32(frame, 70);
    const uint16_t count = GetU16(frame, 74);
    if (count < 1 || count > 64) {
        m_errors << QString("data length %1").arg(count);
        return;
    }
    for (int i = 6 + count; i < 70; ++i) {
        if (frame[i] != '\0') {
            m_errors << QString("non-zero tail in chunk at %1").arg(offset);
            break;
        }
    }
    const int chunkIndex = static_cast<int>(offset / 64);
    const bool resend = !m_chunkOffsets.isEmpty() && offset + count == m_nextOffset
        && offset == m_chunkOffsets.last();
    if (!resend && offset != m_nextOffset)
        m_errors << QString("chunk at %1, expected %2").arg(offset).arg(m_nextOffset);
    if (offset % 64 != 0)
        m_errors << QString("chunk offset %1 not on 64").arg(offset);
    m_chunkOffsets << offset;
    m_events << QString("D%1").arg(offset);

    const QByteArray data = frame.mid(6, count);
    if (resend) {
        if (m_image.mid(static_cast<int>(offset), count) != data)
            m_errors << QString("resent chunk at %1 differs").arg(offset);
    } else {
        if (m_image.size() < static_cast<int>(offset + count))
            m_image.resize(static_cast<int>(offset + count));
        std::memcpy(m_image.data() + offset, data.constData(), count);
        m_nextOffset = offset + count;
    }

    if (chunkIndex == m_options.dropAckOfChunk && !m_ackDropped) {
        m_ackDropped = true;
        if (!m_options.dropAckNoise.isEmpty())
            m_pty.Write(m_options.dropAckNoise);
        return;
    }
    uint32_t acknowledged = offset;
    if (chunkIndex == m_options.staleAckOfChunk && !m_ackStale) {
        m_ackStale = true;
        acknowledged = offset >= 64 ? offset - 64 : offset + 1;
    }
    QByteArray payload;
    PutU16(payload, 39);
    PutU16(payload, 1);
    PutU32(payload, acknowledged);
    Reply(30013, payload);
}
