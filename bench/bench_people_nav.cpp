// Long walk on the navigation page: half an hour of samples at 100 a second
// (180,000), fed to the page (offscreen, 1200 x 700) as fast as it takes
// them, on a page clock that advances 10 ms a sample. Between samples the
// event loop runs as often as it would in the program: the queued replots
// and their painting every 40 ms of walk, the auto-zoom tick every 100 ms.
// Each of those pieces of GUI work is timed, in wall time and in the GUI
// thread's CPU time (on a loaded machine a piece's wall time also holds the
// time other processes had the core); the longest is the longest stall the
// user would see. Prints the stalls and the memory growth.
//
//   bench_people_nav [minutes=30] [samples-per-second=100]

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <qcustomplot.h>

#include "ProcessStats.h"
#include "ProcessStats.h"
#include "commom/StartUp.h"
#include "widgets/singleTools/peopleNavPage/PeopleNavMainWidget.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

namespace {

// A walk along a meandering path with a slow turn, about 1.4 m/s.
PeopleNavPayload Sample(long n, int rate)
{
    const double s = double(n) / rate;
    PeopleNavPayload p{};
    p.time = uint32_t(s * 1000.0);
    p.pos_x = float(60.0 * std::sin(s / 90.0) + 0.3 * std::sin(s * 3.0) + s * 0.05);
    p.pos_y = float(40.0 * std::cos(s / 70.0) + 0.3 * std::cos(s * 2.0));
    p.pos_z = 0.0f;
    p.yaw = int16_t(int(s * 10) % 36000 - 18000);
    p.acc_z = 1.0f;
    p.temperature = 30.0f;
    p.zupt_flag = uint8_t(n % 50 < 20);
    return p;
}

struct Stalls
{
    std::vector<double> ms;
    void Add(double v) { ms.push_back(v); }
    double Max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
    double Quantile(double q)
    {
        if (ms.empty()) {
            return 0;
        }
        std::vector<double> c = ms;
        const size_t k = size_t(q * double(c.size() - 1));
        std::nth_element(c.begin(), c.begin() + long(k), c.end());
        return c[k];
    }
};

} // namespace

int main(int argc, char** argv)
{
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int rate = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    RegsiterMetaType();

    qint64 now = 1000000000LL;
    PeopleNavMainWidget page(nullptr);
    page.SetClockSource([&now] { return now; });
    page.resize(1200, 700);
    page.show();
    QApplication::processEvents();

    const long total = long(minutes) * 60 * rate;
    const long perReplot = std::max(1, rate / 25);  // 40 ms of walk
    const long perZoom = std::max(1, rate / 10);    // 100 ms of walk
    const qint64 stepNs = 1000000000LL / rate;
    const long rssStart = StatusKb("VmRSS:");
    Stalls sampleStalls;
    Stalls loopStalls;
    Stalls loopCpu;
    QElapsedTimer wall;
    wall.start();
    QElapsedTimer piece;
    for (long n = 0; n < total; ++n) {
        now += stepNs;
        piece.start();
        page.slot_display_people_nav_value(PAGE_MSG_PEOPLE_NAV_DATA, QVariant::fromValue(Sample(n, rate)), QVariant());
        sampleStalls.Add(piece.nsecsElapsed() / 1e6);
        if (n % perZoom == 0) {
            const double cpu = ThreadCpuSeconds();
            piece.start();
            page.slot_auto_zoom_tick();
            loopStalls.Add(piece.nsecsElapsed() / 1e6);
            loopCpu.Add((ThreadCpuSeconds() - cpu) * 1e3);
        }
        if (n % perReplot == 0) {
            const double cpu = ThreadCpuSeconds();
            piece.start();
            QApplication::processEvents(); // queued replot
            QApplication::processEvents(); // its painting
            loopStalls.Add(piece.nsecsElapsed() / 1e6);
            loopCpu.Add((ThreadCpuSeconds() - cpu) * 1e3);
        }
        if ((n + 1) % (long(rate) * 300) == 0) {
            std::printf("walk %3ld min: points drawn %d, rss %ld kB, longest GUI piece so far %.1f ms\n",
                        (n + 1) / rate / 60, page.Track()->dataCount(), StatusKb("VmRSS:"),
                        std::max(loopStalls.Max(), sampleStalls.Max()));
            std::fflush(stdout);
        }
    }
    const long rssEnd = StatusKb("VmRSS:");
    std::printf("samples: %ld (%d min at %d/s) fed in %.1f s\n", total, minutes, rate, wall.elapsed() / 1000.0);
    std::printf("points drawn at the end: %d\n", page.Track()->dataCount());
    std::printf("per sample: longest %.2f ms, 99.9%% under %.2f ms\n", sampleStalls.Max(), sampleStalls.Quantile(0.999));
    std::printf("replot/auto-zoom pieces: longest %.2f ms, 99.9%% under %.2f ms (wall)\n", loopStalls.Max(),
                loopStalls.Quantile(0.999));
    std::printf("replot/auto-zoom pieces: longest %.2f ms, 99.9%% under %.2f ms (GUI thread CPU)\n", loopCpu.Max(),
                loopCpu.Quantile(0.999));
    std::printf("memory: rss %ld kB at start, %ld kB at end, growth %.1f MB\n", rssStart, rssEnd,
                (rssEnd - rssStart) / 1024.0);
    return 0;
}
