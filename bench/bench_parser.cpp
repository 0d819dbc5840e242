// Throughput of the device-frame parser, alone and with the dispatch of
// every frame onto the message bus, over a 16 MiB in-memory stream of AHRS
// frames mixed with 10 % corrupted bytes: runs of random bytes between the
// frames, and now and then a damaged byte inside a frame.

#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/FrameParser.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"
#include "workerThread/WorkerThreadImu.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>

namespace {

QByteArray MakeStream(int size)
{
    std::mt19937 rng(12345);
    QByteArray stream;
    stream.reserve(size + 1024);
    uint32_t time = 0;
    int64_t garbage = 0;
    while (stream.size() < size) {
        AhrsData data{};
        data.MCU_TIME = time += 5000;
        data.pitch = float(rng() % 1000) / 10.0f;
        data.yaw = float(rng() % 3600) / 10.0f;
        QByteArray frame =
            BuildDeviceFrame(FRAME_AHRS_DATA, QByteArray(reinterpret_cast<const char*>(&data), sizeof data));
        if (rng() % 20 == 0) {
            const int at = static_cast<int>(6 + rng() % 44);
            frame[at] = static_cast<char>(frame.at(at) ^ 0x5A);
            ++garbage;
        }
        stream += frame;
        // Keep the random bytes at a tenth of the stream.
        while (garbage * 10 < stream.size()) {
            stream += static_cast<char>(rng());
            ++garbage;
        }
    }
    stream.resize(size);
    return stream;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    RegsiterMetaType();

    const int size = 16 * 1024 * 1024;
    const QByteArray stream = MakeStream(size);
    const auto* data = reinterpret_cast<const uint8_t*>(stream.constData());
    const double mib = size / (1024.0 * 1024.0);

    // Parser alone, in reads of 4 KB.
    auto parser = std::make_unique<FrameParser>();
    uint64_t frames = 0;
    auto start = std::chrono::steady_clock::now();
    for (int rep = 0; rep < 3; ++rep) {
        for (int at = 0; at < size; at += 4096) {
            const size_t count = static_cast<size_t>(std::min(4096, size - at));
            size_t used = 0;
            while (used < count) {
                bool ready = false;
                used += parser->Feed(data + at + used, count - used, &ready);
                frames += ready ? 1 : 0;
            }
        }
    }
    double secs = Seconds(start);
    std::printf("parser alone:        %8.1f MiB/s  %10.0f frames/s  (%llu good frames, %u CRC failures per pass)\n",
                3 * mib / secs, frames / secs, static_cast<unsigned long long>(frames / 3), parser->FailureCount() / 3);

    // Parser and dispatcher: each AHRS frame becomes two bus answers.
    uint64_t answers = 0;
    QObject::connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
                     [&answers](int id, QVariant, QVariant) { answers += (id == PAGE_MSG_AHRS_DATA) ? 1 : 0; });
    WorkerThreadImu worker;
    start = std::chrono::steady_clock::now();
    for (int at = 0; at < size; at += 4096) {
        const size_t count = static_cast<size_t>(std::min(4096, size - at));
        worker.ParseChunk(data + at, count);
    }
    secs = Seconds(start);
    std::printf("parser and dispatch: %8.1f MiB/s  %10.0f frames/s  (%llu frames published)\n", mib / secs,
                answers / secs, static_cast<unsigned long long>(answers));
    return 0;
}
