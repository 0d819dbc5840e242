#ifndef COMMANDFRAMETEXT_H
#define COMMANDFRAMETEXT_H

#include <QByteArray>
#include <QString>

#include <cstdint>

// The fields of one 34-byte long command, as a person fills them in.
struct CommandFields
{
    uint16_t cmd = 0;
    float f1 = 0.0f;
    float f2 = 0.0f;
    uint32_t u1 = 0;
    uint32_t u2 = 0;
    int32_t i1 = 0;
    int32_t i2 = 0;
};

// Text form of a long command: its 34 bytes as two upper-case hex digits
// each, joined by "," (no blanks, no trailing separator). Building and
// parsing both live here so every tool that shows or reads the form agrees.
class CommandFrameText
{
public:
    static constexpr int kFrameSize = 34;

    // The whole frame: header, command, length 24, the six fields, CRC-32.
    static QByteArray BuildFrame(const CommandFields& fields);
    // "55,AA,..." for any bytes.
    static QString ToText(const QByteArray& bytes);
    static QString BuildText(const CommandFields& fields);

    // Splits at ",", reads each part as an unsigned hex number and keeps its
    // low 8 bits; parts that are not hex numbers are skipped.
    static QByteArray ParseBytes(const QString& text);
    // Fields of a frame, header, length and CRC unchecked. Bytes missing at
    // the end of a short frame read as zero.
    static CommandFields FieldsFromBytes(const QByteArray& bytes);

    // Field texts as typed. Text that is not a number gives 0; the command
    // id keeps its low 16 bits; fields 3 and 4 take 0..4294967295, fields 5
    // and 6 take signed 32-bit values.
    static uint16_t ReadCommandId(const QString& text);
    static float ReadFloat(const QString& text);
    static uint32_t ReadUnsigned(const QString& text);
    static int32_t ReadSigned(const QString& text);

    // Texts shown after a parse: floats fixed-point with 5 decimals.
    static QString FloatText(float value);
};

#endif // COMMANDFRAMETEXT_H
