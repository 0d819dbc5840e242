// The framed serial upgrade end to end: the page starts it, the device
// worker hands the port to the engine, and a fake bootloader on a pty
// checks every byte the engine writes.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <QtTest>

#include <cstring>

#include "support/FakeBootloader.h"
#include "support/PtyDevice.h"
#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "widgets/general/FirmwareCipher.h"
#include "widgets/general/FirmwareKeys.h"
#include "widgets/general/UpgradeProcessInformation.h"
#include "widgets/singleTools/FirmwareUpgradeWidget.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

namespace {

struct Report
{
    UpgradeProcessInformation info;
    QString text;
};

void PutU16(QByteArray& b, uint16_t v)
{
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>(v >> 8));
}

void PutU32(QByteArray& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

QByteArray LongCommand(uint16_t cmd, float f1, float f2, uint32_t u1, uint32_t u2, int32_t i1, int32_t i2)
{
    QByteArray b;
    PutU16(b, 0xAA55);
    PutU16(b, cmd);
    PutU16(b, 24);
    uint32_t bits = 0;
    std::memcpy(&bits, &f1, 4);
    PutU32(b, bits);
    std::memcpy(&bits, &f2, 4);
    PutU32(b, bits);
    PutU32(b, u1);
    PutU32(b, u2);
    PutU32(b, static_cast<uint32_t>(i1));
    PutU32(b, static_cast<uint32_t>(i2));
    PutU32(b, crc_crc32(1, reinterpret_cast<const unsigned char*>(b.constData()), 30));
    return b;
}

QByteArray LegacyFrame(const QByteArray& payload)
{
    QByteArray b = QByteArray::fromHex("55aa78");
    b.append(static_cast<char>(payload.size()));
    b.append('\0');
    b.append(payload);
    uint32_t sum = 0;
    for (char c : b)
        sum += static_cast<uint8_t>(c);
    PutU16(b, static_cast<uint16_t>(sum));
    b.append(QByteArray(41 - b.size(), '\0'));
    return b;
}

// What the host must write to reboot a device into its bootloader.
QByteArray ExpectedRebootSequence()
{
    const auto& v = FirmwareKeys::RebootUnlockValues();
    QByteArray unlock;
    for (uint16_t x : v)
        PutU16(unlock, x);
    QByteArray userConfig = QByteArray::fromHex("55aa780700") + QByteArray(7, '\0');
    uint32_t sum = 0;
    for (char c : userConfig)
        sum += static_cast<uint8_t>(c);
    PutU32(userConfig, sum);

    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out += LegacyFrame(unlock);
    for (int i = 0; i < 4; ++i)
        out += LegacyFrame(QByteArray(7, '\0'));
    for (int i = 0; i < 4; ++i)
        out += LongCommand(120, v[0], v[1], v[2], v[3], v[4], v[5]);
    for (int i = 0; i < 4; ++i)
        out += userConfig;
    for (int i = 0; i < 4; ++i)
        out += LongCommand(35003, 100.0f, 200.0f, 300, 400, 500, 600);
    for (int i = 0; i < 4; ++i)
        out += LongCommand(35003, 100.0f, 200.0f, 300, 100, 200, 300);
    return out;
}

// A plain image whose header names type G (byte 6 = 2), enciphered as the
// cipher tool would.
QByteArray EncipheredImage(int plainSize, QByteArray* plainOut = nullptr)
{
    QByteArray plain;
    for (int i = 0; i < plainSize; ++i)
        plain.append(static_cast<char>((i * 7 + 3) & 0xFF));
    if (plainSize > 6) {
        plain[5] = 0x00;
        plain[6] = 0x02;
    }
    if (plainOut)
        *plainOut = plain;
    auto cipher = FirmwareCipher::WithProgramKey();
    QBuffer source(&plain);
    source.open(QIODevice::ReadOnly);
    QByteArray enciphered;
    QBuffer target(&enciphered);
    target.open(QIODevice::WriteOnly);
    cipher->PassFile(source, target, FirmwareCipher::Encipher);
    return enciphered;
}

} // namespace

