#include "commom/CheckedFile.h"

#include <QSaveFile>

#include "commom/Logger.h"

CheckedFile::CheckedFile(const QString& path) : m_path(path), m_file(path) {}

CheckedFile::~CheckedFile()
{
    if (m_file.isOpen()) {
        Close();
    }
}

QString CheckedFile::OpenErrorText(const QString& path, const QString& reason)
{
    return QStringLiteral("文件打开失败：%1（%2）").arg(path, reason);
}

QString CheckedFile::ReadErrorText(const QString& path, const QString& reason)
{
    return QStringLiteral("文件读取失败：%1（%2）").arg(path, reason);
}

QString CheckedFile::WriteErrorText(const QString& path, const QString& reason)
{
    return QStringLiteral("文件写入失败：%1（%2）").arg(path, reason);
}

bool CheckedFile::Fail(const QString& text)
{
    if (m_error.isEmpty()) {
        m_error = text;
        LOG_WARN() << text;
    }
    return false;
}

bool CheckedFile::Open(QIODevice::OpenMode mode)
{
    if (Failed()) {
        return false;
    }
    if (!m_file.open(mode)) {
        return Fail(OpenErrorText(m_path, m_file.errorString()));
    }
    return true;
}

bool CheckedFile::Write(const QByteArray& data)
{
    return Write(data.constData(), data.size());
}

bool CheckedFile::Write(const char* data, qint64 size)
{
    if (Failed()) {
        return false;
    }
    if (!m_file.isOpen()) {
        return Fail(WriteErrorText(m_path, QStringLiteral("文件未打开")));
    }
    // A write the system takes only in part carries no reason; the attempt
    // with the rest meets the system's own (a full disk says so).
    qint64 done = 0;
    bool retried = false;
    while (done < size) {
        const qint64 written = m_file.write(data + done, size - done);
        if (written > 0) {
            done += written;
            m_written += written;
        } else if (retried) {
            return Fail(WriteErrorText(m_path, m_file.errorString()));
        } else {
            retried = true;
        }
    }
    return true;
}

bool CheckedFile::Flush()
{
    if (Failed()) {
        return false;
    }
    // As with a write: a buffer handed over in part leaves no reason, the
    // second attempt gets it.
    if (m_file.isOpen() && !m_file.flush() && !m_file.flush()) {
        return Fail(WriteErrorText(m_path, m_file.errorString()));
    }
    return true;
}

bool CheckedFile::Close()
{
    if (!m_file.isOpen()) {
        return !Failed();
    }
    const bool flushed = Flush();
    m_file.unsetError();
    m_file.close();
    if (flushed && m_file.error() != QFileDevice::NoError) {
        return Fail(WriteErrorText(m_path, m_file.errorString()));
    }
    return !Failed();
}

bool CheckedFile::WriteAll(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    QString text;
    if (!file.open(QIODevice::WriteOnly)) {
        text = OpenErrorText(path, file.errorString());
    } else if (file.write(data) != data.size() || !file.commit()) {
        text = WriteErrorText(path, file.errorString());
        file.cancelWriting();
    }
    if (text.isEmpty()) {
        return true;
    }
    LOG_WARN() << text;
    if (error) {
        *error = text;
    }
    return false;
}
