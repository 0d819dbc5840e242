#include <QtTest>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "manager/SettingManager.h"
#include "manager/SimpleSetting.h"

namespace {

QString ConfigDir()
{
    return QCoreApplication::applicationDirPath() + "/config";
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray("<unreadable>");
    }
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Reads "config.ini" as a later process would: a fresh object on the file.
QVariant Stored(const QString& group, const QString& key)
{
    QSettings ini(ConfigDir() + "/config.ini", QSettings::IniFormat);
    return ini.value(group + "/" + key);
}

const QByteArray kExpectedVbs =
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

const QByteArray kExpectedAhrsGroup =
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

// The AT-command table as GBK bytes, the descriptions spelt out byte by byte.
const QByteArray kExpectedAt =
    "{\n"
    "    \"commands\": [\n"
    "        \"AT+VERSION\",\n"
    "        \"AT+CONFIG\",\n"
    "        \"AT+GET_ODR\",\n"
    "        \"AT+GET_ORIENT\",\n"
    "        \"AT+GET_LPF\",\n"
    "        \"AT+GET_BAUD\",\n"
    "        \"AT+SET_ORIENT\",\n"
    "        \"AT+SET_LPF\",\n"
    "        \"AT+SET_BAUD\",\n"
    "        \"AT+SETNO\",\n"
    "        \"AT+SETYES\",\n"
    "        \"AT+SAVE\",\n"
    "        \"AT+STREAM_MODE1=1\",\n"
    "        \"AT+ATT_ENABLE\",\n"
    "        \"AT+ATT_DISABLE\",\n"
    "        \"AT+SETIIC=1\",\n"
    "        \"AT+SET_HEADING=0.0\"\n"
    "    ],\n"
    "    \"descriptions\": [\n"
    "        \"\xB2\xE9\xD1\xAF\xB0\xE6\xB1\xBE\xBA\xC5\",\n"       // 查询版本号
    "        \"\xB2\xE9\xD1\xAF\xB2\xCE\xCA\xFD\xC5\xE4\xD6\xC3\",\n" // 查询参数配置
    "        \"\xB2\xE9\xD1\xAF\xCA\xE4\xB3\xF6\xC6\xB5\xC2\xCA\",\n" // 查询输出频率
    "        \"\xB2\xE9\xD1\xAF\xB5\xB1\xC7\xB0\xD7\xF8\xB1\xEA\xCF\xB5\",\n" // 查询当前坐标系
    "        \"\xB2\xE9\xD1\xAF\xC2\xCB\xB2\xA8\xC5\xE4\xD6\xC3\",\n" // 查询滤波配置
    "        \"\xB2\xE9\xD1\xAF\xB2\xA8\xCC\xD8\xC2\xCA\",\n"         // 查询波特率
    "        \"\xC9\xE8\xD6\xC3\xD7\xF8\xB1\xEA\xCF\xB5\",\n"         // 设置坐标系
    "        \"\xC9\xE8\xD6\xC3\xC2\xCB\xB2\xA8\",\n"                 // 设置滤波
    "        \"\xC9\xE8\xD6\xC3\xB2\xA8\xCC\xD8\xC2\xCA\",\n"         // 设置波特率
    "        \"\xCD\xA3\xD6\xB9\xCA\xFD\xBE\xDD\xCA\xE4\xB3\xF6\",\n" // 停止数据输出
    "        \"\xBF\xAA\xCA\xBC\xCA\xFD\xBE\xDD\xCA\xE4\xB3\xF6\",\n" // 开始数据输出
    "        \"\xB1\xA3\xB4\xE6\",\n"                                 // 保存
    "        \"\xC9\xE8\xD6\xC3\xB4\xAE\xBF\xDA" "1 \xCA\xE4\xB3\xF6" "AHRS\",\n" // 设置串口1 输出AHRS
    "        \"\xBF\xAA\xC6\xF4\xD7\xCB\xCC\xAC\",\n"                 // 开启姿态
    "        \"\xB9\xD8\xB1\xD5\xD7\xCB\xCC\xAC\",\n"                 // 关闭姿态
    "        \"PPS\xBF\xAA\xC6\xF4\",\n"                              // PPS开启
    "        \"\xBA\xBD\xCF\xF2\xBD\xC7\xD6\xC3\xC1\xE3\"\n"          // 航向角置零
    "    ]\n"
    "}\n";

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    // A case may leave "config" as a plain file when it fails half-way.
    void init()
    {
        QDir(ConfigDir()).removeRecursively();
        QFile::remove(ConfigDir());
    }
    void cleanupTestCase() { init(); }

