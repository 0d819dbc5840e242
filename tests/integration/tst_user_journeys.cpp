// The whole application as a user drives it: the main window started the
// way the program starts, a device played on a pseudo-terminal, and the
// steps a user takes from connecting to streaming, recording, setting
// parameters, sending a command, unplugging and starting again.

#include "support/PtyDevice.h"
#include "support/StreamingImuDevice.h"

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "commom/StartUp.h"
#include "commom/ThreadPool.h"
#include "controls/QADI.h"
#include "controls/QCompass.h"
#include "mainwindow.h"
#include "manager/JsonDataManager.h"
#include "manager/SettingManager.h"
#include "widgets/general/DisplayAreaWidget.h"
#include "widgets/general/OpenSerialWidget.h"
#include "widgets/singleTools/AHRSDataWidget.h"
#include "widgets/singleTools/InstrumentWidget.h"
#include "widgets/singleTools/RecordSpaceCheck.h"
#include "widgets/singleTools/parameterConfigPage/CoordParamsSet.h"
#include "widgets/singleTools/parameterConfigPage/ImuParameterConfigWidget.h"
#include "workerThread/DeviceFrames.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

#include <qcustomplot.h>

#include <memory>

namespace {

const QString kSerialNumber = "1112131415161718191a1b1c";

const QStringList kIdentityLabels = {
    "label_side_software_version", "label_side_hardware_version", "label_side_board_version",
    "label_side_config_fault_code", "label_side_calib_fault_code", "label_side_master_slave",
    "label_side_sn_0_sn1",
};

QString ConfigDir()
{
    return QCoreApplication::applicationDirPath() + "/config";
}

QString DisplayListPath()
{
    return ConfigDir() + "/display.json";
}

QString LogText()
{
    Logger::Flush();
    QFile file(Logger::FilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// What main() does between the application object and the event loop.
std::unique_ptr<MainWindow> StartLikeMain()
{
    ApplyStyleSheet(ReadQssData(":/skin/resources/skin/skin.qss"));
    SettingManager::GetInstance();
    InitConfigInfoPath();
    JsonDataManager::GetInstance();
    ThreadPool::GetInstance();

    auto window = std::make_unique<MainWindow>(nullptr);
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        window->setGeometry(MainWindowPlacement(screen->geometry().size(), window->size()));
    }
    window->Initializa();
    window->show();
    return window;
}

OpenSerialWidget* Connector(QWidget& w)
{
    return w.findChild<OpenSerialWidget*>("widgetLeft_Top_Serial_customLayout");
}

QString Text(QWidget& w, const QString& name)
{
    auto* label = w.findChild<QLabel*>(name);
    return label ? label->text() : QString("<missing %1>").arg(name);
}

QWidget* CurrentPage(QWidget& w)
{
    auto* area = w.findChild<DisplayAreaWidget*>("widgetRight");
    return area ? area->Stack()->currentWidget() : nullptr;
}

QAction* MenuAction(QWidget& w, const char* button, const QString& caption)
{
    auto* tool = w.findChild<QToolButton*>(button);
    if (tool == nullptr || tool->menu() == nullptr) {
        return nullptr;
    }
    for (QAction* action : tool->menu()->actions()) {
        if (action->text() == caption) {
            return action;
        }
    }
    return nullptr;
}

// A pick from the popped-up serial tools menu: the tool button reports the
// entry, then the entry's own action runs.
bool PickSerialTool(QWidget& w, const QString& caption)
{
    QAction* action = MenuAction(w, "toolButtonMuti", caption);
    if (action == nullptr) {
        return false;
    }
    emit w.findChild<QToolButton*>("toolButtonMuti")->triggered(action);
    action->trigger();
    return true;
}

bool SelectPort(QWidget& w, const QString& path)
{
    QComboBox* ports = Connector(w)->findChild<QComboBox*>("comboBoxPort");
    for (int i = 0; i < ports->count(); ++i) {
        if (ports->itemText(i).split('#').first().trimmed() == path) {
            ports->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

// Each click of the test is a click of its own to the button's debounce,
// however quickly the test gets from one to the next.
void ClickConnectButton(QWidget& w)
{
    static qint64 clickMs = 0;
    clickMs += 1000;
    const qint64 at = clickMs;
    Connector(w)->SetClickClock([at] { return at; });
    QTest::mouseClick(Connector(w)->findChild<QPushButton*>("button_connect"), Qt::LeftButton);
}

void PressRecordLabel(QWidget& page)
{
    auto* label = page.findChild<QLabel*>("label_record");
    QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
}

QList<StreamingImuDevice::HostFrame> FramesOf(const StreamingImuDevice& device, uint16_t cmd)
{
    QList<StreamingImuDevice::HostFrame> out;
    for (const auto& frame : device.HostFrames()) {
        if (frame.cmd == cmd && frame.length == 24) {
            out.append(frame);
        }
    }
    return out;
}

// Repeated sending while an acknowledgement is awaited is allowed; what
// counts is the order of distinct requests.
QList<QByteArray> DistinctInOrder(const QList<StreamingImuDevice::HostFrame>& frames)
{
    QList<QByteArray> out;
    for (const auto& frame : frames) {
        if (out.isEmpty() || out.last() != frame.bytes) {
            out.append(frame.bytes);
        }
    }
    return out;
}

QString CommandText(const QByteArray& frame)
{
    QStringList parts;
    for (char byte : frame) {
        parts.append(QString("%1").arg(static_cast<uint8_t>(byte), 2, 16, QLatin1Char('0')).toUpper());
    }
    return parts.join(',');
}

// Whether the graph's own points are drawn where the axes put them: for
// nearly each of its recent points that the legend does not cover, a pixel
// of the graph's pen colour (antialiased) within two pixels of the point.
bool CurveIsDrawn(QCustomPlot* plot, int graph)
{
    plot->replot(QCustomPlot::rpImmediateRefresh);
    const QImage image = plot->grab().toImage();
    const QColor pen = plot->graph(graph)->pen().color();
    const QRect inside = plot->axisRect()->rect().adjusted(2, 2, -2, -2);
    const QRect legend = plot->legend->visible() ? plot->legend->outerRect().adjusted(-3, -3, 3, 3) : QRect();
    const QSharedPointer<QCPGraphDataContainer> data = plot->graph(graph)->data();
    int seen = 0;
    int drawn = 0;
    for (int i = qMax(0, data->size() - 40); i < data->size(); ++i) {
        const auto point = data->at(i);
        const QPoint at(qRound(plot->xAxis->coordToPixel(point->key)), qRound(plot->yAxis->coordToPixel(point->value)));
        if (!inside.contains(at) || legend.contains(at)) {
            continue;
        }
        bool found = false;
        for (int dy = -2; dy <= 2 && !found; ++dy) {
            for (int dx = -2; dx <= 2 && !found; ++dx) {
                const QColor c = image.pixelColor(at + QPoint(dx, dy));
                found = qAbs(c.red() - pen.red()) < 100 && qAbs(c.green() - pen.green()) < 100
                        && qAbs(c.blue() - pen.blue()) < 100;
            }
        }
        drawn += found ? 1 : 0;
        ++seen;
    }
    // Where another curve crosses, it is drawn over this one.
    return seen >= 10 && drawn * 10 >= seen * 8;
}

} // namespace

class TestUserJourneys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void connectStreamWatchAndDisconnect();
    void recordWhileStreaming();
    void readWriteParametersThenSendACommand();
    void unplugWhileStreamingThenPlugInAgain();
    void restartBringsBackTheLastPage();

private:
    // Port, baud 115200, connect; the identity panel fills from the version
    // record. Zeroes the receive counter first, so it counts from the first
    // byte the device sends.
    void ConnectTo(MainWindow& w, const PtyDevice& pty);
    void StartAhrsMode(MainWindow& w, StreamingImuDevice& device);

    QTemporaryDir m_dir;
};

void TestUserJourneys::initTestCase()
{
    // Once per process, as main() does before anything else.
    InitCorvantaResources();
    InitLog();
    RegsiterMetaType();
    QVERIFY(!Logger::FilePath().isEmpty());
    QVERIFY(m_dir.isValid());
    DialogSeam::SetScripted(true);
    QDir().mkpath(ConfigDir());
    QFile::remove(DisplayListPath());
}

void TestUserJourneys::init()
{
    DialogSeam::ClearRequests();
    DialogSeam::SetHandler(nullptr);
    qputenv("CORVANTA_EXTRA_PORTS", QByteArray());
}

void TestUserJourneys::cleanup()
{
    RecordSpaceCheck::SetQuery({});
    // What a fresh process starts with; one journey's ending is not the
    // next one's beginning.
    g_app_is_exit = false;
    g_decode_exit = false;
    g_serial_is_connected = false;
    g_communicate_with_serial_flag = false;
    g_ahrs_file_recording = false;
    g_33imu_file_recording = false;
}

void TestUserJourneys::cleanupTestCase()
{
    qputenv("CORVANTA_EXTRA_PORTS", QByteArray());
    qApp->setStyleSheet(QString());
}

void TestUserJourneys::ConnectTo(MainWindow& w, const PtyDevice& pty)
{
    // The connect panel lists the ports when the pointer enters the combo.
    QComboBox* ports = Connector(w)->findChild<QComboBox*>("comboBoxPort");
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(ports, &enter);
    QVERIFY2(SelectPort(w, pty.SlavePath()), qPrintable(pty.SlavePath()));
    QComboBox* bauds = Connector(w)->findChild<QComboBox*>("comboBoxbaud");
    bauds->setCurrentIndex(bauds->findText("115200"));

    QTest::mouseDClick(w.findChild<QLabel*>("label_rx"), Qt::LeftButton);
    QTest::mouseDClick(w.findChild<QLabel*>("label_tx"), Qt::LeftButton);
    QCOMPARE(g_recv_total_byte.load(), 0u);
    QCOMPARE(g_send_total_byte.load(), 0u);

    ClickConnectButton(w);
    QTRY_VERIFY_WITH_TIMEOUT(Connector(w)->IsConnected(), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(Text(w, "label_side_sn_0_sn1"), kSerialNumber, 3000);
    QCOMPARE(Connector(w)->findChild<QPushButton*>("button_connect")->text(), QString("断开"));
    QVERIFY(g_serial_is_connected);
    QVERIFY(g_communicate_with_serial_flag);
}

void TestUserJourneys::StartAhrsMode(MainWindow& w, StreamingImuDevice& device)
{
    auto* mode = w.findChild<QPushButton*>("btn_mode_start");
    QVERIFY(mode->isVisible());
    device.ClearHostFrames();
    QTest::mouseClick(mode, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!FramesOf(device, CMD_SET_MODE).isEmpty(), 2000);
    const auto modeFrames = FramesOf(device, CMD_SET_MODE);
    QCOMPARE(modeFrames.size(), 1);
    QCOMPARE(modeFrames.first().bytes, BuildLongCommandFrame(CMD_SET_MODE, 1.0f, 0.0f, 0x1234, 0xABCD, 100, 200));
    QVERIFY(device.IsStreaming());
}

void TestUserJourneys::connectStreamWatchAndDisconnect()
{
    PtyDevice pty;
    QVERIFY(pty.IsOpen());
    StreamingImuDevice device(pty);
    device.SetVersionPayload(StreamingImuDevice::ExampleVersionRecord());
    pty.PublishInPortList();

    std::unique_ptr<MainWindow> w = StartLikeMain();
    QVERIFY(w->isVisible());
    // No page remembered: the first serial tool, with its mode button.
    QCOMPARE(CurrentPage(*w)->objectName(), QString("AHRSDataWidget"));
    QCOMPARE(g_current_action_name.Get(), QString("AHRS数据"));
    for (const QString& name : kIdentityLabels) {
        QCOMPARE(Text(*w, name), QString("N/A"));
    }

    ConnectTo(*w, pty);
    QCOMPARE(Text(*w, "label_side_software_version"), QString("20240517"));
    QCOMPARE(Text(*w, "label_side_hardware_version"), QString("3"));
    QCOMPARE(Text(*w, "label_side_board_version"), QString("AHRS"));
    QCOMPARE(Text(*w, "label_side_config_fault_code"), QString("0"));
    QCOMPARE(Text(*w, "label_side_calib_fault_code"), QString("2"));
    QCOMPARE(Text(*w, "label_side_master_slave"), QString("主机"));
    QCOMPARE(g_imu_sn.Get(), kSerialNumber);
    // The version polling stops once answered: once the device has read all
    // the host wrote, no version request comes any more, through the whole
    // stream below (seconds, at one poll per 120 ms).
    QTRY_COMPARE_WITH_TIMEOUT(uint64_t(device.ReceivedBytes()), uint64_t(g_send_total_byte.load()), 3000);
    QVERIFY(!FramesOf(device, CMD_GET_VERSION).isEmpty());

    StartAhrsMode(*w, device);

    auto* page = qobject_cast<AHRSDataWidget*>(CurrentPage(*w));
    QVERIFY(page != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(Text(*page, "label_roll") != "ROLL：N/A", 2000);
    const QString rollEarly = Text(*page, "label_roll");
    const QString mcuEarly = Text(*page, "label_mcu_time");
    QTRY_VERIFY_WITH_TIMEOUT(device.StreamedFrames() >= 100, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(Text(*page, "label_roll") != rollEarly, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(Text(*page, "label_mcu_time") != mcuEarly, 5000);
    QVERIFY(Text(*page, "label_accz").startsWith("ACCZ：1.000"));
    QTRY_VERIFY_WITH_TIMEOUT(page->Series(AHRSDataWidget::SERIES_ROLL).count >= 10, 5000);

    // The plotted series hold the streamed values, in stream order.
    QVector<double> sentRolls;
    for (int n = 0; n < device.StreamedFrames(); ++n) {
        sentRolls.append(static_cast<double>(StreamingImuDevice::StreamSample(n).roll));
    }
    const AhrsSeries& rolls = page->Series(AHRSDataWidget::SERIES_ROLL);
    QVERIFY2(rolls.count >= 10, qPrintable(QString::number(rolls.count)));
    QCOMPARE(rolls.values.size(), int(rolls.count));
    int at = 0;
    for (double value : rolls.values) {
        at = sentRolls.indexOf(value, at);
        QVERIFY2(at >= 0, "a plotted roll that the device never sent, or out of order");
    }
    for (const char* name : {"plot1", "plot2", "plot3"}) {
        auto* plot = page->findChild<QCustomPlot*>(name);
        QVERIFY(plot != nullptr);
        for (int g = 0; g < plot->graphCount(); ++g) {
            QVERIFY2(plot->graph(g)->dataCount() >= 10, name);
        }
    }

    // What the user sees: curves drawn in the plots. On the test's small
    // virtual screen the window is too narrow for the attitude plot, whose
    // legend then hides the roll and pitch curves; the check runs at the
    // window's design size.
    QCoreApplication::processEvents();
    QVERIFY(w->grab().save(QCoreApplication::applicationDirPath() + "/journey_ahrs_stream_small.png"));
    w->resize(1189, 762);
    auto* plot3 = page->findChild<QCustomPlot*>("plot3");
    // The new size reaches the plot through the layout, on the event loop.
    QTRY_VERIFY_WITH_TIMEOUT(CurveIsDrawn(plot3, 0), 5000); // roll
    QTRY_VERIFY_WITH_TIMEOUT(CurveIsDrawn(plot3, 1), 5000); // pitch
    QVERIFY(w->grab().save(QCoreApplication::applicationDirPath() + "/journey_ahrs_stream.png"));

    // The instrument panel follows the same stream.
    QVERIFY(PickSerialTool(*w, "仪表盘"));
    auto* panel = qobject_cast<InstrumentWidget*>(CurrentPage(*w));
    QVERIFY(panel != nullptr);
    QCOMPARE(g_current_action_name.Get(), QString("仪表盘"));
    QVERIFY(w->findChild<QPushButton*>("btn_mode_start")->isVisible());
    auto* adi = panel->findChild<QADI*>("widgetPFD");
    auto* compass = panel->findChild<QCompass*>("widgetHSI");
    QVERIFY(adi != nullptr && compass != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(Text(*panel, "label_1013") != "ROLL:  N/A", 2000);
    const double rollSeen = adi->getRoll();
    const double headingSeen = compass->getHeading();
    QTRY_VERIFY_WITH_TIMEOUT(adi->getRoll() != rollSeen, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(compass->getHeading() != headingSeen, 5000);

    // A last sample right behind the stream: both dials and the labels show
    // it exactly once their refresh intervals run out.
    device.SetStreaming(false);
    AhrsData last{};
    last.roll = 190.0f;
    last.pitch = -12.5f;
    last.yaw = -10.0f;
    last.acc_z = 0.98f;
    last.temperature = 31.25f;
    device.SendSample(last);
    QTRY_COMPARE_WITH_TIMEOUT(Text(*panel, "label_1013"), QString("ROLL：190.0000"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(adi->getRoll(), 180.0, 5000);
    QCOMPARE(adi->getPitch(), -12.5);
    QCOMPARE(compass->getHeading(), 350.0);
    QCOMPARE(Text(*panel, "label_1016"), QString("PITCH：-12.50"));
    QCOMPARE(Text(*panel, "label_1020"), QString("YAW：-10.00"));
    QCOMPARE(Text(*panel, "label_1021"), QString("TEMP：31.25"));
    w->grab().save(QCoreApplication::applicationDirPath() + "/journey_instrument.png");
    QVERIFY(FramesOf(device, CMD_GET_VERSION).isEmpty());

    // Disconnect: the identity panel empties, the icon and button go idle.
    ClickConnectButton(*w);
    for (const QString& name : kIdentityLabels) {
        QCOMPARE(Text(*w, name), QString("N/A"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!Connector(*w)->IsConnected(), 2000);
    QCOMPARE(Connector(*w)->findChild<QPushButton*>("button_connect")->text(), QString("连接"));
    QVERIFY(!g_serial_is_connected);
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestUserJourneys::recordWhileStreaming()
{
    PtyDevice pty;
    StreamingImuDevice device(pty);
    device.SetVersionPayload(StreamingImuDevice::ExampleVersionRecord());
    pty.PublishInPortList();
    const QString path = m_dir.filePath("journey-record.dat");
    QFile::remove(path);
    RecordSpaceCheck::SetQuery([](const QString&) {
        VolumeSpace space;
        space.valid = true;
        space.rootPath = "/";
        space.availableBytes = int64_t(100) << 30;
        return space;
    });
    DialogSeam::SetHandler([path](const DialogSeam::Request& r) -> QVariant {
        if (r.kind == DialogSeam::SaveFile) {
            return path;
        }
        if (r.kind == DialogSeam::Question) {
            return int(QMessageBox::Yes);
        }
        return QVariant();
    });

    std::unique_ptr<MainWindow> w = StartLikeMain();
    ConnectTo(*w, pty);
    QVERIFY(PickSerialTool(*w, "AHRS数据"));
    auto* page = qobject_cast<AHRSDataWidget*>(CurrentPage(*w));
    QVERIFY(page != nullptr);
    StartAhrsMode(*w, device);
    QTRY_VERIFY_WITH_TIMEOUT(page->Series(AHRSDataWidget::SERIES_ROLL).count > 5, 5000);

    PressRecordLabel(*page);
    QVERIFY(g_ahrs_file_recording);
    QCOMPARE(Text(*page, "label_file_save_tip"), "数据保存路径: " + path);
    // The worker has taken the start once the file stands; every byte it
    // reads from then on belongs to the recording.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 2000);
    const uint64_t readAtStart = g_recv_total_byte.load();
    const int frameBytes = StreamingImuDevice::AhrsFrame(AhrsData{}).size();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() >= 50 * frameBytes, 10000);

    // The link cannot be taken down under a running recording.
    ClickConnectButton(*w);
    QVERIFY(Connector(*w)->IsConnected());
    QVERIFY(g_serial_is_connected);
    QCOMPARE(DialogSeam::Requests().size(), 2);
    QCOMPARE(DialogSeam::Requests().last().kind, DialogSeam::Warning);
    QCOMPARE(DialogSeam::Requests().last().title, QString("提示"));
    QCOMPARE(DialogSeam::Requests().last().text, QString("请关闭保存AHRS数据之后才能断开串口"));

    const uint64_t readBeforeStop = g_recv_total_byte.load();
    PressRecordLabel(*page);
    QVERIFY(!g_ahrs_file_recording);
    // Still streaming, no longer recording: once the worker has read well
    // past the stop the file stands, and it stays as it is while the worker
    // reads on.
    const uint64_t readAtStop = g_recv_total_byte.load();
    QTRY_VERIFY_WITH_TIMEOUT(g_recv_total_byte.load() >= readAtStop + 20 * frameBytes, 10000);
    const qint64 sizeAfterStop = QFileInfo(path).size();
    const uint64_t readAfterStop = g_recv_total_byte.load();
    QTRY_VERIFY_WITH_TIMEOUT(g_recv_total_byte.load() >= readAfterStop + 20 * frameBytes, 10000);
    QCOMPARE(QFileInfo(path).size(), sizeAfterStop);
    device.SetStreaming(false);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray recorded = file.readAll();
    const QByteArray sent = device.Sent();
    QVERIFY(recorded.size() > 0);
    const int from = sent.indexOf(recorded);
    QVERIFY2(from >= 0, "the recording is not a slice of what the device sent");
    QVERIFY2(uint64_t(from) <= readAtStart,
             qPrintable(QString("starts at %1, worker had read %2").arg(from).arg(readAtStart)));
    QVERIFY2(uint64_t(from) + uint64_t(recorded.size()) >= readBeforeStop,
             qPrintable(QString("ends at %1, worker had read %2").arg(from + recorded.size()).arg(readBeforeStop)));

    const QList<DialogSeam::Request> asked = DialogSeam::Requests();
    QCOMPARE(asked.size(), 3);
    QCOMPARE(asked.at(0).kind, DialogSeam::SaveFile);
    QCOMPARE(asked.at(0).title, QString("保存二进制数据"));
    QCOMPARE(asked.at(2).kind, DialogSeam::Question);
    QCOMPARE(asked.at(2).title, QString("确认对话框"));
    QCOMPARE(asked.at(2).text, QString("请确认是否停止采集数据"));

    // With the recording stopped the link can be taken down.
    ClickConnectButton(*w);
    QTRY_VERIFY_WITH_TIMEOUT(!Connector(*w)->IsConnected(), 2000);
    QCOMPARE(DialogSeam::Requests().size(), 3);
}

void TestUserJourneys::readWriteParametersThenSendACommand()
{
    PtyDevice pty;
    StreamingImuDevice device(pty);
    device.SetVersionPayload(StreamingImuDevice::ExampleVersionRecord());
    device.LoadExampleParameters();
    pty.PublishInPortList();

    std::unique_ptr<MainWindow> w = StartLikeMain();
    ConnectTo(*w, pty);
    QVERIFY(PickSerialTool(*w, "参数设置"));
    auto* page = qobject_cast<ImuParameterConfigWidget*>(CurrentPage(*w));
    QVERIFY(page != nullptr);
    QCOMPARE(g_current_action_name.Get(), QString("参数设置"));
    QVERIFY(!w->findChild<QPushButton*>("btn_mode_start")->isVisible());
    auto combo = [page](const char* name) { return page->findChild<QComboBox*>(name); };
    auto* coords = page->findChild<CoordParamsSet*>();
    QVERIFY(coords != nullptr);

    device.ClearHostFrames();
    auto* read = page->findChild<QPushButton*>("button_read");
    QCOMPARE(read->text(), QString("读取参数"));
    QTest::mouseClick(read, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Text(*page, "label_status"), QString("状态：读取数据成功"), 8000);
    QCOMPARE(combo("combo_box_stream_status")->currentText(), QString("AHRS数据流"));
    QCOMPARE(combo("comboBoxBaud")->currentText(), QString("460800"));
    QCOMPARE(combo("comboBoxUpdate")->currentText(), QString("100"));
    QCOMPARE(combo("comboBoxAccelLpf")->currentText(), QString("LPF_IIR_5Hz"));
    QCOMPARE(combo("comboBoxGyroLpy")->currentText(), QString("LPF_IIR_40Hz"));
    QCOMPARE(combo("comboBoxGyroBias")->currentText(), QString("开启"));
    QCOMPARE(coords->getCode(), 101.0f);

    // On the line: ten version requests, then one GET per parameter in the
    // reading order, and the host's acknowledgement of every value.
    QCOMPARE(FramesOf(device, CMD_GET_VERSION).size(), 10);
    QList<QByteArray> expectedGets;
    for (uint32_t id : {25u, 3u, 21u, 31u, 5u, 4u}) {
        expectedGets.append(BuildLongCommandFrame(CMD_GET_PARAM, 0, 0, id, 0, 0, 0));
    }
    QCOMPARE(DistinctInOrder(FramesOf(device, CMD_GET_PARAM)), expectedGets);
    QList<QByteArray> acks;
    for (const auto& frame : device.HostFrames()) {
        if (frame.cmd == CMD_ACK) {
            acks.append(frame.bytes);
        }
    }
    for (uint16_t id : {25, 3, 21, 31, 5, 4}) {
        QVERIFY2(acks.contains(BuildCommandAckFrame(CMD_ACK, kHostAckId, id)), qPrintable(QString::number(id)));
    }

    // The user raises the output rate and writes.
    combo("comboBoxUpdate")->setCurrentIndex(combo("comboBoxUpdate")->findText("200"));
    device.ClearHostFrames();
    auto* write = page->findChild<QPushButton*>("button_write");
    QCOMPARE(write->text(), QString("设置参数"));
    QTest::mouseClick(write, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Text(*page, "label_status"), QString("状态：存储参数到flash成功"), 10000);
    const QList<QPair<uint32_t, float>> sets = {
        {25, 1.0f}, {3, 460800.0f}, {21, 200.0f}, {31, 58.0f}, {5, 10.0f}, {4, 101.0f},
    };
    QList<QByteArray> expectedSets;
    for (const auto& set : sets) {
        expectedSets.append(BuildLongCommandFrame(CMD_SET_PARAM, set.second, 0, set.first, 0, 0, 0));
    }
    QCOMPARE(DistinctInOrder(FramesOf(device, CMD_SET_PARAM)), expectedSets);
    // The store follows the last SET.
    const QList<StreamingImuDevice::HostFrame> written = device.HostFrames();
    int lastSet = -1;
    int firstSave = -1;
    for (int i = 0; i < written.size(); ++i) {
        if (written.at(i).cmd == CMD_SET_PARAM) {
            lastSet = i;
        }
        if (written.at(i).cmd == CMD_SAVE_FLASH && firstSave < 0) {
            firstSave = i;
        }
    }
    QVERIFY(firstSave > lastSet);
    QCOMPARE(written.at(firstSave).bytes, BuildLongCommandFrame(CMD_SAVE_FLASH, 0, 0, 0, 0, 0, 0));
    QCOMPARE(device.Parameter(21), 200.0f);
    QCOMPARE(device.SavesToFlash(), 1);

    // The command generator: build a command, then send it.
    QVERIFY(PickSerialTool(*w, "命令生成器"));
    QWidget* generator = CurrentPage(*w);
    QCOMPARE(generator->objectName(), QString("CommandCreatorWidget"));
    const QList<QPair<const char*, QString>> fields = {
        {"lineEditId", "9"}, {"lineEdit1", "1.5"}, {"lineEdit2", "-2.25"}, {"lineEdit3", "4660"},
        {"lineEdit4", "43981"}, {"lineEdit5", "100"}, {"lineEdit6", "200"},
    };
    for (const auto& field : fields) {
        auto* edit = generator->findChild<QLineEdit*>(field.first);
        QVERIFY(edit != nullptr);
        edit->selectAll();
        QTest::keyClicks(edit, field.second);
        QCOMPARE(edit->text(), field.second);
    }
    const QByteArray command = BuildLongCommandFrame(9, 1.5f, -2.25f, 4660, 43981, 100, 200);
    QTest::mouseClick(generator->findChild<QPushButton*>("buttonCreated"), Qt::LeftButton);
    QCOMPARE(generator->findChild<QTextEdit*>("textEdit")->toPlainText(), CommandText(command));

    // Everything the host wrote so far has reached the device.
    QTRY_COMPARE_WITH_TIMEOUT(uint64_t(device.ReceivedBytes()), uint64_t(g_send_total_byte.load()), 3000);
    device.ClearHostFrames();
    DialogSeam::ClearRequests();
    const uint64_t sentBefore = g_send_total_byte.load();
    QTest::mouseClick(generator->findChild<QPushButton*>("buttonSend"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!device.HostFrames().isEmpty(), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(uint64_t(device.ReceivedBytes()), uint64_t(g_send_total_byte.load()), 3000);
    QCOMPARE(g_send_total_byte.load() - sentBefore, uint64_t(kLongCommandFrameSize));
    QCOMPARE(device.HostFrames().size(), 1);
    QCOMPARE(device.HostFrames().first().bytes.size(), kLongCommandFrameSize);
    QCOMPARE(device.HostFrames().first().bytes, command);
    QCOMPARE(DialogSeam::Requests().size(), 1);
    QCOMPARE(DialogSeam::Requests().first().kind, DialogSeam::Information);
    QCOMPARE(DialogSeam::Requests().first().title, QString("提示"));
    QCOMPARE(DialogSeam::Requests().first().text, QString("命令发送成功"));

    // The counters of the window agree with the line, both ways.
    QTRY_COMPARE_WITH_TIMEOUT(Text(*w, "label_rx"), "RX：" + QString::number(device.Sent().size()), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(Text(*w, "label_tx"), "TX：" + QString::number(device.ReceivedBytes()), 2000);
}

void TestUserJourneys::unplugWhileStreamingThenPlugInAgain()
{
    auto pty = std::make_unique<PtyDevice>();
    auto device = std::make_unique<StreamingImuDevice>(*pty);
    device->SetVersionPayload(StreamingImuDevice::ExampleVersionRecord());
    pty->PublishInPortList();

    std::unique_ptr<MainWindow> w = StartLikeMain();
    ConnectTo(*w, *pty);
    QVERIFY(PickSerialTool(*w, "AHRS数据"));
    auto* page = qobject_cast<AHRSDataWidget*>(CurrentPage(*w));
    QVERIFY(page != nullptr);
    StartAhrsMode(*w, *device);
    QTRY_VERIFY_WITH_TIMEOUT(page->Series(AHRSDataWidget::SERIES_ROLL).count > 5, 2000);

    // Recording when the cable comes out.
    const QString first = m_dir.filePath("journey-unplugged.dat");
    const QString second = m_dir.filePath("journey-replugged.dat");
    QString answer = first;
    RecordSpaceCheck::SetQuery([](const QString&) {
        VolumeSpace space;
        space.valid = true;
        space.rootPath = "/";
        space.availableBytes = int64_t(100) << 30;
        return space;
    });
    DialogSeam::SetHandler([&answer](const DialogSeam::Request& r) -> QVariant {
        return r.kind == DialogSeam::SaveFile ? QVariant(answer) : QVariant();
    });
    PressRecordLabel(*page);
    QVERIFY(g_ahrs_file_recording);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(first).size() > 0, 2000);
    DialogSeam::ClearRequests();

    // Pulled out: gone from the port list, and the line dead.
    qputenv("CORVANTA_EXTRA_PORTS", QByteArray());
    pty->CloseMaster();
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(!g_serial_is_connected, 1500);
    QVERIFY(clock.elapsed() <= 1500);
    QTRY_VERIFY_WITH_TIMEOUT(!Connector(*w)->IsConnected(), 2000);
    QCOMPARE(Connector(*w)->findChild<QPushButton*>("button_connect")->text(), QString("连接"));
    for (const QString& name : kIdentityLabels) {
        QCOMPARE(Text(*w, name), QString("N/A"));
    }
    QVERIFY(LogText().contains("串口设备已经被拔出"));
    // Nobody is asked anything, now or later: the port watch has stopped.
    QVERIFY(DialogSeam::Requests().isEmpty());
    auto* watch = Connector(*w)->findChild<QTimer*>("port_watch_timer");
    QVERIFY(watch != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!watch->isActive(), 3000);
    QVERIFY(!g_serial_is_connected);
    // The recording ended with the device: a slice of what was sent, closed.
    QVERIFY(!g_ahrs_file_recording);
    {
        QFile file(first);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray recorded = file.readAll();
        QVERIFY(!recorded.isEmpty());
        QVERIFY(device->Sent().contains(recorded));
    }

    // Plugged in again (a new line): connect, and the stream comes back.
    device.reset();
    pty.reset();
    PtyDevice again;
    StreamingImuDevice device2(again);
    device2.SetVersionPayload(StreamingImuDevice::ExampleVersionRecord());
    again.PublishInPortList();
    ConnectTo(*w, again);
    const uint32_t before = page->Series(AHRSDataWidget::SERIES_ROLL).count;
    const QString mcuBefore = Text(*page, "label_mcu_time");
    StartAhrsMode(*w, device2);
    QTRY_VERIFY_WITH_TIMEOUT(Text(*page, "label_mcu_time") != mcuBefore, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(page->Series(AHRSDataWidget::SERIES_ROLL).count > before, 2000);

    // A new recording starts at once (no stop question left over from the
    // one the unplugging ended) and holds the new device's bytes only.
    QVERIFY(DialogSeam::Requests().isEmpty());
    answer = second;
    const qint64 firstSize = QFileInfo(first).size();
    PressRecordLabel(*page);
    QCOMPARE(DialogSeam::Requests().size(), 1);
    QCOMPARE(DialogSeam::Requests().first().kind, DialogSeam::SaveFile);
    QVERIFY(g_ahrs_file_recording);
    const int frameBytes = StreamingImuDevice::AhrsFrame(AhrsData{}).size();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(second).size() >= 20 * frameBytes, 10000);
    QCOMPARE(QFileInfo(first).size(), firstSize);
    DialogSeam::SetHandler([](const DialogSeam::Request& r) -> QVariant {
        return r.kind == DialogSeam::Question ? QVariant(int(QMessageBox::Yes)) : QVariant();
    });
    PressRecordLabel(*page);
    QVERIFY(!g_ahrs_file_recording);
    device2.SetStreaming(false);
    QFile file(second);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(device2.Sent().contains(file.readAll()));
}

void TestUserJourneys::restartBringsBackTheLastPage()
{
    PtyDevice pty;
    StreamingImuDevice device(pty);
    device.SetVersionPayload(StreamingImuDevice::ExampleVersionRecord());
    pty.PublishInPortList();

    std::unique_ptr<MainWindow> w = StartLikeMain();
    ConnectTo(*w, pty);
    QVERIFY(PickSerialTool(*w, "参数设置"));
    QCOMPARE(CurrentPage(*w)->objectName(), QString("ImuParameterConfigWidget"));

    // The user closes the program and confirms.
    DialogSeam::SetHandler([](const DialogSeam::Request&) { return QVariant(int(QMessageBox::Yes)); });
    QVERIFY(w->close());
    QCOMPARE(DialogSeam::Requests().size(), 1);
    QCOMPARE(DialogSeam::Requests().first().text, QString("请确认是否关闭上位机"));
    w.reset();

    QFile list(DisplayListPath());
    QVERIFY(list.open(QIODevice::ReadOnly));
    const QByteArray written = list.readAll();
    list.close();
    QCOMPARE(written, QByteArray("{\n    \"display\": [\n        \"ImuParameterConfigWidget\"\n    ]\n}\n"));

    // A new process: nothing of the old one's flags.
    g_app_is_exit = false;
    g_decode_exit = false;
    g_current_action_name = QString();
    DialogSeam::ClearRequests();

    w = StartLikeMain();
    auto* area = w->findChild<DisplayAreaWidget*>("widgetRight");
    QCOMPARE(area->Stack()->count(), 1);
    QCOMPARE(CurrentPage(*w)->objectName(), QString("ImuParameterConfigWidget"));
    QCOMPARE(CurrentPage(*w)->windowTitle(), QString("参数设置"));
    QCOMPARE(g_current_action_name.Get(), QString("参数设置"));
    QVERIFY(!w->findChild<QPushButton*>("btn_mode_start")->isVisible());
    QVERIFY(MenuAction(*w, "toolButtonMuti", "参数设置")->isIconVisibleInMenu());
    QVERIFY(!MenuAction(*w, "toolButtonMuti", "AHRS数据")->isIconVisibleInMenu());
    // The baud of the last connection is offered again.
    QCOMPARE(Connector(*w)->findChild<QComboBox*>("comboBoxbaud")->currentText(), QString("115200"));
    // Restoring does not rewrite the list.
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll(), written);
    list.close();

    // And the restored page works: connect and read.
    device.LoadExampleParameters();
    ConnectTo(*w, pty);
    QTest::mouseClick(CurrentPage(*w)->findChild<QPushButton*>("button_read"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Text(*CurrentPage(*w), "label_status"), QString("状态：读取数据成功"), 8000);
    QVERIFY(DialogSeam::Requests().isEmpty());
}

QTEST_MAIN(TestUserJourneys)
#include "tst_user_journeys.moc"
