// The decoder's CAN text-log reader: the fuzzer's bytes as a log. Every
// complete sequence counted is one row of the table, under its header.

#include "DecodeRun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray log(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const DecodeRun run = DecodeRun::Of(log, DECODE_CAN_LOG, 0);
    const QByteArray table = run.tables.value("output_rec.txt");
    if (!table.startsWith("index,ax,ay,az,gx,gy,gz,roll,pitch,yaw,temp\n")
        || table.count('\n') != 1 + static_cast<int>(run.successes)) {
        std::abort();
    }
    return 0;
}
