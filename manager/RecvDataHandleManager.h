#ifndef RECVDATAHANDLEMANAGER_H
#define RECVDATAHANDLEMANAGER_H

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <deque>
#include <memory>

class QTimer;

// Device to pages and page to page: every open page hears every answer and
// acts on the ids it knows.
//
// An answer sent from another thread (the device worker) crosses to the GUI
// thread once and is emitted there to every page, instead of being queued
// once for every listening page. It keeps its place among everything else
// the worker queues for the GUI thread, with one exception: the samples of a
// data stream (AHRS, AHRS group, 33-IMU and navigation data and the raw
// bytes of each read, up to 1000 a second) are handed over in runs, at most every kRunPeriodMs, so the GUI
// thread wakes for a run rather than for every sample. A sample may so reach
// the pages a few milliseconds after something the worker queued later by
// another road; every other answer goes at its own turn, and all answers
// keep their order among themselves. One sent on the GUI thread is emitted
// at once.
class RecvDataHandleManager : public QObject
{
    Q_OBJECT
public:
    static RecvDataHandleManager* GetInstance();
    ~RecvDataHandleManager() override;

    void SendMessageToPageSlot(int id, QVariant var1 = QVariant(), QVariant var2 = QVariant());
    void ResetPage();
    void CloseApp();

    static bool IsStreamSample(int id);
    // GUI thread: the samples waiting for their run reach the pages now
    // (a page about to show something after everything received so far).
    void DeliverWaitingSamples();

signals:
    void SignalSendMessageToPage(int id, QVariant var1 = QVariant(), QVariant var2 = QVariant());
    void SignalResetPage();
    void SignalCloseApp();

private:
    struct PageMessage
    {
        quint64 seq = 0;
        int id = 0;
        QVariant var1;
        QVariant var2;
    };

    RecvDataHandleManager();
    // GUI thread. own_seq: the answer whose own delivery this is, or 0 for
    // the run timer.
    void Deliver(quint64 own_seq);
    bool TakeNext(bool run, PageMessage* message);

    static constexpr int kRunPeriodMs = 5;
    static std::unique_ptr<RecvDataHandleManager> m_instance;

    QPointer<QTimer> m_run_timer; // GUI thread

    // Guarded by m_pending_mutex.
    QMutex m_pending_mutex;
    std::deque<PageMessage> m_pending;
    quint64 m_last_seq = 0;
    quint64 m_released_seq = 0; // answers up to here have had their turn
    bool m_run_due = false;     // samples are being handed over in runs
};

#endif // RECVDATAHANDLEMANAGER_H
