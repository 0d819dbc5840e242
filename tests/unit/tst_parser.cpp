#include <QtTest>

#include "commom/CommonFunction.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/FrameParser.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"
#include "workerThread/WorkerThreadImu.h"

#include <cstring>
#include <random>

namespace {

struct Found
{
    uint32_t id;
    QByteArray payload;
};

// Runs bytes through a parser one PushByte at a time.
QList<Found> ParseBytewise(FrameParser& parser, const QByteArray& bytes)
{
    QList<Found> found;
    for (char c : bytes) {
        if (parser.PushByte(static_cast<uint8_t>(c))) {
            found.append({parser.Id(), QByteArray(reinterpret_cast<const char*>(parser.Payload()),
                                                  static_cast<int>(parser.Length()))});
        }
    }
    return found;
}

// Runs bytes through Feed in reads of the given size.
QList<Found> ParseChunked(FrameParser& parser, const QByteArray& bytes, int chunk)
{
    QList<Found> found;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    for (int start = 0; start < bytes.size(); start += chunk) {
        const size_t count = static_cast<size_t>(std::min(chunk, bytes.size() - start));
        size_t used = 0;
        while (used < count) {
            bool ready = false;
            used += parser.Feed(data + start + used, count - used, &ready);
            if (ready) {
                found.append({parser.Id(), QByteArray(reinterpret_cast<const char*>(parser.Payload()),
                                                      static_cast<int>(parser.Length()))});
            }
        }
    }
    return found;
}

QByteArray Payload(int size, char fill)
{
    return QByteArray(size, fill);
}

} // namespace

