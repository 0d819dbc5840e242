#ifndef FAKERAWBOOTLOADER_H
#define FAKERAWBOOTLOADER_H

#include <QByteArray>
#include <QStringList>

#include <cstdint>
#include <functional>

class PtyDevice;

// Plays the raw-byte bootloader of the Vorqa5 family on the master side of a
// pty: once the host has sent its request string it answers single command
// bytes (sync, information, erase, program block, CRC, version, reboot)
// with the two status bytes 0x12 0x10 and the values asked for. Checks the
// count byte and CRC-8 of every program block; whatever looks wrong goes to
// Errors().
class FakeRawBootloader
{
public:
    struct Options
    {
        uint32_t flashSize = 4096;
        uint32_t version = 0x00010203;
        bool answerSync = true;          // false: silent from the first sync on
        int badStatusOfBlock = -1;       // block whose first status is 0x12 0x11
        int silentFromBlock = -1;        // no status for this block and later
        int blockDelayMs = 0;            // pause before each block's status
        bool wrongCrc = false;
        // Called with a block's index just before its good status goes out.
        std::function<void(int)> beforeBlockStatus;
    };

    FakeRawBootloader(PtyDevice& pty, const Options& options);

    void Pump(int waitMs);
    bool RunUntil(const std::function<bool()>& done, int timeoutMs);

    // Everything the host wrote, in order.
    const QByteArray& Stream() const { return m_stream; }
    // Offset in Stream() just after the last request string (-1: none yet).
    int CommandStart() const { return m_commandStart; }
    int RequestCount() const { return m_stream.count("IMU_ARRAY_UPDATE"); }
    // What arrived, in order: "V" version, "S" sync, "E" erase, "P<n>" a
    // program block of n bytes, "I<param>" information, "C" CRC, "R" reboot.
    const QStringList& Events() const { return m_events; }
    int BlockCount() const { return m_blocks; }
    const QByteArray& Image() const { return m_image; }
    const QStringList& Errors() const { return m_errors; }

private:
    void Parse();
    void Status(bool ok = true);

    PtyDevice& m_pty;
    Options m_options;
    QByteArray m_stream;
    int m_pos = 0;
    int m_commandStart = -1;
    bool m_inBootloader = false;
    bool m_badStatusDone = false;
    int m_blocks = 0;
    uint32_t m_received = 0;
    QByteArray m_image;
    QStringList m_events;
    QStringList m_errors;
};

#endif // FAKERAWBOOTLOADER_H
