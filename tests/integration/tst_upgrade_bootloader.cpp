// The compatible-mode upgrade end to end: the page starts it, the engine
// speaks single command bytes to a fake raw-byte bootloader on a pty, which
// checks every block; the tests compare the bytes on the line exactly.
#include <QDir>
#include <QtTest>

#include <atomic>

#include "support/FakeBootloader.h"
#include "support/FakeRawBootloader.h"
#include "support/PtyDevice.h"
#include "support/UpgradeBench.h"
#include "commom/CommonFunction.h"
#include "commom/Global.h"
#include "manager/RecvDataHandleManager.h"
#include "workerThread/MessageIds.h"
#include "widgets/general/UpgradeProcessInformation.h"

namespace {
// What the host writes after its last request string when every answer
// comes at once.
QByteArray ExpectedConversation(const QByteArray& file)
{
    QByteArray out;
    out += QByteArray::fromHex("3120");                // version, then the lone 0x20
    out += QByteArray(134, '\0') + QByteArray::fromHex("2120");
    out += QByteArray::fromHex("2320");
    int sent = 0;
    while (sent < file.size()) {
        const int n = qMin(128, file.size() - sent);
        const QByteArray data = file.mid(sent, n);
        sent += n;
        out += char(0x27);
        out += char(sent & 0xFF);
        out += char(n);
        out += data;
        out += char(crc_crc8(reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned char>(n)));
        out += char(0x20);
    }
    out += QByteArray::fromHex("22042020");
    out += QByteArray::fromHex("2920");
    out += QByteArray::fromHex("3020");
    return out;
}
} // namespace

class TestUpgradeBootloader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_bench.SetUp());
        m_bench.SelectMode("btn_vorqa5_updata");
    }
    void cleanupTestCase() { m_bench.TearDown(); }
    void init() { m_bench.Reset(); }

    void fullUpgradeExactBytes();
    void errorStatusResendsTheSameBlock();
    void wrongCrcFails();
    void silentBootloaderFails();
    void flashSizeBeyondAnyDeviceFails();
    void cancelWhileProgramming();
    void cancelAtBlockStartIsAFailure();
    void unusableFileRefusedBeforeErase_data();
    void unusableFileRefusedBeforeErase();

private:
    bool Run(FakeRawBootloader& fake, int timeoutMs, const std::function<void()>& step = {})
    {
        return m_bench.RunToIdle([&fake](int ms) { fake.Pump(ms); }, timeoutMs, step);
    }
    QStringList ReportTexts() const
    {
        QStringList texts;
        for (const UpgradeBench::Report& r : m_bench.Reports())
            texts << r.text;
        return texts;
    }
    UpgradeBench m_bench;
};

void TestUpgradeBootloader::fullUpgradeExactBytes()
{
    QByteArray plain;
    // 300 plain bytes make a file of 304: blocks of 128, 128 and 48.
    const QByteArray file = UpgradeBench::EncipheredImage(300, &plain);
    QCOMPARE(file.size(), 304);
    FakeRawBootloader::Options options;
    options.flashSize = 1000;
    FakeRawBootloader fake(m_bench.Pty(), options);
    // Named like a scratch file the engine once kept in the working folder.
    const QString path = m_bench.WriteFirmware("test.firmware", file);
    m_bench.Start(path);

    QVERIFY(Run(fake, 30000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));

    // The reboot sequence, then at once the ten request strings.
    const QByteArray reboot = UpgradeBench::ExpectedRebootSequence();
    const int rebootAt = fake.Stream().indexOf(reboot);
    QVERIFY(rebootAt >= 0);
    QCOMPARE(fake.Stream().mid(rebootAt + reboot.size()).left(160), QByteArray("IMU_ARRAY_UPDATE").repeated(10));
    QCOMPARE(fake.CommandStart(), rebootAt + reboot.size() + 160);
    QCOMPARE(fake.Stream().mid(fake.CommandStart()).toHex(), ExpectedConversation(file).toHex());
    QCOMPARE(fake.Events(), QStringList({"V", "S", "E", "P128", "P128", "P48", "I4", "C", "R"}));
    QCOMPARE(fake.Image(), file); // sent as stored, enciphered

    const QStringList texts = ReportTexts();
    QCOMPARE(texts.first(), QString("等待v1 bootloader同步,若不同步请重启"));
    QVERIFY(texts.contains("v1 bootloader同步成功"));
    QVERIFY(texts.contains("擦除成功"));
    QCOMPARE(texts.count("正在升级..."), 3);
    QCOMPARE(m_bench.Reports().last().text, QString("升级成功"));
    QCOMPARE(m_bench.Reports().last().info.percent, 100);
    QCOMPARE(m_bench.Reports().last().info.finished, 1u);
    // Progress while blocks move: 128/304, 256/304 of 99, never 100.
    QCOMPARE(m_bench.Reports().at(texts.indexOf("正在升级...")).info.percent, 41);
    QVERIFY(m_bench.DialogTexts().contains("全部升级成功"));
    QCOMPARE(m_bench.Disconnects(), 1);
    QCOMPARE(UpgradeBench::ReadFile(path), file);
    QVERIFY(QFile::remove(path));
}

