#include "widgets/singleTools/parameterConfigPage/ParamNameTable.h"

namespace {

// Name of every device parameter id, in id order.
const char* const kParamNames[ParamNameTable::kNameCount] = {
    "SW_VERSION", "HW_VERSION", "PARAM_VERSION", "BAUD_RATE", // 0-3
    "imu_orientation", "auto_gyro_bias_delete", "over_range_reset", "no_movement_check_flag", // 4-7
    "GYRO_BIAS_X", "GYRO_BIAS_Y", "GYRO_BIAS_Z", "ATT_ORIENTATION", // 8-11
    "min_calib_temp", "max_calib_temp", "calib_end_temp", "ATT_TYPE", // 12-15
    "INSTALL_ERR_ALPHA", "INSTALL_ERR_BEAT", "INSTALL_ERR_GAMA", "P_BMI_Acc_Range", // 16-19
    "P_BMI_Gyro_Range", "IMU_ODR", "IIC_OR_DRDY", "IMUACC_MASK_BITS1_16", // 20-23
    "IMUGYRO_MASK_BITS1_16", "STREAM_MODE1", "POINTS_EVERY_SCALE", "SPI_I2C", // 24-27
    "ATT_SOURCE", "TIME_SYNC", "I2C_ADDR", "LP_CONFIG_REG", // 28-31
    "SCREENING_FLAG", "SCREENING_FCODE", "ACCEL_BIAS_X", "ACCEL_BIAS_Y", // 32-35
    "ACCEL_BIAS_Z", "SCREENING_DEMAND_FLAG", "DEBUG_PIN_MODE", "GYRO_THRESHOLD", // 36-39
    "LOW_POWER_MODE", "CAN_ID_INC", "CAN_BAUD", "STREAM_MODE2", // 40-43
    "STREAM_MODE3", "CAN_RESISTANCE", "CAN_CYCLE", "CAN_FRAME_TYPE", // 44-47
    "CAN_PD_ID", "RESERVED24", "CAN_PARM_VERIFY", "CAN_BAUD_ID", // 48-51
    "CAN_X_DIRECT", "CAN_Y_DIRECT", "CAN_PIN_REVERSE", "STREAM_MODE4", // 52-55
    "VK52817B_ACC_RANGE", "CAN_LS_ID", "OEM_TYPE", "RESERVED34", // 56-59
    "STIM300_PARAM", "STIM300_CR_LF", "MODBUS_ID", "QC_CAN_ID", // 60-63
    "QC_CAN_BAUD_ID", "RESERVED40", "RESERVED41", "RESERVED42", // 64-67
    "RESERVED43", "RESERVED44", "RESERVED45", "GYRO_MEASUREMENT_THRESHOLD", // 68-71
    "RESERVED47", "RESERVED48", "RESERVED49", "RESERVED50", // 72-75
    "RESERVED51", "RESERVED52", "RESERVED53", "RESERVED54", // 76-79
    "RESERVED55", "RESERVED56", "RESERVED57", "RESERVED58", // 80-83
    "RESERVED59", "RESERVED60", "QEKF_PARM_VERIFY", "GYRO_STD", // 84-87
    "GYRO_ZUPT_VALUE", "ACCEL_STD", "MEAS_CONSTRAIN_AHRS", "RESERVED66", // 88-91
    "RESERVED67", "RESERVED68", "RESERVED69", "RESERVED70", // 92-95
    "RESERVED71", "RESERVED72", "RESERVED73", "Rk_zaru", // 96-99
    "Rk_max", "Rk_min", "Low_dynamics_flag", "USE_SELF_ADAPTIVE", // 100-103
    "SmoothRatio", "GPS_IMU_PARM_VERIFY", "RTK_INST_ANGLE", "GPS_POS_X", // 104-107
    "GPS_POS_Y", "GPS_POS_Z", "INIT_VEL", "LY", // 108-111
    "LZ", "L", "POS_REF_LAT", "RESERVED90", // 112-115
    "POS_REF_LON", "RESERVED92", "POS_REF_ALT", "RESERVED94", // 116-119
    "KF_GYROX_BIAS", "KF_GYROY_BIAS", "KF_GYROZ_BIAS", "KF_ACCX_BIAS", // 120-123
    "KF_ACCY_BIAS", "KF_ACCZ_BIAS", "flash_crc32", "CONFIG_NUM_PARAMS", // 124-127
};

} // namespace

QString ParamNameTable::NameOf(int id)
{
    if (id < 0 || id >= kNameCount) {
        return QString();
    }
    return QString::fromLatin1(kParamNames[id]);
}

bool ParamNameTable::Lookup(const QString& name, int* id)
{
    static const QMap<QString, int> table = BuildMap();
    const auto it = table.constFind(name);
    if (it == table.constEnd()) {
        return false;
    }
    if (id) {
        *id = it.value();
    }
    return true;
}

QMap<QString, int> ParamNameTable::BuildMap()
{
    QMap<QString, int> map;
    for (int id = 0; id < kNameCount; ++id) {
        map.insert(QString::fromLatin1(kParamNames[id]), id);
    }
    return map;
}

QStringList ParamNameTable::NamesInIdOrder()
{
    QStringList names;
    names.reserve(kNameCount);
    for (int id = 0; id < kNameCount; ++id) {
        names.append(QString::fromLatin1(kParamNames[id]));
    }
    return names;
}
