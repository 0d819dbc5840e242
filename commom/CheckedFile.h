#ifndef CHECKEDFILE_H
#define CHECKEDFILE_H

#include <QFile>
#include <QString>

// A file written with every step checked: open, each write, flush and close.
// The first failure sticks: later calls do nothing and return false, and
// ErrorText() names the file, the step and the system's reason, so a caller
// can tell the user the truth instead of reporting success.
class CheckedFile
{
public:
    explicit CheckedFile(const QString& path);
    ~CheckedFile();
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;

    bool Open(QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate);
    // The whole block or failure: a short write counts as a failed write.
    bool Write(const QByteArray& data);
    bool Write(const char* data, qint64 size);
    bool Flush();
    // Flushes and closes; false when the data could not all be handed to
    // the system.
    bool Close();

    bool IsOpen() const { return m_file.isOpen(); }
    bool Failed() const { return !m_error.isEmpty(); }
    QString ErrorText() const { return m_error; }
    const QString& Path() const { return m_path; }
    qint64 BytesWritten() const { return m_written; }

    // Replaces a whole file through a temporary copy that is renamed over it
    // only when every byte was written: the old content survives any failure.
    static bool WriteAll(const QString& path, const QByteArray& data, QString* error = nullptr);

    static QString OpenErrorText(const QString& path, const QString& reason);
    // For files only read: the same wording for a read that failed.
    static QString ReadErrorText(const QString& path, const QString& reason);
    static QString WriteErrorText(const QString& path, const QString& reason);

private:
    bool Fail(const QString& text);

    QString m_path;
    QFile m_file;
    QString m_error;
    qint64 m_written = 0;
};

#endif  // CHECKEDFILE_H
