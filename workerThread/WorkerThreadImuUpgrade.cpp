#include "workerThread/WorkerThreadImu.h"

#include <QTimer>

#include "commom/Logger.h"
#include "widgets/general/UpLoadData.h"
#include "widgets/general/UpdataSoftware.h"

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
        // Only the adapter-baud operation hands the port back; after an
        // upgrade the page ends the connection.
        ConnectReadHandler();
        break;
    default:
        break;
    }
}
