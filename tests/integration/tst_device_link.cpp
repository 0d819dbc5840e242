// The device link end to end: a worker on its own thread opens the slave of
// a pseudo-terminal whose master plays the device.

#include "DeviceLinkHarness.h"

#include <QTemporaryDir>

class TestDeviceLink : public QObject
{
    Q_OBJECT

private:
    LinkHarness m_link;
    QList<SerialState>& m_states = m_link.states;
    QList<PageMessage>& m_messages = m_link.messages;
    QStringList& m_status = m_link.status;
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

    void closeWithoutPortDoesNotOpen()
    {
        PtyDevice pty;
        g_connection_serial_name = pty.SlavePath();
        g_connection_baud_rate = QStringLiteral("115200");
        m_link.AutoConnectionQueued(false);
        QTRY_COMPARE_WITH_TIMEOUT(m_states.size(), 1, 2000);
        QCOMPARE(m_states[0], SERIAL_STATE_CLOSED);
        QCOMPARE(OnWorker([this]() { return m_worker->GetSerialPort() == nullptr; }), true);
    }

    void zeroBaudReportsOpenFailed()
    {
        PtyDevice pty;
        g_connection_serial_name = pty.SlavePath();
        g_connection_baud_rate = QStringLiteral("0");
        g_serial_is_connected.store(true);
        m_link.OpenQueued();
        QTRY_COMPARE_WITH_TIMEOUT(m_states.size(), 1, 2000);
        QCOMPARE(m_states[0], SERIAL_STATE_OPEN_FAILED);
        QVERIFY(pty.ReadAvailable(200).isEmpty());
    }

    void versionPollingAtFastRate()
    {
        FakeDevice device;
        // A version record already waiting before the open is dropped, not
        // dispatched.
        const QByteArray waiting = BuildDeviceFrame(FRAME_VERSION, QByteArray(78, '\x0A'));
        device.Pty().Write(waiting);
        QTRY_COMPARE_WITH_TIMEOUT(device.Pty().PendingToApplication(), waiting.size(), 5000);
        Connect(device, "115200");
        QCOMPARE(OnWorker([this]() { return m_worker->VersionRequestInterval(); }), 50);
        QCOMPARE(OnWorker([this]() { return m_worker->VersionTimeoutInterval(); }), 5000);
        device.Pump(600);
        const int polls = device.frames.size();
        QVERIFY2(polls >= 6 && polls <= 16, qPrintable(QString::number(polls)));
        for (const HostFrame& f : device.frames) {
            QCOMPARE(f.bytes, VersionRequest());
        }
        QVERIFY(Messages(PAGE_MSG_VERSION).isEmpty());

        QByteArray payload(78, '\0');
        payload[0] = 0x21;
        payload[30] = 1;
        device.Pty().Write(BuildDeviceFrame(FRAME_VERSION, payload));
        device.Pump(2000, [this]() { return !Messages(PAGE_MSG_VERSION).isEmpty(); });
        device.Pump(100);
        const int afterReply = device.frames.size();
        device.Pump(300);
        QCOMPARE(device.frames.size(), afterReply);
        const QList<PageMessage> versions = Messages(PAGE_MSG_VERSION);
        QCOMPARE(versions.size(), 1);
        const VersionPayload version = versions[0].var1.value<VersionPayload>();
        QCOMPARE(version.software_version, 0x21u);
        QCOMPARE(int(version.master_flag), 1);
        QVERIFY(g_communicate_with_serial_flag.load());

        // A second version frame is published but changes nothing else.
        device.Pty().Write(BuildDeviceFrame(FRAME_VERSION, payload));
        device.Pump(1000, [this]() { return Messages(PAGE_MSG_VERSION).size() == 2; });
        QCOMPARE(Messages(PAGE_MSG_VERSION).size(), 2);

        // Close and reopen: polling starts again, and what the device sent
        // while the port was closed is dropped.
        Disconnect(device);
        device.frames.clear();
        m_messages.clear();
        const QByteArray waitingAgain = BuildDeviceFrame(FRAME_VERSION, payload);
        device.Pty().Write(waitingAgain);
        QTRY_COMPARE_WITH_TIMEOUT(device.Pty().PendingToApplication(), waitingAgain.size(), 5000);
        Connect(device, "115200");
        device.Pump(400);
        QVERIFY(device.frames.size() >= 3);
        QVERIFY(Messages(PAGE_MSG_VERSION).isEmpty());
        QCOMPARE(OnWorker([this]() { return m_worker->IsVersionPolling(); }), true);
        Disconnect(device);
    }

