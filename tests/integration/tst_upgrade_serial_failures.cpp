// The framed serial upgrade when it must not succeed: a CRC the device
// does not confirm, a cancel in the middle or in the erase wait, a flash
// size no device has, and images refused before the device hears a word.
// Each run ends with one final report and the page idle.
#include <QDir>
#include <QLabel>
#include <QtTest>

#include "support/FakeBootloader.h"
#include "support/PtyDevice.h"
#include "support/StreamingImuDevice.h"
#include "support/UpgradeBench.h"
#include "commom/Global.h"
#include "widgets/general/UpgradeProcessInformation.h"
#include "widgets/singleTools/AHRSDataWidget.h"

class TestUpgradeSerialFailures : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_bench.SetUp()); }
    void cleanupTestCase() { m_bench.TearDown(); }
    void init() { m_bench.Reset(); }

    void crcMismatchFails();
    void cancelInTheMiddle();
    void cancelDuringTheEraseWait();
    void cancelDuringTheResyncAfterAFailedErase();
    void flashSizeBeyondAnyDeviceFails();
    void imageWithoutHeaderIsRefusedBeforeErase_data();
    void imageWithoutHeaderIsRefusedBeforeErase();

private:
    UpgradeBench m_bench;
};

void TestUpgradeSerialFailures::crcMismatchFails()
{
    // Named like a scratch file the engine once kept in the working folder.
    const QByteArray file = UpgradeBench::EncipheredImage(200);
    const QString path = m_bench.WriteFirmware("test2.firmware", file);
    FakeBootloader::Options options;
    options.wrongCrc = true;
    FakeBootloader fake(m_bench.Pty(), options);
    m_bench.Start(path);

    QVERIFY(m_bench.RunToIdle(fake, 60000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));
    QCOMPARE(fake.CountOf(41), 10);
    QCOMPARE(fake.CountOf(48), 0); // no reboot after a failed check
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QCOMPARE(m_bench.Reports().last().text, QString("校验失败，请重新升级"));
    QVERIFY(m_bench.DialogTexts().contains("升级失败"));
    QVERIFY(!m_bench.DialogTexts().contains("全部升级成功"));
    QCOMPARE(m_bench.Disconnects(), 0);
    QVERIFY(m_bench.LogText().contains("校验失败，请重新升级"));
    QCOMPARE(UpgradeBench::ReadFile(path), file);
    QVERIFY(QFile::remove(path));
}

void TestUpgradeSerialFailures::cancelInTheMiddle()
{
    const QString path = m_bench.WriteFirmware("big.firmware", UpgradeBench::EncipheredImage(2000));
    FakeBootloader fake(m_bench.Pty(), FakeBootloader::Options());
    m_bench.Start(path);

    bool clicked = false;
    QVERIFY(m_bench.RunToIdle(fake, 60000, [&]() {
        if (!clicked && fake.ChunkCount() >= 3) {
            clicked = true;
            m_bench.ClickUpgradeButton();
            // The click cancels; the caption waits for the engine's report.
            QVERIFY(g_cancelUpgradeFlag);
        }
    }));
    QVERIFY(clicked);
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));
    QVERIFY(fake.ChunkCount() < 32);
    QCOMPARE(fake.CountOf(41), 0);
    QCOMPARE(fake.CountOf(48), 0);
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_BY_USER));
    QVERIFY(!m_bench.DialogTexts().contains("升级失败"));
    QCOMPARE(m_bench.Disconnects(), 0);
    QCOMPARE(m_bench.LabelText("label_upgrade"), QString("升级结束："));
    QVERIFY(m_bench.LogText().contains("正在取消升级..."));
    QVERIFY(m_bench.NoTempFiles());

    // The device streams again: its frames reach the AHRS page.
    AHRSDataWidget ahrs(nullptr);
    QLabel* time = ahrs.findChild<QLabel*>("label_mcu_time");
    const QString before = time->text();
    int n = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        m_bench.Pty().Write(StreamingImuDevice::AhrsFrame(StreamingImuDevice::StreamSample(n++)))
            && time->text() != before,
        20000);
}

