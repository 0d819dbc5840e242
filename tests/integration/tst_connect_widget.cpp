// The connect widget against a pseudo-terminal that plays the device:
// connecting, the automatic baud search, the click debounce, the custom
// baud checks, open failures and unplugging.

#include "support/FakeImuDevice.h"
#include "support/PtyDevice.h"

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThread.h"
#include "widgets/general/OpenSerialWidget.h"
#include "widgets/singleTools/parameterConfigPage/AllParameterWidget.h"
#include "widgets/singleTools/parameterConfigPage/ImuParameterConfigWidget.h"
#include "workerThread/DeviceFrames.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

const char* const kMissingPort = "/dev/corvanta-no-such-port";

struct SentRequest
{
    int id;
    QVariant var1;
    QVariant var2;
};

QComboBox* PortCombo(OpenSerialWidget& w) { return w.findChild<QComboBox*>("comboBoxPort"); }
QComboBox* BaudCombo(OpenSerialWidget& w) { return w.findChild<QComboBox*>("comboBoxbaud"); }
QPushButton* Button(OpenSerialWidget& w) { return w.findChild<QPushButton*>("button_connect"); }
QLabel* Tip(OpenSerialWidget& w) { return w.findChild<QLabel*>("labelTip"); }

bool SelectPort(OpenSerialWidget& w, const QString& path)
{
    QComboBox* combo = PortCombo(w);
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).split('#').first().trimmed() == path) {
            combo->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

void SelectCustomBaud(OpenSerialWidget& w, const QString& text)
{
    QComboBox* combo = BaudCombo(w);
    combo->setCurrentIndex(combo->findText("Custom"));
    QVERIFY(combo->isEditable());
    combo->setEditText(text);
}

QStringList Texts(const QList<DialogSeam::Request>& requests)
{
    QStringList texts;
    for (const DialogSeam::Request& request : requests) {
        texts.append(request.text);
    }
    return texts;
}

QString LogText()
{
    Logger::Flush();
    QFile file(Logger::FilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

void SetExtraPorts(const QStringList& paths)
{
    qputenv("CORVANTA_EXTRA_PORTS", paths.join(':').toLocal8Bit());
}

// Whether the host wrote a command frame (55 AA, command, length 24).
bool HasCommand(const QByteArray& bytes, uint16_t cmd)
{
    const char head[] = {'\x55', '\xAA', char(cmd & 0xFF), char(cmd >> 8), '\x18', '\x00'};
    return bytes.contains(QByteArray(head, sizeof head));
}

// The requests that wait for the device, as the parameter pages send them.
enum WaitingRequest { READ_PARAMS, WRITE_PARAMS, READ_TABLE, WRITE_TABLE };

const uint16_t kFirstCommandOf[] = {CMD_GET_PARAM, CMD_SET_PARAM, CMD_READ_PARAM_TABLE, CMD_WRITE_PARAM_TABLE_ENTRY};

} // namespace

class TestConnectWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void clicksWithinTheDebounceAreIgnored();
    void customBaudIsChecked();
    void failedOpenClearsTheConnectedFlag();
    void emptyPortIsRefused();
    void refusedClickKeepsTheConnectionGlobals();
    void connectAndDisconnectAtFixedRate();
    void autoSearchSettlesOnTheAnsweringRate();
    void stopClickEndsSearchWhateverTheComboShows();
    void disconnectRequestFromPageStopsSearch();
    void disconnectRequestFromPageWhileIdleConnects();
    void workerAndThreadAreMadeOnceAndReused();
    void searchRestartedWithinAStepKeepsItsResult();
    void portWatchStopsASearch();
    void unplugDuringRecordingDisconnectsWithinASecond();
    void portLeavingListIsNoticedByTheWatch();
    void applicationCloseEndsWorkerOnItsOwnThread();
    void closeWhileRequestsWait();
    void requestEndsWithItsConnection_data();
    void requestEndsWithItsConnection();
    void firstSearchHearsTheFirstRate();
    void silentDeviceIsReported();
    void disconnectClearsWhatTheDeviceShowed();
    void narrowPortBoxShowsThePortName();

private:
    void ConnectFixed(OpenSerialWidget& w, PtyDevice& pty, int baudIndex);
    QList<SentRequest> m_sent;
    QMetaObject::Connection m_sent_connection;
};

void TestConnectWidget::initTestCase()
{
    RegsiterMetaType();
    const QString logPath = QDir::temp().filePath(
        QString("corvanta-connect-widget-%1.log").arg(QCoreApplication::applicationPid()));
    QFile::remove(logPath);
    QVERIFY(Logger::Init(logPath));
    Logger::SetLevel(Logger::Debug);
    DialogSeam::SetScripted(true);
    SettingManager::GetInstance();
    m_sent_connection = connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU,
                                this, [this](int id, QVariant var1, QVariant var2) {
                                    m_sent.append(SentRequest{id, var1, var2});
                                });
}

