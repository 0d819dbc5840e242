// The firmware upgrade page on its own: what it sends, what it shows and
// the order of its end-of-run steps.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "widgets/general/UpLoadData.h"
#include "widgets/general/UpgradeProcessInformation.h"
#include "widgets/singleTools/FirmwareUpgradeWidget.h"
#include "workerThread/MessageIds.h"
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
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) {
            m_events << "box:" + r.text;
            return QVariant();
        });
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
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) {
            m_events << "box:" + r.text;
            return QVariant();
        });
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
