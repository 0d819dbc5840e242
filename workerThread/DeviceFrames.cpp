#include "workerThread/DeviceFrames.h"

#include "commom/CommonFunction.h"

#include <cstring>
#include <vector>

namespace {

void PutU16(uint8_t* out, uint16_t v)
{
    out[0] = static_cast<uint8_t>(v & 0xFF);
    out[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* out, uint32_t v)
{
    out[0] = static_cast<uint8_t>(v & 0xFF);
    out[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    out[2] = static_cast<uint8_t>((v >> 16) & 0xFF);
    out[3] = static_cast<uint8_t>(v >> 24);
}

void PutF32(uint8_t* out, float f)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    PutU32(out, bits);
}

// Frames are assembled in a plain buffer first: writing through
// QByteArray::data() trips a false overflow warning in GCC's optimiser.
QByteArray ToByteArray(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size));
}

} // namespace

uint32_t AdditiveSum(const uint8_t* data, int length)
{
    uint32_t sum = 0;
    for (int i = 0; i < length; ++i) {
        sum += data[i];
    }
    return sum;
}

QByteArray BuildLongCommandFrame(uint16_t cmd, float f1, float f2, uint32_t u1, uint32_t u2,
                                 int32_t i1, int32_t i2)
{
    uint8_t p[kLongCommandFrameSize] = {};
    PutU16(p + 0, 0xAA55);
    PutU16(p + 2, cmd);
    PutU16(p + 4, 24);
    PutF32(p + 6, f1);
    PutF32(p + 10, f2);
    PutU32(p + 14, u1);
    PutU32(p + 18, u2);
    PutU32(p + 22, static_cast<uint32_t>(i1));
    PutU32(p + 26, static_cast<uint32_t>(i2));
    PutU32(p + 30, crc_crc32(kFrameCrcInit, p, 30));
    return ToByteArray(p, sizeof p);
}

QByteArray BuildCommandAckFrame(uint16_t cmd_id, uint16_t ack_id, uint16_t result)
{
    uint8_t p[kCommandAckFrameSize] = {};
    PutU16(p + 0, 0xAA55);
    PutU16(p + 2, cmd_id);
    PutU16(p + 4, 4);
    PutU16(p + 6, ack_id);
    PutU16(p + 8, result);
    PutU32(p + 10, crc_crc32(kFrameCrcInit, p, 10));
    return ToByteArray(p, sizeof p);
}

QByteArray BuildUserConfigFrame(uint8_t cmd, float param, int16_t rev1, uint8_t rev2)
{
    uint8_t p[kUserConfigFrameSize] = {};
    PutU16(p + 0, 0xAA55);
    p[2] = cmd;
    PutU16(p + 3, 7);
    PutF32(p + 5, param);
    PutU16(p + 9, static_cast<uint16_t>(rev1));
    p[11] = rev2;
    PutU32(p + 12, AdditiveSum(p, 12));
    return ToByteArray(p, sizeof p);
}

QByteArray BuildBootloaderCommandFrame(uint16_t cmd, uint16_t cm1, uint16_t cm2, uint16_t cm3,
                                       uint16_t cm4, uint16_t cm5, uint16_t cm6)
{
    uint8_t p[kBootloaderCommandFrameSize] = {};
    PutU16(p + 0, 0xAA55);
    p[2] = static_cast<uint8_t>(cmd & 0xFF);
    PutU16(p + 3, 24);
    const uint16_t args[6] = {cm1, cm2, cm3, cm4, cm5, cm6};
    for (int k = 0; k < 6; ++k) {
        PutU32(p + 5 + 4 * k, args[k]);
    }
    PutU32(p + 29, AdditiveSum(p, 29));
    return ToByteArray(p, sizeof p);
}

QByteArray BuildDeviceFrame(uint16_t id, const QByteArray& payload)
{
    const int length = payload.size() > 0xFFFF ? 0xFFFF : payload.size();
    std::vector<uint8_t> buffer(static_cast<size_t>(DeviceFrame::kHeaderSize + length + DeviceFrame::kCrcSize), 0);
    uint8_t* p = buffer.data();
    p[0] = DeviceFrame::kHeader1;
    p[1] = DeviceFrame::kHeader2;
    PutU16(p + 2, id);
    PutU16(p + 4, static_cast<uint16_t>(length));
    if (length > 0) {
        std::memcpy(p + 6, payload.constData(), static_cast<size_t>(length));
    }
    const unsigned int crc =
        crc_crc32(kFrameCrcInit, p, static_cast<unsigned int>(DeviceFrame::kHeaderSize + length));
    PutU32(p + DeviceFrame::kHeaderSize + length, crc);
    return ToByteArray(p, buffer.size());
}
