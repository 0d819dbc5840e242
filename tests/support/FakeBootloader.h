#ifndef FAKEBOOTLOADER_H
#define FAKEBOOTLOADER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <cstdint>
#include <functional>

class PtyDevice;

// Plays a device that reboots into its framed bootloader, on the master side
// of a pty: it watches what the host writes, prints a banner once the reboot
// sequence is through, answers the bootloader's long commands and checks
// every 81-byte data frame (CRC, offset, length, zero tail). Whatever looks
// wrong is collected in Errors().
class FakeBootloader
{
public:
    struct Options
    {
        QByteArray banner = "GD32_UPLOADER\r\n";
        QByteArray requestString = "GD32MCU_TALVEMIR";
        uint32_t flashSize = 1024;
        int dropAckOfChunk = -1;   // chunk index whose first acknowledgement is dropped
        // Written in place of the dropped acknowledgement (empty: silence,
        // and the host waits out its whole acknowledgement time-out).
        QByteArray dropAckNoise;
        // Chunk index whose first acknowledgement names the chunk before it
        // (a stale reply: the host must treat it as no acknowledgement).
        int staleAckOfChunk = -1;
        // The banner comes in two writes, the second this long after the
        // first, as a device's bootloader prints it while it starts up.
        int bannerTailDelayMs = 1300;
        bool wrongCrc = false;     // answer the CRC request with a wrong value
        uint32_t syncStatus = 16;  // status word of every sync answer
        int failedErases = 0;      // this many erases are answered with a failing status
    };

    struct LongCommand
    {
        uint16_t cmd = 0;
        float f1 = 0, f2 = 0;
        uint32_t u1 = 0, u2 = 0;
        int32_t i1 = 0, i2 = 0;
    };

    FakeBootloader(PtyDevice& pty, const Options& options);

    // Reads what the host wrote so far (waiting at most waitMs for the first
    // byte) and answers it; writes the banner's tail when it is due.
    void Pump(int waitMs);
    // Pumps until done() holds or timeoutMs passed; true when done() held.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs);

    // Everything the host wrote, in order.
    const QByteArray& Stream() const { return m_stream; }
    // Offset in Stream() where the reboot sequence began (-1: not seen).
    int RebootStart() const { return m_rebootStart; }
    bool InBootloader() const { return m_inBootloader; }
    int RequestStringCount() const { return m_stream.count(m_options.requestString); }
    const QList<LongCommand>& Commands() const { return m_commands; }
    int CountOf(uint16_t cmd) const;
    // Offsets of all data frames received (resends included), in order.
    const QList<uint32_t>& ChunkOffsets() const { return m_chunkOffsets; }
    int ChunkCount() const { return m_chunkOffsets.size(); }
    // The image as written by the data frames.
    const QByteArray& Image() const { return m_image; }
    uint32_t ReportedCrc() const { return m_reportedCrc; }
    const QStringList& Errors() const { return m_errors; }
    // What arrived, in order: "C<command id>" per long command, "D<offset>"
    // per data frame.
    const QStringList& Events() const { return m_events; }

    // The device's CRC: CRC-32 (initial 0) of the deciphered image, padded
    // with 0xFF up to the flash size.
    static uint32_t PaddedCrc(const QByteArray& plainImage, uint32_t flashSize);
    // Device frame: AA 55, id, length, payload, CRC-32 (initial 1).
    static QByteArray DeviceFrame(uint16_t id, const QByteArray& payload);

private:
    void Parse();
    void HandleCommand(const LongCommand& c);
    void HandleData(const QByteArray& frame);
    void Reply(uint16_t id, const QByteArray& payload);
    void SyncReply(uint32_t status);

    PtyDevice& m_pty;
    Options m_options;
    QByteArray m_stream;
    int m_parsePos = 0;
    int m_rebootStart = -1;
    int m_batchCommands = 0;
    bool m_bannerSent = false;
    QByteArray m_bannerTail;
    QElapsedTimer m_bannerClock;
    bool m_inBootloader = false;
    bool m_ackDropped = false;
    bool m_ackStale = false;
    QList<LongCommand> m_commands;
    QList<uint32_t> m_chunkOffsets;
    uint32_t m_nextOffset = 0;
    QByteArray m_image;
    uint32_t m_reportedCrc = 0;
    QStringList m_errors;
    QStringList m_events;
};

#endif // FAKEBOOTLOADER_H
