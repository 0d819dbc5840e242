#ifndef PAYLOADTYPES_H
#define PAYLOADTYPES_H

// Records carried on the message bus inside QVariant. Records that mirror a
// device frame payload are byte-for-byte copies of it (packed, little-endian
// as on the wire), so they can be filled with one memcpy.

#include <QMetaType>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#pragma pack(push, 1)

// Payload of FRAME_AHRS_DATA (44 bytes).
struct AhrsData
{
    uint32_t MCU_TIME;     // device time stamp, microseconds
    float pitch;           // degrees
    float roll;            // degrees
    float yaw;             // degrees
    float acc_x;           // g
    float acc_y;
    float acc_z;
    float gyro_x;          // angular rate
    float gyro_y;
    float gyro_z;
    float temperature;
};

// One unit of the 33-IMU board.
struct ImuUnitData
{
    float acc_x;
    float acc_y;
    float acc_z;
    float gyro_x;
    float gyro_y;
    float gyro_z;
    float temperature;
};

// Payload of FRAME_IMU33_DATA (932 bytes).
struct AhrsArrayData
{
    uint32_t MCU_TIME;
    ImuUnitData imu[33];
    uint32_t tail;         // trailer word, copied as received
};

// Payload of FRAME_PEOPLE_NAV_DATA (51 bytes; must stay packed or the ZUPT
// flag moves).
struct PeopleNavPayload
{
    uint32_t time;         // milliseconds
    int16_t roll;          // x 100
    int16_t pitch;         // x 100
    int16_t yaw;           // x 100
    float pos_x;
    float pos_y;
    float pos_z;
    float acc_x;
    float acc_y;
    float acc_z;
    float gyro_x;
    float gyro_y;
    float gyro_z;
    float temperature;
    uint8_t zupt_flag;
};

// Payload bytes 0..77 of FRAME_VERSION.
struct VersionPayload
{
    uint32_t software_version;
    uint32_t hardware_version;
    uint16_t board_code;
    uint32_t serial_number[3];
    uint32_t board_version;          // packed ASCII, shown through Int32toAscii
    uint8_t reserved26[4];
    uint8_t master_flag;             // non-zero: master
    uint8_t reserved31;
    uint8_t config_fault_code;       // configuration sector
    uint8_t calib_fault_code;        // calibration sector
    uint8_t reserved34[44];
};

// Calibration and attribute record of an AHRS, built from a
// FRAME_CALIB_PUBLISH(_ALT) payload by BuildCalibPublish (4680 bytes).
struct ArrayImuI2cPayloadCalibPublish
{
    uint8_t head[8];                 // 0
    uint8_t record_head[32];         // 8: record 0 bytes 0..31
    uint32_t calib_word;             // 40
    uint32_t calib_flag;             // 44
    uint32_t calib_flag_h;           // 48
    uint32_t reserved52;             // 52
    uint8_t imu_fcode;               // 56
    uint8_t config_fcode;            // 57
    uint8_t calibparam_fcode;        // 58
    uint8_t reserved59;              // 59
    uint8_t ip_filter;               // 60, shown as one character
    uint8_t reserved61[4];           // 61
    uint8_t hardware_ver;            // 65
    uint8_t reserved66[38];          // 66
    uint64_t software_ver;           // 104
    uint8_t serial_number[12];       // 112
    uint8_t reserved124[4492];       // 124
    uint16_t counts[32];             // 4616, converted from big-endian
};

// Payload of FRAME_FIRMWARE_INFO (214 bytes).
struct FirmwareInfoPayload
{
    uint32_t info0;                  // decimal
    uint32_t info1;                  // decimal
    uint32_t info2;                  // packed ASCII (Int32toAscii)
    uint32_t info3;                  // decimal
    uint32_t info4;                  // decimal
    uint32_t info5;                  // decimal
    char text0[20];                  // NUL-terminated
    char text1[20];                  // NUL-terminated
    char text2[144];                 // NUL-terminated
    uint32_t tail_u32;
    uint16_t tail_u16;
};

#pragma pack(pop)

// The basic parameters as 13 float slots (parameter ids in comments).
struct ImuParamData
{
    float BAUD_RATE;                 // slot 0, id 3
    float auto_gyro_bias_delete;     // slot 1, id 5 (0 off)
    float GYRO_BIAS_X;               // slot 2, id 8
    float GYRO_BIAS_Y;               // slot 3, id 9
    float GYRO_BIAS_Z;               // slot 4, id 10
    float INSTALL_ERR_ALPHA;         // slot 5, id 16
    float INSTALL_ERR_BEAT;          // slot 6, id 17
    float INSTALL_ERR_GAMA;          // slot 7, id 18
    float IMU_ODR;                   // slot 8, id 21
    float STREAM_MODE1;              // slot 9, id 25 (100 command mode, 1 AHRS stream)
    float LP_CONFIG_REG;             // slot 10, id 31
    float CAN_ID;                    // slot 11, page only, never sent
    float imu_orientation;           // slot 12, id 4 (101..124)

    static constexpr int kSlotCount = 13;
    // Slot i (0..12) in the order above.
    float& Slot(int i) { return this->*SlotMember(i); }
    float Slot(int i) const { return this->*SlotMember(i); }

private:
    static float ImuParamData::*SlotMember(int i)
    {
        static float ImuParamData::*const members[kSlotCount] = {
            &ImuParamData::BAUD_RATE, &ImuParamData::auto_gyro_bias_delete,
            &ImuParamData::GYRO_BIAS_X, &ImuParamData::GYRO_BIAS_Y, &ImuParamData::GYRO_BIAS_Z,
            &ImuParamData::INSTALL_ERR_ALPHA, &ImuParamData::INSTALL_ERR_BEAT,
            &ImuParamData::INSTALL_ERR_GAMA, &ImuParamData::IMU_ODR, &ImuParamData::STREAM_MODE1,
            &ImuParamData::LP_CONFIG_REG, &ImuParamData::CAN_ID, &ImuParamData::imu_orientation};
        return members[i < 0 ? 0 : (i >= kSlotCount ? kSlotCount - 1 : i)];
    }
};

