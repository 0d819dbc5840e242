// The USB-to-CAN adapter's CAN baud, set from the upgrade page: the AT texts
// on the line, byte for byte, and the page's report texts, against a fake
// adapter on a pty.
#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include "support/FakeCanAdapter.h"
#include "support/PtyDevice.h"
#include "support/UpgradeBench.h"
#include "commom/Global.h"
#include "widgets/general/UpdataSoftware.h"
#include "widgets/singleTools/FirmwareUpgradeWidget.h"

class TestUpgradeCanAdapter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_bench.SetUp()); }
    void cleanupTestCase() { m_bench.TearDown(); }
    void init() { m_bench.Reset(); }

    void changesTheBaud();
    void sameBaudIsLeftAsItIs();
    void answerWithoutValueIsAFailedQuery();
    void refusedChangeStaysInConfigMode();
    void silentAdapter();
    void refusedWithoutConnection();
    void baudReplyParsing();

private:
    // Clicks the (hidden) baud button with the combo box at index and plays
    // the adapter until its last report.
    QStringList RunBaud(FakeCanAdapter& fake, int index)
    {
        m_bench.Page()->findChild<QComboBox*>("comboBox_usb_to_can_baud")->setCurrentIndex(index);
        m_bench.Page()->findChild<QPushButton*>("btn_set_usb_o_can_baud")->click();
        // A greeting once the engine has the port, so that its first look
        // at the line ends early.
        fake.Pump(150);
        m_bench.Pty().Write("\r\n");
        const QStringList ends = {"退出CAN设置模式成功", "退出CAN设置模式失败", "进入CAN配置模式失败",
                                  "设置CAN波特率失败"};
        fake.RunUntil([&]() { return !m_bench.Reports().isEmpty() && ends.contains(m_bench.Reports().last().text); },
                      15000);
        fake.Pump(100);
        QStringList texts;
        for (const UpgradeBench::Report& r : m_bench.Reports()) {
            texts << r.text;
            if (r.info.percent != 0 || r.info.cancelType != 0)
                texts << "unexpected record";
        }
        return texts;
    }
    UpgradeBench m_bench;
};

void TestUpgradeCanAdapter::changesTheBaud()
{
    FakeCanAdapter::Options options;
    options.canBaud = "1000000";
    FakeCanAdapter fake(m_bench.Pty(), options);
    const QStringList texts = RunBaud(fake, 1);

    QCOMPARE(fake.AtCommands(), QList<QByteArray>({"AT+CG\r\n", "AT+CAN_BAUD=?\r\n", "AT+CAN_BAUD=500000\r\n",
                                                   "AT+ET\r\n"}));
    QCOMPARE(fake.CanBaud(), QByteArray("500000"));
    QCOMPARE(texts, QStringList({"开始设置CAN波特率", "str", "查询当前波特率", "str", "str", "退出CAN设置模式", "str",
                                 "退出CAN设置模式成功"}));
    QVERIFY(fake.Errors().isEmpty());
    // The page is not busy with an upgrade for this.
    QVERIFY(m_bench.PageIdle());
    QVERIFY(m_bench.DialogTexts().isEmpty());
}

void TestUpgradeCanAdapter::sameBaudIsLeftAsItIs()
{
    FakeCanAdapter::Options options;
    options.canBaud = "250000";
    FakeCanAdapter fake(m_bench.Pty(), options);
    const QStringList texts = RunBaud(fake, 2);

    QCOMPARE(fake.AtCommands(), QList<QByteArray>({"AT+CG\r\n", "AT+CAN_BAUD=?\r\n", "AT+ET\r\n"}));
    QCOMPARE(texts, QStringList({"开始设置CAN波特率", "str", "查询当前波特率", "str", "当前波特率不用重新设置",
                                 "退出CAN设置模式", "str", "退出CAN设置模式成功"}));
}

void TestUpgradeCanAdapter::answerWithoutValueIsAFailedQuery()
{
    FakeCanAdapter::Options options;
    options.baudReplyWithoutColon = true;
    FakeCanAdapter fake(m_bench.Pty(), options);
    const QStringList texts = RunBaud(fake, 0);

    // Nothing is set on a value that could not be read; the adapter still
    // leaves its configuration mode.
    QCOMPARE(fake.AtCommands(), QList<QByteArray>({"AT+CG\r\n", "AT+CAN_BAUD=?\r\n", "AT+ET\r\n"}));
    QCOMPARE(texts, QStringList({"开始设置CAN波特率", "str", "查询当前波特率", "str", "查询CAN波特率失败",
                                 "退出CAN设置模式", "str", "退出CAN设置模式成功"}));
}

void TestUpgradeCanAdapter::refusedChangeStaysInConfigMode()
{
    FakeCanAdapter::Options options;
    options.canBaud = "1000000";
    options.refuseBaud = true;
    FakeCanAdapter fake(m_bench.Pty(), options);
    const QStringList texts = RunBaud(fake, 2);

    // No "AT+ET" after a refused change: the run ends there.
    QCOMPARE(fake.AtCommands(), QList<QByteArray>({"AT+CG\r\n", "AT+CAN_BAUD=?\r\n", "AT+CAN_BAUD=250000\r\n"}));
    QCOMPARE(fake.CanBaud(), QByteArray("1000000"));
    QCOMPARE(texts, QStringList({"开始设置CAN波特率", "str", "查询当前波特率", "str", "str", "设置CAN波特率失败"}));
    QVERIFY(fake.Errors().isEmpty());
}

void TestUpgradeCanAdapter::silentAdapter()
{
    FakeCanAdapter::Options options;
    options.answerAt = false;
    FakeCanAdapter fake(m_bench.Pty(), options);
    const QStringList texts = RunBaud(fake, 0);

    QCOMPARE(fake.AtCommands(), QList<QByteArray>({"AT+CG\r\n"}));
    QCOMPARE(texts, QStringList({"开始设置CAN波特率", "str", "进入CAN配置模式失败"}));
}

void TestUpgradeCanAdapter::refusedWithoutConnection()
{
    g_serial_is_connected = false;
    m_bench.Page()->findChild<QPushButton*>("btn_set_usb_o_can_baud")->click();
    g_serial_is_connected = true;
    QCOMPARE(m_bench.DialogTexts(), QStringList({"请连接串口"}));
    QVERIFY(m_bench.Pty().ReadAvailable(300).isEmpty());
}

void TestUpgradeCanAdapter::baudReplyParsing()
{
    QString baud;
    QVERIFY(UpdataSoftware::CanBaudFromReply("+CAN_BAUD:500000\r\nOK\r\n", &baud));
    QCOMPARE(baud, QString("500000"));
    QVERIFY(!UpdataSoftware::CanBaudFromReply("+CAN_BAUD 500000\r\nOK\r\n", &baud));
    QVERIFY(!UpdataSoftware::CanBaudFromReply("+CAN_BAUD:500000", &baud));
}

QTEST_MAIN(TestUpgradeCanAdapter)
#include "tst_upgrade_can_adapter.moc"
