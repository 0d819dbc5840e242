#ifndef LOCKEDSTRING_H
#define LOCKEDSTRING_H

#include <QMutex>
#include <QMutexLocker>
#include <QString>

// A QString that several threads read and write: every access copies the
// text under a lock, so a reader never sees a half-assigned string.
class LockedString
{
public:
    LockedString() = default;
    explicit LockedString(const QString& text) : m_text(text) {}
    LockedString(const LockedString&) = delete;
    LockedString& operator=(const LockedString&) = delete;

    LockedString& operator=(const QString& text)
    {
        QMutexLocker locker(&m_mutex);
        m_text = text;
        return *this;
    }

    QString Get() const
    {
        QMutexLocker locker(&m_mutex);
        return m_text;
    }

    operator QString() const { return Get(); }

    bool operator==(const QString& other) const { return Get() == other; }
    bool operator!=(const QString& other) const { return Get() != other; }
    bool IsEmpty() const { return Get().isEmpty(); }
    int ToInt(bool* ok = nullptr) const { return Get().toInt(ok); }

private:
    mutable QMutex m_mutex;
    QString m_text;
};

inline bool operator==(const QString& lhs, const LockedString& rhs) { return rhs == lhs; }
inline bool operator!=(const QString& lhs, const LockedString& rhs) { return rhs != lhs; }

#endif // LOCKEDSTRING_H
