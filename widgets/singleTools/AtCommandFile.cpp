#include "widgets/singleTools/AtCommandFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextCodec>

#include "commom/CheckedFile.h"
#include "commom/Logger.h"

namespace {
QTextCodec* Gbk()
{
    return QTextCodec::codecForName("GBK");
}
}

QJsonObject AtCommandFile::ReadJson(const QString& path, bool* unreadable)
{
    if (unreadable != nullptr) {
        *unreadable = false;
    }
    QFile file(path);
    if (!file.exists()) {
        LOG_WARN() << "File does not exist:" << path;
        return QJsonObject();
    }
    // From here on the file is there but cannot be used: the user's list
    // must not be replaced by what this program would write.
    if (unreadable != nullptr) {
        *unreadable = true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        LOG_WARN() << "Could not open file for reading:" << path;
        return QJsonObject();
    }
    const QByteArray raw = file.readAll();
    file.close();
    QTextCodec* gbk = Gbk();
    const QString text = gbk != nullptr ? gbk->toUnicode(raw) : QString::fromUtf8(raw);
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isObject()) {
        LOG_WARN() << "Failed to create JSON doc or JSON is not an object." << path;
        return QJsonObject();
    }
    if (unreadable != nullptr) {
        *unreadable = false;
    }
    return doc.object();
}

bool AtCommandFile::WriteJson(const QString& path, const QJsonObject& obj, QString* error)
{
    const QString text = QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Indented));
    QTextCodec* gbk = Gbk();
    const QByteArray bytes = gbk != nullptr ? gbk->fromUnicode(text) : text.toUtf8();
    // Replaced whole or not at all: a failed write keeps the old list.
    if (!CheckedFile::WriteAll(path, bytes, error)) {
        LOG_WARN() << "Could not open file for writing:" << path;
        return false;
    }
    return true;
}

bool AtCommandFile::AppendJsonData(const QString& path, const QString& command, const QString& description,
                                   QString* error)
{
    bool unreadable = false;
    QJsonObject obj = ReadJson(path, &unreadable);
    if (unreadable) {
        if (error != nullptr) {
            *error = UnreadableText(path);
        }
        return false;
    }
    QJsonArray commands = obj.value(QStringLiteral("commands")).toArray();
    QJsonArray descriptions = obj.value(QStringLiteral("descriptions")).toArray();
    // The new pair goes to the same index in both lists: a description list
    // of another length is first made as long as the command list.
    while (descriptions.size() > commands.size()) {
        descriptions.removeLast();
    }
    while (descriptions.size() < commands.size()) {
        descriptions.append(QString());
    }
    commands.append(command);
    descriptions.append(description);
    obj.insert(QStringLiteral("commands"), commands);
    obj.insert(QStringLiteral("descriptions"), descriptions);
    return WriteJson(path, obj, error);
}

QString AtCommandFile::UnreadableText(const QString& path)
{
    return QStringLiteral("AT指令文件无法读取，请检查文件：") + path;
}

bool AtCommandFile::WriteLists(const QString& path, const QVector<QString>& commands,
                               const QVector<QString>& descriptions, QString* error)
{
    QJsonArray cmdArray;
    QJsonArray descArray;
    for (const QString& c : commands) {
        cmdArray.append(c);
    }
    for (const QString& d : descriptions) {
        descArray.append(d);
    }
    QJsonObject obj;
    obj.insert(QStringLiteral("commands"), cmdArray);
    obj.insert(QStringLiteral("descriptions"), descArray);
    return WriteJson(path, obj, error);
}

void AtCommandFile::ExtractLists(const QJsonObject& obj, QVector<QString>* commands,
                                 QVector<QString>* descriptions)
{
    commands->clear();
    descriptions->clear();
    const QJsonArray cmdArray = obj.value(QStringLiteral("commands")).toArray();
    const QJsonArray descArray = obj.value(QStringLiteral("descriptions")).toArray();
    for (int i = 0; i < cmdArray.size(); ++i) {
        if (!cmdArray.at(i).isString()) {
            continue;
        }
        commands->append(cmdArray.at(i).toString());
        const QJsonValue desc = i < descArray.size() ? descArray.at(i) : QJsonValue();
        descriptions->append(desc.isString() ? desc.toString() : QString());
    }
}
