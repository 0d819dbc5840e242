#include "workerThread/WorkerThread.h"

#include "commom/CommonFunction.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "workerThread/DeviceFrames.h"

#include <QThread>
#include <QTimer>

#include <cstring>

namespace {

constexpr int kFastRequestMs = 50;
constexpr int kFastTimeoutMs = 5000;
constexpr int kSlowRequestMs = 120;
constexpr int kSlowTimeoutMs = 2000;
constexpr int kEventTimeoutMs = 20;

int ConnectionBaud()
{
    bool ok = false;
    const int baud = g_connection_baud_rate.Get().trimmed().toInt(&ok);
    return ok ? baud : 0;
}

} // namespace

WorkerThread::WorkerThread(QObject* parent) : QObject(parent)
{
    LOG_DEBUG() << "线程创建成功 WorkerThread";
}

WorkerThread::~WorkerThread()
{
    LOG_DEBUG() << "~WorkerThread";
    delete m_version_timer;
    delete m_version_timeout_timer;
    delete m_pSerialPort;
}

void WorkerThread::OnSendCmdLong(uint16_t cmd, float f1, float f2, uint32_t u1, uint32_t u2,
                                 int32_t i1, int32_t i2)
{
    QByteArray frame = BuildLongCommandFrame(cmd, f1, f2, u1, u2, i1, i2);
    slot_send_data(reinterpret_cast<uint8_t*>(frame.data()), static_cast<uint>(frame.size()));
}

void WorkerThread::InitParseStatus()
{
    m_parse.Reset();
    LOG_DEBUG() << "InitParseStatus";
}

void WorkerThread::InitVersionTimer()
{
    if (!m_version_timer) {
        m_version_timer = new QTimer();
        m_version_timer->setInterval(kSlowRequestMs);
        connect(m_version_timer, &QTimer::timeout, this, [this]() {
            OnSendCmdLong(CMD_GET_VERSION, 0, 0, 0, 0, 0, 0);
            LOG_DEBUG() << "发送了版本信息";
        });
    }
    if (!m_version_timeout_timer) {
        m_version_timeout_timer = new QTimer();
        m_version_timeout_timer->setSingleShot(true);
        m_version_timeout_timer->setInterval(kFastTimeoutMs);
        connect(m_version_timeout_timer, &QTimer::timeout, this, [this]() {
            if (m_version_timer && m_version_timer->isActive()) {
                LOG_DEBUG() << "超时,终止版本号请求";
                m_version_timer->stop();
                emit SignalVersionUnanswered();
            }
        });
    }
}

void WorkerThread::InitSerialInfo()
{
    m_pSerialPort = new SerialPort();
    connect(m_pSerialPort, &SerialPort::SignalUnplugged, this, &WorkerThread::slot_port_unplugged);
    m_pSerialPort->SetQueryMode(SerialPort::EventDriven);
    m_baud = static_cast<BaudRateType>(ConnectionBaud());
    m_pSerialPort->SetBaudRate(m_baud);
    m_pSerialPort->SetPortName(g_connection_serial_name.Get());
    m_pSerialPort->SetTimeout(kEventTimeoutMs);
    m_pSerialPort->Open();
    LOG_DEBUG() << "(BaudRateType)m_baud" << static_cast<int>(m_baud);
}

void WorkerThread::SetVersionTimerStatus(bool on)
{
    if (!m_version_timer || !m_version_timeout_timer) {
        return;
    }
    if (!on) {
        m_version_timer->stop();
        m_version_timeout_timer->stop();
        return;
    }
    if (ConnectionBaud() >= 115200) {
        m_version_timer->setInterval(kFastRequestMs);
        m_version_timeout_timer->setInterval(kFastTimeoutMs);
    } else {
        m_version_timer->setInterval(kSlowRequestMs);
        m_version_timeout_timer->setInterval(kSlowTimeoutMs);
    }
    m_version_timer->stop();
    m_version_timeout_timer->stop();
    m_version_timer->start();
    m_version_timeout_timer->start();
}

bool WorkerThread::IsVersionPolling() const
{
    return m_version_timer && m_version_timer->isActive();
}

