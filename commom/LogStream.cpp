#include "commom/LogStream.h"

#include "commom/Logger.h"

LogStream::LogStream(int level, const char* file, int line)
    : m_level(level), m_file(file), m_line(line)
{
    m_debug.emplace(&m_text);
    m_debug->noquote();
}

LogStream::~LogStream()
{
    // QDebug completes m_text only when it is destroyed.
    m_debug.reset();
    Logger::Write(static_cast<Logger::Level>(m_level), m_file, m_line, m_text.trimmed());
}

LogStream& LogStream::operator<<(const QString& value)
{
    *m_debug << value;
    return *this;
}

LogStream& LogStream::operator<<(const char* value)
{
    *m_debug << QString::fromUtf8(value);
    return *this;
}

LogStream& LogStream::operator<<(const std::string& value)
{
    *m_debug << QString::fromStdString(value);
    return *this;
}
