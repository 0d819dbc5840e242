#include "FakeCanAdapter.h"

#include <QBuffer>
#include <QElapsedTimer>

#include "FakeBootloader.h"
#include "PtyDevice.h"
#include "commom/CommonFunction.h"
#include "widgets/general/FirmwareCipher.h"

namespace {
const QByteArray kBatchText("BATCHUPDATE_TALVEMIR");

QByteArray U32(uint32_t v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    return b;
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
} // namespace

FakeCanAdapter::FakeCanAdapter(PtyDevice& pty, const Options& options) : m_pty(pty), m_options(options) {}

QByteArray FakeCanAdapter::IdReply(uint32_t id, bool goodSum)
{
    QByteArray r = QByteArray::fromHex("bb65cf");
    for (int i = 3; i >= 0; --i)
        r.append(static_cast<char>((id >> (8 * i)) & 0xFF));
    uint8_t sum = 0;
    for (char c : r)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    r.append(static_cast<char>(goodSum ? sum : sum + 1));
    return r;
}

int FakeCanAdapter::RebootsOf(uint32_t id) const
{
    return m_events.count(QString("C48@%1").arg(id));
}

void FakeCanAdapter::Pump(int waitMs)
{
    const QByteArray got = m_pty.ReadAvailable(waitMs);
    if (!got.isEmpty()) {
        m_stream.append(got);
        Parse();
    }
}

bool FakeCanAdapter::RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (done())
            return true;
        Pump(10);
    }
    return done();
}

void FakeCanAdapter::Reply(uint16_t id, const QByteArray& payload)
{
    m_pty.Write(FakeBootloader::DeviceFrame(id, payload));
}

void FakeCanAdapter::Parse()
{
    while (m_pos < m_stream.size()) {
        const QByteArray rest = m_stream.mid(m_pos);
        if (rest.startsWith("AT+")) {
            const int end = rest.indexOf("\r\n");
            if (end < 0)
                return;
            const QByteArray line = rest.left(end + 2);
            m_pos += line.size();
            m_at << line;
            HandleAt(line);
            continue;
        }
        if (rest.size() < 3 && QByteArray("AT+").startsWith(rest))
            return;
        if (rest.startsWith(kBatchText)) {
            m_pos += kBatchText.size();
            ++m_batchTexts;
            continue;
        }
        if (rest.size() < kBatchText.size() && kBatchText.startsWith(rest))
            return;
        if (static_cast<uint8_t>(rest[0]) == 0x55 && (rest.size() < 2 || static_cast<uint8_t>(rest[1]) == 0xAA)) {
            if (rest.size() < 6)
                return;
            const uint16_t length = GetU16(rest, 4);
            const int size = length == 24 ? 34 : (length == 71 ? 81 : 0);
            if (size == 0) {
                // Legacy frames of the reboot sequence are not for the bus.
                ++m_pos;
                continue;
            }
            if (rest.size() < size)
                return;
            m_pos += size;
            const QByteArray frame = rest.left(size);
            if (crc_crc32(1, reinterpret_cast<const unsigned char*>(frame.constData()),
                          static_cast<unsigned int>(size - 4))
                != GetU32(frame, size - 4)) {
                m_errors << QString("bad CRC in frame of %1 bytes").arg(size);
                continue;
            }
            HandleFrame(frame);
            continue;
        }
        m_errors << QString("stray byte %1").arg(static_cast<uint8_t>(rest[0]));
        ++m_pos;
    }
}

void FakeCanAdapter::HandleAt(const QByteArray& line)
{
    if (!m_options.answerAt)
        return;
    const QByteArray body = line.left(line.size() - 2);
    static const QByteArray kIdPrefix("AT+CAN_BATCHFRAMEFORMAT=1,1,");
    if (body.startsWith(kIdPrefix)) {
        const QList<QByteArray> parts = body.mid(kIdPrefix.size()).split(',');
        m_target = parts.value(0).toUInt();
        if (parts.size() != 3 || parts.value(1) != "100" || parts.value(2) != "200")
            m_errors << "bad id command " + QString::fromLatin1(body);
        m_pty.Write("+CAN_ID:" + parts.value(0) + "\r\nOK\r\n");
    } else if (body == "AT+CG" || body == "AT+ET") {
        m_pty.Write("OK\r\n");
    } else if (body == "AT+CAN_BAUD=?") {
        m_pty.Write(m_options.baudReplyWithoutColon ? "+CAN_BAUD " + m_options.canBaud + "\r\nOK\r\n"
                                                    : "+CAN_BAUD:" + m_options.canBaud + "\r\nOK\r\n");
    } else if (body.startsWith("AT+CAN_BAUD=")) {
        if (m_options.refuseBaud) {
            m_pty.Write("ERROR\r\n");
            return;
        }
        m_options.canBaud = body.mid(12);
        m_pty.Write("OK\r\n");
    } else {
        m_errors << "unknown AT command " + QString::fromLatin1(body);
    }
}

void FakeCanAdapter::HandleFrame(const QByteArray& frame)
{
    const uint16_t cmd = GetU16(frame, 2);
    if (frame.size() == 81) {
        const uint32_t offset = GetU32(frame, 70);
        const int n = GetU16(frame, 74);
        m_events << QString("D%1@%2").arg(offset).arg(m_target);
        QByteArray& image = m_images[m_target];
        if (offset != static_cast<uint32_t>(image.size()))
            m_errors << QString("data at %1, expected %2").arg(offset).arg(image.size());
        else
            image.append(frame.mid(6, n));
        QByteArray payload = U32(0) + U32(offset);
        Reply(30013, payload);
        return;
    }
    if (cmd == 35003) {
        ++m_batchFrames;
        return;
    }
    if (cmd == 192) {
        ++m_idQueries;
        QByteArray replies;
        for (uint32_t id : m_options.deviceIds)
            replies += IdReply(id);
        m_pty.Write(replies);
        return;
    }
    m_events << QString("C%1@%2").arg(cmd).arg(m_target);
    if (!m_options.deviceIds.contains(m_target))
        return; // nobody on the bus listens to that id
    switch (cmd) {
    case 33:
    case 34:
        Reply(100, U32(16) + U32(m_options.flashSize));
        break;
    case 35:
        m_images[m_target].clear();
        Reply(100, U32(16) + U32(m_options.flashSize));
        break;
    case 41: {
        QByteArray enciphered = m_images.value(m_target);
        QBuffer source(&enciphered);
        source.open(QIODevice::ReadOnly);
        QByteArray plain;
        QBuffer target(&plain);
        target.open(QIODevice::WriteOnly);
        FirmwareCipher::WithProgramKey()->PassFile(source, target, FirmwareCipher::Decipher);
        uint32_t crc = FakeBootloader::PaddedCrc(plain, m_options.flashSize);
        if (m_options.wrongCrc)
            crc ^= 0x00A5A5A5;
        Reply(30012, U32(0) + U32(crc));
        break;
    }
    default:
        break;
    }
}
