#ifndef JSONDATAMANAGER_H
#define JSONDATAMANAGER_H

#include <QString>
#include <QStringList>

#include <memory>

// Remembers which tool page was shown last ("display.json" in the config
// folder beside the executable), so that the next start shows it again.
// Keeps nothing in memory: every call goes to the file. GUI thread only.
class JsonDataManager
{
public:
    static JsonDataManager* GetInstance();

    // Non-empty texts of the "display" array, in file order. A missing,
    // unreadable or malformed file gives an empty list.
    QStringList ReadDisplayAreaName();

    // Replaces the file with {"display": [name]}. A file that cannot be
    // written leaves the old one in place; nothing is reported.
    void WriteDisplayAreaName(const QString& name);

    // Full path of "display.json".
    static QString FilePath();

private:
    JsonDataManager() = default;
    friend struct std::default_delete<JsonDataManager>;
    ~JsonDataManager() = default;

    static std::unique_ptr<JsonDataManager> m_instance;
};

#endif // JSONDATAMANAGER_H
