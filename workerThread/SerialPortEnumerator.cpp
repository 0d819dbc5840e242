#include "workerThread/SerialPortEnumerator.h"

#include <QSerialPortInfo>
#include <QSet>
#include <QStringList>

QList<PortInfo> SerialPortEnumerator::GetExtraPorts()
{
    QList<PortInfo> ports;
    const QString extra = QString::fromLocal8Bit(qgetenv("CORVANTA_EXTRA_PORTS"));
    for (const QString& path : extra.split(':', Qt::SkipEmptyParts)) {
        const QString name = path.trimmed();
        if (!name.isEmpty()) {
            ports.append(PortInfo{name, QStringLiteral("Pseudo terminal")});
        }
    }
    return ports;
}

QList<PortInfo> SerialPortEnumerator::GetPorts()
{
    QList<PortInfo> ports;
    QSet<QString> seen;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString name = info.systemLocation();
        if (name.isEmpty() || seen.contains(name)) {
            continue;
        }
        seen.insert(name);
        ports.append(PortInfo{name, info.description()});
    }
    for (const PortInfo& port : GetExtraPorts()) {
        if (!seen.contains(port.portName)) {
            seen.insert(port.portName);
            ports.append(port);
        }
    }
    return ports;
}
