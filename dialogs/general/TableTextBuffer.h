#ifndef TABLETEXTBUFFER_H
#define TABLETEXTBUFFER_H

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>

// Text of a decoded table, built in memory and handed to the file in large
// blocks. Numbers are written as a default text stream writes them:
// integers in decimal; floating-point values with six significant digits in
// the shorter of plain and exponent notation, trailing zeros dropped, the
// exponent with a sign and at least two digits, halves rounded away from
// zero, "inf", "-inf" and "nan", and zero of either sign as "0".
class TableTextBuffer
{
public:
    // Longest text of one number.
    static constexpr int kNumberMax = 32;

    TableTextBuffer();
    ~TableTextBuffer();
    TableTextBuffer(const TableTextBuffer&) = delete;
    TableTextBuffer& operator=(const TableTextBuffer&) = delete;

    TableTextBuffer& operator<<(char c)
    {
        Reserve(1);
        *m_end++ = c;
        return *this;
    }
    TableTextBuffer& operator<<(const char* text);
    TableTextBuffer& operator<<(const QString& text); // as UTF-8
    TableTextBuffer& operator<<(int v);
    TableTextBuffer& operator<<(unsigned v);
    TableTextBuffer& operator<<(unsigned long long v);
    TableTextBuffer& operator<<(float v) { return *this << static_cast<double>(v); }
    TableTextBuffer& operator<<(double v)
    {
        Reserve(kNumberMax);
        m_end = FormatDouble(v, m_end);
        return *this;
    }

    const char* Data() const { return m_begin; }
    qint64 Size() const { return m_end - m_begin; }
    void Clear() { m_end = m_begin; }
    QByteArray ToByteArray() const { return QByteArray(m_begin, static_cast<int>(Size())); }

    // Writes v at out as described above and returns the end of the text
    // (at most kNumberMax characters, no terminating zero).
    static char* FormatDouble(double v, char* out);

    // Room for at least more further bytes.
    void Reserve(qint64 more)
    {
        if (m_capEnd - m_end < more) {
            Grow(more);
        }
    }

private:
    void Grow(qint64 more);

    char* m_begin = nullptr;
    char* m_end = nullptr;
    char* m_capEnd = nullptr;
};

#endif // TABLETEXTBUFFER_H
