#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "widgets/singleTools/ahrsGroupPage/AHRSGroupCommonWidget.h"
#include "widgets/singleTools/ahrsGroupPage/AHRSGroupWidget.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

namespace {

const QVariantList kStream{3, 1, 0, 0x1234, 0xABCD, 100, 200};
const QVariantList kRecord{3, 3, 0, 0, 0, 0, 0};

const QByteArray kConfig =
    "{\n"
    "    \"Board_Version\": \"AB12\",\n"
    "    \"Temp\": 25.0,\n"
    "    \"Firmware_Version\": 1001,\n"
    "    \"Hardware_Version\": 7,\n"
    "    \"Success_Count\": 3,\n"
    "    \"Test_Count\": 5,\n"
    "    \"Config_Code\": 1,\n"
    "    \"Imu_Code\": 2,\n"
    "    \"Param_Code\": 4\n"
    "}\n";

const QByteArray kHeader = "ax,ay,az,gx,gy,gz,calib_flag_h,calib_flag,config_fcode,ip_filter,temp,imu_fcode,"
                           "software_ver,hardware_ver,board_ver,calibparam_fcode,SN,flag\n";

// A record that meets every expectation of kConfig.
ArrayImuI2cPayloadCalibPublish GoodRecord()
{
    ArrayImuI2cPayloadCalibPublish r{};
    r.calib_flag_h = 4000000000u;
    r.calib_flag = 17;
    r.imu_fcode = 2;
    r.config_fcode = 1;
    r.calibparam_fcode = 4;
    r.ip_filter = 'K';
    r.hardware_ver = 7;
    r.software_ver = (uint64_t(0xDEAD) << 32) | 1001u;
    const uint8_t sn[12] = {0x00, 0x1A, 0xFF, 0x20, 0x31, 0x42, 0x53, 0x64, 0x75, 0x86, 0x97, 0xA8};
    memcpy(r.serial_number, sn, sizeof(sn));
    return r;
}

const QString kSn = "001aff2031425364758697a8";

VersionPayload Board(const char* text)
{
    VersionPayload v{};
    v.board_code = 4242;
    v.board_version = 0;
    for (int i = 0; i < 4 && text[i]; ++i) {
        v.board_version |= uint32_t(uint8_t(text[i])) << (8 * i);
    }
    return v;
}

AhrsData Sample(float temp, float base = 0.0f)
{
    AhrsData d{};
    d.acc_x = base + 0.12345f;
    d.acc_y = base - 1.0f;
    d.acc_z = base + 9.8f;
    d.gyro_x = base + 1.5f;
    d.gyro_y = base - 2.25f;
    d.gyro_z = base;
    d.temperature = temp;
    return d;
}

void ToPage(int id, const QVariant& v1 = QVariant(), const QVariant& v2 = QVariant())
{
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(id, v1, v2);
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QByteArray Gbk(const QString& s)
{
    return QTextCodec::codecForName("GBK")->fromUnicode(s);
}

struct FakeClock
{
    qint64 ns = 5000000000000LL;
    void AdvanceMs(double ms) { ns += static_cast<qint64>(ms * 1e6); }
};

} // namespace

class TestGroupTestPage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    QString m_oldPath;
    QList<QPair<int, QVariantList>> m_sent;
    QStringList m_sentSecond;
    FakeClock m_clock;

    QString Text(QWidget& w, const char* name)
    {
        QLabel* l = w.findChild<QLabel*>(name);
        return l ? l->text() : QString("<missing>");
    }
    QString Style(QWidget& w, const char* name) { return w.findChild<QLabel*>(name)->styleSheet(); }

    void WriteConfig(const QByteArray& data)
    {
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }

    // Shows a sample on the labels (and so sets the temperature).
    void Show(float temp)
    {
        m_clock.AdvanceMs(150);
        ToPage(PAGE_MSG_AHRS_GROUP_DATA, QVariant::fromValue(Sample(temp)));
    }

    void Judge(const ArrayImuI2cPayloadCalibPublish& r, const VersionPayload& v)
    {
        ToPage(PAGE_MSG_AHRS_GROUP_ATTRIBUTES, QVariant::fromValue(r), QVariant::fromValue(v));
    }

