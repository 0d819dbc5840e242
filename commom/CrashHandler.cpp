#include "commom/CrashHandler.h"

#include "commom/Logger.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVector>

#include <boost/stacktrace.hpp>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// Prepared before any crash: a signal handler may not allocate.
char g_dumpPath[4096] = {0};
char g_mapsPath[4096] = {0};

constexpr int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};

// A stack overflow leaves no stack to run the handler on: it gets one of
// its own.
constexpr size_t kAltStackSize = 256 * 1024;
alignas(16) char g_altStack[kAltStackSize];

void CopyProcMaps()
{
    int in = ::open("/proc/self/maps", O_RDONLY);
    if (in < 0) {
        return;
    }
    int out = ::open(g_mapsPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(in, buffer, sizeof buffer)) > 0) {
            if (::write(out, buffer, static_cast<size_t>(n)) != n) {
                break;
            }
        }
        ::close(out);
    }
    ::close(in);
}

void OnFatalSignal(int signo)
{
    // Only async-signal-safe calls from here on.
    for (int sig : kFatalSignals) {
        ::signal(sig, SIG_DFL);
    }
    boost::stacktrace::safe_dump_to(g_dumpPath);
    CopyProcMaps();
    ::raise(signo);
}

// One mapped file of a process, from its /proc/<pid>/maps.
struct Mapping
{
    quint64 start = 0;
    quint64 end = 0;
    quint64 offset = 0;
    QByteArray path;
};

QVector<Mapping> ParseMaps(const QByteArray& text)
{
    QVector<Mapping> maps;
    for (const QByteArray& line : text.split('\n')) {
        // start-end perms offset dev inode path
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || !fields.at(5).startsWith('/')) {
            continue;
        }
        const QList<QByteArray> range = fields.at(0).split('-');
        bool ok1 = false;
        bool ok2 = false;
        bool ok3 = false;
        Mapping m;
        m.start = range.value(0).toULongLong(&ok1, 16);
        m.end = range.value(1).toULongLong(&ok2, 16);
        m.offset = fields.at(2).toULongLong(&ok3, 16);
        // A path may hold blanks.
        m.path = fields.mid(5).join(' ');
        if (ok1 && ok2 && ok3 && m.start < m.end) {
            maps.append(m);
        }
    }
    return maps;
}

const Mapping* MappingAt(const QVector<Mapping>& maps, quint64 address)
{
    for (const Mapping& m : maps) {
        if (address >= m.start && address < m.end) {
            return &m;
        }
    }
    return nullptr;
}

// The address in this process of the byte at fileOffset of the file, when
// this process has that part of the file mapped.
quint64 AddressNow(const QVector<Mapping>& now, const QByteArray& path, quint64 fileOffset)
{
    for (const Mapping& m : now) {
        if (m.path == path && fileOffset >= m.offset && fileOffset < m.offset + (m.end - m.start)) {
            return m.start + (fileOffset - m.offset);
        }
    }
    return 0;
}

// The frames of a dump, each as "N# function in file+0xoffset at source":
// with the memory map saved beside the dump, a frame in a shared library
// is named by the library and its offset in the file (ASLR put the library
// elsewhere in this process), and named by function too when this process
// has the same library loaded.
QString FormatTrace(const boost::stacktrace::stacktrace& trace, const QVector<Mapping>& then)
{
    QFile selfMaps("/proc/self/maps");
    const QVector<Mapping> now = selfMaps.open(QIODevice::ReadOnly) ? ParseMaps(selfMaps.readAll()) : QVector<Mapping>();
    QStringList lines;
    for (std::size_t i = 0; i < trace.size(); ++i) {
        const boost::stacktrace::frame& frame = trace[i];
        const quint64 address = reinterpret_cast<quintptr>(frame.address());
        const Mapping* mapping = MappingAt(then, address);
        QString line = QString("%1# ").arg(i, 2);
        if (mapping == nullptr) {
            const std::string name = frame.name();
            line += (name.empty() ? QString("0x%1").arg(address, 0, 16) : QString::fromStdString(name));
            lines.append(line);
            continue;
        }
        const quint64 fileOffset = address - mapping->start + mapping->offset;
        const quint64 here = AddressNow(now, mapping->path, fileOffset);
        const boost::stacktrace::frame resolved(reinterpret_cast<const void*>(static_cast<quintptr>(here)));
        const std::string name = here != 0 ? resolved.name() : std::string();
        line += (name.empty() ? QString("??") : QString::fromStdString(name)) + " in "
                + QString::fromLocal8Bit(mapping->path) + QString("+0x%1").arg(fileOffset, 0, 16);
        const std::string source = here != 0 ? resolved.source_file() : std::string();
        if (!source.empty()) {
            line += QString(" at %1:%2").arg(QString::fromStdString(source)).arg(resolved.source_line());
        }
        lines.append(line);
    }
    return lines.join('\n') + '\n';
}

} // namespace

QString CrashHandler::DefaultFolder()
{
    return QCoreApplication::applicationDirPath() + "/crashes";
}

bool CrashHandler::Install(const QString& dumpFolder)
{
    QDir().mkpath(dumpFolder);
    const QString base = dumpFolder + "/crash-"
        + QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss") + "-"
        + QString::number(QCoreApplication::applicationPid());
    const QByteArray dump = QFile::encodeName(base + ".dump");
    const QByteArray maps = QFile::encodeName(base + ".maps");
    if (dump.size() >= static_cast<int>(sizeof g_dumpPath)
        || maps.size() >= static_cast<int>(sizeof g_mapsPath)) {
        return false;
    }
    std::memcpy(g_dumpPath, dump.constData(), static_cast<size_t>(dump.size()) + 1);
    std::memcpy(g_mapsPath, maps.constData(), static_cast<size_t>(maps.size()) + 1);
    stack_t altStack{};
    altStack.ss_sp = g_altStack;
    altStack.ss_size = kAltStackSize;
    altStack.ss_flags = 0;
    const bool haveAltStack = ::sigaltstack(&altStack, nullptr) == 0;
    for (int sig : kFatalSignals) {
        struct sigaction action{};
        action.sa_handler = OnFatalSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | (haveAltStack ? SA_ONSTACK : 0);
        if (::sigaction(sig, &action, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

QStringList CrashHandler::ReportPreviousDumps(const QString& dumpFolder)
{
    QStringList traces;
    QDir dir(dumpFolder);
    const QStringList dumps = dir.entryList({"*.dump"}, QDir::Files, QDir::Name);
    for (const QString& name : dumps) {
        const QString path = dir.filePath(name);
        std::ifstream input(QFile::encodeName(path).constData(), std::ios::binary);
        // The executable is linked at a fixed address, so the addresses of
        // our own code in the dump resolve against this same binary.
        boost::stacktrace::stacktrace trace = boost::stacktrace::stacktrace::from_dump(input);
        input.close();
        const QString mapsPath = path.left(path.size() - 5) + ".maps";
        QString report;
        QFile maps(mapsPath);
        if (maps.open(QIODevice::ReadOnly)) {
            report = FormatTrace(trace, ParseMaps(maps.readAll()));
            maps.close();
        } else {
            std::ostringstream text;
            text << trace;
            report = QString::fromStdString(text.str());
        }
        LOG_INFO() << "上次运行崩溃，堆栈记录" << name << ":\n" << report;
        traces.append(report);
        QFile::rename(path, path + ".reported");
        if (QFile::exists(mapsPath)) {
            QFile::rename(mapsPath, mapsPath + ".reported");
        }
    }
    return traces;
}
