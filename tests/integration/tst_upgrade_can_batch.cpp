// The CAN batch upgrade end to end: the page starts it, the engine talks to
// a fake USB-to-CAN adapter with devices behind it on a pty: the adapter's
// AT texts, the id collection, the device-count question and, device by
// device, the framed bootloader steps with the CRC taken from the file name.
#include <QMessageBox>
#include <QtTest>

#include "support/FakeCanAdapter.h"
#include "support/PtyDevice.h"
#include "support/UpgradeBench.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "widgets/general/UpdataSoftware.h"
#include "widgets/general/UpgradeProcessInformation.h"
#include "widgets/singleTools/FirmwareUpgradeWidget.h"

class TestUpgradeCanBatch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_bench.SetUp());
        m_bench.SelectMode("btn_ahrs_batch_updata");
        // The bytes stay as they are; only the long fixed pauses shrink.
        UpdataSoftware::SetBatchPauseScale(0.02);
    }
    void cleanupTestCase()
    {
        UpdataSoftware::SetBatchPauseScale(1.0);
        m_bench.TearDown();
    }
    void init()
    {
        m_bench.Reset();
        g_upgradedDevicesIsNormal = 0;
    }
    void cleanup() { DialogSeam::SetHandler({}); }

    void twoDevicesUpgraded();
    void countRefusedByTheUser();
    void crcNotConfirmed();
    void silentAdapterUntilCancel();
    void refusedBeforeTheBus_data();
    void refusedBeforeTheBus();
    void idReplyParser();

private:
    bool Run(FakeCanAdapter& fake, int timeoutMs)
    {
        return m_bench.RunToIdle([&fake](int ms) { fake.Pump(ms); }, timeoutMs);
    }
    void Answer(QMessageBox::StandardButton button)
    {
        DialogSeam::SetHandler([button](const DialogSeam::Request& r) {
            return r.text == "设备数量是否符合实际" ? QVariant(int(button)) : QVariant();
        });
    }
    QString NamedFirmware(const QString& base, int plainSize, bool rightCrc = true)
    {
        const QString plainPath = m_bench.WriteFirmware(base + ".firmware", UpgradeBench::EncipheredImage(plainSize));
        // The name the CRC tool shows for it.
        QString crc = m_bench.Page()->InvCipherFile(plainPath);
        if (!rightCrc)
            crc = QString::number(crc.toUInt() ^ 1u);
        const QString named = FirmwareUpgradeWidget::CrcFileName(plainPath, crc);
        QFile::rename(plainPath, named);
        return named;
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

void TestUpgradeCanBatch::twoDevicesUpgraded()
{
    const QString path = NamedFirmware("ahrs", 150);
    QVERIFY(path.contains("#CRC"));
    FakeCanAdapter::Options options;
    options.deviceIds = {0x0102A0B0u, 7u};
    FakeCanAdapter fake(m_bench.Pty(), options);
    Answer(QMessageBox::Yes);
    m_bench.Start(path);

    QVERIFY(Run(fake, 60000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));

    // Adapter to id 100 twice, then each device's id twice, then broadcast.
    QList<QByteArray> at;
    for (uint32_t id : {100u, 100u, 0x0102A0B0u, 0x0102A0B0u, 7u, 7u, 255u})
        at << "AT+CAN_BATCHFRAMEFORMAT=1,1," + QByteArray::number(id) + ",100,200\r\n";
    QCOMPARE(fake.AtCommands(), at);
    QCOMPARE(fake.BatchFrames(), 90);
    QCOMPARE(fake.BatchTexts(), 90);
    QCOMPARE(fake.IdQueries(), 300);

    const QByteArray file = UpgradeBench::EncipheredImage(150);
    QCOMPARE(fake.ImageOf(0x0102A0B0u), file);
    QCOMPARE(fake.ImageOf(7u), file);
    QCOMPARE(fake.RebootsOf(255), 20);
    QCOMPARE(fake.Events().filter("C35@").size(), 2);

    QVERIFY(m_bench.DialogTexts().contains("设备数量是否符合实际"));
    const QStringList texts = ReportTexts();
    QVERIFY(texts.contains("正在设置第[1]个USB转CAN发送ID"));
    QVERIFY(texts.contains("正在设置第[2]个USB转CAN发送ID"));
    // Before the first device's total is known, the full-width comma.
    QVERIFY(texts.contains("等待bootloader同步，若不同步请重启"));
    QVERIFY(texts.contains("等待bootloader同步,若不同步请重启"));
    QCOMPARE(m_bench.Reports().last().text, QString("升级成功"));
    QCOMPARE(m_bench.Reports().last().info.percent, 100);
    QCOMPARE(m_bench.Reports().last().info.finished, 2u);
    QCOMPARE(m_bench.Reports().last().info.remaining, 0u);
    QVERIFY(m_bench.DialogTexts().contains("全部升级成功"));
    QCOMPARE(m_bench.Disconnects(), 1);
}

void TestUpgradeCanBatch::countRefusedByTheUser()
{
    const QString path = NamedFirmware("refused", 100);
    FakeCanAdapter::Options options;
    options.deviceIds = {11u};
    FakeCanAdapter fake(m_bench.Pty(), options);
    Answer(QMessageBox::No);
    m_bench.Start(path);

    QVERIFY(Run(fake, 30000));
    fake.RunUntil([&]() { return !m_bench.Reports().isEmpty() && m_bench.Reports().last().info.cancelType != 0; },
                  5000);
    QCOMPARE(fake.Events().filter("C35@").size(), 0); // nothing erased
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_BY_USER));
    QCOMPARE(m_bench.ButtonText(), QString("升级"));
    QVERIFY(!g_is_running_upgrade);
    QVERIFY(!m_bench.DialogTexts().contains("升级失败"));
    QCOMPARE(m_bench.Disconnects(), 0);
    QCOMPARE(g_upgradedDevicesIsNormal.load(), 0);
}

