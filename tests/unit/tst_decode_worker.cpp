// Offline decoding driven straight through the worker: recorded streams with
// garbage, broken and truncated frames, and the exact tables they give.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>

#include <sys/stat.h>

#include "commom/CommonFunction.h"
#include "commom/Global.h"
#include "dialogs/general/DecodeTables.h"
#include "dialogs/general/TableTextBuffer.h"
#include "dialogs/general/WorkerThreadDecode.h"
#include "workerThread/DeviceFrames.h"

namespace {

template <typename T>
void Put(QByteArray& b, int offset, T v)
{
    if (b.size() < offset + int(sizeof v)) {
        b.resize(offset + int(sizeof v));
    }
    std::memcpy(b.data() + offset, &v, sizeof v);
}

QByteArray AhrsPayload(uint32_t time, float base)
{
    QByteArray p(44, '\0');
    Put<uint32_t>(p, 0, time);
    for (int i = 0; i < 10; ++i) {
        Put<float>(p, 4 + 4 * i, base + i);
    }
    return p;
}

QString ReadText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return QString("<missing>");
    }
    return QString::fromUtf8(f.readAll());
}

// Recordings of every decode type made from a fixed seed: frames of random
// fields (awkward floats included), garbage, broken and short frames.
class RecordingMaker
{
public:
    explicit RecordingMaker(uint32_t seed) : m_rng(seed) {}

    uint32_t Next() { return m_rng(); }

    // Values that stress number formatting: any bit pattern, halves that sit
    // exactly between two six-digit results, large integers, tiny numbers,
    // zeros of both signs, infinities and not-a-number.
    float AwkwardFloat()
    {
        const uint32_t r = Next();
        switch (r % 8) {
        case 0: {
            const uint32_t bits = Next();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        case 1: return float(int(Next() % 2000001) - 1000000) / 8.f;
        case 2: return float(1000000 + Next() % 9000000) * ((r & 256) ? 1.f : -10.f);
        case 3: return float(int(Next() % 200001) - 100000) * 1e-7f;
        case 4: return std::ldexp(float(Next() % 4096), int(Next() % 80) - 40);
        case 5: {
            static const float special[] = {0.f, -0.f, std::numeric_limits<float>::infinity(),
                                            -std::numeric_limits<float>::infinity(),
                                            std::numeric_limits<float>::quiet_NaN(), 999999.5f, 9999995.f,
                                            1e-5f, 0.0001f, 123456.5f, 1e-45f, 3.4e38f};
            return special[Next() % 12];
        }
        default: return float(int(Next() % 20001) - 10000) / 100.f;
        }
    }

    QByteArray Payload(int size)
    {
        QByteArray p(size, '\0');
        for (int at = 0; at + 4 <= size; at += 4) {
            const float f = AwkwardFloat();
            std::memcpy(p.data() + at, &f, 4);
        }
        for (int i = 0; i < size % 4; ++i) {
            p[size - 1 - i] = char(Next());
        }
        // Sprinkle plain integers and bytes over the floats.
        for (int k = 0; k < size / 16; ++k) {
            p[int(Next() % uint32_t(size))] = char(Next());
        }
        return p;
    }

    // A frame, now and then preceded by garbage, damaged or cut short.
    void Frame(QByteArray& out, uint16_t id, const QByteArray& payload)
    {
        const uint32_t r = Next() % 16;
        if (r == 0) {
            out += Payload(int(Next() % 40)); // garbage between frames
        }
        QByteArray frame =
            BuildDeviceFrame(id, r == 1 ? payload.left(int(Next() % uint32_t(payload.size()))) : payload);
        if (r == 2) {
            const int at = 2 + int(Next() % uint32_t(frame.size() - 2));
            frame[at] = char(frame[at] ^ (1 << (Next() % 8)));
        }
        out += frame;
    }

    QByteArray CanLine(int id, bool tidy)
    {
        QByteArray line = "1.2345 1 " + QByteArray::number(id) + " Rx d 8";
        for (int i = 0; i < 8; ++i) {
            line += ' ' + QByteArray::number(Next() % 256, 16).rightJustified(2, '0').toUpper();
        }
        if (!tidy) {
            line += " Length = 0 BitCount = 64";
        }
        return line + ((Next() & 1) ? "\r\n" : "\n");
    }

private:
    std::mt19937 m_rng;
};

QByteArray MakeRecording(int type, uint32_t seed)
{
    RecordingMaker m(seed);
    QByteArray out;
    auto frames = [&](std::initializer_list<std::pair<uint16_t, int>> kinds, int count) {
        for (int i = 0; i < count; ++i) {
            const auto& kind = *(kinds.begin() + m.Next() % kinds.size());
            m.Frame(out, kind.first, m.Payload(kind.second));
        }
    };
    switch (type) {
    case DECODE_AHRS:
        if (seed & 1) {
            m.Frame(out, FRAME_GNSS_UWB_DATA, m.Payload(1162));
        }
        frames({{FRAME_AHRS_DATA, 44}, {FRAME_AHRS_DATA, 44}, {FRAME_AHRS_MAG_DATA, 56}, {FRAME_VERSION, 78},
                {FRAME_GNSS_UWB_DATA, 1162}},
               300);
        break;
    case DECODE_INS_RTK: frames({{FRAME_INS_DATA, 86}, {FRAME_RTK_DATA, 59}, {FRAME_RTK_HEADING, 24}}, 200); break;
    case DECODE_ARRAY4: frames({{FRAME_CALIB_PUBLISH, 8264}, {FRAME_CALIB_PUBLISH_ALT, 8264}}, 4); break;
    case DECODE_ARRAY8: frames({{FRAME_ARRAY8_RECORDS, 11848}, {FRAME_AHRS_DATA, 44}}, 4); break;
    case DECODE_ARRAY32: frames({{FRAME_ARRAY32_RECORDS, 33352}}, 2); break;
    case DECODE_IMU33: frames({{FRAME_IMU33_DATA, 932}, {FRAME_IMU33_DATA, 932}, {FRAME_AHRS_DATA, 44}}, 60); break;
    case DECODE_WAIST_FEET:
        frames({{FRAME_WAIST_NAV, 64}, {FRAME_LEFT_FOOT_NAV, 64}, {FRAME_RIGHT_FOOT_NAV, 64}, {FRAME_VERSION, 78}},
               200);
        break;
    case DECODE_BDDB_SENSOR:
        for (int i = 0; i < 300; ++i) {
            QByteArray f = QByteArray::fromHex("BD") + QByteArray(1 + int(m.Next() % 3), '\xDB') + "\n"
                           + m.Payload(30);
            uint8_t x = 0;
            for (char c : f) {
                x ^= uint8_t(c);
            }
            f += char(m.Next() % 16 == 0 ? x ^ 1 : x);
            out += (m.Next() % 8 == 0) ? m.Payload(int(m.Next() % 20)) + f : f;
        }
        break;
    case DECODE_SYNC_ATTITUDE: frames({{700, 49}, {701, 49}, {FRAME_VERSION, 20}}, 300); break;
    case DECODE_CAN_LOG:
        out += "date Mon Dec 7 12:00:00 2026\nbase hex  timestamps absolute\n";
        for (int i = 0; i < 400; ++i) {
            const uint32_t r = m.Next() % 32;
            const int id = r == 0 ? 70 : (r == 1 ? 65 + int(m.Next() % 5) : 65 + i % 5);
            out += r == 2 ? QByteArray("short line\n") : m.CanLine(id, r != 3);
        }
        break;
    default: break;
    }
    return out;
}

// A recording on a failing medium (a stick pulled, a bad sector): reads
// fail with the system's error once the given number of bytes was read.
class FailingSource : public QIODevice
{
public:
    FailingSource(const QByteArray& bytes, qint64 readable) : m_bytes(bytes), m_readable(readable) {}
    qint64 size() const override { return m_bytes.size(); }

protected:
    qint64 readData(char* data, qint64 max) override
    {
        if (m_at >= m_readable) {
            setErrorString("Input/output error");
            return -1;
        }
        const qint64 n = std::min(max, m_readable - m_at);
        std::memcpy(data, m_bytes.constData() + m_at, size_t(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_readable;
    qint64 m_at = 0;
};

struct Run
{
    QStringList finals;
    QStringList interim;
    QList<int> progress;
};

} // namespace

class TestDecodeWorker : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.path() + "/" + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        f.close();
        return path;
    }

