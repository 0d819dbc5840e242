#ifndef LIVELINK_H
#define LIVELINK_H

#include <QHash>
#include <QObject>

#include <memory>

#include "PtyDevice.h"

class QThread;
class WorkerThreadImu;

// A live page's link for tests: a device played on the master side of a
// pseudo-terminal and the device worker on its own thread with the port
// open, as after a connection in the application. Counts the bus messages
// the pages receive, by id.
class LiveLink : public QObject
{
    Q_OBJECT
public:
    LiveLink();
    ~LiveLink() override;

    // Starts the worker and opens the port at 115200; true once it is open.
    bool Open();
    // Closes the port and ends the worker's thread.
    void Close();

    PtyDevice& Pty() { return m_pty; }
    // Bus messages of this id delivered to the pages so far.
    int Messages(int id) const { return m_messages.value(id, 0); }
    // Waits until the worker has handled everything queued to it before
    // this call (a page's start or stop of a recording, say).
    bool SyncWorker(int timeoutMs = 5000);

signals:
    void SignalOpenSerial();
    void SignalCloseSerial();

private:
    PtyDevice m_pty;
    QThread* m_thread = nullptr;
    WorkerThreadImu* m_worker = nullptr;
    QHash<int, int> m_messages;
};

#endif // LIVELINK_H
