// Throughput of the offline decoder on a recording it generates: AHRS frames
// (decode type 0) or 33-IMU frames (decode type 5) with a little garbage
// between them. Decodes the file with the decoding worker, then with a plain
// per-frame decoder (one text stream and one write per row, as a decoder
// written the obvious way does), and prints MB/s of input (MB = 10^6
// bytes) for both, their ratio, and how many lines the decoding added to the
// diagnostic log.
//
//   bench_decoder [type=0|5] [megabytes=300] [folder=temporary] [plain=1] [threads=-1]
//
// plain=0 leaves out the plain decoder (for profiling the decoder alone);
// threads: row-formatting threads beside the decoding thread (-1: one less
// than the cores, 0: the decoding thread formats every row itself).

#include "commom/Global.h"
#include "commom/Logger.h"
#include "dialogs/general/WorkerThreadDecode.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/FrameParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>

namespace {

struct Timing
{
    double wall = 0;
    double cpu = 0;
};

double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

template <typename F>
Timing Measure(F&& run)
{
    const double cpu = CpuSeconds();
    const auto wall = std::chrono::steady_clock::now();
    run();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count(), CpuSeconds() - cpu};
}

// Values as a device sends them: attitude in degrees, acceleration in g,
// angular rate in degrees a second, a temperature; some exact, most not.
float SensorValue(std::mt19937& rng, int field)
{
    const float r = float(rng() % 2000001) / 1000000.0f - 1.0f;
    switch (field % 4) {
    case 0: return r * 180.0f;
    case 1: return r * 2.0f;
    case 2: return r * 250.0f;
    default: return 25.0f + r * 5.0f;
    }
}

bool WriteRecording(const QString& path, int type, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    std::mt19937 rng(2024);
    const int payloadSize = type == DECODE_IMU33 ? 932 : 44;
    const uint16_t id = type == DECODE_IMU33 ? FRAME_IMU33_DATA : FRAME_AHRS_DATA;
    QByteArray payload(payloadSize, '\0');
    QByteArray block;
    qint64 written = 0;
    uint32_t time = 0;
    while (written < bytes) {
        time += 1000;
        std::memcpy(payload.data(), &time, 4);
        for (int at = 4; at + 4 <= payloadSize; at += 4) {
            const float v = SensorValue(rng, at / 4);
            std::memcpy(payload.data() + at, &v, 4);
        }
        block += BuildDeviceFrame(id, payload);
        if (rng() % 50 == 0) {
            block += QByteArray(int(rng() % 16), char(rng()));
        }
        if (block.size() >= (1 << 20)) {
            if (file.write(block) != block.size()) {
                return false;
            }
            written += block.size();
            block.clear();
        }
    }
    return file.write(block) == block.size() && file.flush();
}

// The obvious decoder: byte by byte through the parser, one text stream and
// one write for each row.
qint64 PlainDecode(const QString& source, const QString& target, int type)
{
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return -1;
    }
    auto parser = std::make_unique<FrameParser>();
    const uint32_t wanted = type == DECODE_IMU33 ? FRAME_IMU33_DATA : FRAME_AHRS_DATA;
    const int floats = type == DECODE_IMU33 ? 231 : 10;
    qint64 rows = 0;
    char byte = 0;
    while (in.getChar(&byte)) {
        if (!parser->PushByte(uint8_t(byte)) || parser->Id() != wanted) {
            continue;
        }
        QTextStream row(&out);
        row.setCodec("UTF-8");
        uint32_t u = 0;
        std::memcpy(&u, parser->Payload(), 4);
        row << u;
        for (int i = 0; i < floats; ++i) {
            float f = 0;
            std::memcpy(&f, parser->Payload() + 4 + 4 * i, 4);
            row << ',' << f;
        }
        row << '\n';
        row.flush();
        out.flush();
        ++rows;
    }
    return rows;
}

int CountLogLines(const QString& folder)
{
    int lines = 0;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files)) {
        QFile f(info.filePath());
        if (f.open(QIODevice::ReadOnly)) {
            lines += f.readAll().count('\n');
        }
    }
    return lines;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int type = argc > 1 ? std::atoi(argv[1]) : DECODE_AHRS;
    const qint64 megabytes = argc > 2 ? std::atoll(argv[2]) : 300;
    QTemporaryDir temporary;
    const QString folder = argc > 3 ? QString::fromLocal8Bit(argv[3]) : temporary.path();
    if (type != DECODE_AHRS && type != DECODE_IMU33) {
        std::fprintf(stderr, "decode type 0 or 5\n");
        return 2;
    }

    const QString logFolder = folder + "/bench_log";
    QDir(logFolder).removeRecursively();
    QDir().mkpath(logFolder);
    Logger::Init(logFolder + "/corvanta.log");
    Logger::SetLevel(Logger::Debug);

    const QString source = folder + "/bench.dat";
    if (!WriteRecording(source, type, megabytes * 1000000)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }
    const double mb = double(QFileInfo(source).size()) / 1e6;
    std::printf("recording: %.1f MB of %s frames\n", mb, type == DECODE_IMU33 ? "33-IMU" : "AHRS");

    const int logBefore = CountLogLines(logFolder);
    QString finalStatus;
    WorkerThreadDecode worker;
    QObject::connect(&worker, &WorkerThreadDecode::SignalLog, [&finalStatus](uint8_t label, QString text) {
        if (label) {
            finalStatus = text;
        }
    });
    g_decode_exit = false;
    WorkerThreadDecode::SetRowThreads(argc > 5 ? std::atoi(argv[5]) : -1);
    const Timing decoder = Measure([&] { worker.slot_do_file_decode(source, folder, type); });
    Logger::Flush();
    const int logLines = CountLogLines(logFolder) - logBefore;
    const qint64 table = QFileInfo(folder + "/output_bench.txt").size();
    std::printf("decoder:       %7.2f s  %8.1f MB/s  (%.1f MB/s of CPU time)  table %.1f MB\n", decoder.wall,
                mb / decoder.wall, mb / decoder.cpu, double(table) / 1e6);
    std::printf("               %s\n", qPrintable(finalStatus));
    std::printf("log lines added by the decoding: %d (log files: %d)\n", logLines,
                int(QDir(logFolder).entryList(QDir::Files).size()));

    if (argc > 4 && std::atoi(argv[4]) == 0) {
        QFile::remove(source);
        QFile::remove(folder + "/output_bench.txt");
        Logger::Shutdown();
        return 0;
    }
    qint64 rows = 0;
    const Timing plain = Measure([&] { rows = PlainDecode(source, folder + "/plain_bench.txt", type); });
    std::printf("plain decoder: %7.2f s  %8.1f MB/s  (%.1f MB/s of CPU time)  %lld rows\n", plain.wall,
                mb / plain.wall, mb / plain.cpu, static_cast<long long>(rows));
    std::printf("ratio: %.1f (wall), %.1f (CPU time)\n", plain.wall / decoder.wall, plain.cpu / decoder.cpu);

    QFile::remove(source);
    QFile::remove(folder + "/output_bench.txt");
    QFile::remove(folder + "/plain_bench.txt");
    Logger::Shutdown();
    return 0;
}
