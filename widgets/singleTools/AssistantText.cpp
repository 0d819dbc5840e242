#include "widgets/singleTools/AssistantText.h"

#include <QRegularExpression>
#include <QStringList>

#include "commom/CommonFunction.h"
#include "commom/Logger.h"

QString AssistantText::ExpandEscapes(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\\r"), QStringLiteral("\r"));
    out.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    return CheckAndReplace(out);
}

QString AssistantText::CheckAndReplace(const QString& text)
{
    if (text.endsWith(QStringLiteral("\r\n"))) {
        return text;
    }
    if (text.endsWith(QLatin1Char('\n'))) {
        return text.left(text.size() - 1) + QStringLiteral("\r\n");
    }
    return text + QStringLiteral("\r\n");
}

bool AssistantText::HexTextToBytes(const QString& text, QByteArray* out, QString* cleaned)
{
    // Any white space (a tab too) and commas only separate the pairs; left
    // in, a tab would be read as part of a piece.
    QString hex;
    hex.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace() && c != QLatin1Char(',')) {
            hex.append(c);
        }
    }
    if (cleaned != nullptr) {
        *cleaned = hex;
    }
    QByteArray bytes;
    bytes.reserve(hex.size() / 2 + 1);
    for (int i = 0; i < hex.size(); i += 2) {
        bool ok = false;
        const int value = hex.mid(i, 2).toInt(&ok, 16);
        if (!ok) {
            if (out != nullptr) {
                out->clear();
            }
            return false;
        }
        bytes.append(static_cast<char>(value & 0xFF));
    }
    if (out != nullptr) {
        *out = bytes;
    }
    return true;
}

QString AssistantText::HexPairs(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString AssistantText::Utf8UpToZero(const QByteArray& bytes)
{
    const int zero = bytes.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? bytes : bytes.left(zero));
}

uint16_t AssistantText::ParsePeriod(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value < 1 || value > 65535) {
        return 0;
    }
    return static_cast<uint16_t>(value);
}

bool AssistantText::CheckFrameIsAva(const QList<unsigned char>& list)
{
    if (list.size() <= 5) {
        LOG_DEBUG() << "FAILED list.size() <= 5";
        return false;
    }
    const int n = list.size();
    unsigned int crc = 1;
    for (int i = 0; i < n - 4; ++i) {
        const unsigned char byte = list.at(i);
        crc = crc_crc32(crc, &byte, 1);
    }
    const unsigned int stored = static_cast<unsigned int>(list.at(n - 4))
        | (static_cast<unsigned int>(list.at(n - 3)) << 8)
        | (static_cast<unsigned int>(list.at(n - 2)) << 16)
        | (static_cast<unsigned int>(list.at(n - 1)) << 24);
    if (crc == stored) {
        LOG_DEBUG() << "SUCCESS\t" << crc << "\t" << stored;
        return true;
    }
    LOG_DEBUG() << "FAILED\t" << crc << "\t" << stored;
    return false;
}

QStringList AssistantText::FrameParts(const QString& text)
{
    // A frame copied from a log may be split over lines or by tabs.
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

AssistantText::FrameCheck AssistantText::CheckFrameText(const QString& text)
{
    if (text.isEmpty()) {
        return FrameCheck::Empty;
    }
    static const QRegularExpression foreign(QStringLiteral("[^0-9A-Fa-f,\\s]"));
    if (foreign.match(text).hasMatch()) {
        return FrameCheck::BadCharacter;
    }
    QString digits = text.simplified();
    digits.remove(QLatin1Char(' '));
    digits.remove(QLatin1Char(','));
    if (digits.size() < 10) {
        return FrameCheck::TooShort;
    }
    const QStringList parts = FrameParts(text);
    if (parts.size() < 5) {
        return FrameCheck::TooFewParts;
    }
    QList<unsigned char> bytes;
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok, 16);
        if (ok) {
            bytes.append(static_cast<unsigned char>(value & 0xFF));
        }
    }
    return CheckFrameIsAva(bytes) ? FrameCheck::Passed : FrameCheck::Failed;
}
