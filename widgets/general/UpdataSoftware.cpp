#include "widgets/general/UpdataSoftware.h"

#include "commom/CheckedFile.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "commom/CheckedFile.h"
#include "commom/CommonFunction.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "manager/RecvDataHandleManager.h"
#include "widgets/general/FirmwareCipher.h"
#include "widgets/general/FirmwareKeys.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThread.h"

namespace {

// Reply words the worker's frame parser keeps for the engine.
enum ReplyWord { REPLY_ACK_OFFSET = 0, REPLY_DEVICE_CRC = 1, REPLY_SYNC_STATUS = 2, REPLY_FLASH_SIZE = 3 };

// Offset no chunk can be acknowledged with.
const unsigned int kNoAckOffset = 1000000;

const char* const kBannerNames[4] = {"GD32", "AT32", "ATUU", "HC32"};
const char kBannerTypeLetters[4][4] = {"G", "A", "ATU", "H"};

} // namespace

UpdataSoftware::UpdataSoftware(QObject* parent) : QObject(parent) {}

UpdataSoftware::~UpdataSoftware()
{
    m_firmware_file.close();
}

void UpdataSoftware::SetUpLoadData(const UpLoadData& data)
{
    m_upload_data = data;
}

UpLoadData UpdataSoftware::GetUpLoadData() const
{
    return m_upload_data;
}

WorkerThread* UpdataSoftware::Worker() const
{
    return SerialPortManager::GetInstance()->GetImuWorker();
}

unsigned int* UpdataSoftware::ReplyWords() const
{
    WorkerThread* worker = Worker();
    return worker ? worker->GetParamIndexSendUpload() : nullptr;
}

namespace {
unsigned int ReadWord(unsigned int* words, int index)
{
    return words ? words[index] : 0;
}
void WriteWord(unsigned int* words, int index, unsigned int value)
{
    if (words)
        words[index] = value;
}
} // namespace

void UpdataSoftware::RunByMode()
{
    switch (m_upload_data.mode) {
    case 0: UploadAHRSBatch(); break;
    case 1: UploadSerial(); break;
    case 2: UploadVorqa5(); break;
    case 3: SetUsbToCanBaud(); break;
    default: break;
    }
}

// ---- Reports ------------------------------------------------------------------

void UpdataSoftware::SendUpgradeProcess(int percent, const QString& text)
{
    m_process_info.finished = m_finished_devices;
    m_process_info.remaining = m_device_count - m_finished_devices;
    m_process_info.percent = percent;
    m_process_info.cancelType = CANCEL_UPGRADE_NONE;
    if (percent >= 100)
        m_final_report_posted = true;
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(
        PAGE_MSG_UPGRADE_PROGRESS, QVariant::fromValue(m_process_info), QVariant(text));
}

void UpdataSoftware::CancelUpgrade(CANCEL_UPGRADE_TYPE type, const QString& text)
{
    m_process_info.finished = m_finished_devices;
    m_process_info.remaining = m_device_count - m_finished_devices;
    m_process_info.cancelType = type;
    if (type != CANCEL_UPGRADE_NONE)
        m_final_report_posted = true;
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(
        PAGE_MSG_UPGRADE_PROGRESS, QVariant::fromValue(m_process_info), QVariant(text));
}

void UpdataSoftware::FailIfNoFinalReport()
{
    if (!m_final_report_posted) {
        LOG_INFO() << "升级未完成，报告失败";
        CancelUpgrade(CANCEL_UPGRADE_FAILED, QString());
    }
}

int UpdataSoftware::PercentOf(uint32_t sent, uint32_t total)
{
    if (total == 0)
        return 0;
    // The quotient is single precision on purpose: the shown percent must
    // follow the established formula exactly (7 of 11 gives 62, not 63).
    const double value = static_cast<double>(static_cast<float>(sent) / static_cast<float>(total)) * 99.0;
    if (!(value > 0.0))
        return 0;
    if (value >= 99.0)
        return 99;
    return static_cast<int>(value);
}

// ---- Receive loops --------------------------------------------------------------


void UpdataSoftware::ReportBanner(int which)
{
    static const char* const kTexts[4] = {
        "已收到同步字符串：GD32_UPLOADER,若长时间不同步请重启",
        "已收到同步字符串：AT32_UPLOADER,若长时间不同步请重启",
        "已收到同步字符串：ATUU_UPLOADER,若长时间不同步请重启",
        "已收到同步字符串：HC32_UPLOADER,若长时间不同步请重启",
    };
    LOG_DEBUG() << QString::fromLatin1(kBannerNames[which]) + "_UPLOADER";
    switch (which) {
    case 0: m_gd32_flag = 1; break;
    case 1: m_at32_flag = 1; break;
    case 2: m_atuu_flag = 1; break;
    default: m_hc32_flag = 1; break;
    }
    if (!m_bl_type_logged) {
        m_bl_type_logged = 1;
        LOG_INFO() << QString("检测到BL类型：") + QString::fromLatin1(kBannerTypeLetters[which]);
    }
    if (!m_quiet)
        SendUpgradeProcess(0, QString::fromUtf8(kTexts[which]));
}

void UpdataSoftware::SerialReadDate(unsigned int timeout_ms)
{
    WorkerThread* worker = Worker();
    if (!worker)
        return;
    const qint64 start = GetMonotonicTimeInMs();
    while (worker->BytesAvailable() < 1 && start + timeout_ms > GetMonotonicTimeInMs()) {
        MSleepNonBlock(100);
        if (g_app_is_exit)
            ForceExitApplication();
    }
    const QByteArray block = worker->ReadAll();

    if (worker->GetParseFailureCount() > 150)
        worker->InitParseStatus();
    worker->PrintfPackStatus();

    for (char c : block) {
        if (g_cancelUpgradeFlag)
            break;
        const unsigned char byte = static_cast<unsigned char>(c);
        worker->ImuDataJointPack(byte);
        m_decoder.DecodeStrC(byte);
        // Each read clears its flag, so only the first set one is taken.
        if (m_decoder.GetGD32Status())
            ReportBanner(0);
        else if (m_decoder.GetAT32Status())
            ReportBanner(1);
        else if (m_decoder.GetATUUStatus())
            ReportBanner(2);
        else if (m_decoder.Gethc32Status())
            ReportBanner(3);
    }

    const int zero = block.indexOf('\0');
    m_q517CanUploadRev = QString::fromUtf8(zero < 0 ? block : block.left(zero));
    LOG_DEBUG() << m_q517CanUploadRev;

    for (int which = 0; which < 4; ++which) {
        if (m_q517CanUploadRev.contains(QLatin1String(kBannerNames[which]) + QLatin1String("_UPLOADER")))
            ReportBanner(which);
    }
}

int UpdataSoftware::GetSyncData(unsigned int timeout_ms)
{
    if (g_cancelUpgradeFlag)
        return 0;
    if (m_upload_data.mode == 1)
        SerialReadDate(timeout_ms);
    else if (m_upload_data.mode == 0)
        AhrsBatchReadDate(timeout_ms);
    const unsigned int status = ReadWord(ReplyWords(), REPLY_SYNC_STATUS);
    if (status == kSyncOk)
        return 0;
    LOG_DEBUG() << "收到的同步指令：" << status;
    return -5;
}

