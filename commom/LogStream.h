#ifndef LOGSTREAM_H
#define LOGSTREAM_H

#include <QDebug>
#include <QString>

#include <optional>
#include <string>

// Collects one log line through QDebug (so Qt types print as usual) and
// hands it to the logger, with the source file and line, when it goes out
// of scope at the end of the statement.
class LogStream
{
public:
    LogStream(int level, const char* file, int line);
    ~LogStream();
    LogStream(const LogStream&) = delete;
    LogStream& operator=(const LogStream&) = delete;

    template <typename T>
    LogStream& operator<<(const T& value)
    {
        *m_debug << value;
        return *this;
    }

    LogStream& operator<<(const QString& value);
    LogStream& operator<<(const char* value);
    LogStream& operator<<(const std::string& value);

private:
    int m_level;
    const char* m_file;
    int m_line;
    QString m_text;
    std::optional<QDebug> m_debug;
};

#endif // LOGSTREAM_H
