#ifndef STRINGDECODER_H
#define STRINGDECODER_H

#include <QString>

#include <cstdint>

// Recognises the banners a device prints when it restarts into one of its
// bootloaders ("GD32_UPLOADER", "AT32_UPLOADER", "ATUU_UPLOADER",
// "HC32_UPLOADER") in the received byte stream, one byte at a time, so a
// banner split over several reads is still found. Each banner has a
// read-once flag.
class StringDecoder
{
public:
    StringDecoder() = default;

    void DecodeStrC(unsigned char byte);
    // Advances the match of "_UPLOADER": 1 when the byte continues (or
    // completes) it, 0 when it breaks it.
    int ProcessChar(unsigned char byte);

    // Each returns its flag and clears it.
    int GetGD32Status();
    int GetAT32Status();
    int GetATUUStatus();
    int Gethc32Status();

private:
    enum State : uint32_t
    {
        STATE_IDLE = 0,
        STATE_G = 4, STATE_A = 5, STATE_H = 6,
        STATE_GD = 7, STATE_AT = 8, STATE_HC = 9,
        STATE_GD3 = 10, STATE_AT3 = 11, STATE_ATU = 12, STATE_HC3 = 13,
        STATE_GD32 = 14, STATE_AT32 = 15, STATE_ATUU = 16, STATE_HC32 = 17,
    };

    void Restart(unsigned char byte);
    void MatchSuffix(unsigned char byte, const char* name, uint8_t* flag);
    static int TakeFlag(uint8_t* flag);

    QString m_text;
    uint32_t m_state = STATE_IDLE;
    uint32_t m_suffix_state = 0;
    uint32_t m_suffix_count = 0;
    uint8_t m_gd32_flag = 0;
    uint8_t m_at32_flag = 0;
    uint8_t m_atuu_flag = 0;
    uint8_t m_hc32_flag = 0;
};

#endif // STRINGDECODER_H
