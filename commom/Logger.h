#ifndef LOGGER_H
#define LOGGER_H

#include <QString>

#include "commom/LogStream.h"

// The diagnostic log: one rotating file per start, written from any thread.
class Logger
{
public:
    enum Level { Trace = 0, Debug = 1, Info = 2, Warn = 3, Error = 4 };

    // Opens the rotating file (1048576 bytes a file, 10 old files kept).
    // Returns false when the file cannot be opened; the program then runs
    // without a log.
    static bool Init(const QString& filePath);
    static void SetLevel(Level level);
    static void Write(Level level, const char* file, int line, const QString& text);
    static void Flush();
    static void Shutdown();
    static QString FilePath();
};

#define LOG_TRACE() LogStream(Logger::Trace, __FILE__, __LINE__)
#define LOG_DEBUG() LogStream(Logger::Debug, __FILE__, __LINE__)
#define LOG_INFO() LogStream(Logger::Info, __FILE__, __LINE__)
#define LOG_WARN() LogStream(Logger::Warn, __FILE__, __LINE__)
#define LOG_ERROR() LogStream(Logger::Error, __FILE__, __LINE__)

#endif // LOGGER_H