int WorkerThread::VersionRequestInterval() const
{
    return m_version_timer ? m_version_timer->interval() : 0;
}

int WorkerThread::VersionTimeoutInterval() const
{
    return m_version_timeout_timer ? m_version_timeout_timer->interval() : 0;
}

void WorkerThread::StopVersionPollingOnFirstVersion()
{
    if (m_first_version) {
        return;
    }
    if (m_version_timer && m_version_timer->isActive()) {
        m_version_timer->stop();
    }
    if (m_version_timeout_timer && m_version_timeout_timer->isActive()) {
        m_version_timeout_timer->stop();
    }
    LOG_DEBUG() << "第一次收到了版本信息,关闭查询版本信息定时器和超时定时器";
    m_first_version = true;
}

bool WorkerThread::LinkAlive(quint64 link) const
{
    return !m_stopping.load() && m_link.load() == link && m_pSerialPort && m_pSerialPort->IsOpen();
}

void WorkerThread::AbandonRequests()
{
    m_stopping.store(true);
    m_link.fetch_add(1);
}

void WorkerThread::EndLink()
{
    m_link.fetch_add(1);
    OnLinkEnded();
    // The waits of the requests made on this connection return now and see
    // that it has ended. The upgrade engine's own waits are its business.
    if (!m_upgrade_owns_port.load()) {
        EndNonBlockWaits();
    }
}

void WorkerThread::ConnectReadHandler()
{
    DisconnectReadHandler();
    if (m_pSerialPort) {
        m_read_connection =
            connect(m_pSerialPort, &SerialPort::SignalReadyRead, this, &WorkerThread::slot_on_read_data);
    }
}

void WorkerThread::DisconnectReadHandler()
{
    if (m_read_connection) {
        disconnect(m_read_connection);
    }
    m_read_connection = QMetaObject::Connection();
}

void WorkerThread::DrainPort()
{
    if (m_pSerialPort) {
        m_pSerialPort->Clear();
    }
}

void WorkerThread::slot_open_serial_port()
{
    if (!m_pSerialPort) {
        OpenFirstTime();
    } else {
        Reopen();
    }
}

void WorkerThread::OpenFirstTime()
{
    QThread::msleep(10);
    InitParseStatus();
    InitVersionTimer();
    InitSerialInfo();
    const bool open = m_pSerialPort->IsOpen();
    LOG_DEBUG() << "m_serial_ptr->isOpen()---> " << (open ? "true" : "false");
    if (!open) {
        emit SignalSerialIsOpen(SERIAL_STATE_OPEN_FAILED);
        return;
    }
    if (!g_serial_is_connected.load()) {
        emit SignalSerialIsOpen(SERIAL_STATE_OPEN_FAILED);
        return;
    }
    DrainPort();
    ConnectReadHandler();
    m_link.fetch_add(1);
    LOG_DEBUG() << "请求版本号";
    SetVersionTimerStatus(true);
    emit SignalSerialIsOpen(SERIAL_STATE_OPENED);
}

void WorkerThread::Reopen()
{
    if (m_pSerialPort->IsOpen()) {
        return;
    }
    m_pSerialPort->SetPortName(g_connection_serial_name.Get());
    m_baud = static_cast<BaudRateType>(ConnectionBaud());
    m_pSerialPort->SetBaudRate(m_baud);
    // The upgrade engine may have left the port polling.
    m_pSerialPort->SetQueryMode(SerialPort::EventDriven);
    m_pSerialPort->SetTimeout(kEventTimeoutMs);
    if (!m_pSerialPort->Open()) {
        emit SignalSerialIsOpen(SERIAL_STATE_OPEN_FAILED);
        return;
    }
    ConnectReadHandler();
    m_link.fetch_add(1);
    LOG_DEBUG() << "打开串口" << " 串口号：" << m_pSerialPort->PortName() << "波特率：" << static_cast<int>(m_baud);
    InitParseStatus();
    SetVersionTimerStatus(true);
    LOG_DEBUG() << "开启查询版本信息定时器";
    DrainPort();
    emit SignalSerialIsOpen(SERIAL_STATE_OPENED);
}