void TestConnectWidget::init()
{
    DialogSeam::ClearRequests();
    DialogSeam::SetHandler(nullptr);
    SetExtraPorts({});
    m_sent.clear();
    g_serial_is_connected = false;
    g_communicate_with_serial_flag = false;
    g_app_is_exit = false;
    g_ahrs_file_recording = false;
    g_33imu_file_recording = false;
    g_is_running_upgrade = false;
    g_cancelUpgradeFlag = false;
    g_connection_serial_name = QString();
    g_connection_baud_rate = QString();
    g_param_table_req_running = false;
    g_current_action_name = QString();
}

void TestConnectWidget::cleanup()
{
    SetExtraPorts({});
}

void TestConnectWidget::ConnectFixed(OpenSerialWidget& w, PtyDevice& pty, int baudIndex)
{
    QVERIFY(SelectPort(w, pty.SlavePath()));
    BaudCombo(w)->setCurrentIndex(baudIndex);
    w.on_button_connect_clicked();
    QTRY_VERIFY_WITH_TIMEOUT(w.IsConnected(), 3000);
    QCOMPARE(Button(w)->text(), QString("断开"));
}

void TestConnectWidget::clicksWithinTheDebounceAreIgnored()
{
    SetExtraPorts({kMissingPort});
    OpenSerialWidget w;
    qint64 now = 1000;
    w.SetClickClock([&now]() { return now; });
    QVERIFY(SelectPort(w, kMissingPort));
    SelectCustomBaud(w, "299");

    w.on_button_connect_clicked();
    QCOMPARE(DialogSeam::Requests().size(), 1);
    now = 1100;
    w.on_button_connect_clicked();
    QCOMPARE(DialogSeam::Requests().size(), 1);
    now = 1124;
    w.on_button_connect_clicked();
    QCOMPARE(DialogSeam::Requests().size(), 1);
    // Counted from the last accepted click, not from the ignored ones.
    now = 1125;
    w.on_button_connect_clicked();
    QCOMPARE(DialogSeam::Requests().size(), 2);
    QCOMPARE(DialogSeam::Requests().at(1).text, QString("波特率必须大于300"));
}

void TestConnectWidget::customBaudIsChecked()
{
    SetExtraPorts({kMissingPort});
    OpenSerialWidget w;
    qint64 now = 0;
    w.SetClickClock([&now]() { return now; });
    QVERIFY(SelectPort(w, kMissingPort));

    const QList<QPair<QString, QString>> refused = {
        {"299", "波特率必须大于300"},
        {"0300", "请检查波特率是否为纯数字"},
        {"300 ", "请检查波特率是否为纯数字"},
        {"-300", "请检查波特率是否为纯数字"},
        {"", "请选择波特率"},
        {"4294967296", "波特率必须大于300"},
    };
    for (const auto& row : refused) {
        DialogSeam::ClearRequests();
        now += 1000;
        SelectCustomBaud(w, row.first);
        w.on_button_connect_clicked();
        QCOMPARE(DialogSeam::Requests().size(), 1);
        QCOMPARE(DialogSeam::Requests().first().text, row.second);
        QCOMPARE(DialogSeam::Requests().first().title, row.first.isEmpty() ? QString("提示") : QString("警告"));
        QVERIFY(!g_serial_is_connected);
        QCOMPARE(g_connection_baud_rate.Get(), QString());
    }

    DialogSeam::ClearRequests();
    now += 1000;
    SelectCustomBaud(w, "300");
    w.on_button_connect_clicked();
    QCOMPARE(g_connection_baud_rate.Get(), QString("300"));
    QCOMPARE(g_connection_serial_name.Get(), QString(kMissingPort));
    QVERIFY(!Texts(DialogSeam::Requests()).contains("波特率必须大于300"));
    // The port itself does not exist: the open fails and says so.
    QTRY_VERIFY_WITH_TIMEOUT(Texts(DialogSeam::Requests()).contains("串口被占用或者已经损坏"), 3000);

    // The next start offers the same custom rate, ready to connect with,
    // once the widget shows.
    OpenSerialWidget restarted;
    restarted.show();
    QCOMPARE(BaudCombo(restarted)->currentText(), QString("300"));
    QVERIFY(BaudCombo(restarted)->isEditable());
}

