#include "manager/SettingManager.h"

#include "commom/DialogSeam.h"
#include "commom/Logger.h"
#include "manager/SimpleSetting.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QStringList>
#include <QTextCodec>
#include <QVariant>

#include <mutex>

std::unique_ptr<SettingManager> SettingManager::m_instance;

namespace {

const char* const kVbsText =
    "' Get the command-line arguments (exe path)\n"
    "Set args = WScript.Arguments\n"
    "\n"
    "' Check if the argument was provided\n"
    "If args.Count > 0 Then\n"
    "    ' Get the path of the exe\n"
    "    exePath = args(0)\n"
    "\n"
    "    ' Create a shell object to run the executable\n"
    "    Set shell = CreateObject(\"WScript.Shell\")\n"
    "\n"
    "    ' Run the executable\n"
    "    shell.Run exePath, 1, False\n"
    "Else\n"
    "    WScript.Echo \"Error: No exe path provided.\"\n"
    "End If";

const char* const kAhrsGroupText =
    "{\n"
    "    \"Board_Version\": \"0\",\n"
    "    \"Temp\": 0.0,\n"
    "    \"Firmware_Version\": 0,\n"
    "    \"Hardware_Version\": 0,\n"
    "    \"Success_Count\": 0,\n"
    "    \"Test_Count\": 0,\n"
    "\"Config_Code\": 0,\n"
    "    \"Imu_Code\": 0,\n"
    "    \"Param_Code\": 0\n"
    "}\n";

struct AtCommand
{
    const char* command;
    const char* description;
};

const AtCommand kAtCommands[] = {
    {"AT+VERSION", "查询版本号"},
    {"AT+CONFIG", "查询参数配置"},
    {"AT+GET_ODR", "查询输出频率"},
    {"AT+GET_ORIENT", "查询当前坐标系"},
    {"AT+GET_LPF", "查询滤波配置"},
    {"AT+GET_BAUD", "查询波特率"},
    {"AT+SET_ORIENT", "设置坐标系"},
    {"AT+SET_LPF", "设置滤波"},
    {"AT+SET_BAUD", "设置波特率"},
    {"AT+SETNO", "停止数据输出"},
    {"AT+SETYES", "开始数据输出"},
    {"AT+SAVE", "保存"},
    {"AT+STREAM_MODE1=1", "设置串口1 输出AHRS"},
    {"AT+ATT_ENABLE", "开启姿态"},
    {"AT+ATT_DISABLE", "关闭姿态"},
    {"AT+SETIIC=1", "PPS开启"},
    {"AT+SET_HEADING=0.0", "航向角置零"},
};

QString AtCommandText()
{
    QString text = QStringLiteral("{\n    \"commands\": [\n");
    const int count = static_cast<int>(sizeof(kAtCommands) / sizeof(kAtCommands[0]));
    for (int i = 0; i < count; ++i) {
        text += QStringLiteral("        \"") + QString::fromUtf8(kAtCommands[i].command) + QStringLiteral("\"")
                + (i + 1 < count ? QStringLiteral(",\n") : QStringLiteral("\n"));
    }
    text += QStringLiteral("    ],\n    \"descriptions\": [\n");
    for (int i = 0; i < count; ++i) {
        text += QStringLiteral("        \"") + QString::fromUtf8(kAtCommands[i].description) + QStringLiteral("\"")
                + (i + 1 < count ? QStringLiteral(",\n") : QStringLiteral("\n"));
    }
    text += QStringLiteral("    ]\n}\n");
    return text;
}

const char* const kGroupVersion = "version";
const char* const kGroupAhrs = "ahrsGroup";
const char* const kGroupUpgrade = "upgrade";
const char* const kGroupHistory = "file_history_path";
const char* const kGroupSerialAssistant = "serialAssistantGroup";
const char* const kGroupPortsOrder = "portsOrder";

std::mutex g_instanceMutex;

} // namespace

SettingManager* SettingManager::GetInstance()
{
    // The update worker may ask from its own thread; creating twice would
    // run the first-start work twice.
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    if (!m_instance) {
        m_instance.reset(new SettingManager());
    }
    return m_instance.get();
}

QString SettingManager::ConfigDir()
{
    return QCoreApplication::applicationDirPath() + "/config";
}

