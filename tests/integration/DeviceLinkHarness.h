#ifndef DEVICELINKHARNESS_H
#define DEVICELINKHARNESS_H

// Shared by the device-link suites: a device played on the master side of a
// pseudo-terminal, and a device worker on its own thread driven as the
// connect widget drives it (queued calls), with every page answer, status
// text and port state it produces recorded.

#include <QtTest>

#include "support/PtyDevice.h"
#include "commom/CommonFunction.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/NotifyMsgManager.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

#include <cstring>
#include <functional>

// One clock for the frames the device sees and the answers the pages get.
inline qint64 TestClock()
{
    static QElapsedTimer clock = []() {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

// One frame the application wrote, with the time it was seen.
struct HostFrame
{
    QByteArray bytes;
    qint64 at = 0;

    uint16_t Cmd() const { return static_cast<uint16_t>(uint8_t(bytes[2]) | (uint8_t(bytes[3]) << 8)); }
    uint32_t U32(int offset) const
    {
        uint32_t v = 0;
        std::memcpy(&v, bytes.constData() + offset, 4);
        return v;
    }
    float F1() const
    {
        float f = 0;
        std::memcpy(&f, bytes.constData() + 6, 4);
        return f;
    }
    uint32_t U1() const { return U32(14); }
    bool IsLong() const { return bytes.size() == 34; }
};

inline QByteArray ParamValueFrame(float value, uint32_t index)
{
    QByteArray payload(12, '\0');
    std::memcpy(payload.data(), &value, 4);
    std::memcpy(payload.data() + 8, &index, 4);
    return BuildDeviceFrame(FRAME_PARAM_VALUE, payload);
}

inline QByteArray ParamValueFrameBits(uint32_t bits, uint32_t index)
{
    float value = 0;
    std::memcpy(&value, &bits, 4);
    return ParamValueFrame(value, index);
}

inline QByteArray CmdAckFrame(uint16_t value)
{
    QByteArray payload(8, '\0');
    payload[2] = static_cast<char>(value & 0xFF);
    payload[3] = static_cast<char>(value >> 8);
    return BuildDeviceFrame(FRAME_CMD_ACK, payload);
}

inline QByteArray VersionRequest()
{
    return BuildLongCommandFrame(CMD_GET_VERSION, 0, 0, 0, 0, 0, 0);
}

// The device end of the line: splits what the application writes into its
// frames (55 AA, u16 cmd, u16 length, length bytes, 4 CRC bytes) and lets a
// handler answer each.
class FakeDevice
{
public:
    PtyDevice& Pty() { return m_pty; }
    // Reads and handles frames for ms milliseconds, or until done() holds.
    void Pump(int ms, const std::function<bool()>& done = nullptr)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            const QByteArray got = m_pty.ReadAvailable(5);
            all += got;
            m_pending += got;
            Split();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (done && done()) {
                return;
            }
        }
    }

    std::function<void(const HostFrame&)> onFrame;
    QList<HostFrame> frames;
    QByteArray raw;     // the frames, back to back
    QByteArray stray;   // bytes outside frames
    QByteArray all;     // everything, as it came

    int Count(uint16_t cmd) const
    {
        int n = 0;
        for (const HostFrame& f : frames) {
            n += (f.IsLong() && f.Cmd() == cmd) ? 1 : 0;
        }
        return n;
    }

private:
    void Split()
    {
        while (m_pending.size() >= 6) {
            if (uint8_t(m_pending[0]) != 0x55 || uint8_t(m_pending[1]) != 0xAA) {
                stray += m_pending[0];
                m_pending.remove(0, 1);
                continue;
            }
            const int length = uint8_t(m_pending[4]) | (uint8_t(m_pending[5]) << 8);
            const int total = 6 + length + 4;
            if (m_pending.size() < total) {
                return;
            }
            HostFrame frame{m_pending.left(total), TestClock()};
            m_pending.remove(0, total);
            raw += frame.bytes;
            frames.append(frame);
            if (onFrame) {
                onFrame(frame);
            }
        }
    }

    PtyDevice m_pty;
    QByteArray m_pending;
};

