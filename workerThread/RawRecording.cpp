#include "workerThread/RawRecording.h"

#include "commom/CheckedFile.h"

RawRecording::RawRecording() = default;

RawRecording::~RawRecording() = default;

QString RawRecording::ErrorText() const
{
    return m_file ? m_file->ErrorText() : QString();
}

qint64 RawRecording::BytesWritten() const
{
    return m_file ? m_file->BytesWritten() : 0;
}

bool RawRecording::Start(const QString& path, quint64 startId)
{
    if (m_on) {
        Stop();
    }
    m_path = path;
    m_start_id = startId;
    m_file.reset(new CheckedFile(path));
    // A new recording replaces the file's whole content (the pages have
    // confirmed the overwrite), so an older, longer file leaves no tail, and
    // a recording during which nothing arrives leaves no old content behind.
    m_on = m_file->Open(QIODevice::ReadWrite | QIODevice::Truncate);
    return m_on;
}

bool RawRecording::Append(const QByteArray& bytes)
{
    if (!m_on) {
        return false;
    }
    if (m_file->Write(bytes) && m_file->Flush()) {
        return true;
    }
    End();
    return false;
}

bool RawRecording::Stop()
{
    if (!m_on) {
        return true;
    }
    return End();
}

bool RawRecording::End()
{
    m_on = false;
    return m_file->Close();
}

bool RawRecording::CanRecordTo(const QString& path, QString* error)
{
    QString text;
    if (path.isEmpty()) {
        text = CheckedFile::OpenErrorText(path, QStringLiteral("未指定文件"));
    } else {
        CheckedFile probe(path);
        if (!probe.Open(QIODevice::ReadWrite) || !probe.Close()) {
            text = probe.ErrorText();
        }
    }
    if (text.isEmpty()) {
        return true;
    }
    if (error) {
        *error = text;
    }
    return false;
}