void UpdataSoftware::AhrsBatchReadDate(unsigned int timeout_ms)
{
    WorkerThread* worker = Worker();
    if (!worker)
        return;
    const qint64 start = GetMonotonicTimeInMs();
    while (worker->BytesAvailable() < 1 && start + timeout_ms > GetMonotonicTimeInMs()) {
        if (g_app_is_exit)
            ForceExitApplication();
        if (g_cancelUpgradeFlag)
            return;
        MSleepNonBlock(10);
    }
    const long count = worker->BytesAvailable();
    for (long i = 0; i < count; ++i) {
        if (g_cancelUpgradeFlag)
            break;
        char c = 0;
        if (!worker->GetChar(&c))
            break;
        worker->ImuDataJointPack(static_cast<unsigned char>(c));
        GetAHRSBatchNum(static_cast<unsigned char>(c));
    }
}

// ---- CAN-id replies -------------------------------------------------------------

bool UpdataSoftware::IsUnique(unsigned int value, const unsigned int* array, unsigned int n)
{
    for (unsigned int i = 0; i < n; ++i)
        if (array[i] == value)
            return false;
    return true;
}

unsigned int UpdataSoftware::DeviceId(unsigned int index) const
{
    return index < m_device_count && index < static_cast<unsigned int>(kMaxCanIds) ? m_can_ids[index] : 0;
}

void UpdataSoftware::GetAHRSBatchNum(unsigned char byte)
{
    switch (m_can_parse_state) {
    case 0:
        if (byte == 0xBB) {
            m_can_sum = 0xBB;
            m_can_parse_state = 1;
        }
        break;
    case 1:
    case 2: {
        const unsigned char expected = m_can_parse_state == 1 ? 0x65 : 0xCF;
        if (byte == expected) {
            m_can_sum = static_cast<uint8_t>(m_can_sum + byte);
            ++m_can_parse_state;
        } else {
            m_can_parse_state = 0;
        }
        break;
    }
    case 3:
    case 4:
    case 5:
    case 6:
        m_can_id_bytes[m_can_parse_state - 3] = byte;
        m_can_sum = static_cast<uint8_t>(m_can_sum + byte);
        ++m_can_parse_state;
        break;
    default:
        if (byte == m_can_sum) {
            const unsigned int id = (static_cast<unsigned int>(m_can_id_bytes[0]) << 24)
                | (static_cast<unsigned int>(m_can_id_bytes[1]) << 16)
                | (static_cast<unsigned int>(m_can_id_bytes[2]) << 8)
                | static_cast<unsigned int>(m_can_id_bytes[3]);
            if (m_device_count < static_cast<unsigned int>(kMaxCanIds)
                && IsUnique(id, m_can_ids, m_device_count))
                m_can_ids[m_device_count++] = id;
        }
        m_can_parse_state = 0;
        break;
    }
}

// ---- Frames ---------------------------------------------------------------------

QByteArray UpdataSoftware::BuildUploadDataFrame(unsigned char cmd, unsigned char flag, unsigned int offset,
                                                unsigned short len, const unsigned char* data)
{
    unsigned char p[kUploadFrameSize] = {};
    p[0] = 0x55;
    p[1] = 0xAA;
    p[2] = cmd;
    p[3] = 0;
    p[4] = 71;
    p[5] = 0;
    const unsigned short valid = len > kChunkSize ? static_cast<unsigned short>(kChunkSize) : len;
    if (data && valid > 0)
        std::memcpy(p + 6, data, valid);
    for (int i = 0; i < 4; ++i)
        p[70 + i] = static_cast<unsigned char>(offset >> (8 * i));
    p[74] = static_cast<unsigned char>(valid & 0xFF);
    p[75] = static_cast<unsigned char>(valid >> 8);
    p[76] = flag;
    const unsigned int crc = crc_crc32(1, p, 77);
    for (int i = 0; i < 4; ++i)
        p[77 + i] = static_cast<unsigned char>(crc >> (8 * i));
    return QByteArray(reinterpret_cast<const char*>(p), kUploadFrameSize);
}

QByteArray UpdataSoftware::BuildLegacyRebootFrame(const QByteArray& payload)
{
    const int n = qMin(payload.size(), kLegacyRebootFrameSize - 7);
    unsigned char p[kLegacyRebootFrameSize] = {};
    p[0] = 0x55;
    p[1] = 0xAA;
    p[2] = 0x78;
    p[3] = static_cast<unsigned char>(n);
    p[4] = 0x00;
    std::memcpy(p + 5, payload.constData(), static_cast<size_t>(n));
    unsigned int sum = 0;
    for (int i = 0; i < 5 + n; ++i)
        sum += p[i];
    p[5 + n] = static_cast<unsigned char>(sum & 0xFF);
    p[6 + n] = static_cast<unsigned char>((sum >> 8) & 0xFF);
    return QByteArray(reinterpret_cast<const char*>(p), kLegacyRebootFrameSize);
}

UpdataSoftware::ImageType UpdataSoftware::ImageTypeOf(unsigned char b5, unsigned char b6)
{
    if (b6 == 2 || (b5 == 0xA2 && b6 == 0))
        return IMAGE_TYPE_G;
    if (b6 <= 1)
        return IMAGE_TYPE_H;
    if (b6 == 4 || b6 == 10)
        return IMAGE_TYPE_S;
    return IMAGE_TYPE_UNKNOWN;
}

QString UpdataSoftware::RequestStringFor(bool adapter, ImageType type, unsigned char b5, unsigned char b6,
                                         bool gd32, bool at32, bool hc32, bool atuu)
{
    if (adapter)
        return "HC32MCU_TALVEMIR";
    if ((type == IMAGE_TYPE_G || type == IMAGE_TYPE_H) && gd32)
        return "GD32MCU_TALVEMIR";
    if (b6 == 2 || (b5 == 0xA2 && b6 == 0))
        return "GD32MCU_TALVEMIR";
    if (hc32 || b6 == 1)
        return "HC32MCU_TALVEMIR";
    if (at32 || (b5 == 0x82 && b6 == 0))
        return "AT32MCU_TALVEMIR";
    if (atuu || (b5 == 0x92 && b6 == 0))
        return "AT32UU7_TALVEMIR";
    return "IMU_ARRAY_UPDATE";
}

bool UpdataSoftware::CrcFromFileName(const QString& path, uint32_t* crc)
{
    // The file name alone: a "#CRC" in a folder name says nothing.
    const QString name = QFileInfo(path).fileName();
    static const QRegularExpression pattern(QStringLiteral("#CRC([0-9]{1,10})\\."));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return false;
    bool ok = false;
    const qulonglong value = match.captured(1).toULongLong(&ok);
    if (!ok || value > 0xFFFFFFFFull)
        return false;
    if (crc)
        *crc = static_cast<uint32_t>(value);
    return true;
}

// ---- Framed bootloader steps ----------------------------------------------------------

bool UpdataSoftware::SleepBlocking(unsigned int ms)
{
    QThread::msleep(ms);
    return !g_cancelUpgradeFlag;
}

