#ifndef PORTLATENCY_H
#define PORTLATENCY_H

#include <QObject>
#include <QString>

// Holds a port's name for a latency check of that port.
class PortLatency : public QObject
{
    Q_OBJECT
public:
    explicit PortLatency(const QString& portName);
    ~PortLatency() override = default;

    QString GetPortName() const { return m_port_name; }

signals:
    void debugMessage(QString message);
    void errorMessage(QString message);

private:
    QString m_port_name;
};

#endif // PORTLATENCY_H
