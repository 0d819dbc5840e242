#ifndef SERIALPORTMANAGER_H
#define SERIALPORTMANAGER_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <memory>

class WorkerThread;

// Process-wide front of the device worker: code on any thread writes to the
// device through SendCommand; the call is re-emitted as a signal connected
// to the worker's writer slot, so the write happens on the worker thread
// (at once when the caller already runs there). Also lists the ports and
// the offered baud rates.
class SerialPortManager : public QObject
{
    Q_OBJECT
public:
    static SerialPortManager* GetInstance();
    ~SerialPortManager() override;

    // Stores the worker and wires the nine sending signals to it; a second
    // worker is ignored.
    void InsertImuWorker(WorkerThread* worker, int);
    void ClearWorker();
    WorkerThread* GetImuWorker() const { return m_worker; }

    // Each does nothing while no worker is stored.
    void SendCommand(unsigned char c);
    // The bytes are copied when the caller is not on the worker thread.
    void SendCommand(unsigned char* p, unsigned int count);
    void SendCommand(QByteArray ba);
    void SendCommand(QString at_command);
    void SendCommand(const QList<QVariant>& list);
    void SendCommand(const QList<QVariant>& list, unsigned char times, unsigned int send_number);
    void SendCommand(unsigned short cmd, float f1, float f2, unsigned int u1, unsigned int u2,
                     int i1, int i2);
    void SendCommandOld(unsigned char cmd, float param, short rev1, unsigned char rev2);
    void SendCommandOld(unsigned short cmd, unsigned short cm1, unsigned short cm2,
                        unsigned short cm3, unsigned short cm4, unsigned short cm5,
                        unsigned short cm6);
    void SendAck(unsigned short cmd_id, unsigned short ack_id, unsigned short result);

    QString GetCurrentPortName() const { return m_port_name; }
    void SetCurrentPortName(const QString& name) { m_port_name = name; }
    int GetCurrentBaud() const { return m_baud; }
    void SetCurrentPortBaud(int baud) { m_baud = baud; }

    // "<port> # <friendly name up to its first '('>" per port.
    static QStringList GetSerialPortNames();
    static QList<int> GetSerialPortBauds();

signals:
    void SignalSendC(uint8_t c);
    void SignalSend(uint8_t* p, uint count);
    void SignalSendBytes(QByteArray ba);
    void SignalSendLongCmdToImuWorker(QList<QVariant> list);
    void SignalSendLongCmdsToImuWorker(QList<QVariant> list, uint8_t times, uint32_t send_number);
    void SignalSendCmdAck(uint16_t cmd_id, uint16_t ack_id, uint16_t result);
    void SignalSendBLCMD(uint16_t cmd, uint16_t cm1, uint16_t cm2, uint16_t cm3, uint16_t cm4,
                         uint16_t cm5, uint16_t cm6);
    void SignalSendUserConfig(uint8_t cmd, float param, short rev1, uint8_t rev2);
    void SignalSendAtC(QString at_command);

private:
    SerialPortManager();
    // False (and logged) while the upgrade engine owns the port and the
    // caller is not the engine itself.
    bool MayWrite() const;

    QString m_port_name;
    int m_baud = 0;
    WorkerThread* m_worker = nullptr;

    static std::unique_ptr<SerialPortManager> m_instance;
};

#endif // SERIALPORTMANAGER_H
