#include "commom/CrashHandler.h"

#include "commom/Logger.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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
        std::ostringstream text;
        text << trace;
        QString report = QString::fromStdString(text.str());
        const QString mapsPath = path.left(path.size() - 5) + ".maps";
        LOG_INFO() << "上次运行崩溃，堆栈记录" << name << ":\n" << report;
        traces.append(report);
        QFile::rename(path, path + ".reported");
        if (QFile::exists(mapsPath)) {
            QFile::rename(mapsPath, mapsPath + ".reported");
        }
    }
    return traces;
}
