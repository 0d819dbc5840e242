#ifndef UPGRADEPROCESSINFORMATION_H
#define UPGRADEPROCESSINFORMATION_H

#include <QMetaType>

#include <cstdint>

// How a run of the upgrade engine ended; a plain progress report carries 0.
enum CANCEL_UPGRADE_TYPE : int32_t
{
    CANCEL_UPGRADE_NONE = 0,
    CANCEL_UPGRADE_BY_USER = 1,
    CANCEL_UPGRADE_FAILED = 2,
};

// Progress report of the upgrade engine (answer 809).
struct UpgradeProcessInformation
{
    uint32_t finished = 0;   // devices finished so far
    uint32_t remaining = 0;  // device count minus finished
    int32_t percent = 0;     // 0..100
    int32_t cancelType = CANCEL_UPGRADE_NONE;
};

static_assert(sizeof(UpgradeProcessInformation) == 16, "report record is 16 bytes");

Q_DECLARE_METATYPE(UpgradeProcessInformation)

#endif // UPGRADEPROCESSINFORMATION_H