// The six argument fields of one long command; the command id travels
// beside it as the second bus value.
struct RecvOneParameterPayload
{
    float p1;
    float p2;
    uint32_t p3;
    uint32_t p4;
    int32_t p5;
    int32_t p6;
};

// Registered for the bus but carried by nothing.
struct CmdAckPayload
{
    uint16_t cmd_id;
    uint16_t ack_id;
    uint16_t result;
};
struct ImuParamPayload
{
    uint32_t index;
    float value;
};
struct ImuTestParamUart
{
    uint32_t baud;
};
struct RetestParamData
{
    uint32_t count;
};

// Port state reported by the device worker.
enum SerialState
{
    SERIAL_STATE_OPENED = 0,
    SERIAL_STATE_OPEN_FAILED = 1,
    SERIAL_STATE_CLOSED = 2,
};

// Parameter-table request (var1 of IMU_MSG_PARAM_TABLE).
enum ParamTableReqType : int
{
    PARAM_TABLE_READ = 0,
    PARAM_TABLE_WRITE = 1,
    PARAM_TABLE_RESTORE = 2,
};

// Replies the upgrade engine waits for, captured by the frame dispatcher.
// GetParamIndexSendUpload() hands out the address of words; the engine reads
// them and clears words 0..2 before each wait.
struct UploadReplyBlock
{
    enum Word
    {
        ACK_WORD = 0,           // FRAME_CMD_ACK payload bytes 4..7
        UPLOAD_REPLY_WORD = 1,  // FRAME_UPLOAD_REPLY payload bytes 4..7
        SYNC_WORD_LOW = 2,      // FRAME_BOOT_SYNC payload bytes 0..3
        SYNC_WORD_HIGH = 3,     // FRAME_BOOT_SYNC payload bytes 4..7
    };
    unsigned int words[4];
};

static_assert(sizeof(AhrsData) == 44, "AhrsData is 44 bytes");
static_assert(sizeof(AhrsArrayData) == 932, "AhrsArrayData is 932 bytes");
static_assert(sizeof(PeopleNavPayload) == 51, "PeopleNavPayload is 51 bytes");
static_assert(offsetof(PeopleNavPayload, zupt_flag) == 50, "ZUPT flag at 50");
static_assert(sizeof(VersionPayload) == 78, "VersionPayload is 78 bytes");
static_assert(offsetof(VersionPayload, master_flag) == 30, "master flag at 30");
static_assert(sizeof(ArrayImuI2cPayloadCalibPublish) == 4680, "calibration record is 4680 bytes");
static_assert(offsetof(ArrayImuI2cPayloadCalibPublish, hardware_ver) == 65, "hardware_ver at 65");
static_assert(offsetof(ArrayImuI2cPayloadCalibPublish, software_ver) == 104, "software_ver at 104");
static_assert(offsetof(ArrayImuI2cPayloadCalibPublish, counts) == 4616, "counts at 4616");
static_assert(sizeof(FirmwareInfoPayload) == 214, "FirmwareInfoPayload is 214 bytes");
static_assert(sizeof(ImuParamData) == 13 * sizeof(float), "ImuParamData is 13 floats");
static_assert(sizeof(RecvOneParameterPayload) == 24, "six argument fields");
static_assert(sizeof(UploadReplyBlock) == 4 * sizeof(uint32_t), "four reply words");
static_assert(std::is_trivially_copyable<ArrayImuI2cPayloadCalibPublish>::value, "plain record");

// Copies a payload into a record: at most sizeof(T) bytes are taken; a
// shorter payload leaves the rest of the record zero.
template <typename T>
T PayloadToRecord(const uint8_t* payload, uint32_t length)
{
    static_assert(std::is_trivially_copyable<T>::value, "plain record");
    T record;
    uint8_t* out = reinterpret_cast<uint8_t*>(&record);
    const uint32_t take = length < sizeof(T) ? length : static_cast<uint32_t>(sizeof(T));
    for (uint32_t i = 0; i < take; ++i) {
        out[i] = payload[i];
    }
    for (uint32_t i = take; i < sizeof(T); ++i) {
        out[i] = 0;
    }
    return record;
}

// Builds the calibration record from a FRAME_CALIB_PUBLISH(_ALT) payload.
ArrayImuI2cPayloadCalibPublish BuildCalibPublish(const uint8_t* payload, uint32_t length);

Q_DECLARE_METATYPE(AhrsData)
Q_DECLARE_METATYPE(AhrsArrayData)
Q_DECLARE_METATYPE(PeopleNavPayload)
Q_DECLARE_METATYPE(VersionPayload)
Q_DECLARE_METATYPE(ArrayImuI2cPayloadCalibPublish)
Q_DECLARE_METATYPE(FirmwareInfoPayload)
Q_DECLARE_METATYPE(ImuParamData)
Q_DECLARE_METATYPE(RecvOneParameterPayload)
Q_DECLARE_METATYPE(CmdAckPayload)
Q_DECLARE_METATYPE(ImuParamPayload)
Q_DECLARE_METATYPE(ImuTestParamUart)
Q_DECLARE_METATYPE(RetestParamData)
Q_DECLARE_METATYPE(SerialState)
Q_DECLARE_METATYPE(ParamTableReqType)

#endif // PAYLOADTYPES_H