void TestConnectWidget::failedOpenClearsTheConnectedFlag()
{
    SetExtraPorts({kMissingPort});
    OpenSerialWidget w;
    QSignalSpy states(&w, &OpenSerialWidget::SignalUpdateConnectStatueLable);
    QVERIFY(SelectPort(w, kMissingPort));
    BaudCombo(w)->setCurrentIndex(0);
    w.on_button_connect_clicked();
    QVERIFY(g_serial_is_connected);    // set before the open is asked for
    QTRY_COMPARE_WITH_TIMEOUT(states.count(), 1, 3000);
    QCOMPARE(states.at(0).at(0).value<SerialState>(), SERIAL_STATE_OPEN_FAILED);
    QVERIFY(!g_serial_is_connected);
    QVERIFY(!w.IsConnected());
    QCOMPARE(Button(w)->text(), QString("连接"));
    QCOMPARE(DialogSeam::Requests().size(), 1);
    QCOMPARE(DialogSeam::Requests().first().kind, DialogSeam::Warning);
    QCOMPARE(DialogSeam::Requests().first().title, QString("警告"));
    QCOMPARE(DialogSeam::Requests().first().text, QString("串口被占用或者已经损坏"));
}

void TestConnectWidget::emptyPortIsRefused()
{
    OpenSerialWidget w;
    PortCombo(w)->clear();
    w.on_button_connect_clicked();
    QCOMPARE(DialogSeam::Requests().size(), 1);
    QCOMPARE(DialogSeam::Requests().first().kind, DialogSeam::Information);
    QCOMPARE(DialogSeam::Requests().first().title, QString("提示"));
    QCOMPARE(DialogSeam::Requests().first().text, QString("请选择串口号"));
    QVERIFY(!g_serial_is_connected);
}

void TestConnectWidget::refusedClickKeepsTheConnectionGlobals()
{
    PtyDevice pty;
    QVERIFY(pty.IsOpen());
    FakeImuDevice device(pty);
    SetExtraPorts({pty.SlavePath(), kMissingPort});
    OpenSerialWidget w;
    qint64 now = 0;
    w.SetClickClock([&now]() { return now; });
    ConnectFixed(w, pty, 2);
    QCOMPARE(g_connection_baud_rate.Get(), QString("115200"));

    // A disconnect refused because a recording runs: the combos have moved
    // on, the globals still name the port in use.
    g_ahrs_file_recording = true;
    QVERIFY(SelectPort(w, kMissingPort));
    BaudCombo(w)->setCurrentIndex(0);
    now += 1000;
    w.on_button_connect_clicked();
    QCOMPARE(Texts(DialogSeam::Requests()), QStringList{"请关闭保存AHRS数据之后才能断开串口"});
    QCOMPARE(g_connection_serial_name.Get(), pty.SlavePath());
    QCOMPARE(g_connection_baud_rate.Get(), QString("115200"));
    QVERIFY(g_serial_is_connected);

    g_ahrs_file_recording = false;
    g_33imu_file_recording = true;
    now += 1000;
    w.on_button_connect_clicked();
    QCOMPARE(DialogSeam::Requests().last().text, QString("请关闭保存数据之后才能断开串口"));
    g_33imu_file_recording = false;

    // The disconnect itself does not rewrite them either.
    now += 1000;
    w.on_button_connect_clicked();
    QVERIFY(!g_serial_is_connected);
    QCOMPARE(g_connection_serial_name.Get(), pty.SlavePath());
    QCOMPARE(g_connection_baud_rate.Get(), QString("115200"));
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected(), 3000);
}

