// The firmware upgrade page on its own: what it sends, what it shows and
// the order of its end-of-run steps.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <cstring>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/DisplayWidgetsManager.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "widgets/general/UpLoadData.h"
#include "widgets/general/UpgradeProcessInformation.h"
#include "widgets/singleTools/FirmwareUpgradeWidget.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"
#include "workerThread/SerialPortManager.h"

namespace {

void Post(int percent, const QString& text, int cancelType = CANCEL_UPGRADE_NONE, uint32_t finished = 0,
          uint32_t remaining = 1)
{
    UpgradeProcessInformation info;
    info.finished = finished;
    info.remaining = remaining;
    info.percent = percent;
    info.cancelType = cancelType;
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_UPGRADE_PROGRESS,
                                                                QVariant::fromValue(info), text);
}

} // namespace

class TestUpgradePage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        RegsiterMetaType();
        DialogSeam::SetScripted(true);
        QVERIFY(SerialPortManager::GetInstance()->GetImuWorker() == nullptr);
        connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU, this,
                [this](int id, QVariant var1, QVariant) {
                    m_sent << id;
                    if (id == IMU_MSG_FIRMWARE_UPGRADE)
                        m_lastOrder = var1.value<UpLoadData>();
                });
        connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
                [this](int id, QVariant, QVariant) {
                    if (id == PAGE_MSG_DISCONNECT_SERIAL) {
                        m_events << "812";
                        m_runningAt812 = g_is_running_upgrade;
                    }
                });
        RestoreBoxRecorder();
    }

    void init()
    {
        m_page.reset(new FirmwareUpgradeWidget);
        m_sent.clear();
        m_events.clear();
        m_runningAt812 = true;
        DialogSeam::ClearRequests();
        g_serial_is_connected = true;
        g_is_running_upgrade = false;
        g_cancelUpgradeFlag = false;
    }

    void cleanup()
    {
        m_page.reset();
        g_serial_is_connected = false;
        g_is_running_upgrade = false;
    }

    void startRefusedWithoutPort()
    {
        g_serial_is_connected = false;
        Line()->setText("/tmp/a.firmware");
        Button()->click();
        QCOMPARE(m_events, QStringList{"box:请连接串口"});
        QCOMPARE(DialogSeam::Requests().first().title, QString("提示"));
        QCOMPARE(DialogSeam::Requests().first().kind, DialogSeam::Information);
        QVERIFY(m_sent.isEmpty());
        QCOMPARE(Button()->text(), QString("升级"));
        QVERIFY(!g_is_running_upgrade);
    }

    void emptyPathRefused()
    {
        g_cancelUpgradeFlag = true;
        Button()->click();
        QCOMPARE(m_events, QStringList{"box:请打开文件再升级"});
        QVERIFY(m_sent.isEmpty());
        QVERIFY(!g_cancelUpgradeFlag);
        QVERIFY(!g_is_running_upgrade);
    }

    void serialStartSendsOrder()
    {
        Line()->setText("/data/fw/imu.bin");
        Button()->click();
        // Wrong extension: a notice, and the upgrade starts all the same.
        QCOMPARE(m_events, QStringList{"box:文件名不对"});
        QCOMPARE(m_sent, QList<int>{IMU_MSG_FIRMWARE_UPGRADE});
        QCOMPARE(m_lastOrder.mode, 1u);
        QCOMPARE(m_lastOrder.baud, 115200u);
        QCOMPARE(m_lastOrder.path, QString("/data/fw/imu.bin"));
        QCOMPARE(Button()->text(), QString("取消升级"));
        QVERIFY(g_is_running_upgrade);
        QCOMPARE(Page()->findChild<QTextEdit*>("textEdit")->toPlainText(), QString("等待升级..."));
    }

    void adapterNeedsSerialMode()
    {
        Page()->findChild<QCheckBox*>("checkBox_usb_to_can_ourself_updata")->click();
        Page()->findChild<QRadioButton*>("btn_vorqa5_updata")->setChecked(true);
        Line()->setText("/data/a.firmware");
        Button()->click();
        QCOMPARE(m_events, QStringList{"box:USB转CAN模块升级必须选择串口模式"});
        QVERIFY(m_sent.isEmpty());
    }

    void batchFileNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("crc in name") << "/data/fw#CRC12345.firmware" << true;
        QTest::newRow("largest crc") << "/data/fw#CRC4294967295.firmware" << true;
        QTest::newRow("marker at end") << "/data/fw#CRC" << false;
        QTest::newRow("no point") << "/data/fw#CRC12345" << false;
        QTest::newRow("no digits") << "/data/fw#CRC.firmware" << false;
        QTest::newRow("not decimal") << "/data/fw#CRCabc.firmware" << false;
        QTest::newRow("too large") << "/data/fw#CRC4294967296.firmware" << false;
        QTest::newRow("eleven digits") << "/data/fw#CRC12345678901.firmware" << false;
        QTest::newRow("crc in folder") << "/data/x#CRC12.d/fw.firmware" << false;
        QTest::newRow("no marker") << "/data/fw.firmware" << false;
    }
    void batchFileNames()
    {
        QFETCH(QString, path);
        QFETCH(bool, accepted);
        Page()->findChild<QRadioButton*>("btn_ahrs_batch_updata")->setChecked(true);
        Line()->setText(path);
        Button()->click();
        if (accepted) {
            QVERIFY(m_events.isEmpty());
            QCOMPARE(m_sent, QList<int>{IMU_MSG_FIRMWARE_UPGRADE});
            QCOMPARE(m_lastOrder.mode, 0u);
        } else {
            QCOMPARE(m_events, QStringList{"box:文件名格式不正确"});
            QCOMPARE(DialogSeam::Requests().first().kind, DialogSeam::Warning);
            QCOMPARE(DialogSeam::Requests().first().title, QString("警告"));
            QVERIFY(m_sent.isEmpty());
            QVERIFY(!g_is_running_upgrade);
        }
    }

    void repeatedTextLoggedOnce()
    {
        StartSerial();
        Post(0, "正在升级...", 0, 0, 1);
        Post(30, "正在升级...", 0, 0, 1);
        Post(60, "正在升级...", 0, 0, 1);
        QCOMPARE(Page()->findChild<QTextEdit*>("textEdit")->toPlainText(), QString("等待升级...\n正在升级..."));
        QCOMPARE(Page()->findChild<QProgressBar*>("upgradeProgressBar")->value(), 60);
        QCOMPARE(Page()->findChild<QLabel*>("finished_number")->text(), QString("已升级数量：0"));
        QCOMPARE(Page()->findChild<QLabel*>("not_finished_number")->text(), QString("未升级数量：1"));
        QCOMPARE(Button()->text(), QString("取消升级"));
        QVERIFY(g_is_running_upgrade);
    }

    void successClearsFlagBefore812()
    {
        StartSerial();
        m_events.clear();
        Post(100, "升级成功", 0, 1, 0);
        QCOMPARE(m_events, (QStringList{"812", "box:全部升级成功"}));
        QVERIFY(!m_runningAt812);
        QVERIFY(!g_is_running_upgrade);
        QCOMPARE(Button()->text(), QString("升级"));
        QCOMPARE(Page()->findChild<QLabel*>("label_upgrade")->text(), QString("升级结束："));
        QCOMPARE(Page()->findChild<QLabel*>("finished_number")->text(), QString("已升级数量：1"));
    }

    void successThenFailure()
    {
        StartSerial();
        m_events.clear();
        Post(100, "x", CANCEL_UPGRADE_FAILED);
        QCOMPARE(m_events, (QStringList{"812", "box:全部升级成功", "box:升级失败"}));
    }

    void failureReturnsToIdle()
    {
        StartSerial();
        m_events.clear();
        Post(0, QString(), CANCEL_UPGRADE_FAILED);
        QCOMPARE(m_events, QStringList{"box:升级失败"});
        QCOMPARE(Button()->text(), QString("升级"));
        QVERIFY(!g_is_running_upgrade);
    }

    void cancelReportWithoutFlagChangesNothing()
    {
        StartSerial();
        g_cancelUpgradeFlag = false;
        Post(10, QString(), CANCEL_UPGRADE_BY_USER);
        QCOMPARE(Button()->text(), QString("取消升级"));
        QVERIFY(g_is_running_upgrade);
    }

    void cancelWithoutWorkerResetsAtOnce()
    {
        StartSerial();
        Button()->click(); // no device worker exists in this test
        QVERIFY(g_cancelUpgradeFlag);
        QVERIFY(!g_is_running_upgrade);
        QCOMPARE(Button()->text(), QString("升级"));
        QCOMPARE(Page()->findChild<QLabel*>("label_upgrade")->text(), QString("升级结束："));
        QVERIFY(Page()->findChild<QTextEdit*>("textEdit")->toPlainText().isEmpty());
    }

    void resetPageCancelsRunningUpgrade()
    {
        StartSerial();
        RecvDataHandleManager::GetInstance()->ResetPage();
        QVERIFY(g_cancelUpgradeFlag);
        QCOMPARE(Button()->text(), QString("升级"));
        // Idle: a reset does nothing.
        g_cancelUpgradeFlag = false;
        RecvDataHandleManager::GetInstance()->ResetPage();
        QVERIFY(!g_cancelUpgradeFlag);
    }

    void deviceCountQuestion()
    {
        StartSerial();
        DialogSeam::SetHandler([](const DialogSeam::Request&) { return QVariant(int(QMessageBox::No)); });
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_UPGRADE_DEVICE_COUNT);
        QCOMPARE(g_upgradedDevicesIsNormal.load(), -1);
        QCOMPARE(Button()->text(), QString("升级"));
        QCOMPARE(DialogSeam::Requests().last().text, QString("设备数量是否符合实际"));
        DialogSeam::SetHandler([](const DialogSeam::Request&) { return QVariant(int(QMessageBox::Yes)); });
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_UPGRADE_DEVICE_COUNT);
        QCOMPARE(g_upgradedDevicesIsNormal.load(), 1);
        g_upgradedDevicesIsNormal = 0;
        RestoreBoxRecorder();
    }

    void chooseFirmwareFile()
    {
        DialogSeam::SetHandler([](const DialogSeam::Request&) { return QVariant(QString("/data/new.firmware")); });
        Page()->findChild<QPushButton*>("pushButton")->click();
        QCOMPARE(Line()->text(), QString("/data/new.firmware"));
        const DialogSeam::Request open = DialogSeam::Requests().last();
        QCOMPARE(open.kind, DialogSeam::OpenFile);
        QCOMPARE(open.title, QString("open file"));
        QCOMPARE(open.filter, QString("Firmware Files (*.firmware)"));
        // Cancelled: the path stays.
        DialogSeam::SetHandler([](const DialogSeam::Request&) { return QVariant(QString()); });
        Page()->findChild<QPushButton*>("pushButton")->click();
        QCOMPARE(Line()->text(), QString("/data/new.firmware"));
        RestoreBoxRecorder();
    }

    void startRemembersFolderForTheDialog()
    {
        Line()->setText("/data/fw/imu.firmware");
        Button()->click();
        QVERIFY(g_is_running_upgrade);
        // The next page opens its file dialog in the folder of that file.
        m_page.reset(new FirmwareUpgradeWidget);
        DialogSeam::ClearRequests();
        Page()->findChild<QPushButton*>("pushButton")->click();
        QCOMPARE(DialogSeam::Requests().last().text, QString("/data/fw"));
    }

    void adapterBaudButton_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<uint>("baud");
        QTest::newRow("1Mbps") << 0 << 1000000u;
        QTest::newRow("500Kbps") << 1 << 500000u;
        QTest::newRow("250Kbps") << 2 << 250000u;
    }
    void adapterBaudButton()
    {
        QFETCH(int, index);
        QFETCH(uint, baud);
        auto* combo = Page()->findChild<QComboBox*>("comboBox_usb_to_can_baud");
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(index), QString(QTest::currentDataTag()));
        combo->setCurrentIndex(index);
        Line()->setText("/data/a.firmware");
        Page()->findChild<QCheckBox*>("checkBox_usb_to_can_ourself_updata")->click();
        Page()->findChild<QPushButton*>("btn_set_usb_o_can_baud")->click();
        QCOMPARE(m_sent, QList<int>{IMU_MSG_FIRMWARE_UPGRADE});
        QCOMPARE(m_lastOrder.mode, 3u);
        QCOMPARE(m_lastOrder.baud, baud);
        QCOMPARE(m_lastOrder.adapterFlag, uint8_t(1));
        // Neither the caption nor the running flag changes.
        QCOMPARE(Button()->text(), QString("升级"));
        QVERIFY(!g_is_running_upgrade);
        // Without a port: refused.
        m_sent.clear();
        g_serial_is_connected = false;
        Page()->findChild<QPushButton*>("btn_set_usb_o_can_baud")->click();
        QVERIFY(m_sent.isEmpty());
        QCOMPARE(m_events.last(), QString("box:请连接串口"));
    }

    void firmwareInformationRequest()
    {
        QList<QVariant> lists;
        auto c = connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU,
                         this, [&lists](int id, QVariant var1, QVariant var2) {
                             if (id == IMU_MSG_COMMAND_LIST) {
                                 lists << var1;
                                 QCOMPARE(var2.toString(), QString());
                             }
                         });
        g_communicate_with_serial_flag = false;
        Page()->findChild<QTextEdit*>("textEdit_firmware_info")->setPlainText("old");
        Page()->findChild<QPushButton*>("btn_get_message")->click();
        disconnect(c);
        // Warned, then asked all the same.
        QCOMPARE(m_events, QStringList{"box:未成功连接设备"});
        QCOMPARE(DialogSeam::Requests().first().kind, DialogSeam::Critical);
        QCOMPARE(DialogSeam::Requests().first().title, QString("错误"));
        QCOMPARE(lists.size(), 2);
        QCOMPARE(lists[0].toList(), (QList<QVariant>{3, 100, 0, 4660, 43981, 100, 200}));
        QCOMPARE(lists[1].toList(), (QList<QVariant>{31000, 100, 200, 300, 400, 500, 600}));
        QVERIFY(Page()->findChild<QTextEdit*>("textEdit_firmware_info")->toPlainText().isEmpty());
    }

    void firmwareInformationShown()
    {
        FirmwareInfoPayload info;
        std::memset(&info, 0, sizeof(info));
        info.info0 = 1;
        info.info1 = 4294967295u;
        info.info2 = 7;
        info.info3 = 1;
        info.info4 = 23;
        info.info5 = 456;
        std::memcpy(info.text0, "abc", 3);
        std::memset(info.text1, 'x', sizeof(info.text1)); // fills its field: no terminator
        std::memcpy(info.text2, "hello", 5);
        info.tail_u32 = 99;
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_FIRMWARE_INFO,
                                                                    QVariant::fromValue(info));
        QCOMPARE(Page()->findChild<QTextEdit*>("textEdit_firmware_info")->toPlainText(),
                 QString("1\n4294967295\n7\n123456\nabc,") + QString(20, 'x') + "\nhello");
        // Other ids are not for this view.
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_UPGRADE_PROGRESS + 100,
                                                                    QVariant::fromValue(info));
        QCOMPARE(Page()->findChild<QTextEdit*>("textEdit_firmware_info")->toPlainText().count("hello"), 1);
    }

    void subPageSwitch()
    {
        auto* stack = Page()->findChild<QStackedWidget*>("stackedWidget");
        QCOMPARE(stack->count(), 3);
        QCOMPARE(stack->currentIndex(), 0);
        emit DisplayWidgetsManager::GetInstance()->SignalChangeSubWidget("CommandCreatorWidget", 2);
        QCOMPARE(stack->currentIndex(), 0);
        emit DisplayWidgetsManager::GetInstance()->SignalChangeSubWidget("FirmwareUpgradeWidget", 2);
        QCOMPARE(stack->currentIndex(), 2);
        emit DisplayWidgetsManager::GetInstance()->SignalChangeSubWidget("FirmwareUpgradeWidget", 0);
        QCOMPARE(stack->currentIndex(), 0);
    }

    void hiddenControls()
    {
        QCOMPARE(Page()->windowTitle(), QString("固件升级"));
        QCOMPARE(Page()->objectName(), QString("FirmwareUpgradeWidget"));
        QVERIFY(Page()->findChild<QWidget*>("btn_set_usb_o_can_baud")->isHidden());
        QVERIFY(Page()->findChild<QWidget*>("comboBox_usb_to_can_baud")->isHidden());
        QVERIFY(Page()->findChild<QWidget*>("label_3")->isHidden());
        QVERIFY(Page()->findChild<QWidget*>("label_prompt")->isHidden());
        QVERIFY(Page()->findChild<QRadioButton*>("btn_serial_upload")->isChecked());
    }

private:
    void RestoreBoxRecorder()
    {
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) {
            m_events << "box:" + r.text;
            return QVariant();
        });
    }
    FirmwareUpgradeWidget* Page() const { return m_page.get(); }
    QPushButton* Button() const { return Page()->findChild<QPushButton*>("btn_update"); }
    QLineEdit* Line() const { return Page()->findChild<QLineEdit*>("lineEdit"); }
    void StartSerial()
    {
        Line()->setText("/data/a.firmware");
        Button()->click();
        QVERIFY(g_is_running_upgrade);
    }

    std::unique_ptr<FirmwareUpgradeWidget> m_page;
    QList<int> m_sent;
    UpLoadData m_lastOrder;
    QStringList m_events;
    bool m_runningAt812 = true;
};

QTEST_MAIN(TestUpgradePage)
#include "tst_upgrade_page.moc"