void WorkerThread::slot_close_serial_port()
{
    ClosePort();
    emit SignalSerialIsOpen(SERIAL_STATE_CLOSED);
}

void WorkerThread::ClosePort()
{
    EndLink();
    if (!m_pSerialPort || !m_pSerialPort->IsOpen()) {
        return;
    }
    LOG_DEBUG() << "CloseSerialPort 关闭串口";
    if (m_version_timer && m_version_timeout_timer && m_version_timer->isActive()) {
        SetVersionTimerStatus(false);
        LOG_DEBUG() << "关闭查询版本信息定时器和超时定时器";
    }
    DisconnectReadHandler();
    DrainPort();
    m_pSerialPort->Close();
    m_first_version = false;
}

void WorkerThread::slot_release()
{
    AbandonRequests();
    // No state report: nobody listens for this worker any more.
    ClosePort();
    if (m_waiting_slots > 0) {
        // Inside a request's wait: the request ends first (its waits have
        // just been ended) and releases the worker as it leaves.
        m_release_pending = true;
        return;
    }
    deleteLater();
}

WorkerThread::WaitingSlot::~WaitingSlot()
{
    if (--m_worker.m_waiting_slots == 0 && m_worker.m_release_pending) {
        m_worker.m_release_pending = false;
        // Posted from the outermost slot, the deletion runs once control is
        // back in the thread's own event loop.
        m_worker.deleteLater();
    }
}

void WorkerThread::slot_port_unplugged()
{
    LOG_INFO() << "串口设备已断开";
    SetVersionTimerStatus(false);
    DisconnectReadHandler();
    m_first_version = false;
    EndLink();
    emit SignalSerialIsOpen(SERIAL_STATE_CLOSED);
}

void WorkerThread::slot_auto_connection_serial_port(bool status)
{
    if (!status) {
        // Without a port object there is nothing to close; this only reports
        // the closed state and must not open a port.
        slot_close_serial_port();
    } else {
        slot_open_serial_port();
    }
}

qint64 WorkerThread::WriteBytes(const char* data, qint64 count)
{
    qint64 accepted = -1;
    {
        std::lock_guard<std::mutex> lock(m_write_mutex);
        if (!m_pSerialPort || !m_pSerialPort->IsOpen() || !m_pSerialPort->IsWritable()) {
            int held = 0;
            if (m_not_writable_log.Allow(&held)) {
                LOG_DEBUG() << "m_pSerialPort not write" << (held > 0 ? QString("(另有%1次)").arg(held) : QString());
            }
            return -1;
        }
        accepted = m_pSerialPort->Write(data, count);
        if (accepted > 0) {
            g_send_total_byte.fetch_add(static_cast<uint64_t>(accepted));
        }
    }
    if (accepted > 0) {
        // Pace like an unbuffered line: return once the bytes have left,
        // bounded by their time on the wire plus a margin.
        const int baud = m_pSerialPort->BaudRate() > 0 ? m_pSerialPort->BaudRate() : 9600;
        qint64 bound = accepted * 10 * 1000 / baud + 20;
        if (bound > 1000) {
            bound = 1000;
        }
        m_pSerialPort->Drain(static_cast<int>(bound));
    }
    return accepted;
}

void WorkerThread::slot_send_data(uint8_t c)
{
    const char byte = static_cast<char>(c);
    WriteBytes(&byte, 1);
}

void WorkerThread::slot_send_data(uint8_t* p, uint count)
{
    if (count == 0 || !p) {
        return;
    }
    WriteBytes(reinterpret_cast<const char*>(p), static_cast<qint64>(count));
}

void WorkerThread::slot_send_data(QByteArray ba)
{
    if (ba.isEmpty()) {
        return;
    }
    WriteBytes(ba.constData(), ba.size());
}

void WorkerThread::slot_send_data(QString str)
{
    const QByteArray latin = str.toLatin1();
    const int nul = latin.indexOf('\0');
    const QByteArray text = nul >= 0 ? latin.left(nul) : latin;
    if (text.isEmpty()) {
        return;
    }
    WriteBytes(text.constData(), text.size());
}