void TestConnectWidget::connectAndDisconnectAtFixedRate()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    QSignalSpy pages(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage);
    qint64 now = 0;
    w.SetClickClock([&now]() { return now; });

    ConnectFixed(w, pty, 2);
    QVERIFY(g_serial_is_connected);
    QCOMPARE(SettingManager::GetInstance()->GetBaudIndex(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(g_communicate_with_serial_flag.load(), 3000);
    QCOMPARE(device.LineBaud(), 115200);

    pages.clear();
    now += 1000;
    w.on_button_connect_clicked();
    QVERIFY(!g_serial_is_connected);
    QVERIFY(!g_communicate_with_serial_flag);
    bool sawConnectionDown = false;
    for (const QList<QVariant>& message : pages) {
        if (message.at(0).toInt() == PAGE_MSG_CONNECTION) {
            sawConnectionDown = message.at(1).toBool() == false && message.at(2).toInt() == 115200;
        }
    }
    QVERIFY(sawConnectionDown);
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected(), 3000);
    QCOMPARE(Button(w)->text(), QString("连接"));
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestConnectWidget::autoSearchSettlesOnTheAnsweringRate()
{
    SettingManager::GetInstance()->SetBaudIndex(0);
    PtyDevice pty;
    FakeImuDevice device(pty);
    device.SetAnswerBaud(115200);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    QVERIFY(SelectPort(w, pty.SlavePath()));
    BaudCombo(w)->setCurrentIndex(BaudCombo(w)->findText("Auto"));

    // Runs the whole search; the device answers from inside its waits.
    w.on_button_connect_clicked();

    QVERIFY(!w.IsAutoSearching());
    QVERIFY(g_serial_is_connected);
    QVERIFY(g_communicate_with_serial_flag);
    QCOMPARE(BaudCombo(w)->currentIndex(), 2);
    QCOMPARE(BaudCombo(w)->currentText(), QString("115200"));
    QCOMPARE(SettingManager::GetInstance()->GetBaudIndex(), 2);
    QCOMPARE(g_connection_baud_rate.Get(), QString("115200"));
    QCOMPARE(Tip(w)->text(), QString());
    QVERIFY(device.VersionRequests() > 0);
    QTRY_VERIFY_WITH_TIMEOUT(w.IsConnected(), 2000);
    QCOMPARE(Button(w)->text(), QString("断开"));
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestConnectWidget::stopClickEndsSearchWhateverTheComboShows()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    device.SetAnswering(false);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    QVERIFY(SelectPort(w, pty.SlavePath()));
    BaudCombo(w)->setCurrentIndex(BaudCombo(w)->findText("Auto"));

    bool searchingAtStop = false;
    QString tipAtStop;
    QTimer::singleShot(500, &w, [&]() {
        searchingAtStop = w.IsAutoSearching();
        tipAtStop = Tip(w)->text();
        BaudCombo(w)->setCurrentIndex(0);    // the user picked a rate meanwhile
        w.on_button_connect_clicked();
    });
    w.on_button_connect_clicked();

    QVERIFY(searchingAtStop);
    QVERIFY(tipAtStop.startsWith("查询波特率"));
    QVERIFY(!w.IsAutoSearching());
    QVERIFY(!g_serial_is_connected);
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected() && Button(w)->text() == "连接", 3000);
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestConnectWidget::disconnectRequestFromPageStopsSearch()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    device.SetAnswering(false);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    QVERIFY(SelectPort(w, pty.SlavePath()));
    BaudCombo(w)->setCurrentIndex(BaudCombo(w)->findText("Auto"));

    QTimer::singleShot(1000, &w, [&]() {
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_DISCONNECT_SERIAL, QVariant(), QVariant());
    });
    QElapsedTimer clock;
    clock.start();
    w.on_button_connect_clicked();
    QVERIFY(clock.elapsed() < 2900);
    QVERIFY(!w.IsAutoSearching());
    QVERIFY(!g_serial_is_connected);
}

