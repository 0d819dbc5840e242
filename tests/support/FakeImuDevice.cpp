#include "FakeImuDevice.h"

#include "PtyDevice.h"
#include "workerThread/DeviceFrames.h"

#include <cstring>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Start of every command the host sends: 55 AA, command (2 bytes), length 24.
const QByteArray kCommandStart("\x55\xAA", 2);
constexpr int kLongCommandSize = 34;
constexpr int kVersionPayloadSize = 78;
constexpr uint16_t kVersionFrameId = 255;

int BaudOf(speed_t speed)
{
    switch (speed) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B500000: return 500000;
    case B921600: return 921600;
    case B1500000: return 1500000;
    case B2000000: return 2000000;
    default: return 0;
    }
}

} // namespace

FakeImuDevice::FakeImuDevice(PtyDevice& pty, QObject* parent) : QObject(parent), m_pty(pty)
{
    m_payload = QByteArray(kVersionPayloadSize, '\0');
    // A descriptor of our own on the line, opened before the host takes the
    // port, to read the terminal settings the host applies.
    m_line_fd = ::open(pty.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    connect(&m_timer, &QTimer::timeout, this, &FakeImuDevice::Poll);
    m_timer.start(2);
}

FakeImuDevice::~FakeImuDevice()
{
    m_timer.stop();
    if (m_line_fd >= 0) {
        ::close(m_line_fd);
    }
}

void FakeImuDevice::SetVersionPayload(const QByteArray& payload)
{
    m_payload = payload.left(kVersionPayloadSize);
    m_payload.append(QByteArray(kVersionPayloadSize - m_payload.size(), '\0'));
}

void FakeImuDevice::SetAnswerBaud(int baud)
{
    m_answer_baud = baud;
}

int FakeImuDevice::LineBaud() const
{
    if (m_line_fd < 0) {
        return 0;
    }
    termios tio{};
    if (tcgetattr(m_line_fd, &tio) != 0) {
        return 0;
    }
    return BaudOf(cfgetospeed(&tio));
}

QByteArray FakeImuDevice::VersionFrame(const QByteArray& payload)
{
    return BuildDeviceFrame(kVersionFrameId, payload);
}

void FakeImuDevice::SendVersionFrame()
{
    if (m_pty.Write(VersionFrame(m_payload))) {
        ++m_version_replies;
    }
}

void FakeImuDevice::Poll()
{
    if (!m_pty.IsOpen()) {
        return;
    }
    const QByteArray bytes = m_pty.ReadAvailable(0);
    if (bytes.isEmpty()) {
        return;
    }
    m_received.append(bytes);
    m_pending.append(bytes);
    while (true) {
        int at = m_pending.indexOf(kCommandStart);
        while (at >= 0 && m_pending.size() - at >= 6
               && !(m_pending.at(at + 4) == '\x18' && m_pending.at(at + 5) == '\x00')) {
            at = m_pending.indexOf(kCommandStart, at + 1);
        }
        if (at < 0) {
            // Keep a possible start of a command for the next read.
            m_pending = m_pending.right(5);
            return;
        }
        if (m_pending.size() - at < kLongCommandSize) {
            m_pending = m_pending.mid(at);
            return;
        }
        const QByteArray command = m_pending.mid(at, kLongCommandSize);
        m_pending = m_pending.mid(at + kLongCommandSize);
        const uint16_t cmd = static_cast<uint8_t>(command.at(2)) | (static_cast<uint8_t>(command.at(3)) << 8);
        if (cmd == CMD_GET_VERSION) {
            ++m_version_requests;
            if (m_answering && (m_answer_baud == 0 || LineBaud() == m_answer_baud)) {
                SendVersionFrame();
            }
        } else if (cmd == CMD_GET_PARAM) {
            uint32_t id = 0;
            std::memcpy(&id, command.constData() + 14, 4);
            if (m_params.contains(id)) {
                // FRAME_PARAM_VALUE: the value at 0, the id at 8.
                QByteArray payload(12, '\0');
                const float value = m_params.value(id);
                std::memcpy(payload.data(), &value, 4);
                std::memcpy(payload.data() + 8, &id, 4);
                m_pty.Write(BuildDeviceFrame(FRAME_PARAM_VALUE, payload));
            }
        }
    }
}
