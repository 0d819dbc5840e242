#include "manager/RecvDataHandleManager.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <algorithm>

#include "workerThread/MessageIds.h"

std::unique_ptr<RecvDataHandleManager> RecvDataHandleManager::m_instance;

RecvDataHandleManager::RecvDataHandleManager() : QObject(nullptr) {}

RecvDataHandleManager::~RecvDataHandleManager() = default;

RecvDataHandleManager* RecvDataHandleManager::GetInstance()
{
    if (!m_instance) {
        m_instance.reset(new RecvDataHandleManager());
    }
    return m_instance.get();
}

bool RecvDataHandleManager::IsStreamSample(int id)
{
    return id == PAGE_MSG_AHRS_DATA || id == PAGE_MSG_AHRS_GROUP_DATA || id == PAGE_MSG_IMU33_DATA
        || id == PAGE_MSG_PEOPLE_NAV_DATA || id == PAGE_MSG_RAW_DATA;
}

void RecvDataHandleManager::SendMessageToPageSlot(int id, QVariant var1, QVariant var2)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        emit SignalSendMessageToPage(id, var1, var2);
        return;
    }
    quint64 seq = 0;
    bool post = true;
    {
        QMutexLocker locker(&m_pending_mutex);
        seq = ++m_last_seq;
        m_pending.push_back(PageMessage{seq, id, std::move(var1), std::move(var2)});
        if (IsStreamSample(id)) {
            // The first sample after a quiet spell goes at once; the run
            // timer takes the ones after it.
            post = !m_run_due;
            m_run_due = true;
        }
    }
    if (post) {
        QMetaObject::invokeMethod(app, [this, seq] { Deliver(seq); }, Qt::QueuedConnection);
    }
}

bool RecvDataHandleManager::TakeNext(bool run, PageMessage* message)
{
    QMutexLocker locker(&m_pending_mutex);
    if (m_pending.empty()) {
        return false;
    }
    const PageMessage& front = m_pending.front();
    // An answer goes at its own turn, never ahead of it; a run takes the
    // samples waiting in front.
    if (front.seq > m_released_seq && !(run && IsStreamSample(front.id))) {
        return false;
    }
    *message = std::move(m_pending.front());
    m_pending.pop_front();
    return true;
}

void RecvDataHandleManager::Deliver(quint64 own_seq)
{
    const bool run = own_seq == 0;
    bool keep_running = false;
    {
        QMutexLocker locker(&m_pending_mutex);
        m_released_seq = std::max(m_released_seq, own_seq);
        if (run && m_pending.empty()) {
            // A quiet spell: the next sample is posted at once.
            m_run_due = false;
            return;
        }
        keep_running = m_run_due;
    }
    // The next run is set before any page runs: a page's slot may run a
    // nested event loop (a message box), and samples must keep reaching the
    // pages meanwhile.
    if (keep_running) {
        if (m_run_timer.isNull()) {
            m_run_timer = new QTimer(QCoreApplication::instance());
            m_run_timer->setSingleShot(true);
            connect(m_run_timer.data(), &QTimer::timeout, this, [this] { Deliver(0); });
        }
        if (run || !m_run_timer->isActive()) {
            m_run_timer->start(kRunPeriodMs);
        }
    }
    PageMessage message;
    while (TakeNext(run, &message)) {
        emit SignalSendMessageToPage(message.id, message.var1, message.var2);
    }
}

void RecvDataHandleManager::DeliverWaitingSamples()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() == app->thread()) {
        Deliver(0);
    }
}

void RecvDataHandleManager::ResetPage()
{
    emit SignalResetPage();
}

void RecvDataHandleManager::CloseApp()
{
    emit SignalCloseApp();
}
