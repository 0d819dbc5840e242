#include "manager/SimpleSetting.h"

#include <QMutexLocker>
#include <QSettings>

SimpleSetting::SimpleSetting(const QString& path)
    : m_setting(new QSettings(path, QSettings::IniFormat))
{
}

SimpleSetting::~SimpleSetting()
{
    QMutexLocker locker(&m_mutex);
    delete m_setting;
    m_setting = nullptr;
}

bool SimpleSetting::SetValue(const QString& group, const QString& key, const QVariant& value)
{
    QMutexLocker locker(&m_mutex);
    m_setting->beginGroup(group);
    m_setting->setValue(key, value);
    m_setting->endGroup();
    return Synced();
}

bool SimpleSetting::Synced()
{
    m_setting->sync();
    if (m_setting->status() == QSettings::NoError) {
        return true;
    }
    // A QSettings keeps its first failure for good, so whether this change
    // reached the file is learnt from a fresh object given everything the
    // old one holds (the changes not saved yet included). It takes over
    // once it has saved; otherwise the old one keeps the changes.
    QVariantMap values;
    const QStringList keys = m_setting->allKeys();
    for (const QString& key : keys) {
        values.insert(key, m_setting->value(key));
    }
    // Nothing is cleared: keys in the file that the old object never read
    // stay.
    QSettings* fresh = new QSettings(m_setting->fileName(), QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        fresh->setValue(it.key(), it.value());
    }
    fresh->sync();
    const bool saved = fresh->status() == QSettings::NoError;
    if (saved) {
        std::swap(m_setting, fresh);
    }
    delete fresh;
    return saved;
}

QVariant SimpleSetting::Value(const QString& group, const QString& key, const QVariant& defaultValue)
{
    QMutexLocker locker(&m_mutex);
    m_setting->beginGroup(group);
    const QVariant value = m_setting->value(key, defaultValue);
    m_setting->endGroup();
    return value;
}

bool SimpleSetting::Containts(const QString& group, const QString& key)
{
    QMutexLocker locker(&m_mutex);
    m_setting->beginGroup(group);
    const bool found = m_setting->contains(key);
    m_setting->endGroup();
    return found;
}

bool SimpleSetting::Remove(const QString& group, const QString& key)
{
    QMutexLocker locker(&m_mutex);
    m_setting->beginGroup(group);
    m_setting->remove(key);
    m_setting->endGroup();
    return Synced();
}

QStringList SimpleSetting::ChildKeys(const QString& group)
{
    QMutexLocker locker(&m_mutex);
    m_setting->beginGroup(group);
    const QStringList keys = m_setting->childKeys();
    m_setting->endGroup();
    return keys;
}

void SimpleSetting::Sync()
{
    QMutexLocker locker(&m_mutex);
    m_setting->sync();
}

QString SimpleSetting::Path() const
{
    QMutexLocker locker(&m_mutex);
    return m_setting->fileName();
}

QString SimpleSetting::StatusText() const
{
    QMutexLocker locker(&m_mutex);
    switch (m_setting->status()) {
    case QSettings::NoError: return QString();
    case QSettings::AccessError: return QStringLiteral("配置文件无法读写");
    case QSettings::FormatError: return QStringLiteral("配置文件格式错误");
    }
    return QString();
}

QSettings* SimpleSetting::GetSetting()
{
    return m_setting;
}
