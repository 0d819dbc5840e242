#include <QtTest>

#include "support/PtyDevice.h"
#include "commom/CommonFunction.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/NotifyMsgManager.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

#include <QTemporaryDir>

#include <cstring>
#include <functional>

namespace {

// One frame the application wrote, with the time it was seen.
struct HostFrame
{
    QByteArray bytes;
    qint64 at = 0;

    uint16_t Cmd() const { return static_cast<uint16_t>(uint8_t(bytes[2]) | (uint8_t(bytes[3]) << 8)); }
    uint32_t U32(int offset) const
    {
        uint32_t v = 0;
        std::memcpy(&v, bytes.constData() + offset, 4);
        return v;
    }
    float F1() const
    {
        float f = 0;
        std::memcpy(&f, bytes.constData() + 6, 4);
        return f;
    }
    uint32_t U1() const { return U32(14); }
    bool IsLong() const { return bytes.size() == 34; }
};

QByteArray ParamValueFrame(float value, uint32_t index)
{
    QByteArray payload(12, '\0');
    std::memcpy(payload.data(), &value, 4);
    std::memcpy(payload.data() + 8, &index, 4);
    return BuildDeviceFrame(FRAME_PARAM_VALUE, payload);
}

QByteArray ParamValueFrameBits(uint32_t bits, uint32_t index)
{
    float value = 0;
    std::memcpy(&value, &bits, 4);
    return ParamValueFrame(value, index);
}

QByteArray CmdAckFrame(uint16_t value)
{
    QByteArray payload(8, '\0');
    payload[2] = static_cast<char>(value & 0xFF);
    payload[3] = static_cast<char>(value >> 8);
    return BuildDeviceFrame(FRAME_CMD_ACK, payload);
}

const QByteArray kVersionRequest = BuildLongCommandFrame(CMD_GET_VERSION, 0, 0, 0, 0, 0, 0);

// The device end of the line: splits what the application writes into its
// frames (55 AA, u16 cmd, u16 length, length bytes, 4 CRC bytes) and lets a
// handler answer each.
class FakeDevice
{
public:
    FakeDevice() { m_clock.start(); }

    PtyDevice& Pty() { return m_pty; }

    // Reads and handles frames for ms milliseconds, or until done() holds.
    void Pump(int ms, const std::function<bool()>& done = nullptr)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            m_pending += m_pty.ReadAvailable(5);
            Split();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (done && done()) {
                return;
            }
        }
    }

    std::function<void(const HostFrame&)> onFrame;
    QList<HostFrame> frames;
    QByteArray raw;

    int Count(uint16_t cmd) const
    {
        int n = 0;
        for (const HostFrame& f : frames) {
            n += (f.IsLong() && f.Cmd() == cmd) ? 1 : 0;
        }
        return n;
    }

private:
    void Split()
    {
        while (m_pending.size() >= 6) {
            if (uint8_t(m_pending[0]) != 0x55 || uint8_t(m_pending[1]) != 0xAA) {
                m_pending.remove(0, 1);
                continue;
            }
            const int length = uint8_t(m_pending[4]) | (uint8_t(m_pending[5]) << 8);
            const int total = 6 + length + 4;
            if (m_pending.size() < total) {
                return;
            }
            HostFrame frame{m_pending.left(total), m_clock.elapsed()};
            m_pending.remove(0, total);
            raw += frame.bytes;
            frames.append(frame);
            if (onFrame) {
                onFrame(frame);
            }
        }
    }

    PtyDevice m_pty;
    QByteArray m_pending;
    QElapsedTimer m_clock;
};

struct PageMessage
{
    int id;
    QVariant var1;
    QVariant var2;
};

} // namespace

// Drives the worker as the connect widget does: through queued signals.
class Controller : public QObject
{
    Q_OBJECT
signals:
    void SignalOpenSerial();
    void SignalCloseSerial();
    void SignalAutoConnectionSerial(bool status);
};

class TestDeviceLink : public QObject
{
    Q_OBJECT

private:
    QThread* m_thread = nullptr;
    WorkerThreadImu* m_worker = nullptr;
    Controller m_controller;
    QList<SerialState> m_states;
    QList<PageMessage> m_messages;
    QStringList m_status;

