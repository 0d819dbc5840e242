#include "widgets/singleTools/CommandFrameText.h"

#include <QStringList>

#include <cstring>

#include "workerThread/DeviceFrames.h"

QByteArray CommandFrameText::BuildFrame(const CommandFields& f)
{
    return BuildLongCommandFrame(f.cmd, f.f1, f.f2, f.u1, f.u2, f.i1, f.i2);
}

QString CommandFrameText::ToText(const QByteArray& bytes)
{
    QStringList parts;
    parts.reserve(bytes.size());
    for (const char c : bytes) {
        parts.append(QString("%1").arg(static_cast<uint8_t>(c), 2, 16, QChar('0')).toUpper());
    }
    return parts.join(',');
}

QString CommandFrameText::BuildText(const CommandFields& fields)
{
    return ToText(BuildFrame(fields));
}

QByteArray CommandFrameText::ParseBytes(const QString& text)
{
    QByteArray bytes;
    const QStringList parts = text.split(',', Qt::KeepEmptyParts);
    for (const QString& part : parts) {
        bool ok = false;
        const qulonglong value = part.toULongLong(&ok, 16);
        if (!ok) {
            continue;
        }
        bytes.append(static_cast<char>(value & 0xFF));
    }
    return bytes;
}

CommandFields CommandFrameText::FieldsFromBytes(const QByteArray& bytes)
{
    // A short text still fills what it holds; the rest stays zero rather
    // than being read from beyond the data.
    uint8_t frame[kFrameSize] = {};
    std::memcpy(frame, bytes.constData(), static_cast<size_t>(qMin(bytes.size(), kFrameSize)));

    auto u16At = [&frame](int at) {
        return static_cast<uint16_t>(frame[at] | (frame[at + 1] << 8));
    };
    auto u32At = [&frame](int at) {
        return static_cast<uint32_t>(frame[at]) | (static_cast<uint32_t>(frame[at + 1]) << 8)
               | (static_cast<uint32_t>(frame[at + 2]) << 16)
               | (static_cast<uint32_t>(frame[at + 3]) << 24);
    };
    auto f32At = [&u32At](int at) {
        const uint32_t bits = u32At(at);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    };

    CommandFields fields;
    fields.cmd = u16At(2);
    fields.f1 = f32At(6);
    fields.f2 = f32At(10);
    fields.u1 = u32At(14);
    fields.u2 = u32At(18);
    fields.i1 = static_cast<int32_t>(u32At(22));
    fields.i2 = static_cast<int32_t>(u32At(26));
    return fields;
}

uint16_t CommandFrameText::ReadCommandId(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    return ok ? static_cast<uint16_t>(value & 0xFFFF) : 0;
}

float CommandFrameText::ReadFloat(const QString& text)
{
    bool ok = false;
    const float value = text.toFloat(&ok);
    return ok ? value : 0.0f;
}

uint32_t CommandFrameText::ReadUnsigned(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    return ok ? static_cast<uint32_t>(value) : 0;
}

int32_t CommandFrameText::ReadSigned(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? static_cast<int32_t>(value) : 0;
}

QString CommandFrameText::FloatText(float value)
{
    return QString::number(static_cast<double>(value), 'f', 5);
}
