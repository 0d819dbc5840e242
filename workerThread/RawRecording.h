#ifndef RAWRECORDING_H
#define RAWRECORDING_H

#include <QByteArray>
#include <QString>

#include <memory>

class CheckedFile;

// One recording of the port's raw byte stream. The file is replaced as the
// recording starts; every chunk is written and flushed with the result
// checked. The first failure ends the recording: the file is closed, IsOn()
// turns false and ErrorText() says what happened, so the worker can report
// it once.
class RawRecording
{
public:
    RawRecording();
    ~RawRecording();
    RawRecording(const RawRecording&) = delete;
    RawRecording& operator=(const RawRecording&) = delete;

    // Opens path, replacing its content. False when it cannot be opened.
    // startId is the identity the page gave this start; a failure report
    // carries it back, so that the page can tell it from a report about an
    // earlier recording to the same file (0: none given).
    bool Start(const QString& path, quint64 startId = 0);
    // Appends one chunk. False when the chunk could not be written whole.
    bool Append(const QByteArray& bytes);
    // Closes the file. False when the last data could not be written.
    bool Stop();

    bool IsOn() const { return m_on; }
    const QString& Path() const { return m_path; }
    quint64 StartId() const { return m_start_id; }
    QString ErrorText() const;
    qint64 BytesWritten() const;

    // Whether a recording could be written to path: the file is opened for
    // writing and closed again, its content left as it was (a missing file
    // is created empty). False, with the reason in *error, when it cannot.
    static bool CanRecordTo(const QString& path, QString* error);

private:
    bool End();

    std::unique_ptr<CheckedFile> m_file;
    QString m_path;
    quint64 m_start_id = 0;
    bool m_on = false;
};

#endif // RAWRECORDING_H