    Run Decode(const QString& source, int type, const QString& dest = QString(), QIODevice* device = nullptr)
    {
        WorkerThreadDecode worker;
        worker.SetSourceDevice(std::unique_ptr<QIODevice>(device));
        Run run;
        connect(&worker, &WorkerThreadDecode::SignalLog, [&run](uint8_t label, QString text) {
            (label ? run.finals : run.interim) << text;
        });
        connect(&worker, &WorkerThreadDecode::SignalDecodeProgressChanged,
                [&run](int p) { run.progress << p; });
        QSignalSpy exits(&worker, &WorkerThreadDecode::SignalExitThread);
        worker.slot_do_file_decode(source, dest.isEmpty() ? m_dir.path() : dest, type);
        if (exits.count() != 1) {
            run.finals << "<no exit>";
        }
        return run;
    }

private slots:
    void init()
    {
        g_decode_exit = false;
    }

    void recordingWithGarbageDecodesToExactTable()
    {
        QByteArray stream;
        stream += QByteArray::fromHex("0102AA03FF55");                  // garbage, a lone AA
        stream += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(1000, 0.5f));
        stream += QByteArray::fromHex("AA");                            // stray start byte
        stream += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(2000, -1.25f));
        QByteArray bad = BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(3000, 7.f));
        bad[10] = char(bad[10] ^ 0x01);                                 // one flipped payload bit
        stream += bad;
        stream += BuildDeviceFrame(FRAME_VERSION, QByteArray(78, 'v')); // not tabulated, still decoded
        QByteArray mag = AhrsPayload(4294967295u, 100.f);
        Put<float>(mag, 44, 0.0001f);
        Put<float>(mag, 48, 0.00001f);
        Put<float>(mag, 52, 25.5f);
        stream += BuildDeviceFrame(FRAME_AHRS_MAG_DATA, mag);
        stream += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(5000, 1.f)).left(30); // truncated
        const QString src = Write("flight.dat", stream);

        const Run run = Decode(src, DECODE_AHRS);
        QCOMPARE(run.finals, QStringList{"解码完成，解码误码数：1,解码成功数：4"});
        QVERIFY(run.interim.isEmpty());
        QCOMPARE(run.progress, QList<int>{100});
        QCOMPARE(ReadText(m_dir.path() + "/output_flight.txt"),
                 QString("%time_us,accx,accy,accz,gyrox,gyroy,gyroz,temperature,roll,pitch,yaw,mx,my,mz\n"
                         "1000,3.5,4.5,5.5,6.5,7.5,8.5,9.5,1.5,0.5,2.5\n"
                         "2000,1.75,2.75,3.75,4.75,5.75,6.75,7.75,-0.25,-1.25,0.75\n"
                         "4294967295,103,104,105,106,107,108,109,101,100,102,0.0001,1e-05,25.5\n"));
    }

    void numberFormatsFollowPercentG()
    {
        QByteArray p = AhrsPayload(7, 0.f);
        Put<float>(p, 16, std::numeric_limits<float>::infinity());
        Put<float>(p, 20, std::numeric_limits<float>::quiet_NaN());
        Put<float>(p, 24, 1.5e6f);
        Put<float>(p, 28, 12.345678f);
        Put<float>(p, 32, -0.000123f);
        TableTextBuffer text;
        DecodeTables::AhrsRow(text, reinterpret_cast<const uint8_t*>(p.constData()), false);
        QCOMPARE(text.ToByteArray(), QByteArray("7,inf,nan,1.5e+06,12.3457,-0.000123,8,9,1,0,2\n"));

        // The same text as a default text stream for any value: halves
        // away from zero (1024.125 gives 1024.13), -0 as 0, every NaN "nan".
        RecordingMaker maker(77);
        QString expected;
        QTextStream stream(&expected);
        TableTextBuffer got;
        for (int i = 0; i < 200000; ++i) {
            const double v = (i % 5 == 4) ? double(int(maker.Next() % 2000001) - 1000000) * 0.006
                                          : double(maker.AwkwardFloat());
            stream << v << ',';
            got << v << ',';
        }
        stream.flush();
        QCOMPARE(got.ToByteArray(), expected.toLatin1());
    }

    void streamSynchronisation()
    {
        QByteArray stream;
        // AA AA 55 ... still gives the frame that follows the stray AA.
        stream += QByteArray::fromHex("AA") + BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(1, 0.f));
        // Length 0: refused, counted neither way.
        QByteArray empty = QByteArray::fromHex("AA55020000");
        empty += QByteArray::fromHex("00");
        stream += empty + QByteArray(4, '\x11');
        stream += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(2, 0.f));
        const Run run = Decode(Write("sync.dat", stream), DECODE_AHRS);
        QCOMPARE(run.finals, QStringList{"解码完成，解码误码数：0,解码成功数：2"});
        QCOMPARE(ReadText(m_dir.path() + "/output_sync.txt").count('\n'), 3);
    }

    void progressAndInterimStatusEveryThousandBytes()
    {
        QByteArray stream(1500, '\x00');
        stream += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(1, 0.f));
        stream += QByteArray(2500 - stream.size(), '\x00');
        const Run run = Decode(Write("progress.dat", stream), DECODE_AHRS);
        QCOMPARE(run.interim, (QStringList{"正在解码中..，解码误码数：0,解码成功数：0",
                                           "正在解码中..，解码误码数：0,解码成功数：1"}));
        QCOMPARE(run.progress, (QList<int>{40, 80, 100}));
    }

    void cancelStopsAndStillReportsCounts()
    {
        QByteArray stream;
        for (int i = 0; i < 200; ++i) {
            stream += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(uint32_t(i), 0.f));
        }
        const QString src = Write("cancel.dat", stream);
        WorkerThreadDecode worker;
        QStringList finals;
        QList<int> progress;
        connect(&worker, &WorkerThreadDecode::SignalDecodeProgressChanged, [&progress](int p) {
            progress << p;
            g_decode_exit = true; // the dialog closes after the first report
        });
        connect(&worker, &WorkerThreadDecode::SignalLog, [&finals](uint8_t label, QString t) {
            if (label) {
                finals << t;
            }
        });
        worker.slot_do_file_decode(src, m_dir.path(), DECODE_AHRS);
        // 1000 bytes hold 16 frames of 54 bytes and part of the 19th.
        QCOMPARE(finals, QStringList{"解码完成，解码误码数：0,解码成功数：18"});
        QCOMPARE(progress, (QList<int>{9, 100}));
        QCOMPARE(ReadText(m_dir.path() + "/output_cancel.txt").count('\n'), 19);
        QVERIFY(!WorkerThreadDecode::IsDecodeRunning());
    }

    void emptyMissingAndUnwritable()
    {
        Run run = Decode(Write("empty.dat", QByteArray()), DECODE_AHRS);
        QCOMPARE(run.finals, QStringList{"没有解出对应帧，请确认数据文件是否正确"});
        QCOMPARE(run.progress, QList<int>{100});
        QVERIFY(!QFile::exists(m_dir.path() + "/output_empty.txt"));

        run = Decode(m_dir.path() + "/no_such.dat", DECODE_AHRS);
        QCOMPARE(run.finals,
                 QStringList{"打不开文件，文件打开失败：" + m_dir.path() + "/no_such.dat（No such file or directory）"});
        QVERIFY(run.progress.isEmpty());

        const QString src = Write("lost.dat", BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(1, 0.f)));
        run = Decode(src, DECODE_AHRS, m_dir.path() + "/no/such/folder");
        QCOMPARE(run.finals, QStringList{"打不开文件，文件打开失败：" + m_dir.path()
                                         + "/no/such/folder/output_lost.txt（No such file or directory）"});
    }

    // A table that cannot be written whole is a failure, never "解码完成":
    // a full device (small and large tables: the failure comes at the end
    // or with the first block), a read-only folder (%2: the system's reason
    // there); nothing is left behind.
    void unwritableTableIsReportedAsFailure_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<bool>("fullDevice");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("final");
        const QString full("解码失败，文件写入失败：%1/output_table.txt（No space left on device）");
        QTest::newRow("full device, small table") << 3 << true << int(DECODE_AHRS) << full;
        QTest::newRow("full device, large table") << 40000 << true << int(DECODE_AHRS) << full;
        QTest::newRow("read-only folder") << 3 << false << int(DECODE_AHRS)
                                          << QString("打不开文件，文件打开失败：%1/output_table.txt（%2）");
        QTest::newRow("read-only folder, waist table")
            << 3 << false << int(DECODE_WAIST_FEET) << QString("打不开文件，文件打开失败：%1/腰部_output_table.txt（%2）");
    }

    void unwritableTableIsReportedAsFailure()
    {
        QFETCH(int, frames);
        QFETCH(bool, fullDevice);
        QFETCH(int, type);
        QFETCH(QString, final);
        QByteArray stream;
        for (int i = 0; i < frames; ++i) {
            stream += type == DECODE_WAIST_FEET ? BuildDeviceFrame(FRAME_WAIST_NAV, QByteArray(64, '\0'))
                                                : BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(uint32_t(i), 0.5f));
        }
        const QString src = Write("table.dat", stream);
        QTemporaryDir dir;
        QString folder = dir.path();
        if (fullDevice) {
            QVERIFY(QFile::link("/dev/full", folder + "/output_table.txt"));
        } else {
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            if (QFileInfo(folder).isWritable()) {
                folder = "/proc/self"; // root writes into any ordinary folder
            }
        }
        QFile probe(folder + "/probe.txt");
        QVERIFY(fullDevice || !probe.open(QIODevice::WriteOnly));
        const Run run = Decode(src, type, folder);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(run.finals, QStringList{fullDevice ? final.arg(folder) : final.arg(folder, probe.errorString())});
        QVERIFY(!QFileInfo::exists(folder + "/output_table.txt"));
        QVERIFY(!QFileInfo::exists(folder + "/腰部_output_table.txt"));
        QVERIFY(!WorkerThreadDecode::IsDecodeRunning());
    }

    // A source that cannot be read to its end is a failure, never a table
    // of its first part: midway, at the first read, inside an overlong CAN
    // line; rows on helper threads or not. "mem" is a real file whose first
    // read fails (/proc/self/mem at address 0).
    void unreadableSourceIsAFailure_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("readable"); // -1: /proc/self/mem
        QTest::addColumn<int>("threads");
        QTest::newRow("byte stream, midway") << int(DECODE_AHRS) << 1000000 << -1;
        QTest::newRow("byte stream, midway, one thread") << int(DECODE_AHRS) << 1000000 << 0;
        QTest::newRow("byte stream, first read") << int(DECODE_AHRS) << 0 << -1;
        QTest::newRow("byte stream, mem") << int(DECODE_AHRS) << -1 << -1;
        QTest::newRow("can log, midway") << int(DECODE_CAN_LOG) << 1000000 << -1;
        QTest::newRow("can log, overlong line") << int(DECODE_CAN_LOG) << 1100000 << -1;
        QTest::newRow("can log, mem") << int(DECODE_CAN_LOG) << -1 << -1;
    }

    void unreadableSourceIsAFailure()
    {
        QFETCH(int, type);
        QFETCH(int, readable);
        QFETCH(int, threads);
        QByteArray recording;
        while (recording.size() < 2000000) {
            if (type == DECODE_CAN_LOG) {
                for (int id = 65; id <= 69; ++id) {
                    recording += "0.5 1 " + QByteArray::number(id) + " Rx d 8 00 00 80 3F 64 00 03 00\n";
                }
                if (recording.size() > 1090000 && recording.size() < 1092000) {
                    recording += QByteArray(20000, 'x') + "\n";
                }
            } else {
                recording += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(uint32_t(recording.size()), 0.f));
            }
        }
        const QString src = readable < 0 ? QString("/proc/self/mem") : m_dir.path() + "/pulled.dat";
        WorkerThreadDecode::SetRowThreads(threads);
        const Run run = Decode(src, type, m_dir.path(), readable < 0 ? nullptr : new FailingSource(recording, readable));
        WorkerThreadDecode::SetRowThreads(-1);
        QCOMPARE(run.finals, QStringList{"解码失败，文件读取失败：" + src + "（Input/output error）"});
        QVERIFY(!QFile::exists(m_dir.path() + (readable < 0 ? "/output_mem.txt" : "/output_pulled.txt")));
        QVERIFY(!WorkerThreadDecode::IsDecodeRunning());
    }

    void outputNameAndOlderTableReplaced()
    {
        QFile old(m_dir.path() + "/output_run.2.txt");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
        old.close();
        Decode(Write("run.2.dat", BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(9, 0.f))), DECODE_AHRS);
        QCOMPARE(ReadText(m_dir.path() + "/output_run.2.txt"),
                 QString("%time_us,accx,accy,accz,gyrox,gyroy,gyroz,temperature,roll,pitch,yaw,mx,my,mz\n"
                         "9,3,4,5,6,7,8,9,1,0,2\n"));
        Decode(Write("plain", BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(9, 0.f))), DECODE_AHRS);
        QVERIFY(QFile::exists(m_dir.path() + "/output_plain.txt"));
    }

    void imu33HeaderAndShortFrame()
    {
        QByteArray full(932, '\0');
        Put<uint32_t>(full, 0, 11);
        for (int i = 0; i < 231; ++i) {
            Put<float>(full, 4 + 4 * i, 1.f);
        }
        Put<uint32_t>(full, 928, 77);
        QByteArray stream = BuildDeviceFrame(FRAME_IMU33_DATA, full);
        stream += BuildDeviceFrame(FRAME_IMU33_DATA, full.left(100));
        stream += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(1, 0.f)); // counted, not written
        const Run run = Decode(Write("array.dat", stream), DECODE_IMU33);
        QCOMPARE(run.finals, QStringList{"解码完成，解码误码数：0,解码成功数：3"});
        const QStringList lines = ReadText(m_dir.path() + "/output_array.txt").split('\n');
        QCOMPARE(lines.size(), 4);
        const QStringList header = lines[0].split(',');
        QCOMPARE(header.size(), 233);
        QCOMPARE(header[0], QString("%t1"));
        QCOMPARE(header[1], QString("imu00_0"));
        QCOMPARE(header[7], QString("temp_0"));
        QCOMPARE(header[57], QString("imu10_0"));
        QCOMPARE(header[58], QString("imu0_1"));
        QCOMPARE(header.mid(225), (QStringList{"imu8_0", "imu8_1", "imu8_2", "imu8_3", "imu8_4", "imu8_5",
                                               "temp_8", "index"}));
        const QStringList first = lines[1].split(',');
        QCOMPARE(first.size(), 233);
        QCOMPARE(first.first(), QString("11"));
        QCOMPARE(first.last(), QString("77"));
        // A short frame's missing fields are zero, not the previous frame's.
        const QStringList second = lines[2].split(',');
        QCOMPARE(second.size(), 233);
        QCOMPARE(second[24], QString("1"));
        QCOMPARE(second[25], QString("0"));
        QCOMPARE(second.last(), QString("0"));
        QCOMPARE(lines[3], QString());
    }

    void gnssUwbFirstFrameSetsWideHeader()
    {
        QByteArray g(1162, '\0');
        Put<uint32_t>(g, 0, 5);
        Put<float>(g, 20, 1.5f);
        g[68] = 3;
        g[69] = 12;
        Put<int32_t>(g, 70, -123);
        Put<uint32_t>(g, 322 + 70 * 9, 99);
        QByteArray stream = BuildDeviceFrame(FRAME_GNSS_UWB_DATA, g);
        stream += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(6, 0.f));
        Decode(Write("gnss.dat", stream), DECODE_AHRS);
        const QStringList lines = ReadText(m_dir.path() + "/output_gnss.txt").split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].endsWith("uwb_passNode10.calcul_lon,uwb_passNode10.calcul_alt,"));
        QCOMPARE(lines[0].count(','), 146);
        QVERIFY(lines[0].contains(",uwb_frameNode1.id,uwb_frameNode1.dis,"));
        QCOMPARE(lines[1].count(','), 146);
        QVERIFY(lines[1].startsWith("5,1.5,0,0,0,0,0,0,0,0,0,0,0,3,12,-123,0,0,"));
        QVERIFY(lines[1].endsWith(",99,0,0,0,0,0,0,0,"));
        QCOMPARE(lines[2], QString("6,3,4,5,6,7,8,9,1,0,2"));
    }

    void insRtkTable()
    {
        QByteArray ins(86, '\0');
        Put<uint32_t>(ins, 0, 123456);
        Put<float>(ins, 18, 0.25f);
        Put<int32_t>(ins, 74, 31 * 10000000 + 2345678);
        Put<int32_t>(ins, 78, -(121 * 10000000 + 3456789));
        Put<int32_t>(ins, 82, 12345678);
        Put<float>(ins, 62, 3.f);
        Put<float>(ins, 66, 4.f);
        Put<float>(ins, 70, 12.f);
        QByteArray rtk(59, '\0');
        rtk[14] = char(50);
        rtk[15] = char(21);
        Put<int32_t>(rtk, 25, 12345678);
        Put<int16_t>(rtk, 49, -150);
        Put<int16_t>(rtk, 53, 199);
        QByteArray heading(24, '\0');
        heading[4] = char(4);
        Put<float>(heading, 5, 90.5f);
        QByteArray stream = BuildDeviceFrame(FRAME_INS_DATA, ins) + BuildDeviceFrame(FRAME_RTK_DATA, rtk)
                            + BuildDeviceFrame(FRAME_RTK_HEADING, heading);
        Decode(Write("ins.dat", stream), DECODE_INS_RTK);
        const QStringList lines = ReadText(m_dir.path() + "/output_ins.txt").split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[0].startsWith("GPS周内毫秒,加速度(g)x,"));
        QVERIFY(lines[0].endsWith("RTK定向状态,RTK定向精度,RTK方位角,"));
        QCOMPARE(lines[1], QString("123456,0.25,0,0,0,0,0,31.2345678,-121.3456789,12345.678,3.000,4.000,"
                                   "12.000,13.000,0,0,0,NONE,0,0,0,0,0,0.0000000,0.0000000,0,0.000,0,0,0,0,"));
        QVERIFY(lines[2].contains(",13.000,0,0,0,窄巷固定,0,21,0,1,-1,0.0000000,0.0000000,12345.7,0.000,0,0,0,0,"));
        QVERIFY(lines[3].endsWith(",4,0,90.5,"));

        QCOMPARE(DecodeTables::SevenDecimalDegrees(50000), QString("0.0050000"));
        QCOMPARE(DecodeTables::SevenDecimalDegrees(-5000000), QString("-0.5000000"));
        QCOMPARE(DecodeTables::SevenDecimalDegrees(0), QString("0.0000000"));
        QCOMPARE(DecodeTables::RtkStateName(3), QString());
    }

    void arrayTables()
    {
        QByteArray zero(8 + 32 * 256 + 64, '\0');
        Decode(Write("a4.dat", BuildDeviceFrame(FRAME_CALIB_PUBLISH, zero)
                                   + BuildDeviceFrame(FRAME_ARRAY32_RECORDS, QByteArray(40, '\x01'))),
               DECODE_ARRAY4);
        const QStringList lines = ReadText(m_dir.path() + "/output_a4.txt").split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("%imu0-0-0,imu0-0-1,"));
        QVERIFY(lines[0].endsWith("error_count,time_us,index,"));
        QVERIFY(lines[0].contains(",imu_fused1-6,calib_status,time_stable_us,time_consume_us,imu2-0-0,"));
        QCOMPARE(lines[0].count(','), 1730);
        QCOMPARE(lines[1].count(','), 1730);
        QVERIFY(lines[1].contains(",0,0,000,0,"));

        TableTextBuffer header;
        DecodeTables::ArrayHeader(header, DECODE_ARRAY32);
        QCOMPARE(header.ToByteArray().count(','), 7938);
        header.Clear();
        DecodeTables::ArrayHeader(header, DECODE_ARRAY8);
        QCOMPARE(header.ToByteArray().count(','), 2562);
        QVERIFY(header.ToByteArray().contains("imu_fused31-6,rev,error_count,"));
    }

    void waistAndFeetFiles()
    {
        auto foot = [](uint32_t t) {
            QByteArray p(64, '\0');
            Put<uint32_t>(p, 0, t);
            Put<float>(p, 60, 2.5f);
            return p;
        };
        QByteArray stream;
        for (uint16_t id : {768, 769, 770, 768, 769}) {
            stream += BuildDeviceFrame(id, foot(id));
        }
        Decode(Write("walk.dat", stream), DECODE_WAIST_FEET);
        const QString header("%time_us,pitch,roll,yaw,accx,accy,accz,gyrox,gyroy,gyroz,temperature,altitude,"
                             "pressure,magData_1,magData_2,magData_3\n");
        const QString row("%1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,2.5\n");
        QCOMPARE(ReadText(m_dir.path() + "/腰部_output_walk.txt"), header + row.arg(768) + row.arg(768));
        QCOMPARE(ReadText(m_dir.path() + "/左足_output_walk.txt"), header + row.arg(769) + row.arg(769));
        QCOMPARE(ReadText(m_dir.path() + "/右足_output_walk.txt"), header + row.arg(770));
        QVERIFY(!QFile::exists(m_dir.path() + "/output_walk.txt"));
    }

    void bdDbSensorFrames()
    {
        auto frame = [](int16_t raw, int dbCount) {
            QByteArray f = QByteArray::fromHex("BD") + QByteArray(dbCount, '\xDB') + QByteArray::fromHex("0A");
            QByteArray p(30, '\0');
            Put<float>(p, 0, 1.25f);
            Put<int16_t>(p, 24, raw);
            p[26] = 7;
            Put<uint16_t>(p, 28, 65535);
            f += p;
            uint8_t x = 0;
            for (char c : f) {
                x ^= uint8_t(c);
            }
            f += char(x);
            return f;
        };
        QByteArray bad = frame(1, 1);
        bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 0xFF);
        QByteArray stream = frame(5000, 3) + QByteArray::fromHex("BD0A") + bad + QByteArray::fromHex("BD")
                            + frame(-1, 1);
        const Run run = Decode(Write("bd.dat", stream), DECODE_BDDB_SENSOR);
        QCOMPARE(run.finals, QStringList{"解码完成，解码误码数：1,解码成功数：2"});
        QCOMPARE(ReadText(m_dir.path() + "/output_bd.txt"),
                 QString("Gx,Gy,Gz,Ax,Ay,Az,Temperature,Built-in Test,Counter\n"
                         "1.25,0,0,0,0,0,30,7,0,65535\n"
                         "1.25,0,0,0,0,0,-0.006,7,0,65535\n"));
    }

    void syncAttitudeEveryFrame()
    {
        QByteArray p(49, '\0');
        Put<uint64_t>(p, 0, uint64_t(1) << 40);
        p[8] = 1;
        Put<float>(p, 45, 36.6f);
        QByteArray stream = BuildDeviceFrame(700, p) + BuildDeviceFrame(FRAME_VERSION, QByteArray(3, '\x02'));
        Decode(Write("sync8.dat", stream), DECODE_SYNC_ATTITUDE);
        QCOMPARE(ReadText(m_dir.path() + "/output_sync8.txt"),
                 QString("time_us,time_sync_flag,pitch,roll,yaw,accx,accy,accz,gyrox,gyroy,gyroz,temperature\n"
                         "1099511627776,1,0,0,0,0,0,0,0,0,0,36.6\n"
                         "131586,0,0,0,0,0,0,0,0,0,0,0\n"));
    }

    void canTextLog()
    {
        auto line = [](int id, const char* data) {
            return QByteArray("0.001 1 ") + QByteArray::number(id) + " Rx d 8 " + data + "\r\n";
        };
        // 3F800000 = 1.0, 40000000 = 2.0; temp 0x09C4 = 2500 -> 25, index 0x0010.
        const char* ones = "00 00 80 3F 00 00 00 40";
        QByteArray log = "date Mon\n";
        log += line(65, ones) + line(66, ones) + line(70, ones) + line(67, ones) + line(68, ones)
               + line(69, "00 00 80 3F C4 09 10 00");
        log += line(65, ones) + line(66, ones) + line(68, ones);           // broken sequence
        log += line(65, ones) + line(66, ones) + line(65, ones) + line(66, ones) + line(67, ones)
               + line(68, ones) + line(69, ones);                          // second 65 breaks it
        const Run run = Decode(Write("bus.asc", log), DECODE_CAN_LOG);
        QCOMPARE(run.finals, QStringList{"解码完成，解码误码数：2,解码成功数：1"});
        QCOMPARE(ReadText(m_dir.path() + "/output_bus.txt"),
                 QString("index,ax,ay,az,gx,gy,gz,roll,pitch,yaw,temp\n"
                         "16,1.00000000,2.00000000,1.00000000,2.00000000,1.00000000,2.00000000,"
                         "1.00000000,2.00000000,1.00000000,25\n"));
        QVERIFY(!run.progress.isEmpty());
        QVERIFY(run.progress.last() == 100);
    }

    void readOnlyRecordingIsDecodedAndLeftUntouched()
    {
        const QByteArray stream = BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(1, 0.f))
                                  + BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(2, 0.f));
        const QString src = Write("readonly.dat", stream);
        QVERIFY(QFile::setPermissions(src, QFileDevice::ReadOwner | QFileDevice::ReadUser));
        const Run run = Decode(src, DECODE_AHRS);
        QFile::setPermissions(src, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(run.finals, QStringList{"解码完成，解码误码数：0,解码成功数：2"});
        QCOMPARE(ReadText(m_dir.path() + "/output_readonly.txt").count('\n'), 3);
        QFile f(src);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), stream);
    }

    void canLogWithUnwritableOutputEndsWithoutProgress()
    {
        const QString src = Write("canfail.asc", QByteArray("a b 65 c d e 00 00 00 00 00 00 00 00\n"));
        const Run run = Decode(src, DECODE_CAN_LOG, m_dir.path() + "/no/such/folder");
        QCOMPARE(run.finals, QStringList{"打不开文件，文件打开失败：" + m_dir.path()
                                         + "/no/such/folder/output_canfail.txt（No such file or directory）"});
        QVERIFY(run.interim.isEmpty());
        QVERIFY(run.progress.isEmpty());
        QVERIFY(!WorkerThreadDecode::IsDecodeRunning());
    }

    void canLogSkippedLinesAndShiftedFields()
    {
        auto line = [](int id, const char* data) {
            return QByteArray("0.5 1 ") + QByteArray::number(id) + " Rx d 8 " + data + "\n";
        };
        const char* ones = "00 00 80 3F 00 00 00 40";
        QByteArray log;
        // First line: the first interim status comes right after it.
        log += line(65, ones) + QByteArray("short line 66\n") + line(66, ones) + line(67, ones) + line(68, ones)
               + line(69, "00 00 80 3F 64 00 03 00");
        // Two spaces shift every later field: the id is read from "1", so
        // the line is skipped and the sequence still completes.
        log += line(65, ones) + QByteArray("0.5  1 66 Rx d 8 00 00 80 3F 00 00 00 40\n") + line(66, ones)
               + line(67, ones) + line(68, ones) + line(69, "00 00 00 40 C8 00 04 00");
        const Run run = Decode(Write("skip.asc", log), DECODE_CAN_LOG);
        QCOMPARE(run.finals, QStringList{"解码完成，解码误码数：0,解码成功数：2"});
        QCOMPARE(run.interim, QStringList{"正在解码中..，解码误码数：0,解码成功数：0"});
        QCOMPARE(run.progress.last(), 100);
        const QStringList lines = ReadText(m_dir.path() + "/output_skip.txt").split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1], QString("3,1.00000000,2.00000000,1.00000000,2.00000000,1.00000000,2.00000000,"
                                   "1.00000000,2.00000000,1.00000000,1"));
        QCOMPARE(lines[2], QString("4,1.00000000,2.00000000,2.00000000,2.00000000,1.00000000,2.00000000,"
                                   "1.00000000,2.00000000,1.00000000,2"));
    }

    void canLogOverlongLinesSkippedAndCounted()
    {
        auto line = [](int id) { return "0.5 1 " + QByteArray::number(id) + " Rx d 8 00 00 80 3F 64 00 03 00\n"; };
        // A line past 4 KiB (one inside a sequence, one at the end without a
        // line end) is passed over, not held, and the sequence goes on.
        const QByteArray log = line(65) + QByteArray(10000, 'x') + "\n" + line(66) + line(67) + line(68)
                               + line(69) + QByteArray(WorkerThreadDecode::kLongestCanLine, 'y');
        const Run run = Decode(Write("long.asc", log), DECODE_CAN_LOG);
        QCOMPARE(run.finals, QStringList{"解码完成，解码误码数：0,解码成功数：1,跳过过长行数：2"});
        QCOMPARE(ReadText(m_dir.path() + "/output_long.txt").count('\n'), 2);
        QCOMPARE(run.progress.last(), 100);
    }

    void waistOnlyRecordingMakesOneFile()
    {
        QByteArray p(64, '\0');
        Put<uint32_t>(p, 0, 42);
        Decode(Write("waist.dat", BuildDeviceFrame(768, p) + BuildDeviceFrame(768, p)), DECODE_WAIST_FEET);
        QCOMPARE(ReadText(m_dir.path() + "/腰部_output_waist.txt").count('\n'), 3);
        QVERIFY(!QFile::exists(m_dir.path() + "/左足_output_waist.txt"));
        QVERIFY(!QFile::exists(m_dir.path() + "/右足_output_waist.txt"));
    }

    void imu33TableIgnoresOtherFrames()
    {
        QByteArray stream;
        for (uint32_t t = 1; t <= 3; ++t) {
            stream += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(t, 0.f));
        }
        const Run run = Decode(Write("ahrsonly.dat", stream), DECODE_IMU33);
        QCOMPARE(run.finals, QStringList{"解码完成，解码误码数：0,解码成功数：3"});
        const QString text = ReadText(m_dir.path() + "/output_ahrsonly.txt");
        QCOMPARE(text.count('\n'), 1);
        QVERIFY(text.startsWith("%t1,imu00_0,imu0_1,"));
        QVERIFY(text.endsWith(",temp_8,index\n"));
    }

    void sourceOfUnknownSizeShowsSaneProgress()
    {
        // A pipe reports size 0; its progress must stay within 0..100.
        const QString path = m_dir.path() + "/pipe.dat";
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        QByteArray stream(1200, '\x00');
        stream += BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(1, 0.f));
        stream += QByteArray(1000, '\x00');
        std::thread writer([&path, &stream] {
            QFile w(path);
            if (w.open(QIODevice::WriteOnly)) {
                w.write(stream);
            }
        });
        const Run run = Decode(path, DECODE_AHRS);
        writer.join();
        QCOMPARE(run.finals, QStringList{"解码完成，解码误码数：0,解码成功数：1"});
        QCOMPARE(run.progress, (QList<int>{100, 100, 100}));
    }

    // Generated recordings of every decode type; the digests were taken
    // from the tables of the one-stream-per-row writer, so any change of a
    // single byte in any table shows here.
    void everyTypeGivesTheSameTables_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<uint>("seed");
        QTest::addColumn<QStringList>("digests"); // file name and start of its SHA-256
        QTest::addColumn<int>("threads");         // formatting rows beside the decoding thread
        const auto newRow = [](const char* tag, int type, uint seed, const QStringList& digests) {
            QTest::addRow("%s, one thread", tag) << type << seed << digests << 0;
            QTest::addRow("%s, rows on 3 threads", tag) << type << seed << digests << 3;
        };
        newRow("ahrs", int(DECODE_AHRS), 2u, QStringList{"output_rec.txt 2cf0480ba0fab218"});
        newRow("ahrs, gnss first", int(DECODE_AHRS), 1u, QStringList{"output_rec.txt b9177b9583116743"});
        newRow("ins-rtk", int(DECODE_INS_RTK), 3u, QStringList{"output_rec.txt 4d72d5ba22adfe09"});
        newRow("array 4", int(DECODE_ARRAY4), 4u, QStringList{"output_rec.txt cbae34685883436b"});
        newRow("array 8", int(DECODE_ARRAY8), 5u, QStringList{"output_rec.txt 9d6e86518123e09d"});
        newRow("array 32", int(DECODE_ARRAY32), 6u, QStringList{"output_rec.txt eccbd334f0a4e3ad"});
        newRow("33-imu", int(DECODE_IMU33), 7u, QStringList{"output_rec.txt 969f4bb6bce53cc5"});
        newRow("waist and feet", int(DECODE_WAIST_FEET), 8u,
               QStringList{"右足_output_rec.txt f34c32919db8cfc1", "左足_output_rec.txt 8b51adc590a0d28d",
                           "腰部_output_rec.txt f532f409d797a365"});
        newRow("bd db sensor", int(DECODE_BDDB_SENSOR), 9u, QStringList{"output_rec.txt 4f95e7ff7f5aa7ed"});
        newRow("sync attitude", int(DECODE_SYNC_ATTITUDE), 10u, QStringList{"output_rec.txt 56155d7723b8e82e"});
        newRow("can log", int(DECODE_CAN_LOG), 11u, QStringList{"output_rec.txt e7dadc721f94eee6"});
    }

    void everyTypeGivesTheSameTables()
    {
        QFETCH(int, type);
        QFETCH(uint, seed);
        QFETCH(QStringList, digests);
        QFETCH(int, threads);
        WorkerThreadDecode::SetRowThreads(threads, 4096); // many small batches
        QTemporaryDir dir;
        const QString src = dir.path() + "/rec.dat";
        QFile f(src);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(MakeRecording(type, seed));
        f.close();
        const Run run = Decode(src, type, dir.path());
        WorkerThreadDecode::SetRowThreads(-1);
        QCOMPARE(run.finals.size(), 1);
        QVERIFY(run.finals[0].startsWith("解码完成"));
        QStringList got;
        for (const QString& name : QDir(dir.path()).entryList({"*output_rec.txt"}, QDir::Files, QDir::Name)) {
            QFile table(dir.path() + "/" + name);
            QVERIFY(table.open(QIODevice::ReadOnly));
            got << name + ' '
                       + QCryptographicHash::hash(table.readAll(), QCryptographicHash::Sha256).toHex().left(16);
            if (qEnvironmentVariableIsSet("CORVANTA_KEEP_TABLES")) {
                QFile::copy(table.fileName(), qEnvironmentVariable("CORVANTA_KEEP_TABLES") + "/"
                                                  + QTest::currentDataTag() + "-" + name);
            }
        }
        QCOMPARE(got.join(" | "), digests.join(" | "));
    }

    void secondDecodingRefusedWhileOneRuns()
    {
        const QString src = Write("nested.dat", BuildDeviceFrame(FRAME_AHRS_DATA, AhrsPayload(1, 0.f)));
        WorkerThreadDecode outer;
        WorkerThreadDecode inner;
        QStringList innerFinals;
        connect(&inner, &WorkerThreadDecode::SignalLog, [&innerFinals](uint8_t l, QString t) {
            if (l) {
                innerFinals << t;
            }
        });
        bool started = false;
        connect(&outer, &WorkerThreadDecode::SignalDecodeProgressChanged, [&](int) {
            if (!started) {
                started = true;
                QVERIFY(WorkerThreadDecode::IsDecodeRunning());
                inner.slot_do_file_decode(src, m_dir.path() + "/inner", DECODE_AHRS);
            }
        });
        outer.slot_do_file_decode(src, m_dir.path(), DECODE_AHRS);
        QCOMPARE(innerFinals, QStringList{"已有解码正在进行，请稍后再试"});
        QVERIFY(!WorkerThreadDecode::IsDecodeRunning());
    }
};

QTEST_GUILESS_MAIN(TestDecodeWorker)
#include "tst_decode_worker.moc"
