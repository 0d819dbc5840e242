// The engine's plain rules: frames, percent, image types, request strings
// and the CRC carried in a file name.
#include <QtTest>

#include "commom/CommonFunction.h"
#include "manager/RecvDataHandleManager.h"
#include "widgets/general/UpdataSoftware.h"

class TestUpgradeRules : public QObject
{
    Q_OBJECT
private slots:
    void percent()
    {
        QCOMPARE(UpdataSoftware::PercentOf(0, 0), 0);
        QCOMPARE(UpdataSoftware::PercentOf(64, 0), 0);
        QCOMPARE(UpdataSoftware::PercentOf(0, 208), 0);
        QCOMPARE(UpdataSoftware::PercentOf(64, 208), 30);
        QCOMPARE(UpdataSoftware::PercentOf(208, 208), 99);
        QCOMPARE(UpdataSoftware::PercentOf(300, 208), 99);
        QCOMPARE(UpdataSoftware::PercentOf(0xFFFFFFFFu, 0xFFFFFFFFu), 99);
        // The quotient is single precision: these land on the other side
        // of a whole number than a double quotient would.
        QCOMPARE(UpdataSoftware::PercentOf(3, 11), 27);
        QCOMPARE(UpdataSoftware::PercentOf(7, 11), 62);
        QCOMPARE(UpdataSoftware::PercentOf(9, 11), 80);
    }

    void uploadFrameOfShortChunk()
    {
        const unsigned char data[3] = {0x11, 0x22, 0x33};
        const QByteArray f = UpdataSoftware::BuildUploadDataFrame(39, 0, 0x01020304, 3, data);
        QCOMPARE(f.size(), 81);
        QByteArray head = QByteArray::fromHex("55aa27004700112233");
        QCOMPARE(f.left(9).toHex(), head.toHex());
        QCOMPARE(f.mid(9, 61), QByteArray(61, '\0'));
        QCOMPARE(f.mid(70, 7).toHex(), QByteArray("04030201030000"));
        const unsigned int crc = crc_crc32(1, reinterpret_cast<const unsigned char*>(f.constData()), 77);
        QCOMPARE(f.mid(77).toHex(), QByteArray::fromRawData(reinterpret_cast<const char*>(&crc), 4).toHex());
    }

    void uploadFrameNeverCarriesMoreThan64()
    {
        unsigned char data[100];
        for (int i = 0; i < 100; ++i)
            data[i] = static_cast<unsigned char>(i + 1);
        const QByteArray f = UpdataSoftware::BuildUploadDataFrame(39, 0, 0, 100, data);
        QCOMPARE(f.size(), 81);
        QCOMPARE(static_cast<uint8_t>(f[74]), uint8_t(64));
        QCOMPARE(static_cast<uint8_t>(f[69]), uint8_t(64));
    }

    void legacyRebootFrame()
    {
        const QByteArray f = UpdataSoftware::BuildLegacyRebootFrame(QByteArray(7, '\0'));
        QCOMPARE(f.size(), 41);
        // 55+AA+78+07+00 = 0x17E
        QCOMPARE(f.left(14).toHex(), QByteArray("55aa780700000000000000007e01"));
        QCOMPARE(f.mid(14), QByteArray(27, '\0'));
    }

    void imageTypes()
    {
        QCOMPARE(UpdataSoftware::ImageTypeOf(0x00, 2), UpdataSoftware::IMAGE_TYPE_G);
        QCOMPARE(UpdataSoftware::ImageTypeOf(0xA2, 0), UpdataSoftware::IMAGE_TYPE_G);
        QCOMPARE(UpdataSoftware::ImageTypeOf(0x82, 0), UpdataSoftware::IMAGE_TYPE_H);
        QCOMPARE(UpdataSoftware::ImageTypeOf(0x00, 1), UpdataSoftware::IMAGE_TYPE_H);
        QCOMPARE(UpdataSoftware::ImageTypeOf(0x00, 4), UpdataSoftware::IMAGE_TYPE_S);
        QCOMPARE(UpdataSoftware::ImageTypeOf(0x00, 10), UpdataSoftware::IMAGE_TYPE_S);
        QCOMPARE(UpdataSoftware::ImageTypeOf(0x00, 3), UpdataSoftware::IMAGE_TYPE_UNKNOWN);
        QCOMPARE(UpdataSoftware::ImageTypeOf(0x00, 255), UpdataSoftware::IMAGE_TYPE_UNKNOWN);
    }

