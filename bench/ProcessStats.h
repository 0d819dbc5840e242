#ifndef PROCESSSTATS_H
#define PROCESSSTATS_H

// What the benchmarks report about their own process.

#include <QByteArray>
#include <QFile>

#include <cstring>
#include <ctime>
#include <sys/resource.h>

// A "kB" line of /proc/self/status (e.g. "VmRSS:"), -1 when unreadable.
inline long StatusKb(const char* key)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(int(std::strlen(key))).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

// User plus system CPU time of this process so far.
inline double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU time of the calling thread so far.
inline double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

#endif // PROCESSSTATS_H