int UpdataSoftware::RebootImu()
{
    SerialPortManager* port = SerialPortManager::GetInstance();
    if (m_upload_data.adapterFlag) {
        for (int i = 0; i < 3; ++i) {
            port->SendCommand(QByteArray("AT+CG\r\n"));
            MSleepNonBlock(10);
        }
        port->SendCommand(QByteArray("AT+RST_TALVEMIR_USB_TO_CAN\r\n"));
        MSleepNonBlock(10);
        if (WorkerThread* worker = Worker())
            worker->SetVersionTimerStatus(true);
        return 0;
    }

    auto cancelled = [this]() {
        CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
        return -1;
    };
    if (g_cancelUpgradeFlag)
        return cancelled();

    const auto& unlock = FirmwareKeys::RebootUnlockValues();
    QByteArray unlockPayload;
    for (uint16_t v : unlock) {
        unlockPayload.append(static_cast<char>(v & 0xFF));
        unlockPayload.append(static_cast<char>(v >> 8));
    }
    const QByteArray unlockFrame = BuildLegacyRebootFrame(unlockPayload);
    const QByteArray zeroFrame = BuildLegacyRebootFrame(QByteArray(7, '\0'));

    for (int i = 0; i < 4; ++i)
        port->SendCommand(unlockFrame);
    QThread::msleep(20);

    for (int i = 0; i < 4; ++i)
        port->SendCommand(zeroFrame);
    if (!SleepBlocking(20))
        return cancelled();

    for (int i = 0; i < 4; ++i)
        port->SendCommand(CMD_REBOOT_UNLOCK, static_cast<float>(unlock[0]), static_cast<float>(unlock[1]),
                          static_cast<unsigned int>(unlock[2]), static_cast<unsigned int>(unlock[3]),
                          static_cast<int>(unlock[4]), static_cast<int>(unlock[5]));
    if (!SleepBlocking(20))
        return cancelled();

    for (int i = 0; i < 4; ++i)
        port->SendCommandOld(120, 0.0f, 0, 0);
    if (!SleepBlocking(20))
        return cancelled();

    for (int i = 0; i < 4; ++i)
        port->SendCommand(CMD_BATCH_MODE, 100.0f, 200.0f, 300u, 400u, 500, 600);
    for (int i = 0; i < 4; ++i)
        port->SendCommand(CMD_BATCH_MODE, 100.0f, 200.0f, 300u, 100u, 200, 300);
    if (!SleepBlocking(1000))
        return cancelled();
    return 0;
}

int UpdataSoftware::SendSyncCmd()
{
    WriteWord(ReplyWords(), REPLY_SYNC_STATUS, 0);
    for (int i = 0; i < 3; ++i) {
        MSleepNonBlock(50);
        SerialPortManager::GetInstance()->SendCommand(CMD_BL_SYNC, 0.0f, 0.0f, 0u, 0u, 0, 0);
    }
    return GetSyncData(1000);
}

int UpdataSoftware::EraseDeviceInfo()
{
    // After a cancel nothing is erased any more, whatever wait it came in
    // (a sync before a second attempt returns as if it had succeeded).
    if (g_cancelUpgradeFlag)
        return 0;
    SerialPortManager::GetInstance()->SendCommand(CMD_BL_ERASE, 0.0f, 0.0f, 0u, 0u, 0, 0);
    MSleepNonBlock(2000);
    return GetSyncData(30000);
}

int UpdataSoftware::SerialGetInfo(int /*param*/, unsigned int& /*value*/)
{
    for (int i = 0; i < 3; ++i) {
        SerialPortManager::GetInstance()->SendCommand(CMD_BL_GET_INFO, 0.0f, 0.0f, 0u, 0u, 0, 0);
        MSleepNonBlock(20);
    }
    return GetSyncData(2000);
}

void UpdataSoftware::SendUploadData(unsigned char cmd, unsigned char flag, unsigned int offset,
                                    unsigned short len, unsigned char* data)
{
    QByteArray frame = BuildUploadDataFrame(cmd, flag, offset, len, data);
    SerialPortManager::GetInstance()->SendCommand(reinterpret_cast<unsigned char*>(frame.data()),
                                                  static_cast<unsigned int>(frame.size()));
}

int UpdataSoftware::SendUpdateDataToDevice(unsigned long size)
{
    LOG_INFO() << "正在升级，请等待";
    unsigned int* words = ReplyWords();
    WriteWord(words, REPLY_ACK_OFFSET, kNoAckOffset);
    SendUpgradeProcess(0, "开始升级...");
    if (!m_firmware_file.seek(0)) {
        LOG_INFO() << "固件文件读取错误";
        return -EIO;
    }
    if (size == 0)
        return 0;

    unsigned long offset = 0;
    unsigned char data[kChunkSize];
    while (offset < size) {
        if (g_cancelUpgradeFlag)
            return 0;
        const qint64 want = static_cast<qint64>(qMin<unsigned long>(kChunkSize, size - offset));
        std::memset(data, 0, sizeof(data));
        const qint64 got = m_firmware_file.read(reinterpret_cast<char*>(data), want);
        if (got != want) {
            // A file that shrank under us is as wrong as one that fails.
            LOG_INFO() << "固件文件读取错误" << m_firmware_file.errorString();
            return -EIO;
        }
        const unsigned short n = static_cast<unsigned short>(got);
        const unsigned int chunkOffset = static_cast<unsigned int>(offset);

        SendUploadData(CMD_BL_UPLOAD_DATA, 0, chunkOffset, n, data);
        MSleepNonBlock(20);
        AhrsBatchReadDate(10000);
        LOG_DEBUG() << "[recv data]" << static_cast<qulonglong>(size) << ReadWord(words, REPLY_ACK_OFFSET)
                    << chunkOffset;

        int resends = 0;
        while (ReadWord(words, REPLY_ACK_OFFSET) != chunkOffset) {
            if (g_app_is_exit)
                ForceExitApplication();
            if (g_cancelUpgradeFlag)
                return 0;
            if (resends >= 100) {
                LOG_INFO() << "sent 100 times";
                return -1;
            }
            ++resends;
            SendSyncCmd();
            SendUploadData(CMD_BL_UPLOAD_DATA, 0, chunkOffset, n, data);
            MSleepNonBlock(20);
            AhrsBatchReadDate(10000);
            LOG_DEBUG() << "[again recv data] number = " << resends << static_cast<qulonglong>(size)
                        << ReadWord(words, REPLY_ACK_OFFSET) << chunkOffset;
        }

        m_sent_bytes += n;
        offset += n;
        SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "正在升级...");
    }
    return 0;
}