class TestUpgradeSerial : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void fullUpgrade();
    void droppedAcknowledgementIsResent();
    void crcMismatchFails();
    void cancelInTheMiddle();
    void missingFileFails();
    void emptyImageIsRefusedBeforeErase();

private:
    QString WriteFirmware(const QString& name, const QByteArray& bytes);
    void Start(const QString& path);
    bool PageIdle() const;
    bool RunToIdle(FakeBootloader& fake, int timeoutMs, const std::function<void()>& step = {});
    QStringList DialogTexts() const;
    bool NoTempFiles() const;

    QTemporaryDir m_dir;
    QString m_oldCwd;
    PtyDevice* m_pty = nullptr;
    QThread* m_thread = nullptr;
    WorkerThreadImu* m_worker = nullptr;
    FirmwareUpgradeWidget* m_page = nullptr;
    QList<Report> m_reports;
    int m_disconnects = 0;
    bool m_portOpened = false;
    bool m_runningAtDisconnect = true;
};

void TestUpgradeSerial::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    DialogSeam::SetScripted(true);
    RegsiterMetaType();

    m_pty = new PtyDevice;
    QVERIFY(m_pty->IsOpen());
    g_connection_serial_name = m_pty->SlavePath();
    g_connection_baud_rate = QString("115200");
    g_serial_is_connected = true;

    m_thread = new QThread;
    m_worker = new WorkerThreadImu;
    SerialPortManager::GetInstance()->InsertImuWorker(m_worker, 0);
    m_worker->moveToThread(m_thread);
    connect(m_worker, &WorkerThread::SignalSerialIsOpen, this,
            [this](SerialState s) { m_portOpened = (s == SERIAL_STATE_OPENED); });
    m_thread->start();
    QMetaObject::invokeMethod(m_worker, "slot_open_serial_port", Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(m_portOpened, 5000);

    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            [this](int id, QVariant var1, QVariant var2) {
                if (id == PAGE_MSG_UPGRADE_PROGRESS)
                    m_reports << Report{var1.value<UpgradeProcessInformation>(), var2.toString()};
                if (id == PAGE_MSG_DISCONNECT_SERIAL) {
                    ++m_disconnects;
                    m_runningAtDisconnect = g_is_running_upgrade;
                }
            });

    m_page = new FirmwareUpgradeWidget;
    m_page->findChild<QRadioButton*>("btn_serial_upload")->setChecked(true);
}

void TestUpgradeSerial::cleanupTestCase()
{
    delete m_page;
    if (m_worker) {
        QMetaObject::invokeMethod(m_worker, "slot_close_serial_port", Qt::BlockingQueuedConnection);
        SerialPortManager::GetInstance()->ClearWorker();
    }
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
    delete m_worker;
    delete m_thread;
    delete m_pty;
    QDir::setCurrent(m_oldCwd);
}

void TestUpgradeSerial::init()
{
    // Nothing left over from the previous run on either side of the line.
    m_pty->ReadAvailable(200);
    m_reports.clear();
    m_disconnects = 0;
    m_runningAtDisconnect = true;
    g_cancelUpgradeFlag = false;
    DialogSeam::ClearRequests();
}

QString TestUpgradeSerial::WriteFirmware(const QString& name, const QByteArray& bytes)
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    f.write(bytes);
    return path;
}

void TestUpgradeSerial::Start(const QString& path)
{
    m_page->findChild<QLineEdit*>("lineEdit")->setText(path);
    m_page->findChild<QPushButton*>("btn_update")->click();
}

bool TestUpgradeSerial::PageIdle() const
{
    return m_page->findChild<QPushButton*>("btn_update")->text() == "升级" && !g_is_running_upgrade;
}

bool TestUpgradeSerial::RunToIdle(FakeBootloader& fake, int timeoutMs, const std::function<void()>& step)
{
    const bool idle = fake.RunUntil(
        [&]() {
            if (step)
                step();
            return PageIdle();
        },
        timeoutMs);
    fake.Pump(100);
    return idle;
}