    void requestStrings()
    {
        using U = UpdataSoftware;
        QCOMPARE(U::RequestStringFor(true, U::IMAGE_TYPE_G, 0, 2, false, false, false, false),
                 QString("HC32MCU_TALVEMIR"));
        QCOMPARE(U::RequestStringFor(false, U::IMAGE_TYPE_G, 0xA2, 0, false, false, false, false),
                 QString("GD32MCU_TALVEMIR"));
        QCOMPARE(U::RequestStringFor(false, U::IMAGE_TYPE_H, 0x82, 0, false, false, false, false),
                 QString("AT32MCU_TALVEMIR"));
        QCOMPARE(U::RequestStringFor(false, U::IMAGE_TYPE_H, 0x82, 0, false, false, true, false),
                 QString("HC32MCU_TALVEMIR"));
        QCOMPARE(U::RequestStringFor(false, U::IMAGE_TYPE_H, 0x82, 0, true, false, false, false),
                 QString("GD32MCU_TALVEMIR"));
        QCOMPARE(U::RequestStringFor(false, U::IMAGE_TYPE_H, 0x92, 0, false, false, false, false),
                 QString("AT32UU7_TALVEMIR"));
        QCOMPARE(U::RequestStringFor(false, U::IMAGE_TYPE_S, 0, 4, false, false, false, false),
                 QString("IMU_ARRAY_UPDATE"));
    }

    void crcFromFileName()
    {
        uint32_t crc = 0;
        QVERIFY(UpdataSoftware::CrcFromFileName("fw#CRC12345.firmware", &crc));
        QCOMPARE(crc, 12345u);
        QVERIFY(UpdataSoftware::CrcFromFileName("/a/b/fw#CRC4294967295.firmware", &crc));
        QCOMPARE(crc, 4294967295u);
        QVERIFY(!UpdataSoftware::CrcFromFileName("fw#CRC12345", &crc));
        QVERIFY(!UpdataSoftware::CrcFromFileName("fw#CRC4294967296.firmware", &crc));
        QVERIFY(!UpdataSoftware::CrcFromFileName("fw#CRC-1.firmware", &crc));
        QVERIFY(!UpdataSoftware::CrcFromFileName("/x#CRC1.d/fw.firmware", &crc));
        QVERIFY(!UpdataSoftware::CrcFromFileName("", &crc));
    }

    void canIdReplies()
    {
        UpdataSoftware engine;
        auto feed = [&engine](const QByteArray& b) {
            for (char c : b)
                engine.GetAHRSBatchNum(static_cast<unsigned char>(c));
        };
        auto reply = [](uint32_t id, int sumDelta = 0) {
            QByteArray b = QByteArray::fromHex("bb65cf");
            for (int s = 24; s >= 0; s -= 8)
                b.append(static_cast<char>((id >> s) & 0xFF));
            uint8_t sum = 0;
            for (char c : b)
                sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
            b.append(static_cast<char>(sum + sumDelta));
            return b;
        };
        feed(reply(0x01020304) + reply(0x01020304) + QByteArray("noise") + reply(7, 1) + reply(9));
        QCOMPARE(engine.DeviceCount(), 2u);
        QCOMPARE(engine.DeviceId(0), 0x01020304u);
        QCOMPARE(engine.DeviceId(1), 9u);
        for (uint32_t id = 100; id < 300; ++id)
            feed(reply(id));
        QCOMPARE(engine.DeviceCount(), 128u);
        QCOMPARE(engine.DeviceId(128), 0u);
    }

    void modeOutsideRangePostsNothing()
    {
        int posts = 0;
        auto c = connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
                         this, [&posts](int, QVariant, QVariant) { ++posts; });
        UpdataSoftware engine;
        UpLoadData order;
        order.mode = 4;
        engine.SetUpLoadData(order);
        engine.RunByMode();
        QCOMPARE(posts, 0);
        // Modes still to come end at once with a failure report.
        order.mode = 2;
        engine.SetUpLoadData(order);
        engine.RunByMode();
        QCOMPARE(posts, 1);
        QCOMPARE(engine.LastReport().cancelType, int(CANCEL_UPGRADE_FAILED));
        disconnect(c);
    }
};

QTEST_GUILESS_MAIN(TestUpgradeRules)
#include "tst_upgrade_rules.moc"