bool UpdataSoftware::CheckFirmwareFile()
{
    const QString& path = m_upload_data.path;
    auto refuse = [this](const QString& text) {
        LOG_INFO() << text << m_upload_data.path;
        SendUpgradeProcess(0, text);
        m_firmware_file.close();
        m_plain_image.clear();
        return false;
    };
    if (m_upload_data.mode == 0 && !CrcFromFileName(path, nullptr))
        return refuse("文件名不对");
    if ((m_upload_data.mode == 0 || m_upload_data.mode == 2) && !path.endsWith(".firmware"))
        return refuse("文件命名错误");

    m_firmware_file.close();
    m_firmware_file.setFileName(path);
    // A file the system will not give says which file and why.
    if (!m_firmware_file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("固件文件读取错误，")
                      + CheckedFile::OpenErrorText(path, m_firmware_file.errorString()));
    // Only whole cipher blocks make a firmware file; an empty, cut-off or
    // oversized one would leave the device erased with nothing sound to run.
    const qint64 size = m_firmware_file.size();
    if (size <= 0 || size % FirmwareCipher::kBlockSize != 0 || size > static_cast<qint64>(kMaxFlashSize))
        return refuse("固件文件读取错误");
    const QByteArray enciphered = m_firmware_file.readAll();
    if (enciphered.size() != size)
        return refuse(QStringLiteral("固件文件读取错误，")
                      + CheckedFile::ReadErrorText(path, m_firmware_file.errorString()));
    std::unique_ptr<FirmwareCipher> cipher = FirmwareCipher::WithProgramKey();
    QString error;
    if (!cipher->HasKey()
        || !cipher->PassBytes(enciphered, &m_plain_image, FirmwareCipher::Decipher, &error)) {
        LOG_INFO() << "固件文件读取错误" << error;
        return refuse("固件文件读取错误");
    }
    // An image whose header names no known type is refused in every mode:
    // no mode may erase a device for a file another mode turns away.
    if (ImageTypeOf(static_cast<unsigned char>(m_plain_image.at(5)), static_cast<unsigned char>(m_plain_image.at(6)))
        == IMAGE_TYPE_UNKNOWN)
        return refuse("固件对应类型错误");
    return true;
}

bool UpdataSoftware::FlashSizeSound(unsigned int size)
{
    if (size <= kMaxFlashSize)
        return true;
    LOG_INFO() << "请求bootloader固件大小失败" << size;
    SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "请求bootloader固件大小失败");
    return false;
}

int UpdataSoftware::SerialVerifyFile(unsigned long size)
{
    LOG_INFO() << "verify...";
    m_firmware_file.seek(0);
    unsigned int unused = 0;
    int r = SerialGetInfo(4, unused);
    MSleepNonBlock(20);
    SerialReadDate(1000);
    for (int i = 0; r != 0 && i < 11; ++i) {
        if (g_app_is_exit)
            ForceExitApplication();
        if (g_cancelUpgradeFlag)
            return -1;
        r = SerialGetInfo(4, unused);
        LOG_INFO() << "could not read firmware size";
    }
    // A cancel answers for the device; no size of its own is in the words.
    if (g_cancelUpgradeFlag)
        return -1;
    if (r != 0) {
        LOG_INFO() << "请求bootloader固件大小失败";
        SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "请求bootloader固件大小失败");
        return -1;
    }
    const unsigned int remoteSize = ReadWord(ReplyWords(), REPLY_FLASH_SIZE);
    if (!FlashSizeSound(remoteSize))
        return -1;

    const unsigned int sum = FirmwareCipher::PaddedImageCrc(m_plain_image, static_cast<qint64>(size), remoteSize);

    WriteWord(ReplyWords(), REPLY_DEVICE_CRC, 0);
    for (int i = 0; i < 10; ++i) {
        MSleepNonBlock(20);
        SerialPortManager::GetInstance()->SendCommand(CMD_BL_GET_CRC, 0.0f, 0.0f, 0u, 0u, 0, 0);
    }
    MSleepNonBlock(1000);
    SerialReadDate(1000);

    const unsigned int ack = ReadWord(ReplyWords(), REPLY_DEVICE_CRC);
    if (ack == sum) {
        LOG_INFO() << "升级完成";
        return 0;
    }
    LOG_INFO() << "sum = " << sum << " crc32_ack = " << ack;
    return -22;
}

int UpdataSoftware::Reboot()
{
    for (int i = 0; i < 10; ++i) {
        SerialPortManager::GetInstance()->SendCommand(CMD_BL_REBOOT, 0.0f, 0.0f, 0u, 0u, 0, 0);
        MSleepNonBlock(20);
    }
    return 0;
}

// ---- Mode 1 ------------------------------------------------------------------------

int UpdataSoftware::RunWithFinalReport(int (UpdataSoftware::*steps)())
{
    m_final_report_posted = false;
    const int result = (this->*steps)();
    m_firmware_file.close();
    FailIfNoFinalReport();
    return result;
}

int UpdataSoftware::UploadSerial()
{
    return RunWithFinalReport(&UpdataSoftware::UploadSerialSteps);
}

