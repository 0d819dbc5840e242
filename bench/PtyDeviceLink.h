#ifndef PTYDEVICELINK_H
#define PTYDEVICELINK_H

// The load benchmarks' device link: a child process plays the device on the
// master side of a pseudo-terminal, and the device worker runs on its own
// thread on the slave side, opened as after a connection. The child starts
// sending only once the port is open.

#include <QCoreApplication>
#include <QString>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "commom/Global.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

// The device side's two chores: hand a whole block to the line, and wait for
// the next absolute deadline so a rate holds on average.
inline bool WriteWholeBlock(int master, const char* p, size_t left)
{
    while (left > 0) {
        const ssize_t w = write(master, p, left);
        if (w <= 0) {
            return false; // the host closed the line
        }
        p += w;
        left -= size_t(w);
    }
    return true;
}

inline void SleepUntilNextTick(timespec& next, long periodNs)
{
    next.tv_nsec += periodNs;
    while (next.tv_nsec >= 1000000000L) {
        next.tv_nsec -= 1000000000L;
        ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
}

class PtyDeviceLink
{
public:
    // Before the application object exists: opens the pseudo-terminal and
    // forks the child, which waits for the port to open, runs stream with
    // the master side and ends.
    bool Fork(const std::function<void(int master)>& stream)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
            std::perror("pty");
            return false;
        }
        m_slave = QString::fromLocal8Bit(ptsname(m_master));
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        m_child = fork();
        if (m_child == 0) {
            close(fds[1]);
            char go = 0;
            if (read(fds[0], &go, 1) == 1) {
                stream(m_master);
            }
            _exit(0);
        }
        close(fds[0]);
        m_go = fds[1];
        return m_child > 0;
    }

    // With the application object: starts the worker on its thread and
    // opens the port; once it is open the child goes and onOpened runs on
    // the calling thread.
    void Open(const std::function<void()>& onOpened)
    {
        m_thread.reset(new QThread());
        m_worker = new WorkerThreadImu(nullptr);
        QObject::connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
        SerialPortManager::GetInstance()->InsertImuWorker(m_worker, 0);
        m_worker->moveToThread(m_thread.get());
        m_thread->start();
        QObject::connect(m_worker, &WorkerThread::SignalSerialIsOpen, QCoreApplication::instance(),
                         [this, onOpened](SerialState state) {
                             if (state != SERIAL_STATE_OPENED || m_opened) {
                                 return;
                             }
                             m_opened = true;
                             const char go = 'g';
                             if (write(m_go, &go, 1) != 1) {
                                 std::perror("go");
                             }
                             onOpened();
                         });
        g_connection_serial_name = m_slave;
        g_connection_baud_rate = QStringLiteral("921600");
        g_serial_is_connected = true;
        WorkerThreadImu* worker = m_worker;
        QMetaObject::invokeMethod(worker, [worker]() { worker->slot_open_serial_port(); }, Qt::QueuedConnection);
    }

    // Closes the port and ends the worker's thread and the child.
    void Close()
    {
        if (m_worker != nullptr) {
            WorkerThreadImu* worker = m_worker;
            QMetaObject::invokeMethod(worker, [worker]() { worker->slot_close_serial_port(); },
                                      Qt::BlockingQueuedConnection);
            m_worker = nullptr;
        }
        if (m_thread) {
            m_thread->quit();
            m_thread->wait();
        }
        if (m_child > 0) {
            kill(m_child, SIGTERM);
            waitpid(m_child, nullptr, 0);
            m_child = -1;
        }
        for (int* fd : {&m_master, &m_go}) {
            if (*fd >= 0) {
                close(*fd);
                *fd = -1;
            }
        }
    }

private:
    int m_master = -1;
    int m_go = -1;
    pid_t m_child = -1;
    QString m_slave;
    std::unique_ptr<QThread> m_thread;
    WorkerThreadImu* m_worker = nullptr;
    bool m_opened = false;
};

#endif // PTYDEVICELINK_H
