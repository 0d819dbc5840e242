#ifndef SERIALPORT_H
#define SERIALPORT_H

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>

class QSerialPort;

// Baud rates; the value of each entry is the rate itself, so any rate can be
// carried as BaudRateType(rate).
enum BaudRateType : int
{
    BAUD1200 = 1200,
    BAUD2400 = 2400,
    BAUD4800 = 4800,
    BAUD9600 = 9600,
    BAUD19200 = 19200,
    BAUD38400 = 38400,
    BAUD57600 = 57600,
    BAUD115200 = 115200,
    BAUD230400 = 230400,
    BAUD460800 = 460800,
    BAUD500000 = 500000,
    BAUD921600 = 921600,
    BAUD1000000 = 1000000,
    BAUD1500000 = 1500000,
    BAUD2000000 = 2000000,
};

// The one serial port of the device link: 8 data bits, no parity, 1 stop
// bit, no flow control.
//
// EventDriven: SignalReadyRead is emitted when bytes arrive (normal
// operation). Polling: no signal; BytesAvailable/ReadAll/Read/GetChar look
// at the line themselves, so they see bytes that arrived while no event loop
// ran (the firmware upgrade engine works this way).
//
// Write() hands the bytes to the operating system before it returns;
// Drain() then waits, bounded, until they have left. Neither emits a read
// signal, so Write may be called under a lock that the read path also takes.
//
// A device that vanishes (unplugged USB adapter, closed pty master) makes the
// line report read or resource errors without end: the port closes itself
// on the first one and emits SignalUnplugged once.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    enum QueryMode { EventDriven, Polling };

    explicit SerialPort(QObject* parent = nullptr);
    ~SerialPort() override;

    void SetPortName(const QString& name);
    QString PortName() const { return m_name; }
    // False for a rate of 0 or less, or one the open line refuses.
    bool SetBaudRate(int baud);
    int BaudRate() const { return m_baud; }
    void SetQueryMode(QueryMode mode);
    QueryMode GetQueryMode() const { return m_mode; }
    // Polling reads wait up to this long for missing bytes.
    void SetTimeout(int milliseconds) { m_timeoutMs = milliseconds < 0 ? 0 : milliseconds; }

    // Opens for reading and writing with the name and rate set before. An
    // open port stays as it is and true is returned.
    bool Open();
    void Close();
    bool IsOpen() const;
    bool IsWritable() const;

    // Bytes accepted (all or -1 on failure).
    qint64 Write(const char* data, qint64 count);
    // Waits until the written bytes have left the host, at most boundMs.
    void Drain(int boundMs);
    // Drops what waits in both directions.
    void Clear();

    qint64 BytesAvailable();
    QByteArray ReadAll();
    QByteArray Read(qint64 maxCount);
    bool GetChar(char* c);

    QString ErrorString() const;
    // Read or resource errors the line has reported since the last Open.
    int ErrorEvents() const { return m_errorEvents; }

signals:
    void SignalReadyRead();
    void SignalUnplugged();

private slots:
    void slot_ready_read();
    void slot_error(int error);

private:
    void PollLine(int timeoutMs);
    bool LineHungUp() const;

    static constexpr int kErrorRunLimit = 20;

    QSerialPort* m_port = nullptr;
    QString m_name;
    int m_baud = 0;
    QueryMode m_mode = EventDriven;
    int m_timeoutMs = 0;
    bool m_lost = false;
    bool m_polling = false;
    int m_errorEvents = 0;
    int m_errorRun = 0;
};

#endif // SERIALPORT_H
