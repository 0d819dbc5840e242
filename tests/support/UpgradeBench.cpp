#include "UpgradeBench.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>
#include <QThread>

#include <cstring>

#include "FakeBootloader.h"
#include "PtyDevice.h"
#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "widgets/general/FirmwareCipher.h"
#include "widgets/general/FirmwareKeys.h"
#include "widgets/singleTools/FirmwareUpgradeWidget.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

namespace {

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

} // namespace

UpgradeBench::~UpgradeBench()
{
    TearDown();
}

bool UpgradeBench::SetUp()
{
    if (!m_dir.isValid())
        return false;
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    DialogSeam::SetScripted(true);
    RegsiterMetaType();

    m_pty = new PtyDevice;
    if (!m_pty->IsOpen())
        return false;
    g_connection_serial_name = m_pty->SlavePath();
    g_connection_baud_rate = QString("115200");
    g_serial_is_connected = true;

    m_thread = new QThread;
    m_worker = new WorkerThreadImu;
    SerialPortManager::GetInstance()->InsertImuWorker(m_worker, 0);
    m_worker->moveToThread(m_thread);
    QObject::connect(m_worker, &WorkerThread::SignalSerialIsOpen, &m_context,
                     [this](SerialState s) { m_portOpened = (s == SERIAL_STATE_OPENED); });
    m_thread->start();
    QMetaObject::invokeMethod(m_worker, "slot_open_serial_port", Qt::QueuedConnection);
    if (!QTest::qWaitFor([this]() { return m_portOpened; }, 5000))
        return false;

    QObject::connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
                     &m_context, [this](int id, QVariant var1, QVariant var2) {
                         if (id == PAGE_MSG_UPGRADE_PROGRESS)
                             m_reports << Report{var1.value<UpgradeProcessInformation>(), var2.toString()};
                         if (id == PAGE_MSG_DISCONNECT_SERIAL) {
                             ++m_disconnects;
                             m_runningAtDisconnect = g_is_running_upgrade;
                         }
                     });

    m_page = new FirmwareUpgradeWidget;
    m_page->findChild<QRadioButton*>("btn_serial_upload")->setChecked(true);
    return true;
}

void UpgradeBench::TearDown()
{
    delete m_page;
    m_page = nullptr;
    if (m_worker) {
        QMetaObject::invokeMethod(m_worker, "slot_close_serial_port", Qt::BlockingQueuedConnection);
        SerialPortManager::GetInstance()->ClearWorker();
    }
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
    delete m_worker;
    m_worker = nullptr;
    delete m_thread;
    m_thread = nullptr;
    delete m_pty;
    m_pty = nullptr;
    if (!m_oldCwd.isEmpty()) {
        QDir::setCurrent(m_oldCwd);
        m_oldCwd.clear();
    }
}

void UpgradeBench::Reset()
{
    // Nothing left over from the previous run on either side of the line.
    m_pty->ReadAvailable(200);
    m_reports.clear();
    m_disconnects = 0;
    m_runningAtDisconnect = true;
    g_cancelUpgradeFlag = false;
    DialogSeam::ClearRequests();
}

QString UpgradeBench::FilePath(const QString& name) const
{
    return m_dir.filePath(name);
}

QString UpgradeBench::WriteFirmware(const QString& name, const QByteArray& bytes) const
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    f.write(bytes);
    return path;
}

void UpgradeBench::Start(const QString& path)
{
    m_page->findChild<QLineEdit*>("lineEdit")->setText(path);
    ClickUpgradeButton();
}

void UpgradeBench::ClickUpgradeButton()
{
    m_page->findChild<QPushButton*>("btn_update")->click();
}

QString UpgradeBench::ButtonText() const
{
    return m_page->findChild<QPushButton*>("btn_update")->text();
}

QString UpgradeBench::LabelText(const char* name) const
{
    return m_page->findChild<QLabel*>(name)->text();
}

QString UpgradeBench::LogText() const
{
    return m_page->findChild<QTextEdit*>("textEdit")->toPlainText();
}

bool UpgradeBench::PageIdle() const
{
    return ButtonText() == "升级" && !g_is_running_upgrade;
}

bool UpgradeBench::RunToIdle(FakeBootloader& fake, int timeoutMs, const std::function<void()>& step)
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

bool UpgradeBench::RunToIdle(const std::function<void(int)>& pump, int timeoutMs,
                             const std::function<void()>& step)
{
    QElapsedTimer clock;
    clock.start();
    bool idle = false;
    while (!idle && clock.elapsed() < timeoutMs) {
        if (step)
            step();
        idle = PageIdle();
        if (!idle)
            pump(10);
    }
    pump(100);
    return idle;
}

void UpgradeBench::SelectMode(const char* radioName)
{
    m_page->findChild<QRadioButton*>(radioName)->setChecked(true);
}

QStringList UpgradeBench::DialogTexts() const
{
    QStringList texts;
    for (const DialogSeam::Request& r : DialogSeam::Requests())
        texts << r.text;
    return texts;
}

bool UpgradeBench::NoTempFiles() const
{
    return !QFile::exists(m_dir.filePath("test1.firmware")) && !QFile::exists(m_dir.filePath("test2.firmware"));
}

QByteArray UpgradeBench::LongCommand(uint16_t cmd, float f1, float f2, uint32_t u1, uint32_t u2, int32_t i1,
                                     int32_t i2)
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

QByteArray UpgradeBench::ExpectedRebootSequence()
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

QByteArray UpgradeBench::EncipheredImage(int plainSize, QByteArray* plainOut)
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
    return Encipher(plain);
}

QByteArray UpgradeBench::UnknownTypeImage()
{
    QByteArray plain;
    EncipheredImage(64, &plain);
    plain[6] = 3; // no image type has it
    return Encipher(plain);
}

QByteArray UpgradeBench::Encipher(const QByteArray& plain)
{
    QByteArray enciphered;
    FirmwareCipher::WithProgramKey()->PassBytes(plain, &enciphered, FirmwareCipher::Encipher);
    return enciphered;
}

QByteArray UpgradeBench::ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
