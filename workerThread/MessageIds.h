#ifndef MESSAGEIDS_H
#define MESSAGEIDS_H

// Ids of the message bus. Requests go from the pages to the device worker
// (SendDataHandleManager::SendMessageToIMU); answers go from the worker, or
// from one page, to every page (RecvDataHandleManager::SendMessageToPageSlot).

enum ImuMessageId : int
{
    IMU_MSG_READ_PARAMS = 0,
    IMU_MSG_WRITE_PARAMS = 1,
    IMU_MSG_SEND_COMMAND = 2,
    IMU_MSG_MODE_START = 3,
    IMU_MSG_RECORD_AHRS = 4,
    IMU_MSG_GROUP_COMMAND = 5,
    IMU_MSG_PARAM_TABLE = 6,
    IMU_MSG_FIRMWARE_UPGRADE = 7,
    IMU_MSG_COMMAND_LIST = 9,
    IMU_MSG_SEND_RAW = 10,
    IMU_MSG_RECORD_ASSISTANT = 11,
    IMU_MSG_MODE_START_PEOPLE_NAV = 12,
    IMU_MSG_RECORD_PEOPLE_NAV = 14,
    IMU_MSG_MODE_START_IMU33 = 15,
    IMU_MSG_RECORD_IMU33 = 16,
    IMU_MSG_SAVE_FLASH = 17,
    IMU_MSG_MAX = 17,
};

enum PageMessageId : int
{
    PAGE_MSG_VERSION = 2,
    PAGE_MSG_SERIAL_NUMBER = 3,
    PAGE_MSG_CONNECTION = 100,
    PAGE_MSG_AHRS_DATA = 802,
    PAGE_MSG_AHRS_RECORD_STOPPED = 803,
    PAGE_MSG_PARAM_DATA = 804,
    PAGE_MSG_IMU33_DATA = 805,
    PAGE_MSG_PARAM_TABLE_READ = 806,
    PAGE_MSG_PARAM_TABLE_WRITE = 807,
    PAGE_MSG_PARAM_RAW_DATA = 808,
    PAGE_MSG_UPGRADE_PROGRESS = 809,
    PAGE_MSG_UPGRADE_DEVICE_COUNT = 810,
    PAGE_MSG_FIRMWARE_INFO = 811,
    PAGE_MSG_DISCONNECT_SERIAL = 812,
    PAGE_MSG_AHRS_GROUP_ATTRIBUTES = 814,
    PAGE_MSG_AHRS_GROUP_DATA = 815,
    PAGE_MSG_AHRS_GROUP_STARTED = 816,
    PAGE_MSG_RAW_DATA = 817,
    PAGE_MSG_PEOPLE_NAV_DATA = 818,
    // A recording failed and has ended: var1 the request id of its kind
    // (IMU_MSG_RECORD_*), var2 a QStringList of its path, the reason and, in
    // decimal, the identity its start request carried as var2 (0: none).
    PAGE_MSG_RECORDING_FAILED = 819,
};

// Sub-codes of PAGE_MSG_PARAM_TABLE_READ (var1).
enum ParamTableReadCode : int
{
    PARAM_TABLE_READ_PROGRESS = 2,
    PARAM_TABLE_READ_CRC_FAILED = 4,
    PARAM_TABLE_READ_CRC_PASSED = 5,
    PARAM_TABLE_READ_TABLE = 9,
};

// Sub-codes of PAGE_MSG_PARAM_TABLE_WRITE (var1).
enum ParamTableWriteCode : int
{
    PARAM_TABLE_WRITE_INTERRUPTED = 0,
    PARAM_TABLE_WRITE_PROGRESS = 1,
    PARAM_TABLE_WRITE_VERIFYING = 3,
    PARAM_TABLE_WRITE_CRC_FAILED = 4,
    PARAM_TABLE_WRITE_STORING = 6,
    PARAM_TABLE_WRITE_STORE_FAILED = 7,
    PARAM_TABLE_WRITE_FINISHED = 8,
};

#endif // MESSAGEIDS_H
