#ifndef DECODETABLES_H
#define DECODETABLES_H

#include <QString>

#include <cstdint>

class TableTextBuffer;

// Header lines and rows of the decoded text tables. Each writer takes the
// payload of one good frame (little-endian, read at fixed offsets) and
// appends its fields to the table text in the default number format of a
// text stream: six significant digits, as C's %g (TableTextBuffer).
class DecodeTables
{
public:
    static void AhrsHeader(TableTextBuffer& out);
    static void AhrsRow(TableTextBuffer& out, const uint8_t* p, bool withMag);
    static void GnssUwbHeader(TableTextBuffer& out);
    static void GnssUwbRow(TableTextBuffer& out, const uint8_t* p);
    static void Imu33Header(TableTextBuffer& out);
    static void Imu33Row(TableTextBuffer& out, const uint8_t* p);

    static void InsRtkHeader(TableTextBuffer& out);
    static void InsRtkRow(TableTextBuffer& out, const uint8_t* ins, const uint8_t* rtk, const uint8_t* heading);
    static QString RtkStateName(uint8_t code);
    // v / 10^7 exactly, with seven decimals.
    static QString SevenDecimalDegrees(int32_t v);

    // imuPerSlave 4, 8 or 32 (decode types 2, 3, 4).
    static void ArrayHeader(TableTextBuffer& out, int decodeType);
    static void ArrayRow(TableTextBuffer& out, const uint8_t* p, int decodeType);
    static int ArrayImuPerSlave(int decodeType);

    static void FootHeader(TableTextBuffer& out);
    static void FootRow(TableTextBuffer& out, const uint8_t* p);
    static void SensorHeader(TableTextBuffer& out);
    static void SensorRow(TableTextBuffer& out, const uint8_t* p);
    static void SyncAttitudeHeader(TableTextBuffer& out);
    static void SyncAttitudeRow(TableTextBuffer& out, const uint8_t* p);

    static void CanHeader(TableTextBuffer& out);

    static uint32_t U32(const uint8_t* p, int offset);
    static int32_t I32(const uint8_t* p, int offset);
    static uint16_t U16(const uint8_t* p, int offset);
    static int16_t I16(const uint8_t* p, int offset);
    static float F32(const uint8_t* p, int offset);
    static uint64_t U64(const uint8_t* p, int offset);
};

#endif // DECODETABLES_H