QStringList TestUpgradeSerial::DialogTexts() const
{
    QStringList texts;
    for (const DialogSeam::Request& r : DialogSeam::Requests())
        texts << r.text;
    return texts;
}

bool TestUpgradeSerial::NoTempFiles() const
{
    return !QFile::exists(m_dir.filePath("test1.firmware")) && !QFile::exists(m_dir.filePath("test2.firmware"));
}

void TestUpgradeSerial::fullUpgrade()
{
    QByteArray plain;
    const QByteArray file = EncipheredImage(200, &plain);
    QCOMPARE(file.size(), 208);
    const QString path = WriteFirmware("imu.firmware", file);

    FakeBootloader::Options options;
    options.flashSize = 1024; // larger than the image: the CRC covers the 0xFF padding
    FakeBootloader fake(*m_pty, options);
    Start(path);
    QCOMPARE(m_page->findChild<QPushButton*>("btn_update")->text(), QString("取消升级"));
    QVERIFY(g_is_running_upgrade);

    QVERIFY(RunToIdle(fake, 60000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));

    // Reboot sequence, byte for byte.
    QVERIFY(fake.RebootStart() >= 0);
    const QByteArray reboot = ExpectedRebootSequence();
    QCOMPARE(fake.Stream().mid(fake.RebootStart(), reboot.size()).toHex(), reboot.toHex());

    // The banner selected the GD32 request string, sent ten times.
    QVERIFY(fake.InBootloader());
    QVERIFY(fake.RequestStringCount() >= 10);

    QCOMPARE(fake.CountOf(35), 1); // one erase
    QCOMPARE(fake.ChunkOffsets(), (QList<uint32_t>{0, 64, 128, 192}));
    QCOMPARE(fake.Image(), file);
    QVERIFY(fake.CountOf(34) >= 3);
    QCOMPARE(fake.CountOf(41), 10);
    QCOMPARE(fake.CountOf(48), 10);
    QCOMPARE(fake.ReportedCrc(), FakeBootloader::PaddedCrc(plain + plain.mid(184, 8), 1024));

    // Progress: 0..99 while data moves, 100 only at the end.
    QList<int> transfer;
    for (const Report& r : m_reports)
        if (r.text == "正在升级...")
            transfer << r.info.percent;
    QCOMPARE(transfer, (QList<int>{30, 60, 91, 99}));
    QVERIFY(!m_reports.isEmpty());
    QCOMPARE(m_reports.last().text, QString("升级成功"));
    QCOMPARE(m_reports.last().info.percent, 100);
    QCOMPARE(m_reports.last().info.finished, 1u);
    QCOMPARE(m_reports.last().info.remaining, 0u);

    // The page: idle, 812 sent after the running flag was cleared.
    QCOMPARE(m_disconnects, 1);
    QVERIFY(!m_runningAtDisconnect);
    QVERIFY(DialogTexts().contains("全部升级成功"));
    QVERIFY(!DialogTexts().contains("升级失败"));
    QCOMPARE(m_page->findChild<QLabel*>("label_upgrade")->text(), QString("升级结束："));
    QVERIFY(m_page->findChild<QTextEdit*>("textEdit")->toPlainText().contains("升级成功"));
    QVERIFY(NoTempFiles());
}

void TestUpgradeSerial::droppedAcknowledgementIsResent()
{
    const QByteArray file = EncipheredImage(200);
    const QString path = WriteFirmware("drop.firmware", file);
    FakeBootloader::Options options;
    options.dropAckOfChunk = 1;
    FakeBootloader fake(*m_pty, options);
    Start(path);

    QVERIFY(RunToIdle(fake, 90000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));
    // The same chunk again after a re-sync, then on.
    QCOMPARE(fake.ChunkOffsets(), (QList<uint32_t>{0, 64, 64, 128, 192}));
    QCOMPARE(fake.Image(), file);
    // Between the unacknowledged chunk and its resend: a re-sync.
    const QStringList events = fake.Events();
    const int first = events.indexOf("D64");
    const int again = events.indexOf("D64", first + 1);
    QVERIFY(first >= 0 && again > first);
    QVERIFY(events.mid(first, again - first).contains("C33"));
    QCOMPARE(m_reports.last().info.percent, 100);
    QCOMPARE(m_disconnects, 1);
    QVERIFY(NoTempFiles());
}