int UpdataSoftware::UploadSerialSteps()
{
    WorkerThread* worker = Worker();
    if (!worker) {
        LOG_INFO() << "没有设备连接";
        return -1;
    }
    // The file is judged before the device leaves its application.
    if (!CheckFirmwareFile())
        return -2;
    const QString baudText = QString::number(m_upload_data.baud);
    m_quiet = 1;
    RebootImu();
    SerialReadDate(100);
    SerialReadDate(2000);
    m_quiet = 0;

    LOG_INFO() << "升级时使用的波特率：" << baudText;
    switch (m_upload_data.baud) {
    case 115200:
    case 230400:
    case 460800:
    case 921600:
    case 1500000:
        worker->SetBaudRate(static_cast<BaudRateType>(m_upload_data.baud));
        break;
    default:
        break;
    }

    m_device_count = 1;
    m_finished_devices = 0;
    m_sent_bytes = 0;
    LOG_INFO() << "upload_q517";

    if (g_cancelUpgradeFlag) {
        CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
        return -1;
    }
    const unsigned char b5 = static_cast<unsigned char>(m_plain_image.at(5));
    const unsigned char b6 = static_cast<unsigned char>(m_plain_image.at(6));
    LOG_INFO() << "file_buf[6]" << b6;

    const ImageType type = ImageTypeOf(b5, b6);
    switch (type) {
    case IMAGE_TYPE_G:
        SendUpgradeProcess(0, "检测到固件对应类型：G");
        break;
    case IMAGE_TYPE_H:
        SendUpgradeProcess(0, "检测到固件对应类型：H");
        break;
    case IMAGE_TYPE_S:
        SendUpgradeProcess(0, "检测到固件对应类型：S");
        if (m_gd32_flag || m_at32_flag || m_hc32_flag || m_atuu_flag) {
            SendUpgradeProcess(0, "bl与固件版本不匹配");
            MSleepNonBlock(500);
            CancelUpgrade(CANCEL_UPGRADE_FAILED, QString());
            return -2;
        }
        break;
    default:
        SendUpgradeProcess(0, "固件对应类型错误");
        MSleepNonBlock(500);
        CancelUpgrade(CANCEL_UPGRADE_FAILED, QString());
        return -2;
    }

    const QByteArray request = RequestStringFor(m_upload_data.adapterFlag != 0, type, b5, b6, m_gd32_flag,
                                                m_at32_flag, m_hc32_flag, m_atuu_flag).toLatin1();
    SerialPortManager* port = SerialPortManager::GetInstance();
    for (int i = 0; i < 10; ++i) {
        if (g_cancelUpgradeFlag) {
            CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
            return 0;
        }
        port->SendCommand(request);
        MSleepNonBlock(50);
    }

    SendUpgradeProcess(0, "等待v2 bootloader同步,若不同步请重启");
    MSleepNonBlock(50);
    int r = SendSyncCmd();
    MSleepNonBlock(50);
    const qint64 syncStart = GetMonotonicTimeInMs();
    while (r != 0) {
        if (GetMonotonicTimeInMs() - syncStart > 5999999) {
            CancelUpgrade(CANCEL_UPGRADE_FAILED, QString());
            MSleepNonBlock(10);
            SendUpgradeProcess(0, "v2 bootloader无响应");
            return -5;
        }
        if (g_app_is_exit)
            ForceExitApplication();
        if (g_cancelUpgradeFlag) {
            CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
            return 0;
        }
        for (int i = 0; i < 5; ++i) {
            if (g_cancelUpgradeFlag) {
                CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
                return 0;
            }
            port->SendCommand(request);
            MSleepNonBlock(100);
        }
        r = SendSyncCmd();
    }
    // A sync step cut short by a cancel looks like success; it is none.
    if (g_cancelUpgradeFlag) {
        CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
        return 0;
    }

    SendUpgradeProcess(0, "v2 bootloader同步成功");
    m_firmware_file.seek(0);
    const unsigned long size = static_cast<unsigned long>(m_firmware_file.size());
    m_total_bytes = static_cast<uint32_t>(size);
    m_sent_bytes = 0;
    LOG_INFO() << "fw_size :" << static_cast<qulonglong>(size);

    int lastError = 0;
    for (int attempt = 0; attempt < 3;) {
        if (g_cancelUpgradeFlag) {
            CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
            return 0;
        }
        if (attempt > 0) {
            LOG_INFO() << "retrying update...";
            if (SendSyncCmd() != 0) {
                CancelUpgrade(CANCEL_UPGRADE_FAILED, "v2 bootloader无响应");
                return -5;
            }
        }
        MSleepNonBlock(50);
        LOG_INFO() << "Begin erase :";
        int erase = EraseDeviceInfo();
        for (int again = 0; erase != 0 && again < 3; ++again) {
            if (g_app_is_exit)
                ForceExitApplication();
            erase = EraseDeviceInfo();
            if (g_cancelUpgradeFlag) {
                CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
                return 0;
            }
        }
        // A cancel during the erase wait ends the wait as if it succeeded.
        if (g_cancelUpgradeFlag) {
            CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
            return 0;
        }
        if (erase != 0) {
            LOG_INFO() << "擦除失败，重新开始";
            SendUpgradeProcess(0, "擦除失败，正在重新升级");
            lastError = erase;
            ++attempt;
            continue;
        }

        SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "擦除成功");
        LOG_INFO() << "开始烧写 fw_size: " << static_cast<qulonglong>(size);
        m_sent_bytes = 0;
        const int program = SendUpdateDataToDevice(size);
        // A cancelled transfer goes no further: no verify, no reboot.
        if (g_cancelUpgradeFlag) {
            CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
            return 0;
        }
        if (program != 0) {
            SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "烧写失败，正在重新升级");
            lastError = program;
            ++attempt;
            continue;
        }

        LOG_INFO() << "program success";
        const int verify = SerialVerifyFile(size);
        if (g_cancelUpgradeFlag) {
            CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
            return 0;
        }
        if (verify != 0) {
            CancelUpgrade(CANCEL_UPGRADE_FAILED, "校验失败，请重新升级");
            return verify;
        }

        MSleepNonBlock(20);
        Reboot();
        MSleepNonBlock(20);
        m_firmware_file.close();
        m_finished_devices = 1;
        SendUpgradeProcess(100, "升级成功");
        LOG_INFO() << "Deleting" << m_upload_data.path;
        return 0;
    }

    m_firmware_file.close();
    CancelUpgrade(CANCEL_UPGRADE_FAILED, QString());
    return lastError;
}

// ---- Mode 2: raw-byte bootloader ------------------------------------------------------

namespace {
// Returned by the raw-byte receive steps when the user cancelled: the bytes
// asked for never came, so no caller may take the buffer for an answer.
const int kCancelled = -1;
const int kNoAnswer = -110;
} // namespace

void UpdataSoftware::SendRaw(unsigned char c)
{
    SerialPortManager::GetInstance()->SendCommand(c);
}

void UpdataSoftware::SendRaw(const QByteArray& bytes)
{
    SerialPortManager::GetInstance()->SendCommand(bytes);
}

int UpdataSoftware::RecvVorqa5(unsigned char& c, unsigned int timeout_ms)
{
    WorkerThread* worker = Worker();
    if (!worker)
        return kNoAnswer;
    const qint64 start = GetMonotonicTimeInMs();
    while (worker->BytesAvailable() < 1) {
        if (start + timeout_ms <= GetMonotonicTimeInMs())
            return kNoAnswer;
        if (g_app_is_exit)
            ForceExitApplication();
        if (g_cancelUpgradeFlag)
            return kCancelled;
        QThread::msleep(1);
    }
    const QByteArray one = worker->Read(1);
    if (one.isEmpty())
        return kNoAnswer;
    c = static_cast<unsigned char>(one.at(0));
    return 0;
}

int UpdataSoftware::RecvVorqa5(unsigned char* buf, unsigned int n)
{
    for (unsigned int i = 0; i < n; ++i) {
        if (g_cancelUpgradeFlag) {
            LOG_INFO() << QString::asprintf("取消升级 %d", static_cast<int>(g_cancelUpgradeFlag));
            return kCancelled;
        }
        const int r = RecvVorqa5(buf[i], 1000);
        if (r != 0)
            return r;
    }
    return 0;
}

int UpdataSoftware::GetSyncVorqa5(unsigned int timeout_ms)
{
    unsigned char inSync = 0;
    unsigned char ok = 0;
    int r = RecvVorqa5(inSync, timeout_ms);
    if (r != 0)
        return r;
    r = RecvVorqa5(ok, timeout_ms);
    if (r != 0)
        return r;
    return (inSync == 0x12 && ok == 0x10) ? 0 : -5;
}

int UpdataSoftware::GetInfoVorqa5(int param, unsigned int& value)
{
    SendRaw(RAW_GET_INFO);
    SendRaw(static_cast<unsigned char>(param));
    SendRaw(RAW_END);
    unsigned char b[4] = {};
    const int r = RecvVorqa5(b, 4);
    if (r != 0)
        return r;
    value = static_cast<unsigned int>(b[0]) | (static_cast<unsigned int>(b[1]) << 8)
        | (static_cast<unsigned int>(b[2]) << 16) | (static_cast<unsigned int>(b[3]) << 24);
    return GetSyncVorqa5(1000);
}

int UpdataSoftware::GetBlVerVorqa5(unsigned int& version)
{
    SendRaw(RAW_BL_VERSION);
    unsigned char b[4] = {};
    int r = RecvVorqa5(b, 4);
    if (r == 0) {
        version = static_cast<unsigned int>(b[0]) | (static_cast<unsigned int>(b[1]) << 8)
            | (static_cast<unsigned int>(b[2]) << 16) | (static_cast<unsigned int>(b[3]) << 24);
        r = GetSyncVorqa5(500);
    }
    if (r != 0)
        LOG_INFO() << "get_bl_ver_vorqa5 not OK";
    return r;
}

