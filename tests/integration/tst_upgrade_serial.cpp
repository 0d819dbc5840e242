// The framed serial upgrade end to end: the page starts it, the device
// worker hands the port to the engine, and a fake bootloader on a pty
// checks every byte the engine writes.
#include <QDir>
#include <QtTest>

#include "support/FakeBootloader.h"
#include "support/PtyDevice.h"
#include "support/UpgradeBench.h"
#include "commom/Global.h"
#include "widgets/general/UpgradeProcessInformation.h"

class TestUpgradeSerial : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_bench.SetUp()); }
    void cleanupTestCase() { m_bench.TearDown(); }
    void init() { m_bench.Reset(); }

    void fullUpgrade();
    void droppedAcknowledgementIsResent();
    void missingFileFails();

private:
    UpgradeBench m_bench;
};

void TestUpgradeSerial::fullUpgrade()
{
    QByteArray plain;
    const QByteArray file = UpgradeBench::EncipheredImage(200, &plain);
    QCOMPARE(file.size(), 208);
    // Named like a scratch file the engine once kept in the working folder.
    const QString path = m_bench.WriteFirmware("test1.firmware", file);

    FakeBootloader::Options options;
    options.flashSize = 1024; // larger than the image: the CRC covers the 0xFF padding
    FakeBootloader fake(m_bench.Pty(), options);
    m_bench.Start(path);
    QCOMPARE(m_bench.ButtonText(), QString("取消升级"));
    QVERIFY(g_is_running_upgrade);

    QVERIFY(m_bench.RunToIdle(fake, 60000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));

    // Reboot sequence, byte for byte.
    QVERIFY(fake.RebootStart() >= 0);
    const QByteArray reboot = UpgradeBench::ExpectedRebootSequence();
    QCOMPARE(fake.Stream().mid(fake.RebootStart(), reboot.size()).toHex(), reboot.toHex());

    // Right after it, nothing but the request string chosen by the banner
    // (split over two reads) and the type G header, ten times.
    QVERIFY(fake.InBootloader());
    QCOMPARE(fake.RequestStringCount(), 10);
    QCOMPARE(fake.Stream().mid(fake.RebootStart() + reboot.size(), 160), QByteArray("GD32MCU_TALVEMIR").repeated(10));

    // The bootloader conversation in order: three syncs, one erase, the
    // chunks, three information requests, ten CRC requests, ten reboots.
    QStringList expected;
    expected << "C33" << "C33" << "C33" << "C35" << "D0" << "D64" << "D128" << "D192";
    for (int i = 0; i < 3; ++i)
        expected << "C34";
    for (int i = 0; i < 10; ++i)
        expected << "C41";
    for (int i = 0; i < 10; ++i)
        expected << "C48";
    QCOMPARE(fake.Events(), expected);
    for (const FakeBootloader::LongCommand& c : fake.Commands()) {
        QCOMPARE(c.f1, 0.0f);
        QCOMPARE(c.f2, 0.0f);
        QVERIFY(c.u1 == 0 && c.u2 == 0 && c.i1 == 0 && c.i2 == 0);
    }
    QCOMPARE(fake.Image(), file);
    QCOMPARE(fake.ReportedCrc(), FakeBootloader::PaddedCrc(plain + plain.mid(184, 8), 1024));

    // The banner came while the engine listened quietly: no report of it.
    for (const UpgradeBench::Report& r : m_bench.Reports())
        QVERIFY2(!r.text.startsWith("已收到同步字符串"), qPrintable(r.text));

    // Progress: 0..99 while data moves, 100 only at the end.
    QList<int> transfer;
    for (const UpgradeBench::Report& r : m_bench.Reports())
        if (r.text == "正在升级...")
            transfer << r.info.percent;
    QCOMPARE(transfer, (QList<int>{30, 60, 91, 99}));
    QVERIFY(!m_bench.Reports().isEmpty());
    QCOMPARE(m_bench.Reports().last().text, QString("升级成功"));
    QCOMPARE(m_bench.Reports().last().info.percent, 100);
    QCOMPARE(m_bench.Reports().last().info.finished, 1u);
    QCOMPARE(m_bench.Reports().last().info.remaining, 0u);

    // The page: idle, 812 sent after the running flag was cleared.
    QCOMPARE(m_bench.Disconnects(), 1);
    QVERIFY(!m_bench.RunningAtDisconnect());
    QVERIFY(m_bench.DialogTexts().contains("全部升级成功"));
    QVERIFY(!m_bench.DialogTexts().contains("升级失败"));
    QCOMPARE(m_bench.LabelText("label_upgrade"), QString("升级结束："));
    QVERIFY(m_bench.LogText().contains("升级成功"));
    QCOMPARE(UpgradeBench::ReadFile(path), file);
    QVERIFY(QFile::remove(path));
}

void TestUpgradeSerial::droppedAcknowledgementIsResent()
{
    const QByteArray file = UpgradeBench::EncipheredImage(200);
    const QString path = m_bench.WriteFirmware("drop.firmware", file);
    FakeBootloader::Options options;
    // Chunk 1: its acknowledgement is lost, line noise comes instead.
    // Chunk 2: the device acknowledges the chunk before it.
    options.dropAckOfChunk = 1;
    options.dropAckNoise = QByteArray::fromHex("aa00ff55");
    options.staleAckOfChunk = 2;
    FakeBootloader fake(m_bench.Pty(), options);
    m_bench.Start(path);

    QVERIFY(m_bench.RunToIdle(fake, 90000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));
    // The same chunk again after a re-sync, then on.
    QCOMPARE(fake.ChunkOffsets(), (QList<uint32_t>{0, 64, 64, 128, 128, 192}));
    QCOMPARE(fake.Image(), file);
    // Between an unacknowledged chunk and its resend: a re-sync, nothing else.
    const QStringList events = fake.Events();
    for (const QString& chunk : {QString("D64"), QString("D128")}) {
        const int first = events.indexOf(chunk);
        const int again = events.indexOf(chunk, first + 1);
        QVERIFY(first >= 0 && again > first);
        QCOMPARE(events.mid(first + 1, again - first - 1), (QStringList{"C33", "C33", "C33"}));
    }
    QCOMPARE(m_bench.Reports().last().info.percent, 100);
    QCOMPARE(m_bench.Disconnects(), 1);
    QVERIFY(m_bench.NoTempFiles());
}

void TestUpgradeSerial::missingFileFails()
{
    FakeBootloader fake(m_bench.Pty(), FakeBootloader::Options());
    m_bench.Start(m_bench.FilePath("missing.firmware"));

    QVERIFY(m_bench.RunToIdle(fake, 30000));
    QCOMPARE(fake.CountOf(35), 0);
    QCOMPARE(fake.ChunkCount(), 0);
    QVERIFY(!m_bench.Reports().isEmpty());
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(m_bench.DialogTexts().contains("升级失败"));
    QVERIFY(m_bench.LogText().contains("固件文件读取错误"));
    QVERIFY(m_bench.NoTempFiles());
}

QTEST_MAIN(TestUpgradeSerial)
#include "tst_upgrade_serial.moc"
