#include "widgets/general/StringDecoder.h"

namespace {
const char kSuffix[] = "_UPLOADER";
const uint32_t kSuffixLength = sizeof(kSuffix) - 1;
}

int StringDecoder::ProcessChar(unsigned char byte)
{
    if (byte == static_cast<unsigned char>(kSuffix[m_suffix_state])) {
        m_suffix_state = (m_suffix_state + 1) % kSuffixLength;
        return 1;
    }
    m_suffix_state = 0;
    return 0;
}

void StringDecoder::Restart(unsigned char byte)
{
    m_text.clear();
    switch (byte) {
    case 'G': m_state = STATE_G; break;
    case 'A': m_state = STATE_A; break;
    case 'H': m_state = STATE_H; break;
    default: m_state = STATE_IDLE; return;
    }
    m_text.append(QChar::fromLatin1(static_cast<char>(byte)));
}

void StringDecoder::MatchSuffix(unsigned char byte, const char* name, uint8_t* flag)
{
    if (ProcessChar(byte) == 1) {
        ++m_suffix_count;
        if (m_suffix_count < kSuffixLength)
            return;
        if (m_text.contains(QLatin1String(name))) {
            *flag = 1;
            m_state = STATE_IDLE;
        } else {
            *flag = 0;
        }
        m_suffix_count = 0;
        return;
    }
    *flag = 0;
    m_suffix_count = 0;
    Restart(byte);
}

void StringDecoder::DecodeStrC(unsigned char byte)
{
    m_text.append(QChar::fromLatin1(static_cast<char>(byte)));

    // Next state of each prefix state for the one byte that continues it.
    auto advance = [&](unsigned char expected, uint32_t next) {
        if (byte == expected)
            m_state = next;
        else
            Restart(byte);
    };

    switch (m_state) {
    case STATE_IDLE:
        if (byte == 'G')
            m_state = STATE_G;
        else if (byte == 'A')
            m_state = STATE_A;
        else if (byte == 'H')
            m_state = STATE_H;
        else
            m_text.clear();
        break;
    case STATE_G: advance('D', STATE_GD); break;
    case STATE_A: advance('T', STATE_AT); break;
    case STATE_H: advance('C', STATE_HC); break;
    case STATE_GD: advance('3', STATE_GD3); break;
    case STATE_AT:
        if (byte == '3')
            m_state = STATE_AT3;
        else if (byte == 'U')
            m_state = STATE_ATU;
        else
            Restart(byte);
        break;
    case STATE_HC: advance('3', STATE_HC3); break;
    case STATE_GD3: advance('2', STATE_GD32); break;
    case STATE_AT3: advance('2', STATE_AT32); break;
    case STATE_ATU: advance('U', STATE_ATUU); break;
    case STATE_HC3: advance('2', STATE_HC32); break;
    case STATE_GD32: MatchSuffix(byte, "GD32", &m_gd32_flag); break;
    case STATE_AT32: MatchSuffix(byte, "AT32", &m_at32_flag); break;
    case STATE_ATUU: MatchSuffix(byte, "ATUU", &m_atuu_flag); break;
    case STATE_HC32: MatchSuffix(byte, "HC32", &m_hc32_flag); break;
    default:
        Restart(byte);
        break;
    }
}

int StringDecoder::TakeFlag(uint8_t* flag)
{
    const int value = *flag ? 1 : 0;
    *flag = 0;
    return value;
}

int StringDecoder::GetGD32Status() { return TakeFlag(&m_gd32_flag); }
int StringDecoder::GetAT32Status() { return TakeFlag(&m_at32_flag); }
int StringDecoder::GetATUUStatus() { return TakeFlag(&m_atuu_flag); }
int StringDecoder::Gethc32Status() { return TakeFlag(&m_hc32_flag); }