void UpdataSoftware::DrainVorqa5()
{
    unsigned char c = 0;
    while (RecvVorqa5(c, 1) == 0) {
    }
}

int UpdataSoftware::SyncVorqa5()
{
    LOG_DEBUG() << "DRAIN START";
    DrainVorqa5();
    LOG_DEBUG() << "DRAIN END";
    for (int i = 0; i < kRawSyncZeros; ++i)
        SendRaw(static_cast<unsigned char>(0));
    SendRaw(RAW_SYNC);
    SendRaw(RAW_END);
    LOG_DEBUG() << "GET SYNC START";
    return GetSyncVorqa5(1000);
}

int UpdataSoftware::EraseVorqa5()
{
    SendRaw(RAW_ERASE);
    SendRaw(RAW_END);
    return GetSyncVorqa5(30000);
}

int UpdataSoftware::ProgramVorqa5(unsigned long size)
{
    LOG_INFO() << "正在升级，请等待";
    if (!m_firmware_file.seek(0)) {
        LOG_INFO() << "固件文件读取错误";
        return -EIO;
    }
    if (size == 0)
        return 0;
    WorkerThread* worker = Worker();
    if (!worker)
        return kNoAnswer;

    auto drain = [worker]() {
        while (worker->BytesAvailable() > 0) {
            if (g_app_is_exit)
                ForceExitApplication();
            worker->ReadAll();
        }
    };

    unsigned long sent = 0;
    unsigned char data[kRawBlockSize];
    while (sent < size) {
        if (g_cancelUpgradeFlag)
            return -2;
        const qint64 want = static_cast<qint64>(qMin<unsigned long>(kRawBlockSize, size - sent));
        const qint64 got = m_firmware_file.read(reinterpret_cast<char*>(data), want);
        if (got != want) {
            LOG_INFO() << "固件文件读取错误" << m_firmware_file.errorString();
            return -EIO;
        }
        const unsigned char n = static_cast<unsigned char>(got);
        const unsigned char crc = crc_crc8(data, n);
        drain();
        sent += n;
        const unsigned char count = static_cast<unsigned char>(sent & 0xFF);
        auto sendBlock = [&]() {
            SendRaw(RAW_PROGRAM);
            SendRaw(count);
            SendRaw(n);
            SerialPortManager::GetInstance()->SendCommand(data, n);
            SendRaw(crc);
            SendRaw(RAW_END);
        };
        sendBlock();
        int r = GetSyncVorqa5(1000);
        for (int resend = 0; r != 0 && resend < 11; ++resend) {
            // A cancel here must not pass for a programmed block; it is a
            // cancel, unlike one met at the start of a block.
            if (g_cancelUpgradeFlag)
                return kCancelled;
            drain();
            sendBlock();
            r = GetSyncVorqa5(1000);
            LOG_INFO() << "重新发包" << " ret = " << r;
        }
        if (r != 0)
            return g_cancelUpgradeFlag ? kCancelled : r;

        m_sent_bytes += n;
        SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "正在升级...");
    }
    return 0;
}

int UpdataSoftware::VerifyRev3Vorqa5(unsigned long size)
{
    m_firmware_file.seek(0);
    unsigned int flashSize = 0;
    const int info = GetInfoVorqa5(4, flashSize);
    SendRaw(RAW_END);
    if (info != 0)
        return info;
    if (!FlashSizeSound(flashSize))
        return -EINVAL;

    const unsigned int sum = FirmwareCipher::PaddedImageCrc(m_plain_image, static_cast<qint64>(size), flashSize);

    SendRaw(RAW_GET_CRC);
    SendRaw(RAW_END);
    unsigned char b[4] = {};
    const int r = RecvVorqa5(b, 4);
    if (r != 0)
        return r;
    const unsigned int crc = static_cast<unsigned int>(b[0]) | (static_cast<unsigned int>(b[1]) << 8)
        | (static_cast<unsigned int>(b[2]) << 16) | (static_cast<unsigned int>(b[3]) << 24);
    LOG_INFO() << "sum = " << sum << " crc = " << crc;
    return sum == crc ? 0 : -22;
}

int UpdataSoftware::UploadVorqa5()
{
    return RunWithFinalReport(&UpdataSoftware::UploadVorqa5Steps);
}

int UpdataSoftware::UploadVorqa5Steps()
{
    WorkerThread* worker = Worker();
    if (!worker) {
        LOG_INFO() << "没有设备连接";
        return -1;
    }
    auto cancelled = [this]() {
        CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
        return 0;
    };
    // The file is judged before the device leaves its application.
    if (!CheckFirmwareFile())
        return -2;

    if (RebootImu() != 0)
        return 0; // the reboot step has reported the cancel
    worker->SetBaudRate(static_cast<BaudRateType>(kRawBaud));
    LOG_INFO() << "升级时使用的波特率：" << m_upload_data.baud;
    m_device_count = 1;
    m_finished_devices = 0;
    m_sent_bytes = 0;

    for (int i = 0; i < 10; ++i) {
        if (g_cancelUpgradeFlag)
            return cancelled();
        SendRaw(QByteArray("IMU_ARRAY_UPDATE"));
        QThread::msleep(50);
    }

    if (GetBlVerVorqa5(m_bootloader_version) == 0)
        LOG_INFO() << "bl_ver" << m_bootloader_version;
    SendRaw(RAW_END);

    SendUpgradeProcess(0, "等待v1 bootloader同步,若不同步请重启");
    int sync = SyncVorqa5();
    for (int attempt = 1; sync != 0 && attempt < 3; ++attempt) {
        if (g_cancelUpgradeFlag)
            return cancelled();
        sync = SyncVorqa5();
    }
    if (sync != 0) {
        if (g_cancelUpgradeFlag)
            return cancelled();
        SendUpgradeProcess(0, "v1 bootloader同步无响应");
        return sync;
    }
    SendUpgradeProcess(0, "v1 bootloader同步成功");

    const unsigned long total = static_cast<unsigned long>(m_firmware_file.size());
    m_total_bytes = static_cast<uint32_t>(total);
    if (g_cancelUpgradeFlag)
        return cancelled();

    LOG_INFO() << "Begin erase_vorqa5 :";
    if (EraseVorqa5() != 0) {
        if (g_cancelUpgradeFlag)
            return cancelled();
        SendUpgradeProcess(0, "擦除失败，重新开始");
        return -1;
    }
    SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "擦除成功");
    LOG_INFO() << "erase_vorqa5 success";
    LOG_INFO() << "Begin program_vorqa5";

    const int program = ProgramVorqa5(total);
    // A cancel met at the start of a block ends the run as a failure: the
    // device is left half programmed.
    if (program == -2) {
        CancelUpgrade(CANCEL_UPGRADE_FAILED, QString());
        return program;
    }
    if (g_cancelUpgradeFlag)
        return cancelled();
    if (program != 0) {
        SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "烧写失败，请重新升级");
        return -1;
    }

    const int verify = VerifyRev3Vorqa5(total);
    if (g_cancelUpgradeFlag)
        return cancelled();
    if (verify != 0) {
        CancelUpgrade(CANCEL_UPGRADE_FAILED, "校验失败，请重新升级");
        return verify;
    }

    QThread::msleep(20);
    SendRaw(RAW_REBOOT);
    SendRaw(RAW_END);
    QThread::msleep(20);
    m_firmware_file.close();
    m_finished_devices = 1;
    SendUpgradeProcess(100, "升级成功");
    return 0;
}

