// The framed serial upgrade when it must not succeed: a CRC the device
// does not confirm, a cancel in the middle, and images refused before the
// device is erased. Each run ends with one final report and the page idle.
#include <QDir>
#include <QtTest>

#include "support/FakeBootloader.h"
#include "support/PtyDevice.h"
#include "support/UpgradeBench.h"
#include "commom/Global.h"
#include "widgets/general/UpgradeProcessInformation.h"

class TestUpgradeSerialFailures : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_bench.SetUp()); }
    void cleanupTestCase() { m_bench.TearDown(); }
    void init() { m_bench.Reset(); }

    void crcMismatchFails();
    void cancelInTheMiddle();
    void imageWithoutHeaderIsRefusedBeforeErase_data();
    void imageWithoutHeaderIsRefusedBeforeErase();

private:
    UpgradeBench m_bench;
};

void TestUpgradeSerialFailures::crcMismatchFails()
{
    const QString path = m_bench.WriteFirmware("crc.firmware", UpgradeBench::EncipheredImage(200));
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
    QVERIFY(m_bench.NoTempFiles());
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
}

void TestUpgradeSerialFailures::imageWithoutHeaderIsRefusedBeforeErase_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("blockTempFile");
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("shorter than its header") << QByteArray::fromHex("00112233445502") << false;
    QTest::newRow("temporary file cannot be made") << UpgradeBench::EncipheredImage(200) << true;
}

void TestUpgradeSerialFailures::imageWithoutHeaderIsRefusedBeforeErase()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, blockTempFile);
    // A folder in the way of the deciphered copy makes its open fail.
    if (blockTempFile)
        QVERIFY(QDir(QDir::currentPath()).mkdir("test2.firmware"));
    FakeBootloader fake(m_bench.Pty(), FakeBootloader::Options());
    m_bench.Start(m_bench.WriteFirmware("refused.firmware", bytes));

    const bool idle = m_bench.RunToIdle(fake, 30000);
    if (blockTempFile)
        QVERIFY(QDir(QDir::currentPath()).rmdir("test2.firmware"));
    QVERIFY(idle);
    QCOMPARE(fake.RequestStringCount(), 0);
    QCOMPARE(fake.CountOf(33), 0);
    QCOMPARE(fake.CountOf(35), 0);
    QCOMPARE(fake.ChunkCount(), 0);
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(m_bench.DialogTexts().contains("升级失败"));
    QVERIFY(m_bench.NoTempFiles());
}

QTEST_MAIN(TestUpgradeSerialFailures)
#include "tst_upgrade_serial_failures.moc"