void TestConnectWidget::disconnectRequestFromPageWhileIdleConnects()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    qint64 now = 0;
    w.SetClickClock([&now]() { return now; });
    QVERIFY(SelectPort(w, pty.SlavePath()));
    BaudCombo(w)->setCurrentIndex(2);

    // The page message acts exactly as a click: idle, so it connects ...
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_DISCONNECT_SERIAL, QVariant(), QVariant());
    QVERIFY(g_serial_is_connected);
    QTRY_VERIFY_WITH_TIMEOUT(w.IsConnected(), 3000);

    // ... and within the debounce of that "click" it is ignored ...
    now += 100;
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_DISCONNECT_SERIAL, QVariant(), QVariant());
    QVERIFY(g_serial_is_connected);

    // ... and later, while connected, it disconnects.
    now += 1000;
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_DISCONNECT_SERIAL, QVariant(), QVariant());
    QVERIFY(!g_serial_is_connected);
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected(), 3000);

    // Other page messages are not clicks.
    now += 1000;
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_DISCONNECT_SERIAL + 1, QVariant(), QVariant());
    QVERIFY(!g_serial_is_connected);
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestConnectWidget::workerAndThreadAreMadeOnceAndReused()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    qint64 now = 0;
    w.SetClickClock([&now]() { return now; });

    ConnectFixed(w, pty, 2);
    QPointer<WorkerThread> first = SerialPortManager::GetInstance()->GetImuWorker();
    QVERIFY(first != nullptr);
    QThread* firstThread = first->thread();
    QVERIFY(firstThread->isRunning());

    for (int round = 0; round < 2; ++round) {
        now += 1000;
        w.on_button_connect_clicked();
        QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected(), 3000);
        QVERIFY(!first.isNull());
        QVERIFY(firstThread->isRunning());

        now += 1000;
        w.on_button_connect_clicked();
        QTRY_VERIFY_WITH_TIMEOUT(w.IsConnected(), 3000);
        QCOMPARE(SerialPortManager::GetInstance()->GetImuWorker(), first.data());
        QCOMPARE(first->thread(), firstThread);
    }
    QTRY_VERIFY_WITH_TIMEOUT(g_communicate_with_serial_flag.load(), 3000);
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestConnectWidget::searchRestartedWithinAStepKeepsItsResult()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    device.SetAnswering(false);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    QVERIFY(SelectPort(w, pty.SlavePath()));
    BaudCombo(w)->setCurrentIndex(BaudCombo(w)->findText("Auto"));

    // Stop the first search and start a second one while the first still
    // waits out its step; the device answers the second.
    QTimer::singleShot(300, &w, [&]() { w.on_button_connect_clicked(); });
    QTimer::singleShot(600, &w, [&]() {
        device.SetAnswering(true);
        BaudCombo(w)->setCurrentIndex(BaudCombo(w)->findText("Auto"));
        w.on_button_connect_clicked();
    });
    w.on_button_connect_clicked();

    // The first loop has come back after the second one found the device:
    // it must leave the found connection alone.
    QVERIFY(!w.IsAutoSearching());
    QVERIFY(g_communicate_with_serial_flag);
    QVERIFY(g_serial_is_connected);
    QCOMPARE(BaudCombo(w)->currentText(), g_connection_baud_rate.Get());
    QTRY_VERIFY_WITH_TIMEOUT(w.IsConnected(), 2000);
    QCOMPARE(Button(w)->text(), QString("断开"));
}

void TestConnectWidget::portWatchStopsASearch()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    qint64 now = 0;
    w.SetClickClock([&now]() { return now; });
    // A worker from an earlier connection, so the search's first open
    // succeeds and the watch runs.
    ConnectFixed(w, pty, 2);
    now += 1000;
    w.on_button_connect_clicked();
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected(), 3000);

    device.SetAnswering(false);
    BaudCombo(w)->setCurrentIndex(BaudCombo(w)->findText("Auto"));
    QTimer::singleShot(200, &w, []() { SetExtraPorts({}); });
    QElapsedTimer clock;
    clock.start();
    now += 1000;
    w.on_button_connect_clicked();

    // Ended by the watch within the first step (or right after it), not by
    // running through the list.
    QVERIFY(clock.elapsed() < 3200);
    QVERIFY(!w.IsAutoSearching());
    QVERIFY(!g_serial_is_connected);
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected() && Button(w)->text() == "连接", 3000);
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestConnectWidget::unplugDuringRecordingDisconnectsWithinASecond()
{
    auto pty = std::make_unique<PtyDevice>();
    FakeImuDevice device(*pty);
    SetExtraPorts({pty->SlavePath()});
    OpenSerialWidget w;
    QSignalSpy resets(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalResetPage);
    ConnectFixed(w, *pty, 2);
    QTRY_VERIFY_WITH_TIMEOUT(g_communicate_with_serial_flag.load(), 3000);

    g_33imu_file_recording = true;
    m_sent.clear();
    SetExtraPorts({});
    pty->CloseMaster();

    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(!g_serial_is_connected, 1500);
    QVERIFY(clock.elapsed() <= 1500);
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected(), 2000);
    QCOMPARE(Button(w)->text(), QString("连接"));
    QVERIFY(!g_33imu_file_recording);
    QVERIFY(resets.count() >= 1);

    bool stopSent = false;
    for (const SentRequest& sent : qAsConst(m_sent)) {
        stopSent = stopSent || sent.id == IMU_MSG_RECORD_IMU33;
    }
    QVERIFY(stopSent);
    QVERIFY(LogText().contains("串口设备已经被拔出"));

    // No box at all, and none piling up later: the watch has stopped.
    auto* watch = w.findChild<QTimer*>("port_watch_timer");
    QVERIFY(watch != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!watch->isActive(), 3000);
    QVERIFY(DialogSeam::Requests().isEmpty());
    QCOMPARE(resets.count(), 1);
}

