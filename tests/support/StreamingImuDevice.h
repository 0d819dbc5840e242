#ifndef STREAMINGIMUDEVICE_H
#define STREAMINGIMUDEVICE_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTimer>

#include <cstdint>

#include "workerThread/PayloadTypes.h"

class PtyDevice;

// A whole AHRS device on the master side of a pseudo-terminal, for tests
// that drive the application as a user would: it answers version requests,
// parameter reads and writes and the save to flash, and streams AHRS frames
// at 100 Hz once the host switches it into AHRS mode. Runs from the test's
// event loop (nested loops included). Every byte it writes is kept, so a
// test can compare a recording with what was on the line.
class StreamingImuDevice : public QObject
{
public:
    // One command frame the host sent, as it stood on the line.
    struct HostFrame
    {
        uint16_t cmd = 0;
        uint16_t length = 0;
        QByteArray bytes;
    };

    explicit StreamingImuDevice(PtyDevice& pty, QObject* parent = nullptr);
    ~StreamingImuDevice() override;

    // The 78 bytes of the version record (zero-padded or cut).
    void SetVersionPayload(const QByteArray& payload);
    // A whole version record: firmware 20240517, hardware 3, board 0x1234,
    // serial number 1112131415161718191a1b1c, model "AHRS", master.
    static QByteArray ExampleVersionRecord();
    void SetParameter(uint32_t id, float value) { m_params[id] = value; }
    float Parameter(uint32_t id) const { return m_params.value(id, 0.0f); }
    // The basic parameters of a device as it leaves the factory.
    void LoadExampleParameters();

    // What AHRS mode does on its own, without a command from the host.
    void SetStreaming(bool on);
    bool IsStreaming() const { return m_stream_timer.isActive(); }
    // One AHRS frame with exactly these values, outside the stream.
    void SendSample(const AhrsData& sample);

    QList<HostFrame> HostFrames() const { return m_frames; }
    void ClearHostFrames() { m_frames.clear(); }
    // Drops the copies of what went over the line (a long-running device).
    void ForgetHistory()
    {
        m_frames.clear();
        m_sent.clear();
    }
    QByteArray Sent() const { return m_sent; }
    // Every byte the host has written to the line, framed or not.
    qint64 ReceivedBytes() const { return m_received; }
    int StreamedFrames() const { return m_streamed; }
    AhrsData LastSample() const { return m_last_sample; }
    int SavesToFlash() const { return m_saves; }

    // The sample the stream sends as its n-th frame: values that move
    // smoothly and an MCU time that makes every frame unique.
    static AhrsData StreamSample(int n);

    static QByteArray AhrsFrame(const AhrsData& sample);
    static QByteArray ParamValueFrame(uint32_t index, float value);
    static QByteArray AckFrame(uint16_t value);

private:
    void Poll();
    void Answer(const HostFrame& frame);
    void StreamOne();
    void Write(const QByteArray& bytes);

    PtyDevice& m_pty;
    QTimer m_poll_timer;
    QTimer m_stream_timer;
    // The device keeps its own pace: frames that fall due while the test's
    // event loop is busy go out together at the next tick.
    QElapsedTimer m_stream_clock;
    int m_stream_start_count = 0;
    QByteArray m_pending;
    QByteArray m_sent;
    QByteArray m_version;
    QList<HostFrame> m_frames;
    QMap<uint32_t, float> m_params;
    AhrsData m_last_sample{};
    qint64 m_received = 0;
    int m_streamed = 0;
    int m_saves = 0;
};

#endif // STREAMINGIMUDEVICE_H
