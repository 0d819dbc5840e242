#ifndef UPLOADDATA_H
#define UPLOADDATA_H

#include <QMetaType>
#include <QString>

#include <cstdint>

// One firmware operation as the upgrade page orders it (request 7).
struct UpLoadData
{
    // 0 CAN batch upgrade, 1 framed serial upgrade, 2 compatible (raw-byte
    // bootloader) upgrade, 3 set the USB-to-CAN adapter's CAN baud.
    uint32_t mode = 0;
    // Mode 1: serial baud of the transfer; mode 3: the CAN baud to set.
    uint32_t baud = 0;
    // Firmware file path.
    QString path;
    // Non-zero: the serial upgrade is for the USB-to-CAN adapter itself.
    uint8_t adapterFlag = 0;
};

Q_DECLARE_METATYPE(UpLoadData)

#endif // UPLOADDATA_H
