#ifndef RECEIVEVIEWBUFFER_H
#define RECEIVEVIEWBUFFER_H

#include <QByteArray>
#include <QString>

// Bytes the serial terminal has received and not shown yet, and the lines
// they make on screen. The receive view keeps a fixed number of lines, each
// of bounded length, so only the bytes that can still be seen are held and
// turned into text: a fast stream, or a long pause, costs the same as a
// view full of lines.
class ReceiveViewBuffer
{
public:
    // Lines the receive view keeps.
    static constexpr int kViewLines = 2000;
    // Bytes in one hexadecimal row ("0A FF ..." with 32 pairs).
    static constexpr int kHexRowBytes = 32;
    // A longer text line is cut into lines of this many characters.
    static constexpr int kMaxLineChars = 256;
    // The most that can fill the view in either mode; older bytes go first.
    static constexpr int kMaxHeldBytes = kViewLines * kMaxLineChars;

    void Append(const QByteArray& bytes);
    bool IsEmpty() const { return m_bytes.isEmpty(); }
    int Size() const { return m_bytes.size(); }
    void Clear() { m_bytes.clear(); }

    // Takes the held bytes as the text of at most maxLines lines joined by
    // "\n", the newest lines when there are more. Hexadecimal: upper-case
    // pairs separated by one space, kHexRowBytes to a row. Text: the UTF-8
    // text before the first zero byte; a character whose bytes have not all
    // arrived yet stays held for the next call. False, with nothing taken,
    // when only such a part character is held.
    bool Take(bool hex, int maxLines, QString* text);

    // The line rules, for the echo of a send as well.
    static QString HexRows(const QByteArray& bytes);
    static QString BoundedLines(const QString& text, int maxLines);

private:
    QByteArray m_bytes;
};

#endif // RECEIVEVIEWBUFFER_H
