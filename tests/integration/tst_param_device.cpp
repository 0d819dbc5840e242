// The parameter page and the batch dialog against a pseudo-terminal that
// plays the device; the worker opens the line through its normal port code.
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include <cstring>
#include <functional>

#include "support/PtyDevice.h"
#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "commom/StartUp.h"
#include "manager/NotifyMsgManager.h"
#include "widgets/singleTools/parameterConfigPage/CoordParamsSet.h"
#include "widgets/singleTools/parameterConfigPage/ImuParameterConfigWidget.h"
#include "widgets/singleTools/parameterConfigPage/SetPromptDialog.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

namespace {

struct Command
{
    uint16_t cmd = 0;
    float f1 = 0;
    uint32_t u1 = 0;
    qint64 at = 0; // monotonic ms when the device saw it
};

QByteArray U32(uint32_t v)
{
    QByteArray b(4, 0);
    std::memcpy(b.data(), &v, 4);
    return b;
}

QByteArray F32(float v)
{
    QByteArray b(4, 0);
    std::memcpy(b.data(), &v, 4);
    return b;
}

// FRAME_PARAM_VALUE: f32 value at 0, u32 index at 8.
QByteArray ParamValueFrame(uint32_t index, float value)
{
    return BuildDeviceFrame(FRAME_PARAM_VALUE, F32(value) + U32(0) + U32(index));
}

// FRAME_CMD_ACK: acknowledged u16 at offset 2.
QByteArray AckFrame(uint16_t value)
{
    QByteArray payload(8, 0);
    payload[2] = static_cast<char>(value & 0xFF);
    payload[3] = static_cast<char>(value >> 8);
    return BuildDeviceFrame(FRAME_CMD_ACK, payload);
}

// The device side: reads the host's frames off the pty master every few
// milliseconds (from the GUI thread's event loop, so it also runs inside the
// pages' nested waits) and answers through a policy.
class FakeDevice : public QObject
{
public:
    using Policy = std::function<QByteArray(const Command&)>;

    explicit FakeDevice(PtyDevice* pty) : m_pty(pty)
    {
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start();
    }

    void SetPolicy(Policy policy) { m_policy = std::move(policy); }
    QList<Command> Commands() const { return m_commands; }
    void Clear() { m_commands.clear(); }

    void Poll()
    {
        m_buffer += m_pty->ReadAvailable(0);
        while (true) {
            const int start = m_buffer.indexOf(QByteArray("\x55\xAA", 2));
            if (start < 0) {
                m_buffer.clear();
                return;
            }
            m_buffer.remove(0, start);
            if (m_buffer.size() < 6) {
                return;
            }
            const int length = static_cast<uint8_t>(m_buffer[4]) | (static_cast<uint8_t>(m_buffer[5]) << 8);
            const int total = 6 + length + 4;
            if (m_buffer.size() < total) {
                return;
            }
            const QByteArray frame = m_buffer.left(total);
            m_buffer.remove(0, total);
            if (length != 24) {
                continue; // acknowledgements of parameter values
            }
            Command c;
            std::memcpy(&c.cmd, frame.constData() + 2, 2);
            std::memcpy(&c.f1, frame.constData() + 6, 4);
            std::memcpy(&c.u1, frame.constData() + 14, 4);
            c.at = GetMonotonicTimeInMs();
            m_commands.append(c);
            if (m_policy) {
                const QByteArray reply = m_policy(c);
                if (!reply.isEmpty()) {
                    m_pty->Write(reply);
                }
            }
        }
    }

private:
    PtyDevice* m_pty;
    QTimer m_timer;
    QByteArray m_buffer;
    QList<Command> m_commands;
    Policy m_policy;
};

int CountOf(const QList<Command>& commands, uint16_t cmd)
{
    int n = 0;
    for (const Command& c : commands) {
        n += c.cmd == cmd ? 1 : 0;
    }
    return n;
}

QList<uint32_t> DistinctSetIds(const QList<Command>& commands)
{
    QList<uint32_t> ids;
    for (const Command& c : commands) {
        if (c.cmd == CMD_SET_PARAM && (ids.isEmpty() || ids.last() != c.u1)) {
            ids.append(c.u1);
        }
    }
    return ids;
}

} // namespace

