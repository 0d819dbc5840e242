// The decoder's device-frame synchroniser and table writer: frames built
// from the fuzzer's bytes, decoded as the decode type the first byte picks.
// Rows formatted on the decoding thread and rows formatted on helper
// threads must give the same tables, status and counts.

#include "DecodeRun.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int types[] = {DECODE_AHRS,   DECODE_INS_RTK, DECODE_ARRAY4,     DECODE_ARRAY8,
                                DECODE_ARRAY32, DECODE_IMU33,  DECODE_WAIST_FEET, DECODE_SYNC_ATTITUDE};
    static const uint16_t ids[] = {FRAME_IMU33_DATA,      FRAME_AHRS_DATA,       FRAME_AHRS_MAG_DATA,
                                   FRAME_GNSS_UWB_DATA,   FRAME_INS_DATA,        FRAME_RTK_DATA,
                                   FRAME_RTK_HEADING,     FRAME_CALIB_PUBLISH,   FRAME_CALIB_PUBLISH_ALT,
                                   FRAME_ARRAY8_RECORDS,  FRAME_ARRAY32_RECORDS, FRAME_WAIST_NAV,
                                   FRAME_LEFT_FOOT_NAV,   FRAME_RIGHT_FOOT_NAV,  FRAME_VERSION};
    FuzzInput input(data, size);
    const int type = types[input.Byte() % (sizeof types / sizeof types[0])];
    const QByteArray stream = input.Frames(ids, int(sizeof ids / sizeof ids[0]));
    if (!(DecodeRun::Of(stream, type, 0) == DecodeRun::Of(stream, type, 2))) {
        std::abort();
    }
    return 0;
}
