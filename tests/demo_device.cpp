// A device to try the program without hardware: an AHRS unit on a
// pseudo-terminal that answers the version request, parameter reads and
// writes and the save to flash, and streams AHRS frames at 100 Hz once the
// host switches it into AHRS mode. It prints the line's path; give that path
// to the program in CORVANTA_EXTRA_PORTS. Ctrl+C ends it.
#include "PtyDevice.h"
#include "StreamingImuDevice.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

QByteArray DemoVersionRecord()
{
    QByteArray payload(78, '\0');
    const uint32_t software = 20240517;
    const uint32_t hardware = 3;
    std::memcpy(payload.data(), &software, 4);
    std::memcpy(payload.data() + 4, &hardware, 4);
    for (int i = 0; i < 12; ++i) {
        payload[10 + i] = static_cast<char>(0x11 + i);
    }
    std::memcpy(payload.data() + 22, "AHRS", 4);
    payload[30] = 1;
    return payload;
}

void LoadParameters(StreamingImuDevice& device)
{
    device.SetParameter(25, 1.0f);     // initial stream: AHRS
    device.SetParameter(3, 460800.0f); // baud
    device.SetParameter(21, 100.0f);   // output rate
    device.SetParameter(31, 58.0f);    // filters
    device.SetParameter(5, 10.0f);     // automatic gyro-bias removal on
    device.SetParameter(4, 101.0f);    // axis orientation
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::signal(SIGINT, [](int) { QCoreApplication::quit(); });
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });

    PtyDevice pty;
    if (!pty.IsOpen()) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    StreamingImuDevice device(pty);
    device.SetVersionPayload(DemoVersionRecord());
    LoadParameters(device);
    std::printf("%s\n", qPrintable(pty.SlavePath()));
    std::fflush(stdout);

    // The device keeps a copy of everything it sends for the tests; a demo
    // that runs for hours must not.
    QTimer forget;
    QObject::connect(&forget, &QTimer::timeout, [&device] { device.ForgetHistory(); });
    forget.start(10000);
    return app.exec();
}
