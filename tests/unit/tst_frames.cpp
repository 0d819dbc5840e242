#include <QtTest>

#include "commom/CommonFunction.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/PayloadTypes.h"
#include "workerThread/SerialPortManager.h"

#include <cstring>

namespace {

QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

uint32_t LeU32(const QByteArray& bytes, int at)
{
    uint32_t v = 0;
    std::memcpy(&v, bytes.constData() + at, 4);
    return v;
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT
private slots:
    void versionRequestIsExactBytes()
    {
        const QByteArray frame = BuildLongCommandFrame(CMD_GET_VERSION, 0, 0, 0, 0, 0, 0);
        QByteArray expected = Hex("55AA 0100 1800");
        expected.append(QByteArray(24, '\0'));
        expected.append(Hex("BDDB3134"));
        QCOMPARE(frame, expected);
    }

    void longCommandCarriesArgumentsLittleEndian()
    {
        const QByteArray frame = BuildLongCommandFrame(CMD_SET_PARAM, 1.0f, -2.5f, 0x01020304u, 7u, -1, 200);
        QCOMPARE(frame.size(), 34);
        QCOMPARE(frame.left(6), Hex("55AA 0E00 1800"));
        QCOMPARE(frame.mid(6, 4), Hex("0000803F"));      // 1.0f
        QCOMPARE(frame.mid(10, 4), Hex("000020C0"));     // -2.5f
        QCOMPARE(frame.mid(14, 4), Hex("04030201"));
        QCOMPARE(frame.mid(18, 4), Hex("07000000"));
        QCOMPARE(frame.mid(22, 4), Hex("FFFFFFFF"));
        QCOMPARE(frame.mid(26, 4), Hex("C8000000"));
        QCOMPARE(LeU32(frame, 30), crc_crc32(1, reinterpret_cast<const unsigned char*>(frame.constData()), 30));
    }

    void ackFrameLayout()
    {
        const QByteArray frame = BuildCommandAckFrame(CMD_ACK, kHostAckId, 126);
        QCOMPARE(frame.size(), 14);
        QCOMPARE(frame.left(10), Hex("55AA 3D75 0400 3475 7E00"));
        QCOMPARE(LeU32(frame, 10), crc_crc32(1, reinterpret_cast<const unsigned char*>(frame.constData()), 10));
    }

    void userConfigSumIncludesHeaderAndLength()
    {
        const QByteArray frame = BuildUserConfigFrame(0x21, 0.0f, 0, 0);
        QCOMPARE(frame.size(), 16);
        QCOMPARE(frame.left(12), Hex("55AA 21 0700 00000000 0000 00"));
        QCOMPARE(LeU32(frame, 12), uint32_t(0x55 + 0xAA + 0x21 + 7));
    }

    void bootloaderFrameKeepsLowByteOfCommand()
    {
        const QByteArray frame = BuildBootloaderCommandFrame(0x1234, 1, 0xFFFF, 0, 0, 0, 0);
        QCOMPARE(frame.size(), 33);
        QCOMPARE(frame.left(5), Hex("55AA 34 1800"));
        QCOMPARE(frame.mid(5, 8), Hex("01000000 FFFF0000"));
        uint32_t sum = 0;
        for (int i = 0; i < 29; ++i) {
            sum += static_cast<uint8_t>(frame[i]);
        }
        QCOMPARE(LeU32(frame, 29), sum);
    }

    void deviceFrameRoundTrip()
    {
        const QByteArray frame = BuildDeviceFrame(FRAME_VERSION, QByteArray(78, '\x01'));
        QCOMPARE(frame.size(), 6 + 78 + 4);
        QCOMPARE(frame.left(6), Hex("AA55 FF00 4E00"));
    }

    void shortPayloadZeroesTheRest()
    {
        const uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
        const AhrsData data = PayloadToRecord<AhrsData>(bytes, 6);
        QCOMPARE(data.MCU_TIME, 0x04030201u);
        const uint8_t* raw = reinterpret_cast<const uint8_t*>(&data);
        QCOMPARE(int(raw[4]), 5);
        QCOMPARE(int(raw[5]), 6);
        for (size_t i = 6; i < sizeof data; ++i) {
            QCOMPARE(int(raw[i]), 0);
        }
    }

    void longPayloadYieldsExactlyTheRecord()
    {
        QByteArray payload(60, '\x7F');
        payload[43] = 0x11;
        const AhrsData data = PayloadToRecord<AhrsData>(reinterpret_cast<const uint8_t*>(payload.constData()), 60);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&data), 44), payload.left(44));
    }

    void calibRecordWithOneRecord()
    {
        QByteArray payload(8 + 258, '\0');
        for (int i = 0; i < 256; ++i) {
            payload[8 + i] = static_cast<char>(i);
        }
        payload[264] = 0x12;
        payload[265] = 0x34;
        const auto record = BuildCalibPublish(reinterpret_cast<const uint8_t*>(payload.constData()),
                                              static_cast<uint32_t>(payload.size()));
        const uint8_t* raw = reinterpret_cast<const uint8_t*>(&record);
        QCOMPARE(record.counts[0], uint16_t(0x1234));
        QCOMPARE(record.counts[1], uint16_t(0));
        for (int i = 0; i < 32; ++i) {
            QCOMPARE(int(raw[8 + i]), i);
        }
        // From offset 40 on, record offset x holds record-0 byte x + 104.
        QCOMPARE(int(raw[40]), 144);
        QCOMPARE(int(raw[60]), 164);
        QCOMPARE(int(raw[61]), 0);        // between the pieces
        QCOMPARE(int(raw[65]), 169);      // hardware_ver
        QCOMPARE(int(raw[82]), 186);
        QCOMPARE(int(raw[104]), 208);
        QCOMPARE(int(raw[143]), 247);
        QCOMPARE(int(raw[144]), 0);
        QCOMPARE(int(record.hardware_ver), 169);
    }

    void calibRecordKeepsAtMost32Counts()
    {
        const int n = 40;
        QByteArray payload(8 + 258 * n, '\0');
        for (int k = 0; k < n; ++k) {
            payload[8 + 256 * n + 2 * k + 1] = static_cast<char>(k + 1);
        }
        const auto record = BuildCalibPublish(reinterpret_cast<const uint8_t*>(payload.constData()),
                                              static_cast<uint32_t>(payload.size()));
        for (int k = 0; k < 32; ++k) {
            QCOMPARE(int(record.counts[k]), k + 1);
        }
    }

    void calibRecordShorterThanItsHeaderReadsNothingBeyond()
    {
        // Lengths below 8 must not wrap around; short payloads copy only
        // what they hold.
        for (uint32_t length : {0u, 1u, 7u, 8u, 9u, 60u}) {
            QByteArray payload(static_cast<int>(length), '\x5A');
            const auto record = BuildCalibPublish(reinterpret_cast<const uint8_t*>(payload.constData()), length);
            const uint8_t* raw = reinterpret_cast<const uint8_t*>(&record);
            for (size_t i = 0; i < sizeof record; ++i) {
                const bool inside = length > 8 && i >= 8 && i < 8 + std::min<uint32_t>(32, length - 8);
                QCOMPARE(int(raw[i]), inside ? 0x5A : 0);
            }
        }
    }

    void paramSlotsFollowTheRecordOrder()
    {
        ImuParamData data{};
        for (int i = 0; i < ImuParamData::kSlotCount; ++i) {
            data.Slot(i) = float(i + 1);
        }
        QCOMPARE(data.BAUD_RATE, 1.0f);
        QCOMPARE(data.IMU_ODR, 9.0f);
        QCOMPARE(data.STREAM_MODE1, 10.0f);
        QCOMPARE(data.imu_orientation, 13.0f);
    }

    void baudListInOrder()
    {
        const QList<int> expected{9600, 57600, 115200, 230400, 460800, 500000, 921600, 1500000, 2000000};
        QCOMPARE(SerialPortManager::GetSerialPortBauds(), expected);
    }

    void extraPortsAreListed()
    {
        qputenv("CORVANTA_EXTRA_PORTS", "/dev/pts/90::/dev/pts/91");
        const QStringList names = SerialPortManager::GetSerialPortNames();
        qunsetenv("CORVANTA_EXTRA_PORTS");
        QVERIFY(names.contains("/dev/pts/90 # Pseudo terminal"));
        QVERIFY(names.contains("/dev/pts/91 # Pseudo terminal"));
        QCOMPARE(names.filter("/dev/pts/9").size(), 2);
        for (const QString& name : names) {
            QVERIFY(name.contains(" # "));
            QVERIFY(!name.section('#', 1).contains('('));
        }
    }

    void nothingIsSentBeforeAWorkerExists()
    {
        SerialPortManager* manager = SerialPortManager::GetInstance();
        QVERIFY(manager->GetImuWorker() == nullptr);
        QSignalSpy spy(manager, &SerialPortManager::SignalSendBytes);
        QSignalSpy spyLong(manager, &SerialPortManager::SignalSendLongCmdToImuWorker);
        manager->SendCommand(QByteArray("x"));
        manager->SendCommand(CMD_GET_VERSION, 0, 0, 0, 0, 0, 0);
        uint8_t bytes[2] = {1, 2};
        manager->SendCommand(bytes, 2);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(spyLong.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
