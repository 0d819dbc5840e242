#ifndef DECODEOUTPUT_H
#define DECODEOUTPUT_H

#include <QByteArray>
#include <QString>

#include <memory>

#include "dialogs/general/TableTextBuffer.h"

class CheckedFile;

// One table file of a decoding: rows are formatted into Text() and reach the
// file in blocks of at least kBlockSize bytes; every open, write and close
// is checked, and the first failure ends all writing to the file.
class DecodeOutput
{
public:
    static constexpr qint64 kBlockSize = 1 << 20;

    explicit DecodeOutput(const QString& path);
    ~DecodeOutput();

    // Creates the file, or empties an existing one.
    bool Open();
    bool IsOpen() const;
    // True once Open succeeded, also after the file was closed.
    bool IsOpened() const { return m_opened; }
    TableTextBuffer& Text() { return m_text; }
    // Hands the text to the file once it has grown to a block.
    bool WriteIfFull()
    {
        return m_text.Size() < kBlockSize || WriteText();
    }
    // Writes the text gathered so far, then a block formatted elsewhere.
    bool WriteBlock(const QByteArray& block);
    // Writes what is left and closes the file.
    bool Finish();
    // Removes the file when this decoding opened it (after a failure: a
    // table cut off mid-row helps nobody and may fill the disk).
    void RemoveIfOpened();

    bool Failed() const;
    QString ErrorText() const;
    const QString& Path() const { return m_path; }

private:
    bool WriteText();

    QString m_path;
    std::unique_ptr<CheckedFile> m_file;
    TableTextBuffer m_text;
    bool m_opened = false;
};

#endif // DECODEOUTPUT_H
