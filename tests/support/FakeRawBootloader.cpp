#include "FakeRawBootloader.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QThread>

#include "FakeBootloader.h"
#include "PtyDevice.h"
#include "commom/CommonFunction.h"
#include "widgets/general/FirmwareCipher.h"

namespace {
const QByteArray kRequest("IMU_ARRAY_UPDATE");

QByteArray U32(uint32_t v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    return b;
}
} // namespace

FakeRawBootloader::FakeRawBootloader(PtyDevice& pty, const Options& options) : m_pty(pty), m_options(options) {}

void FakeRawBootloader::Pump(int waitMs)
{
    const QByteArray got = m_pty.ReadAvailable(waitMs);
    if (!got.isEmpty()) {
        m_stream.append(got);
        Parse();
    }
}

bool FakeRawBootloader::RunUntil(const std::function<bool()>& done, int timeoutMs)
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

void FakeRawBootloader::Status(bool ok)
{
    m_pty.Write(ok ? QByteArray::fromHex("1210") : QByteArray::fromHex("1211"));
}

void FakeRawBootloader::Parse()
{
    for (;;) {
        const int left = m_stream.size() - m_pos;
        if (left <= 0)
            return;
        // The request string may come again at any time; a part of it at
        // the end waits for the rest.
        const QByteArray rest = m_stream.mid(m_pos, kRequest.size());
        if (rest == kRequest) {
            m_pos += kRequest.size();
            m_inBootloader = true;
            m_commandStart = m_pos;
            continue;
        }
        if (rest.size() < kRequest.size() && kRequest.startsWith(rest))
            return;
        if (!m_inBootloader) {
            ++m_pos;
            continue;
        }

        const uint8_t c = static_cast<uint8_t>(m_stream[m_pos]);
        switch (c) {
        case 0x00:
        case 0x20:
            ++m_pos;
            break;
        case 0x31:
            ++m_pos;
            m_events << "V";
            m_pty.Write(U32(m_options.version));
            Status();
            break;
        case 0x21:
            ++m_pos;
            m_events << "S";
            if (m_options.answerSync)
                Status();
            break;
        case 0x23:
            ++m_pos;
            m_events << "E";
            m_image.clear();
            m_received = 0;
            Status();
            break;
        case 0x22:
            if (left < 2)
                return;
            m_events << QString("I%1").arg(static_cast<uint8_t>(m_stream[m_pos + 1]));
            m_pos += 2;
            m_pty.Write(U32(m_options.flashSize));
            Status();
            break;
        case 0x29: {
            ++m_pos;
            m_events << "C";
            // The device's CRC: its image deciphered, padded with 0xFF.
            QByteArray enciphered = m_image;
            QBuffer source(&enciphered);
            source.open(QIODevice::ReadOnly);
            QByteArray plain;
            QBuffer target(&plain);
            target.open(QIODevice::WriteOnly);
            FirmwareCipher::WithProgramKey()->PassFile(source, target, FirmwareCipher::Decipher);
            uint32_t crc = FakeBootloader::PaddedCrc(plain, m_options.flashSize);
            if (m_options.wrongCrc)
                crc ^= 0x00A5A5A5;
            m_pty.Write(U32(crc));
            break;
        }
        case 0x30:
            ++m_pos;
            m_events << "R";
            break;
        case 0x27: {
            if (left < 3)
                return;
            const uint8_t count = static_cast<uint8_t>(m_stream[m_pos + 1]);
            const int n = static_cast<uint8_t>(m_stream[m_pos + 2]);
            if (left < 3 + n + 2)
                return;
            const QByteArray data = m_stream.mid(m_pos + 3, n);
            const uint8_t crc = static_cast<uint8_t>(m_stream[m_pos + 3 + n]);
            const uint8_t end = static_cast<uint8_t>(m_stream[m_pos + 4 + n]);
            m_pos += 5 + n;
            const int index = m_blocks++;
            m_events << QString("P%1").arg(n);
            if (n < 1 || n > 128)
                m_errors << QString("block %1: length %2").arg(index).arg(n);
            if (crc != crc_crc8(reinterpret_cast<const unsigned char*>(data.constData()),
                                static_cast<unsigned char>(n)))
                m_errors << QString("block %1: bad CRC-8").arg(index);
            if (end != 0x20)
                m_errors << QString("block %1: no 0x20 at its end").arg(index);
            if (m_options.silentFromBlock >= 0 && index >= m_options.silentFromBlock)
                break;
            if (m_options.blockDelayMs > 0)
                QThread::msleep(static_cast<unsigned long>(m_options.blockDelayMs));
            if (index == m_options.badStatusOfBlock && !m_badStatusDone) {
                m_badStatusDone = true;
                Status(false);
                break;
            }
            // Only an accepted block counts; a resend carries the same
            // count byte as the block it repeats.
            if (count != static_cast<uint8_t>((m_received + static_cast<uint32_t>(n)) & 0xFF))
                m_errors << QString("block %1: count byte %2").arg(index).arg(count);
            m_received += static_cast<uint32_t>(n);
            m_image.append(data);
            if (m_options.beforeBlockStatus)
                m_options.beforeBlockStatus(index);
            Status();
            break;
        }
        default:
            m_errors << QString("unknown command byte %1 at %2").arg(c).arg(m_pos);
            ++m_pos;
            break;
        }
    }
}
