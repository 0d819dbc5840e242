#include "workerThread/WorkerThreadImu.h"

#include "commom/CommonFunction.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "manager/NotifyMsgManager.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/MessageIds.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Set from a test's thread, read by the worker's.
std::atomic<int> g_set_param_timeout_ms{WorkerThreadImu::kSetParamTimeoutMs};

// An acknowledgement value no parameter id, table index or reply code can
// take: set before a wait so that only a fresh reply ends it.
constexpr uint32_t kNoAck = 0xFFFFFFFFu;

constexpr int kTableSize = 127;
constexpr int kTableCrcEntries = 126;

uint32_t U32At(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
           | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The u32 at offset, taking only the bytes the payload holds (the rest
// reads as zero).
uint32_t U32Within(const uint8_t* payload, uint32_t length, uint32_t offset)
{
    uint8_t bytes[4] = {0, 0, 0, 0};
    for (uint32_t i = 0; i < 4 && offset + i < length; ++i) {
        bytes[i] = payload[offset + i];
    }
    return U32At(bytes);
}

float F32At(const uint8_t* p)
{
    const uint32_t bits = U32At(p);
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

int TruncateToInt(float value)
{
    if (!std::isfinite(value) || value >= 2147483648.0f || value < -2147483648.0f) {
        return 0;
    }
    return static_cast<int>(value);
}

qint64 Now()
{
    return GetMonotonicTimeInMs();
}

void SendToPages(int id, const QVariant& var1 = QVariant(), const QVariant& var2 = QVariant())
{
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(id, var1, var2);
}

QList<QVariant> CommandList(uint cmd, float f1, float f2, uint u1, uint u2, int i1, int i2)
{
    QList<QVariant> list;
    list << QVariant(cmd) << QVariant(f1) << QVariant(f2) << QVariant(u1) << QVariant(u2) << QVariant(i1)
         << QVariant(i2);
    return list;
}

// Parameter id to its slot in ImuParamData, or -1.
int SlotOfParam(uint32_t index)
{
    switch (index) {
    case 3: return 0;
    case 5: return 1;
    case 8: return 2;
    case 9: return 3;
    case 10: return 4;
    case 16: return 5;
    case 17: return 6;
    case 18: return 7;
    case 21: return 8;
    case 25: return 9;
    case 31: return 10;
    case 4: return 12;
    default: return -1;
    }
}

const char* GetStatusText(uint32_t id, bool ok)
{
    switch (id) {
    case 25: return ok ? "状态：获取初始数据流状态成功" : "状态：获取初始数据流状态失败";
    case 3: return ok ? "状态：获取波特率成功" : "状态：获取波特率失败";
    case 21: return ok ? "状态：获取更新率成功" : "状态：获取更新率失败";
    case 31: return ok ? "状态：获取滤波器成功" : "状态：获取滤波器失败";
    case 5: return ok ? "状态：获取自动扣零偏成功" : "状态：获取自动扣零偏失败";
    default: return nullptr;
    }
}

const char* SetStatusText(uint32_t id, bool ok)
{
    switch (id) {
    case 25: return ok ? "状态：设置初始数据流状态成功" : "状态：设置初始数据流状态失败";
    case 3: return ok ? "状态：设置波特率成功" : "状态：设置波特率失败";
    case 21: return ok ? "状态：设置更新率成功" : "状态：设置更新率失败";
    case 31: return ok ? "状态：设置滤波器成功" : "状态：设置滤波器失败";
    case 5: return ok ? "状态：设置自动扣零偏成功" : "状态：设置自动扣零偏失败";
    case 4: return ok ? "状态：设置安装偏差角成功" : "状态：设置安装偏差角失败";
    default: return nullptr;
    }
}

void ExitIfClosing()
{
    if (g_app_is_exit.load()) {
        ForceExitApplication();
    }
}

// Requests that write to the port (everything but the recording switches).
bool RequestWrites(int id)
{
    return id != IMU_MSG_RECORD_AHRS && id != IMU_MSG_RECORD_ASSISTANT && id != IMU_MSG_RECORD_PEOPLE_NAV
           && id != IMU_MSG_RECORD_IMU33;
}

} // namespace

WorkerThreadImu::WorkerThreadImu(WorkerThread* parent) : WorkerThread(parent)
{
    m_param_seen.insert(0);
    connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU, this,
            &WorkerThreadImu::SendMessageToIMU, Qt::AutoConnection);
}

WorkerThreadImu::~WorkerThreadImu()
{
    LOG_DEBUG() << "~WorkerThreadImu";
}

// ---- Receive side ----

void WorkerThreadImu::slot_on_read_data()
{
    if (!m_pSerialPort) {
        return;
    }
    const QByteArray bytes = m_pSerialPort->ReadAll();
    g_recv_total_byte.fetch_add(static_cast<uint64_t>(bytes.size()));
    if (g_current_action_name == QStringLiteral("参数设置")) {
        SendToPages(PAGE_MSG_PARAM_RAW_DATA, bytes);
    }
    SendToPages(PAGE_MSG_RAW_DATA, bytes);
    ParseChunk(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
    if (bytes.isEmpty()) {
        return;
    }
    if (m_ahrs_recording.IsOn()) {
        WriteAhrsDataToFile(bytes);
    }
    if (m_people_recording.IsOn()) {
        WritePeopleDataToFile(bytes);
    }
    if (m_assistant_recording.IsOn()) {
        WriteSerialAssistantDataToFile(bytes);
    }
    if (m_imu33_recording.IsOn()) {
        Write33IMUDataToFile(bytes);
    }
}

void WorkerThreadImu::ParseChunk(const uint8_t* data, size_t count)
{
    size_t used = 0;
    while (used < count) {
        bool ready = false;
        used += m_parse.Feed(data + used, count - used, &ready);
        if (ready) {
            DataExtraction();
        }
    }
}

void WorkerThreadImu::ImuDataJointPack(unsigned char byte)
{
    if (m_parse.PushByte(byte)) {
        DataExtraction();
    }
}

unsigned int* WorkerThreadImu::GetParamIndexSendUpload()
{
    return m_upload_reply.words;
}

void WorkerThreadImu::PrintfPackStatus()
{
    LOG_DEBUG() << "m_parse.state = " << m_parse.State() << "\tm_parse.id = " << m_parse.Id()
                << "\tm_parse.length = " << m_parse.Length();
}

void WorkerThreadImu::DataExtractionUploader()
{
    if (g_cancelUpgradeFlag.load()) {
        return;
    }
    const uint8_t* payload = m_parse.Payload();
    const uint32_t length = m_parse.Length();
    switch (m_parse.Id()) {
    case FRAME_BOOT_SYNC: {
        m_upload_reply.words[UploadReplyBlock::SYNC_WORD_LOW] = U32Within(payload, length, 0);
        m_upload_reply.words[UploadReplyBlock::SYNC_WORD_HIGH] = U32Within(payload, length, 4);
        LOG_DEBUG() << "接收到的同步指令: " << m_upload_reply.words[UploadReplyBlock::SYNC_WORD_LOW];
        break;
    }
    case FRAME_UPLOAD_REPLY:
        m_upload_reply.words[UploadReplyBlock::UPLOAD_REPLY_WORD] = U32Within(payload, length, 4);
        break;
    case FRAME_CMD_ACK:
        m_upload_reply.words[UploadReplyBlock::ACK_WORD] = U32Within(payload, length, 4);
        break;
    default:
        break;
    }
}

void WorkerThreadImu::DataExtraction()
{
    DataExtractionUploader();
    g_communicate_with_serial_flag.store(true);

    const uint8_t* payload = m_parse.Payload();
    const uint32_t length = m_parse.Length();
    switch (m_parse.Id()) {
    case FRAME_AHRS_DATA: {
        m_ahrs_data = PayloadToRecord<AhrsData>(payload, length);
        const QVariant record = QVariant::fromValue(m_ahrs_data);
        SendToPages(PAGE_MSG_AHRS_DATA, record, QVariant(0));
        SendToPages(PAGE_MSG_AHRS_GROUP_DATA, record, QVariant(0));
        break;
    }
    case FRAME_IMU33_DATA:
        m_array_data = PayloadToRecord<AhrsArrayData>(payload, length);
        SendToPages(PAGE_MSG_IMU33_DATA, QVariant::fromValue(m_array_data), QVariant(0));
        break;
    case FRAME_PEOPLE_NAV_DATA:
        SendToPages(PAGE_MSG_PEOPLE_NAV_DATA, QVariant::fromValue(PayloadToRecord<PeopleNavPayload>(payload, length)));
        break;
    case FRAME_FIRMWARE_INFO:
        SendToPages(PAGE_MSG_FIRMWARE_INFO, QVariant::fromValue(PayloadToRecord<FirmwareInfoPayload>(payload, length)));
        break;
    case FRAME_VERSION: {
        static const int versionType = qRegisterMetaType<VersionPayload>("VersionPayload");
        Q_UNUSED(versionType);
        StopVersionPollingOnFirstVersion();
        LOG_INFO() << "收到了版本信息";
        m_version = PayloadToRecord<VersionPayload>(payload, length);
        SendToPages(PAGE_MSG_VERSION, QVariant::fromValue(m_version));
        break;
    }
    case FRAME_CALIB_PUBLISH:
    case FRAME_CALIB_PUBLISH_ALT:
        LOG_DEBUG() << "标定信息帧类型" << m_parse.Id();
        SendToPages(PAGE_MSG_AHRS_GROUP_ATTRIBUTES, QVariant::fromValue(BuildCalibPublish(payload, length)),
                    QVariant::fromValue(m_version));
        break;
    case FRAME_CMD_ACK:
        // Shorter than its acknowledged value: counts for nothing.
        if (length >= 4) {
            const uint32_t value = static_cast<uint32_t>(payload[2]) | (static_cast<uint32_t>(payload[3]) << 8);
            m_last_ack_value = value;
            m_table_ack = value;
            g_param_set_success_flag.store(static_cast<int>(value));
        }
        break;
    case FRAME_PARAM_VALUE:
        HandleParamValue(payload, length);
        break;
    default:
        break;
    }
}

void WorkerThreadImu::HandleParamValue(const uint8_t* payload, uint32_t length)
{
    // A frame without its index (bytes 8..11) counts for nothing.
    if (length < 12) {
        return;
    }
    const float value = F32At(payload);
    const uint32_t index = U32At(payload + 8);

    m_last_ack_value = index;
    slot_send_cmd_ack(CMD_ACK, kHostAckId, static_cast<uint16_t>(index & 0xFFFF));

    if (g_select_data_rate.load()) {
        g_data_rate.store(TruncateToInt(value));
        g_select_data_rate.store(false);
        return;
    }

    if (m_table_read_mode == 1) {
        if (m_table.contains(index)) {
            return;
        }
        m_table.insert(index, value);
        const QString progress = QString("已收到参数:%1/%2").arg(m_table.size()).arg(m_table_expected);
        SendToPages(PAGE_MSG_PARAM_TABLE_READ, QVariant(static_cast<int>(PARAM_TABLE_READ_PROGRESS)), progress);
        if (index + 1 == m_table_expected) {
            float buffer[kTableCrcEntries] = {0};
            int k = 0;
            for (auto it = m_table.constBegin(); it != m_table.constEnd() && k < kTableCrcEntries; ++it, ++k) {
                buffer[k] = it.value();
            }
            const uint32_t crc =
                crc_crc32(kFrameCrcInit, reinterpret_cast<const unsigned char*>(buffer), sizeof buffer);
            if (crc != U32At(payload)) {
                SendToPages(PAGE_MSG_PARAM_TABLE_READ, QVariant(static_cast<int>(PARAM_TABLE_READ_CRC_FAILED)),
                            progress + ",CRC校验不通过");
            } else {
                SendToPages(PAGE_MSG_PARAM_TABLE_READ, QVariant(static_cast<int>(PARAM_TABLE_READ_CRC_PASSED)),
                            progress + ",CRC校验通过");
                SendToPages(PAGE_MSG_PARAM_TABLE_READ, QVariant(static_cast<int>(PARAM_TABLE_READ_TABLE)),
                            QVariant::fromValue(m_table));
            }
            m_table_read_mode = 0;
        }
        return;
    }

    const int seenKey = static_cast<int>(index);
    if (m_param_seen.contains(seenKey)) {
        return;
    }
    m_param_seen.insert(seenKey);
    const int slot = SlotOfParam(index);
    if (slot >= 0) {
        m_param_cache.Slot(slot) = value;
    }
    if (m_param_seen.size() == m_param_expected || Now() > m_param_deadline) {
        SendToPages(PAGE_MSG_PARAM_DATA, QVariant::fromValue(m_param_cache));
    }
}

// ---- Recordings ----

void WorkerThreadImu::SwitchRecording(RawRecording& recording, int requestId, bool globalFlag,
                                      const QVariant& path, const QVariant& startId)
{
    if (!recording.Stop()) {
        ReportRecordingFailure(recording, requestId);
    }
    if (!globalFlag) {
        return;
    }
    const QString name = path.userType() == QMetaType::QString ? path.toString() : QString();
    if (!recording.Start(name, startId.toULongLong())) {
        ReportRecordingFailure(recording, requestId);
    }
}

void WorkerThreadImu::AppendToRecording(RawRecording& recording, int requestId, const QByteArray& bytes)
{
    if (recording.IsOn() && !recording.Append(bytes)) {
        ReportRecordingFailure(recording, requestId);
    }
}

void WorkerThreadImu::ReportRecordingFailure(const RawRecording& recording, int requestId)
{
    LOG_WARN() << "数据保存失败，已停止保存:" << recording.ErrorText() << "已保存字节数:"
               << recording.BytesWritten();
    SendToPages(PAGE_MSG_RECORDING_FAILED, QVariant(requestId),
                QVariant(QStringList{recording.Path(), recording.ErrorText(),
                                     QString::number(recording.StartId())}));
}

void WorkerThreadImu::WriteAhrsDataToFile(const QByteArray& bytes)
{
    AppendToRecording(m_ahrs_recording, IMU_MSG_RECORD_AHRS, bytes);
}

void WorkerThreadImu::WritePeopleDataToFile(const QByteArray& bytes)
{
    AppendToRecording(m_people_recording, IMU_MSG_RECORD_PEOPLE_NAV, bytes);
}

void WorkerThreadImu::WriteSerialAssistantDataToFile(const QByteArray& bytes)
{
    AppendToRecording(m_assistant_recording, IMU_MSG_RECORD_ASSISTANT, bytes);
}

void WorkerThreadImu::Write33IMUDataToFile(const QByteArray& bytes)
{
    AppendToRecording(m_imu33_recording, IMU_MSG_RECORD_IMU33, bytes);
}

// ---- Requests ----

namespace {

const char* const kLinkEndedSuffix = "（设备连接已断开）";
const char* const kBusyText = "上一个参数请求尚未完成，本次请求未执行";

// Name of a parameter in the write's final status.
const char* ParamName(uint32_t id)
{
    switch (id) {
    case 25: return "初始数据流状态";
    case 3: return "波特率";
    case 21: return "更新率";
    case 31: return "滤波器";
    case 5: return "自动扣零偏";
    case 4: return "安装偏差角";
    default: return "";
    }
}

// Marks a parameter request as running for its whole run, waits included.
class ParamRequestScope
{
public:
    explicit ParamRequestScope(bool& running) : m_running(running) { m_running = true; }
    ~ParamRequestScope() { m_running = false; }
    ParamRequestScope(const ParamRequestScope&) = delete;
    ParamRequestScope& operator=(const ParamRequestScope&) = delete;

private:
    bool& m_running;
};

} // namespace

void WorkerThreadImu::SendStatus(const char* text)
{
    if (text) {
        SendStatus(QString::fromUtf8(text), false);
    }
}

void WorkerThreadImu::SendStatus(const QString& text, bool last)
{
    NotifyMsgManager::GetInstance()->SendLogMsg(
        QStringLiteral("ImuParameterConfigWidget"),
        last ? NotifyMsgManager::PAGE_TYPE_STATUS_END : NotifyMsgManager::PAGE_TYPE_STATUS, text);
}

void WorkerThreadImu::OnLinkEnded()
{
    // A table read waits for answers that can no longer come.
    if (m_table_read_mode == 1) {
        m_table_read_mode = 0;
        SendToPages(PAGE_MSG_PARAM_TABLE_READ, QVariant(static_cast<int>(PARAM_TABLE_READ_CRC_FAILED)),
                    QString("已收到参数:%1/%2,设备连接已断开").arg(m_table.size()).arg(m_table_expected));
    }
}

bool WorkerThreadImu::RefuseWhileParamRequestRuns(int id, int tableType)
{
    if (!m_param_request_running) {
        return false;
    }
    LOG_DEBUG() << "参数请求进行中,拒绝请求" << id;
    const QString busy = QString::fromUtf8(kBusyText);
    if (id == IMU_MSG_PARAM_TABLE) {
        if (tableType == PARAM_TABLE_WRITE) {
            SendToPages(PAGE_MSG_PARAM_TABLE_WRITE, QVariant(static_cast<int>(PARAM_TABLE_WRITE_INTERRUPTED)), busy);
        } else {
            SendToPages(PAGE_MSG_PARAM_TABLE_READ, QVariant(static_cast<int>(PARAM_TABLE_READ_CRC_FAILED)), busy);
        }
    } else {
        SendStatus(QString::fromUtf8("状态：") + busy, true);
    }
    return true;
}

void WorkerThreadImu::SendMessageToIMU(int id, QVariant var1, QVariant var2)
{
    LOG_DEBUG() << "SendMessageToIMU MessageId:" << id;
    if (id < 0 || id > IMU_MSG_MAX || id == 8 || id == 13) {
        return;
    }
    if (m_stopping.load()) {
        LOG_DEBUG() << "设备线程退出中,丢弃请求" << id;
        return;
    }
    if (m_upgrade_owns_port.load() && RequestWrites(id)) {
        LOG_DEBUG() << "固件升级中,丢弃请求" << id;
        if (id == IMU_MSG_READ_PARAMS || id == IMU_MSG_WRITE_PARAMS) {
            SendStatus(QStringLiteral("状态：固件升级中，本次请求未执行"), true);
        }
        return;
    }
    const WaitingSlot waiting(*this);
    // The connection this request belongs to.
    const quint64 link = CurrentLink();
    switch (id) {
    case IMU_MSG_READ_PARAMS:
        if (!RefuseWhileParamRequestRuns(id, 0)) {
            ParamRequestScope scope(m_param_request_running);
            ReadParams(link);
        }
        break;
    case IMU_MSG_WRITE_PARAMS:
        if (!RefuseWhileParamRequestRuns(id, 0)) {
            ParamRequestScope scope(m_param_request_running);
            WriteParams(link, var1);
        }
        break;
    case IMU_MSG_SEND_COMMAND: {
        RecvOneParameterPayload args{};
        if (var1.userType() == qMetaTypeId<RecvOneParameterPayload>()) {
            args = var1.value<RecvOneParameterPayload>();
        }
        bool ok = false;
        const uint cmd = var2.toUInt(&ok);
        const QList<QVariant> list =
            CommandList(ok ? (cmd & 0xFFFF) : 0u, args.p1, args.p2, args.p3, args.p4, args.p5, args.p6);
        slot_send_cmd_longs(list, 1, 15);
        break;
    }
    case IMU_MSG_MODE_START:
    case IMU_MSG_GROUP_COMMAND:
    case IMU_MSG_COMMAND_LIST:
    case IMU_MSG_MODE_START_PEOPLE_NAV:
    case IMU_MSG_MODE_START_IMU33:
        SendCommandList(var1);
        break;
    case IMU_MSG_RECORD_AHRS:
        SwitchRecording(m_ahrs_recording, IMU_MSG_RECORD_AHRS, g_ahrs_file_recording.load(), var1, var2);
        break;
    case IMU_MSG_RECORD_ASSISTANT:
        SwitchRecording(m_assistant_recording, IMU_MSG_RECORD_ASSISTANT, g_serial_assistant_save_data.load(), var1,
                        var2);
        break;
    case IMU_MSG_RECORD_PEOPLE_NAV:
        SwitchRecording(m_people_recording, IMU_MSG_RECORD_PEOPLE_NAV, g_people_nav_file_recording.load(), var1,
                        var2);
        break;
    case IMU_MSG_RECORD_IMU33:
        SwitchRecording(m_imu33_recording, IMU_MSG_RECORD_IMU33, g_33imu_file_recording.load(), var1, var2);
        break;
    case IMU_MSG_PARAM_TABLE:
        ParamTableRequest(link, var1, var2);
        break;
    case IMU_MSG_FIRMWARE_UPGRADE: {
        UpLoadData data;
        if (var1.userType() == qMetaTypeId<UpLoadData>()) {
            data = var1.value<UpLoadData>();
        }
        // The engine takes the port over: no request made before goes on.
        EndLink();
        m_upgrade_owns_port.store(true);
        SoftwareUpdata(data);
        m_upgrade_owns_port.store(false);
        break;
    }
    case IMU_MSG_SEND_RAW:
        slot_send_data(var1.toByteArray());
        break;
    case IMU_MSG_SAVE_FLASH:
        SaveToFlash(link, 10000, 20);
        break;
    default:
        break;
    }
}

void WorkerThreadImu::SendCommandList(const QVariant& var1)
{
    const QList<QVariant> list = var1.toList();
    if (list.size() < 7) {
        LOG_DEBUG() << "命令参数个数错误" << list.size();
        return;
    }
    slot_send_cmd_longs(list, 1, 15);
}

bool WorkerThreadImu::SendUntilAcknowledged(quint64 link, const QList<QVariant>& list, uint32_t expected,
                                            int firstPauseMs, qint64 timeoutMs)
{
    m_parse.ResetState();
    // A reply to an earlier request must not pass for this one.
    m_last_ack_value = kNoAck;
    if (!LinkAlive(link)) {
        return false;
    }
    slot_send_cmd_long(list);
    MSleepNonBlock(static_cast<unsigned int>(firstPauseMs));
    const qint64 deadline = Now() + timeoutMs;
    ThrottledLog retryLog;
    int resent = 0;
    while (Now() < deadline) {
        // Checked before the application's end: a worker being stopped lets
        // its requests end instead of ending the process.
        if (!LinkAlive(link)) {
            LOG_DEBUG() << "连接已结束,停止等待应答" << list.value(0).toUInt() << "已重发" << resent << "次";
            return false;
        }
        ExitIfClosing();
        if (m_last_ack_value == expected) {
            break;
        }
        OnSendCmdLong(static_cast<uint16_t>(list.value(0).toUInt() & 0xFFFF), list.value(1).toFloat(),
                      list.value(2).toFloat(), list.value(3).toUInt(), list.value(4).toUInt(),
                      list.value(5).toInt(), list.value(6).toInt());
        ++resent;
        if (retryLog.Allow()) {
            LOG_DEBUG() << "未收到应答,重发命令" << list.value(0).toUInt() << "参数" << expected << "已重发" << resent
                        << "次";
        }
        MSleepNonBlock(5);
    }
    const bool ok = m_last_ack_value == expected;
    if (!ok) {
        LOG_DEBUG() << "命令无应答" << list.value(0).toUInt() << "参数" << expected << "共重发" << resent << "次";
    }
    return ok;
}

bool WorkerThreadImu::GetParam(quint64 link, uint32_t id)
{
    const bool ok = SendUntilAcknowledged(link, CommandList(CMD_GET_PARAM, 0, 0, id, 0, 0, 0), id, 10, 3000);
    if (ok) {
        m_get_failure_count = 0;
    } else {
        ++m_get_failure_count;
    }
    SendStatus(GetStatusText(id, ok));
    return ok;
}

void WorkerThreadImu::SetSetParamTimeoutForTest(int ms)
{
    g_set_param_timeout_ms.store(ms > 0 ? ms : kSetParamTimeoutMs);
}

bool WorkerThreadImu::SetParam(quint64 link, float value, uint32_t id)
{
    const bool ok = SendUntilAcknowledged(link, CommandList(CMD_SET_PARAM, value, 0, id, 0, 0, 0), id, 20,
                                          g_set_param_timeout_ms.load());
    SendStatus(SetStatusText(id, ok));
    return ok;
}

bool WorkerThreadImu::SaveToFlash(quint64 link, int deadlineMs, int pollMs)
{
    m_parse.ResetState();
    m_last_ack_value = 0;
    if (LinkAlive(link)) {
        OnSendCmdLong(CMD_SAVE_FLASH, 0, 0, 0, 0, 0, 0);
        const qint64 deadline = Now() + deadlineMs;
        while (Now() < deadline && LinkAlive(link)) {
            ExitIfClosing();
            if (m_last_ack_value == 1) {
                break;
            }
            MSleepNonBlock(static_cast<unsigned int>(pollMs));
        }
    }
    const bool ok = m_last_ack_value == 1;
    if (ok) {
        LOG_DEBUG() << "存储参数到flash成功";
    } else {
        LOG_DEBUG() << "存储参数失败 " << m_last_ack_value;
    }
    return ok;
}

void WorkerThreadImu::ReadParams(quint64 link)
{
    m_table_read_mode = 0;
    m_param_seen.clear();
    m_param_cache = ImuParamData{};
    m_param_deadline = Now() + 5000;

    LOG_DEBUG() << "SendCmdLongs cmdId = " << CMD_GET_VERSION;
    for (int i = 0; i < 10 && LinkAlive(link); ++i) {
        OnSendCmdLong(CMD_GET_VERSION, 0, 0, 0, 0, 0, 0);
        MSleepNonBlock(15);
    }

    int succeeded = 0;
    if (LinkAlive(link) && GetParam(link, 25)) {
        ++succeeded;
    }
    for (uint32_t id : {3u, 21u, 31u, 5u, 4u}) {
        if (m_get_failure_count > 1 || !LinkAlive(link)) {
            break;
        }
        if (GetParam(link, id)) {
            ++succeeded;
        }
    }
    if (!LinkAlive(link)) {
        SendStatus(QString::fromUtf8("状态：读取数据失败") + QString::fromUtf8(kLinkEndedSuffix), true);
    } else {
        SendStatus(QString::fromUtf8(succeeded < 6 ? "状态：读取数据失败" : "状态：读取数据成功"), true);
    }
}

void WorkerThreadImu::WriteParams(quint64 link, const QVariant& var1)
{
    ImuParamData data{};
    if (var1.userType() == qMetaTypeId<ImuParamData>()) {
        data = var1.value<ImuParamData>();
    }
    const QList<QPair<float, uint32_t>> steps = {
        {data.STREAM_MODE1, 25}, {data.BAUD_RATE, 3}, {data.IMU_ODR, 21},
        {data.LP_CONFIG_REG, 31}, {data.auto_gyro_bias_delete, 5}, {data.imu_orientation, 4},
    };
    QStringList failed;
    for (const auto& step : steps) {
        // Once the connection has ended nothing more is sent: the rest
        // counts as not set.
        if (!LinkAlive(link) || !SetParam(link, step.first, step.second)) {
            failed.append(QString::fromUtf8(ParamName(step.second)));
        }
    }
    const QString failedText = QString::fromUtf8("状态：设置参数失败：") + failed.join(QString::fromUtf8("、"));
    if (!LinkAlive(link)) {
        SendStatus(failedText + QString::fromUtf8(kLinkEndedSuffix), true);
        return;
    }
    if (failed.size() == steps.size()) {
        // The device took none of them: a store would keep only what it
        // already held, and there is no "rest" to call stored.
        SendStatus(failedText, true);
        return;
    }
    const bool stored = SaveToFlash(link, 3000, 100);
    QString text;
    if (failed.isEmpty()) {
        text = QString::fromUtf8(stored ? "状态：存储参数到flash成功" : "状态：存储参数到flash失败");
    } else {
        text = failedText + QString::fromUtf8(stored ? "；其余参数已存储到flash" : "；存储参数到flash失败");
    }
    if (!stored && !LinkAlive(link)) {
        text += QString::fromUtf8(kLinkEndedSuffix);
    }
    SendStatus(text, true);
}

void WorkerThreadImu::ParamTableRequest(quint64 link, const QVariant& var1, const QVariant& var2)
{
    int type = PARAM_TABLE_READ;
    if (var1.userType() == qMetaTypeId<ParamTableReqType>()) {
        type = var1.value<ParamTableReqType>();
    } else {
        bool ok = false;
        const int value = var1.toInt(&ok);
        type = ok ? value : PARAM_TABLE_READ;
    }
    if (type != PARAM_TABLE_RESTORE && RefuseWhileParamRequestRuns(IMU_MSG_PARAM_TABLE, type)) {
        return;
    }
    switch (type) {
    case PARAM_TABLE_WRITE: {
        ParamRequestScope scope(m_param_request_running);
        WriteParamTable(link, var2);
        break;
    }
    case PARAM_TABLE_RESTORE: {
        const QList<QVariant> list = CommandList(CMD_RESTORE_DEFAULTS, 0, 0, 0, 0, 0, 0);
        slot_send_cmd_long(list);
        slot_send_cmd_long(list);
        break;
    }
    default: {
        LOG_DEBUG() << "刷新参数表命令";
        m_table.clear();
        m_table_expected = kTableSize;
        m_table_read_mode = 1;
        const QList<QVariant> list = CommandList(CMD_READ_PARAM_TABLE, 0, 0, 0, 0, 0, 0);
        for (int i = 0; i < 3; ++i) {
            slot_send_cmd_long(list);
        }
        break;
    }
    }
}

WorkerThreadImu::TableWait WorkerThreadImu::WaitTableAck(quint64 link, uint32_t expected, int deadlineMs)
{
    const qint64 deadline = Now() + deadlineMs;
    for (int polls = 0; Now() < deadline && polls < 101; ++polls) {
        if (m_table_ack == expected) {
            return TableWait::Acknowledged;
        }
        if (!LinkAlive(link)) {
            return TableWait::LinkEnded;
        }
        ExitIfClosing();
        if (g_param_table_req_timeout.load()) {
            return TableWait::Cancelled;
        }
        MSleepNonBlock(100);
        if (!LinkAlive(link)) {
            return TableWait::LinkEnded;
        }
        slot_on_read_data();
    }
    return m_table_ack == expected ? TableWait::Acknowledged : TableWait::TimedOut;
}

void WorkerThreadImu::WriteParamTable(quint64 link, const QVariant& var2)
{
    const QMap<int, float> map = var2.value<QMap<int, float>>();
    float entries[kTableSize];
    for (int k = 0; k < kTableSize; ++k) {
        entries[k] = map.value(k, 0.0f);
    }
    const uint32_t crc = crc_crc32(kFrameCrcInit, reinterpret_cast<const unsigned char*>(entries),
                                   kTableCrcEntries * sizeof(float));
    std::memcpy(&entries[kTableCrcEntries], &crc, sizeof crc);

    auto report = [](ParamTableWriteCode code, const QString& text) {
        SendToPages(PAGE_MSG_PARAM_TABLE_WRITE, QVariant(static_cast<int>(code)), text);
    };
    const QString linkEnded = QStringLiteral("发送用户参数中断,设备连接已断开");
    if (!LinkAlive(link)) {
        report(PARAM_TABLE_WRITE_INTERRUPTED, linkEnded);
        return;
    }

    // Entry 0 must wait for a real acknowledgement.
    m_table_ack = kNoAck;
    m_parse.ResetState();
    DisconnectReadHandler();
    // The read handler goes back only on the connection it was taken from:
    // a port opened since has its own.
    auto finish = [this, link]() {
        if (LinkAlive(link)) {
            ConnectReadHandler();
        }
    };

    ThrottledLog retryLog;
    for (int i = 0; i < kTableSize; ++i) {
        if (g_param_table_req_timeout.load()) {
            finish();
            return;
        }
        const uint32_t index = static_cast<uint32_t>(i);
        OnSendCmdLong(CMD_WRITE_PARAM_TABLE_ENTRY, entries[i], 0, index, 0, 0, 0);
        const qint64 t0 = Now();
        MSleepNonBlock(50);
        if (LinkAlive(link)) {
            slot_on_read_data();
        }
        bool done = false;
        int resent = 0;
        while (Now() < t0 + 5000 && resent < 101) {
            if (m_table_ack == index) {
                done = true;
                break;
            }
            if (!LinkAlive(link)) {
                report(PARAM_TABLE_WRITE_INTERRUPTED, linkEnded);
                return;
            }
            ExitIfClosing();
            if (g_param_table_req_timeout.load()) {
                finish();
                return;
            }
            MSleepNonBlock(50);
            if (!LinkAlive(link)) {
                report(PARAM_TABLE_WRITE_INTERRUPTED, linkEnded);
                return;
            }
            slot_on_read_data();
            OnSendCmdLong(CMD_WRITE_PARAM_TABLE_ENTRY, entries[i], 0, index, 0, 0, 0);
            ++resent;
            if (retryLog.Allow()) {
                LOG_DEBUG() << "参数表条目未应答,重发" << i << "已重发" << resent << "次";
            }
        }
        if (!done && m_table_ack == index) {
            done = true;
        }
        if (!done) {
            report(PARAM_TABLE_WRITE_INTERRUPTED, QStringLiteral("发送用户参数中断"));
            finish();
            return;
        }
        report(PARAM_TABLE_WRITE_PROGRESS, QString("已发送参数%1/%2").arg(i).arg(kTableSize));
    }

    // Verify, then store: each ends the write when it is not acknowledged.
    const struct
    {
        uint16_t cmd;
        uint32_t ack;
        ParamTableWriteCode start, failed;
        const char* startText;
        const char* failedText;
    } phases[] = {
        {CMD_VERIFY_PARAM_TABLE, 100, PARAM_TABLE_WRITE_VERIFYING, PARAM_TABLE_WRITE_CRC_FAILED, "正在校验参数",
         "CRC校验不通过"},
        {CMD_SAVE_PARAM_TABLE, 300, PARAM_TABLE_WRITE_STORING, PARAM_TABLE_WRITE_STORE_FAILED, "开始存储用户参数",
         "参数写入flash失败"},
    };
    for (const auto& phase : phases) {
        report(phase.start, QString::fromUtf8(phase.startText));
        m_table_ack = kNoAck;
        OnSendCmdLong(phase.cmd, 0, 0, 0, 0, 0, 0);
        switch (WaitTableAck(link, phase.ack, 5000)) {
        case TableWait::Acknowledged:
            break;
        case TableWait::Cancelled:
            finish();
            return;
        case TableWait::LinkEnded:
            report(phase.failed, QString::fromUtf8(phase.failedText) + QString::fromUtf8(kLinkEndedSuffix));
            return;
        case TableWait::TimedOut:
            report(phase.failed, QString::fromUtf8(phase.failedText));
            finish();
            return;
        }
    }
    report(PARAM_TABLE_WRITE_FINISHED, QStringLiteral("发送参数完毕，写入flash成功，已通过CRC校验并保存完毕"));
    finish();
}
