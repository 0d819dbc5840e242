#include "manager/JsonDataManager.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

std::unique_ptr<JsonDataManager> JsonDataManager::m_instance;

JsonDataManager* JsonDataManager::GetInstance()
{
    if (!m_instance) {
        m_instance.reset(new JsonDataManager());
    }
    return m_instance.get();
}

QString JsonDataManager::FilePath()
{
    return QCoreApplication::applicationDirPath() + "/config" + "/display.json";
}

QStringList JsonDataManager::ReadDisplayAreaName()
{
    QStringList names;
    QFile file(FilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return names;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    file.close();
    const QJsonArray list = doc.object().value(QStringLiteral("display")).toArray();
    for (const QJsonValue& value : list) {
        const QString name = value.toString();
        if (!name.isEmpty()) {
            names.append(name);
        }
    }
    return names;
}

void JsonDataManager::WriteDisplayAreaName(const QString& name)
{
    QJsonObject object;
    object.insert(QStringLiteral("display"), QJsonArray{name});
    // Written aside and renamed over the old file, so that a crash or a full
    // disk never leaves a truncated file behind.
    QSaveFile file(FilePath());
    if (!file.open(QIODevice::WriteOnly)) {
        return;
    }
    file.write(QJsonDocument(object).toJson(QJsonDocument::Indented));
    file.commit();
}
