#ifndef FAKEIMUDEVICE_H
#define FAKEIMUDEVICE_H

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QTimer>

class PtyDevice;

// Plays an IMU on the master side of a pseudo-terminal from the test's own
// event loop: every version request the host sends is counted and, when
// the line runs at the baud the device is set to, answered with a version
// frame; parameter reads are answered from the values it is given. Runs inside nested event loops too, so it answers while the code
// under test waits.
class FakeImuDevice : public QObject
{
public:
    explicit FakeImuDevice(PtyDevice& pty, QObject* parent = nullptr);
    ~FakeImuDevice() override;

    // The 78 payload bytes of the version frame (zero-padded or cut).
    void SetVersionPayload(const QByteArray& payload);
    // Answer only while the line is set to this baud; 0 answers at any baud.
    void SetAnswerBaud(int baud);
    void SetAnswering(bool answering) { m_answering = answering; }
    // Parameters answered to the host's parameter reads, by id; an id not
    // held here is not answered.
    void SetParamValues(const QMap<uint32_t, float>& values) { m_params = values; }

    int VersionRequests() const { return m_version_requests; }
    int VersionReplies() const { return m_version_replies; }
    // The baud the host has set on the line, read from its terminal settings.
    int LineBaud() const;
    QByteArray Received() const { return m_received; }

    // Sends one more version frame at once, asked for or not.
    void SendVersionFrame();

    static QByteArray VersionFrame(const QByteArray& payload);

private:
    void Poll();

    PtyDevice& m_pty;
    QTimer m_timer;
    QByteArray m_pending;
    QByteArray m_received;
    QByteArray m_payload;
    QMap<uint32_t, float> m_params;
    int m_answer_baud = 0;
    bool m_answering = true;
    int m_version_requests = 0;
    int m_version_replies = 0;
    int m_line_fd = -1;
};

#endif // FAKEIMUDEVICE_H
