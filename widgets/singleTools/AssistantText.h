#ifndef ASSISTANTTEXT_H
#define ASSISTANTTEXT_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// Text rules of the serial terminal: what a typed command becomes on the
// wire, how received bytes read on screen, and the CRC check of a typed frame.
class AssistantText
{
public:
    // "\r" and "\n" typed as two characters become CR and LF, then the text
    // is made to end in exactly one CR LF.
    static QString ExpandEscapes(const QString& text);
    // Ends the text with CR LF: kept when it is there, a trailing LF is
    // widened, anything else (a lone CR too) gets CR LF appended.
    static QString CheckAndReplace(const QString& text);

    // Hexadecimal send text to bytes. White space and commas are dropped,
    // the rest is read two characters at a time (a last odd one alone). False, with nothing in out, when a piece is not hexadecimal.
    static bool HexTextToBytes(const QString& text, QByteArray* out, QString* cleaned = nullptr);

    // Upper-case pairs separated by one space: "0A FF".
    static QString HexPairs(const QByteArray& bytes);
    // UTF-8 text of the bytes before the first zero byte.
    static QString Utf8UpToZero(const QByteArray& bytes);

    // Loop period field: 1..65535 ms, anything else 0 (meaning one second).
    static uint16_t ParsePeriod(const QString& text);

    // True when the last four bytes, little-endian, are the CRC-32 (start
    // value 1) of all bytes before them. Fewer than six bytes never pass.
    static bool CheckFrameIsAva(const QList<unsigned char>& list);

    // The pieces of a typed frame: separated by commas and any white space.
    static QStringList FrameParts(const QString& text);

    enum class FrameCheck { Empty, BadCharacter, TooShort, TooFewParts, Passed, Failed };
    // The whole "校验指令" rule on a typed frame.
    static FrameCheck CheckFrameText(const QString& text);
};

#endif // ASSISTANTTEXT_H
