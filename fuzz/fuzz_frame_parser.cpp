// Feeds arbitrary bytes to the frame parser and the dispatcher, byte by byte
// and in chunks, and checks that both ways agree.

#include "commom/Logger.h"
#include "workerThread/FrameParser.h"
#include "workerThread/WorkerThreadImu.h"

#include <QCoreApplication>

#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_frame_parser";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    static WorkerThreadImu* worker = new WorkerThreadImu(nullptr);
    (void)app;
    Logger::SetLevel(Logger::Error);

    static auto bytewise = std::make_unique<FrameParser>();
    static auto chunked = std::make_unique<FrameParser>();
    bytewise->Reset();
    chunked->Reset();

    size_t frames = 0;
    for (size_t i = 0; i < size; ++i) {
        frames += bytewise->PushByte(data[i]) ? 1 : 0;
    }
    size_t framesChunked = 0;
    size_t used = 0;
    while (used < size) {
        bool ready = false;
        used += chunked->Feed(data + used, size - used, &ready);
        framesChunked += ready ? 1 : 0;
    }
    if (frames != framesChunked || bytewise->FailureCount() != chunked->FailureCount()
        || bytewise->State() != chunked->State()) {
        std::abort();
    }
    worker->ParseChunk(data, size);
    return 0;
}
