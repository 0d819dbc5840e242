// Frames of every id the device link knows (and any other id), built from
// the fuzzer's bytes with valid checks, through the parser and the
// dispatcher of the device worker.

#include "FuzzInput.h"

#include "commom/Logger.h"
#include "workerThread/WorkerThreadImu.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_frame_dispatch";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
    Logger::SetLevel(Logger::Error);

    static const uint16_t ids[] = {FRAME_IMU33_DATA,   FRAME_AHRS_DATA,     FRAME_PEOPLE_NAV_DATA,
                                   FRAME_BOOT_SYNC,    FRAME_VERSION,       FRAME_PARAM_VALUE,
                                   FRAME_UPLOAD_REPLY, FRAME_CMD_ACK,       FRAME_FIRMWARE_INFO,
                                   FRAME_CALIB_PUBLISH, FRAME_CALIB_PUBLISH_ALT};
    FuzzInput input(data, size);
    const QByteArray stream = input.Frames(ids, int(sizeof ids / sizeof ids[0]));

    // A fresh worker for every input: what one input leaves behind (seen
    // parameter indices, the stored version) does not pile up.
    WorkerThreadImu worker(nullptr);
    worker.ParseChunk(reinterpret_cast<const uint8_t*>(stream.constData()), static_cast<size_t>(stream.size()));
    return 0;
}
