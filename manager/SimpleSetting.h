#ifndef SIMPLESETTING_H
#define SIMPLESETTING_H

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariant>

class QSettings;

// Group-and-key access to one INI file. The settings are reached from the
// GUI thread and from workers, so every access holds one lock, and every
// change is written to the file at once: a crash or a forced exit loses no
// setting that was already set.
class SimpleSetting
{
public:
    explicit SimpleSetting(const QString& path);
    ~SimpleSetting();
    SimpleSetting(const SimpleSetting&) = delete;
    SimpleSetting& operator=(const SimpleSetting&) = delete;

    // False when the change could not be written to the file.
    bool SetValue(const QString& group, const QString& key, const QVariant& value);
    QVariant Value(const QString& group, const QString& key, const QVariant& defaultValue = QVariant());
    bool Containts(const QString& group, const QString& key);
    bool Remove(const QString& group, const QString& key);
    // Keys directly under the group.
    QStringList ChildKeys(const QString& group);
    void Sync();
    QString Path() const;
    // Why the file cannot be read or written, or empty while it can.
    QString StatusText() const;

    // The underlying object, without the lock: only for code that already
    // runs alone on it. Prefer the methods above.
    QSettings* GetSetting();

private:
    // Writes the changes to the file; false when they could not be saved.
    bool Synced();

    mutable QMutex m_mutex;
    QSettings* m_setting = nullptr;
};

#endif // SIMPLESETTING_H