void TestUpgradeCanBatch::crcNotConfirmed()
{
    const QString path = NamedFirmware("wrong", 100, false);
    FakeCanAdapter::Options options;
    options.deviceIds = {21u, 22u};
    FakeCanAdapter fake(m_bench.Pty(), options);
    Answer(QMessageBox::Yes);
    m_bench.Start(path);

    QVERIFY(Run(fake, 60000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));
    // The first device fails its check; the second is not touched.
    QCOMPARE(fake.Events().filter("C35@21").size(), 1);
    QCOMPARE(fake.Events().filter("@22").size(), 0);
    QCOMPARE(fake.RebootsOf(255), 0);
    QCOMPARE(m_bench.Reports().at(m_bench.Reports().size() - 2).text, QString("校验失败，请重新升级"));
    QCOMPARE(m_bench.Reports().at(m_bench.Reports().size() - 2).info.percent, 99);
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(m_bench.DialogTexts().contains("升级失败"));
    QVERIFY(!m_bench.DialogTexts().contains("全部升级成功"));
}

void TestUpgradeCanBatch::silentAdapterUntilCancel()
{
    const QString path = NamedFirmware("silent", 100);
    FakeCanAdapter::Options options;
    options.answerAt = false;
    options.deviceIds = {31u};
    FakeCanAdapter fake(m_bench.Pty(), options);
    m_bench.Start(path);

    // The adapter never confirms its id: the engine keeps asking until the
    // user cancels.
    QVERIFY(fake.RunUntil([&]() { return fake.AtCommands().size() >= 4; }, 10000));
    m_bench.ClickUpgradeButton();
    QVERIFY(Run(fake, 10000));
    QVERIFY(fake.AtCommands().size() >= 4);
    for (const QByteArray& line : fake.AtCommands())
        QCOMPARE(line, QByteArray("AT+CAN_BATCHFRAMEFORMAT=1,1,100,100,200\r\n"));
    QCOMPARE(fake.BatchFrames(), 0);
    QCOMPARE(fake.IdQueries(), 0);
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_BY_USER));
    QVERIFY(!m_bench.DialogTexts().contains("升级失败"));
    QCOMPARE(m_bench.LabelText("label_upgrade"), QString("升级结束："));
}

void TestUpgradeCanBatch::refusedBeforeTheBus_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("not a firmware name") << "fw#CRC12345.bin" << UpgradeBench::EncipheredImage(100) << "文件命名错误";
    QTest::newRow("truncated") << "cut#CRC1.firmware" << UpgradeBench::EncipheredImage(2000).left(1000)
                               << "固件文件读取错误";
    QTest::newRow("unknown image type") << "type#CRC1.firmware" << UpgradeBench::UnknownTypeImage()
                                        << "固件对应类型错误";
}

void TestUpgradeCanBatch::refusedBeforeTheBus()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    FakeCanAdapter::Options options;
    options.deviceIds = {41u};
    FakeCanAdapter fake(m_bench.Pty(), options);
    m_bench.Start(m_bench.WriteFirmware(name, bytes));

    QVERIFY(Run(fake, 30000));
    QVERIFY(fake.AtCommands().isEmpty());
    QCOMPARE(fake.IdQueries(), 0);
    QVERIFY(m_bench.LogText().contains(text));
    QCOMPARE(m_bench.Reports().last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(!m_bench.DialogTexts().contains("设备数量是否符合实际"));
}

void TestUpgradeCanBatch::idReplyParser()
{
    UpdataSoftware engine;
    auto feed = [&engine](const QByteArray& bytes) {
        for (char c : bytes)
            engine.GetAHRSBatchNum(static_cast<unsigned char>(c));
    };
    feed(FakeCanAdapter::IdReply(5) + FakeCanAdapter::IdReply(5));
    QCOMPARE(engine.DeviceCount(), 1u);
    // A wrong sum is dropped; the parser waits for the next 0xBB.
    feed(FakeCanAdapter::IdReply(6, false) + QByteArray::fromHex("00bb6500") + FakeCanAdapter::IdReply(0xA1B2C3D4u));
    QCOMPARE(engine.DeviceCount(), 2u);
    QCOMPARE(engine.DeviceId(1), 0xA1B2C3D4u);
    for (uint32_t id = 100; id < 300; ++id)
        feed(FakeCanAdapter::IdReply(id));
    QCOMPARE(engine.DeviceCount(), 128u);
    QCOMPARE(engine.DeviceId(127), 225u);
}

QTEST_MAIN(TestUpgradeCanBatch)
#include "tst_upgrade_can_batch.moc"