SettingManager::SettingManager()
{
    const QString configDir = ConfigDir();
    QDir dir(configDir);
    if (!dir.exists()) {
        dir.mkpath(QStringLiteral("."));
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, configDir);
    const QString iniPath = configDir + "/" + "config.ini";
    m_setting = new SimpleSetting(iniPath);
    const QString status = m_setting->StatusText();
    if (!status.isEmpty()) {
        // An unreadable file is left as it is; the user hears why the
        // program starts without the stored settings.
        ReportSaveFailure(QStringLiteral("配置文件无法读取，设置将不能保存：%1（%2）").arg(iniPath, status));
    }

    if (!QFile::exists(iniPath)) {
        Init(configDir);
        return;
    }
    if (!QDir(configDir + "/update").exists()) {
        InitVbs(configDir);
    }
    if (!QDir(configDir + "/AhrsGroup").exists()) {
        InitAhrsGroup(configDir);
    }
    if (!QDir(configDir + "/SerialAssistantGroup").exists()) {
        InitSerialAssistantATConfig(configDir);
    }
}

SettingManager::~SettingManager()
{
    delete m_setting;
}

void SettingManager::Init(const QString& configDir)
{
    SetBaudIndex(0);
    SetVersion(QStringLiteral("1.0.0"));
    InitVbs(configDir);
    InitAhrsGroup(configDir);
    InitSerialAssistantATConfig(configDir);
    const QString name = QCoreApplication::applicationName();
    LOG_DEBUG() << "info app name:" << name + ".exe";
    SetAppName(name + ".exe");
}

bool SettingManager::WriteDefaultFile(const QString& folder, const QString& fileName, const QByteArray& bytes)
{
    QDir().mkpath(folder);
    // Written aside and renamed into place: a crash mid-write must not leave
    // a half file in a folder that later starts would take as complete.
    QSaveFile file(folder + "/" + fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qDebug() << "Failed to open file for writing";
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qDebug() << "Failed to write file" << file.fileName() << file.errorString();
        return false;
    }
    return true;
}

void SettingManager::InitVbs(const QString& configDir)
{
    const QString folder = configDir + "/update";
    if (WriteDefaultFile(folder, QStringLiteral("update.vbs"), QByteArray(kVbsText))) {
        SetUpDateVbsPath(folder + "/update.vbs");
    }
}

void SettingManager::InitAhrsGroup(const QString& configDir)
{
    const QString folder = configDir + "/AhrsGroup";
    if (WriteDefaultFile(folder, QStringLiteral("config.json"), QByteArray(kAhrsGroupText))) {
        SetAhrsGroupConfigPath(folder + "/config.json");
    }
}

void SettingManager::InitSerialAssistantATConfig(const QString& configDir)
{
    const QString folder = configDir + "/SerialAssistantGroup";
    QTextCodec* gbk = QTextCodec::codecForName("GBK");
    const QString text = AtCommandText();
    const QByteArray bytes = gbk != nullptr ? gbk->fromUnicode(text) : text.toUtf8();
    if (WriteDefaultFile(folder, QStringLiteral("at_command.json"), bytes)) {
        SetSerialAssistantATConfigPath(folder + "/at_command.json");
    }
}

void SettingManager::SetText(const QString& group, const QString& key, const QString& value)
{
    Store(group, key, value);
}

void SettingManager::Store(const QString& group, const QString& key, const QVariant& value)
{
    if (!m_setting->SetValue(group, key, value)) {
        ReportSaveFailure(QStringLiteral("设置未能保存：%1（%2）").arg(m_setting->Path(), m_setting->StatusText()));
    }
}

void SettingManager::ReportSaveFailure(const QString& text)
{
    LOG_WARN() << text;
    m_save_error = text;
    if (m_failure_shown.exchange(true)) {
        return;
    }
    // Settings change on any thread: the box is shown by the GUI thread,
    // and only where there is one.
    QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app) {
        QMetaObject::invokeMethod(
            app, [text]() { DialogSeam::ShowWarning(nullptr, QStringLiteral("警告"), text); },
            Qt::QueuedConnection);
    }
}

QString SettingManager::GetText(const QString& group, const QString& key)
{
    return m_setting->Value(group, key, QVariant()).toString();
}

void SettingManager::SetVersion(const QString& value) { SetText(kGroupVersion, "number", value); }
QString SettingManager::GetVersion() { return GetText(kGroupVersion, "number"); }