class TestParser : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { RegsiterMetaType(); }

    void frameCutIntoSingleByteReads()
    {
        const QByteArray frame = BuildDeviceFrame(FRAME_AHRS_DATA, Payload(44, '\x21'));
        FrameParser parser;
        const QList<Found> found = ParseChunked(parser, frame, 1);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].id, uint32_t(FRAME_AHRS_DATA));
        QCOMPARE(found[0].payload, Payload(44, '\x21'));
    }

    void twoFramesInOneRead()
    {
        const QByteArray bytes = BuildDeviceFrame(1, Payload(3, 'a')) + BuildDeviceFrame(2, Payload(5, 'b'));
        FrameParser parser;
        const QList<Found> found = ParseChunked(parser, bytes, bytes.size());
        QCOMPARE(found.size(), 2);
        QCOMPARE(found[0].payload, Payload(3, 'a'));
        QCOMPARE(found[1].id, 2u);
        QCOMPARE(found[1].payload, Payload(5, 'b'));
    }

    void doubleFirstHeaderRestartsTheFrame()
    {
        const QByteArray bytes = QByteArray("\xAA", 1) + BuildDeviceFrame(FRAME_VERSION, Payload(78, '\x03'));
        FrameParser parser;
        const QList<Found> found = ParseBytewise(parser, bytes);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].id, uint32_t(FRAME_VERSION));
        QCOMPARE(parser.FailureCount(), 0u);
    }

    void headerInsidePayloadIsData()
    {
        QByteArray payload = Payload(20, '\x10');
        payload.replace(4, 2, QByteArray("\xAA\x55", 2));
        payload.replace(10, 3, QByteArray("\xAA\xAA\x55", 3));
        const QByteArray bytes = BuildDeviceFrame(7, payload) + BuildDeviceFrame(8, Payload(2, 'z'));
        FrameParser parser;
        const QList<Found> found = ParseChunked(parser, bytes, 3);
        QCOMPARE(found.size(), 2);
        QCOMPARE(found[0].payload, payload);
        QCOMPARE(found[1].id, 8u);
    }

    void corruptFrameCostsWholeFrameOnly()
    {
        QByteArray bad = BuildDeviceFrame(7, QByteArray("\x01\xAA\x55\x02\x00\x03\x00", 7));
        bad[8] = 0x42;   // payload byte changed after the CRC was computed
        const QByteArray good = BuildDeviceFrame(9, Payload(4, 'g'));
        FrameParser parser;
        const QList<Found> found = ParseBytewise(parser, bad + good);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].id, 9u);
        QCOMPARE(parser.FailureCount(), 1u);
        parser.Reset();
        QCOMPARE(parser.FailureCount(), 0u);
    }

    void zeroLengthIsDropped()
    {
        // AA 55 id 00 00, then a good frame right behind: the byte after the
        // length is examined in state 0.
        const QByteArray bytes = QByteArray("\xAA\x55\x02\x00\x00\x00", 6) + BuildDeviceFrame(3, Payload(1, 'q'));
        FrameParser parser;
        const QList<Found> found = ParseBytewise(parser, bytes);
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].id, 3u);
        QCOMPARE(parser.FailureCount(), 0u);
    }

    void bytewiseAndChunkedAgree()
    {
        std::mt19937 rng(7);
        QByteArray stream;
        for (int i = 0; i < 200; ++i) {
            QByteArray payload(static_cast<int>(rng() % 60 + 1), '\0');
            for (char& c : payload) {
                c = static_cast<char>(rng() % 4 == 0 ? 0xAA : rng());
            }
            stream += BuildDeviceFrame(static_cast<uint16_t>(rng()), payload);
            const int junk = static_cast<int>(rng() % 5);
            for (int j = 0; j < junk; ++j) {
                stream += static_cast<char>(rng() % 2 ? 0xAA : rng());
            }
        }
        FrameParser a;
        FrameParser b;
        const QList<Found> one = ParseBytewise(a, stream);
        const QList<Found> many = ParseChunked(b, stream, 37);
        QCOMPARE(one.size(), many.size());
        for (int i = 0; i < one.size(); ++i) {
            QCOMPARE(one[i].id, many[i].id);
            QCOMPARE(one[i].payload, many[i].payload);
        }
        QCOMPARE(a.FailureCount(), b.FailureCount());
    }

    // A megabyte of random bytes mixed with valid and corrupted frames: every
    // valid frame that garbage cannot swallow is found, and each corrupted
    // frame counts one failure.
    void randomStreamFindsEveryValidFrame()
    {
        std::mt19937 rng(20240601);
        QByteArray stream;
        QList<Found> expected;
        int corrupted = 0;
        while (stream.size() < 1024 * 1024) {
            const int kind = static_cast<int>(rng() % 3);
            if (kind == 0) {
                // Garbage without the first header byte cannot start a frame.
                const int n = static_cast<int>(rng() % 300);
                for (int i = 0; i < n; ++i) {
                    uint8_t c = static_cast<uint8_t>(rng());
                    stream += static_cast<char>(c == 0xAA ? 0x55 : c);
                }
                continue;
            }
            QByteArray payload(static_cast<int>(rng() % 200 + 1), '\0');
            for (char& c : payload) {
                c = static_cast<char>(rng());
            }
            const uint16_t id = static_cast<uint16_t>(rng());
            QByteArray frame = BuildDeviceFrame(id, payload);
            if (kind == 2) {
                // Damage the payload or the CRC, never id or length.
                const int at = 6 + static_cast<int>(rng() % static_cast<uint32_t>(payload.size() + 4));
                frame[at] = static_cast<char>(frame[at] ^ (1 + rng() % 255));
                ++corrupted;
            } else {
                expected.append({id, payload});
            }
            stream += frame;
        }
        FrameParser parser;
        const QList<Found> found = ParseChunked(parser, stream, 4096);
        QCOMPARE(found.size(), expected.size());
        for (int i = 0; i < found.size(); ++i) {
            QCOMPARE(found[i].id, expected[i].id);
            QCOMPARE(found[i].payload, expected[i].payload);
        }
        QCOMPARE(parser.FailureCount(), uint32_t(corrupted));
    }

    // Fully random bytes never crash the parser or its dispatcher.
    void randomBytesThroughDispatcher()
    {
        WorkerThreadImu worker;
        std::mt19937 rng(99);
        QByteArray junk(256 * 1024, '\0');
        for (char& c : junk) {
            const uint32_t r = rng();
            c = static_cast<char>(r % 8 == 0 ? 0xAA : (r % 8 == 1 ? 0x55 : r >> 8));
        }
        worker.ParseChunk(reinterpret_cast<const uint8_t*>(junk.constData()), static_cast<size_t>(junk.size()));
        QVERIFY(worker.GetParseState() <= 10);
    }

    void shortFrameAfterLongCarriesZeros()
    {
        WorkerThreadImu worker;
        QList<AhrsData> got;
        auto connection = connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
                                  this, [&](int id, QVariant var1, QVariant) {
                                      if (id == PAGE_MSG_AHRS_DATA) {
                                          got.append(var1.value<AhrsData>());
                                      }
                                  });
        const QByteArray full = BuildDeviceFrame(FRAME_AHRS_DATA, Payload(44, '\x7E'));
        const QByteArray shortFrame = BuildDeviceFrame(FRAME_AHRS_DATA, Payload(8, '\x01'));
        const QByteArray bytes = full + shortFrame;
        worker.ParseChunk(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
        disconnect(connection);
        QCOMPARE(got.size(), 2);
        const QByteArray second(reinterpret_cast<const char*>(&got[1]), sizeof(AhrsData));
        QCOMPARE(second, Payload(8, '\x01') + QByteArray(36, '\0'));
    }

    void shortAckAndParamFramesCountForNothing()
    {
        WorkerThreadImu worker;
        g_param_set_success_flag.store(-5);
        QList<int> ids;
        auto connection = connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
                                  this, [&](int id, QVariant, QVariant) { ids.append(id); });
        g_communicate_with_serial_flag.store(false);
        const QByteArray bytes = BuildDeviceFrame(FRAME_CMD_ACK, QByteArray("\x00\x00\x07", 3))
                                 + BuildDeviceFrame(FRAME_PARAM_VALUE, Payload(11, '\x03'));
        worker.ParseChunk(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
        disconnect(connection);
        QCOMPARE(g_param_set_success_flag.load(), -5);
        QCOMPARE(worker.LastAckValue(), 0u);
        QVERIFY(ids.isEmpty());
        QVERIFY(g_communicate_with_serial_flag.load());

        const QByteArray ack = BuildDeviceFrame(FRAME_CMD_ACK, QByteArray("\x00\x00\x2C\x01\x09\x00\x00\x00", 8));
        worker.ParseChunk(reinterpret_cast<const uint8_t*>(ack.constData()), static_cast<size_t>(ack.size()));
        QCOMPARE(g_param_set_success_flag.load(), 300);
        QCOMPARE(worker.LastAckValue(), 300u);
        QCOMPARE(worker.GetParamIndexSendUpload()[0], 9u);
    }

    // Random garbage that may hold header bytes: a pseudo-frame started in
    // the garbage can swallow what follows it, but every planted frame out
    // of reach of such a header is found, and nothing else is.
    void randomGarbageWithHeadersLosesOnlyOverlappedFrames()
    {
        std::mt19937 rng(424242);
        QByteArray stream;
        struct Planted
        {
            int start;
            uint16_t id;
            QByteArray payload;
            bool good;
        };
        QList<Planted> planted;
        QList<QPair<int, int>> garbage;  // [start, end) of each run
        while (stream.size() < 1024 * 1024) {
            if (rng() % 3 == 0) {
                const int start = stream.size();
                const int n = static_cast<int>(rng() % 400);
                for (int i = 0; i < n; ++i) {
                    const uint32_t r = rng();
                    const uint8_t c = static_cast<uint8_t>(r >> 8);
                    stream += static_cast<char>(r % 30 == 0 ? 0xAA : (c == 0x55 ? 0x56 : c));
                }
                // Now and then a false header, mostly with a short length,
                // rarely with any length at all.
                if (rng() % 6 == 0) {
                    stream += QByteArray("\xAA\x55", 2);
                    stream += static_cast<char>(rng());
                    stream += static_cast<char>(rng());
                    const bool any = rng() % 200 == 0;
                    stream += static_cast<char>(rng());
                    stream += static_cast<char>(any ? rng() : 0);
                }
                garbage.append({start, stream.size()});
                continue;
            }
            QByteArray payload(static_cast<int>(rng() % 120 + 1), '\0');
            for (char& c : payload) {
                c = static_cast<char>(rng());
            }
            const uint16_t id = static_cast<uint16_t>(rng());
            QByteArray frame = BuildDeviceFrame(id, payload);
            const bool good = rng() % 8 != 0;
            if (!good) {
                const int at = 6 + static_cast<int>(rng() % static_cast<uint32_t>(payload.size() + 4));
                frame[at] = static_cast<char>(frame[at] ^ 0x40);
            }
            planted.append({stream.size(), id, payload, good});
            stream += frame;
        }
        // How far a header that starts at g reaches (its frame's last byte + 1).
        const auto* bytes = reinterpret_cast<const uint8_t*>(stream.constData());
        auto reach = [&](int g) {
            if (g + 6 > stream.size()) {
                return stream.size();
            }
            const int length = bytes[g + 4] | (bytes[g + 5] << 8);
            return length == 0 ? g + 6 : std::min(stream.size(), g + 6 + length + 4);
        };
        // A header is any AA 55 that begins inside a garbage run.
        QList<QPair<int, int>> shadows;
        for (const auto& run : garbage) {
            for (int g = run.first; g < run.second; ++g) {
                if (bytes[g] == 0xAA && g + 1 < stream.size() && bytes[g + 1] == 0x55) {
                    shadows.append({g, reach(g)});
                }
            }
        }
        QVERIFY(!shadows.isEmpty());
        auto shadowed = [&](int start) {
            for (const auto& s : shadows) {
                if (s.first < start && s.second > start) {
                    return true;
                }
            }
            return false;
        };

        FrameParser parser;
        const QList<Found> found = ParseChunked(parser, stream, 1000);
        int clear = 0;
        int next = 0;
        for (const Planted& frame : planted) {
            if (!frame.good || shadowed(frame.start)) {
                continue;
            }
            ++clear;
            // Found in order: skip what the parser reported before it.
            while (next < found.size() && !(found[next].id == frame.id && found[next].payload == frame.payload)) {
                ++next;
            }
            QVERIFY2(next < found.size(), qPrintable(QString("frame at %1 not found").arg(frame.start)));
            ++next;
        }
        QVERIFY2(clear > planted.size() / 2, qPrintable(QString("%1 of %2").arg(clear).arg(planted.size())));
        // Everything reported was planted and good.
        int p = 0;
        for (const Found& f : found) {
            while (p < planted.size() && !(planted[p].good && planted[p].id == f.id && planted[p].payload == f.payload)) {
                ++p;
            }
            QVERIFY(p < planted.size());
            ++p;
        }
    }

    // With no read request running, every new index publishes the cache,
    // each value in its slot; unknown indices are only counted.
    void paramValuesFillTheirSlots()
    {
        WorkerThreadImu worker;
        QList<ImuParamData> got;
        auto connection = connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
                                  this, [&](int id, QVariant var1, QVariant) {
                                      if (id == PAGE_MSG_PARAM_DATA) {
                                          got.append(var1.value<ImuParamData>());
                                      }
                                  });
        const uint32_t ids[] = {3, 5, 8, 9, 10, 16, 17, 18, 21, 25, 31, 4, 77, 4};
        QByteArray bytes;
        for (uint32_t id : ids) {
            QByteArray payload(12, '\0');
            const float value = float(id) + 0.25f;
            std::memcpy(payload.data(), &value, 4);
            std::memcpy(payload.data() + 8, &id, 4);
            bytes += BuildDeviceFrame(FRAME_PARAM_VALUE, payload);
        }
        worker.ParseChunk(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
        disconnect(connection);
        QCOMPARE(got.size(), 13);  // the repeated 4 adds nothing
        const ImuParamData last = got.last();
        const uint32_t slotIds[ImuParamData::kSlotCount] = {3, 5, 8, 9, 10, 16, 17, 18, 21, 25, 31, 0, 4};
        for (int slot = 0; slot < ImuParamData::kSlotCount; ++slot) {
            QCOMPARE(last.Slot(slot), slotIds[slot] ? float(slotIds[slot]) + 0.25f : 0.0f);
        }
    }

    // The last index ends a table read at once, with entries missing: the
    // check runs over the values present and the read mode ends.
    void tableReadWithMissingEntriesChecksWhatArrived()
    {
        WorkerThreadImu worker;
        QList<QPair<int, QVariant>> got;
        auto connection = connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
                                  this, [&](int id, QVariant var1, QVariant var2) {
                                      if (id == PAGE_MSG_PARAM_TABLE_READ) {
                                          got.append({var1.toInt(), var2});
                                      }
                                  });
        worker.SendMessageToIMU(IMU_MSG_PARAM_TABLE, QVariant(0), QVariant());
        float values[126] = {0};
        QByteArray bytes;
        int k = 0;
        for (uint32_t id = 0; id < 126; id += 2, ++k) {
            values[k] = float(id);
            QByteArray payload(12, '\0');
            std::memcpy(payload.data(), &values[k], 4);
            std::memcpy(payload.data() + 8, &id, 4);
            bytes += BuildDeviceFrame(FRAME_PARAM_VALUE, payload);
        }
        // The CRC a writer would have stored for these values.
        const uint32_t crc = crc_crc32(1, reinterpret_cast<const unsigned char*>(values), sizeof values);
        QByteArray last(12, '\0');
        std::memcpy(last.data(), &crc, 4);
        const uint32_t lastId = 126;
        std::memcpy(last.data() + 8, &lastId, 4);
        bytes += BuildDeviceFrame(FRAME_PARAM_VALUE, last);
        // Behind the end of the read: not part of the table any more.
        bytes += BuildDeviceFrame(FRAME_PARAM_VALUE, last);
        worker.ParseChunk(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
        disconnect(connection);
        // The entry that ends the read sits among the values checked, so
        // the check can only fail here; no table follows.
        QCOMPARE(got.size(), 64 + 1);
        QCOMPARE(got[62].second.toString(), QString("已收到参数:63/127"));
        QCOMPARE(got[63].second.toString(), QString("已收到参数:64/127"));
        QCOMPARE(got[64].first, 4);
        QCOMPARE(got[64].second.toString(), QString("已收到参数:64/127,CRC校验不通过"));
    }

    void initParseStatusClearsTheFailureCount()
    {
        WorkerThreadImu worker;
        QByteArray bad = BuildDeviceFrame(5, QByteArray(4, 'x'));
        bad[7] = 'y';
        worker.ParseChunk(reinterpret_cast<const uint8_t*>(bad.constData()), static_cast<size_t>(bad.size()));
        worker.ParseChunk(reinterpret_cast<const uint8_t*>(bad.constData()), 3);  // a frame begun
        QCOMPARE(worker.GetParseFailureCount(), 1u);
        QVERIFY(worker.GetParseState() != 0);
        worker.InitParseStatus();
        QCOMPARE(worker.GetParseFailureCount(), 0u);
        QCOMPARE(int(worker.GetParseState()), 0);
    }

    void uploadRepliesAreCaptured()
    {
        WorkerThreadImu worker;
        g_cancelUpgradeFlag.store(false);
        const QByteArray bytes = BuildDeviceFrame(FRAME_BOOT_SYNC, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9))
                                 + BuildDeviceFrame(FRAME_UPLOAD_REPLY, QByteArray("\0\0\0\0\x11\x22\x33\x44", 8));
        worker.ParseChunk(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
        unsigned int* words = worker.GetParamIndexSendUpload();
        QCOMPARE(words[1], 0x44332211u);
        QCOMPARE(words[2], 0x04030201u);
        QCOMPARE(words[3], 0x08070605u);

        g_cancelUpgradeFlag.store(true);
        const QByteArray again = BuildDeviceFrame(FRAME_UPLOAD_REPLY, QByteArray("\0\0\0\0\x01\x00\x00\x00", 8));
        worker.ParseChunk(reinterpret_cast<const uint8_t*>(again.constData()), static_cast<size_t>(again.size()));
        g_cancelUpgradeFlag.store(false);
        QCOMPARE(words[1], 0x44332211u);
    }
};

QTEST_GUILESS_MAIN(TestParser)
#include "tst_parser.moc"
