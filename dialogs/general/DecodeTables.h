#ifndef DECODETABLES_H
#define DECODETABLES_H

#include <QString>

#include <cstdint>

class QTextStream;

// Header lines and rows of the decoded text tables. Each writer takes the
// payload of one good frame (little-endian, read at fixed offsets) and
// streams its fields straight to the output with the stream's default
// number format: six significant digits, as C's %g.
class DecodeTables
{
public:
    static void AhrsHeader(QTextStream& out);
    static void AhrsRow(QTextStream& out, const uint8_t* p, bool withMag);
    static void GnssUwbHeader(QTextStream& out);
    static void GnssUwbRow(QTextStream& out, const uint8_t* p);
    static void Imu33Header(QTextStream& out);
    static void Imu33Row(QTextStream& out, const uint8_t* p);

    static void InsRtkHeader(QTextStream& out);
    static void InsRtkRow(QTextStream& out, const uint8_t* ins, const uint8_t* rtk, const uint8_t* heading);
    static QString RtkStateName(uint8_t code);
    // v / 10^7 exactly, with seven decimals.
    static QString SevenDecimalDegrees(int32_t v);

    // imuPerSlave 4, 8 or 32 (decode types 2, 3, 4).
    static void ArrayHeader(QTextStream& out, int decodeType);
    static void ArrayRow(QTextStream& out, const uint8_t* p, int decodeType);
    static int ArrayImuPerSlave(int decodeType);

    static void FootHeader(QTextStream& out);
    static void FootRow(QTextStream& out, const uint8_t* p);
    static void SensorHeader(QTextStream& out);
    static void SensorRow(QTextStream& out, const uint8_t* p);
    static void SyncAttitudeHeader(QTextStream& out);
    static void SyncAttitudeRow(QTextStream& out, const uint8_t* p);

    static void CanHeader(QTextStream& out);

    static uint32_t U32(const uint8_t* p, int offset);
    static int32_t I32(const uint8_t* p, int offset);
    static uint16_t U16(const uint8_t* p, int offset);
    static int16_t I16(const uint8_t* p, int offset);
    static float F32(const uint8_t* p, int offset);
    static uint64_t U64(const uint8_t* p, int offset);
};

#endif // DECODETABLES_H
