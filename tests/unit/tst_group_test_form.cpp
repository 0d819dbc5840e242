#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "commom/DialogSeam.h"
#include "commom/StartUp.h"
#include "manager/SettingManager.h"
#include "widgets/singleTools/ahrsGroupPage/AHRSGroupCommonWidget.h"

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

const QByteArray kFile =
    "{\n"
    "    \"Board_Version\": \"AB12\",\n"
    "    \"Temp\": 25.5,\n"
    "    \"Firmware_Version\": 1001,\n"
    "    \"Hardware_Version\": 7,\n"
    "    \"Success_Count\": 3,\n"
    "    \"Test_Count\": 5,\n"
    "    \"Config_Code\": 1,\n"
    "    \"Imu_Code\": 2,\n"
    "    \"Param_Code\": 4,\n"
    "    \"Operator\": \"wang\"\n"
    "}\n";

} // namespace

class TestGroupTestForm : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    QString m_oldPath;

    QLineEdit* Edit(QWidget& w, const char* name) { return w.findChild<QLineEdit*>(name); }

    void Fill(QWidget& w, const QString& temp, const QString& board, const QString& fw, const QString& hw,
              const QString& cfg, const QString& imu, const QString& param)
    {
        Edit(w, "lineEdi_temp")->setText(temp);
        Edit(w, "lineEdit_board_version")->setText(board);
        Edit(w, "lineEdit_firmware_version")->setText(fw);
        Edit(w, "lineEdit_hard_version")->setText(hw);
        Edit(w, "lineEdit_config_code")->setText(cfg);
        Edit(w, "lineEdit_imu_code")->setText(imu);
        Edit(w, "lineEdit_param_code")->setText(param);
    }

    void Confirm(QWidget& w) { w.findChild<QPushButton*>("pushButton")->click(); }

    QStringList Messages()
    {
        QStringList out;
        for (const DialogSeam::Request& r : DialogSeam::Requests()) {
            out << (r.kind == DialogSeam::Warning ? "W:" : "?:") + r.title + "/" + r.text;
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        InitCorvantaResources();
        DialogSeam::SetScripted(true);
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath("config.json");
        m_oldPath = SettingManager::GetInstance()->GetAhrsGroupConfigPath();
        SettingManager::GetInstance()->SetAhrsGroupConfigPath(m_path);
    }

    void cleanupTestCase() { SettingManager::GetInstance()->SetAhrsGroupConfigPath(m_oldPath); }

    void init()
    {
        DialogSeam::ClearRequests();
        WriteAll(m_path, kFile);
    }

    void readsEveryFieldAndHidesTheCounts()
    {
        AHRSGroupCommonWidget w(nullptr);
        QVERIFY(w.isHidden());
        QCOMPARE(w.ReadConfig(), 0);
        QCOMPARE(Edit(w, "lineEdi_temp")->text(), QString("25.5"));
        QCOMPARE(Edit(w, "lineEdit_board_version")->text(), QString("AB12"));
        QCOMPARE(Edit(w, "lineEdit_firmware_version")->text(), QString("1001"));
        QCOMPARE(Edit(w, "lineEdit_hard_version")->text(), QString("7"));
        QCOMPARE(Edit(w, "lineEdit_config_code")->text(), QString("1"));
        QCOMPARE(Edit(w, "lineEdit_imu_code")->text(), QString("2"));
        QCOMPARE(Edit(w, "lineEdit_param_code")->text(), QString("4"));
        QCOMPARE(Edit(w, "lineEdit_test_count")->text(), QString("5"));
        QCOMPARE(Edit(w, "lineEdit_success_count")->text(), QString("3"));
        w.show();
        QVERIFY(!Edit(w, "lineEdit_test_count")->isVisible());
        QVERIFY(!Edit(w, "lineEdit_success_count")->isVisible());
        QVERIFY(!w.findChild<QLabel*>("label_5")->isVisible());
        QVERIFY(!w.findChild<QLabel*>("label_6")->isVisible());
        QVERIFY(Edit(w, "lineEdit_param_code")->isVisible());
        QCOMPARE(w.findChild<QLabel*>("label")->text(), QString("温    度"));
        QCOMPARE(w.findChild<QPushButton*>("pushButton")->text(), QString("确认"));
    }

    void saveWritesTheNineKeysExactlyAndKeepsTheCounts()
    {
        AHRSGroupCommonWidget w(nullptr);
        QSignalSpy reload(&w, &AHRSGroupCommonWidget::ReloadConfig);
        QCOMPARE(w.ReadConfig(), 0);
        w.show();
        Fill(w, "25.1", "  ", "1002", "8", "0", "3", "9");
        Confirm(w);
        QCOMPARE(Messages(), QStringList{"W:提示/设置成功"});
        QCOMPARE(reload.count(), 1);
        QVERIFY(w.isHidden());
        // The temperature is stored as the single-precision value; the extra
        // key is gone; the counts are those of the file.
        const QByteArray expected =
            "{\n"
            "    \"Board_Version\": \"  \",\n"
            "    \"Config_Code\": 0,\n"
            "    \"Firmware_Version\": 1002,\n"
            "    \"Hardware_Version\": 8,\n"
            "    \"Imu_Code\": 3,\n"
            "    \"Param_Code\": 9,\n"
            "    \"Success_Count\": 3,\n"
            "    \"Temp\": 25.100000381469727,\n"
            "    \"Test_Count\": 5\n"
            "}\n";
        QCOMPARE(ReadAll(m_path), expected);
    }

    void refusalsComeInOrderAndWriteNothing_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message");
        QTest::newRow("no temp") << QStringList{"", "", "", "", "", "", ""} << "温度不能小于0";
        QTest::newRow("negative temp") << QStringList{"-0.5", "A", "1", "1", "0", "0", "0"} << "温度不能小于0";
        QTest::newRow("no board") << QStringList{"20", "", "1", "1", "0", "0", "0"} << "底板版本号不能为空";
        QTest::newRow("default firmware") << QStringList{"20", "0", "0", "1", "0", "0", "0"}
                                          << "固件版本号必须大于0";
        QTest::newRow("no firmware") << QStringList{"20", "0", "", "1", "0", "0", "0"} << "固件版本号必须大于0";
        QTest::newRow("default hardware") << QStringList{"20", "0", "1", "0", "0", "0", "0"}
                                          << "硬件版本号必须大于0";
        QTest::newRow("no config code") << QStringList{"20", "0", "1", "1", "", "", ""} << "配置故障码不能为空";
        QTest::newRow("no param code") << QStringList{"20", "0", "1", "1", "0", "0", ""} << "参数故障码不能为空";
        QTest::newRow("no imu code") << QStringList{"20", "0", "1", "1", "0", "", "0"} << "IMU故障码不能为空";
    }

    void refusalsComeInOrderAndWriteNothing()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        AHRSGroupCommonWidget w(nullptr);
        QSignalSpy reload(&w, &AHRSGroupCommonWidget::ReloadConfig);
        w.ReadConfig();
        w.show();
        Fill(w, fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6]);
        Confirm(w);
        QCOMPARE(Messages(), QStringList{"W:警告/" + message});
        QCOMPARE(reload.count(), 0);
        QVERIFY(w.isVisible());
        QCOMPARE(ReadAll(m_path), kFile);
    }

    void successAboveTestCountIsRefusedUntilTheFileIsCorrected()
    {
        WriteAll(m_path, "{\"Test_Count\": 2, \"Success_Count\": 3}");
        AHRSGroupCommonWidget w(nullptr);
        QCOMPARE(w.ReadConfig(), 0);
        Fill(w, "20", "0", "1", "1", "0", "0", "0");
        Confirm(w);
        QCOMPARE(Messages(), QStringList{"W:警告/成功次数不能大于测试次数"});
        QCOMPARE(ReadAll(m_path), QByteArray("{\"Test_Count\": 2, \"Success_Count\": 3}"));
    }

    void temperatureThatIsNotANumberIsStoredAsZero()
    {
        AHRSGroupCommonWidget w(nullptr);
        w.ReadConfig();
        Fill(w, "warm", "B", "1", "1", "0", "0", "0");
        Confirm(w);
        QCOMPARE(Messages(), QStringList{"W:提示/设置成功"});
        QVERIFY(ReadAll(m_path).contains("\"Temp\": 0,\n"));
    }

    void onlyDigitsCanBeTypedIntoTheNumberFields()
    {
        AHRSGroupCommonWidget w(nullptr);
        w.show();
        QLineEdit* fw = Edit(w, "lineEdit_firmware_version");
        fw->clear();
        QTest::keyClicks(fw, "1a-2.3");
        QCOMPARE(fw->text(), QString("123"));
        QLineEdit* temp = Edit(w, "lineEdi_temp");
        temp->clear();
        QTest::keyClicks(temp, "-1.5");
        QCOMPARE(temp->text(), QString("-1.5"));
    }

    void damagedFileIsNotReadButRepairedBySave()
    {
        WriteAll(m_path, "{ broken");
        AHRSGroupCommonWidget w(nullptr);
        Fill(w, "1", "b", "2", "3", "4", "5", "6");
        QCOMPARE(w.ReadConfig(), -1);
        QCOMPARE(Edit(w, "lineEdit_firmware_version")->text(), QString("2"));
        Edit(w, "lineEdit_test_count")->setText("0");
        Edit(w, "lineEdit_success_count")->setText("0");
        Confirm(w);
        QCOMPARE(Messages(), QStringList{"W:提示/设置成功"});
        QCOMPARE(w.ReadConfig(), 0);
        QVERIFY(ReadAll(m_path).contains("\"Param_Code\": 6,\n"));
    }

    void missingFileIsCreatedEmptyAndFilledBySave()
    {
        QFile::remove(m_path);
        AHRSGroupCommonWidget w(nullptr);
        QCOMPARE(w.ReadConfig(), -1);
        QVERIFY(QFile::exists(m_path));
        QCOMPARE(ReadAll(m_path), QByteArray());
        QCOMPARE(w.ModifyConfig(1.5, 1, 2, "x", 0, 0, 0, 0, 0), 0);
        QCOMPARE(w.ReadConfig(), 0);
        QCOMPARE(Edit(w, "lineEdi_temp")->text(), QString("1.5"));
    }

    void unwritableFileReportsFailureAndStaysOpen()
    {
        const QString dirPath = m_dir.filePath("adir");
        QVERIFY(QDir().mkpath(dirPath));
        SettingManager::GetInstance()->SetAhrsGroupConfigPath(dirPath);
        AHRSGroupCommonWidget w(nullptr);
        SettingManager::GetInstance()->SetAhrsGroupConfigPath(m_path);
        QSignalSpy reload(&w, &AHRSGroupCommonWidget::ReloadConfig);
        w.show();
        Fill(w, "20", "0", "1", "1", "0", "0", "0");
        Confirm(w);
        QCOMPARE(Messages(), QStringList{"W:提示/设置失败"});
        QVERIFY(w.isVisible());
        QCOMPARE(reload.count(), 0);
        QCOMPARE(Edit(w, "lineEdi_temp")->text(), QString("20"));
    }
};

QTEST_MAIN(TestGroupTestForm)
#include "tst_group_test_form.moc"
