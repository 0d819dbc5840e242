#include "workerThread/PayloadTypes.h"

#include <cstring>

namespace {

// Pieces of calibration record 0 copied into the record: destination
// offset and size; the source is record-0 byte (offset + 104), except the
// first piece, which is record-0 bytes 0..31 at offset 8.
struct Piece
{
    uint32_t offset;
    uint32_t size;
};
constexpr Piece kPieces[] = {{40, 8}, {48, 8}, {56, 4}, {60, 1}, {64, 8}, {72, 4},
                             {76, 2}, {82, 2}, {84, 4}, {104, 8}, {112, 16}, {128, 16}};
constexpr uint32_t kRecordSize = 256;
constexpr uint32_t kRecordsStart = 8;
constexpr uint32_t kMaxCounts = 32;

// Copies size bytes from payload[from] to out[to], only as far as the
// payload reaches; the rest stays zero.
void CopyWithin(uint8_t* out, uint32_t to, const uint8_t* payload, uint32_t length, uint32_t from,
                uint32_t size)
{
    if (from >= length) {
        return;
    }
    const uint32_t take = (length - from) < size ? (length - from) : size;
    std::memcpy(out + to, payload + from, take);
}

} // namespace

ArrayImuI2cPayloadCalibPublish BuildCalibPublish(const uint8_t* payload, uint32_t length)
{
    ArrayImuI2cPayloadCalibPublish record;
    std::memset(&record, 0, sizeof record);
    if (!payload || length <= kRecordsStart) {
        return record;
    }
    uint8_t* out = reinterpret_cast<uint8_t*>(&record);
    const uint32_t n = (length - kRecordsStart) / (kRecordSize + 2);

    CopyWithin(out, 8, payload, length, kRecordsStart, 32);
    for (const Piece& piece : kPieces) {
        CopyWithin(out, piece.offset, payload, length, kRecordsStart + piece.offset + 104, piece.size);
    }

    const uint32_t countsStart = kRecordsStart + kRecordSize * n;
    const uint32_t counts = n < kMaxCounts ? n : kMaxCounts;
    for (uint32_t k = 0; k < counts; ++k) {
        const uint32_t at = countsStart + 2 * k;
        record.counts[k] = static_cast<uint16_t>((payload[at] << 8) | payload[at + 1]);
    }
    return record;
}