void WorkerThread::slot_send_cmd_long(const QList<QVariant>& values)
{
    if (values.size() < 7) {
        LOG_DEBUG() << "SendCmdLong 参数个数错误" << values.size();
        return;
    }
    const uint16_t cmd = static_cast<uint16_t>(values[0].toUInt() & 0xFFFF);
    LOG_DEBUG() << "SendCmdLong cmdId = " << cmd;
    OnSendCmdLong(cmd, values[1].toFloat(), values[2].toFloat(), values[3].toUInt(), values[4].toUInt(),
                  values[5].toInt(), values[6].toInt());
}

void WorkerThread::slot_send_cmd_longs(QList<QVariant> values, uint8_t times, uint32_t sleep_times)
{
    const WaitingSlot waiting(*this);
    LOG_DEBUG() << "SendCmdLongs cmdId = " << (values.isEmpty() ? 0u : values[0].toUInt());
    for (int i = 0; i < times; ++i) {
        slot_send_cmd_long(values);
        MSleepNonBlock(sleep_times);
    }
}

void WorkerThread::slot_send_cmd_ack(uint16_t cmd_id, uint16_t ack_id, uint16_t result)
{
    QByteArray frame = BuildCommandAckFrame(cmd_id, ack_id, result);
    slot_send_data(reinterpret_cast<uint8_t*>(frame.data()), static_cast<uint>(frame.size()));
}

void WorkerThread::slot_send_user_config(uint8_t cmd, float param, short rev1, uint8_t rev2)
{
    QByteArray frame = BuildUserConfigFrame(cmd, param, rev1, rev2);
    slot_send_data(reinterpret_cast<uint8_t*>(frame.data()), static_cast<uint>(frame.size()));
}

void WorkerThread::slot_send_bl_cmd(uint16_t cmd, uint16_t cm1, uint16_t cm2, uint16_t cm3,
                                    uint16_t cm4, uint16_t cm5, uint16_t cm6)
{
    QByteArray frame = BuildBootloaderCommandFrame(cmd, cm1, cm2, cm3, cm4, cm5, cm6);
    slot_send_data(reinterpret_cast<uint8_t*>(frame.data()), static_cast<uint>(frame.size()));
}

// ---- Upgrade engine operations ----

bool WorkerThread::OpenSerialPort(BaudRateType baud)
{
    if (!m_pSerialPort) {
        m_pSerialPort = new SerialPort();
        connect(m_pSerialPort, &SerialPort::SignalUnplugged, this, &WorkerThread::slot_port_unplugged);
        m_pSerialPort->SetPortName(g_connection_serial_name.Get());
    }
    m_baud = baud;
    m_pSerialPort->SetBaudRate(baud);
    m_pSerialPort->SetTimeout(0);
    m_pSerialPort->SetQueryMode(SerialPort::Polling);
    return m_pSerialPort->Open();
}

void WorkerThread::CloseSerialPort()
{
    if (m_pSerialPort) {
        m_pSerialPort->Close();
    }
}

void WorkerThread::SetBaudRate(BaudRateType baud)
{
    m_baud = baud;
    if (m_pSerialPort) {
        m_pSerialPort->SetBaudRate(baud);
    }
}

long WorkerThread::BytesAvailable()
{
    return m_pSerialPort ? static_cast<long>(m_pSerialPort->BytesAvailable()) : 0;
}

QByteArray WorkerThread::ReadAll()
{
    if (!m_pSerialPort) {
        return QByteArray();
    }
    const QByteArray bytes = m_pSerialPort->ReadAll();
    g_recv_total_byte.fetch_add(static_cast<uint64_t>(bytes.size()));
    return bytes;
}

QByteArray WorkerThread::Read(int n)
{
    if (!m_pSerialPort || n <= 0) {
        return QByteArray();
    }
    const QByteArray bytes = m_pSerialPort->Read(n);
    g_recv_total_byte.fetch_add(static_cast<uint64_t>(bytes.size()));
    return bytes;
}

bool WorkerThread::GetChar(char* c)
{
    if (!m_pSerialPort) {
        return false;
    }
    const bool got = m_pSerialPort->GetChar(c);
    if (got) {
        g_recv_total_byte.fetch_add(1);
    }
    return got;
}
