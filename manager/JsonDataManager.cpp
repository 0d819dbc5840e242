#include "manager/JsonDataManager.h"

#include "commom/CheckedFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
    // Replaced whole or not at all, so that a crash or a full disk never
    // leaves a truncated file behind. A choice that cannot be remembered is
    // only logged: the next start simply shows no page.
    CheckedFile::WriteAll(FilePath(), QJsonDocument(object).toJson(QJsonDocument::Indented));
}
