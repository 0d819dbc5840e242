#ifndef UPDATASOFTWARE_H
#define UPDATASOFTWARE_H

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>

#include <cstdint>

#include "widgets/general/StringDecoder.h"
#include "widgets/general/UpLoadData.h"
#include "widgets/general/UpgradeProcessInformation.h"

class WorkerThread;

// Carries out one firmware operation ordered by the upgrade page. Runs
// synchronously on the device worker's thread, drives the port through the
// worker's polling operations while the worker's read handler is
// disconnected, and tells the page how it goes only through answers 809
// (progress, cancel, failure) and 810 (device-count question).
//
// Every run of modes 0 to 2 ends with a final report: 100 %, a cancel
// (type 1) or a failure (type 2), so the page never stays locked.
class UpdataSoftware : public QObject
{
    Q_OBJECT
public:
    // Bootloader commands of the framed bootloader (long command frames).
    enum BootCommand : unsigned short
    {
        CMD_BL_SYNC = 33,
        CMD_BL_GET_INFO = 34,
        CMD_BL_ERASE = 35,
        CMD_BL_UPLOAD_DATA = 39,
        CMD_BL_GET_CRC = 41,
        CMD_BL_REBOOT = 48,
        CMD_REBOOT_UNLOCK = 120,
        CMD_CAN_ID_QUERY = 192,
        CMD_BATCH_MODE = 35003,
    };

    // Image type read from the firmware header.
    enum ImageType { IMAGE_TYPE_UNKNOWN = 0, IMAGE_TYPE_G, IMAGE_TYPE_H, IMAGE_TYPE_S };

    static constexpr int kUploadFrameSize = 81;
    static constexpr int kChunkSize = 64;
    static constexpr int kHeaderSize = 16;
    static constexpr int kLegacyRebootFrameSize = 41;
    static constexpr unsigned int kSyncOk = 16;
    static constexpr int kMaxCanIds = 128;
    // No device of the family has more flash than this; a larger size in a
    // bootloader's answer, or a larger image, is not taken for real.
    static constexpr unsigned int kMaxFlashSize = 16u * 1024u * 1024u;

    explicit UpdataSoftware(QObject* parent = nullptr);
    ~UpdataSoftware() override;

    void SetUpLoadData(const UpLoadData& data);
    UpLoadData GetUpLoadData() const;

    // Runs the operation the request's mode names; modes outside 0..3 do
    // nothing and post nothing.
    void RunByMode();

    // The four operations, one per mode.
    int UploadAHRSBatch();  // 0
    int UploadSerial();     // 1
    int UploadVorqa5();     // 2
    int SetUsbToCanBaud();  // 3

    // ---- Reports -----------------------------------------------------------
    void SendUpgradeProcess(int percent, const QString& text);
    void CancelUpgrade(CANCEL_UPGRADE_TYPE type, const QString& text);
    const UpgradeProcessInformation& LastReport() const { return m_process_info; }

    // ---- Receive loops -----------------------------------------------------
    void SerialReadDate(unsigned int timeout_ms);
    int GetSyncData(unsigned int timeout_ms);
    void AhrsBatchReadDate(unsigned int timeout_ms);

    // ---- Framed bootloader steps --------------------------------------------
    int RebootImu();
    int SendSyncCmd();
    int EraseDeviceInfo();
    int SerialGetInfo(int param, unsigned int& value);
    void SendUploadData(unsigned char cmd, unsigned char flag, unsigned int offset,
                        unsigned short len, unsigned char* data);
    int SendUpdateDataToDevice(unsigned long size);
    int SerialVerifyFile(unsigned long size);
    int Reboot();

    // ---- Raw-byte bootloader steps (mode 2) ----------------------------------
    // Single command bytes of that bootloader; every command ends with
    // kRawEnd.
    enum RawCommand : unsigned char
    {
        RAW_SYNC = 0x21,
        RAW_GET_INFO = 0x22,
        RAW_ERASE = 0x23,
        RAW_PROGRAM = 0x27,
        RAW_GET_CRC = 0x29,
        RAW_REBOOT = 0x30,
        RAW_BL_VERSION = 0x31,
        RAW_END = 0x20,
    };
    static constexpr int kRawBlockSize = 128;
    static constexpr int kRawSyncZeros = 134;
    static constexpr unsigned int kRawBaud = 256000;

    int RecvVorqa5(unsigned char& c, unsigned int timeout_ms);
    int RecvVorqa5(unsigned char* buf, unsigned int n);
    int GetSyncVorqa5(unsigned int timeout_ms);
    int GetInfoVorqa5(int param, unsigned int& value);
    int GetBlVerVorqa5(unsigned int& version);
    void DrainVorqa5();
    int SyncVorqa5();
    int EraseVorqa5();
    int ProgramVorqa5(unsigned long size);
    int VerifyRev3Vorqa5(unsigned long size);