    void firstStartWritesDefaults()
    {
        QVERIFY(!QDir(ConfigDir()).exists());
        {
            SettingManager settings;
            QCOMPARE(settings.GetBaudIndex(), 0);
            QCOMPARE(settings.GetVersion(), QString("1.0.0"));
            QCOMPARE(settings.GetPreCrcPath(), QString());
        }
        QVERIFY(QFile::exists(ConfigDir() + "/config.ini"));
        QCOMPARE(Stored("port", "baudIndex").toInt(), 0);
        QVERIFY(Stored("port", "baudIndex").isValid());
        QCOMPARE(Stored("version", "number").toString(), QString("1.0.0"));
        QCOMPARE(Stored("exe_info", "exe_name").toString(), QCoreApplication::applicationName() + ".exe");
        QCOMPARE(Stored("version", "updateVbsPath").toString(), ConfigDir() + "/update/update.vbs");
        QCOMPARE(Stored("ahrsGroup", "ahrsGroupPath").toString(), ConfigDir() + "/AhrsGroup/config.json");
        QCOMPARE(Stored("serialAssistantGroup", "serialAssistantGroup").toString(),
                 ConfigDir() + "/SerialAssistantGroup/at_command.json");

        QCOMPARE(ReadAll(ConfigDir() + "/update/update.vbs"), kExpectedVbs);
        QCOMPARE(ReadAll(ConfigDir() + "/AhrsGroup/config.json"), kExpectedAhrsGroup);
        QCOMPARE(ReadAll(ConfigDir() + "/SerialAssistantGroup/at_command.json"), kExpectedAt);
    }

    void laterStartRewritesOnlyMissingFolders()
    {
        { SettingManager first; }
        const QString ahrsFile = ConfigDir() + "/AhrsGroup/config.json";
        const QString atFile = ConfigDir() + "/SerialAssistantGroup/at_command.json";
        QVERIFY(QFile::remove(ahrsFile));
        WriteAll(atFile, "{\"commands\": [], \"descriptions\": []}");

        { SettingManager second; }
        QVERIFY(!QFile::exists(ahrsFile)); // its folder is still there
        QCOMPARE(ReadAll(atFile), QByteArray("{\"commands\": [], \"descriptions\": []}"));

        QVERIFY(QDir(ConfigDir() + "/AhrsGroup").removeRecursively());
        { SettingManager third; }
        QCOMPARE(ReadAll(ahrsFile), kExpectedAhrsGroup);
        QCOMPARE(ReadAll(atFile), QByteArray("{\"commands\": [], \"descriptions\": []}"));
    }

    void deletedIniRewritesEverything()
    {
        {
            SettingManager first;
            first.SetBaudIndex(4);
        }
        const QString atFile = ConfigDir() + "/SerialAssistantGroup/at_command.json";
        WriteAll(atFile, "edited");
        WriteAll(ConfigDir() + "/update/update.vbs", "edited");
        QVERIFY(QFile::remove(ConfigDir() + "/config.ini"));
        { SettingManager second; }
        QCOMPARE(ReadAll(atFile), kExpectedAt);
        QCOMPARE(ReadAll(ConfigDir() + "/update/update.vbs"), kExpectedVbs);
        QCOMPARE(Stored("port", "baudIndex").toInt(), 0);
    }

    void pathKeysRewrittenAtEveryStart()
    {
        SettingManager* settings = SettingManager::GetInstance();
        settings->SetUpDateVbsPath("/elsewhere/u.vbs");
        settings->SetAhrsGroupConfigPath("/elsewhere/a.json");
        settings->SetSerialAssistantATConfigPath("/elsewhere/at.json");
        QVERIFY(QDir(ConfigDir() + "/AhrsGroup").removeRecursively());
        InitConfigInfoPath();
        QCOMPARE(Stored("version", "updateVbsPath").toString(), ConfigDir() + "/update/update.vbs");
        QCOMPARE(Stored("ahrsGroup", "ahrsGroupPath").toString(), ConfigDir() + "/AhrsGroup/config.json");
        QCOMPARE(Stored("serialAssistantGroup", "serialAssistantGroup").toString(),
                 ConfigDir() + "/SerialAssistantGroup/at_command.json");
        QCOMPARE(settings->GetAhrsGroupConfigPath(), ConfigDir() + "/AhrsGroup/config.json");
        // Only the paths: the missing file is not written back.
        QVERIFY(!QFile::exists(ConfigDir() + "/AhrsGroup/config.json"));
    }

