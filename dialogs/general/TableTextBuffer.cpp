#include "dialogs/general/TableTextBuffer.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

namespace {

// 10^-24 to 10^35; kPow10[k + 24] is 10^k.
constexpr double kPow10[] = {
    1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10,
    1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,
    1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,
    1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30,  1e31,  1e32,  1e33,  1e34,  1e35};

double Pow10(int k)
{
    return kPow10[k + 24];
}

constexpr uint64_t kPow5[] = {1,       5,        25,        125,        625,        3125,      15625,
                              78125,   390625,   1953125,   9765625,    48828125,   244140625, 1220703125,
                              6103515625ULL, 30517578125ULL, 152587890625ULL, 762939453125ULL,
                              3814697265625ULL, 19073486328125ULL, 95367431640625ULL, 476837158203125ULL,
                              2384185791015625ULL};

// True when |v| lies exactly halfway between two numbers of six significant
// digits, that is |v| = t * 10^j with t a seven-digit integer ending in 5.
bool IsSixDigitHalf(double v)
{
    int e2 = 0;
    const double mant = std::frexp(std::fabs(v), &e2);
    uint64_t m = static_cast<uint64_t>(std::ldexp(mant, 53));
    int e = e2 - 53;
    if (m == 0) {
        return false;
    }
    while ((m & 1) == 0) {
        m >>= 1;
        ++e;
    }
    // |v| = m * 2^e with m odd; then t = m / 5^e (e >= 0) or m * 5^-e (e < 0).
    uint64_t t = 0;
    if (e >= 0) {
        if (e > 22 || m % kPow5[e] != 0) {
            return false;
        }
        t = m / kPow5[e];
    } else {
        if (-e > 10 || m >= 10000000) {
            return false;
        }
        t = m * kPow5[-e];
    }
    return t >= 1000000 && t < 10000000 && t % 10 == 5;
}

// Exact, but slow: for halves and for magnitudes outside the table.
char* FormatSlow(double v, char* out)
{
    if (IsSixDigitHalf(v)) {
        // Halves go away from zero; the exact conversion below rounds them
        // to even, so move one unit past the half first.
        v = std::nextafter(v, v > 0 ? std::numeric_limits<double>::infinity()
                                    : -std::numeric_limits<double>::infinity());
    }
    return std::to_chars(out, out + TableTextBuffer::kNumberMax, v, std::chars_format::general, 6).ptr;
}

constexpr char kTwoDigits[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                               "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                               "8081828384858687888990919293949596979899";

} // namespace

TableTextBuffer::TableTextBuffer() = default;

TableTextBuffer::~TableTextBuffer()
{
    std::free(m_begin);
}

void TableTextBuffer::Grow(qint64 more)
{
    const qint64 size = Size();
    qint64 capacity = (m_capEnd - m_begin) * 2;
    if (capacity < size + more + 4096) {
        capacity = size + more + 4096;
    }
    char* grown = static_cast<char*>(std::realloc(m_begin, static_cast<size_t>(capacity)));
    if (!grown) {
        throw std::bad_alloc();
    }
    m_begin = grown;
    m_end = grown + size;
    m_capEnd = grown + capacity;
}

TableTextBuffer& TableTextBuffer::operator<<(const char* text)
{
    const qint64 length = static_cast<qint64>(std::strlen(text));
    Reserve(length);
    std::memcpy(m_end, text, static_cast<size_t>(length));
    m_end += length;
    return *this;
}

TableTextBuffer& TableTextBuffer::operator<<(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    Reserve(utf8.size());
    std::memcpy(m_end, utf8.constData(), static_cast<size_t>(utf8.size()));
    m_end += utf8.size();
    return *this;
}

TableTextBuffer& TableTextBuffer::operator<<(int v)
{
    Reserve(kNumberMax);
    m_end = std::to_chars(m_end, m_end + kNumberMax, v).ptr;
    return *this;
}

TableTextBuffer& TableTextBuffer::operator<<(unsigned v)
{
    Reserve(kNumberMax);
    m_end = std::to_chars(m_end, m_end + kNumberMax, v).ptr;
    return *this;
}

TableTextBuffer& TableTextBuffer::operator<<(unsigned long long v)
{
    Reserve(kNumberMax);
    m_end = std::to_chars(m_end, m_end + kNumberMax, v).ptr;
    return *this;
}

char* TableTextBuffer::FormatDouble(double v, char* out)
{
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased == 0x7FF) {
        if ((bits << 12) != 0) {
            std::memcpy(out, "nan", 3);
            return out + 3;
        }
        *out = '-';
        out += bits >> 63;
        std::memcpy(out, "inf", 3);
        return out + 3;
    }
    if ((bits << 1) == 0) {
        *out = '0';
        return out + 1;
    }
    // 2^-90 to 2^90: the decimal exponent stays inside the table below.
    if (biased < 1023 - 90 || biased > 1023 + 90) {
        return FormatSlow(v, out);
    }
    bits &= ~(uint64_t(1) << 63);
    double a;
    std::memcpy(&a, &bits, sizeof a);

    // Decimal exponent x with 10^x <= a < 10^(x+1): first estimated from
    // the binary exponent (1233 / 4096 is just below log10(2)), then set
    // right on the scaled value y = a * 10^(5-x), which has to lie in
    // [10^5, 10^6) up to a relative error of a few 2^-53.
    int x = ((biased - 1023) * 1233) >> 12;
    double y = a * Pow10(5 - x);
    while (y >= 1e6) {
        ++x;
        y = a * Pow10(5 - x);
    }
    while (y < 1e5) {
        --x;
        y = a * Pow10(5 - x);
    }
    uint32_t digits = static_cast<uint32_t>(y);
    const double fraction = y - digits;
    if (fraction > 0.5 - 1e-6 && fraction < 0.5 + 1e-6) {
        // Too close to a half for the scaled value to decide.
        return FormatSlow(v, out);
    }
    if (fraction > 0.5) {
        ++digits;
        if (digits == 1000000) {
            digits = 100000;
            ++x;
        }
    }

    // Six digits, then as many of them as are not trailing zeros. The
    // copies below move fixed eight-byte pieces and then advance by the
    // true length: a number may scribble past its end, never past
    // kNumberMax.
    char d[16] = {};
    const uint32_t rest = digits % 10000;
    std::memcpy(d, kTwoDigits + 2 * (digits / 10000), 2);
    std::memcpy(d + 2, kTwoDigits + 2 * (rest / 100), 2);
    std::memcpy(d + 4, kTwoDigits + 2 * (rest % 100), 2);
    int count = 6;
    while (d[count - 1] == '0') {
        --count;
    }

    *out = '-';
    out += v < 0;
    if (x < -4 || x >= 6) {
        *out++ = d[0];
        if (count > 1) {
            *out = '.';
            std::memcpy(out + 1, d + 1, 8);
            out += count;
        }
        *out++ = 'e';
        *out++ = x < 0 ? '-' : '+';
        const int e = x < 0 ? -x : x;
        std::memcpy(out, kTwoDigits + 2 * e, 2);
        return out + 2;
    }
    if (x >= 0) {
        std::memcpy(out, d, 8);
        out += x + 1;
        if (count > x + 1) {
            *out = '.';
            std::memcpy(out + 1, d + x + 1, 8);
            out += count - x;
        }
        return out;
    }
    std::memcpy(out, "0.000000", 8);
    out += 1 - x;
    std::memcpy(out, d, 8);
    return out + count;
}
