#include "widgets/singleTools/RecordingSwitch.h"

#include "commom/Global.h"
#include "commom/Logger.h"
#include "manager/SendDataHandleManager.h"
#include "workerThread/MessageIds.h"
#include "workerThread/RawRecording.h"

#include <QStringList>

#include <atomic>

namespace {

std::atomic<bool>* FlagOf(int requestId)
{
    switch (requestId) {
    case IMU_MSG_RECORD_AHRS: return &g_ahrs_file_recording;
    case IMU_MSG_RECORD_ASSISTANT: return &g_serial_assistant_save_data;
    case IMU_MSG_RECORD_PEOPLE_NAV: return &g_people_nav_file_recording;
    case IMU_MSG_RECORD_IMU33: return &g_33imu_file_recording;
    default: return nullptr;
    }
}

} // namespace

bool RecordingSwitch::Start(int requestId, const QString& path, QString* error)
{
    std::atomic<bool>* flag = FlagOf(requestId);
    if (!flag) {
        return false;
    }
    QString reason;
    if (!RawRecording::CanRecordTo(path, &reason)) {
        LOG_WARN() << "无法开始保存数据:" << reason;
        if (error) {
            *error = reason;
        }
        return false;
    }
    // The worker decides start or stop by this flag, so it is set first.
    flag->store(true);
    SendDataHandleManager::GetInstance()->SendMessageToIMU(requestId, QVariant(path), QVariant());
    return true;
}

void RecordingSwitch::Stop(int requestId)
{
    if (std::atomic<bool>* flag = FlagOf(requestId)) {
        flag->store(false);
        SendDataHandleManager::GetInstance()->SendMessageToIMU(requestId, QVariant(), QVariant());
    }
}

bool RecordingSwitch::TakeFailure(int requestId, QString* path, int id, const QVariant& var1, const QVariant& var2,
                                  QString* error)
{
    std::atomic<bool>* flag = FlagOf(requestId);
    if (id != PAGE_MSG_RECORDING_FAILED || var1.toInt() != requestId || !flag) {
        return false;
    }
    // A report about an earlier recording of the page is not about this one.
    const QStringList parts = var2.toStringList();
    if (parts.size() != 2 || path->isEmpty() || parts.at(0) != *path) {
        return false;
    }
    path->clear();
    flag->store(false);
    if (error) {
        *error = parts.at(1);
    }
    return true;
}

QString RecordingSwitch::FailureMessage(const QString& error)
{
    return QStringLiteral("数据保存失败，已停止保存。\n") + error;
}
