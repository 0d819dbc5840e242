// The decoder's BD DB synchroniser: frames built from the fuzzer's bytes
// (start byte, a run of DB bytes, 0A, 30 payload bytes, XOR check), now and
// then broken, among raw bytes. Rows formatted on the decoding thread and on
// helper threads must give the same table, status and counts.

#include "DecodeRun.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Records: control byte c; c & 3 == 0: raw bytes as in FuzzInput;
    // otherwise a frame with (c >> 2) % 4 + 1 DB bytes and 30 payload bytes,
    // its check spoiled when c & 16.
    FuzzInput input(data, size);
    QByteArray stream;
    while (!input.AtEnd()) {
        const uint8_t c = input.Byte();
        if ((c & 3) == 0) {
            stream += input.Bytes(input.Byte() % 64);
            continue;
        }
        QByteArray frame = QByteArray(1, '\xBD') + QByteArray((c >> 2) % 4 + 1, '\xDB') + QByteArray(1, '\x0A')
                           + input.Bytes(30);
        uint8_t check = 0;
        for (char b : frame) {
            check ^= static_cast<uint8_t>(b);
        }
        stream += frame + char((c & 16) ? check ^ 1 : check);
    }
    if (!(DecodeRun::Of(stream, DECODE_BDDB_SENSOR, 0) == DecodeRun::Of(stream, DECODE_BDDB_SENSOR, 2))) {
        std::abort();
    }
    return 0;
}
