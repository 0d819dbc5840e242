#include "dialogs/general/DecodeOutput.h"

#include "commom/CheckedFile.h"

#include <QFile>

DecodeOutput::DecodeOutput(const QString& path)
    : m_path(path)
    , m_file(new CheckedFile(path))
{
}

DecodeOutput::~DecodeOutput() = default;

bool DecodeOutput::Open()
{
    // Unbuffered: each block goes to the system in one write.
    m_opened = m_file->Open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    return m_opened;
}

bool DecodeOutput::IsOpen() const
{
    return m_file->IsOpen();
}

bool DecodeOutput::WriteText()
{
    const bool ok = m_file->Write(m_text.Data(), m_text.Size());
    m_text.Clear();
    return ok;
}

bool DecodeOutput::WriteBlock(const QByteArray& block)
{
    if (m_text.Size() > 0 && !WriteText()) {
        return false;
    }
    return m_file->Write(block);
}

bool DecodeOutput::Finish()
{
    if (!m_file->IsOpen()) {
        m_text.Clear();
        return !m_file->Failed();
    }
    const bool written = m_text.Size() == 0 || WriteText();
    const bool closed = m_file->Close();
    return written && closed;
}

void DecodeOutput::RemoveIfOpened()
{
    if (m_opened) {
        m_file->Close();
        QFile::remove(m_path);
    }
}

bool DecodeOutput::Failed() const
{
    return m_file->Failed();
}

QString DecodeOutput::ErrorText() const
{
    return m_file->ErrorText();
}
