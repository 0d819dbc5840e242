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
    // object; each case leaves a warning in the log. unreadable tells a file
    // that is there but cannot be used from a missing one.
    static QJsonObject ReadJson(const QString& path, bool* unreadable = nullptr);
    // Replaces the whole file with the object's indented text; the old file
    // stays as it was on any failure. False (logged, and the reason in
    // error) when it could not be written.
    static bool WriteJson(const QString& path, const QJsonObject& obj, QString* error = nullptr);
    // Adds one pair at the end of the file's lists. A file that is there but
    // cannot be read is left alone: false.
    static bool AppendJsonData(const QString& path, const QString& command, const QString& description,
                               QString* error = nullptr);
    // Writes both lists as the whole file.
    static bool WriteLists(const QString& path, const QVector<QString>& commands,
                           const QVector<QString>& descriptions, QString* error = nullptr);
    // What the user is told about a file that cannot be read.
    static QString UnreadableText(const QString& path);

    // The pairs of an object. A command that is not a string is left out
    // together with the description at its index, so the pairs never slip;
    // a missing or non-string description reads as empty.
    static void ExtractLists(const QJsonObject& obj, QVector<QString>* commands,
                             QVector<QString>* descriptions);
};

#endif // ATCOMMANDFILE_H