void TestUpgradeBootloader::errorStatusResendsTheSameBlock()
{
    const QByteArray file = UpgradeBench::EncipheredImage(300);
    FakeRawBootloader::Options options;
    options.badStatusOfBlock = 1; // a status pair 0x12 0x11
    FakeRawBootloader fake(m_bench.Pty(), options);
    m_bench.Start(m_bench.WriteFirmware("resend.firmware", file));

    QVERIFY(Run(fake, 30000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));
    QCOMPARE(fake.Events(), QStringList({"V", "S", "E", "P128", "P128", "P128", "P48", "I4", "C", "R"}));
    QCOMPARE(fake.Image(), file);
    QCOMPARE(m_bench.Reports().last().info.percent, 100);
}

void TestUpgradeBootloader::wrongCrcFails()
{
    FakeRawBootloader::Options options;
    options.wrongCrc = true;
    FakeRawBootloader fake(m_bench.Pty(), options);
    m_bench.Start(m_bench.WriteFirmware("crc.firmware", UpgradeBench::EncipheredImage(200)));

    QVERIFY(Run(fake, 30000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));
    QVERIFY(fake.Events().contains("C"));
    QVERIFY(!fake.Events().contains("R")); // no reboot into a bad image
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(m_bench.DialogTexts().contains("升级失败"));
    QVERIFY(!m_bench.DialogTexts().contains("全部升级成功"));
    QCOMPARE(m_bench.Disconnects(), 0);
    QVERIFY(!QFile::exists("test.firmware"));
}

void TestUpgradeBootloader::silentBootloaderFails()
{
    FakeRawBootloader::Options options;
    options.answerSync = false;
    FakeRawBootloader fake(m_bench.Pty(), options);
    m_bench.Start(m_bench.WriteFirmware("silent.firmware", UpgradeBench::EncipheredImage(200)));

    QVERIFY(Run(fake, 30000));
    QCOMPARE(fake.Events().count("S"), 3); // three tries, then it gives up
    QVERIFY(!fake.Events().contains("E"));
    const QStringList texts = ReportTexts();
    QVERIFY(texts.contains("v1 bootloader同步无响应"));
    QVERIFY(!texts.contains("v1 bootloader同步成功"));
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(m_bench.DialogTexts().contains("升级失败"));
    QVERIFY(m_bench.PageIdle());
}

void TestUpgradeBootloader::flashSizeBeyondAnyDeviceFails()
{
    FakeRawBootloader::Options options;
    options.flashSize = 0xFFFFFFF0u;
    FakeRawBootloader fake(m_bench.Pty(), options);
    m_bench.Start(m_bench.WriteFirmware("flash.firmware", UpgradeBench::EncipheredImage(200)));
    QVERIFY(Run(fake, 30000));
    QVERIFY(fake.Events().contains("I4"));
    QVERIFY(!fake.Events().contains("C"));
    QVERIFY(m_bench.LogText().contains("请求bootloader固件大小失败"));
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
}