    void gettersAndSetters()
    {
        SettingManager settings;
        QCOMPARE(settings.GetPreCrcPath(), QString());
        QCOMPARE(settings.GetPreAHRSDataSavePath(), QString());
        settings.SetUpDateVbsPath("C:/app/config/update/update.vbs");
        QCOMPARE(settings.GetUpDateVbsPath(), QString("C:\\app\\config\\update\\update.vbs"));

        settings.SetPreCrcPath("/data/固件/crc");
        settings.SetPreSaveCryptPath("/a");
        settings.SetPreCryptPath("/b");
        settings.SetPreSaveParamTableConfigPath("/c");
        settings.SetPreSaveFirmwarePath("/d");
        settings.SetPreAHRSDataSavePath("/e");
        settings.SetMainConfigPath("/f");
        settings.SetBaudIndex(7);
        settings.SetCustomBaud("300");
        // Written through at once: another reader of the file sees them now.
        QCOMPARE(Stored("upgrade", "pre_crc_path").toString(), QString("/data/固件/crc"));
        QCOMPARE(Stored("upgrade", "pre_save_crypt_path").toString(), QString("/a"));
        QCOMPARE(Stored("upgrade", "pre_crypt_path").toString(), QString("/b"));
        QCOMPARE(Stored("file_history_path", "param_table_config_path").toString(), QString("/c"));
        QCOMPARE(Stored("file_history_path", "firmware_file_path").toString(), QString("/d"));
        QCOMPARE(Stored("file_history_path", "ahrs_data_save_path").toString(), QString("/e"));
        QCOMPARE(Stored("mainConfigPathGroup", "mainConfigDir").toString(), QString("/f"));
        QCOMPARE(Stored("port", "baudIndex").toInt(), 7);
        QCOMPARE(Stored("port", "customBaud").toString(), QString("300"));
        QCOMPARE(settings.GetCustomBaud(), QString("300"));
        QCOMPARE(settings.GetPreCrcPath(), QString("/data/固件/crc"));
        QCOMPARE(settings.GetBaudIndex(), 7);

        settings.SetPortsOrder({{"ttyS0", 2}, {"ttyUSB1", 1}});
        const QMap<QString, int> order = settings.GetPortsOrder();
        QCOMPARE(order.value("ttyS0"), 2);
        QCOMPARE(order.value("ttyUSB1"), 1);
        QCOMPARE(order.size(), 2);
    }

    void unwritableDefaultFileIsSkipped()
    {
        // A folder where the updater script should go: it cannot be written,
        // and its path is not stored by its writer.
        QVERIFY(QDir().mkpath(ConfigDir() + "/update/update.vbs"));
        { SettingManager settings; }
        QVERIFY(!Stored("version", "updateVbsPath").isValid());
        QCOMPARE(ReadAll(ConfigDir() + "/AhrsGroup/config.json"), kExpectedAhrsGroup);
        QCOMPARE(Stored("version", "number").toString(), QString("1.0.0"));
    }

    // A "config" that is a plain file (so nothing can be written in it) or a
    // "config.ini" that cannot be read: every change reports why it was not
    // saved, and what is there stays as it was.
    void unsavedChangesAreReported()
    {
        WriteAll(QCoreApplication::applicationDirPath() + "/config", "not a folder");
        {
            SettingManager settings;
            settings.SetBaudIndex(3);
            QCOMPARE(settings.SaveError(), "设置未能保存：" + ConfigDir() + "/config.ini（配置文件无法读写）");
        }
        QCOMPARE(ReadAll(QCoreApplication::applicationDirPath() + "/config"), QByteArray("not a folder"));
        QVERIFY(QFile::remove(QCoreApplication::applicationDirPath() + "/config"));

        QVERIFY(QDir().mkpath(ConfigDir() + "/config.ini"));
        SettingManager settings;
        QCOMPARE(settings.SaveError(), "设置未能保存：" + ConfigDir() + "/config.ini（配置文件无法读写）");
        QVERIFY(QFileInfo(ConfigDir() + "/config.ini").isDir());
    }