struct PageMessage
{
    int id;
    QVariant var1;
    QVariant var2;
    qint64 at;  // TestClock() when the page got it
};

// The device worker on its own thread, wired like the application wires it.
class LinkHarness
{
public:
    QThread* thread = nullptr;
    WorkerThreadImu* worker = nullptr;
    QList<SerialState> states;
    QList<PageMessage> messages;
    QStringList status;

    void Start()
    {
        RegsiterMetaType();
        thread = new QThread();
        worker = new WorkerThreadImu(nullptr);
        QObject::connect(worker, &WorkerThread::SignalSerialIsOpen, &m_context,
                         [this](SerialState state) { states.append(state); });
        QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater);
        SerialPortManager::GetInstance()->InsertImuWorker(worker, 0);
        worker->moveToThread(thread);
        thread->start();

        QObject::connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
                         &m_context, [this](int id, QVariant var1, QVariant var2) {
                             messages.append({id, var1, var2, TestClock()});
                         });
        QObject::connect(NotifyMsgManager::GetInstance(), &NotifyMsgManager::LogMsgParamConfig, &m_context,
                         [this](int, QStringList list) { status.append(list.join(QString())); });
    }

    void Stop()
    {
        Queue([this]() { worker->slot_close_serial_port(); });
        thread->quit();
        thread->wait();
        delete thread;
        thread = nullptr;
    }

    void Clear()
    {
        messages.clear();
        status.clear();
        states.clear();
    }

    // Runs f on the worker thread and returns its result.
    template <typename F>
    auto OnWorker(F f) -> decltype(f())
    {
        decltype(f()) result{};
        QMetaObject::invokeMethod(worker, [&]() { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }

    // Queues f on the worker thread, as the connect widget's signals do.
    void Queue(const std::function<void()>& f) { QMetaObject::invokeMethod(worker, f, Qt::QueuedConnection); }

    void OpenQueued() { Queue([this]() { worker->slot_open_serial_port(); }); }
    void CloseQueued() { Queue([this]() { worker->slot_close_serial_port(); }); }
    void AutoConnectionQueued(bool status)
    {
        Queue([this, status]() { worker->slot_auto_connection_serial_port(status); });
    }

    // Opens the pty slave at the baud; true when exactly "opened" came back.
    bool Connect(FakeDevice& device, const QString& baud)
    {
        g_connection_serial_name = device.Pty().SlavePath();
        g_connection_baud_rate = baud;
        g_serial_is_connected.store(true);
        states.clear();
        OpenQueued();
        device.Pump(2000, [this]() { return !states.isEmpty(); });
        return states.size() == 1 && states[0] == SERIAL_STATE_OPENED;
    }

    bool Disconnect(FakeDevice& device)
    {
        states.clear();
        CloseQueued();
        device.Pump(2000, [this]() { return !states.isEmpty(); });
        return states.value(0, SERIAL_STATE_OPENED) == SERIAL_STATE_CLOSED;
    }

    // Answers the version requests so that polling stops, then forgets what
    // was seen so far.
    void StopPolling(FakeDevice& device)
    {
        device.Pty().Write(BuildDeviceFrame(FRAME_VERSION, QByteArray(78, '\x01')));
        device.Pump(2000, [this]() { return !Messages(PAGE_MSG_VERSION).isEmpty(); });
        device.Pump(150);
        device.frames.clear();
        device.raw.clear();
        messages.clear();
    }

    QList<PageMessage> Messages(int id) const
    {
        QList<PageMessage> out;
        for (const PageMessage& m : messages) {
            if (m.id == id) {
                out.append(m);
            }
        }
        return out;
    }

private:
    QObject m_context;
};

#endif // DEVICELINKHARNESS_H
