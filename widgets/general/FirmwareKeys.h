#ifndef FIRMWAREKEYS_H
#define FIRMWAREKEYS_H

#include <array>
#include <cstdint>

// The fixed secrets of the firmware tools: the AES-256 key of ".firmware"
// files and the six values that unlock a device's reboot into its
// bootloader. Real devices' values are passed at build time (CMake cache
// variables CORVANTA_FIRMWARE_KEY_HEX and CORVANTA_UNLOCK_VALUES); without
// them placeholders stand in, good for files this program makes itself but
// not for devices in the field.
class FirmwareKeys
{
public:
    static constexpr int kKeySize = 32;
    static constexpr int kUnlockCount = 6;

    static const std::array<unsigned char, kKeySize>& Key();
    static const std::array<uint16_t, kUnlockCount>& RebootUnlockValues();

    // True when the build carried no key (the placeholder is in use).
    static bool KeyIsPlaceholder();
    static bool UnlockValuesArePlaceholders();
};

#endif // FIRMWAREKEYS_H
