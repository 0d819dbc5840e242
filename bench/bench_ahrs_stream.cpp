// Load run of the live AHRS views: a child process plays a device on a
// pseudo-terminal streaming AHRS frames at a fixed rate, while this process
// runs the device worker on its own thread and shows a page (offscreen),
// exactly as after a connection in the application. Prints the frames the
// page handled, this process's CPU use (the streamer is not counted), its
// memory over time, and how often the page redrew its plots or dials.
//
//   bench_ahrs_stream [seconds=60] [frames-per-second=1000] [page=ahrs]
//
// page "ahrs": the AHRS data page. page "instrument": the instrument panel
// in front, with the AHRS data page behind it in the same stack, as in the
// program once the user has moved on from the first page.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStackedWidget>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

#include "commom/Global.h"
#include "ProcessStats.h"
#include "PtyDeviceLink.h"
#include "commom/StartUp.h"
#include "controls/QADI.h"
#include "controls/QCompass.h"
#include "manager/RecvDataHandleManager.h"
#include "widgets/singleTools/AHRSDataWidget.h"
#include "widgets/singleTools/InstrumentWidget.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

#include <qcustomplot.h>

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    long count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
};

QByteArray AhrsFrame(uint32_t n)
{
    AhrsData s{};
    const double x = n * 0.001;
    s.MCU_TIME = n * 1000u;
    s.roll = float(60 * std::sin(0.5 * x));
    s.pitch = float(20 * std::cos(0.8 * x));
    s.yaw = float(std::fmod(n * 0.01, 360.0) - 180.0);
    s.acc_x = float(std::sin(x));
    s.acc_y = float(0.5 * std::cos(x));
    s.acc_z = 0.98f;
    s.gyro_x = float(40 * std::sin(0.7 * x));
    s.gyro_y = float(-30 * std::cos(1.3 * x));
    s.gyro_z = float(10 * std::sin(2 * x));
    s.temperature = 31.5f;
    return BuildDeviceFrame(FRAME_AHRS_DATA, QByteArray(reinterpret_cast<const char*>(&s), int(sizeof s)));
}

// The device: paced on absolute deadlines so the rate holds on average.
void Stream(int master, int seconds, int rate)
{
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const long periodNs = 1000000000L / rate;
    const long total = long(seconds) * rate;
    for (long n = 0; n < total; ++n) {
        const QByteArray frame = AhrsFrame(uint32_t(n));
        if (!WriteWholeBlock(master, frame.constData(), size_t(frame.size()))) {
            return;
        }
        SleepUntilNextTick(next, periodNs);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int rate = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    const QByteArray pageName = argc > 3 ? QByteArray(argv[3]) : QByteArray("ahrs");
    if (pageName != "ahrs" && pageName != "instrument") {
        std::fprintf(stderr, "page: ahrs or instrument\n");
        return 2;
    }

    PtyDeviceLink link;
    if (!link.Fork([&](int master) { Stream(master, seconds, rate); })) {
        return 1;
    }

    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    RegsiterMetaType();

    QStackedWidget stack;
    auto* ahrs = new AHRSDataWidget(&stack);
    stack.addWidget(ahrs);
    QWidget* page = ahrs;
    InstrumentWidget* panel = nullptr;
    if (pageName == "instrument") {
        panel = new InstrumentWidget(&stack);
        stack.addWidget(panel);
        stack.setCurrentWidget(panel);
        page = panel;
    }
    stack.resize(1200, 700);
    stack.show();

    // Frames the shown page handled: counted on the GUI thread, in the
    // page's own delivery order, behind the page's slot.
    std::atomic<long> frames{0};
    QObject::connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, page,
                     [&frames](int id, QVariant, QVariant) {
                         if (id == PAGE_MSG_AHRS_DATA) {
                             frames.fetch_add(1, std::memory_order_relaxed);
                         }
                     });
    PaintCounter dialPaints;
    PaintCounter compassPaints;
    if (panel != nullptr) {
        panel->findChild<QADI*>()->installEventFilter(&dialPaints);
        panel->findChild<QCompass*>()->installEventFilter(&compassPaints);
    }
    PaintCounter plotPaints;
    for (QCustomPlot* plot : ahrs->findChildren<QCustomPlot*>()) {
        plot->installEventFilter(&plotPaints);
    }

    bool opened = false;
    link.Open([&opened]() { opened = true; });

    QElapsedTimer wall;
    double cpuStart = 0;
    double guiCpuStart = 0;
    long dialStart = 0;
    long compassStart = 0;
    long plotPaintStart = 0;
    int tick = 0;
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&]() {
        if (!opened) {
            return;
        }
        if (tick == 0) {
            wall.start();
            cpuStart = CpuSeconds();
            guiCpuStart = ThreadCpuSeconds();
            dialStart = dialPaints.count;
            compassStart = compassPaints.count;
            plotPaintStart = plotPaints.count;
        }
        ++tick;
        if (tick % 10 == 1 || tick > seconds) {
            std::printf("t=%3ds frames=%ld rss=%ld kB\n", tick - 1, frames.load(), StatusKb("VmRSS:"));
            std::fflush(stdout);
        }
        if (tick > seconds) {
            const double cpu = CpuSeconds() - cpuStart;
            const double elapsed = wall.elapsed() / 1000.0;
            const long handled = frames.load();
            std::printf("page: %s\n", pageName.constData());
            std::printf("frames handled by the page: %ld in %.1f s (%.0f/s)\n", handled, elapsed, handled / elapsed);
            std::printf("cpu: %.1f %% of one core (GUI thread %.1f %%, the rest mostly the port worker)\n",
                        100.0 * cpu / elapsed, 100.0 * (ThreadCpuSeconds() - guiCpuStart) / elapsed);
            std::printf("plot redraws (AHRS page, 3 plots): %.1f/s\n", (plotPaints.count - plotPaintStart) / elapsed);
            if (panel != nullptr) {
                std::printf("attitude dial repaints: %.1f/s, compass repaints: %.1f/s\n",
                            (dialPaints.count - dialStart) / elapsed, (compassPaints.count - compassStart) / elapsed);
            }
            std::printf("memory: peak %ld kB, final %ld kB\n", StatusKb("VmHWM:"), StatusKb("VmRSS:"));
            std::fflush(stdout);
            app.quit();
        }
    });
    report.start(1000);
    const int rc = app.exec();
    link.Close();
    return rc;
}