    // Every setter goes through the checked store: with the folder turned
    // into a plain file after start-up, each one says why it was not saved.
    void everySetterReportsUnsavedChange_data()
    {
        QTest::addColumn<int>("setter");
        const char* const names[] = {"version", "updateVbsPath", "mainConfigDir", "exe_name", "ahrsGroupPath",
                                     "baudIndex", "customBaud", "pre_crc_path", "pre_save_crypt_path",
                                     "pre_crypt_path", "param_table_config_path", "firmware_file_path",
                                     "ahrs_data_save_path", "serialAssistantGroup", "portsOrder"};
        for (int i = 0; i < int(sizeof names / sizeof names[0]); ++i) {
            QTest::newRow(names[i]) << i;
        }
    }
    void everySetterReportsUnsavedChange()
    {
        QFETCH(int, setter);
        const std::function<void(SettingManager&)> setters[] = {
            [](SettingManager& s) { s.SetVersion("2"); },
            [](SettingManager& s) { s.SetUpDateVbsPath("/u"); },
            [](SettingManager& s) { s.SetMainConfigPath("/m"); },
            [](SettingManager& s) { s.SetAppName("a"); },
            [](SettingManager& s) { s.SetAhrsGroupConfigPath("/g"); },
            [](SettingManager& s) { s.SetBaudIndex(5); },
            [](SettingManager& s) { s.SetCustomBaud("300"); },
            [](SettingManager& s) { s.SetPreCrcPath("/c"); },
            [](SettingManager& s) { s.SetPreSaveCryptPath("/s"); },
            [](SettingManager& s) { s.SetPreCryptPath("/p"); },
            [](SettingManager& s) { s.SetPreSaveParamTableConfigPath("/t"); },
            [](SettingManager& s) { s.SetPreSaveFirmwarePath("/f"); },
            [](SettingManager& s) { s.SetPreAHRSDataSavePath("/d"); },
            [](SettingManager& s) { s.SetSerialAssistantATConfigPath("/at"); },
            [](SettingManager& s) { s.SetPortsOrder({{"ttyS0", 1}}); },
        };
        SettingManager settings;
        QCOMPARE(settings.SaveError(), QString());
        QVERIFY(QDir(ConfigDir()).removeRecursively());
        WriteAll(ConfigDir(), "not a folder");
        setters[setter](settings);
        QCOMPARE(settings.SaveError(), "设置未能保存：" + ConfigDir() + "/config.ini（配置文件无法读写）");
    }

    // Once the folder can be written again, the next change is saved with
    // the one that was not, and is not reported as failed.
    void changesSavedOnceWritableAgain()
    {
        WriteAll(ConfigDir(), "not a folder");
        SimpleSetting setting(ConfigDir() + "/config.ini");
        QVERIFY(!setting.SetValue("port", "baudIndex", 3));
        QVERIFY(QFile::remove(ConfigDir()) && QDir().mkpath(ConfigDir()));
        QVERIFY(setting.SetValue("version", "number", "2.0.0"));
        QCOMPARE(setting.StatusText(), QString());
        const QByteArray saved = ReadAll(ConfigDir() + "/config.ini");
        QVERIFY2(saved.contains("[port]\nbaudIndex=3\n") && saved.contains("[version]\nnumber=2.0.0\n"), saved);
    }

    void manyThreadsShareOneSettingsFile()
    {
        SimpleSetting setting(ConfigDir() + "/threads.ini");
        QDir().mkpath(ConfigDir());
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&setting, t]() {
                for (int i = 0; i < 25; ++i) {
                    setting.SetValue(QString("g%1").arg(t), QString("k%1").arg(i), i * 10 + t);
                    setting.Value(QString("g%1").arg((t + 1) % 8), QString("k%1").arg(i), 0);
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        QSettings check(ConfigDir() + "/threads.ini", QSettings::IniFormat);
        for (int t = 0; t < 8; ++t) {
            for (int i = 0; i < 25; ++i) {
                QCOMPARE(check.value(QString("g%1/k%2").arg(t).arg(i)).toInt(), i * 10 + t);
            }
        }
        QVERIFY(setting.Containts("g3", "k4"));
        setting.Remove("g3", "k4");
        QVERIFY(!setting.Containts("g3", "k4"));
        QCOMPARE(setting.ChildKeys("g3").size(), 24);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
