// The main window: device identity from a pseudo-terminal that plays the
// device, the tool menus, the mode button, the byte counters and closing.

#include "support/FakeImuDevice.h"
#include "support/PtyDevice.h"

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "dialogs/general/CustomDialog.h"
#include "mainwindow.h"
#include "manager/DisplayWidgetsManager.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/Reflector.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "widgets/general/DisplayAreaWidget.h"
#include "widgets/general/OpenSerialWidget.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

#include <cstring>

namespace {

class StubPage : public QWidget
{
public:
    explicit StubPage(QWidget* parent) : QWidget(parent) {}
};

struct Message
{
    int id;
    QVariant var1;
    QVariant var2;
};

const QStringList kValueLabels = {
    "label_side_software_version", "label_side_hardware_version", "label_side_board_version",
    "label_side_config_fault_code", "label_side_calib_fault_code", "label_side_master_slave",
    "label_side_sn_0_sn1",
};

QString LabelText(QWidget& w, const QString& name)
{
    QLabel* label = w.findChild<QLabel*>(name);
    return label ? label->text() : QString("<missing %1>").arg(name);
}

QByteArray VersionPayloadBytes(uint32_t software, uint32_t hardware, uint8_t master, uint8_t firstSerialByte)
{
    QByteArray payload(78, '\0');
    auto put32 = [&payload](int at, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            payload[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    put32(0, software);
    put32(4, hardware);
    payload[8] = 0x34;    // board code 0x1234: not a known model, so the board version shows
    payload[9] = 0x12;
    for (int i = 0; i < 12; ++i) {
        payload[10 + i] = static_cast<char>(firstSerialByte + i);
    }
    payload[22] = 'V';
    payload[23] = '1';
    payload[24] = '2';
    payload[25] = '3';
    payload[30] = static_cast<char>(master);
    payload[32] = 5;
    payload[33] = 6;
    return payload;
}

QAction* FindAction(QToolButton* button, const QString& caption)
{
    if (button == nullptr || button->menu() == nullptr) {
        return nullptr;
    }
    for (QAction* action : button->menu()->actions()) {
        if (action->text() == caption) {
            return action;
        }
    }
    return nullptr;
}

// What a pick from the popped-up serial tools menu does: the tool button
// reports the entry first, then the entry's own action runs.
void PickSerialTool(QWidget& w, const QString& caption)
{
    QToolButton* serial = w.findChild<QToolButton*>("toolButtonMuti");
    QAction* action = FindAction(serial, caption);
    QVERIFY(action != nullptr);
    emit serial->triggered(action);
    action->trigger();
}

QString ConfigDir()
{
    return QCoreApplication::applicationDirPath() + "/config";
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void formCarriesTheCaptions();
    void versionRecordFillsTheIdentityPanelOnce();
    void unreadableVersionRecordShowsZeros();
    void connectionIconFillsItsLabelAndShowsKeepTheSize();
    void rememberedCustomBaudSitsInItsCombo();
    void modeButtonSendsTheCommandOfTheCurrentCaption();
    void menusFollowTheToolTables();
    void registeredToolsOpenFromTheMenus();
    void serialMenuSetsCaptionAndModeButton();
    void pagesGetCheckMarkDialogsDoNot();
    void duringUpgradeOnlyHelpDialogsOpen();
    void closingAsksAndCanBeRefused();
    void closingConfirmedClosesTheApplication();
    void countersShowAndClearOnLeftDoubleClick();
    void connectControlsKeepApart();
    void screenshot();

private:
    QList<Message> m_to_device;
    QList<Message> m_to_pages;
};

void TestMainWindow::initTestCase()
{
    RegsiterMetaType();
    DialogSeam::SetScripted(true);
    QDir().mkpath(ConfigDir());
    connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU, this,
            [this](int id, QVariant a, QVariant b) { m_to_device.append(Message{id, a, b}); });
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            [this](int id, QVariant a, QVariant b) { m_to_pages.append(Message{id, a, b}); });
}

void TestMainWindow::init()
{
    QFile::remove(ConfigDir() + "/display.json");
    DisplayWidgetsManager::GetInstance()->RegisterAllClass();
    DialogSeam::ClearRequests();
    DialogSeam::SetHandler(nullptr);
    m_to_device.clear();
    m_to_pages.clear();
    qputenv("CORVANTA_EXTRA_PORTS", QByteArray());
    g_is_running_upgrade = false;
    g_ahrs_file_recording = false;
    g_33imu_file_recording = false;
    g_cancelUpgradeFlag = false;
    g_decode_exit = false;
    g_app_is_exit = false;
    g_serial_is_connected = false;
    g_current_action_name = QString();
}

void TestMainWindow::cleanupTestCase()
{
    QFile::remove(ConfigDir() + "/display.json");
    qputenv("CORVANTA_EXTRA_PORTS", QByteArray());
}

void TestMainWindow::formCarriesTheCaptions()
{
    MainWindow w(nullptr);
    QCOMPARE(w.windowTitle(), QString("Corvanta"));
    QCOMPARE(w.findChild<QToolButton*>("toolButtonMuti")->text(), QString("串口功能工具集"));
    QCOMPARE(w.findChild<QToolButton*>("toolButtonTool")->text(), QString("非串口功能工具"));
    QCOMPARE(w.findChild<QToolButton*>("toolButtoHelp")->text(), QString("帮助"));
    QCOMPARE(w.findChild<QPushButton*>("btn_mode_start")->text(), QString("模式启动"));
    QCOMPARE(LabelText(w, "label_upper_version"), QString("上位机版本：1.1.4"));
    QCOMPARE(LabelText(w, "label_4"), QString("固件版本："));
    QCOMPARE(LabelText(w, "label_15"), QString("序列号："));
    for (const QString& name : kValueLabels) {
        QCOMPARE(LabelText(w, name), QString("N/A"));
    }
    QVERIFY(w.findChild<OpenSerialWidget*>("widgetLeft_Top_Serial_customLayout") != nullptr);
    QCOMPARE(w.findChild<QWidget*>("widgetRight")->metaObject()->className(), "DisplayAreaWidget");
    QVERIFY(w.findChild<QPushButton*>("btn_mode_start")->sizePolicy().retainSizeWhenHidden());
}

void TestMainWindow::versionRecordFillsTheIdentityPanelOnce()
{
    PtyDevice pty;
    QVERIFY(pty.IsOpen());
    FakeImuDevice device(pty);
    device.SetVersionPayload(VersionPayloadBytes(0x01020304, 7, 1, 0x01));
    pty.PublishInPortList();

    MainWindow w(nullptr);
    auto* connectWidget = w.findChild<OpenSerialWidget*>("widgetLeft_Top_Serial_customLayout");
    qint64 now = 0;
    connectWidget->SetClickClock([&now]() { return now; });
    QComboBox* ports = connectWidget->findChild<QComboBox*>("comboBoxPort");
    ports->setCurrentIndex(ports->findText(pty.SlavePath(), Qt::MatchStartsWith));
    QVERIFY(ports->currentIndex() >= 0);
    connectWidget->findChild<QComboBox*>("comboBoxbaud")->setCurrentIndex(2);

    connectWidget->on_button_connect_clicked();
    QTRY_COMPARE_WITH_TIMEOUT(LabelText(w, "label_side_sn_0_sn1"), QString("0102030405060708090a0b0c"), 3000);
    QCOMPARE(LabelText(w, "label_side_software_version"), QString("16909060"));
    QCOMPARE(LabelText(w, "label_side_hardware_version"), QString("7"));
    QCOMPARE(LabelText(w, "label_side_board_version"), QString("V123"));
    QCOMPARE(LabelText(w, "label_side_config_fault_code"), QString("5"));
    QCOMPARE(LabelText(w, "label_side_calib_fault_code"), QString("6"));
    QCOMPARE(LabelText(w, "label_side_master_slave"), QString("主机"));
    QVERIFY(w.findChild<QLabel*>("label_side_sn_0_sn1")->wordWrap());
    QCOMPARE(g_imu_sn.Get(), QString("0102030405060708090a0b0c"));
    int serialMessages = 0;
    for (const Message& m : qAsConst(m_to_pages)) {
        if (m.id == PAGE_MSG_SERIAL_NUMBER) {
            ++serialMessages;
            QCOMPARE(m.var1.toString(), QString("0102030405060708090a0b0c"));
            QVERIFY(!m.var2.isValid());
        }
    }
    QCOMPARE(serialMessages, 1);

    // A second record on the same connection changes nothing.
    auto versionAnswers = [this]() {
        int count = 0;
        for (const Message& m : qAsConst(m_to_pages)) {
            count += m.id == PAGE_MSG_VERSION ? 1 : 0;
        }
        return count;
    };
    const int before = versionAnswers();
    device.SetVersionPayload(VersionPayloadBytes(99, 98, 0, 0xA0));
    device.SendVersionFrame();
    QTRY_COMPARE_WITH_TIMEOUT(versionAnswers(), before + 1, 3000);
    QCOMPARE(LabelText(w, "label_side_sn_0_sn1"), QString("0102030405060708090a0b0c"));
    QCOMPARE(LabelText(w, "label_side_software_version"), QString("16909060"));
    QCOMPARE(LabelText(w, "label_side_master_slave"), QString("主机"));

    // Disconnect: every value back to N/A; the serial number global stays.
    now += 1000;
    connectWidget->on_button_connect_clicked();
    for (const QString& name : kValueLabels) {
        QCOMPARE(LabelText(w, name), QString("N/A"));
    }
    QCOMPARE(g_imu_sn.Get(), QString("0102030405060708090a0b0c"));
    QTRY_VERIFY_WITH_TIMEOUT(!connectWidget->IsConnected(), 3000);

    // The next connection's first record fills the panel again.
    now += 1000;
    connectWidget->on_button_connect_clicked();
    QTRY_COMPARE_WITH_TIMEOUT(LabelText(w, "label_side_sn_0_sn1"), QString("a0a1a2a3a4a5a6a7a8a9aaab"), 3000);
    QCOMPARE(LabelText(w, "label_side_master_slave"), QString("从机"));
    QCOMPARE(LabelText(w, "label_side_software_version"), QString("99"));
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestMainWindow::connectionIconFillsItsLabelAndShowsKeepTheSize()
{
    PtyDevice pty;
    QVERIFY(pty.IsOpen());
    FakeImuDevice device(pty);
    pty.PublishInPortList();

    MainWindow w(nullptr);
    w.resize(1440, 864);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QSize shown = w.size();
    for (int i = 0; i < 5; ++i) {
        w.hide();
        w.show();
    }
    QCOMPARE(w.size(), shown);

    QLabel* icon = w.findChild<QLabel*>("label_connect_status");
    auto fills = [icon]() {
        const QPixmap p = icon->pixmap(Qt::ReturnByValue);
        return !p.isNull() && p.width() <= icon->width() && p.height() <= icon->height()
            && (p.width() == icon->width() || p.height() == icon->height());
    };
    QVERIFY(fills());
    auto* connectWidget = w.findChild<OpenSerialWidget*>("widgetLeft_Top_Serial_customLayout");
    qint64 now = 0;
    connectWidget->SetClickClock([&now]() { return now; });
    QComboBox* ports = connectWidget->findChild<QComboBox*>("comboBoxPort");
    ports->setCurrentIndex(ports->findText(pty.SlavePath(), Qt::MatchStartsWith));
    connectWidget->findChild<QComboBox*>("comboBoxbaud")->setCurrentIndex(2);
    QSignalSpy states(connectWidget, &OpenSerialWidget::SignalUpdateConnectStatueLable);

    connectWidget->on_button_connect_clicked(); // opened
    QTRY_COMPARE_WITH_TIMEOUT(states.count(), 1, 3000);
    QVERIFY(fills());
    now += 1000;
    connectWidget->on_button_connect_clicked(); // closed
    QTRY_COMPARE_WITH_TIMEOUT(states.count(), 2, 3000);
    QVERIFY(fills());
    ports->addItem("/dev/corvanta-no-such-port # none");
    ports->setCurrentIndex(ports->count() - 1);
    now += 1000;
    connectWidget->on_button_connect_clicked(); // open failed
    QTRY_COMPARE_WITH_TIMEOUT(states.count(), 3, 3000);
    QCOMPARE(states.at(2).at(0).value<SerialState>(), SERIAL_STATE_OPEN_FAILED);
    QVERIFY(fills());
}

void TestMainWindow::rememberedCustomBaudSitsInItsCombo()
{
    SettingManager::GetInstance()->SetCustomBaud("250000");
    SettingManager::GetInstance()->SetBaudIndex(SerialPortManager::GetInstance()->GetSerialPortBauds().size());
    MainWindow w(nullptr);
    w.resize(1920, 1152);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    SettingManager::GetInstance()->SetBaudIndex(0);

    QComboBox* baud = w.findChild<QComboBox*>("comboBoxbaud");
    QVERIFY(baud->isEditable());
    QCOMPARE(baud->currentText(), QString("250000"));
    QVERIFY2(baud->rect().contains(baud->lineEdit()->geometry()),
             qPrintable(QString("field %1 px high in a combo %2 px high")
                            .arg(baud->lineEdit()->height())
                            .arg(baud->height())));

    // Another rate: the combo drops its field, which the window's next
    // resize must leave alone.
    const QPointer<QLineEdit> field = baud->lineEdit();
    baud->setCurrentIndex(0);
    QTRY_VERIFY(field.isNull());
    w.resize(1200, 760);
    QVERIFY(!baud->isEditable());
}

void TestMainWindow::unreadableVersionRecordShowsZeros()
{
    MainWindow w(nullptr);
    w.slot_version_message(PAGE_MSG_VERSION, QVariant(42), QVariant());
    QCOMPARE(LabelText(w, "label_side_software_version"), QString("0"));
    QCOMPARE(LabelText(w, "label_side_hardware_version"), QString("0"));
    QCOMPARE(LabelText(w, "label_side_board_version"), QString("0"));
    QCOMPARE(LabelText(w, "label_side_config_fault_code"), QString("0"));
    QCOMPARE(LabelText(w, "label_side_calib_fault_code"), QString("0"));
    QCOMPARE(LabelText(w, "label_side_master_slave"), QString("从机"));
    QCOMPARE(LabelText(w, "label_side_sn_0_sn1"), QString(24, QChar('0')));

    // A connection message saying "connected" leaves the panel alone.
    w.slot_version_message(PAGE_MSG_CONNECTION, true, 0);
    QCOMPARE(LabelText(w, "label_side_master_slave"), QString("从机"));
    w.slot_version_message(PAGE_MSG_CONNECTION, false, 0);
    QCOMPARE(LabelText(w, "label_side_master_slave"), QString("N/A"));
}

void TestMainWindow::modeButtonSendsTheCommandOfTheCurrentCaption()
{
    MainWindow w(nullptr);
    QPushButton* button = w.findChild<QPushButton*>("btn_mode_start");
    const QVariantList ahrs{3, 1, 0, 0x1234, 0xABCD, 100, 200};

    struct Row
    {
        QString caption;
        int id;
        QVariantList list;
        QVariant second;
    };
    const QList<Row> rows = {
        {"AHRS数据", IMU_MSG_MODE_START, ahrs, QVariant(QString(""))},
        {"仪表盘", IMU_MSG_MODE_START, ahrs, QVariant(QString(""))},
        {"行人导航", IMU_MSG_MODE_START_PEOPLE_NAV, {3, 8, 0, 0x1234, 0xABCD, 100, 200}, QVariant(QString(""))},
        {"33IMU数据", IMU_MSG_MODE_START_IMU33, {3, 2, 0, 0x1234, 0xABCD, 100, 200}, QVariant(0)},
    };
    for (const Row& row : rows) {
        m_to_device.clear();
        g_current_action_name = row.caption;
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_to_device.size(), 1);
        QCOMPARE(m_to_device.first().id, row.id);
        QCOMPARE(m_to_device.first().var1.toList(), row.list);
        QCOMPARE(m_to_device.first().var2.userType(), row.second.userType());
        QCOMPARE(m_to_device.first().var2, row.second);
    }

    m_to_device.clear();
    m_to_pages.clear();
    g_current_action_name = QString("AHRS产品出厂测试上位机");
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(m_to_device.isEmpty());
    QCOMPARE(m_to_pages.size(), 1);
    QCOMPARE(m_to_pages.first().id, static_cast<int>(PAGE_MSG_AHRS_GROUP_STARTED));
    QCOMPARE(m_to_pages.first().var1, QVariant(0));
    QCOMPARE(m_to_pages.first().var2, QVariant(0));

    for (const QString& other : {QString("参数设置"), QString("ahrs数据"), QString("")}) {
        m_to_device.clear();
        m_to_pages.clear();
        g_current_action_name = other;
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(m_to_device.isEmpty());
        QVERIFY(m_to_pages.isEmpty());
    }
}

void TestMainWindow::menusFollowTheToolTables()
{
    MainWindow w(nullptr);
    w.Initializa();
    auto captions = [&w](const char* button) {
        QStringList texts;
        for (QAction* action : w.findChild<QToolButton*>(button)->menu()->actions()) {
            texts.append(action->text());
        }
        return texts;
    };
    QCOMPARE(captions("toolButtonMuti"),
             (QStringList{"AHRS数据", "参数设置", "命令生成器", "固件升级", "仪表盘", "串口助手"}));
    QCOMPARE(captions("toolButtonTool"), QStringList{"数据解码"});
    QCOMPARE(captions("toolButtoHelp"), (QStringList{"关于", "软件升级"}));
    QAction* about = FindAction(w.findChild<QToolButton*>("toolButtoHelp"), "关于");
    QCOMPARE(about->data().toString(), QString("AboutDialog"));
    QCOMPARE(about->property("displayFlag").toString(), QString("dialog"));
    QCOMPARE(FindAction(w.findChild<QToolButton*>("toolButtonTool"), "数据解码")->property("displayFlag").toString(),
             QString("singleTool"));
    QCOMPARE(FindAction(w.findChild<QToolButton*>("toolButtonMuti"), "仪表盘")->property("displayFlag").toString(),
             QString("widget"));
    QCOMPARE(w.findChild<QToolButton*>("toolButtonMuti")->popupMode(), QToolButton::InstantPopup);

    // No display list: the first serial tool, the AHRS page, is made and
    // becomes current, with the mode button; the list is not written.
    auto* area = w.findChild<DisplayAreaWidget*>("widgetRight");
    QVERIFY(area != nullptr);
    QCOMPARE(area->Stack()->count(), 1);
    QCOMPARE(area->Stack()->currentWidget()->objectName(), QString("AHRSDataWidget"));
    QCOMPARE(area->Stack()->currentWidget()->windowTitle(), QString("AHRS数据"));
    QCOMPARE(g_current_action_name.Get(), QString("AHRS数据"));
    QVERIFY(w.findChild<QPushButton*>("btn_mode_start")->isVisible());
    QVERIFY(FindAction(w.findChild<QToolButton*>("toolButtonMuti"), "AHRS数据")->isIconVisibleInMenu());
    QVERIFY(!QFile::exists(ConfigDir() + "/display.json"));
}

void TestMainWindow::registeredToolsOpenFromTheMenus()
{
    QFile display(ConfigDir() + "/display.json");
    QVERIFY(display.open(QIODevice::WriteOnly));
    display.write("{\"display\":[\"ImuParameterConfigWidget\"]}");
    display.close();

    MainWindow w(nullptr);
    w.Initializa();
    auto* area = w.findChild<DisplayAreaWidget*>("widgetRight");
    QCOMPARE(area->Stack()->count(), 1);
    QCOMPARE(area->Stack()->currentWidget()->objectName(), QString("ImuParameterConfigWidget"));
    QCOMPARE(g_current_action_name.Get(), QString("参数设置"));
    QVERIFY(!w.findChild<QPushButton*>("btn_mode_start")->isVisible());

    const QList<QPair<QString, QString>> tools = {
        {"仪表盘", "InstrumentWidget"},
        {"命令生成器", "CommandCreatorWidget"},
        {"固件升级", "FirmwareUpgradeWidget"},
    };
    for (const auto& tool : tools) {
        PickSerialTool(w, tool.first);
        QCOMPARE(area->Stack()->currentWidget()->objectName(), tool.second);
        QCOMPARE(area->Stack()->currentWidget()->windowTitle(), tool.first);
        QCOMPARE(g_current_action_name.Get(), tool.first);
        QVERIFY(display.open(QIODevice::ReadOnly));
        QVERIFY(display.readAll().contains(tool.second.toUtf8()));
        display.close();
    }
    QCOMPARE(area->Stack()->count(), 4);

    // A tool without a factory in this build: nothing is made and the check
    // mark stays where it was; the caption follows the menu pick.
    DisplayWidgetsManager::GetInstance()->GetReflector()->registerFactory("SerialPortAssistantWidget", nullptr);
    QAction* firmware = FindAction(w.findChild<QToolButton*>("toolButtonMuti"), "固件升级");
    PickSerialTool(w, "串口助手");
    QCOMPARE(area->Stack()->count(), 4);
    QCOMPARE(area->Stack()->currentWidget()->objectName(), QString("FirmwareUpgradeWidget"));
    QVERIFY(firmware->isIconVisibleInMenu());
    QCOMPARE(g_current_action_name.Get(), QString("串口助手"));
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestMainWindow::serialMenuSetsCaptionAndModeButton()
{
    MainWindow w(nullptr);
    w.Initializa();
    QPushButton* modeButton = w.findChild<QPushButton*>("btn_mode_start");
    // Neither page can be made here, so only the menu pick itself acts.
    DisplayWidgetsManager::GetInstance()->GetReflector()->registerFactory("InstrumentWidget", nullptr);
    DisplayWidgetsManager::GetInstance()->GetReflector()->registerFactory("ImuParameterConfigWidget", nullptr);

    PickSerialTool(w, "仪表盘");
    QCOMPARE(g_current_action_name.Get(), QString("仪表盘"));
    QVERIFY(modeButton->isVisible());

    PickSerialTool(w, "参数设置");
    QCOMPARE(g_current_action_name.Get(), QString("参数设置"));
    QVERIFY(!modeButton->isVisible());
}

void TestMainWindow::pagesGetCheckMarkDialogsDoNot()
{
    DisplayWidgetsManager::GetInstance()->GetReflector()->registerClass<StubPage>("InstrumentWidget");
    DisplayWidgetsManager::GetInstance()->GetReflector()->registerClass<StubPage>("CommandCreatorWidget");
    MainWindow w(nullptr);
    w.Initializa();
    QToolButton* serial = w.findChild<QToolButton*>("toolButtonMuti");
    QAction* instrument = FindAction(serial, "仪表盘");
    QAction* command = FindAction(serial, "命令生成器");

    PickSerialTool(w, "仪表盘");
    QVERIFY(instrument->isIconVisibleInMenu());
    QVERIFY(!instrument->icon().isNull());
    const QString file = ConfigDir() + "/display.json";
    QFile json(file);
    QVERIFY(json.open(QIODevice::ReadOnly));
    QVERIFY(json.readAll().contains("\"InstrumentWidget\""));
    json.close();

    PickSerialTool(w, "命令生成器");
    QVERIFY(command->isIconVisibleInMenu());
    QVERIFY(!instrument->isIconVisibleInMenu());
    QCOMPARE(g_current_action_name.Get(), QString("命令生成器"));

    // A dialog: no check mark anywhere changes, the caption stays.
    FindAction(w.findChild<QToolButton*>("toolButtoHelp"), "关于")->trigger();
    QVERIFY(command->isIconVisibleInMenu());
    QCOMPARE(g_current_action_name.Get(), QString("命令生成器"));
    QCOMPARE(w.findChildren<CustomDialog*>("AboutDialog").size(), 1);
    w.findChildren<CustomDialog*>("AboutDialog").first()->close();
    QVERIFY(command->isIconVisibleInMenu());
}

void TestMainWindow::duringUpgradeOnlyHelpDialogsOpen()
{
    DisplayWidgetsManager::GetInstance()->GetReflector()->registerClass<StubPage>("InstrumentWidget");
    MainWindow w(nullptr);
    w.Initializa();
    g_current_action_name = QString("固件升级");
    g_is_running_upgrade = true;

    QList<QAction*> refused;
    refused += w.findChild<QToolButton*>("toolButtonMuti")->menu()->actions();
    refused += w.findChild<QToolButton*>("toolButtonTool")->menu()->actions();
    for (QAction* action : refused) {
        DialogSeam::ClearRequests();
        emit w.findChild<QToolButton*>("toolButtonMuti")->triggered(action);
        action->trigger();
        QCOMPARE(DialogSeam::Requests().size(), 1);
        QCOMPARE(DialogSeam::Requests().first().kind, DialogSeam::Information);
        QCOMPARE(DialogSeam::Requests().first().title, QString("提示"));
        QCOMPARE(DialogSeam::Requests().first().text, QString("固件正在升级,请取消升级之后切换页面"));
    }
    QCOMPARE(g_current_action_name.Get(), QString("固件升级"));
    QVERIFY(!DisplayWidgetsManager::GetInstance()->IsCreated("InstrumentWidget"));

    DialogSeam::ClearRequests();
    FindAction(w.findChild<QToolButton*>("toolButtoHelp"), "关于")->trigger();
    FindAction(w.findChild<QToolButton*>("toolButtoHelp"), "软件升级")->trigger();
    QVERIFY(DialogSeam::Requests().isEmpty());
    QList<CustomDialog*> about = w.findChildren<CustomDialog*>("AboutDialog");
    QCOMPARE(about.size(), 1);
    QVERIFY(about.first()->isVisible());
    about.first()->close();
    g_is_running_upgrade = false;
}

void TestMainWindow::closingAsksAndCanBeRefused()
{
    MainWindow w(nullptr);
    QSignalSpy closeApp(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalCloseApp);

    DialogSeam::SetHandler([](const DialogSeam::Request&) { return QVariant(int(QMessageBox::No)); });
    QVERIFY(!w.close());
    QCOMPARE(DialogSeam::Requests().size(), 1);
    QCOMPARE(DialogSeam::Requests().first().kind, DialogSeam::Question);
    QCOMPARE(DialogSeam::Requests().first().title, QString("确认对话框"));
    QCOMPARE(DialogSeam::Requests().first().text, QString("请确认是否关闭上位机"));

    // Upgrade and AHRS recording running: Yes to the first, No to the second.
    g_is_running_upgrade = true;
    g_ahrs_file_recording = true;
    DialogSeam::ClearRequests();
    DialogSeam::SetHandler([](const DialogSeam::Request& r) {
        return QVariant(int(r.text.startsWith("固件") ? QMessageBox::Yes : QMessageBox::No));
    });
    QVERIFY(!w.close());
    QCOMPARE(DialogSeam::Requests().size(), 2);
    QCOMPARE(DialogSeam::Requests().at(0).title, QString("警告"));
    QCOMPARE(DialogSeam::Requests().at(0).text, QString("固件正在升级当中，是否退出"));
    QCOMPARE(DialogSeam::Requests().at(1).text, QString("AHRS正在保存数据，是否退出"));
    QVERIFY(g_cancelUpgradeFlag);
    QCOMPARE(closeApp.count(), 0);

    g_is_running_upgrade = false;
    g_ahrs_file_recording = false;
    g_33imu_file_recording = true;
    DialogSeam::ClearRequests();
    DialogSeam::SetHandler([](const DialogSeam::Request&) { return QVariant(int(QMessageBox::No)); });
    QVERIFY(!w.close());
    QCOMPARE(DialogSeam::Requests().size(), 1);
    QCOMPARE(DialogSeam::Requests().first().text, QString("9/33IMU正在保存数据，是否退出"));
    QCOMPARE(closeApp.count(), 0);
    QVERIFY(!g_decode_exit);
}

void TestMainWindow::closingConfirmedClosesTheApplication()
{
    MainWindow w(nullptr);
    QSignalSpy closeApp(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalCloseApp);
    DialogSeam::SetHandler([](const DialogSeam::Request&) { return QVariant(int(QMessageBox::Yes)); });
    QVERIFY(w.close());
    QCOMPARE(closeApp.count(), 1);
    QVERIFY(g_decode_exit);
    // The connect widget heard the close.
    QVERIFY(g_app_is_exit);
    g_app_is_exit = false;
}

void TestMainWindow::countersShowAndClearOnLeftDoubleClick()
{
    MainWindow w(nullptr);
    g_recv_total_byte = 1234;
    g_send_total_byte = 56;
    QTRY_COMPARE_WITH_TIMEOUT(LabelText(w, "label_rx"), QString("RX：1234"), 1000);
    QCOMPARE(LabelText(w, "label_tx"), QString("TX：56"));

    QTest::mouseDClick(w.findChild<QLabel*>("label_tx"), Qt::RightButton);
    QCOMPARE(g_send_total_byte.load(), 56u);
    QTest::mouseDClick(w.findChild<QLabel*>("label_rx"), Qt::LeftButton);
    QCOMPARE(g_recv_total_byte.load(), 0u);
    QTest::mouseDClick(w.findChild<QLabel*>("label_tx"), Qt::LeftButton);
    QCOMPARE(g_send_total_byte.load(), 0u);
    QTRY_COMPARE_WITH_TIMEOUT(LabelText(w, "label_rx"), QString("RX：0"), 1000);
}

// The port box, the rate box and the connect button keep a gap between them
// down to the smallest window.
void TestMainWindow::connectControlsKeepApart()
{
    MainWindow w(nullptr);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto smallestGap = [&w]() {
        int gap = INT_MAX;
        const QWidget* above = nullptr;
        for (const char* name : {"comboBoxPort", "comboBoxbaud", "button_connect"}) {
            const QWidget* control = w.findChild<QWidget*>(name);
            if (above != nullptr) {
                gap = qMin(gap, control->y() - (above->y() + above->height()));
            }
            above = control;
        }
        return gap;
    };
    for (const QSize& size : {QSize(1920, 1080), w.minimumSize()}) {
        w.resize(size);
        QTRY_COMPARE(w.size(), size);
        QTRY_VERIFY2(smallestGap() >= 3, qPrintable(QString("%1 px apart").arg(smallestGap())));
    }
}

void TestMainWindow::screenshot()
{
    // As the program runs: with its compiled-in skin.
    InitCorvantaResources();
    const QByteArray skin = ReadQssData(":/skin/resources/skin/skin.qss");
    QVERIFY(!skin.isEmpty());
    ApplyStyleSheet(skin);

    MainWindow w(nullptr);
    w.Initializa();
    w.resize(1189, 762);
    w.slot_version_message(PAGE_MSG_VERSION, QVariant::fromValue(VersionPayload{}), QVariant());
    QCoreApplication::processEvents();
    const QPixmap shot = w.grab();
    QVERIFY(!shot.isNull());
    QVERIFY(shot.save(QCoreApplication::applicationDirPath() + "/main_window.png"));

    // The connect button takes its colour from its "isConnected" state.
    auto* connect = w.findChild<QPushButton*>("button_connect");
    QVERIFY(connect != nullptr);
    const QColor idle = connect->grab().toImage().pixelColor(6, connect->height() / 2);
    QVERIFY2(idle.green() > idle.red() + 40 && idle.green() > idle.blue() + 40, qPrintable(idle.name()));
    qApp->setStyleSheet(QString());
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