    template <typename F>
    auto OnWorker(F f) -> decltype(f())
    {
        decltype(f()) result{};
        QMetaObject::invokeMethod(m_worker, [&]() { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }

    void Connect(FakeDevice& device, const QString& baud)
    {
        g_connection_serial_name = device.Pty().SlavePath();
        g_connection_baud_rate = baud;
        g_serial_is_connected.store(true);
        m_states.clear();
        emit m_controller.SignalOpenSerial();
        device.Pump(2000, [this]() { return !m_states.isEmpty(); });
        QVERIFY2(m_states.size() == 1 && m_states[0] == SERIAL_STATE_OPENED,
                 qPrintable(QString("states: %1 first %2").arg(m_states.size()).arg(int(m_states.value(0)))));
    }

    void Disconnect(FakeDevice& device)
    {
        m_states.clear();
        emit m_controller.SignalCloseSerial();
        device.Pump(2000, [this]() { return !m_states.isEmpty(); });
        QCOMPARE(m_states.value(0, SERIAL_STATE_OPENED), SERIAL_STATE_CLOSED);
    }

    // Answers the version requests so that polling stops.
    void StopPolling(FakeDevice& device)
    {
        device.Pty().Write(BuildDeviceFrame(FRAME_VERSION, QByteArray(78, '\x01')));
        device.Pump(2000, [this]() { return !Messages(PAGE_MSG_VERSION).isEmpty(); });
        device.Pump(150);
        device.frames.clear();
        m_messages.clear();
    }

    QList<PageMessage> Messages(int id) const
    {
        QList<PageMessage> out;
        for (const PageMessage& m : m_messages) {
            if (m.id == id) {
                out.append(m);
            }
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        RegsiterMetaType();
        m_thread = new QThread();
        m_worker = new WorkerThreadImu(nullptr);
        connect(m_worker, &WorkerThread::SignalSerialIsOpen, this,
                [this](SerialState state) { m_states.append(state); });
        connect(&m_controller, &Controller::SignalOpenSerial, m_worker, &WorkerThread::slot_open_serial_port);
        connect(&m_controller, &Controller::SignalCloseSerial, m_worker, &WorkerThread::slot_close_serial_port);
        connect(&m_controller, &Controller::SignalAutoConnectionSerial, m_worker,
                &WorkerThread::slot_auto_connection_serial_port);
        connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        SerialPortManager::GetInstance()->InsertImuWorker(m_worker, 0);
        m_worker->moveToThread(m_thread);
        m_thread->start();

        connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
                [this](int id, QVariant var1, QVariant var2) { m_messages.append({id, var1, var2}); });
        connect(NotifyMsgManager::GetInstance(), &NotifyMsgManager::LogMsgParamConfig, this,
                [this](int, QStringList list) { m_status.append(list.join(QString())); });
    }

    void cleanupTestCase()
    {
        emit m_controller.SignalCloseSerial();
        m_thread->quit();
        m_thread->wait();
        delete m_thread;
    }

    void init()
    {
        m_messages.clear();
        m_status.clear();
        m_states.clear();
    }

    void closeWithoutPortDoesNotOpen()
    {
        PtyDevice pty;
        g_connection_serial_name = pty.SlavePath();
        g_connection_baud_rate = QStringLiteral("115200");
        emit m_controller.SignalAutoConnectionSerial(false);
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
        emit m_controller.SignalOpenSerial();
        QTRY_COMPARE_WITH_TIMEOUT(m_states.size(), 1, 2000);
        QCOMPARE(m_states[0], SERIAL_STATE_OPEN_FAILED);
        QVERIFY(pty.ReadAvailable(200).isEmpty());
    }

    void versionPollingAtFastRate()
    {
        FakeDevice device;
        // A version record already waiting before the open is dropped, not
        // dispatched.
        device.Pty().Write(BuildDeviceFrame(FRAME_VERSION, QByteArray(78, '\x0A')));
        QTest::qWait(50);
        Connect(device, "115200");
        QCOMPARE(OnWorker([this]() { return m_worker->VersionRequestInterval(); }), 50);
        QCOMPARE(OnWorker([this]() { return m_worker->VersionTimeoutInterval(); }), 5000);
        device.Pump(600);
        const int polls = device.frames.size();
        QVERIFY2(polls >= 6 && polls <= 16, qPrintable(QString::number(polls)));
        for (const HostFrame& f : device.frames) {
            QCOMPARE(f.bytes, kVersionRequest);
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

        // Close and reopen: polling starts again.
        Disconnect(device);
        device.frames.clear();
        Connect(device, "115200");
        device.Pump(400);
        QVERIFY(device.frames.size() >= 3);
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

    void readParamsFromSilentDeviceFails()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        // An unsolicited value of parameter 25 arrives first: it must not
        // pass for the answer to the coming request.
        device.Pty().Write(ParamValueFrame(1.0f, 25));
        device.Pump(1000, [&]() { return device.frames.size() == 1; });
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
        Disconnect(device);
    }

    void writeParamsSendsSixSetsAndStore()
    {
        FakeDevice device;
        Connect(device, "115200");
        StopPolling(device);
        device.onFrame = [&](const HostFrame& f) {
            if (f.IsLong() && f.Cmd() == CMD_SET_PARAM) {
                device.Pty().Write(CmdAckFrame(static_cast<uint16_t>(f.U1())));
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
        QCOMPARE(device.Count(CMD_SAVE_FLASH), 1);
        QCOMPARE(device.frames.last().Cmd(), uint16_t(CMD_SAVE_FLASH));
        QCOMPARE(m_status.last(), QString("状态：存储参数到flash成功"));
        QCOMPARE(m_status.size(), 7);
        Disconnect(device);
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
        QCOMPARE(device.Count(CMD_SAVE_PARAM_TABLE), 0);
        QCOMPARE(OnWorker([this]() { return m_worker->IsReadHandlerConnected(); }), true);
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
        QCOMPARE(static_cast<qint64>(g_send_total_byte.load()) - sentBefore, qint64(expected.size()));
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
        const QByteArray got = OnWorker([this]() {
            QThread::msleep(50);
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
        QTest::qWait(300);
        QCOMPARE(m_states.size(), 1);
        QVERIFY(OnWorker([this]() { return m_worker->GetSerialPort()->ErrorEvents(); }) < 50);
        QCOMPARE(OnWorker([this]() { return m_worker->GetSerialPort()->IsOpen(); }), false);

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