void TestConnectWidget::portLeavingListIsNoticedByTheWatch()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    ConnectFixed(w, pty, 2);

    SetExtraPorts({});
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(!g_serial_is_connected, 1500);
    QVERIFY(clock.elapsed() <= 1500);
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected(), 2000);
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestConnectWidget::applicationCloseEndsWorkerOnItsOwnThread()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    ConnectFixed(w, pty, 2);

    WorkerThread* worker = SerialPortManager::GetInstance()->GetImuWorker();
    QVERIFY(worker != nullptr);
    QThread* workerThread = worker->thread();
    QVERIFY(workerThread != QThread::currentThread());
    std::atomic<bool> destroyedOnWorkerThread{false};
    std::atomic<bool> threadRunningThen{false};
    connect(worker, &QObject::destroyed, worker, [&]() {
        destroyedOnWorkerThread = QThread::currentThread() == workerThread;
        threadRunningThen = workerThread->isRunning();
    }, Qt::DirectConnection);
    QSignalSpy states(&w, &OpenSerialWidget::SignalUpdateConnectStatueLable);

    const int unplugLogsBefore = LogText().count("串口设备已经被拔出");
    RecvDataHandleManager::GetInstance()->CloseApp();

    QVERIFY(g_app_is_exit);
    QVERIFY(destroyedOnWorkerThread);
    QVERIFY(threadRunningThen);
    QVERIFY(SerialPortManager::GetInstance()->GetImuWorker() == nullptr);
    // The port was closed before the worker went: its state came back.
    QVERIFY(states.count() >= 1);
    QCOMPARE(states.last().at(0).value<SerialState>(), SERIAL_STATE_CLOSED);
    QVERIFY(LogText().contains("app closed success"));
    // Closing the port on the way out is no unplug.
    QCOMPARE(LogText().count("串口设备已经被拔出"), unplugLogsBefore);
    g_app_is_exit = false;
}

// The application closes while a request waits inside the worker for the
// device, again and again: the worker goes without a crash and without
// ending the process.
void TestConnectWidget::closeWhileRequestsWait()
{
    const WaitingRequest kinds[] = {READ_PARAMS, WRITE_PARAMS, WRITE_TABLE};
    for (int round = 0; round < 50; ++round) {
        PtyDevice pty;
        FakeImuDevice device(pty);
        SetExtraPorts({pty.SlavePath()});
        auto w = std::make_unique<OpenSerialWidget>();
        ConnectFixed(*w, pty, 2);
        QPointer<WorkerThread> worker = SerialPortManager::GetInstance()->GetImuWorker();
        QVERIFY(worker != nullptr);

        const WaitingRequest kind = kinds[round % 3];
        SendDataHandleManager* bus = SendDataHandleManager::GetInstance();
        if (kind == READ_PARAMS) {
            bus->SendMessageToIMU(IMU_MSG_READ_PARAMS, QString(), QString());
        } else if (kind == WRITE_PARAMS) {
            bus->SendMessageToIMU(IMU_MSG_WRITE_PARAMS, QVariant::fromValue(ImuParamData{}), QString());
        } else {
            bus->SendMessageToIMU(IMU_MSG_PARAM_TABLE, int(PARAM_TABLE_WRITE),
                                  QVariant::fromValue(QMap<int, float>()));
        }
        // Every other round the request is surely in its wait, and every
        // fourth a command's own short wait runs inside it when the close
        // comes; otherwise the close may meet the request anywhere.
        if (round % 2 == 1) {
            QTRY_VERIFY_WITH_TIMEOUT(HasCommand(device.Received(), kFirstCommandOf[kind]), 3000);
        }
        if (round % 4 == 3) {
            bus->SendMessageToIMU(IMU_MSG_COMMAND_LIST, QVariantList{CMD_SET_MODE, 0, 0, 0, 0, 0, 0}, QString());
        }
        RecvDataHandleManager::GetInstance()->CloseApp();
        QVERIFY2(worker.isNull(), qPrintable(QString("round %1").arg(round)));
        w.reset();
        g_app_is_exit = false;
    }
}

