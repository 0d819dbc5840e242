#ifndef FUZZINPUT_H
#define FUZZINPUT_H

// Turns fuzzer bytes into a recorded byte stream whose frames mostly pass
// their check, so that mutations of a payload still reach what comes after
// the synchroniser. The input is a run of records, each starting with a
// control byte c:
//   c & 3 == 0   raw bytes: n = next byte % 64, then n bytes as they are
//   otherwise    a device frame: id = ids[next byte % count] (c & 4: the
//                next two bytes, little-endian, as the id itself), length =
//                next two bytes % 40001, then that many payload bytes (zeros
//                where the input ends); c & 8: one CRC bit flipped;
//                c & 16: the frame cut off after half its bytes
// fuzz/make_seeds.py writes seeds in this form.

#include "workerThread/DeviceFrames.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool AtEnd() const { return m_at >= m_size; }
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    uint16_t U16()
    {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | (Byte() << 8));
    }
    QByteArray Bytes(size_t count)
    {
        QByteArray out(static_cast<int>(count), '\0');
        const size_t take = std::min(count, m_size - m_at);
        std::memcpy(out.data(), m_data + m_at, take);
        m_at += take;
        return out;
    }

    QByteArray Frames(const uint16_t* ids, int idCount)
    {
        QByteArray stream;
        while (!AtEnd()) {
            const uint8_t c = Byte();
            if ((c & 3) == 0) {
                stream += Bytes(Byte() % 64);
                continue;
            }
            const uint16_t id = (c & 4) ? U16() : ids[Byte() % idCount];
            const size_t length = U16() % 40001u;
            QByteArray frame = BuildDeviceFrame(id, Bytes(length));
            if (c & 8) {
                frame[frame.size() - 1] = static_cast<char>(frame[frame.size() - 1] ^ 0x10);
            }
            if (c & 16) {
                frame.truncate(frame.size() / 2);
            }
            stream += frame;
        }
        return stream;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

#endif // FUZZINPUT_H