    // ---- CAN batch and adapter steps (modes 0 and 3) -------------------------
    int SetUsbCanId(unsigned int id);
    int GetIdAll();
    int AhrsBitchVerify(unsigned int crc);
    QString CurrentCanBaudText() const { return m_can_baud_text; }
    static QByteArray CanIdCommand(unsigned int id);
    // The adapter's answer to "AT+CAN_BAUD=?": the text between the first
    // ":" and the "\r" after it. False when the answer has no such text.
    static bool CanBaudFromReply(const QString& reply, QString* baud);

    // Scales the batch path's long fixed pauses (collecting ids, waiting for
    // the devices to restart); 1 in the program. Bench runs of a whole
    // batch shrink them; the bytes on the line stay the same.
    static void SetBatchPauseScale(double scale);

    // Checks the request's firmware file before anything reaches the
    // device: the name (".firmware" for modes 0 and 2, the CRC for mode 0),
    // a readable file of whole cipher blocks within kMaxFlashSize, and a
    // header naming a known image type. Keeps the file open and
    // its image deciphered in memory. On refusal reports the reason to the
    // page and returns false.
    bool CheckFirmwareFile();

    // CAN-id reply parser of the batch path (fed by AhrsBatchReadDate).
    void GetAHRSBatchNum(unsigned char byte);
    static bool IsUnique(unsigned int value, const unsigned int* array, unsigned int n);
    unsigned int DeviceCount() const { return m_device_count; }
    unsigned int DeviceId(unsigned int index) const;

    // ---- Plain helpers (no port) ---------------------------------------------
    // Progress 0..99 while data moves; 0 when the total is 0.
    static int PercentOf(uint32_t sent, uint32_t total);
    static QByteArray BuildUploadDataFrame(unsigned char cmd, unsigned char flag, unsigned int offset,
                                           unsigned short len, const unsigned char* data);
    // Legacy reboot frame: payload of n bytes, padded with zeros to 41 bytes.
    static QByteArray BuildLegacyRebootFrame(const QByteArray& payload);
    static ImageType ImageTypeOf(unsigned char b5, unsigned char b6);
    static QString RequestStringFor(bool adapter, ImageType type, unsigned char b5, unsigned char b6,
                                    bool gd32, bool at32, bool hc32, bool atuu);
    // CRC a CAN-batch firmware file name carries after "#CRC": 1 to 10
    // decimal digits up to 4294967295, followed by "."; taken from the file
    // name only, never from a folder. False when the name does not carry one.
    static bool CrcFromFileName(const QString& path, uint32_t* crc);

private:
    // Refuses a flash size no device has: a failed information request.
    bool FlashSizeSound(unsigned int size);
    int UploadSerialSteps();
    void ReportBanner(int which);
    unsigned int* ReplyWords() const;
    WorkerThread* Worker() const;
    void FailIfNoFinalReport();
    // Runs one upgrade path so that it always ends with a final report and
    // its firmware file closed, whichever way it returns.
    int RunWithFinalReport(int (UpdataSoftware::*steps)());
    bool SleepBlocking(unsigned int ms);
    void BatchPause(unsigned int ms);
    int UploadVorqa5Steps();
    int UploadAHRSBatchSteps();
    void SendRaw(unsigned char c);
    void SendRaw(const QByteArray& bytes);
    // Writes an AT command, then takes in the adapter's answer.
    bool AdapterCommand(const QByteArray& command, const QString& expected);

    StringDecoder m_decoder;
    UpLoadData m_upload_data;
    QFile m_firmware_file;
    // The deciphered image of m_firmware_file (memory only, never on disk).
    QByteArray m_plain_image;
    uint32_t m_sent_bytes = 0;
    uint32_t m_total_bytes = 0;
    QString m_q517CanUploadRev;
    uint8_t m_bl_type_logged = 0;
    uint8_t m_gd32_flag = 0;
    uint8_t m_at32_flag = 0;
    uint8_t m_hc32_flag = 0;
    uint8_t m_atuu_flag = 0;
    QString m_can_baud_text;
    uint32_t m_device_count = 0;
    uint32_t m_can_ids[kMaxCanIds] = {};
    uint8_t m_can_parse_state = 0;
    uint8_t m_can_id_bytes[4] = {};
    uint8_t m_can_sum = 0;
    uint32_t m_finished_devices = 0;
    UpgradeProcessInformation m_process_info;
    uint32_t m_bootloader_version = 0;
    uint8_t m_quiet = 0;
    bool m_final_report_posted = false;
};

#endif // UPDATASOFTWARE_H