void TestConnectWidget::requestEndsWithItsConnection_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("failure");
    QTest::newRow("read") << int(READ_PARAMS) << "状态：读取数据失败（设备连接已断开）";
    QTest::newRow("write") << int(WRITE_PARAMS)
                           << "状态：设置参数失败：初始数据流状态、波特率、更新率、滤波器、自动扣零偏、安装偏差角"
                              "（设备连接已断开）";
    QTest::newRow("table read") << int(READ_TABLE) << "已收到参数:0/127,设备连接已断开";
    QTest::newRow("table write") << int(WRITE_TABLE) << "发送用户参数中断,设备连接已断开";
}

// Unplugged while a request waits, then another device connected: the
// page shows the failure and the second device gets nothing of it.
void TestConnectWidget::requestEndsWithItsConnection()
{
    QFETCH(int, kind);
    QFETCH(QString, failure);
    const bool table = kind == READ_TABLE || kind == WRITE_TABLE;
    g_current_action_name = table ? QString("参数表") : QString("参数设置");
    auto first = std::make_unique<PtyDevice>();
    FakeImuDevice firstDevice(*first);
    PtyDevice second;
    FakeImuDevice secondDevice(second);
    SetExtraPorts({first->SlavePath(), second.SlavePath()});
    OpenSerialWidget w;
    qint64 now = 0;
    w.SetClickClock([&now]() { return now; });
    ImuParameterConfigWidget::ResetClickFilterForTest();
    ImuParameterConfigWidget basic(nullptr);
    AllParameterWidget tablePage(nullptr);
    ConnectFixed(w, *first, 2);
    QTRY_VERIFY_WITH_TIMEOUT(g_communicate_with_serial_flag.load(), 3000);

    if (kind == WRITE_PARAMS) {
        for (const char* name : {"combo_box_stream_status", "comboBoxBaud", "comboBoxGyroBias", "comboBoxAccelLpf",
                                 "comboBoxGyroLpy"}) {
            basic.findChild<QComboBox*>(name)->setCurrentIndex(1);
        }
    } else if (kind == WRITE_TABLE) {
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(
            PAGE_MSG_PARAM_TABLE_READ, int(PARAM_TABLE_READ_TABLE), QVariant::fromValue(QMap<unsigned int, float>()));
        QTRY_COMPARE(tablePage.TableReadFlag(), 1);
    }
    const char* const buttons[] = {"button_read", "button_write", "get_normal_param", "set_normal_param"};
    QWidget* page = table ? static_cast<QWidget*>(&tablePage) : static_cast<QWidget*>(&basic);
    QTest::mouseClick(page->findChild<QPushButton*>(buttons[kind]), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(HasCommand(firstDevice.Received(), kFirstCommandOf[kind]), 3000);

    SetExtraPorts({second.SlavePath()});
    first->CloseMaster();
    QLabel* status = page->findChild<QLabel*>(table ? "label_inner_param_transfer_status_2" : "label_status");
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), failure, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected(), 3000);

    now += 1000;
    ConnectFixed(w, second, 2);
    // A command sent now comes after anything the first request could
    // still send.
    SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_SEND_COMMAND,
                                                           QVariant::fromValue(RecvOneParameterPayload{}), 0x77);
    QTRY_VERIFY_WITH_TIMEOUT(HasCommand(secondDevice.Received(), 0x77), 3000);
    for (uint16_t cmd : {CMD_GET_PARAM, CMD_SET_PARAM, CMD_SAVE_FLASH, CMD_READ_PARAM_TABLE,
                         CMD_WRITE_PARAM_TABLE_ENTRY, CMD_VERIFY_PARAM_TABLE, CMD_SAVE_PARAM_TABLE}) {
        QVERIFY2(!HasCommand(secondDevice.Received(), cmd), qPrintable(QString::number(cmd)));
    }
    // The page takes requests again.
    QVERIFY(page->findChild<QPushButton*>(buttons[kind])->isEnabled());
}

// At start-up no worker exists yet: the search's first step, at the first
// rate of the list, is heard like every other.
void TestConnectWidget::firstSearchHearsTheFirstRate()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    device.SetAnswerBaud(9600);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    QSignalSpy steps(&w, &OpenSerialWidget::SignalAutoConnectionSerial);
    QVERIFY(SelectPort(w, pty.SlavePath()));
    BaudCombo(w)->setCurrentIndex(BaudCombo(w)->findText("Auto"));

    w.on_button_connect_clicked();

    QVERIFY(g_communicate_with_serial_flag);
    QCOMPARE(BaudCombo(w)->currentText(), QString("9600"));
    // No step closed the port again and none opened it anew.
    QCOMPARE(steps.count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(w.IsConnected(), 2000);
}

