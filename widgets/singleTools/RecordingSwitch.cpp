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

// Identity of the latest start of each kind; 0 before the first. The
// worker keeps one recording a kind, so only its latest start can be the
// one running.
std::atomic<quint64>* LatestStartOf(int requestId)
{
    static std::atomic<quint64> ahrs{0}, assistant{0}, peopleNav{0}, imu33{0};
    switch (requestId) {
    case IMU_MSG_RECORD_AHRS: return &ahrs;
    case IMU_MSG_RECORD_ASSISTANT: return &assistant;
    case IMU_MSG_RECORD_PEOPLE_NAV: return &peopleNav;
    case IMU_MSG_RECORD_IMU33: return &imu33;
    default: return nullptr;
    }
}

std::atomic<quint64> g_last_start_id{0};

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
    const quint64 startId = ++g_last_start_id;
    LatestStartOf(requestId)->store(startId);
    // The worker decides start or stop by this flag, so it is set first.
    flag->store(true);
    SendDataHandleManager::GetInstance()->SendMessageToIMU(requestId, QVariant(path), QVariant(startId));
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
    // A report about an earlier recording of the page is not about this one,
    // whatever its file.
    const QStringList parts = var2.toStringList();
    bool numbered = false;
    const quint64 startId = parts.value(2).toULongLong(&numbered);
    if (parts.size() < 3 || !numbered || startId == 0 || startId != LatestStartOf(requestId)->load()
        || path->isEmpty() || parts.at(0) != *path) {
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
