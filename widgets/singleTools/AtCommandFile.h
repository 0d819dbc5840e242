#ifndef ATCOMMANDFILE_H
#define ATCOMMANDFILE_H

#include <QJsonObject>
#include <QString>
#include <QVector>

// The AT-command list on disk: a JSON object with the arrays "commands" and
// "descriptions" (same index, same entry), stored as GBK text.
class AtCommandFile
{
public:
    // An empty object when the file is missing, unreadable or not a JSON
    // object; each case leaves a warning in the log.
    static QJsonObject ReadJson(const QString& path);
    // Replaces the whole file with the object's indented text. False (and
    // logged) when the file cannot be opened.
    static bool WriteJson(const QString& path, const QJsonObject& obj);
    // Adds one pair at the end of the file's lists.
    static bool AppendJsonData(const QString& path, const QString& command, const QString& description);
    // Writes both lists as the whole file.
    static bool WriteLists(const QString& path, const QVector<QString>& commands,
                           const QVector<QString>& descriptions);

    // The pairs of an object. A command that is not a string is left out
    // together with the description at its index, so the pairs never slip;
    // a missing or non-string description reads as empty.
    static void ExtractLists(const QJsonObject& obj, QVector<QString>* commands,
                             QVector<QString>* descriptions);
};

#endif // ATCOMMANDFILE_H
