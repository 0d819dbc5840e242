#include "workerThread/SerialPortManager.h"

#include "commom/Logger.h"
#include "workerThread/SerialPortEnumerator.h"
#include "workerThread/WorkerThread.h"

#include <QThread>

std::unique_ptr<SerialPortManager> SerialPortManager::m_instance;

SerialPortManager::SerialPortManager() : QObject(nullptr) {}

SerialPortManager::~SerialPortManager() = default;

SerialPortManager* SerialPortManager::GetInstance()
{
    if (!m_instance) {
        m_instance.reset(new SerialPortManager());
    }
    return m_instance.get();
}

void SerialPortManager::InsertImuWorker(WorkerThread* worker, int)
{
    if (m_worker || !worker) {
        return;
    }
    m_worker = worker;

    disconnect(this, &SerialPortManager::SignalSendC, worker, nullptr);
    connect(this, &SerialPortManager::SignalSendC, worker,
            qOverload<uint8_t>(&WorkerThread::slot_send_data));
    disconnect(this, &SerialPortManager::SignalSend, worker, nullptr);
    connect(this, &SerialPortManager::SignalSend, worker,
            qOverload<uint8_t*, uint>(&WorkerThread::slot_send_data));
    disconnect(this, &SerialPortManager::SignalSendBytes, worker, nullptr);
    connect(this, &SerialPortManager::SignalSendBytes, worker,
            qOverload<QByteArray>(&WorkerThread::slot_send_data));
    disconnect(this, &SerialPortManager::SignalSendLongCmdToImuWorker, worker, nullptr);
    connect(this, &SerialPortManager::SignalSendLongCmdToImuWorker, worker,
            &WorkerThread::slot_send_cmd_long);
    disconnect(this, &SerialPortManager::SignalSendLongCmdsToImuWorker, worker, nullptr);
    connect(this, &SerialPortManager::SignalSendLongCmdsToImuWorker, worker,
            &WorkerThread::slot_send_cmd_longs);
    disconnect(this, &SerialPortManager::SignalSendCmdAck, worker, nullptr);
    connect(this, &SerialPortManager::SignalSendCmdAck, worker, &WorkerThread::slot_send_cmd_ack);
    disconnect(this, &SerialPortManager::SignalSendBLCMD, worker, nullptr);
    connect(this, &SerialPortManager::SignalSendBLCMD, worker, &WorkerThread::slot_send_bl_cmd);
    disconnect(this, &SerialPortManager::SignalSendUserConfig, worker, nullptr);
    connect(this, &SerialPortManager::SignalSendUserConfig, worker,
            &WorkerThread::slot_send_user_config);
    disconnect(this, &SerialPortManager::SignalSendAtC, worker, nullptr);
    connect(this, &SerialPortManager::SignalSendAtC, worker,
            qOverload<QString>(&WorkerThread::slot_send_data));
}

void SerialPortManager::ClearWorker()
{
    if (m_worker) {
        disconnect(this, nullptr, m_worker, nullptr);
    }
    m_worker = nullptr;
}

bool SerialPortManager::MayWrite() const
{
    if (!m_worker) {
        return false;
    }
    if (m_worker->IsUpgradeRunning() && QThread::currentThread() != m_worker->thread()) {
        LOG_DEBUG() << "固件升级中,丢弃发送请求";
        return false;
    }
    return true;
}

void SerialPortManager::SendCommand(unsigned char c)
{
    if (MayWrite()) {
        emit SignalSendC(c);
    }
}

void SerialPortManager::SendCommand(unsigned char* p, unsigned int count)
{
    if (!MayWrite() || !p || count == 0) {
        return;
    }
    if (QThread::currentThread() == m_worker->thread()) {
        emit SignalSend(p, count);
    } else {
        // The caller's buffer may be gone before the worker runs: queue a
        // copy.
        emit SignalSendBytes(QByteArray(reinterpret_cast<const char*>(p), static_cast<int>(count)));
    }
}

void SerialPortManager::SendCommand(QByteArray ba)
{
    if (MayWrite()) {
        emit SignalSendBytes(ba);
    }
}

void SerialPortManager::SendCommand(QString at_command)
{
    if (MayWrite()) {
        emit SignalSendAtC(at_command);
    }
}

void SerialPortManager::SendCommand(const QList<QVariant>& list)
{
    if (MayWrite()) {
        emit SignalSendLongCmdToImuWorker(list);
    }
}

void SerialPortManager::SendCommand(const QList<QVariant>& list, unsigned char times,
                                    unsigned int send_number)
{
    if (MayWrite()) {
        emit SignalSendLongCmdsToImuWorker(list, times, send_number);
    }
}

void SerialPortManager::SendCommand(unsigned short cmd, float f1, float f2, unsigned int u1,
                                    unsigned int u2, int i1, int i2)
{
    QList<QVariant> list;
    list << QVariant(static_cast<uint>(cmd)) << QVariant(f1) << QVariant(f2) << QVariant(u1)
         << QVariant(u2) << QVariant(i1) << QVariant(i2);
    SendCommand(list);
}

void SerialPortManager::SendCommandOld(unsigned char cmd, float param, short rev1, unsigned char rev2)
{
    if (MayWrite()) {
        emit SignalSendUserConfig(cmd, param, rev1, rev2);
    }
}

void SerialPortManager::SendCommandOld(unsigned short cmd, unsigned short cm1, unsigned short cm2,
                                       unsigned short cm3, unsigned short cm4, unsigned short cm5,
                                       unsigned short cm6)
{
    if (MayWrite()) {
        emit SignalSendBLCMD(cmd, cm1, cm2, cm3, cm4, cm5, cm6);
    }
}

void SerialPortManager::SendAck(unsigned short cmd_id, unsigned short ack_id, unsigned short result)
{
    if (MayWrite()) {
        emit SignalSendCmdAck(cmd_id, ack_id, result);
    }
}

QStringList SerialPortManager::GetSerialPortNames()
{
    QStringList names;
    for (const PortInfo& port : SerialPortEnumerator::GetPorts()) {
        if (port.portName.isEmpty()) {
            continue;
        }
        const int paren = port.friendName.indexOf('(');
        const QString friendly = paren >= 0 ? port.friendName.left(paren) : port.friendName;
        names.append(port.portName + " # " + friendly);
    }
    return names;
}

QList<int> SerialPortManager::GetSerialPortBauds()
{
    return {9600, 57600, 115200, 230400, 460800, 500000, 921600, 1500000, 2000000};
}