void TestConnectWidget::silentDeviceIsReported()
{
    PtyDevice pty;
    FakeImuDevice device(pty);
    device.SetAnswering(false);
    SetExtraPorts({pty.SlavePath()});
    OpenSerialWidget w;
    ConnectFixed(w, pty, 1);    // 57600: the polling gives up after 2000 ms
    QTRY_COMPARE_WITH_TIMEOUT(Tip(w)->text(), QString("设备无应答,请检查波特率"), 5000);
    // The link stays as the user chose it.
    QVERIFY(w.IsConnected());
    QVERIFY(g_serial_is_connected);
    QCOMPARE(Button(w)->text(), QString("断开"));
    QVERIFY(DialogSeam::Requests().isEmpty());

    // A device that answers after all clears it.
    device.SendVersionFrame();
    QTRY_COMPARE_WITH_TIMEOUT(Tip(w)->text(), QString(), 3000);
}

// Device A read, then disconnected, then a silent device B: the parameter
// page shows nothing of A, and the silent-device hint goes with B's link.
void TestConnectWidget::disconnectClearsWhatTheDeviceShowed()
{
    PtyDevice first;
    FakeImuDevice a(first);
    a.SetParamValues({{25, 1.0f}, {3, 230400.0f}, {21, 200.0f}, {31, 0x3A}, {5, 10.0f}, {4, 118.0f}});
    PtyDevice second;
    FakeImuDevice b(second);
    b.SetAnswering(false);
    SetExtraPorts({first.SlavePath(), second.SlavePath()});
    OpenSerialWidget w;
    qint64 now = 0;
    w.SetClickClock([&now]() { return now; });
    ImuParameterConfigWidget::ResetClickFilterForTest();
    g_current_action_name = QString("参数设置");
    ImuParameterConfigWidget page(nullptr);
    QLabel* status = page.findChild<QLabel*>("label_status");
    const char* const boxes[] = {"combo_box_stream_status", "comboBoxBaud", "comboBoxUpdate",
                                 "comboBoxGyroLpy", "comboBoxAccelLpf", "comboBoxGyroBias"};

    ConnectFixed(w, first, 2);
    QTRY_VERIFY_WITH_TIMEOUT(g_communicate_with_serial_flag.load(), 3000);
    QTest::mouseClick(page.findChild<QPushButton*>("button_read"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("状态：读取数据成功"), 8000);
    QCOMPARE(page.findChild<QComboBox*>("comboBoxBaud")->currentText(), QString("230400"));

    now += 1000;
    w.on_button_connect_clicked();
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected(), 3000);
    for (const char* name : boxes) {
        QVERIFY2(page.findChild<QComboBox*>(name)->currentText() == QString("N/A"), name);
    }
    QCOMPARE(status->text(), QString());

    now += 1000;
    ConnectFixed(w, second, 1); // 57600: the polling gives up after 2000 ms
    QTRY_COMPARE_WITH_TIMEOUT(Tip(w)->text(), QString("设备无应答,请检查波特率"), 5000);
    QCOMPARE(page.findChild<QComboBox*>("comboBoxBaud")->currentText(), QString("N/A"));
    QCOMPARE(status->text(), QString());

    // Unplugged: the hint does not stay under the connect button.
    SetExtraPorts({});
    second.CloseMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsConnected(), 3000);
    QCOMPARE(Button(w)->text(), QString("连接"));
    QCOMPARE(Tip(w)->text(), QString());
}

void TestConnectWidget::narrowPortBoxShowsThePortName()
{
    const QString entry = "/dev/ttyUSB0 # CP2102 USB to UART Bridge Controller";
    const QFontMetrics metrics(QApplication::font());
    QCOMPARE(OpenSerialWidget::PortTextForWidth(entry, metrics, metrics.horizontalAdvance(entry)), entry);
    const int name = metrics.horizontalAdvance("/dev/ttyUSB0");
    QCOMPARE(OpenSerialWidget::PortTextForWidth(entry, metrics, name), QString("/dev/ttyUSB0"));
    // Too narrow even for the name: its end, which tells ports apart, stays.
    const QString cut = OpenSerialWidget::PortTextForWidth(entry, metrics, name * 2 / 3);
    QVERIFY2(cut.startsWith(QChar(0x2026)) && cut.endsWith("USB0"), qPrintable(cut));
    QVERIFY(metrics.horizontalAdvance(cut) <= name * 2 / 3);
}

QTEST_MAIN(TestConnectWidget)
#include "tst_connect_widget.moc"
