#ifndef SERIALPORTENUMERATOR_H
#define SERIALPORTENUMERATOR_H

#include <QList>
#include <QString>

// One serial port of the machine.
struct PortInfo
{
    QString portName;    // device path, e.g. "/dev/ttyUSB0"
    QString friendName;  // description for people; may be empty
};

// The serial ports of the machine, in the system's order, followed by the
// device paths listed in the environment variable CORVANTA_EXTRA_PORTS
// (colon-separated; pseudo-terminals are not listed by the system).
class SerialPortEnumerator
{
public:
    static QList<PortInfo> GetPorts();
    // The entries of CORVANTA_EXTRA_PORTS alone.
    static QList<PortInfo> GetExtraPorts();
};

#endif // SERIALPORTENUMERATOR_H
