#include "dialogs/general/DecodeTables.h"

#include "dialogs/general/TableTextBuffer.h"

#include <cmath>
#include <cstring>

uint32_t DecodeTables::U32(const uint8_t* p, int offset)
{
    uint32_t v;
    std::memcpy(&v, p + offset, sizeof v);
    return v;
}

int32_t DecodeTables::I32(const uint8_t* p, int offset)
{
    int32_t v;
    std::memcpy(&v, p + offset, sizeof v);
    return v;
}

uint16_t DecodeTables::U16(const uint8_t* p, int offset)
{
    uint16_t v;
    std::memcpy(&v, p + offset, sizeof v);
    return v;
}

int16_t DecodeTables::I16(const uint8_t* p, int offset)
{
    int16_t v;
    std::memcpy(&v, p + offset, sizeof v);
    return v;
}

float DecodeTables::F32(const uint8_t* p, int offset)
{
    float v;
    std::memcpy(&v, p + offset, sizeof v);
    return v;
}

uint64_t DecodeTables::U64(const uint8_t* p, int offset)
{
    uint64_t v;
    std::memcpy(&v, p + offset, sizeof v);
    return v;
}

namespace {

void JoinNames(TableTextBuffer& out, const char* const* names, int count, bool trailingComma)
{
    for (int i = 0; i < count; ++i) {
        out << names[i];
        if (i + 1 < count || trailingComma) {
            out << ',';
        }
    }
    out << '\n';
}

QString Fixed(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

} // namespace

void DecodeTables::AhrsHeader(TableTextBuffer& out)
{
    static const char* const names[] = {"%time_us", "accx", "accy", "accz", "gyrox", "gyroy", "gyroz",
                                        "temperature", "roll", "pitch", "yaw", "mx", "my", "mz"};
    JoinNames(out, names, 14, false);
}

void DecodeTables::AhrsRow(TableTextBuffer& out, const uint8_t* p, bool withMag)
{
    out << U32(p, 0);
    static const int offsets[] = {16, 20, 24, 28, 32, 36, 40, 8, 4, 12};
    for (int off : offsets) {
        out << ',' << F32(p, off);
    }
    if (withMag) {
        out << ',' << F32(p, 44) << ',' << F32(p, 48) << ',' << F32(p, 52);
    }
    out << '\n';
}

void DecodeTables::GnssUwbHeader(TableTextBuffer& out)
{
    static const char* const names[] = {
        "%time_us", "accx", "accy", "accz", "gyrox", "gyroy", "gyroz", "temperature", "baro", "mx", "my", "mz",
        "gps.recv_time_us", "gps.fixtype", "gps.numSV", "gps.lat", "gps.lon", "gps.alt", "gps.vn", "gps.ve",
        "gps.vd", "gps.hacc", "gps.vacc", "gps.sacc", "gps.headacc", "gps.pdop"};
    for (const char* name : names) {
        out << name << ',';
    }
    for (int k = 1; k <= 10; ++k) {
        for (const char* field : {".id", ".dis", ".fp_rssi", ".rx_rssi"}) {
            out << "uwb_frameNode" << k << field << ',';
        }
    }
    for (int k = 1; k <= 10; ++k) {
        for (const char* field :
             {".id", ".time_us", ".lat", ".lon", ".alt", ".calcul_lat", ".calcul_lon", ".calcul_alt"}) {
            out << "uwb_passNode" << k << field << ',';
        }
    }
    out << '\n';
}

void DecodeTables::GnssUwbRow(TableTextBuffer& out, const uint8_t* p)
{
    out << U32(p, 0) << ',';
    for (int off : {20, 24, 28, 8, 12, 16, 32, 36, 40, 44, 48}) {
        out << F32(p, off) << ',';
    }
    out << U32(p, 56) << ',' << unsigned(p[68]) << ',' << unsigned(p[69]) << ',';
    out << I32(p, 70) << ',' << I32(p, 74) << ',' << I32(p, 78) << ',';
    for (int i = 0; i < 8; ++i) {
        out << F32(p, 82 + 4 * i) << ',';
    }
    for (int k = 0; k < 10; ++k) {
        const int base = 130 + 16 * k;
        out << U32(p, base) << ',' << F32(p, base + 4) << ',' << F32(p, base + 8) << ',' << F32(p, base + 12)
            << ',';
    }
    for (int k = 0; k < 10; ++k) {
        const int base = 322 + 70 * k;
        out << U32(p, base) << ',' << U32(p, base + 4) << ',';
        for (int j = 0; j < 6; ++j) {
            out << I32(p, base + 8 + 4 * j) << ',';
        }
    }
    out << '\n';
}

void DecodeTables::Imu33Header(TableTextBuffer& out)
{
    out << "%t1";
    for (int k = 0; k < 32; ++k) {
        const int block = k / 8;
        const int j = k % 8;
        for (int a = 0; a < 6; ++a) {
            if (j == 0 && a == 0) {
                out << ",imu" << block << "0_0";
            } else {
                out << ",imu" << j << '_' << a;
            }
        }
        out << ",temp_" << j;
    }
    for (int a = 0; a < 6; ++a) {
        out << ",imu8_" << a;
    }
    out << ",temp_8,index\n";
}

void DecodeTables::Imu33Row(TableTextBuffer& out, const uint8_t* p)
{
    out << U32(p, 0);
    for (int k = 0; k < 33; ++k) {
        for (int a = 0; a < 7; ++a) {
            out << ',' << F32(p, 4 + 28 * k + 4 * a);
        }
    }
    out << ',' << U32(p, 928) << '\n';
}

void DecodeTables::InsRtkHeader(TableTextBuffer& out)
{
    static const char* const names[] = {
        "GPS周内毫秒", "加速度(g)x", "加速度(g)y", "加速度(g)z", "角速度(deg/s)x", "角速度(deg/s)y",
        "角速度(deg/s)z", "纬度", "经度", "高度", "北向速度", "东向速度", "地向速度", "地速", "横滚", "俯仰",
        "航向", "RTK状态", "RTK周内毫秒", "RTK星数", "RTK差分延时", "RTK速度精度", "RTK位置精度", "RTK纬度",
        "RTK经度", "RTK高度", "RTK地速", "RTK航迹角", "RTK定向状态", "RTK定向精度", "RTK方位角"};
    for (const char* name : names) {
        out << QString::fromUtf8(name) << ',';
    }
    out << '\n';
}

QString DecodeTables::RtkStateName(uint8_t code)
{
    switch (code) {
    case 0: return QStringLiteral("NONE");
    case 1: return QStringLiteral("FIXEDPOS");
    case 2: return QStringLiteral("FIXEDHEIGHT");
    case 8: return QStringLiteral("DOPPLER_V");
    case 16: return QStringLiteral("单点");
    case 17: return QStringLiteral("伪距差分解");
    case 18: return QStringLiteral("SBAS定位");
    case 32: return QStringLiteral("L1浮点");
    case 33: return QStringLiteral("消电离层浮点");
    case 34: return QStringLiteral("窄巷浮点");
    case 48: return QStringLiteral("L1固定");
    case 49: return QStringLiteral("宽巷固定");
    case 50: return QStringLiteral("窄巷固定");
    default: return QString();
    }
}

QString DecodeTables::SevenDecimalDegrees(int32_t v)
{
    // Integer arithmetic keeps every digit exact; INT32_MIN has no positive
    // counterpart in 32 bits, hence the 64-bit magnitude.
    const int64_t magnitude = v < 0 ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return QStringLiteral("%1%2.%3")
        .arg(v < 0 ? "-" : "")
        .arg(magnitude / 10000000)
        .arg(magnitude % 10000000, 7, 10, QLatin1Char('0'));
}

void DecodeTables::InsRtkRow(TableTextBuffer& out, const uint8_t* ins, const uint8_t* rtk, const uint8_t* heading)
{
    out << U32(ins, 0) << ',';
    for (int off : {18, 22, 26, 6, 10, 14}) {
        out << F32(ins, off) << ',';
    }
    out << SevenDecimalDegrees(I32(ins, 74)) << ',' << SevenDecimalDegrees(I32(ins, 78)) << ',';
    const float height = static_cast<float>(I32(ins, 82)) / 1000.0f;
    out << Fixed(height, 3) << ',';
    const float vn = F32(ins, 62);
    const float ve = F32(ins, 66);
    const float vd = F32(ins, 70);
    out << Fixed(vn, 3) << ',' << Fixed(ve, 3) << ',' << Fixed(vd, 3) << ',';
    const float groundSpeed = std::sqrt(vn * vn + ve * ve + vd * vd);
    out << Fixed(groundSpeed, 3) << ',';
    out << F32(ins, 50) << ',' << F32(ins, 54) << ',' << F32(ins, 58) << ',';
    out << RtkStateName(rtk[14]) << ',' << U32(rtk, 0) << ',' << unsigned(rtk[15]) << ',' << U16(rtk, 57) << ',';
    out << I16(rtk, 53) / 100 << ',' << I16(rtk, 49) / 100 << ',';
    out << SevenDecimalDegrees(I32(rtk, 17)) << ',' << SevenDecimalDegrees(I32(rtk, 21)) << ',';
    out << I32(rtk, 25) / 1000.0 << ',' << Fixed(F32(rtk, 41), 3) << ',' << F32(rtk, 45) << ',';
    out << unsigned(heading[4]) << ',' << F32(heading, 9) << ',' << F32(heading, 5) << ',' << '\n';
}

int DecodeTables::ArrayImuPerSlave(int decodeType)
{
    return decodeType == 2 ? 4 : (decodeType == 3 ? 8 : 32);
}

void DecodeTables::ArrayHeader(TableTextBuffer& out, int decodeType)
{
    const int n = ArrayImuPerSlave(decodeType);
    out << '%';
    for (int s = 0; s < 32; ++s) {
        for (int m = 0; m < n; ++m) {
            for (int a = 0; a < 7; ++a) {
                out << "imu" << s << '-' << m << '-' << a << ',';
            }
        }
        for (const char* name : {"calib_flag", "imu_fCode", "config_fCode", "calibParam_fCode", "_6pos_count",
                                 "imu_range", "imu_type", "gyro_fuse_num", "accel_fuse_num", "time_ms",
                                 "hardware_ver", "software_ver", "baud", "lp_type", "sn"}) {
            out << name << ',';
        }
        for (int k = 0; k < 7; ++k) {
            out << "imu_fused" << s << '-' << k << ',';
        }
        if (decodeType == 2) {
            out << "calib_status,time_stable_us,time_consume_us,";
        } else if (decodeType == 3) {
            out << "rev,";
        } else {
            out << "calib_status,";
        }
    }
    for (int j = 0; j < 32; ++j) {
        out << "error_count,";
    }
    out << "time_us,index,\n";
}

void DecodeTables::ArrayRow(TableTextBuffer& out, const uint8_t* p, int decodeType)
{
    const int n = ArrayImuPerSlave(decodeType);
    const int recordSize = 144 + 28 * n;
    const int tail = 32 + 28 * n;
    for (int i = 0; i < 32; ++i) {
        const uint8_t* r = p + 8 + recordSize * i;
        for (int v = 0; v < 7 * n; ++v) {
            out << F32(r, 32 + 4 * v) << ',';
        }
        const uint8_t* t = r + tail;
        out << U32(t, 4) << ',' << unsigned(t[16]) << ',' << unsigned(t[17]) << ',' << unsigned(t[18]) << ',';
        out << U32(t, 12) << ',' << unsigned(t[24]) << ',' << unsigned(t[25]) << ',' << unsigned(t[26]) << ','
            << unsigned(t[27]) << ',';
        out << U32(r, 0) << ',' << U32(t, 68) << ',' << U32(t, 64) << ',';
        out << unsigned(t[19]) << ',' << unsigned(t[20]) << ',';
        out << unsigned(t[72]) << unsigned(t[73]) << unsigned(t[74]) << ',';
        for (int k = 0; k < 7; ++k) {
            out << F32(r, 4 + 4 * k) << ',';
        }
        if (decodeType == 2) {
            out << U32(t, 0) << ',' << U16(t, 28) << ',' << U16(t, 30) << ',';
        } else {
            out << U32(t, 0) << ',';
        }
    }
    for (int j = 0; j < 32; ++j) {
        out << U16(p, 8 + 32 * recordSize + 2 * j) << ',';
    }
    out << U32(p, 0) << ',' << U32(p, 4) << ',' << '\n';
}

void DecodeTables::FootHeader(TableTextBuffer& out)
{
    static const char* const names[] = {"%time_us", "pitch", "roll", "yaw", "accx", "accy", "accz", "gyrox",
                                        "gyroy", "gyroz", "temperature", "altitude", "pressure", "magData_1",
                                        "magData_2", "magData_3"};
    JoinNames(out, names, 16, false);
}

void DecodeTables::FootRow(TableTextBuffer& out, const uint8_t* p)
{
    out << U32(p, 0);
    for (int i = 0; i < 15; ++i) {
        out << ',' << F32(p, 4 + 4 * i);
    }
    out << '\n';
}

void DecodeTables::SensorHeader(TableTextBuffer& out)
{
    static const char* const names[] = {"Gx", "Gy", "Gz", "Ax", "Ay", "Az", "Temperature", "Built-in Test",
                                        "Counter"};
    JoinNames(out, names, 9, false);
}

void DecodeTables::SensorRow(TableTextBuffer& out, const uint8_t* p)
{
    for (int i = 0; i < 6; ++i) {
        out << F32(p, 4 * i) << ',';
    }
    out << I16(p, 24) * 0.006 << ',' << unsigned(p[26]) << ',' << unsigned(p[27]) << ',' << U16(p, 28) << '\n';
}

void DecodeTables::SyncAttitudeHeader(TableTextBuffer& out)
{
    static const char* const names[] = {"time_us", "time_sync_flag", "pitch", "roll", "yaw", "accx", "accy",
                                        "accz", "gyrox", "gyroy", "gyroz", "temperature"};
    JoinNames(out, names, 12, false);
}

void DecodeTables::SyncAttitudeRow(TableTextBuffer& out, const uint8_t* p)
{
    out << static_cast<qulonglong>(U64(p, 0)) << ',' << unsigned(p[8]);
    for (int i = 0; i < 10; ++i) {
        out << ',' << F32(p, 9 + 4 * i);
    }
    out << '\n';
}

void DecodeTables::CanHeader(TableTextBuffer& out)
{
    out << "index,ax,ay,az,gx,gy,gz,roll,pitch,yaw,temp\n";
}
