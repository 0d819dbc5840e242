#ifndef SETTINGMANAGER_H
#define SETTINGMANAGER_H

#include <QMap>
#include <QString>
#include <QVariant>

#include <atomic>
#include <memory>

#include "commom/LockedString.h"

class SimpleSetting;

// The program's persistent settings ("config.ini" in the "config" folder
// beside the executable) with one getter and one setter per setting. The
// first start writes the defaults and the default configuration files;
// a later start writes a default file again only when its folder is gone.
// Safe to use from any thread; every setter reaches the file at once.
class SettingManager
{
public:
    static SettingManager* GetInstance();

    // Runs the start-up work on the configuration folder (first-run defaults
    // and missing default files). Normally only GetInstance() calls it; a
    // test builds its own to play a start.
    SettingManager();
    ~SettingManager();
    SettingManager(const SettingManager&) = delete;
    SettingManager& operator=(const SettingManager&) = delete;

    // applicationDirPath() + "/config".
    static QString ConfigDir();

    void SetVersion(const QString& value);
    QString GetVersion();

    void SetUpDateVbsPath(const QString& value);
    // The stored path with every "/" turned into a backslash.
    QString GetUpDateVbsPath();

    void SetMainConfigPath(const QString& value);
    QString GetMainConfigPath();

    void SetAppName(const QString& value);
    QString GetAppName();

    void SetAhrsGroupConfigPath(const QString& value);
    QString GetAhrsGroupConfigPath();

    void SetBaudIndex(int value);
    int GetBaudIndex();
    void SetCustomBaud(const QString& value);
    QString GetCustomBaud();

    void SetPreCrcPath(const QString& value);
    QString GetPreCrcPath();

    void SetPreSaveCryptPath(const QString& value);
    QString GetPreSaveCryptPath();

    void SetPreCryptPath(const QString& value);
    QString GetPreCryptPath();

    void SetPreSaveParamTableConfigPath(const QString& value);
    QString GetPreSaveParamTableConfigPath();

    void SetPreSaveFirmwarePath(const QString& value);
    QString GetPreSaveFirmwarePath();

    void SetPreAHRSDataSavePath(const QString& value);
    QString GetPreAHRSDataSavePath();

    void SetSerialAssistantATConfigPath(const QString& value);
    QString GetSerialAssistantATConfigPath();

    void SetPortsOrder(const QMap<QString, int>& order);
    QMap<QString, int> GetPortsOrder();

    // First-run defaults, and the three default files, each written with its
    // folder; a file that cannot be written leaves its path setting alone.
    void Init(const QString& configDir);
    void InitVbs(const QString& configDir);
    void InitAhrsGroup(const QString& configDir);
    void InitSerialAssistantATConfig(const QString& configDir);

    // Why the last change did not reach the settings file, or empty when
    // every change so far was saved. A failure is logged each time and
    // shown to the user once per run.
    QString SaveError() const { return m_save_error.Get(); }

private:
    void SetText(const QString& group, const QString& key, const QString& value);
    void Store(const QString& group, const QString& key, const QVariant& value);
    void ReportSaveFailure(const QString& text);
    QString GetText(const QString& group, const QString& key);
    bool WriteDefaultFile(const QString& folder, const QString& fileName, const QByteArray& bytes);

    SimpleSetting* m_setting = nullptr;
    LockedString m_save_error;
    std::atomic<bool> m_failure_shown{false};

    static std::unique_ptr<SettingManager> m_instance;
};

// Stores the paths of the three default files of the current configuration
// folder, whether or not they exist. Called at every start.
void InitConfigInfoPath();

#endif // SETTINGMANAGER_H
