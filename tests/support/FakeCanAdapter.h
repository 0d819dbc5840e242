#ifndef FAKECANADAPTER_H
#define FAKECANADAPTER_H

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>

#include <cstdint>
#include <functional>

class PtyDevice;

// Plays a USB-to-CAN adapter on the master side of a pty, with AHRS devices
// behind it on the CAN bus. The adapter answers its AT text commands; in
// batch mode the devices answer the id query with their 8-byte id replies,
// and the one the adapter currently sends to plays the framed bootloader
// (sync, erase, data frames, CRC). Whatever looks wrong goes to Errors().
class FakeCanAdapter
{
public:
    struct Options
    {
        QList<uint32_t> deviceIds;    // devices on the bus
        QByteArray canBaud = "1000000";
        bool answerAt = true;          // false: a silent adapter
        bool baudReplyWithoutColon = false;
        bool refuseBaud = false;       // answers a baud change with ERROR
        uint32_t flashSize = 245760;
        bool wrongCrc = false;
    };

    FakeCanAdapter(PtyDevice& pty, const Options& options);

    void Pump(int waitMs);
    bool RunUntil(const std::function<bool()>& done, int timeoutMs);

    // The AT command lines, in order, each with its "\r\n".
    const QList<QByteArray>& AtCommands() const { return m_at; }
    int BatchFrames() const { return m_batchFrames; }
    int BatchTexts() const { return m_batchTexts; }
    int IdQueries() const { return m_idQueries; }
    // What reached the devices, in order: "C<cmd>@<id>" per long command,
    // "D<offset>@<id>" per data frame (the id the adapter sent to).
    const QStringList& Events() const { return m_events; }
    QByteArray ImageOf(uint32_t id) const { return m_images.value(id); }
    int RebootsOf(uint32_t id) const;
    const QStringList& Errors() const { return m_errors; }
    QByteArray CanBaud() const { return m_options.canBaud; }

    // A device's 8-byte id reply.
    static QByteArray IdReply(uint32_t id, bool goodSum = true);

private:
    void Parse();
    void HandleAt(const QByteArray& line);
    void HandleFrame(const QByteArray& frame);
    void Reply(uint16_t id, const QByteArray& payload);

    PtyDevice& m_pty;
    Options m_options;
    QByteArray m_stream;
    int m_pos = 0;
    QList<QByteArray> m_at;
    int m_batchFrames = 0;
    int m_batchTexts = 0;
    int m_idQueries = 0;
    uint32_t m_target = 0;
    QMap<uint32_t, QByteArray> m_images;
    QStringList m_events;
    QStringList m_errors;
};

#endif // FAKECANADAPTER_H
