#include "workerThread/SerialPort.h"

#include "commom/Logger.h"

#include <QElapsedTimer>
#include <QSerialPort>

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

SerialPort::SerialPort(QObject* parent) : QObject(parent), m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialPort::slot_ready_read);
    connect(m_port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { slot_error(static_cast<int>(error)); });
}

SerialPort::~SerialPort()
{
    if (m_port->isOpen()) {
        m_port->close();
    }
}

void SerialPort::SetPortName(const QString& name)
{
    m_name = name;
    m_port->setPortName(name);
}

bool SerialPort::SetBaudRate(int baud)
{
    m_baud = baud;
    if (baud <= 0) {
        return false;
    }
    return m_port->setBaudRate(baud);
}

void SerialPort::SetQueryMode(QueryMode mode)
{
    m_mode = mode;
}

bool SerialPort::Open()
{
    if (m_port->isOpen()) {
        return true;
    }
    if (m_baud <= 0 || m_name.isEmpty()) {
        return false;
    }
    m_port->setBaudRate(m_baud);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_lost = false;
    m_errorEvents = 0;
    m_errorRun = 0;
    if (!m_port->open(QIODevice::ReadWrite)) {
        return false;
    }
    return true;
}

void SerialPort::Close()
{
    if (m_port->isOpen()) {
        m_port->close();
    }
}

bool SerialPort::IsOpen() const
{
    return m_port->isOpen();
}

bool SerialPort::IsWritable() const
{
    return m_port->isOpen() && m_port->isWritable() && !m_lost;
}

qint64 SerialPort::Write(const char* data, qint64 count)
{
    if (!IsWritable()) {
        return -1;
    }
    const qint64 accepted = m_port->write(data, count);
    if (accepted > 0) {
        // Hands the bytes to the operating system now; flush never reads,
        // so no read signal can run from here.
        m_port->flush();
    }
    return accepted;
}

void SerialPort::Drain(int boundMs)
{
    if (!m_port->isOpen()) {
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const int fd = static_cast<int>(m_port->handle());
    while (timer.elapsed() < boundMs && m_port->isOpen() && !m_lost) {
        if (m_port->bytesToWrite() > 0) {
            m_port->flush();
        }
        int queued = 0;
        if (fd >= 0 && ::ioctl(fd, TIOCOUTQ, &queued) != 0) {
            queued = 0;
        }
        if (m_port->bytesToWrite() == 0 && queued <= 0) {
            return;
        }
        pollfd pfd{fd, POLLOUT, 0};
        ::poll(&pfd, 1, 1);
    }
}

void SerialPort::Clear()
{
    if (!m_port->isOpen()) {
        return;
    }
    m_port->readAll();
    m_port->clear(QSerialPort::AllDirections);
}

void SerialPort::PollLine(int timeoutMs)
{
    if (!m_port->isOpen() || m_lost) {
        return;
    }
    // waitForReadyRead emits readyRead itself; keep that from reaching the
    // read handler, the caller takes the bytes.
    m_polling = true;
    m_port->waitForReadyRead(timeoutMs);
    m_polling = false;
}

qint64 SerialPort::BytesAvailable()
{
    if (!m_port->isOpen()) {
        return 0;
    }
    PollLine(0);
    return m_port->bytesAvailable();
}

QByteArray SerialPort::ReadAll()
{
    if (!m_port->isOpen()) {
        return QByteArray();
    }
    if (m_mode == Polling) {
        PollLine(0);
    }
    return m_port->readAll();
}

QByteArray SerialPort::Read(qint64 maxCount)
{
    if (!m_port->isOpen() || maxCount <= 0) {
        return QByteArray();
    }
    QElapsedTimer timer;
    timer.start();
    PollLine(0);
    while (m_port->bytesAvailable() < maxCount && !m_lost) {
        const qint64 left = m_timeoutMs - timer.elapsed();
        if (left <= 0) {
            break;
        }
        PollLine(static_cast<int>(left));
    }
    return m_port->read(maxCount);
}

bool SerialPort::GetChar(char* c)
{
    const QByteArray one = Read(1);
    if (one.isEmpty()) {
        return false;
    }
    if (c) {
        *c = one.at(0);
    }
    return true;
}

QString SerialPort::ErrorString() const
{
    return m_port->errorString();
}

void SerialPort::slot_ready_read()
{
    m_errorRun = 0;
    if (m_mode == EventDriven && !m_polling) {
        emit SignalReadyRead();
    }
}

bool SerialPort::LineHungUp() const
{
    const int fd = static_cast<int>(m_port->handle());
    if (fd < 0) {
        return true;
    }
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, 0) < 0) {
        return true;
    }
    return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void SerialPort::slot_error(int error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) {
        return;
    }
    ++m_errorEvents;
    if (m_lost) {
        return;
    }
    // A read error also shows up once when the ready-read notice of bytes
    // that a polling read already took fires late; only a hung-up line, a
    // resource error or a run of errors means the device is gone.
    ++m_errorRun;
    if (error == QSerialPort::ReadError && !LineHungUp() && m_errorRun < kErrorRunLimit) {
        return;
    }
    m_lost = true;
    LOG_INFO() << "串口读写错误,关闭串口" << m_name << m_port->errorString();
    // The line keeps reporting the error until the port is closed; close it
    // once the port's own handler has returned.
    QMetaObject::invokeMethod(
        this,
        [this]() {
            if (m_port->isOpen()) {
                m_port->close();
            }
            emit SignalUnplugged();
        },
        Qt::QueuedConnection);
}
