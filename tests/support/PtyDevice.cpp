#include "PtyDevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyDevice::PtyDevice()
{
    int master = -1;
    int slave = -1;
    char name[256] = {0};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        return;
    }
    // Raw line on both sides: no echo, no line discipline rewriting bytes.
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
    }
    if (tcgetattr(master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(master, TCSANOW, &tio);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    m_master = master;
    // Keeping one slave descriptor open avoids EIO on the master between
    // the application's close and reopen.
    m_slaveKeepAlive = slave;
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyDevice::~PtyDevice()
{
    CloseMaster();
    if (m_slaveKeepAlive >= 0) {
        ::close(m_slaveKeepAlive);
    }
}

bool PtyDevice::Write(const QByteArray& bytes)
{
    if (m_master < 0) {
        return false;
    }
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    QElapsedTimer timer;
    timer.start();
    while (left > 0) {
        ssize_t n = ::write(m_master, data, static_cast<size_t>(left));
        if (n > 0) {
            data += n;
            left -= n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        if (timer.elapsed() > 5000) {
            return false;
        }
        pollfd pfd{m_master, POLLOUT, 0};
        ::poll(&pfd, 1, 10);
    }
    return true;
}

int PtyDevice::PendingToApplication() const
{
    int pending = -1;
    if (m_slaveKeepAlive < 0 || ::ioctl(m_slaveKeepAlive, FIONREAD, &pending) != 0) {
        return -1;
    }
    return pending;
}

QByteArray PtyDevice::ReadAvailable(int timeoutMs)
{
    return ReadUntil([](const QByteArray& got) { return !got.isEmpty(); }, timeoutMs);
}

QByteArray PtyDevice::ReadExactly(int count, int timeoutMs)
{
    return ReadUntil([count](const QByteArray& got) { return got.size() >= count; }, timeoutMs);
}

QByteArray PtyDevice::ReadUntil(const std::function<bool(const QByteArray&)>& done, int timeoutMs)
{
    QByteArray got;
    if (m_master < 0) {
        return got;
    }
    QElapsedTimer timer;
    timer.start();
    while (true) {
        char buffer[4096];
        while (true) {
            ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            got.append(buffer, static_cast<int>(n));
        }
        if (done(got) || timer.elapsed() >= timeoutMs) {
            return got;
        }
        if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        }
        pollfd pfd{m_master, POLLIN, 0};
        ::poll(&pfd, 1, 2);
    }
}

void PtyDevice::CloseMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyDevice::PublishInPortList() const
{
    QByteArray current = qgetenv("CORVANTA_EXTRA_PORTS");
    QByteArray path = m_slavePath.toLocal8Bit();
    if (!current.isEmpty()) {
        current.append(':');
    }
    current.append(path);
    qputenv("CORVANTA_EXTRA_PORTS", current);
}
