#include "widgets/general/FirmwareKeys.h"

#ifndef CORVANTA_FIRMWARE_KEY_HEX
#define CORVANTA_FIRMWARE_KEY_HEX ""
#endif
#ifndef CORVANTA_UNLOCK_VALUES
#define CORVANTA_UNLOCK_VALUES ""
#endif

namespace {

using Key = std::array<unsigned char, FirmwareKeys::kKeySize>;
using Unlock = std::array<uint16_t, FirmwareKeys::kUnlockCount>;

// Placeholders: not the values of any device in the field.
constexpr Key kPlaceholderKey = {
    0x43, 0x6f, 0x72, 0x76, 0x61, 0x6e, 0x74, 0x61, 0x2d, 0x66, 0x69, 0x72, 0x6d, 0x77, 0x61, 0x72,
    0x65, 0x2d, 0x6b, 0x65, 0x79, 0x2d, 0x70, 0x6c, 0x61, 0x63, 0x65, 0x68, 0x6f, 0x6c, 0x64, 0x72,
};
constexpr Unlock kPlaceholderUnlock = {0x1111, 0x2222, 0x3333, 0x4444, 0x5555, 0x6666};

constexpr int HexDigit(char c)
{
    return (c >= '0' && c <= '9') ? c - '0'
         : (c >= 'a' && c <= 'f') ? c - 'a' + 10
         : (c >= 'A' && c <= 'F') ? c - 'A' + 10
         : -1;
}

constexpr int Length(const char* s)
{
    int n = 0;
    while (s[n] != '\0')
        ++n;
    return n;
}

constexpr bool KeyTextValid(const char* s)
{
    if (Length(s) != 2 * FirmwareKeys::kKeySize)
        return false;
    for (int i = 0; i < 2 * FirmwareKeys::kKeySize; ++i)
        if (HexDigit(s[i]) < 0)
            return false;
    return true;
}

constexpr Key ParseKey(const char* s)
{
    Key key{};
    for (int i = 0; i < FirmwareKeys::kKeySize; ++i)
        key[i] = static_cast<unsigned char>(HexDigit(s[2 * i]) * 16 + HexDigit(s[2 * i + 1]));
    return key;
}

// Six values separated by commas, each decimal or "0x" hexadecimal, each
// at most 0xFFFF; blanks around the values are allowed.
struct UnlockParse
{
    bool ok = false;
    Unlock values{};
};

constexpr UnlockParse ParseUnlock(const char* s)
{
    UnlockParse result{};
    int pos = 0;
    for (int k = 0; k < FirmwareKeys::kUnlockCount; ++k) {
        while (s[pos] == ' ')
            ++pos;
        int base = 10;
        if (s[pos] == '0' && (s[pos + 1] == 'x' || s[pos + 1] == 'X')) {
            base = 16;
            pos += 2;
        }
        long value = 0;
        int digits = 0;
        while (true) {
            const int d = HexDigit(s[pos]);
            if (d < 0 || d >= base)
                break;
            value = value * base + d;
            if (value > 0xFFFF)
                return result;
            ++digits;
            ++pos;
        }
        if (digits == 0)
            return result;
        while (s[pos] == ' ')
            ++pos;
        result.values[k] = static_cast<uint16_t>(value);
        if (k + 1 < FirmwareKeys::kUnlockCount) {
            if (s[pos] != ',')
                return result;
            ++pos;
        }
    }
    result.ok = (s[pos] == '\0');
    return result;
}

constexpr const char* kKeyText = CORVANTA_FIRMWARE_KEY_HEX;
constexpr const char* kUnlockText = CORVANTA_UNLOCK_VALUES;
constexpr bool kKeyGiven = Length(kKeyText) > 0;
constexpr bool kUnlockGiven = Length(kUnlockText) > 0;

static_assert(!kKeyGiven || KeyTextValid(kKeyText),
              "CORVANTA_FIRMWARE_KEY_HEX must be exactly 64 hexadecimal digits");
static_assert(!kUnlockGiven || ParseUnlock(kUnlockText).ok,
              "CORVANTA_UNLOCK_VALUES must be six comma-separated 16-bit values");

constexpr Key kKey = kKeyGiven ? ParseKey(kKeyText) : kPlaceholderKey;
constexpr Unlock kUnlock = kUnlockGiven ? ParseUnlock(kUnlockText).values : kPlaceholderUnlock;

} // namespace

const std::array<unsigned char, FirmwareKeys::kKeySize>& FirmwareKeys::Key()
{
    return kKey;
}

const std::array<uint16_t, FirmwareKeys::kUnlockCount>& FirmwareKeys::RebootUnlockValues()
{
    return kUnlock;
}

bool FirmwareKeys::KeyIsPlaceholder()
{
    return !kKeyGiven;
}

bool FirmwareKeys::UnlockValuesArePlaceholders()
{
    return !kUnlockGiven;
}
