#include "StreamingImuDevice.h"

#include "PtyDevice.h"
#include "workerThread/DeviceFrames.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int kVersionPayloadSize = 78;
constexpr int kStreamIntervalMs = 10;
constexpr int kMaxBurstFrames = 20;
constexpr float kModeAhrs = 1.0f;
constexpr float kModeCommand = 100.0f;

template <typename T>
T ReadLe(const QByteArray& bytes, int at)
{
    T value{};
    std::memcpy(&value, bytes.constData() + at, sizeof value);
    return value;
}

template <typename T>
QByteArray Le(T value)
{
    QByteArray bytes(int(sizeof value), '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

} // namespace

StreamingImuDevice::StreamingImuDevice(PtyDevice& pty, QObject* parent) : QObject(parent), m_pty(pty)
{
    m_version = QByteArray(kVersionPayloadSize, '\0');
    connect(&m_poll_timer, &QTimer::timeout, this, &StreamingImuDevice::Poll);
    m_poll_timer.start(2);
    m_stream_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_stream_timer, &QTimer::timeout, this, &StreamingImuDevice::StreamOne);
}

StreamingImuDevice::~StreamingImuDevice()
{
    m_poll_timer.stop();
    m_stream_timer.stop();
}

void StreamingImuDevice::SetVersionPayload(const QByteArray& payload)
{
    m_version = payload.left(kVersionPayloadSize);
    m_version.append(QByteArray(kVersionPayloadSize - m_version.size(), '\0'));
}

void StreamingImuDevice::SetStreaming(bool on)
{
    if (on && !m_stream_timer.isActive()) {
        m_stream_clock.start();
        m_stream_start_count = m_streamed;
        m_stream_timer.start(kStreamIntervalMs);
    } else if (!on) {
        m_stream_timer.stop();
    }
}

QByteArray StreamingImuDevice::ExampleVersionRecord()
{
    QByteArray payload(78, '\0');
    const uint32_t software = 20240517;
    const uint32_t hardware = 3;
    std::memcpy(payload.data(), &software, 4);
    std::memcpy(payload.data() + 4, &hardware, 4);
    payload[8] = 0x34; // board code of no known model: the board version shows
    payload[9] = 0x12;
    for (int i = 0; i < 12; ++i) {
        payload[10 + i] = static_cast<char>(0x11 + i);
    }
    payload[22] = 'A';
    payload[23] = 'H';
    payload[24] = 'R';
    payload[25] = 'S';
    payload[30] = 1;
    payload[32] = 0;
    payload[33] = 2;
    return payload;
}

void StreamingImuDevice::LoadExampleParameters()
{
    SetParameter(25, 1.0f);        // initial stream: AHRS
    SetParameter(3, 460800.0f);    // baud
    SetParameter(21, 100.0f);      // output rate
    SetParameter(31, 58.0f);       // filters 0x3A: accel LPF_IIR_5Hz, gyro LPF_IIR_40Hz
    SetParameter(5, 10.0f);        // automatic gyro-bias removal on
    SetParameter(4, 101.0f);       // axis orientation
}

AhrsData StreamingImuDevice::StreamSample(int n)
{
    const double phase = n * 0.05;
    AhrsData s{};
    s.MCU_TIME = static_cast<uint32_t>(n) * 10000u + 1u;
    s.roll = static_cast<float>(30.0 * std::sin(phase));
    s.pitch = static_cast<float>(15.0 * std::cos(phase));
    s.yaw = static_cast<float>(std::fmod(n * 0.7, 360.0) - 180.0);
    s.acc_x = static_cast<float>(0.1 * std::sin(phase * 2));
    s.acc_y = static_cast<float>(0.1 * std::cos(phase * 2));
    s.acc_z = 1.0f;
    s.gyro_x = static_cast<float>(2.0 * std::cos(phase));
    s.gyro_y = static_cast<float>(-1.5 * std::sin(phase));
    s.gyro_z = 0.7f;
    s.temperature = static_cast<float>(25.0 + 0.001 * n);
    return s;
}

QByteArray StreamingImuDevice::AhrsFrame(const AhrsData& sample)
{
    return BuildDeviceFrame(FRAME_AHRS_DATA, QByteArray(reinterpret_cast<const char*>(&sample), int(sizeof sample)));
}

QByteArray StreamingImuDevice::ParamValueFrame(uint32_t index, float value)
{
    return BuildDeviceFrame(FRAME_PARAM_VALUE, Le(value) + Le(uint32_t(0)) + Le(index));
}

QByteArray StreamingImuDevice::AckFrame(uint16_t value)
{
    return BuildDeviceFrame(FRAME_CMD_ACK, Le(uint16_t(0)) + Le(value) + Le(uint32_t(0)));
}

void StreamingImuDevice::SendSample(const AhrsData& sample)
{
    m_last_sample = sample;
    Write(AhrsFrame(sample));
}

void StreamingImuDevice::StreamOne()
{
    if (!m_pty.IsOpen()) {
        m_stream_timer.stop();
        return;
    }
    const qint64 due = m_stream_start_count + m_stream_clock.elapsed() / kStreamIntervalMs + 1;
    QByteArray burst;
    for (int i = 0; i < kMaxBurstFrames && m_streamed < due; ++i) {
        m_last_sample = StreamSample(m_streamed);
        burst.append(AhrsFrame(m_last_sample));
        ++m_streamed;
    }
    Write(burst);
}

void StreamingImuDevice::Write(const QByteArray& bytes)
{
    if (m_pty.Write(bytes)) {
        m_sent.append(bytes);
    }
}

void StreamingImuDevice::Poll()
{
    if (!m_pty.IsOpen()) {
        return;
    }
    const QByteArray bytes = m_pty.ReadAvailable(0);
    m_received += bytes.size();
    m_pending.append(bytes);
    while (true) {
        const int start = m_pending.indexOf(QByteArray("\x55\xAA", 2));
        if (start < 0) {
            // Keep a lone 55 that may begin the next header.
            m_pending = m_pending.endsWith('\x55') ? QByteArray("\x55", 1) : QByteArray();
            return;
        }
        m_pending.remove(0, start);
        if (m_pending.size() < 6) {
            return;
        }
        HostFrame frame;
        frame.cmd = ReadLe<uint16_t>(m_pending, 2);
        frame.length = ReadLe<uint16_t>(m_pending, 4);
        const int total = 6 + frame.length + 4;
        if (m_pending.size() < total) {
            return;
        }
        frame.bytes = m_pending.left(total);
        m_pending.remove(0, total);
        m_frames.append(frame);
        if (frame.length == 24) {
            Answer(frame);
        }
    }
}

void StreamingImuDevice::Answer(const HostFrame& frame)
{
    const float f1 = ReadLe<float>(frame.bytes, 6);
    const uint32_t u1 = ReadLe<uint32_t>(frame.bytes, 14);
    switch (frame.cmd) {
    case CMD_GET_VERSION:
        Write(BuildDeviceFrame(FRAME_VERSION, m_version));
        break;
    case CMD_SET_MODE:
        if (f1 == kModeAhrs) {
            SetStreaming(true);
        } else if (f1 == kModeCommand) {
            SetStreaming(false);
        }
        break;
    case CMD_GET_PARAM:
        if (m_params.contains(u1)) {
            Write(ParamValueFrame(u1, m_params.value(u1)));
        }
        break;
    case CMD_SET_PARAM:
        m_params[u1] = f1;
        Write(AckFrame(static_cast<uint16_t>(u1)));
        break;
    case CMD_SAVE_FLASH:
        ++m_saves;
        Write(AckFrame(1));
        break;
    default:
        break;
    }
}