void TestUpgradeSerial::crcMismatchFails()
{
    const QString path = WriteFirmware("crc.firmware", EncipheredImage(200));
    FakeBootloader::Options options;
    options.wrongCrc = true;
    FakeBootloader fake(*m_pty, options);
    Start(path);

    QVERIFY(RunToIdle(fake, 60000));
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));
    QCOMPARE(fake.CountOf(41), 10);
    QCOMPARE(fake.CountOf(48), 0); // no reboot after a failed check
    QCOMPARE(m_reports.last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QCOMPARE(m_reports.last().text, QString("校验失败，请重新升级"));
    QVERIFY(DialogTexts().contains("升级失败"));
    QVERIFY(!DialogTexts().contains("全部升级成功"));
    QCOMPARE(m_disconnects, 0);
    QVERIFY(m_page->findChild<QTextEdit*>("textEdit")->toPlainText().contains("校验失败，请重新升级"));
    QVERIFY(NoTempFiles());
}

void TestUpgradeSerial::cancelInTheMiddle()
{
    const QString path = WriteFirmware("big.firmware", EncipheredImage(2000));
    FakeBootloader fake(*m_pty, FakeBootloader::Options());
    Start(path);

    bool clicked = false;
    QVERIFY(RunToIdle(fake, 60000, [&]() {
        if (!clicked && fake.ChunkCount() >= 3) {
            clicked = true;
            m_page->findChild<QPushButton*>("btn_update")->click();
            // The click cancels; the caption waits for the engine's report.
            QVERIFY(g_cancelUpgradeFlag);
        }
    }));
    QVERIFY(clicked);
    QVERIFY2(fake.Errors().isEmpty(), qPrintable(fake.Errors().join("; ")));
    QVERIFY(fake.ChunkCount() < 32);
    QCOMPARE(fake.CountOf(41), 0);
    QCOMPARE(fake.CountOf(48), 0);
    QCOMPARE(m_reports.last().info.cancelType, int(CANCEL_UPGRADE_BY_USER));
    QVERIFY(!DialogTexts().contains("升级失败"));
    QCOMPARE(m_disconnects, 0);
    QCOMPARE(m_page->findChild<QLabel*>("label_upgrade")->text(), QString("升级结束："));
    QVERIFY(m_page->findChild<QTextEdit*>("textEdit")->toPlainText().contains("正在取消升级..."));
    QVERIFY(NoTempFiles());
}

void TestUpgradeSerial::missingFileFails()
{
    FakeBootloader fake(*m_pty, FakeBootloader::Options());
    Start(m_dir.filePath("missing.firmware"));

    QVERIFY(RunToIdle(fake, 30000));
    QCOMPARE(fake.CountOf(35), 0);
    QCOMPARE(fake.ChunkCount(), 0);
    QVERIFY(!m_reports.isEmpty());
    QCOMPARE(m_reports.last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(DialogTexts().contains("升级失败"));
    QVERIFY(m_page->findChild<QTextEdit*>("textEdit")->toPlainText().contains("固件文件读取错误"));
    QVERIFY(NoTempFiles());
}

void TestUpgradeSerial::emptyImageIsRefusedBeforeErase()
{
    FakeBootloader fake(*m_pty, FakeBootloader::Options());
    Start(WriteFirmware("empty.firmware", QByteArray()));

    QVERIFY(RunToIdle(fake, 30000));
    QCOMPARE(fake.RequestStringCount(), 0);
    QCOMPARE(fake.CountOf(33), 0);
    QCOMPARE(fake.CountOf(35), 0);
    QCOMPARE(m_reports.last().info.cancelType, int(CANCEL_UPGRADE_FAILED));
    QVERIFY(DialogTexts().contains("升级失败"));
    QVERIFY(NoTempFiles());
}

QTEST_MAIN(TestUpgradeSerial)
#include "tst_upgrade_serial.moc"
