// A device to try the program without hardware: an AHRS unit on a
// pseudo-terminal that answers the version request, parameter reads and
// writes and the save to flash, and streams AHRS frames at 100 Hz once the
// host switches it into AHRS mode. It prints the line's path; give that path
// to the program in CORVANTA_EXTRA_PORTS. Ctrl+C ends it.
#include "PtyDevice.h"
#include "StreamingImuDevice.h"

#include <QCoreApplication>
#include <QTimer>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    PtyDevice pty;
    if (!pty.IsOpen()) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    StreamingImuDevice device(pty);
    device.SetVersionPayload(StreamingImuDevice::ExampleVersionRecord());
    device.LoadExampleParameters();
    std::printf("%s\n", qPrintable(pty.SlavePath()));
    std::fflush(stdout);

    // The device keeps a copy of everything it sends for the tests; a demo
    // that runs for hours must not.
    QTimer forget;
    QObject::connect(&forget, &QTimer::timeout, [&device] { device.ForgetHistory(); });
    forget.start(10000);
    return app.exec();
}