class TestParamDevice : public QObject
{
    Q_OBJECT

private:
    PtyDevice m_pty;
    QThread* m_thread = nullptr;
    WorkerThreadImu* m_worker = nullptr;
    std::unique_ptr<FakeDevice> m_device;
    std::unique_ptr<ImuParameterConfigWidget> m_page;

    QLabel* Status() { return m_page->findChild<QLabel*>("label_status"); }
    QComboBox* Box(const char* name) { return m_page->findChild<QComboBox*>(name); }

private slots:
    static QString LogText()
    {
        Logger::Flush();
        QFile file(Logger::FilePath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    void initTestCase()
    {
        QVERIFY(m_pty.IsOpen());
        QVERIFY(Logger::Init(QDir::temp().filePath(
            QString("corvanta-param-device-%1.log").arg(QCoreApplication::applicationPid()))));
        Logger::SetLevel(Logger::Debug);
        RegsiterMetaType();
        DialogSeam::SetScripted(true);
        g_connection_serial_name = m_pty.SlavePath();
        g_connection_baud_rate = QString("115200");
        g_current_action_name = QString("参数设置");
        // A refused SET waits 1 s here instead of 10 s.
        WorkerThreadImu::SetSetParamTimeoutForTest(1000);

        // As the connect widget does it.
        g_serial_is_connected = true;
        m_thread = new QThread();
        m_worker = new WorkerThreadImu(nullptr);
        SerialPortManager::GetInstance()->InsertImuWorker(m_worker, 0);
        QSignalSpy opened(m_worker, &WorkerThread::SignalSerialIsOpen);
        connect(m_thread, &QThread::started, m_worker, &WorkerThread::slot_open_serial_port);
        m_worker->moveToThread(m_thread);
        m_thread->start();
        QTRY_VERIFY_WITH_TIMEOUT(!opened.isEmpty(), 5000);
        QCOMPARE(opened.first().first().toInt(), int(SERIAL_STATE_OPENED));

        m_device.reset(new FakeDevice(&m_pty));
        // Let the version polling (which no one answers) run out of the way.
        m_device->SetPolicy([](const Command& c) {
            return c.cmd == CMD_GET_VERSION ? BuildDeviceFrame(FRAME_VERSION, QByteArray(78, 0)) : QByteArray();
        });
        QTRY_VERIFY_WITH_TIMEOUT(g_communicate_with_serial_flag.load(), 5000);
        m_page.reset(new ImuParameterConfigWidget(nullptr));
    }

    void cleanupTestCase()
    {
        WorkerThreadImu::SetSetParamTimeoutForTest(0);
        m_page.reset();
        m_device.reset();
        SerialPortManager::GetInstance()->ClearWorker();
        QMetaObject::invokeMethod(m_worker, "slot_close_serial_port", Qt::BlockingQueuedConnection);
        m_worker->deleteLater();
        m_thread->quit();
        m_thread->wait();
        delete m_thread;
    }

    void readFillsPageFromSixParameters()
    {
        QMap<uint32_t, float> values{{25, 1.0f}, {3, 230400.0f}, {21, 200.0f}, {31, 0x3A}, {5, 10.0f}, {4, 118.0f}};
        m_device->Clear();
        m_device->SetPolicy([values](const Command& c) {
            if (c.cmd == CMD_GET_PARAM && values.contains(c.u1)) {
                return ParamValueFrame(c.u1, values.value(c.u1));
            }
            return QByteArray();
        });
        QTest::mouseClick(m_page->findChild<QPushButton*>("button_read"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Status()->text(), QString("状态：读取数据成功"), 8000);
        QTRY_COMPARE(Box("combo_box_stream_status")->currentText(), QString("AHRS数据流"));
        QCOMPARE(Box("comboBoxBaud")->currentText(), QString("230400"));
        QCOMPARE(Box("comboBoxUpdate")->currentText(), QString("200"));
        QCOMPARE(Box("comboBoxAccelLpf")->currentIndex(), 4);
        QCOMPARE(Box("comboBoxGyroLpy")->currentIndex(), 11);
        QCOMPARE(Box("comboBoxGyroBias")->currentText(), QString("开启"));
        QCOMPARE(m_page->findChild<CoordParamsSet*>()->getCode(), 118.0f);

        QList<uint32_t> gets;
        for (const Command& c : m_device->Commands()) {
            if (c.cmd == CMD_GET_PARAM && (gets.isEmpty() || gets.last() != c.u1)) {
                gets.append(c.u1);
            }
        }
        QCOMPARE(gets, QList<uint32_t>({25, 3, 21, 31, 5, 4}));
    }

    void writePutsSixSetsThenStore()
    {
        m_device->Clear();
        m_device->SetPolicy([](const Command& c) {
            if (c.cmd == CMD_SET_PARAM) {
                return AckFrame(static_cast<uint16_t>(c.u1));
            }
            if (c.cmd == CMD_SAVE_FLASH) {
                return AckFrame(1);
            }
            return QByteArray();
        });
        // The page holds what the read put there; pick a different orientation.
        m_page->findChild<CoordParamsSet*>()->setCode(123);
        QTest::mouseClick(m_page->findChild<QPushButton*>("button_write"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Status()->text(), QString("状态：存储参数到flash成功"), 8000);

        const QList<Command> commands = m_device->Commands();
        QCOMPARE(DistinctSetIds(commands), QList<uint32_t>({25, 3, 21, 31, 5, 4}));
        QMap<uint32_t, float> written;
        int lastSet = -1;
        int firstStore = -1;
        for (int i = 0; i < commands.size(); ++i) {
            if (commands[i].cmd == CMD_SET_PARAM) {
                written.insert(commands[i].u1, commands[i].f1);
                lastSet = i;
            } else if (commands[i].cmd == CMD_SAVE_FLASH && firstStore < 0) {
                firstStore = i;
            }
        }
        QVERIFY(firstStore > lastSet);
        QCOMPARE(written.value(25), 1.0f);
        QCOMPARE(written.value(3), 230400.0f);
        QCOMPARE(written.value(21), 200.0f);
        QCOMPARE(written.value(31), 58.0f);
        QCOMPARE(written.value(5), 10.0f);
        QCOMPARE(written.value(4), 123.0f);
    }

    // The device never acknowledges the update rate: the other parameters
    // are set and stored, the last status names the refused one, and while
    // the write runs the page starts nothing else.
    void refusedParameterIsNamed()
    {
        m_device->Clear();
        m_device->SetPolicy([](const Command& c) {
            if (c.cmd == CMD_SET_PARAM && c.u1 != 21) {
                return AckFrame(static_cast<uint16_t>(c.u1));
            }
            return c.cmd == CMD_SAVE_FLASH ? AckFrame(1) : QByteArray();
        });
        ImuParameterConfigWidget::ResetClickFilterForTest();
        QTest::mouseClick(m_page->findChild<QPushButton*>("button_write"), Qt::LeftButton);
        QCOMPARE(Status()->text(), QString("状态：正在设置参数....."));
        for (const char* name : {"button_read", "button_write", "btn_export_param"}) {
            QVERIFY(!m_page->findChild<QPushButton*>(name)->isEnabled());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!DistinctSetIds(m_device->Commands()).isEmpty(), 3000);
        // A press that reaches the page all the same is refused.
        QMetaObject::invokeMethod(m_page.get(), "on_button_read_clicked", Qt::DirectConnection);
        QCOMPARE(Status()->text(), QString("状态：当前请求未完成，请稍后再试"));

        QTRY_COMPARE_WITH_TIMEOUT(Status()->text(), QString("状态：设置参数失败：更新率；其余参数已存储到flash"), 15000);
        QCOMPARE(DistinctSetIds(m_device->Commands()), QList<uint32_t>({25, 3, 21, 31, 5, 4}));
        QCOMPARE(CountOf(m_device->Commands(), CMD_SAVE_FLASH), 1);
        for (const Command& c : m_device->Commands()) {
            QVERIFY(c.cmd != CMD_GET_PARAM);
        }
        QVERIFY(m_page->findChild<QPushButton*>("button_read")->isEnabled());
    }

    // What the last text says is stored is what the device stored: nothing
    // is stored when no SET was taken, and a refused store is said.
    void refusedWriteSaysWhatWasStored_data()
    {
        QTest::addColumn<QList<uint32_t>>("refused");
        QTest::addColumn<bool>("storeAcknowledged");
        QTest::addColumn<int>("stores");
        QTest::addColumn<QString>("status");
        QTest::newRow("every SET refused")
            << QList<uint32_t>({25, 3, 21, 31, 5, 4}) << true << 0
            << "状态：设置参数失败：初始数据流状态、波特率、更新率、滤波器、自动扣零偏、安装偏差角";
        QTest::newRow("rate and store refused")
            << QList<uint32_t>({21}) << false << 1 << "状态：设置参数失败：更新率；存储参数到flash失败";
    }

    void refusedWriteSaysWhatWasStored()
    {
        QFETCH(QList<uint32_t>, refused);
        QFETCH(bool, storeAcknowledged);
        QFETCH(int, stores);
        QFETCH(QString, status);
        m_device->Clear();
        m_device->SetPolicy([refused, storeAcknowledged](const Command& c) {
            if (c.cmd == CMD_SET_PARAM && !refused.contains(c.u1)) {
                return AckFrame(static_cast<uint16_t>(c.u1));
            }
            return c.cmd == CMD_SAVE_FLASH && storeAcknowledged ? AckFrame(1) : QByteArray();
        });
        QSignalSpy texts(NotifyMsgManager::GetInstance(), &NotifyMsgManager::LogMsgParamConfig);
        ImuParameterConfigWidget::ResetClickFilterForTest();
        QTest::mouseClick(m_page->findChild<QPushButton*>("button_write"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_page->RunningRequest() == ImuParameterConfigWidget::Request::None, 15000);
        QCOMPARE(Status()->text(), status);
        QCOMPARE(DistinctSetIds(m_device->Commands()), QList<uint32_t>({25, 3, 21, 31, 5, 4}));
        QCOMPARE(CountOf(m_device->Commands(), CMD_SAVE_FLASH), stores);
        for (const QList<QVariant>& text : texts) {
            QVERIFY2(!text.at(1).toStringList().join("").contains("已存储"), qPrintable(text.at(1).toStringList().join("|")));
        }
    }

    // Another tool is shown while a read runs: the read's values still
    // reach the page, so its success is never shown over empty fields.
    void readFinishesWhileAnotherToolShows()
    {
        QMap<uint32_t, float> values{{25, 100.0f}, {3, 460800.0f}, {21, 10.0f}, {31, 0x11}, {5, 0.0f}, {4, 101.0f}};
        m_device->SetPolicy([values](const Command& c) {
            return c.cmd == CMD_GET_PARAM ? ParamValueFrame(c.u1, values.value(c.u1)) : QByteArray();
        });
        ImuParameterConfigWidget::ResetClickFilterForTest();
        QTest::mouseClick(m_page->findChild<QPushButton*>("button_read"), Qt::LeftButton);
        g_current_action_name = QString("命令生成器");
        QTRY_COMPARE_WITH_TIMEOUT(Status()->text(), QString("状态：读取数据成功"), 8000);
        g_current_action_name = QString("参数设置");
        QCOMPARE(Box("combo_box_stream_status")->currentText(), QString("命令模式"));
        QCOMPARE(Box("comboBoxBaud")->currentText(), QString("460800"));
        QCOMPARE(Box("comboBoxUpdate")->currentText(), QString("10"));
        QCOMPARE(Box("comboBoxGyroBias")->currentText(), QString("关闭"));
    }

    void batchDialogRetriesAndWaitsForNextDevice()
    {
        SetPromptDialog* dlg = m_page->BatchDialog();
        // id 1 first: a store's acknowledgement (value 1) must not pass for it.
        dlg->SetParams({{"HW_VERSION", 2.0f}, {"GYRO_BIAS_X", 0.5f}, {"IMU_ODR", 100.0f}, {"nonsense", 1.0f}});
        QCOMPARE(dlg->Params().keys(), QList<int>({1, 8, 21}));

        QList<int> progress;
        const QMetaObject::Connection progressWatch =
            connect(dlg->findChild<QProgressBar*>("progressBar"), &QProgressBar::valueChanged, this,
                    [&progress](int v) { progress.append(v); });

        int stores = 0;
        int pass = 0;
        bool armedEarly = true;
        m_device->Clear();
        QStringList statusSeen; // the dialog's status whenever the device sees a new phase
        auto* dlgStatus = dlg->findChild<QLabel*>("label_status");
        m_device->SetPolicy([&](const Command& c) {
            if (statusSeen.isEmpty() || statusSeen.last() != dlgStatus->text()) {
                statusSeen << dlgStatus->text();
            }
            if (c.cmd == CMD_SAVE_FLASH) {
                ++stores;
                if (stores == 1) {
                    // Banner 1 s after the stored device is too early, at 2.6 s it arms.
                    QTimer::singleShot(1000, this, [this] { m_pty.Write("HC32_UPLOADER"); });
                    QTimer::singleShot(1300, this, [&armedEarly, dlg] { armedEarly = dlg->IsArmed(); });
                    QTimer::singleShot(2600, this, [this] { m_pty.Write("...HC32_UPLOADER\r\n"); });
                } else {
                    // The second device is stored: end the run.
                    QTimer::singleShot(300, dlg, [dlg] { dlg->close(); });
                }
                return AckFrame(1);
            }
            if (c.cmd != CMD_SET_PARAM) {
                return QByteArray();
            }
            if (stores == 0 && pass == 0 && c.u1 == 8) {
                return QByteArray(); // first pass: the second id is never acknowledged
            }
            return AckFrame(static_cast<uint16_t>(c.u1));
        });

        int questions = 0;
        DialogSeam::ClearRequests();
        DialogSeam::SetHandler([&](const DialogSeam::Request& r) -> QVariant {
            if (r.kind != DialogSeam::Question) {
                return QVariant();
            }
            if (++questions == 1) {
                pass = 1;
                return int(QMessageBox::Yes);
            }
            QTimer::singleShot(300, dlg, [dlg] { dlg->close(); }); // not expected
            return int(QMessageBox::No);
        });

        dlg->show();
        // Whatever goes wrong, the run ends (the checks below then fail).
        QTimer::singleShot(30000, dlg, [dlg] { dlg->close(); });
        QMetaObject::invokeMethod(dlg, "on_btn_set_clicked", Qt::DirectConnection); // returns when cancelled
        DialogSeam::SetHandler(nullptr);
        disconnect(progressWatch);
        m_device->SetPolicy(nullptr);

        QStringList texts;
        for (const DialogSeam::Request& r : DialogSeam::Requests()) {
            if (r.kind == DialogSeam::Question) {
                QCOMPARE(r.title, QString("警告"));
                QCOMPARE(r.buttons, int(QMessageBox::Yes | QMessageBox::No));
                texts << r.text;
            }
        }
        QCOMPARE(texts, QStringList({"未能全部设置成功,是否重试"}));
        QVERIFY(progress.size() >= 2);
        QCOMPARE(progress.mid(0, 2), QList<int>({33, 66}));
        QVERIFY(progress.contains(100));
        QCOMPARE(stores, 2);
        QVERIFY(!armedEarly);
        // The retry wrote the same device under the same number; the next
        // device got the next number.
        QCOMPARE(statusSeen, QStringList({"状态：正在设置第1个", "状态：正在设置第2个"}));
        // closing resets the run
        QCOMPARE(dlg->DeviceNumber(), 1u);
        QCOMPARE(dlg->findChild<QPushButton*>("btn_set")->text(), QString("设置"));

        // Timing of the unacknowledged id: sent every ~100 ms for ~3 s.
        const QList<Command> commands = m_device->Commands();
        QList<Command> id8;
        int idx = 0;
        for (; idx < commands.size(); ++idx) {
            if (commands[idx].cmd == CMD_SET_PARAM && commands[idx].u1 == 8) {
                id8.append(commands[idx]);
            } else if (!id8.isEmpty()) {
                break;
            }
        }
        QVERIFY2(id8.size() >= 20 && id8.size() <= 32, qPrintable(QString::number(id8.size())));
        const qint64 span = id8.last().at - id8.first().at;
        QVERIFY2(span >= 2600 && span <= 3400, qPrintable(QString::number(span)));

        // After the first store: the next device was written only after the
        // banner, and its id 1 went out on the line (the store's
        // acknowledgement, value 1, did not pass for it).
        int storeAt = -1;
        for (int i = 0; i < commands.size(); ++i) {
            if (commands[i].cmd == CMD_SAVE_FLASH) {
                storeAt = i;
                break;
            }
        }
        QVERIFY(storeAt > 0);
        int id1After = 0;
        qint64 firstId1After = 0;
        for (int i = storeAt + 1; i < commands.size(); ++i) {
            if (commands[i].cmd == CMD_SET_PARAM && commands[i].u1 == 1) {
                if (id1After++ == 0) {
                    firstId1After = commands[i].at;
                }
            }
        }
        QVERIFY2(id1After >= 1, qPrintable(QString::number(id1After)));
        QVERIFY(firstId1After - commands[storeAt].at >= 2000);
    }

    // The port is closed and opened again while a pass waits for its first
    // acknowledgement: the pass ends with its connection, and nothing more
    // of it goes out on the new one.
    void batchPassEndsWithItsConnection()
    {
        SetPromptDialog* dlg = m_page->BatchDialog();
        dlg->SetParams({{"HW_VERSION", 2.0f}, {"GYRO_BIAS_X", 0.5f}, {"IMU_ODR", 100.0f}});
        m_device->Clear();
        bool reopened = false;
        m_device->SetPolicy([&](const Command& c) {
            if (c.cmd == CMD_SET_PARAM && !reopened) {
                reopened = true;
                QMetaObject::invokeMethod(m_worker, "slot_close_serial_port", Qt::QueuedConnection);
                QMetaObject::invokeMethod(m_worker, "slot_open_serial_port", Qt::QueuedConnection);
            }
            return c.cmd == CMD_GET_VERSION ? BuildDeviceFrame(FRAME_VERSION, QByteArray(78, 0)) : QByteArray();
        });
        DialogSeam::ClearRequests();
        // No question: the run waits for the next device; the test ends it.
        auto* status = dlg->findChild<QLabel*>("label_status");
        QTimer watch;
        QStringList seen;
        connect(&watch, &QTimer::timeout, dlg, [&] {
            if (seen.isEmpty() || seen.last() != status->text()) {
                seen << status->text();
            }
            if (status->text() == QString("状态：第1个设置未完成（设备连接已断开）")) {
                dlg->close();
            }
        });
        watch.start(5);
        // A run that goes on cannot hang the test.
        QTimer safety;
        safety.setSingleShot(true);
        connect(&safety, &QTimer::timeout, dlg, &QDialog::close);
        safety.start(20000);
        dlg->show();
        QMetaObject::invokeMethod(dlg, "on_btn_set_clicked", Qt::DirectConnection); // returns when closed
        QVERIFY2(seen.contains("状态：第1个设置未完成（设备连接已断开）"), qPrintable(seen.join('|')));
        QVERIFY(DialogSeam::Requests().isEmpty());
        for (const Command& c : m_device->Commands()) {
            QVERIFY2(c.cmd != CMD_SET_PARAM || c.u1 == 1, qPrintable(QString::number(c.u1)));
        }
        // The device on the new connection is heard before the next case.
        QTRY_VERIFY_WITH_TIMEOUT(g_communicate_with_serial_flag.load(), 5000);
    }

    // Two GETs of 3 s each resent every 5 ms: the log gets the first resend
    // of each and then at most a line a second.
    void absentDeviceEndsWithFailureText()
    {
        m_device->SetPolicy(nullptr);
        // Counted from here: the worker has left every wait of the last case
        // (it is idle in its own loop), and the read goes past the click filter.
        auto workerIdle = [this]() {
            int depth = -1;
            QMetaObject::invokeMethod(m_worker, [&depth]() { depth = NonBlockWaitDepth(); },
                                      Qt::BlockingQueuedConnection);
            return depth == 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(workerIdle(), 15000);
        ImuParameterConfigWidget::ResetClickFilterForTest();
        const int before = LogText().count("重发命令");
        QTest::mouseClick(m_page->findChild<QPushButton*>("button_read"), Qt::LeftButton);
        QCOMPARE(Status()->text(), QString("状态：正在读取参数....."));
        QTRY_COMPARE_WITH_TIMEOUT(Status()->text(), QString("状态：读取数据失败"), 12000);
        QCOMPARE(Box("comboBoxBaud")->currentIndex(), 0);
        const int resendLines = LogText().count("重发命令") - before;
        QVERIFY2(resendLines >= 2 && resendLines <= 8, qPrintable(QString::number(resendLines)));
        QVERIFY(m_device->Commands().size() > 100);
    }
};

QTEST_MAIN(TestParamDevice)
#include "tst_param_device.moc"
