#ifndef DEVICEFRAMES_H
#define DEVICEFRAMES_H

// The frames that cross the serial line. Host-to-device frames start with
// the 16-bit value 0xAA55 written little-endian (bytes 55 AA); device frames
// start with AA 55. Multi-byte fields are little-endian.

#include <QByteArray>

#include <cstdint>

// Command ids (cmd field of a LongCommandFrame).
enum DeviceCommandId : uint16_t
{
    CMD_GET_VERSION = 1,
    CMD_SET_MODE = 3,
    CMD_SAVE_FLASH = 5,
    CMD_GET_PARAM = 6,
    CMD_SET_PARAM = 14,
    CMD_RESTORE_DEFAULTS = 15,
    CMD_READ_PARAM_TABLE = 30000,
    CMD_WRITE_PARAM_TABLE_ENTRY = 30004,
    CMD_SAVE_PARAM_TABLE = 30009,
    CMD_VERIFY_PARAM_TABLE = 30011,
    CMD_ACK = 30013,
    CMD_GET_FIRMWARE_INFO = 31000,
};

// Frame ids of a DeviceFrame.
enum DeviceFrameId : uint16_t
{
    FRAME_IMU33_DATA = 1,
    FRAME_AHRS_DATA = 2,
    FRAME_PEOPLE_NAV_DATA = 34,
    FRAME_BOOT_SYNC = 100,
    FRAME_VERSION = 255,
    FRAME_PARAM_VALUE = 30000,
    FRAME_UPLOAD_REPLY = 30012,
    FRAME_CMD_ACK = 30013,
    FRAME_FIRMWARE_INFO = 31001,
    FRAME_CALIB_PUBLISH = 46774,
    FRAME_CALIB_PUBLISH_ALT = 46776,
};

// Device frame: AA 55, u16 id, u16 length (0 invalid), payload, u32 CRC-32
// (initial value 1) over everything before it.
struct DeviceFrame
{
    static constexpr int kHeaderSize = 6;
    static constexpr int kCrcSize = 4;
    static constexpr uint8_t kHeader1 = 0xAA;
    static constexpr uint8_t kHeader2 = 0x55;
};

// Frame sizes on the wire.
constexpr int kLongCommandFrameSize = 34;
constexpr int kCommandAckFrameSize = 14;
constexpr int kUserConfigFrameSize = 16;
constexpr int kBootloaderCommandFrameSize = 33;

// CRC-32 of the protocol: initial register 1, no final inversion.
constexpr unsigned int kFrameCrcInit = 1;

// The ack id and the command id the host puts in every CommandAckFrame.
constexpr uint16_t kHostAckId = 30004;

// The 34-byte general command: header, cmd, length 24, f1, f2, u1, u2, i1,
// i2, CRC-32 of bytes 0..29.
QByteArray BuildLongCommandFrame(uint16_t cmd, float f1, float f2, uint32_t u1, uint32_t u2,
                                 int32_t i1, int32_t i2);

// The 14-byte acknowledgement of a received parameter value.
QByteArray BuildCommandAckFrame(uint16_t cmd_id, uint16_t ack_id, uint16_t result);

// The 16-byte older short command with an additive sum of bytes 0..11.
QByteArray BuildUserConfigFrame(uint8_t cmd, float param, int16_t rev1, uint8_t rev2);

// The 33-byte bootloader command: only the low byte of cmd goes out as the
// command; cm1..cm6 are zero-extended to 32 bits; additive sum of 0..28.
QByteArray BuildBootloaderCommandFrame(uint16_t cmd, uint16_t cm1, uint16_t cm2, uint16_t cm3,
                                       uint16_t cm4, uint16_t cm5, uint16_t cm6);

// A complete device frame (AA 55 ... CRC) around a payload; used by tests,
// the benchmark and tools that replay frames.
QByteArray BuildDeviceFrame(uint16_t id, const QByteArray& payload);

// Plain 32-bit sum of the bytes, each taken unsigned.
uint32_t AdditiveSum(const uint8_t* data, int length);

#endif // DEVICEFRAMES_H