void TestUpgradeBootloader::cancelWhileProgramming()
{
    // The third block is never answered: the cancel comes while the engine
    // waits for its status, not at the start of a block.
    FakeRawBootloader::Options options;
    options.silentFromBlock = 2;
    FakeRawBootloader fake(m_bench.Pty(), options);
    m_bench.Start(m_bench.WriteFirmware("big.firmware", UpgradeBench::EncipheredImage(8192)));

    bool clicked = false;
    QVERIFY(Run(fake, 30000, [&]() {
        if (!clicked && fake.BlockCount() >= 3) {
            clicked = true;
            m_bench.ClickUpgradeButton();
        }
    }));
    QVERIFY(clicked);
    QVERIFY(fake.BlockCount() < 64);
    QVERIFY(!fake.Events().contains("C"));
    QVERIFY(!fake.Events().contains("R"));
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_BY_USER));
    QVERIFY(!m_bench.DialogTexts().contains("升级失败"));
    QCOMPARE(m_bench.LabelText("label_upgrade"), QString("升级结束："));
    QCOMPARE(m_bench.Disconnects(), 0);
}

void TestUpgradeBootloader::cancelAtBlockStartIsAFailure()
{
    // Set just before the first block's good status goes out, so the engine
    // reports that block and then meets the cancel exactly at the start of
    // the second block.
    FakeRawBootloader::Options options;
    bool armed = true;
    options.beforeBlockStatus = [&armed](int index) {
        if (index == 0 && armed) {
            armed = false;
            g_cancelUpgradeFlag = true;
        }
    };
    FakeRawBootloader fake(m_bench.Pty(), options);
    m_bench.Start(m_bench.WriteFirmware("half.firmware", UpgradeBench::EncipheredImage(300)));
    QVERIFY(Run(fake, 30000));
    QVERIFY(!armed);
    QCOMPARE(fake.Events(), QStringList({"V", "S", "E", "P128"}));
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QCOMPARE(ReportTexts().count("正在升级..."), 1);
    QVERIFY(!ReportTexts().contains("烧写失败，请重新升级"));
    QCOMPARE(m_bench.Disconnects(), 0);
}

void TestUpgradeBootloader::unusableFileRefusedBeforeErase_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing") << "nothing-here.firmware" << QByteArray() << "固件文件读取错误";
    QTest::newRow("truncated") << "cut.firmware" << UpgradeBench::EncipheredImage(300).left(100) << "固件文件读取错误";
    QTest::newRow("wrong name") << "image.bin" << UpgradeBench::EncipheredImage(300) << "文件命名错误";
    QTest::newRow("unknown image type") << "type.firmware" << UpgradeBench::UnknownTypeImage() << "固件对应类型错误";
    QTest::newRow("oversized") << "huge.firmware" << QByteArray(16 * 1024 * 1024 + 16, '\x5a') << "固件文件读取错误";
}

void TestUpgradeBootloader::unusableFileRefusedBeforeErase()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const QString path = QTest::currentDataTag() == QByteArray("missing") ? m_bench.FilePath(name)
                                                                           : m_bench.WriteFirmware(name, bytes);
    FakeRawBootloader fake(m_bench.Pty(), FakeRawBootloader::Options());
    m_bench.Start(path);

    QVERIFY(Run(fake, 30000));
    QVERIFY(fake.Stream().isEmpty()); // the device stays in its application
    QVERIFY(m_bench.LogText().contains(text));
    if (QTest::currentDataTag() == QByteArray("missing")) {
        QVERIFY(m_bench.LogText().contains("固件文件读取错误，文件打开失败：" + path + "（No such file or directory）"));
    }
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(m_bench.DialogTexts().contains("升级失败"));
    QVERIFY(m_bench.PageIdle());
}

QTEST_MAIN(TestUpgradeBootloader)
#include "tst_upgrade_bootloader.moc"
