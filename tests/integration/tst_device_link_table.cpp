#include "DeviceLinkHarness.h"

#include <QTemporaryDir>

#include "support/UpgradeBench.h"
#include "widgets/general/UpLoadData.h"
#include "widgets/general/UpgradeProcessInformation.h"

// The parameter table over the line, and the port while the upgrade engine
// owns it.
class TestDeviceLinkTable : public QObject
{
    Q_OBJECT

private:
    LinkHarness m_link;
    QList<PageMessage>& m_messages = m_link.messages;
    WorkerThreadImu*& m_worker = m_link.worker;

    template <typename F>
    auto OnWorker(F f) -> decltype(f())
    {
        return m_link.OnWorker(f);
    }
    void Connect(FakeDevice& device, const QString& baud) { QVERIFY(m_link.Connect(device, baud)); }
    void Disconnect(FakeDevice& device) { QVERIFY(m_link.Disconnect(device)); }
    void StopPolling(FakeDevice& device) { m_link.StopPolling(device); }
    QList<PageMessage> Messages(int id) const { return m_link.Messages(id); }

private slots:
    void initTestCase() { m_link.Start(); }
    void cleanupTestCase() { m_link.Stop(); }
    void init() { m_link.Clear(); }

    // The first open of a port while the connect widget no longer wants the
    // connection reports "open failed", leaves the port open and reads
    // nothing; a close then closes it.
    void firstOpenWhileNotConnectedReportsFailure()
    {
        FakeDevice device;
        g_connection_serial_name = device.Pty().SlavePath();
        g_connection_baud_rate = QStringLiteral("115200");
        g_serial_is_connected.store(false);
        m_link.OpenQueued();
        device.Pump(2000, [this]() { return !m_link.states.isEmpty(); });
        QCOMPARE(m_link.states, QList<SerialState>{SERIAL_STATE_OPEN_FAILED});
        QCOMPARE(OnWorker([this]() { return m_worker->GetSerialPort()->IsOpen(); }), true);
        QCOMPARE(OnWorker([this]() { return m_worker->IsReadHandlerConnected(); }), false);
        device.Pump(200);
        QVERIFY(device.all.isEmpty());
        Disconnect(device);
        QCOMPARE(OnWorker([this]() { return m_worker->GetSerialPort()->IsOpen(); }), false);
    }

    void paramTableRead_data()
    {
        QTest::addColumn<bool>("goodCrc");
        QTest::newRow("crc matches") << true;
        QTest::newRow("crc wrong") << false;
    }

