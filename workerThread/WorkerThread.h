#ifndef WORKERTHREAD_H
#define WORKERTHREAD_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "commom/ThrottledLog.h"
#include "workerThread/FrameParser.h"
#include "workerThread/PayloadTypes.h"
#include "workerThread/SerialPort.h"

class QTimer;

// Owner of the one serial port. Created on the GUI thread, moved to a
// QThread of its own; every port operation runs on that thread. Opens and
// closes the port and reports the state, serialises writes behind one lock
// and counts the bytes, polls the device for its version record after an
// open, and offers the synchronous port operations the firmware upgrade
// engine drives while it owns the port. Parsing and request handling belong
// to WorkerThreadImu.
class WorkerThread : public QObject
{
    Q_OBJECT
public:
    explicit WorkerThread(QObject* parent = nullptr);
    ~WorkerThread() override;

    // Feeds one received byte to the frame parser.
    virtual void ImuDataJointPack(unsigned char byte) = 0;
    // The upgrade reply words (UploadReplyBlock) as four unsigned ints.
    virtual unsigned int* GetParamIndexSendUpload() = 0;
    // Logs the parser state.
    virtual void PrintfPackStatus() = 0;

    // Writes one LongCommandFrame.
    void OnSendCmdLong(uint16_t cmd, float f1, float f2, uint32_t u1, uint32_t u2, int32_t i1,
                       int32_t i2);

    // Steps of opening.
    void InitSerialInfo();
    void InitVersionTimer();
    // Parser back to waiting for a header; clears its failure count.
    void InitParseStatus();
    // Starts (at the rate of g_connection_baud_rate) or stops the version
    // polling.
    void SetVersionTimerStatus(bool on);

    // Parser status read by the upgrade engine.
    uint8_t GetParseState() const { return m_parse.State(); }
    uint32_t GetParseFailureCount() const { return m_parse.FailureCount(); }

    // ---- Synchronous port operations of the upgrade engine (worker thread,
    // read handler disconnected). ----
    // Opens the port in polling mode at the given rate (8N1, no flow
    // control, timeout 0); false when it did not open.
    bool OpenSerialPort(BaudRateType baud);
    void CloseSerialPort();
    void SetBaudRate(BaudRateType baud);
    BaudRateType GetBaudRate() const { return m_baud; }
    long BytesAvailable();
    QByteArray ReadAll();
    QByteArray Read(int n);
    bool GetChar(char* c);

    // True while the upgrade engine owns the port: writes requested by pages
    // are dropped meanwhile.
    bool IsUpgradeRunning() const { return m_upgrade_owns_port.load(); }

    // Every request belongs to the connection it was made on. A connection
    // ends when the port is closed, lost or handed to the upgrade engine, or
    // when the worker is being stopped; a later open is another connection.
    // A request takes CurrentLink() as it starts and goes on (waits, sends)
    // only while LinkAlive() holds for it.
    quint64 CurrentLink() const { return m_link.load(); }
    bool LinkAlive(quint64 link) const;
    // Any thread: ends the connection for every request now pending and
    // refuses new ones, so that nothing waits on a worker being stopped.
    void AbandonRequests();
    bool IsStopping() const { return m_stopping.load(); }

    // The port object (null before the first open); for diagnostics and
    // tests.
    SerialPort* GetSerialPort() const { return m_pSerialPort; }
    bool IsReadHandlerConnected() const { return static_cast<bool>(m_read_connection); }
    bool IsVersionPolling() const;
    int VersionRequestInterval() const;
    int VersionTimeoutInterval() const;

signals:
    void SignalSerialIsOpen(SerialState state);
    // The port is open but the device sent no version record within the
    // polling time.
    void SignalVersionUnanswered();

public slots:
    // Read handler, connected to the port's ready-read.
    virtual void slot_on_read_data() = 0;

    void slot_open_serial_port();
    void slot_close_serial_port();
    // The end of the worker: abandons every request, closes the port and
    // deletes the worker once control is back in the thread's own event
    // loop, never inside a request's wait.
    void slot_release();
    // true opens (or reopens) the port, false closes it.
    void slot_auto_connection_serial_port(bool status);

    void slot_send_data(uint8_t c);
    // Bytes are read before the call returns (direct calls only).
    void slot_send_data(uint8_t* p, uint count);
    void slot_send_data(QByteArray ba);
    // Latin-1, up to the first NUL.
    void slot_send_data(QString str);
    // (cmd, f1, f2, u1, u2, i1, i2): one LongCommandFrame.
    void slot_send_cmd_long(const QList<QVariant>& values);
    // times x (frame, then a wait of sleep_times ms that keeps events running).
    void slot_send_cmd_longs(QList<QVariant> values, uint8_t times, uint32_t sleep_times);
    void slot_send_cmd_ack(uint16_t cmd_id, uint16_t ack_id, uint16_t result);
    void slot_send_user_config(uint8_t cmd, float param, short rev1, uint8_t rev2);
    void slot_send_bl_cmd(uint16_t cmd, uint16_t cm1, uint16_t cm2, uint16_t cm3, uint16_t cm4,
                          uint16_t cm5, uint16_t cm6);

protected:
    // Keeps exactly one connection from the port's ready-read to the read
    // handler.
    void ConnectReadHandler();
    void DisconnectReadHandler();
    // Reads and drops what waits on the line.
    void DrainPort();
    // Writes under the write lock, then waits (without the lock) until the
    // bytes have left. Counts what was accepted.
    qint64 WriteBytes(const char* data, qint64 count);
    // Called once the first version record after an open has arrived.
    void StopVersionPollingOnFirstVersion();
    // Held for the whole run of a slot that may wait (run a nested event
    // loop): the worker is deleted only once no such slot runs, so that
    // nothing resumes after its wait in a deleted worker.
    class WaitingSlot
    {
    public:
        explicit WaitingSlot(WorkerThread& worker) : m_worker(worker) { ++m_worker.m_waiting_slots; }
        ~WaitingSlot();
        WaitingSlot(const WaitingSlot&) = delete;
        WaitingSlot& operator=(const WaitingSlot&) = delete;

    private:
        WorkerThread& m_worker;
    };

    // The connection has ended (worker thread): pending waits end at once.
    void EndLink();
    // What a subclass must end with the connection.
    virtual void OnLinkEnded() {}

    FrameParser m_parse;
    std::mutex m_write_mutex;
    SerialPort* m_pSerialPort = nullptr;
    QTimer* m_version_timer = nullptr;
    QTimer* m_version_timeout_timer = nullptr;
    bool m_first_version = false;
    BaudRateType m_baud = BAUD115200;
    QMetaObject::Connection m_read_connection;
    std::atomic<bool> m_upgrade_owns_port{false};
    std::atomic<quint64> m_link{0};
    std::atomic<bool> m_stopping{false};
    int m_waiting_slots = 0;
    bool m_release_pending = false;
    ThrottledLog m_not_writable_log;

private:
    // Ends the connection and closes the port, without a state report.
    void ClosePort();
    void OpenFirstTime();
    void Reopen();
    void slot_port_unplugged();
};

#endif // WORKERTHREAD_H