// ---- Mode 3: the adapter's CAN baud -----------------------------------------------------

bool UpdataSoftware::CanBaudFromReply(const QString& reply, QString* baud)
{
    const int colon = reply.indexOf(':');
    if (colon < 0)
        return false;
    const int end = reply.indexOf('\r', colon + 1);
    if (end < 0)
        return false;
    if (baud)
        *baud = reply.mid(colon + 1, end - colon - 1);
    return true;
}

bool UpdataSoftware::AdapterCommand(const QByteArray& command, const QString& expected)
{
    SendUpgradeProcess(0, "str");
    SendRaw(command);
    SerialReadDate(2000);
    return m_q517CanUploadRev.contains(expected);
}

int UpdataSoftware::SetUsbToCanBaud()
{
    if (!Worker()) {
        LOG_INFO() << "没有设备连接";
        return -1;
    }
    m_device_count = 0;
    m_finished_devices = 0;
    SerialReadDate(2000);
    SendUpgradeProcess(0, "开始设置CAN波特率");

    if (!AdapterCommand("AT+CG\r\n", "OK\r\n")) {
        SendUpgradeProcess(0, "进入CAN配置模式失败");
        return -1;
    }

    SendUpgradeProcess(0, "查询当前波特率");
    const QString wanted = QString::number(m_upload_data.baud);
    const bool answered = AdapterCommand("AT+CAN_BAUD=?\r\n", "CAN_BAUD");
    // An answer without the value between ":" and "\r" is as good as none.
    QString current;
    if (!answered || !CanBaudFromReply(m_q517CanUploadRev, &current)) {
        SendUpgradeProcess(0, "查询CAN波特率失败");
    } else {
        m_can_baud_text = current;
        LOG_INFO() << "当前波特率:" << m_can_baud_text << wanted;
        if (m_can_baud_text == wanted) {
            SendUpgradeProcess(0, "当前波特率不用重新设置");
        } else if (AdapterCommand(QByteArray("AT+CAN_BAUD=") + wanted.toUtf8() + "\r\n", "OK\r\n")) {
            LOG_INFO() << "设置波特率成功";
        } else {
            SendUpgradeProcess(0, "设置CAN波特率失败");
            return -1;
        }
    }

    SendUpgradeProcess(0, "退出CAN设置模式");
    if (AdapterCommand("AT+ET\r\n", "OK\r\n")) {
        SendUpgradeProcess(0, "退出CAN设置模式成功");
        return 0;
    }
    SendUpgradeProcess(0, "退出CAN设置模式失败");
    return -1;
}

// ---- Mode 0: CAN batch upgrade ------------------------------------------------------------

namespace {
std::atomic<double> g_batchPauseScale{1.0};
}

void UpdataSoftware::SetBatchPauseScale(double scale)
{
    g_batchPauseScale = scale > 0.0 ? scale : 1.0;
}

void UpdataSoftware::BatchPause(unsigned int ms)
{
    QThread::msleep(static_cast<unsigned long>(ms * g_batchPauseScale.load()));
}

QByteArray UpdataSoftware::CanIdCommand(unsigned int id)
{
    return QByteArray("AT+CAN_BATCHFRAMEFORMAT=1,1,") + QByteArray::number(id) + ",100,200\r\n";
}

int UpdataSoftware::SetUsbCanId(unsigned int id)
{
    WorkerThread* worker = Worker();
    if (!worker)
        return 0;
    LOG_INFO() << "设置USB转CAN中";
    const QByteArray command = CanIdCommand(id);
    const QByteArray idText = QByteArray::number(id);
    for (;;) {
        LOG_DEBUG() << command << "============" << command.size();
        SendRaw(command);
        const qint64 start = GetMonotonicTimeInMs();
        while (worker->BytesAvailable() < 1 && start + 200 > GetMonotonicTimeInMs()) {
            if (g_app_is_exit)
                ForceExitApplication();
            QThread::msleep(1);
        }
        const long n = qMin<long>(worker->BytesAvailable(), 2048);
        if (g_cancelUpgradeFlag)
            return 0;
        QByteArray answer;
        for (long i = 0; i < n; ++i) {
            char c = 0;
            if (!worker->GetChar(&c))
                break;
            answer.append(c);
        }
        if (answer.contains(idText)) {
            LOG_INFO() << "设置USB转CAN成功";
            return 0;
        }
        LOG_INFO() << "设置USB转CAN失败";
        if (g_app_is_exit)
            ForceExitApplication();
        QThread::msleep(100);
    }
}

int UpdataSoftware::GetIdAll()
{
    SerialPortManager* port = SerialPortManager::GetInstance();
    const QByteArray batchFrame = [] {
        // The ready frame: 55 AA, command, length 24, the six arguments and
        // the CRC-32 (initial 1) of the bytes before it.
        unsigned char p[34] = {};
        const float f1 = 100.0f;
        const float f2 = 200.0f;
        const uint32_t rest[4] = {300, 400, 500, 600};
        p[0] = 0x55;
        p[1] = 0xAA;
        p[2] = static_cast<unsigned char>(CMD_BATCH_MODE & 0xFF);
        p[3] = static_cast<unsigned char>(CMD_BATCH_MODE >> 8);
        p[4] = 24;
        std::memcpy(p + 6, &f1, 4);
        std::memcpy(p + 10, &f2, 4);
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i < 4; ++i)
                p[14 + 4 * k + i] = static_cast<unsigned char>(rest[k] >> (8 * i));
        const unsigned int crc = crc_crc32(1, p, 30);
        for (int i = 0; i < 4; ++i)
            p[30 + i] = static_cast<unsigned char>(crc >> (8 * i));
        return QByteArray(reinterpret_cast<const char*>(p), 34);
    }();

    for (int pass = 0; pass < 3; ++pass) {
        for (int i = 0; i < 30; ++i) {
            if (g_app_is_exit)
                ForceExitApplication();
            SendRaw(batchFrame);
            BatchPause(50);
            SendRaw(QByteArray("BATCHUPDATE_TALVEMIR"));
            BatchPause(50);
        }
        BatchPause(50);
        LOG_INFO() << "获取总线ID数量中";
        SendUpgradeProcess(0, "获取总线ID数量中...");
        for (int i = 0; i < 100; ++i) {
            if (g_cancelUpgradeFlag)
                return 0;
            port->SendCommand(CMD_CAN_ID_QUERY, 0.0f, 0.0f, 0u, 0u, 0, 0);
            BatchPause(20);
            AhrsBatchReadDate(100);
            SendUpgradeProcess(0, "获取总线ID数量中...");
        }
        LOG_INFO() << QString::asprintf("总线ID数量为 %d个", static_cast<int>(m_device_count));
        BatchPause(1000);
    }
    return 0;
}