    void UsePageClock(AHRSGroupWidget& page)
    {
        page.SetClockSource([this] { return m_clock.ns; });
    }

    QString CsvPath(AHRSGroupWidget& page, const QString& sn) { return page.DataFolder() + "/" + sn + ".csv"; }

    QStringList Dialogs()
    {
        QStringList out;
        for (const DialogSeam::Request& r : DialogSeam::Requests()) {
            out << QString::number(r.kind) + ":" + r.title + "/" + r.text;
        }
        return out;
    }

    void SettleTasks()
    {
        QTRY_COMPARE_WITH_TIMEOUT(AHRSGroupWidget::WaitingTasks(), 0, 3000);
    }

private slots:
    void initTestCase()
    {
        InitCorvantaResources();
        RegsiterMetaType();
        DialogSeam::SetScripted(true);
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath("config.json");
        m_oldPath = SettingManager::GetInstance()->GetAhrsGroupConfigPath();
        SettingManager::GetInstance()->SetAhrsGroupConfigPath(m_path);
        // Queued when the waiting task sends from its pool thread.
        connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU, this,
                [this](int id, QVariant v1, QVariant v2) {
                    m_sent.append({id, v1.toList()});
                    m_sentSecond << v2.toString();
                });
    }

    void cleanupTestCase() { SettingManager::GetInstance()->SetAhrsGroupConfigPath(m_oldPath); }

    void init()
    {
        WriteConfig(kConfig);
        DialogSeam::ClearRequests();
        DialogSeam::SetHandler(nullptr);
        m_sent.clear();
        m_sentSecond.clear();
        g_ahrsGroupOneFlag.store(1);
        QFile::remove(QCoreApplication::applicationDirPath() + "/data/" + kSn + ".csv");
    }

    void cleanup() { SettleTasks(); }

    void constructionShowsTheExpectedValues()
    {
        AHRSGroupWidget page;
        QCOMPARE(page.size(), QSize(944, 588));
        QVERIFY(QDir(page.DataFolder()).exists());
        QCOMPARE(page.DataFolder(), QCoreApplication::applicationDirPath() + "/data");
        QCOMPARE(Text(page, "label_compare_temp"), QString("对照温度：25.00"));
        QCOMPARE(Text(page, "label_compare_software_ver"), QString("对照固件版本：1001"));
        QCOMPARE(Text(page, "label_compare_harware_ver"), QString("对照硬件版本：7"));
        QCOMPARE(Text(page, "label_compare_boad_ver"), QString("对照底板版本：AB12"));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：5"));
        QCOMPARE(Text(page, "label_success_count"), QString("成功次数：3"));
        QCOMPARE(Text(page, "label_failed_count"), QString("失败次数：2"));
        QCOMPARE(Text(page, "label_config_code"), QString("配置故障码：1"));
        QCOMPARE(Text(page, "label_imu_code"), QString("IMU故障码：2"));
        QCOMPARE(Text(page, "label_param_code"), QString("参数故障码：4"));
        QCOMPARE(Text(page, "label_ax"), QString("ACCX：N/A"));
        QCOMPARE(Text(page, "label_hadware_ver"), QString("HARWARE_VER：N/A"));
        QVERIFY(m_sent.isEmpty());
    }

    void allChecksPassWritesSuccessAndCounts()
    {
        AHRSGroupWidget page;
        UsePageClock(page);
        Show(30.0f); // exactly 5 degrees away
        Judge(GoodRecord(), Board("AB12"));
        QCOMPARE(page.FailureCount(), 0);
        QCOMPARE(page.findChild<QLabel*>("label_image")->pixmap(Qt::ReturnByValue).toImage(),
                 QPixmap(":/images/resources/images/ok.png").toImage());
        QCOMPARE(Text(page, "label_sn"), "SN：" + kSn);
        QCOMPARE(Text(page, "label_software_ver"), QString("SOFTWARE_VER：1001"));
        QCOMPARE(Text(page, "label_calib_flag_h"), QString("CALIB_FLAG_H：4000000000"));
        QCOMPARE(Text(page, "label_ip_filter"), QString("IP_FILTER：K"));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：6"));
        QCOMPARE(Text(page, "label_success_count"), QString("成功次数：4"));
        QCOMPARE(Text(page, "label_failed_count"), QString("失败次数：2"));
        // Only the two counts change in the settings file.
        const QByteArray expected = "{\n"
                                    "    \"Board_Version\": \"AB12\",\n"
                                    "    \"Config_Code\": 1,\n"
                                    "    \"Firmware_Version\": 1001,\n"
                                    "    \"Hardware_Version\": 7,\n"
                                    "    \"Imu_Code\": 2,\n"
                                    "    \"Param_Code\": 4,\n"
                                    "    \"Success_Count\": 4,\n"
                                    "    \"Temp\": 25,\n"
                                    "    \"Test_Count\": 6\n"
                                    "}\n";
        QCOMPARE(ReadAll(m_path), expected);
        const QByteArray line = "0.123,-1.000,9.800,1.500,-2.250,0.000,4000000000,17,1,K,30.00,2,1001,7,AB12,4,"
                                + kSn.toLatin1() + ",\xb3\xc9\xb9\xa6\n";
        QCOMPARE(ReadAll(CsvPath(page, kSn)), kHeader + line);
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].first, int(IMU_MSG_MODE_START));
        QCOMPARE(m_sent[0].second, kStream);
        QCOMPARE(m_sentSecond, QStringList{""});
        QFile::remove(CsvPath(page, kSn));
    }

    void temperatureMoreThanFiveDegreesAwayFails()
    {
        AHRSGroupWidget page;
        UsePageClock(page);
        Show(19.99f);
        Judge(GoodRecord(), Board("AB12"));
        QCOMPARE(page.FailureCount(), 1);
        QCOMPARE(Style(page, "label_temp"), QString("background-color: red"));
        QCOMPARE(Style(page, "label_software_ver"), QString(""));
        QCOMPARE(page.findChild<QLabel*>("label_image")->pixmap(Qt::ReturnByValue).toImage(),
                 QPixmap(":/images/resources/images/error.png").toImage());
        QCOMPARE(Text(page, "label_success_count"), QString("成功次数：3"));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：6"));
        const QByteArray csv = ReadAll(CsvPath(page, kSn));
        QVERIFY2(csv.endsWith(",19.99,2,1001,7,AB12,4," + kSn.toLatin1() + "," + Gbk("温度相差大于5度;")
                              + "\n"),
                 csv.constData());
        QFile::remove(CsvPath(page, kSn));
    }

    void notANumberTemperatureFails()
    {
        AHRSGroupWidget page;
        UsePageClock(page);
        Show(std::numeric_limits<float>::quiet_NaN());
        Judge(GoodRecord(), Board("AB12"));
        QCOMPARE(page.FailureCount(), 1);
        QCOMPARE(Style(page, "label_temp"), QString("background-color: red"));
        QFile::remove(CsvPath(page, kSn));
    }

    void flagsAreListedInOrderAndFaultCodesShareOneCounter()
    {
        AHRSGroupWidget page;
        UsePageClock(page);
        Show(25.0f);
        ArrayImuI2cPayloadCalibPublish r = GoodRecord();
        r.software_ver = 1000;
        r.config_fcode = 0;
        Judge(r, Board("AB12"));
        QCOMPARE(page.FailureCount(), 2);
        QVERIFY(ReadAll(CsvPath(page, kSn)).endsWith(Gbk(",固件版本不对;系统错误码错误;\n")));

        r = GoodRecord();
        r.config_fcode = 9;
        r.imu_fcode = 9;
        r.calibparam_fcode = 9;
        r.hardware_ver = 8;
        Judge(r, Board("AB13"));
        QCOMPARE(page.FaultCodeFailures(), 3);
        QCOMPARE(page.FailureCount(), 5);
        QCOMPARE(Style(page, "label_software_ver"), QString("")); // cleared from the first record
        QCOMPARE(Style(page, "label_board_ver"), QString("background-color: red"));
        QCOMPARE(Style(page, "label_imu_fcode"), QString("background-color: red"));
        QCOMPARE(Style(page, "label_calibparam_fcode"), QString("background-color: red"));
        // Same serial number: the file holds the header and the latest line only.
        const QByteArray csv = ReadAll(CsvPath(page, kSn));
        QCOMPARE(csv.count('\n'), 2);
        QVERIFY(csv.startsWith(kHeader));
        QVERIFY(csv.endsWith(Gbk(",AB13,9," + kSn + ",硬件版本不对;底板版本不对;系统错误码错误;\n")));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：7"));

        r = GoodRecord();
        Judge(r, Board("AB12"));
        QCOMPARE(page.FailureCount(), 0);
        for (const char* name : {"label_software_ver", "label_hadware_ver", "label_board_ver", "label_temp",
                                 "label_config_fcode", "label_calibparam_fcode", "label_imu_fcode"}) {
            QCOMPARE(Style(page, name), QString(""));
        }
        QFile::remove(CsvPath(page, kSn));
    }

    void recordOfUnknownTypeIsJudgedAsZeros()
    {
        WriteConfig("{\"Board_Version\": \"0\", \"Test_Count\": 0, \"Success_Count\": 0}");
        AHRSGroupWidget page;
        UsePageClock(page);
        ToPage(PAGE_MSG_AHRS_GROUP_ATTRIBUTES, QVariant(QString("junk")), QVariant());
        // Board version 0 reads "0"; every expectation is zero; the temperature
        // was never shown (0), so the record passes.
        QCOMPARE(page.FailureCount(), 0);
        const QString zeros(24, '0');
        const QByteArray csv = ReadAll(CsvPath(page, zeros));
        QCOMPARE(csv, kHeader + QByteArray("N/A,N/A,N/A,N/A,N/A,N/A,0,0,0,,N/A,0,0,0,0,0,") + zeros.toLatin1()
                          + ",\xb3\xc9\xb9\xa6\n");
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].second, kStream);
        QFile::remove(CsvPath(page, zeros));
    }

    void filterByteKeepsTheColumns_data()
    {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("comma") << int(',') << "IP_FILTER：," << QByteArray(",17,1,\",\",25.00,");
        QTest::newRow("NUL") << 0 << "IP_FILTER：" << QByteArray(",17,1,,25.00,");
    }
    void filterByteKeepsTheColumns()
    {
        QFETCH(int, filter);
        QFETCH(QString, label);
        QFETCH(QByteArray, field);
        AHRSGroupWidget page;
        UsePageClock(page);
        Show(25.0f);
        ArrayImuI2cPayloadCalibPublish r = GoodRecord();
        r.ip_filter = uint8_t(filter);
        Judge(r, Board("AB12"));
        QCOMPARE(Text(page, "label_ip_filter"), label);
        const QByteArray csv = ReadAll(CsvPath(page, kSn));
        QVERIFY2(csv.contains(field), csv.constData());
        QVERIFY(!csv.contains('\0'));
        QFile::remove(CsvPath(page, kSn));
    }

    // A result file that cannot be written is said; verdict and counts stand.
    void unwritableResultFileIsReported()
    {
        AHRSGroupWidget page;
        UsePageClock(page);
        QVERIFY(QDir().mkpath(CsvPath(page, kSn)));
        Show(25.0f);
        Judge(GoodRecord(), Board("AB12"));
        QVERIFY(QDir().rmdir(CsvPath(page, kSn)));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：6"));
        const QList<DialogSeam::Request> req = DialogSeam::Requests();
        QCOMPARE(req.size(), 1);
        QCOMPARE(req[0].title, QString("警告"));
        QVERIFY2(req[0].text.startsWith("测试结果未能保存：文件"), qPrintable(req[0].text));
        QVERIFY(req[0].text.contains(CsvPath(page, kSn)));
        // Neither a folder that cannot be made nor a plain file is used for results.
        QFile plain(m_dir.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        QCOMPARE(AHRSGroupWidget::ChooseDataFolder(plain.fileName(), m_dir.filePath("user/data")),
                 m_dir.filePath("user/data"));
        QVERIFY(QFileInfo(m_dir.filePath("user/data")).isDir());
    }

    void unparseableSettingsAreLeftAloneWhenCounting()
    {
        AHRSGroupWidget page;
        UsePageClock(page);
        WriteConfig("not json");
        QCOMPARE(page.ModifyConfig(1, 1), -1);
        Show(25.0f);
        Judge(GoodRecord(), Board("AB12"));
        QCOMPARE(ReadAll(m_path), QByteArray("not json"));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：6"));
        QVERIFY(Dialogs().isEmpty());
        QFile::remove(CsvPath(page, kSn));
    }

    void firstStartYesRestartsCountsAndWaitsForTemperature()
    {
        g_ahrsGroupOneFlag.store(0);
        AHRSGroupWidget page;
        UsePageClock(page);
        DialogSeam::SetHandler([](const DialogSeam::Request&) { return QVariant(int(QMessageBox::Yes)); });
        ToPage(PAGE_MSG_AHRS_GROUP_STARTED);
        const QList<DialogSeam::Request> req = DialogSeam::Requests();
        QCOMPARE(req.size(), 2);
        QCOMPARE(req[0].kind, DialogSeam::Question);
        QCOMPARE(req[0].title, QString("提示"));
        QCOMPARE(req[0].text, QString("是否重新计数"));
        QCOMPARE(req[0].icon, int(QMessageBox::Warning));
        QCOMPARE(req[1].kind, DialogSeam::Information);
        QCOMPARE(req[1].text, "模式启动成功 数据保存文件夹路径" + page.DataFolder());
        QCOMPARE(g_ahrsGroupOneFlag.load(), 1);
        QVERIFY(ReadAll(m_path).contains("\"Success_Count\": 0,\n"));
        QVERIFY(ReadAll(m_path).contains("\"Test_Count\": 0\n"));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：5")); // refreshed by the next verdict
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].second, kStream);
        QCOMPARE(AHRSGroupWidget::WaitingTasks(), 1);

        // The task asks for the record only once the page holds a temperature
        // above zero: at zero degrees it stays in its wait.
        Show(0.0f);
        QCoreApplication::processEvents();
        QCOMPARE(page.ImuTemp(), 0.0);
        QCOMPARE(AHRSGroupWidget::WaitingTasks(), 1);
        QCOMPARE(m_sent.size(), 1); // zero degrees keeps it waiting
        Show(24.5f);
        QTRY_COMPARE(m_sent.size(), 2);
        QCOMPARE(m_sent[1].first, int(IMU_MSG_GROUP_COMMAND));
        QCOMPARE(m_sent[1].second, kRecord);
        QCOMPARE(m_sentSecond[1], QString(""));
        Judge(GoodRecord(), Board("AB12"));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：1"));
        QCOMPARE(Text(page, "label_success_count"), QString("成功次数：1"));
        QFile::remove(CsvPath(page, kSn));
    }

    void firstStartNoWithBadSettingsSendsNothingAndAsksAgain()
    {
        g_ahrsGroupOneFlag.store(0);
        AHRSGroupWidget page;
        WriteConfig("[broken");
        DialogSeam::SetHandler([](const DialogSeam::Request&) { return QVariant(int(QMessageBox::No)); });
        ToPage(PAGE_MSG_AHRS_GROUP_STARTED);
        QCOMPARE(Dialogs(), (QStringList{QString::number(DialogSeam::Question) + ":提示/是否重新计数",
                                         QString::number(DialogSeam::Critical) + ":错误/请检查配置文件"}));
        QVERIFY(m_sent.isEmpty());
        QCOMPARE(g_ahrsGroupOneFlag.load(), 0);
        QCOMPARE(ReadAll(m_path), QByteArray("[broken"));
        DialogSeam::ClearRequests();
        WriteConfig(kConfig);
        ToPage(PAGE_MSG_AHRS_GROUP_STARTED);
        QCOMPARE(DialogSeam::Requests().size(), 2);
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(g_ahrsGroupOneFlag.load(), 1);
    }

    // A second press before the device has answered asks for the record
    // once: one verdict, one count. A device at 0 degrees or below is
    // waited for with the reason on the page.
    void laterStartsResetTemperatureAndAskOnce()
    {
        AHRSGroupWidget page;
        UsePageClock(page);
        Show(26.0f);
        QCOMPARE(page.ImuTemp(), 26.0);
        ToPage(PAGE_MSG_AHRS_GROUP_STARTED);
        ToPage(PAGE_MSG_AHRS_GROUP_STARTED);
        QVERIFY(Dialogs().isEmpty());
        QCOMPARE(page.ImuTemp(), 0.0);
        QCOMPARE(AHRSGroupWidget::WaitingTasks(), 1);
        QCOMPARE(Text(page, "label_wait_status"), QString("等待设备数据"));
        QTRY_COMPARE(m_sent.size(), 2);
        QCOMPARE(m_sent[0].second, kStream);
        QCOMPARE(m_sent[1].second, kStream);
        Show(-3.0f);
        QCOMPARE(Text(page, "label_wait_status"), QString("等待设备温度大于0℃，当前：-3.00℃"));
        QCOMPARE(AHRSGroupWidget::WaitingTasks(), 1);
        Show(26.0f);
        QTRY_COMPARE(m_sent.size(), 3);
        QCOMPARE(m_sent[2].second, kRecord);
        QTRY_COMPARE(AHRSGroupWidget::WaitingTasks(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(m_sent.size(), 3);
        QCOMPARE(Text(page, "label_wait_status"), QString("已请求设备信息"));
        Judge(GoodRecord(), Board("AB12"));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：6"));
        QVERIFY(Text(page, "label_wait_status").isEmpty());
        QFile::remove(CsvPath(page, kSn));
    }

    void pageClosedBeforeTheDeviceAnswersEndsItsTasks()
    {
        {
            AHRSGroupWidget page;
            ToPage(PAGE_MSG_AHRS_GROUP_STARTED);
            QCOMPARE(AHRSGroupWidget::WaitingTasks(), 1);
        }
        QTRY_COMPARE(AHRSGroupWidget::WaitingTasks(), 0);
        // A task sends before it counts itself out: anything it sent is queued.
        QCoreApplication::processEvents();
        QCOMPARE(m_sent.size(), 1);
    }

    // The connection ends before the device answers: the wait ends with it,
    // and a device heard later is not asked for its record.
    void connectionEndEndsTheWait()
    {
        AHRSGroupWidget page;
        ToPage(PAGE_MSG_AHRS_GROUP_STARTED);
        QCOMPARE(AHRSGroupWidget::WaitingTasks(), 1);
        ToPage(PAGE_MSG_CONNECTION, false, 115200);
        QTRY_COMPARE(AHRSGroupWidget::WaitingTasks(), 0);
        QVERIFY(Text(page, "label_wait_status").isEmpty());
        Show(26.0f);
        QCoreApplication::processEvents();
        QCOMPARE(m_sent.size(), 1);
    }

    void deviceThatNeverAnswersEndsTheProcessWhenTheAppCloses()
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVANTA_GROUP_WAIT_CHILD", m_path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 10);
        QVERIFY2(child.readAllStandardOutput().contains("waiting"), "child never reached its wait");
    }

    // The form was filled before a device was counted: its save keeps the
    // count the page wrote meanwhile.
    void settingsFormSaveRefreshesTheReferenceLabels()
    {
        AHRSGroupWidget page;
        UsePageClock(page);
        page.findChild<QPushButton*>("btn_set_config")->click();
        AHRSGroupCommonWidget* form = page.SettingsForm();
        QVERIFY(form->isVisible());
        QCOMPARE(form->findChild<QLineEdit*>("lineEdit_firmware_version")->text(), QString("1001"));
        Show(25.0f);
        Judge(GoodRecord(), Board("AB12"));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：6"));
        form->findChild<QLineEdit*>("lineEdit_firmware_version")->setText("2024");
        form->findChild<QLineEdit*>("lineEdi_temp")->setText("31.5");
        form->findChild<QPushButton*>("pushButton")->click();
        QVERIFY(form->isHidden());
        QCOMPARE(Text(page, "label_compare_software_ver"), QString("对照固件版本：2024"));
        QCOMPARE(Text(page, "label_compare_temp"), QString("对照温度：31.50"));
        QCOMPARE(Text(page, "label_test_count"), QString("测试次数：6"));
        QCOMPARE(Text(page, "label_success_count"), QString("成功次数：4"));
        QVERIFY(ReadAll(m_path).contains("\"Test_Count\": 6\n"));
        QVERIFY(ReadAll(m_path).contains("\"Success_Count\": 4,\n"));
        QFile::remove(CsvPath(page, kSn));
    }

    void liveSamplesAreRateLimitedAndBounded()
    {
        AHRSGroupWidget page;
        UsePageClock(page);
        // 200 Hz for 4 seconds: at most one point per 10 ms.
        int labelChanges = 0;
        QString last = Text(page, "label_ax");
        for (int i = 0; i < 800; ++i) {
            m_clock.AdvanceMs(5);
            ToPage(PAGE_MSG_AHRS_GROUP_DATA, QVariant::fromValue(Sample(20.0f, float(i))));
            if (Text(page, "label_ax") != last) {
                last = Text(page, "label_ax");
                ++labelChanges;
            }
        }
        QVERIFY(page.SeriesCount(AHRSGroupWidget::SERIES_ACC_X) <= 400);
        QVERIFY(page.SeriesCount(AHRSGroupWidget::SERIES_ACC_X) >= 260);
        QVERIFY(labelChanges <= 40 && labelChanges >= 30);
        QCOMPARE(Text(page, "label_temp"), QString("TEMP：20.00"));
        const QVector<double>& keys = page.SeriesKeys(AHRSGroupWidget::SERIES_GYRO_Z);
        for (int i = 1; i < keys.size(); ++i) {
            QVERIFY(keys[i] - keys[i - 1] > 0.01 - 1e-9);
        }
        // Filling up: 500 points while selected, 499 after deselection.
        for (int i = 0; i < 600; ++i) {
            m_clock.AdvanceMs(15);
            ToPage(PAGE_MSG_AHRS_GROUP_DATA, QVariant::fromValue(Sample(20.0f)));
        }
        QCOMPARE(page.SeriesCount(AHRSGroupWidget::SERIES_ACC_Y), 500);
        page.findChild<QComboBox*>("comboBox_module_1")->setCurrentIndex(1); // "ax"
        m_clock.AdvanceMs(15);
        ToPage(PAGE_MSG_AHRS_GROUP_DATA, QVariant::fromValue(Sample(21.0f)));
        QCOMPARE(page.SeriesCount(AHRSGroupWidget::SERIES_ACC_X), 500);
        QCOMPARE(page.SeriesCount(AHRSGroupWidget::SERIES_ACC_Y), 499);
        QCOMPARE(page.SeriesCount(AHRSGroupWidget::SERIES_GYRO_Y), 500);
        QCOMPARE(page.findChild<QComboBox*>("comboBox_module_2")->itemText(3), QString("gz"));
    }
};

// The child half of the never-answering device test: a page whose device
// never streams, and an application that is closing.
static int RunWaitingChild(int argc, char** argv, const QString& configPath)
{
    QApplication app(argc, argv);
    RegsiterMetaType();
    DialogSeam::SetScripted(true);
    SettingManager::GetInstance()->SetAhrsGroupConfigPath(configPath);
    g_ahrsGroupOneFlag.store(1);
    auto* page = new AHRSGroupWidget;
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_AHRS_GROUP_STARTED);
    printf("waiting\n");
    fflush(stdout);
    // The task checks for the closing application on every turn of its
    // wait, the first included: it must end the process from there. A task
    // that returns instead lets this return 0; one that keeps waiting runs
    // into the parent's time limit.
    g_app_is_exit.store(true);
    while (AHRSGroupWidget::WaitingTasks() > 0) {
        std::this_thread::yield();
    }
    delete page;
    return 0; // reached only if the task failed to end the process
}

int main(int argc, char** argv)
{
    const QString child = qEnvironmentVariable("CORVANTA_GROUP_WAIT_CHILD");
    if (!child.isEmpty()) {
        return RunWaitingChild(argc, argv, child);
    }
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    TestGroupTestPage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_group_test_page.moc"
