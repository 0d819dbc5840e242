#include "controls/PortLatency.h"

PortLatency::PortLatency(const QString& portName)
    : QObject(nullptr)
    , m_port_name(portName)
{
}