    void paramTableRead()
    {
        QFETCH(bool, goodCrc);
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        float values[126];
        for (int i = 0; i < 126; ++i) {
            values[i] = float(i) * 0.25f;
        }
        uint32_t crc = crc_crc32(1, reinterpret_cast<const unsigned char*>(values), sizeof values);
        if (!goodCrc) {
            crc ^= 1;
        }
        device.onFrame = [&](const HostFrame& f) {
            if (f.IsLong() && f.Cmd() == CMD_READ_PARAM_TABLE && device.Count(CMD_READ_PARAM_TABLE) == 1) {
                QByteArray all;
                for (int i = 0; i < 126; ++i) {
                    all += ParamValueFrame(values[i], static_cast<uint32_t>(i));
                }
                all += ParamValueFrameBits(crc, 126);
                device.Pty().Write(all);
            }
        };
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_PARAM_TABLE, QVariant(0), QVariant());
        device.Pump(5000, [this]() {
            return !Messages(PAGE_MSG_PARAM_TABLE_READ).isEmpty()
                   && Messages(PAGE_MSG_PARAM_TABLE_READ).last().var1.toInt() != PARAM_TABLE_READ_PROGRESS;
        });
        device.Pump(200);
        QCOMPARE(device.Count(CMD_READ_PARAM_TABLE), 3);
        const QList<PageMessage> read = Messages(PAGE_MSG_PARAM_TABLE_READ);
        QCOMPARE(read.size(), goodCrc ? 129 : 128);
        QCOMPARE(read[0].var1.toInt(), 2);
        QCOMPARE(read[0].var2.toString(), QString("已收到参数:1/127"));
        QCOMPARE(read[126].var2.toString(), QString("已收到参数:127/127"));
        if (goodCrc) {
            QCOMPARE(read[127].var1.toInt(), 5);
            QCOMPARE(read[127].var2.toString(), QString("已收到参数:127/127,CRC校验通过"));
            QCOMPARE(read[128].var1.toInt(), 9);
            const auto table = read[128].var2.value<QMap<unsigned int, float>>();
            QCOMPARE(table.size(), 127);
            QCOMPARE(table.value(10), 2.5f);
        } else {
            QCOMPARE(read[127].var1.toInt(), 4);
            QCOMPARE(read[127].var2.toString(), QString("已收到参数:127/127,CRC校验不通过"));
        }
        Disconnect(device);
    }

    void paramTableWriteWithSilentVerify()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        QMap<int, float> map;
        for (int i = 0; i < 126; ++i) {
            map.insert(i, float(i) + 0.125f);
        }
        map.insert(126, 9999.0f);  // replaced by the CRC
        int entryZeroSends = 0;
        QElapsedTimer sinceFirst;
        device.onFrame = [&](const HostFrame& f) {
            if (!f.IsLong() || f.Cmd() != CMD_WRITE_PARAM_TABLE_ENTRY) {
                return;
            }
            if (f.U1() == 0) {
                // Entry 0 is answered only after a few resends: the write
                // must wait for a real acknowledgement.
                if (++entryZeroSends == 1) {
                    sinceFirst.start();
                }
                if (sinceFirst.elapsed() < 200) {
                    return;
                }
            }
            device.Pty().Write(CmdAckFrame(static_cast<uint16_t>(f.U1())));
        };
        g_param_table_req_timeout.store(false);
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_PARAM_TABLE, QVariant(1), QVariant::fromValue(map));
        device.Pump(30000, [this]() {
            for (const PageMessage& m : Messages(PAGE_MSG_PARAM_TABLE_WRITE)) {
                if (m.var1.toInt() != 1 && m.var1.toInt() != 3) {
                    return true;
                }
            }
            return false;
        });
        QVERIFY(entryZeroSends >= 2);
        QList<HostFrame> entries;
        qint64 verifySentAt = -1;
        for (const HostFrame& f : device.frames) {
            if (f.Cmd() == CMD_WRITE_PARAM_TABLE_ENTRY && (entries.isEmpty() || entries.last().U1() != f.U1())) {
                entries.append(f);
            }
            if (f.Cmd() == CMD_VERIFY_PARAM_TABLE) {
                verifySentAt = f.at;
            }
        }
        QCOMPARE(entries.size(), 127);
        float expected[126];
        for (int i = 0; i < 126; ++i) {
            QCOMPARE(entries[i].U1(), uint32_t(i));
            QCOMPARE(entries[i].F1(), float(i) + 0.125f);
            expected[i] = float(i) + 0.125f;
        }
        QCOMPARE(entries[126].U1(), 126u);
        QCOMPARE(entries[126].U32(6), crc_crc32(1, reinterpret_cast<const unsigned char*>(expected), sizeof expected));

        const QList<PageMessage> write = Messages(PAGE_MSG_PARAM_TABLE_WRITE);
        QCOMPARE(write.size(), 127 + 2);
        QCOMPARE(write[0].var2.toString(), QString("已发送参数0/127"));
        QCOMPARE(write[126].var2.toString(), QString("已发送参数126/127"));
        QCOMPARE(write[127].var1.toInt(), 3);
        QCOMPARE(write[127].var2.toString(), QString("正在校验参数"));
        QCOMPARE(write[128].var1.toInt(), 4);
        QCOMPARE(write[128].var2.toString(), QString("CRC校验不通过"));
        QVERIFY(verifySentAt > 0);
        // The silent verification ends about 5 s after it was asked for.
        const qint64 verifyWait = write[128].at - verifySentAt;
        QVERIFY2(verifyWait >= 4900 && verifyWait <= 6500, qPrintable(QString::number(verifyWait)));
        QCOMPARE(device.Count(CMD_SAVE_PARAM_TABLE), 0);
        QCOMPARE(OnWorker([this]() { return m_worker->IsReadHandlerConnected(); }), true);
        Disconnect(device);
    }

    // Requests of pages that would write to the port are dropped while the
    // upgrade engine talks to the bootloader; the engine's own frames go out.
    void requestsAreDroppedWhileTheUpgradeOwnsThePort()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        g_cancelUpgradeFlag.store(false);

        // A sound image: the engine judges the file before the device hears
        // anything, and this device never syncs, so the run ends by a cancel.
        QTemporaryDir dir;
        QFile image(dir.filePath("run.firmware"));
        QVERIFY(image.open(QIODevice::WriteOnly) && image.write(UpgradeBench::EncipheredImage(64)) > 0);
        image.close();
        UpLoadData data;
        data.mode = 1;
        data.baud = 115200;
        data.path = image.fileName();
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_FIRMWARE_UPGRADE, QVariant::fromValue(data),
                                                               QVariant());
        device.Pump(3000, [&]() { return !device.all.isEmpty(); });
        QVERIFY(!device.all.isEmpty());
        QVERIFY(m_worker->IsUpgradeRunning());

        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_SEND_RAW, QByteArray("DROPPED-BUS"),
                                                               QVariant());
        SendDataHandleManager::GetInstance()->SendMessageToIMU(
            IMU_MSG_MODE_START, QList<QVariant>{CMD_SET_MODE, 1.0f, 0.0f, 0x1234u, 0xABCDu, 100, 200}, QString());
        SerialPortManager::GetInstance()->SendCommand(QByteArray("DROPPED-MGR"));
        SerialPortManager::GetInstance()->SendCommand(CMD_SET_MODE, 1.0f, 0, 0x1234, 0xABCD, 100, 200);
        device.Pump(300);
        // Still running: the requests above met the engine, not an idle port.
        QVERIFY(m_worker->IsUpgradeRunning());
        g_cancelUpgradeFlag.store(true);

        device.Pump(10000, [this]() { return !m_worker->IsUpgradeRunning(); });
        QVERIFY(!m_worker->IsUpgradeRunning());
        device.Pump(100);
        const QList<PageMessage> progress = Messages(PAGE_MSG_UPGRADE_PROGRESS);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().var1.value<UpgradeProcessInformation>().cancelType,
                 int32_t(CANCEL_UPGRADE_BY_USER));
        g_cancelUpgradeFlag.store(false);
        QVERIFY(!device.all.contains("DROPPED"));
        QCOMPARE(device.Count(CMD_SET_MODE), 0);

        // Afterwards requests reach the line again and the read handler is
        // back: the device, back in its application, is heard.
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_SEND_RAW, QByteArray("AFTER"), QVariant());
        device.Pump(2000, [&]() { return device.all.contains("AFTER"); });
        QVERIFY(device.all.contains("AFTER"));
        QCOMPARE(OnWorker([this]() { return m_worker->IsReadHandlerConnected(); }), true);
        Disconnect(device);
        Connect(device, "115200");
        QCOMPARE(OnWorker([this]() { return m_worker->IsReadHandlerConnected(); }), true);

        // Setting the adapter's CAN baud hands the port back when it ends
        // (here against a device that does not speak the adapter's commands).
        data.mode = 3;
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_FIRMWARE_UPGRADE, QVariant::fromValue(data),
                                                               QVariant());
        device.Pump(5000, [&]() { return device.all.contains("AT"); });
        QVERIFY(device.all.contains("AT"));
        device.Pump(30000, [&]() { return !m_worker->IsUpgradeRunning(); });
        QVERIFY(!m_worker->IsUpgradeRunning());
        QCOMPARE(OnWorker([this]() { return m_worker->IsReadHandlerConnected(); }), true);
        Disconnect(device);
    }
};

QTEST_GUILESS_MAIN(TestDeviceLinkTable)
#include "tst_device_link_table.moc"