void TestUpgradeSerialFailures::cancelDuringTheEraseWait()
{
    FakeBootloader fake(m_bench.Pty(), FakeBootloader::Options());
    m_bench.Start(m_bench.WriteFirmware("erase.firmware", UpgradeBench::EncipheredImage(200)));
    bool clicked = false;
    QVERIFY(m_bench.RunToIdle(fake, 60000, [&]() {
        if (!clicked && fake.CountOf(35) >= 1) {
            clicked = true;
            m_bench.ClickUpgradeButton();
        }
    }));
    QVERIFY(clicked);
    QCOMPARE(fake.ChunkCount(), 0);
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_BY_USER));
    QVERIFY(!m_bench.LogText().contains("擦除成功"));
    QVERIFY(!m_bench.LogText().contains("开始升级..."));
}

// Every erase of the first attempt fails; the user cancels while the
// engine syncs again for its second attempt: no further erase goes out.
void TestUpgradeSerialFailures::cancelDuringTheResyncAfterAFailedErase()
{
    FakeBootloader::Options options;
    options.failedErases = 4; // the first erase and its three repeats
    FakeBootloader fake(m_bench.Pty(), options);
    m_bench.Start(m_bench.WriteFirmware("resync.firmware", UpgradeBench::EncipheredImage(200)));
    bool clicked = false;
    QVERIFY(m_bench.RunToIdle(fake, 60000, [&]() {
        if (!clicked && fake.CountOf(35) == 4 && fake.Events().last() == "C33") {
            clicked = true;
            m_bench.ClickUpgradeButton();
        }
    }));
    QVERIFY(clicked);
    QCOMPARE(fake.CountOf(35), 4);
    QCOMPARE(fake.ChunkCount(), 0);
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_BY_USER));
    QVERIFY(!m_bench.LogText().contains("擦除成功"));
}

void TestUpgradeSerialFailures::flashSizeBeyondAnyDeviceFails()
{
    FakeBootloader::Options options;
    options.flashSize = 0xFFFFFFF0u;
    FakeBootloader fake(m_bench.Pty(), options);
    m_bench.Start(m_bench.WriteFirmware("flash.firmware", UpgradeBench::EncipheredImage(200)));
    QVERIFY(m_bench.RunToIdle(fake, 60000));
    QCOMPARE(fake.CountOf(34), 3); // asked once, refused at once
    QCOMPARE(fake.CountOf(41), 0);
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(m_bench.LogText().contains("请求bootloader固件大小失败"));
}

void TestUpgradeSerialFailures::imageWithoutHeaderIsRefusedBeforeErase_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QByteArray() << "固件文件读取错误";
    QTest::newRow("shorter than its header") << QByteArray::fromHex("00112233445502") << "固件文件读取错误";
    QTest::newRow("cut to 1000 bytes") << UpgradeBench::EncipheredImage(2000).left(1000) << "固件文件读取错误";
    QTest::newRow("unknown image type") << UpgradeBench::UnknownTypeImage() << "固件对应类型错误";
}

void TestUpgradeSerialFailures::imageWithoutHeaderIsRefusedBeforeErase()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    FakeBootloader fake(m_bench.Pty(), FakeBootloader::Options());
    m_bench.Start(m_bench.WriteFirmware("refused.firmware", bytes));

    QVERIFY(m_bench.RunToIdle(fake, 30000));
    QVERIFY(fake.Stream().isEmpty()); // the device stays in its application
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(m_bench.LogText().contains(text));
    QVERIFY(m_bench.DialogTexts().contains("升级失败"));
}

QTEST_MAIN(TestUpgradeSerialFailures)
#include "tst_upgrade_serial_failures.moc"
