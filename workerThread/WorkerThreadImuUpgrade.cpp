#include "workerThread/WorkerThreadImu.h"

#include <QTimer>

#include "commom/Global.h"
#include "commom/Logger.h"
#include "widgets/general/UpLoadData.h"
#include "widgets/general/UpdataSoftware.h"

namespace {
// Read time-out of the port in normal (event-driven) operation.
constexpr int kEventTimeoutMs = 20;
} // namespace

void WorkerThreadImu::SoftwareUpdata(UpLoadData data)
{
    // The engine polls the port itself; the read handler must not take its
    // bytes meanwhile.
    DisconnectReadHandler();

    UpdataSoftware engine(nullptr);
    engine.SetUpLoadData(data);

    if (m_version_timer)
        m_version_timer->stop();
    if (m_version_timeout_timer)
        m_version_timeout_timer->stop();

    switch (data.mode) {
    case 0:
        LOG_INFO() << "AHRS批量升级";
        engine.UploadAHRSBatch();
        break;
    case 1:
        LOG_INFO() << "串口模式升级";
        engine.UploadSerial();
        break;
    case 2:
        LOG_INFO() << "兼容模式升级";
        engine.UploadVorqa5();
        break;
    case 3:
        LOG_INFO() << "设置USB转CAN波特率";
        engine.SetUsbToCanBaud();
        break;
    default:
        break;
    }

    // However the run ended, the port goes back to the connection: a
    // device that returns to its application (after a cancel or a failure)
    // streams at the connection's rate to a working read handler, and after
    // a success the page ends the connection (the batch run has closed the
    // port by then).
    if (m_pSerialPort && m_pSerialPort->IsOpen()) {
        bool ok = false;
        const int baud = g_connection_baud_rate.Get().trimmed().toInt(&ok);
        if (ok && baud > 0)
            SetBaudRate(static_cast<BaudRateType>(baud));
        m_pSerialPort->SetQueryMode(SerialPort::EventDriven);
        m_pSerialPort->SetTimeout(kEventTimeoutMs);
        InitParseStatus();
        ConnectReadHandler();
    }
}
