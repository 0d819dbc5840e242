#include "commom/Logger.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <memory>

namespace {

QMutex g_loggerMutex;
std::shared_ptr<spdlog::logger> g_logger;
std::shared_ptr<spdlog::sinks::rotating_file_sink_mt> g_sink;
QString g_filePath;
std::atomic<int> g_level{Logger::Debug};

spdlog::level::level_enum ToSpdLevel(Logger::Level level)
{
    switch (level) {
    case Logger::Trace: return spdlog::level::trace;
    case Logger::Debug: return spdlog::level::debug;
    case Logger::Info: return spdlog::level::info;
    case Logger::Warn: return spdlog::level::warn;
    case Logger::Error: return spdlog::level::err;
    }
    return spdlog::level::debug;
}

std::shared_ptr<spdlog::logger> CurrentLogger()
{
    QMutexLocker locker(&g_loggerMutex);
    return g_logger;
}

} // namespace

bool Logger::Init(const QString& filePath)
{
    constexpr size_t kMaxFileSize = 1048576;
    constexpr size_t kMaxOldFiles = 10;
    try {
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            filePath.toStdString(), kMaxFileSize, kMaxOldFiles);
        auto logger = std::make_shared<spdlog::logger>("corvanta", sink);
        logger->set_level(spdlog::level::trace);
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e [%l] %v");
        // Every line reaches the file at once: the lines just before a crash
        // or a kill are the ones most wanted, and a signal handler cannot
        // flush a buffer safely.
        logger->flush_on(spdlog::level::trace);
        QMutexLocker locker(&g_loggerMutex);
        g_logger = logger;
        g_sink = sink;
        g_filePath = filePath;
        return true;
    } catch (const spdlog::spdlog_ex&) {
        return false;
    }
}

void Logger::SetLevel(Level level)
{
    g_level = level;
}

void Logger::Write(Level level, const char* file, int line, const QString& text)
{
    if (level < g_level.load()) {
        return;
    }
    auto logger = CurrentLogger();
    if (!logger) {
        return;
    }
    logger->log(ToSpdLevel(level), "{}:{} {}", file ? file : "", line, text.toStdString());
}

void Logger::Flush()
{
    auto logger = CurrentLogger();
    if (logger) {
        logger->flush();
    }
}

void Logger::Shutdown()
{
    std::shared_ptr<spdlog::logger> logger;
    {
        QMutexLocker locker(&g_loggerMutex);
        logger.swap(g_logger);
        g_sink.reset();
        g_filePath.clear();
    }
    if (logger) {
        logger->flush();
    }
}

QString Logger::FilePath()
{
    QMutexLocker locker(&g_loggerMutex);
    return g_filePath;
}