    void versionPollingAtSlowRateStopsAfterTwoSeconds()
    {
        FakeDevice device;
        Connect(device, "57600");
        QCOMPARE(OnWorker([this]() { return m_worker->VersionRequestInterval(); }), 120);
        device.Pump(2600);
        const int polls = device.frames.size();
        QVERIFY2(polls >= 12 && polls <= 18, qPrintable(QString::number(polls)));
        // Nothing in the last half second: the 2 s time-out ended the polling.
        QVERIFY(device.frames.last().at - device.frames.first().at <= 2100);
        QCOMPARE(OnWorker([this]() { return m_worker->IsVersionPolling(); }), false);
        Disconnect(device);
    }

    void everyParamValueIsAcknowledged()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        device.Pty().Write(ParamValueFrame(1.5f, 3) + ParamValueFrame(1.5f, 3) + ParamValueFrame(2.0f, 0x10007));
        device.Pump(2000, [&]() { return device.frames.size() >= 3; });
        QCOMPARE(device.frames.size(), 3);
        QCOMPARE(device.frames[0].bytes, BuildCommandAckFrame(30013, 30004, 3));
        QCOMPARE(device.frames[1].bytes, BuildCommandAckFrame(30013, 30004, 3));
        QCOMPARE(device.frames[2].bytes, BuildCommandAckFrame(30013, 30004, 7));
        QCOMPARE(device.frames[0].bytes.toHex(), QByteArray("55aa3d75040034750300") + device.frames[0].bytes.right(4).toHex());
        Disconnect(device);
    }

    void readParamsFromAnsweringDevice()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        device.onFrame = [&](const HostFrame& f) {
            if (f.IsLong() && f.Cmd() == CMD_GET_PARAM) {
                device.Pty().Write(ParamValueFrame(float(f.U1()) + 0.5f, f.U1()));
            }
        };
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_READ_PARAMS, QString(), QString());
        device.Pump(8000, [this]() { return m_status.contains("状态：读取数据成功"); });
        QCOMPARE(device.Count(CMD_GET_VERSION), 10);
        QCOMPARE(m_status, QStringList({"状态：获取初始数据流状态成功", "状态：获取波特率成功", "状态：获取更新率成功",
                                        "状态：获取滤波器成功", "状态：获取自动扣零偏成功", "状态：读取数据成功"}));
        const QList<PageMessage> data = Messages(PAGE_MSG_PARAM_DATA);
        QCOMPARE(data.size(), 1);
        const ImuParamData params = data[0].var1.value<ImuParamData>();
        QCOMPARE(params.STREAM_MODE1, 25.5f);
        QCOMPARE(params.BAUD_RATE, 3.5f);
        QCOMPARE(params.IMU_ODR, 21.5f);
        QCOMPARE(params.LP_CONFIG_REG, 31.5f);
        QCOMPARE(params.auto_gyro_bias_delete, 5.5f);
        QCOMPARE(params.imu_orientation, 4.5f);
        QCOMPARE(params.CAN_ID, 0.0f);
        Disconnect(device);
    }

    // Also watches the version polling of a device that never answers it:
    // at 115200 it goes on for 5 s after the open, then stops.
    void readParamsFromSilentDeviceFails()
    {
        FakeDevice device;
        Connect(device, "115200");
        const qint64 openedAt = TestClock();
        // An unsolicited value of parameter 25 arrives first: it must not
        // pass for the answer to the coming request.
        device.Pty().Write(ParamValueFrame(1.0f, 25));
        device.Pump(1000, [&]() { return device.raw.contains(BuildCommandAckFrame(30013, 30004, 25)); });
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_READ_PARAMS, QString(), QString());
        device.Pump(9000, [this]() { return m_status.contains("状态：读取数据失败"); });
        QCOMPARE(m_status, QStringList({"状态：获取初始数据流状态失败", "状态：获取波特率失败", "状态：读取数据失败"}));
        QVERIFY(device.Count(CMD_GET_PARAM) > 2);
        QSet<uint32_t> asked;
        for (const HostFrame& f : device.frames) {
            if (f.IsLong() && f.Cmd() == CMD_GET_PARAM) {
                asked.insert(f.U1());
            }
        }
        QCOMPARE(asked, QSet<uint32_t>({25u, 3u}));

        // Stamps are taken when the test reads a frame, so a busy machine adds
        // some delay: leave a margin after the 5 s stop before counting.
        device.Pump(static_cast<int>(qMax<qint64>(0, openedAt + 5800 - TestClock())));
        int lateSecond = 0;
        int afterTimeout = 0;
        for (const HostFrame& f : device.frames) {
            if (f.bytes == VersionRequest()) {
                lateSecond += (f.at > openedAt + 4000 && f.at <= openedAt + 5000) ? 1 : 0;
                afterTimeout += f.at > openedAt + 5400 ? 1 : 0;
            }
        }
        QVERIFY2(lateSecond >= 10, qPrintable(QString::number(lateSecond)));
        QCOMPARE(afterTimeout, 0);
        QCOMPARE(OnWorker([this]() { return m_worker->IsVersionPolling(); }), false);
        Disconnect(device);
    }

    void writeParamsSendsSixSetsAndStore()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        // A stale acknowledgement of 25 is left over from earlier; the
        // device answers the first SET only at its third copy, so the SET
        // must not take the stale value for its reply.
        device.Pty().Write(CmdAckFrame(25));
        device.Pump(100);
        device.onFrame = [&](const HostFrame& f) {
            if (f.IsLong() && f.Cmd() == CMD_SET_PARAM) {
                if (f.U1() != 25 || device.Count(CMD_SET_PARAM) >= 3) {
                    device.Pty().Write(CmdAckFrame(static_cast<uint16_t>(f.U1())));
                }
            } else if (f.IsLong() && f.Cmd() == CMD_SAVE_FLASH) {
                device.Pty().Write(CmdAckFrame(1));
            }
        };
        ImuParamData data{};
        for (int i = 0; i < ImuParamData::kSlotCount; ++i) {
            data.Slot(i) = float(100 + i);
        }
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_WRITE_PARAMS, QVariant::fromValue(data), QString());
        device.Pump(8000, [this]() { return m_status.contains("状态：存储参数到flash成功"); });
        QList<QPair<uint32_t, float>> sets;
        for (const HostFrame& f : device.frames) {
            if (f.IsLong() && f.Cmd() == CMD_SET_PARAM && (sets.isEmpty() || sets.last().first != f.U1())) {
                sets.append({f.U1(), f.F1()});
            }
        }
        const QList<QPair<uint32_t, float>> expected{{25u, 109.f}, {3u, 100.f}, {21u, 108.f},
                                                     {31u, 110.f}, {5u, 101.f}, {4u, 112.f}};
        QCOMPARE(sets, expected);
        QVERIFY(device.frames.size() >= 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(device.frames[i].Cmd(), uint16_t(CMD_SET_PARAM));
            QCOMPARE(device.frames[i].U1(), 25u);
        }
        QVERIFY(m_status.contains("状态：设置初始数据流状态成功"));
        QCOMPARE(device.Count(CMD_SAVE_FLASH), 1);
        QCOMPARE(device.frames.last().Cmd(), uint16_t(CMD_SAVE_FLASH));
        QCOMPARE(m_status.last(), QString("状态：存储参数到flash成功"));
        QCOMPARE(m_status.size(), 7);
        Disconnect(device);
    }

    // Two writes back to back on a device that acknowledges slowly: the
    // second is refused while the first runs, so the device ends with the
    // values of the first and stores once.
    void secondWriteWhileOneRunsIsRefused()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        QMap<uint32_t, float> held;
        device.onFrame = [&](const HostFrame& f) {
            if (f.IsLong() && f.Cmd() == CMD_SET_PARAM && device.Count(CMD_SET_PARAM) % 20 == 0) {
                held.insert(f.U1(), f.F1());
                device.Pty().Write(CmdAckFrame(static_cast<uint16_t>(f.U1())));
            } else if (f.IsLong() && f.Cmd() == CMD_SAVE_FLASH) {
                device.Pty().Write(CmdAckFrame(1));
            }
        };
        ImuParamData first{};
        first.BAUD_RATE = 230400;
        first.IMU_ODR = 50;
        ImuParamData second = first;
        second.BAUD_RATE = 921600;
        second.IMU_ODR = 100;
        SendDataHandleManager* bus = SendDataHandleManager::GetInstance();
        bus->SendMessageToIMU(IMU_MSG_WRITE_PARAMS, QVariant::fromValue(first), QString());
        device.Pump(3000, [&]() { return device.Count(CMD_SET_PARAM) > 0; });
        bus->SendMessageToIMU(IMU_MSG_WRITE_PARAMS, QVariant::fromValue(second), QString());
        device.Pump(15000, [this]() { return m_status.contains("状态：存储参数到flash成功"); });
        QCOMPARE(m_status.first(), QString("状态：上一个参数请求尚未完成，本次请求未执行"));
        QCOMPARE(m_status.last(), QString("状态：存储参数到flash成功"));
        QCOMPARE(held.value(3), 230400.0f);
        QCOMPARE(held.value(21), 50.0f);
        for (const HostFrame& f : device.frames) {
            QVERIFY(!(f.Cmd() == CMD_SET_PARAM && f.F1() == 921600.0f));
        }
        QCOMPARE(device.Count(CMD_SAVE_FLASH), 1);
        device.onFrame = nullptr;
        Disconnect(device);
    }

    void recordingWithNothingReceivedStillReplacesTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("quiet.dat");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(5000, 'X'));
        }
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        g_ahrs_file_recording.store(true);
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_RECORD_AHRS, path, QVariant());
        device.Pump(100);
        g_ahrs_file_recording.store(false);
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_RECORD_AHRS, QVariant(), QVariant());
        device.Pump(100);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.size(), qint64(0));
        Disconnect(device);
    }

    void recordingKeepsEveryByteAndNoOldTail()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("rec.dat");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(20000, 'X'));
        }
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        g_serial_assistant_save_data.store(true);
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_RECORD_ASSISTANT, path, QVariant());
        device.Pump(100);

        const quint64 receivedBefore = g_recv_total_byte.load();
        QByteArray sent;
        const QByteArray frame = BuildDeviceFrame(FRAME_AHRS_DATA, QByteArray(44, '\x33'));
        const QList<QByteArray> pieces{QByteArray("garbage\x00\xAA", 9), frame.left(10), frame.mid(10),
                                       QByteArray("\xAA\x55\x02", 3), frame, QByteArray(300, '\x5A')};
        for (const QByteArray& piece : pieces) {
            device.Pty().Write(piece);
            sent += piece;
            device.Pump(30);
        }
        auto received = [this]() {
            int n = 0;
            for (const PageMessage& m : Messages(PAGE_MSG_RAW_DATA)) {
                n += m.var1.toByteArray().size();
            }
            return n;
        };
        device.Pump(2000, [&]() { return received() >= sent.size(); });
        g_serial_assistant_save_data.store(false);
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_RECORD_ASSISTANT, QVariant(), QVariant());
        device.Pump(200);

        QByteArray raw;
        for (const PageMessage& m : Messages(PAGE_MSG_RAW_DATA)) {
            raw += m.var1.toByteArray();
        }
        QCOMPARE(raw, sent);
        QCOMPARE(g_recv_total_byte.load() - receivedBefore, quint64(sent.size()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), sent);
        Disconnect(device);
    }

    void managerSignalsReachTheWorker()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        SerialPortManager* manager = SerialPortManager::GetInstance();
        QCOMPARE(manager->GetImuWorker(), static_cast<WorkerThread*>(m_worker));
        {
            // A second worker is ignored; the first keeps its connections.
            WorkerThreadImu second(nullptr);
            manager->InsertImuWorker(&second, 0);
            QCOMPARE(manager->GetImuWorker(), static_cast<WorkerThread*>(m_worker));
        }

        const qint64 sentBefore = static_cast<qint64>(g_send_total_byte.load());
        manager->SendCommand(static_cast<unsigned char>(0x7E));
        {
            QByteArray temp("\x01\x02\x03", 3);
            manager->SendCommand(reinterpret_cast<unsigned char*>(temp.data()), 3u);
            temp.fill('\xEE');  // the caller's buffer changes before the worker runs
        }
        manager->SendCommand(QByteArray("raw"));
        manager->SendCommand(QString::fromLatin1("AT+X\0tail", 9));
        manager->SendCommand(CMD_SET_MODE, 1.0f, 0, 0x1234, 0xABCD, 100, 200);
        manager->SendCommandOld(static_cast<unsigned char>(0x21), 2.0f, 3, 4);
        manager->SendCommandOld(0x0102, 1, 2, 3, 4, 5, 6);
        manager->SendAck(30013, 30004, 9);
        // Last: its pauses run the worker's event loop, which would let the
        // requests queued behind it overtake.
        manager->SendCommand(QList<QVariant>{5, 0, 0, 0, 0, 0, 0}, 3, 0);

        QByteArray expected;
        expected += '\x7E';
        expected += QByteArray("\x01\x02\x03", 3);
        expected += "raw";
        expected += "AT+X";
        expected += BuildLongCommandFrame(CMD_SET_MODE, 1.0f, 0, 0x1234, 0xABCD, 100, 200);
        expected += BuildUserConfigFrame(0x21, 2.0f, 3, 4);
        expected += BuildBootloaderCommandFrame(0x0102, 1, 2, 3, 4, 5, 6);
        expected += BuildCommandAckFrame(30013, 30004, 9);
        for (int i = 0; i < 3; ++i) {
            expected += BuildLongCommandFrame(5, 0, 0, 0, 0, 0, 0);
        }
        const QByteArray got = device.Pty().ReadExactly(expected.size(), 3000);
        QCOMPARE(got.toHex(), expected.toHex());
        // The worker counts a write once the bytes are on their way: the
        // device may have read them a moment before.
        QTRY_COMPARE(static_cast<qint64>(g_send_total_byte.load()) - sentBefore, qint64(expected.size()));
        Disconnect(device);
    }

    void pollingOperationsThenNormalReopen()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        Disconnect(device);

        // The upgrade engine's way: polling mode, reads without events.
        QCOMPARE(OnWorker([this]() { return m_worker->OpenSerialPort(BAUD115200); }), true);
        device.Pty().Write(QByteArray("hello"));
        // Until the line has delivered them (a polling port looks at the line).
        QTRY_COMPARE_WITH_TIMEOUT(OnWorker([this]() { return qint64(m_worker->BytesAvailable()); }), qint64(5), 5000);
        const QByteArray got = OnWorker([this]() {
            QByteArray bytes;
            char c = 0;
            if (m_worker->BytesAvailable() == 5 && m_worker->GetChar(&c)) {
                bytes += c;
            }
            bytes += m_worker->Read(2);
            bytes += m_worker->ReadAll();
            return bytes;
        });
        QCOMPARE(got, QByteArray("hello"));
        QVERIFY(Messages(PAGE_MSG_RAW_DATA).isEmpty());
        OnWorker([this]() {
            m_worker->CloseSerialPort();
            return true;
        });

        // A normal open afterwards reads event-driven again.
        Connect(device, "115200");
        device.Pty().Write(BuildDeviceFrame(FRAME_VERSION, QByteArray(78, '\x02')));
        device.Pump(2000, [this]() { return !Messages(PAGE_MSG_VERSION).isEmpty(); });
        QCOMPARE(Messages(PAGE_MSG_VERSION).size(), 1);
        QCOMPARE(OnWorker([this]() { return m_worker->IsReadHandlerConnected(); }), true);

        // Opening an open port reports nothing.
        m_states.clear();
        m_link.OpenQueued();
        device.Pump(200);
        QVERIFY(m_states.isEmpty());
        Disconnect(device);
    }

    void unplugGivesClosedStateWithoutErrorStorm()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        m_states.clear();
        device.Pty().CloseMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!m_states.isEmpty(), 1000);
        QCOMPARE(m_states[0], SERIAL_STATE_CLOSED);
        // Nothing can report more: the port is closed (no line to raise
        // errors) and the version polling stopped. The round trip to the
        // worker lets it finish what was queued before; what it sent back
        // is then delivered here.
        QCOMPARE(OnWorker([this]() { return m_worker->GetSerialPort()->IsOpen(); }), false);
        QCOMPARE(OnWorker([this]() { return m_worker->IsVersionPolling(); }), false);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(m_states.size(), 1);
        QVERIFY(OnWorker([this]() { return m_worker->GetSerialPort()->ErrorEvents(); }) < 50);

        // The same worker connects to the next device.
        FakeDevice next;
        Connect(next, "115200");
        next.Pump(200);
        QVERIFY(!next.frames.isEmpty());
        Disconnect(next);
    }
};

QTEST_GUILESS_MAIN(TestDeviceLink)
#include "tst_device_link.moc"
