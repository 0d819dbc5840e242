#include "widgets/singleTools/ReceiveViewBuffer.h"

#include <QVector>

#include <algorithm>

namespace {

// Where a text block ends for the view's document: the line breaks, and the
// characters its text cursor also turns into new blocks.
bool EndsLine(QChar c)
{
    const ushort u = c.unicode();
    return u == '\n' || u == '\r' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1;
}

// Length of the tail of bytes that starts a UTF-8 character whose other
// bytes have not arrived yet; 0 when the bytes end on a whole character.
int IncompleteUtf8Tail(const QByteArray& bytes)
{
    const int n = bytes.size();
    for (int back = 1; back <= 3 && back <= n; ++back) {
        const uchar c = static_cast<uchar>(bytes.at(n - back));
        if ((c & 0xC0) == 0x80) {
            continue; // a continuation byte: look further back for the lead
        }
        int length = 1;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
        }
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

void ReceiveViewBuffer::Append(const QByteArray& bytes)
{
    m_bytes.append(bytes);
    // Trimmed in large steps, so that a fast stream does not move the held
    // bytes for every message.
    if (m_bytes.size() > 2 * kMaxHeldBytes) {
        m_bytes.remove(0, m_bytes.size() - kMaxHeldBytes);
    }
}

bool ReceiveViewBuffer::Take(bool hex, int maxLines, QString* text)
{
    maxLines = std::max(1, maxLines);
    if (hex) {
        const int keep = std::min(m_bytes.size(), maxLines * kHexRowBytes);
        *text = HexRows(m_bytes.right(keep));
        m_bytes.clear();
        return true;
    }
    const int zero = m_bytes.indexOf('\0');
    QByteArray shown;
    if (zero >= 0) {
        // What follows the first zero byte is not text; it goes.
        shown = m_bytes.left(zero);
        m_bytes.clear();
    } else {
        const int tail = IncompleteUtf8Tail(m_bytes);
        if (tail == m_bytes.size()) {
            return false;
        }
        shown = m_bytes.left(m_bytes.size() - tail);
        m_bytes = m_bytes.right(tail);
    }
    *text = BoundedLines(QString::fromUtf8(shown), maxLines);
    return true;
}

QString ReceiveViewBuffer::HexRows(const QByteArray& bytes)
{
    QByteArray hex = bytes.toHex(' ').toUpper();
    // Each pair takes three characters with its blank; the blank after the
    // last pair of a row becomes the row's line break.
    const int rowChars = kHexRowBytes * 3;
    for (int at = rowChars - 1; at < hex.size(); at += rowChars) {
        hex[at] = '\n';
    }
    return QString::fromLatin1(hex);
}

QString ReceiveViewBuffer::BoundedLines(const QString& text, int maxLines)
{
    maxLines = std::max(1, maxLines);
    // Lines as (start, length), long ones cut; then only the newest kept.
    QVector<QPair<int, int>> lines;
    const int n = text.size();
    int start = 0;
    for (int i = 0; i <= n; ++i) {
        const bool end = i == n || EndsLine(text.at(i));
        if (!end && i - start < kMaxLineChars) {
            continue;
        }
        if (!end) {
            // Cut a long line, never between the halves of a surrogate pair.
            int cut = i;
            if (text.at(cut - 1).isHighSurrogate()) {
                --cut;
            }
            lines.append({start, cut - start});
            start = cut;
            continue;
        }
        lines.append({start, i - start});
        if (i < n && text.at(i) == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) {
            ++i;
        }
        start = i + 1;
    }
    const int first = std::max(0, lines.size() - maxLines);
    QString out;
    out.reserve(n + 1);
    for (int k = first; k < lines.size(); ++k) {
        if (k > first) {
            out.append(QLatin1Char('\n'));
        }
        out.append(text.midRef(lines.at(k).first, lines.at(k).second));
    }
    return out;
}