void SettingManager::SetUpDateVbsPath(const QString& value) { SetText(kGroupVersion, "updateVbsPath", value); }
QString SettingManager::GetUpDateVbsPath()
{
    QString path = GetText(kGroupVersion, "updateVbsPath");
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return path;
}

void SettingManager::SetMainConfigPath(const QString& value) { SetText("mainConfigPathGroup", "mainConfigDir", value); }
QString SettingManager::GetMainConfigPath() { return GetText("mainConfigPathGroup", "mainConfigDir"); }

void SettingManager::SetAppName(const QString& value) { SetText("exe_info", "exe_name", value); }
QString SettingManager::GetAppName() { return GetText("exe_info", "exe_name"); }

void SettingManager::SetAhrsGroupConfigPath(const QString& value) { SetText(kGroupAhrs, "ahrsGroupPath", value); }
QString SettingManager::GetAhrsGroupConfigPath() { return GetText(kGroupAhrs, "ahrsGroupPath"); }

void SettingManager::SetBaudIndex(int value) { Store("port", "baudIndex", value); }
int SettingManager::GetBaudIndex() { return m_setting->Value("port", "baudIndex", QVariant()).toInt(); }

void SettingManager::SetCustomBaud(const QString& value) { SetText("port", "customBaud", value); }
QString SettingManager::GetCustomBaud() { return GetText("port", "customBaud"); }

void SettingManager::SetPreCrcPath(const QString& value) { SetText(kGroupUpgrade, "pre_crc_path", value); }
QString SettingManager::GetPreCrcPath() { return GetText(kGroupUpgrade, "pre_crc_path"); }

void SettingManager::SetPreSaveCryptPath(const QString& value) { SetText(kGroupUpgrade, "pre_save_crypt_path", value); }
QString SettingManager::GetPreSaveCryptPath() { return GetText(kGroupUpgrade, "pre_save_crypt_path"); }

void SettingManager::SetPreCryptPath(const QString& value) { SetText(kGroupUpgrade, "pre_crypt_path", value); }
QString SettingManager::GetPreCryptPath() { return GetText(kGroupUpgrade, "pre_crypt_path"); }

void SettingManager::SetPreSaveParamTableConfigPath(const QString& value)
{
    SetText(kGroupHistory, "param_table_config_path", value);
}
QString SettingManager::GetPreSaveParamTableConfigPath() { return GetText(kGroupHistory, "param_table_config_path"); }

void SettingManager::SetPreSaveFirmwarePath(const QString& value) { SetText(kGroupHistory, "firmware_file_path", value); }
QString SettingManager::GetPreSaveFirmwarePath() { return GetText(kGroupHistory, "firmware_file_path"); }

void SettingManager::SetPreAHRSDataSavePath(const QString& value) { SetText(kGroupHistory, "ahrs_data_save_path", value); }
QString SettingManager::GetPreAHRSDataSavePath() { return GetText(kGroupHistory, "ahrs_data_save_path"); }

void SettingManager::SetSerialAssistantATConfigPath(const QString& value)
{
    SetText(kGroupSerialAssistant, "serialAssistantGroup", value);
}
QString SettingManager::GetSerialAssistantATConfigPath() { return GetText(kGroupSerialAssistant, "serialAssistantGroup"); }

void SettingManager::SetPortsOrder(const QMap<QString, int>& order)
{
    for (auto it = order.constBegin(); it != order.constEnd(); ++it) {
        Store(kGroupPortsOrder, it.key(), it.value());
    }
}

QMap<QString, int> SettingManager::GetPortsOrder()
{
    QMap<QString, int> order;
    const QStringList keys = m_setting->ChildKeys(kGroupPortsOrder);
    for (const QString& key : keys) {
        order.insert(key, m_setting->Value(kGroupPortsOrder, key, QVariant()).toInt());
    }
    return order;
}

void InitConfigInfoPath()
{
    const QString configDir = SettingManager::ConfigDir();
    SettingManager* settings = SettingManager::GetInstance();
    settings->SetUpDateVbsPath(configDir + "/update/update.vbs");
    settings->SetAhrsGroupConfigPath(configDir + "/AhrsGroup/config.json");
    settings->SetSerialAssistantATConfigPath(configDir + "/SerialAssistantGroup/at_command.json");
}
