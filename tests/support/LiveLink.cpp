#include "LiveLink.h"

#include <QThread>
#include <QtTest>

#include <atomic>

#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

LiveLink::LiveLink()
{
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            [this](int id, QVariant, QVariant) { ++m_messages[id]; });
}

LiveLink::~LiveLink()
{
    Close();
}

bool LiveLink::Open()
{
    if (m_thread != nullptr || !m_pty.IsOpen()) {
        return false;
    }
    RegsiterMetaType();
    m_thread = new QThread();
    m_worker = new WorkerThreadImu(nullptr);
    connect(this, &LiveLink::SignalOpenSerial, m_worker, &WorkerThread::slot_open_serial_port);
    connect(this, &LiveLink::SignalCloseSerial, m_worker, &WorkerThread::slot_close_serial_port);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    SerialPortManager::GetInstance()->InsertImuWorker(m_worker, 0);
    m_worker->moveToThread(m_thread);
    m_thread->start();

    QList<SerialState> states;
    const QMetaObject::Connection watch = connect(m_worker, &WorkerThread::SignalSerialIsOpen, this,
                                                  [&states](SerialState s) { states.append(s); });
    g_connection_serial_name = m_pty.SlavePath();
    g_connection_baud_rate = QStringLiteral("115200");
    g_serial_is_connected = true;
    g_communicate_with_serial_flag = false;
    emit SignalOpenSerial();
    const bool answered = QTest::qWaitFor([&] { return !states.isEmpty(); }, 5000);
    disconnect(watch);
    return answered && states.first() == SERIAL_STATE_OPENED;
}

void LiveLink::Close()
{
    if (m_thread == nullptr) {
        return;
    }
    emit SignalCloseSerial();
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_worker = nullptr;
}

bool LiveLink::SyncWorker(int timeoutMs)
{
    if (m_worker == nullptr) {
        return false;
    }
    auto reached = std::make_shared<std::atomic<bool>>(false);
    QMetaObject::invokeMethod(m_worker, [reached] { *reached = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&] { return reached->load(); }, timeoutMs);
}
