#ifndef PTYDEVICE_H
#define PTYDEVICE_H

#include <QByteArray>
#include <QString>

#include <functional>

// The far end of a serial line for tests: holds the master side of a
// pseudo-terminal and plays the device (or its bootloader, or a USB-to-CAN
// adapter) while the application opens the slave through its normal port
// code.
class PtyDevice
{
public:
    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    bool IsOpen() const { return m_master >= 0; }
    // Path of the slave side, e.g. "/dev/pts/7".
    QString SlavePath() const { return m_slavePath; }

    // Writes all bytes to the line (the application reads them).
    bool Write(const QByteArray& bytes);
    // Returns what the application has written so far, waiting at most
    // timeoutMs for the first byte; keeps the event loop of the calling
    // thread running while it waits.
    QByteArray ReadAvailable(int timeoutMs = 0);
    // Reads until at least count bytes arrived or the time is up.
    QByteArray ReadExactly(int count, int timeoutMs);
    // Reads until predicate(bytes so far) holds or the time is up.
    QByteArray ReadUntil(const std::function<bool(const QByteArray&)>& done, int timeoutMs);

    // Bytes written to the line that wait on the application's side, not
    // read yet (the line delivers them a moment after Write returns); -1
    // when unknown.
    int PendingToApplication() const;

    // Closes the master: to the application this looks like an unplugged
    // device.
    void CloseMaster();

    // Sets the environment variable that adds this pty to the port list.
    void PublishInPortList() const;

private:
    int m_master = -1;
    int m_slaveKeepAlive = -1;
    QString m_slavePath;
};

#endif // PTYDEVICE_H
