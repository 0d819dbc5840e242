// Load run of the serial terminal's receive view: a child process plays a
// device on a pseudo-terminal that sends at a fixed byte rate, while this
// process runs the device worker on its own thread and shows the "串口助手"
// page (offscreen), as after a connection in the application. Prints how
// late the page's event loop ran (a 10 ms timer measured against its due
// time), memory, and the byte counters against the bytes sent.
//
//   bench_assistant_view hex   [seconds=60] [bytes-per-second=1000000]
//       random bytes, HEX view
//   bench_assistant_view text  [seconds=60] [bytes-per-second=1000000]
//       text lines, ASCII view
//   bench_assistant_view pause [cycles=10]  [bytes-per-second=1000000]
//       random bytes, HEX view; "接收数据不显示" ticked for 11 s, then
//       unticked for 2 s, cycles times

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "ProcessStats.h"
#include "PtyDeviceLink.h"
#include "commom/StartUp.h"
#include "widgets/singleTools/SerialPortAssistantWidget.h"

namespace {

// The device: every 10 ms the bytes due by then, on absolute deadlines.
void Stream(int master, bool text, long rate, long total)
{
    const long perTick = std::max(1L, rate / 100);
    QByteArray pending;
    uint32_t seed = 2463534242u;
    long line = 0;
    long sent = 0;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    while (sent < total) {
        while (pending.size() < perTick) {
            if (text) {
                pending += QByteArray::number(qlonglong(line++)).rightJustified(8, '0')
                    + " the quick brown fox jumps over the lazy dog 0123456789\r\n";
            } else {
                seed ^= seed << 13;
                seed ^= seed >> 17;
                seed ^= seed << 5;
                pending.append(char(seed & 0xFF));
            }
        }
        const long n = std::min<long>(perTick, total - sent);
        if (!WriteWholeBlock(master, pending.constData(), size_t(n))) {
            return;
        }
        pending.remove(0, int(n));
        sent += n;
        SleepUntilNextTick(next, 10000000L);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("hex");
    if (mode != "hex" && mode != "text" && mode != "pause") {
        std::fprintf(stderr, "mode: hex, text or pause\n");
        return 2;
    }
    const bool pauseRun = mode == "pause";
    const int amount = argc > 2 ? std::max(1, std::atoi(argv[2])) : (pauseRun ? 10 : 60);
    const long rate = argc > 3 ? std::max(1L, std::atol(argv[3])) : 1000000L;
    const int seconds = pauseRun ? amount * 13 : amount;
    const long total = rate * seconds;

    PtyDeviceLink link;
    if (!link.Fork([&](int master) { Stream(master, mode == "text", rate, total); })) {
        return 1;
    }

    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    RegsiterMetaType();

    g_current_action_name = QStringLiteral("串口助手");
    SerialPortAssistantWidget page(nullptr);
    page.resize(1100, 650);
    page.show();
    if (mode != "text") {
        page.findChild<QRadioButton*>("radioButton_recv_set_hex")->click();
    }
    auto* pauseBox = page.findChild<QCheckBox*>("checkBox_no_show");

    bool opened = false;
    QElapsedTimer wall;
    link.Open([&]() {
        opened = true;
        wall.start();
    });

    // Event-loop lateness: how long after its due time a 10 ms timer runs.
    qint64 maxLate = 0;
    qint64 late100 = 0;
    qint64 ticks = 0;
    QElapsedTimer beat;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&]() {
        if (beat.isValid() && opened) {
            const qint64 late = beat.elapsed() - 10;
            maxLate = std::max(maxLate, late);
            late100 += late >= 100;
            ++ticks;
        }
        beat.start();
    });
    probe.start(10);

    long peakRss = 0;
    int second = 0;
    int sinceToggle = 0;
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&]() {
        if (!opened) {
            return;
        }
        ++second;
        peakRss = std::max(peakRss, StatusKb("VmRSS:"));
        if (pauseRun) {
            // Ticked for 11 s, unticked for 2 s.
            ++sinceToggle;
            if ((pauseBox->isChecked() && sinceToggle >= 11) || (!pauseBox->isChecked() && sinceToggle >= 2)
                || second == 1) {
                if (second < seconds) {
                    pauseBox->click();
                }
                sinceToggle = 0;
            }
        }
        if (second % 10 == 0) {
            std::printf("t=%3ds received=%llu rss=%ld kB max lateness so far %lld ms\n", second,
                        static_cast<unsigned long long>(page.RecvCounter()), StatusKb("VmRSS:"),
                        static_cast<long long>(maxLate));
            std::fflush(stdout);
        }
        // Done once every byte is in, or well after the device has finished.
        if (page.RecvCounter() >= uint64_t(total) || second > seconds + 10) {
            if (pauseBox->isChecked()) {
                pauseBox->click();
            }
            page.RunDisplayTick();
            std::printf("mode %s, %ld bytes/s for %d s, %.1f s in all\n", mode.constData(), rate, seconds,
                        wall.elapsed() / 1000.0);
            std::printf("bytes sent %ld, page counter %llu, worker counter %llu\n", total,
                        static_cast<unsigned long long>(page.RecvCounter()),
                        static_cast<unsigned long long>(g_recv_total_byte.load()));
            std::printf("event loop: max lateness %lld ms, %lld of %lld beats late by 100 ms or more\n",
                        static_cast<long long>(maxLate), static_cast<long long>(late100),
                        static_cast<long long>(ticks));
            std::printf("memory: peak RSS %ld kB (sampled each second), VmHWM %ld kB\n", peakRss,
                        StatusKb("VmHWM:"));
            std::fflush(stdout);
            app.quit();
        }
    });
    report.start(1000);
    const int rc = app.exec();
    link.Close();
    return rc;
}