int UpdataSoftware::AhrsBitchVerify(unsigned int crc)
{
    WriteWord(ReplyWords(), REPLY_DEVICE_CRC, 0);
    for (int i = 0; i < 10; ++i) {
        QThread::msleep(20);
        SerialPortManager::GetInstance()->SendCommand(CMD_BL_GET_CRC, 0.0f, 0.0f, 0u, 0u, 0, 0);
    }
    BatchPause(1000);
    AhrsBatchReadDate(1000);
    const unsigned int ack = ReadWord(ReplyWords(), REPLY_DEVICE_CRC);
    LOG_INFO() << "crc = " << crc << " crc32_ack = " << ack;
    return ack == crc ? 0 : -22;
}

int UpdataSoftware::UploadAHRSBatch()
{
    return RunWithFinalReport(&UpdataSoftware::UploadAHRSBatchSteps);
}

int UpdataSoftware::UploadAHRSBatchSteps()
{
    WorkerThread* worker = Worker();
    if (!worker) {
        LOG_INFO() << "没有设备连接";
        return -1;
    }
    auto cancelled = [this]() {
        CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
        return 0;
    };
    auto withTotal = [this](const char* withText, const char* withoutText) {
        if (m_total_bytes > 0)
            SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), withText);
        else
            SendUpgradeProcess(0, withoutText);
    };

    // The file and its name are judged before the adapter or any device
    // hears a word.
    if (!CheckFirmwareFile())
        return -2;

    m_device_count = 0;
    m_finished_devices = 0;
    g_upgradedDevicesIsNormal = 0;
    worker->CloseSerialPort();
    if (!worker->OpenSerialPort(BAUD115200)) {
        LOG_INFO() << "串口打开失败";
        SendUpgradeProcess(0, "串口打开失败");
        return -1;
    }
    BatchPause(1000);

    SetUsbCanId(100);
    SetUsbCanId(100);
    if (g_cancelUpgradeFlag) {
        LOG_INFO() << QString::asprintf("取消升级 %d", static_cast<int>(g_cancelUpgradeFlag));
        return cancelled();
    }

    BatchPause(500);
    GetIdAll();
    if (g_cancelUpgradeFlag)
        return cancelled();

    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_UPGRADE_DEVICE_COUNT, QVariant(),
                                                                QVariant());
    for (;;) {
        if (g_app_is_exit)
            ForceExitApplication();
        if (g_cancelUpgradeFlag)
            return cancelled();
        if (g_upgradedDevicesIsNormal == 1)
            break;
        if (g_upgradedDevicesIsNormal == -1) {
            m_device_count = 0;
            m_finished_devices = 0;
            g_upgradedDevicesIsNormal = 0;
            CancelUpgrade(CANCEL_UPGRADE_BY_USER, QString());
            return -1;
        }
        MSleepNonBlock(static_cast<unsigned int>(1000 * g_batchPauseScale.load()));
    }

    m_sent_bytes = 0;
    BatchPause(1000);

    uint32_t expectedCrc = 0;
    CrcFromFileName(m_upload_data.path, &expectedCrc); // checked before the run

    if (m_device_count == 0) {
        SendUpgradeProcess(0, "没有设备升级");
        // Nothing was upgraded: the run ends as a failure, not as success.
        return 0;
    }

    m_total_bytes = 0;
    for (unsigned int i = 1; i <= m_device_count; ++i) {
        const unsigned int id = m_can_ids[i - 1];
        const QString settingText = QString::asprintf("正在设置第[%d]个USB转CAN发送ID", static_cast<int>(i));
        SendUpgradeProcess(m_total_bytes > 0 ? PercentOf(m_sent_bytes, m_total_bytes) : 0, settingText);
        QThread::msleep(100);
        SetUsbCanId(id);
        SetUsbCanId(id);
        if (g_cancelUpgradeFlag)
            return cancelled();

        BatchPause(1500);
        withTotal("等待bootloader同步,若不同步请重启", "等待bootloader同步，若不同步请重启");
        while (SendSyncCmd() != 0) {
            if (g_cancelUpgradeFlag)
                return cancelled();
            QThread::msleep(100);
        }
        // A sync step cut short by a cancel looks like success; it is none.
        if (g_cancelUpgradeFlag)
            return cancelled();
        withTotal("bootloader同步成功", "bootloader同步成功");

        const unsigned long size = static_cast<unsigned long>(m_firmware_file.size());
        m_total_bytes = static_cast<uint32_t>(size * m_device_count);

        bool erased = false;
        for (int attempt = 0; attempt < 3 && !erased; ++attempt) {
            if (g_cancelUpgradeFlag)
                return cancelled();
            if (attempt > 0 && SendSyncCmd() != 0) {
                if (g_cancelUpgradeFlag)
                    return cancelled();
                SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "bootloader同步失败");
                return -5;
            }
            SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "开始擦除");
            int erase = EraseDeviceInfo();
            for (int again = 0; erase != 0 && again < 3; ++again) {
                if (g_app_is_exit)
                    ForceExitApplication();
                if (g_cancelUpgradeFlag)
                    return cancelled();
                erase = EraseDeviceInfo();
            }
            if (g_cancelUpgradeFlag)
                return cancelled();
            if (erase == 0)
                erased = true;
            else
                SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "擦除失败，重新开始");
        }
        if (!erased)
            continue; // this device is left out; the next one follows

        SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "擦除成功");
        const int program = SendUpdateDataToDevice(size);
        if (g_cancelUpgradeFlag) {
            LOG_INFO() << QString::asprintf("取消升级 %d", static_cast<int>(g_cancelUpgradeFlag));
            return cancelled();
        }
        if (program != 0) {
            LOG_INFO() << "烧写失败，请重新升级";
            SendUpgradeProcess(99, "烧写失败，请重新升级");
            CancelUpgrade(CANCEL_UPGRADE_FAILED, QString());
            return program;
        }

        const int verify = AhrsBitchVerify(expectedCrc);
        if (g_cancelUpgradeFlag)
            return cancelled();
        if (verify != 0) {
            LOG_INFO() << "校验失败，请重新升级";
            SendUpgradeProcess(99, "校验失败，请重新升级");
            CancelUpgrade(CANCEL_UPGRADE_FAILED, QString());
            return verify;
        }
        ++m_finished_devices;
        SendUpgradeProcess(PercentOf(m_sent_bytes, m_total_bytes), "正在升级...");
    }

    LOG_INFO() << "正在设置USB转CANID为广播帧";
    BatchPause(1000);
    SetUsbCanId(255);
    BatchPause(2000);
    QThread::msleep(20);
    Reboot();
    Reboot();
    QThread::msleep(20);
    // A device that could not be erased was left out: the run is not a
    // success then, and the page must not say "全部升级成功".
    if (m_finished_devices < m_device_count) {
        // The port stays: the connection goes on after a failed run.
        LOG_INFO() << "部分设备升级失败" << m_finished_devices << m_device_count;
        m_firmware_file.close();
        CancelUpgrade(CANCEL_UPGRADE_FAILED, "部分设备升级失败");
        return -1;
    }
    LOG_INFO() << "全部升級成功";
    SendUpgradeProcess(100, "升级成功");
    worker->CloseSerialPort();
    m_firmware_file.close();
    return 0;
}
