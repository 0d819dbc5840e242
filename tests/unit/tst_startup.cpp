// Start-up pieces: window placement, style sheet, type registration,
// logging, the forced exit and crash dumps (the last two in a child process).
#include "commom/CrashHandler.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "commom/StartUp.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPushButton>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <cstdlib>

namespace {

QString ReadText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

__attribute__((noinline)) void CrashDeliberatelyInsideCorvanta()
{
    // An unmapped address that the compiler cannot foresee, so the store
    // stays; not null, so the undefined-behaviour checks let the fault
    // itself happen.
    auto* nowhere = reinterpret_cast<volatile int*>(
        static_cast<quintptr>(qEnvironmentVariableIntValue("CORVANTA_TEST_NOWHERE")) + 16);
    *nowhere = 42;
}

// Recursion the compiler cannot flatten: every level keeps a live buffer.
__attribute__((noinline)) int OverflowTheStack(int depth)
{
    static const int limit = qEnvironmentVariableIntValue("CORVANTA_TEST_DEPTH_LIMIT");
    if (limit > 0 && depth >= limit) {
        return 0;
    }
    volatile char frame[1024];
    frame[depth % sizeof frame] = static_cast<char>(depth);
    return OverflowTheStack(depth + 1) + frame[0];
}

// Child-process roles, chosen by an environment variable so the parent can
// watch a real process end.
int RunChildRole(const QByteArray& role, const QString& folder)
{
    if (role == "force-exit") {
        Logger::Init(folder + "/child-log.txt");
        ForceExitApplication();
    }
    if (role == "crash") {
        Logger::Init(folder + "/crash-log.txt");
        CrashHandler::Install(folder + "/crashes");
        LOG_DEBUG() << "last words before the crash";
        CrashDeliberatelyInsideCorvanta();
        return 0;
    }
    if (role == "overflow") {
        CrashHandler::Install(folder + "/crashes");
        return OverflowTheStack(0);
    }
    return 1;
}

} // namespace

class TestStartUp : public QObject
{
    Q_OBJECT

private slots:
    void placementFollowsTheScreen()
    {
        QCOMPARE(MainWindowPlacement(QSize(1920, 1080), QSize(1200, 800)), QRect(240, 80, 1440, 864));
        // A window larger than the screen: negative offsets truncated toward zero.
        const QRect big = MainWindowPlacement(QSize(800, 600), QSize(1001, 1000));
        QCOMPARE(big.x(), -67);
        QCOMPARE(big.y(), -114);
        QCOMPARE(big.width(), 600);
        QCOMPARE(big.height(), 480);
    }

    void styleSheetStopsAtNulAndEmptyLeavesSheet()
    {
        qApp->setStyleSheet("QLabel { color: red; }");
        ApplyStyleSheet(QByteArray());
        QCOMPARE(qApp->styleSheet(), QString("QLabel { color: red; }"));
        ApplyStyleSheet(QByteArray("QWidget { }\0garbage", 19));
        QCOMPARE(qApp->styleSheet(), QString("QWidget { }"));
        qApp->setStyleSheet(QString());
        QVERIFY(ReadQssData("/no/such/file.qss").isEmpty());
        QVERIFY(!ReadQssData(":/skin/resources/skin/skin.qss").isEmpty());
    }

    void builtInAliasesAreRegistered()
    {
        RegsiterMetaType();
        QVERIFY(QMetaType::type("uint8_t") != QMetaType::UnknownType);
        QVERIFY(QMetaType::type("uint64_t") != QMetaType::UnknownType);
        QVERIFY(QMetaType::type("string") != QMetaType::UnknownType);
        QVERIFY(QMetaType::type("QList<QVariant>") != QMetaType::UnknownType);
    }

    void logLinesCarryFileLineAndQtTypes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QVERIFY(Logger::Init(path));
        LOG_DEBUG() << QString("中文") << QByteArray("bytes") << 42 << 2.5;
        LOG_INFO() << "info line";
        Logger::SetLevel(Logger::Info);
        LOG_DEBUG() << "hidden below the level";
        Logger::SetLevel(Logger::Debug);
        Logger::Shutdown();
        const QString text = ReadText(path);
        // Each line: level, source file and line, then the message.
        const QRegularExpression debugLine(
            "\\[debug\\] \\S*tst_startup\\.cpp:\\d+ 中文 bytes 42 2\\.5\n");
        QVERIFY2(debugLine.match(text).hasMatch(), qPrintable(text));
        const QRegularExpression infoLine("\\[info\\] \\S*tst_startup\\.cpp:\\d+ info line\n");
        QVERIFY2(infoLine.match(text).hasMatch(), qPrintable(text));
        QVERIFY(!text.contains("hidden below the level"));
    }

    void initLogOpensOneFilePerStartUnderWorkingDir()
    {
        QTemporaryDir dir;
        const QString oldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const QDateTime before = QDateTime::currentDateTime();
        InitLog();
        const QDateTime after = QDateTime::currentDateTime();
        LOG_TRACE() << "trace is below the level";
        LOG_DEBUG() << "debug reaches the file";
        const QString path = Logger::FilePath();
        Logger::Shutdown();
        QDir::setCurrent(oldDir);

        const QFileInfo info(path);
        QCOMPARE(info.absolutePath(), QDir(dir.path()).absoluteFilePath("log"));
        const QRegularExpression name("^\\d{4}-\\d{2}-\\d{2} \\d{2}-\\d{2}-\\d{2}-log\\.txt$");
        QVERIFY2(name.match(info.fileName()).hasMatch(), qPrintable(info.fileName()));
        const QDateTime stamp =
            QDateTime::fromString(info.fileName().left(19), "yyyy-MM-dd hh-mm-ss");
        QVERIFY(stamp.isValid());
        QVERIFY(stamp >= before.addSecs(-1) && stamp <= after.addSecs(1));
        const QString text = ReadText(path);
        QVERIFY(text.contains("debug reaches the file"));
        QVERIFY(!text.contains("trace is below the level"));
    }

    void initLogWithoutWritableFolderRunsOn()
    {
        QTemporaryDir dir;
        // A file where the log folder should be: no log, no crash.
        QFile blocker(dir.filePath("log"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString oldDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        InitLog();
        LOG_INFO() << "goes nowhere";
        Logger::Flush();
        QDir::setCurrent(oldDir);
        QVERIFY(Logger::FilePath().isEmpty());
        Logger::Shutdown();
    }

    void toolTablesInMenuOrder()
    {
        QCOMPARE(g_serialTabNames.keys(),
                 (QList<QString>{"AHRSDataWidget", "ImuParameterConfigWidget", "CommandCreatorWidget",
                                 "FirmwareUpgradeWidget", "InstrumentWidget", "SerialPortAssistantWidget"}));
        QCOMPARE(g_serialTabNames.values(),
                 (QList<QString>{"AHRS数据", "参数设置", "命令生成器", "固件升级", "仪表盘", "串口助手"}));
        QCOMPARE(g_helpTabNames.keys(), (QList<QString>{"AboutDialog", "UpgradeDialog"}));
        QCOMPARE(g_helpTabNames.values(), (QList<QString>{"关于", "软件升级"}));
        QCOMPARE(g_singelTabNames.keys(), QList<QString>{"DataDecodeDialog"});
        QCOMPARE(g_singelTabNames.value("DataDecodeDialog"), QString("数据解码"));
        QVERIFY(g_extendTabNames.keys().isEmpty());
        QCOMPARE(g_mode_button_show_class,
                 (QVector<QString>{"AHRS数据", "仪表盘", "AHRS产品出厂测试上位机", "行人导航", "33IMU数据"}));
        QVERIFY(!g_serialTabNames.contains("AllParameterWidget"));
    }

    void globalsStartAtTheirInitialValues()
    {
        QVERIFY(g_connection_serial_name.IsEmpty());
        QVERIFY(g_connection_baud_rate.IsEmpty());
        QVERIFY(g_current_action_name.IsEmpty());
        QVERIFY(g_imu_sn.IsEmpty());
        QVERIFY(!g_serial_is_connected && !g_communicate_with_serial_flag && !g_app_is_exit);
        QCOMPARE(g_send_total_byte.load(), uint64_t(0));
        QCOMPARE(g_recv_total_byte.load(), uint64_t(0));
        QVERIFY(!g_ahrs_file_recording && !g_33imu_file_recording && !g_people_nav_file_recording
                && !g_serial_assistant_save_data);
        QVERIFY(!g_is_running_upgrade && !g_cancelUpgradeFlag && !g_decode_exit);
        QCOMPARE(g_upgradedDevicesIsNormal.load(), 0);
        QVERIFY(!g_param_table_req_running && !g_param_table_req_timeout && !g_select_data_rate);
        QCOMPARE(g_param_set_success_flag.load(), -1);
        QCOMPARE(g_data_rate.load(), 0);
        QCOMPARE(g_ahrsGroupOneFlag.load(), 0);
        QVERIFY(m_map_init_finish_widget.isEmpty());
    }

    void forcedExitEndsWithTenAndLogs()
    {
        QTemporaryDir dir;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVANTA_TEST_CHILD", "force-exit");
        env.insert("CORVANTA_TEST_FOLDER", dir.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 10);
        QVERIFY(ReadText(dir.filePath("child-log.txt")).contains("强制退出"));
    }

    void crashLeavesDumpAndNextStartLogsTrace()
    {
        QTemporaryDir dir;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVANTA_TEST_CHILD", "crash");
        env.insert("CORVANTA_TEST_FOLDER", dir.path());
        // The sanitizers must let our own handler see the fault.
        env.insert("ASAN_OPTIONS", "handle_segv=0:detect_leaks=0");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        // The line logged just before the fault reached the file.
        QVERIFY(ReadText(dir.filePath("crash-log.txt")).contains("last words before the crash"));

        const QString crashes = dir.filePath("crashes");
        QCOMPARE(QDir(crashes).entryList({"*.dump"}, QDir::Files).size(), 1);

        const QString logPath = dir.filePath("next-start.txt");
        QVERIFY(Logger::Init(logPath));
        const QStringList traces = CrashHandler::ReportPreviousDumps(crashes);
        Logger::Shutdown();
        QCOMPARE(traces.size(), 1);
        QVERIFY2(traces.first().contains("CrashDeliberatelyInsideCorvanta"), qPrintable(traces.first()));
        // Library frames carry their library and the offset in it, read from
        // the memory map saved beside the dump.
        QVERIFY2(QRegularExpression("in /\\S*libc\\.so\\S*\\+0x[0-9a-f]+").match(traces.first()).hasMatch(),
                 qPrintable(traces.first()));
        QVERIFY(ReadText(logPath).contains("CrashDeliberatelyInsideCorvanta"));
        // Reported once only.
        QVERIFY(CrashHandler::ReportPreviousDumps(crashes).isEmpty());
    }

    void stackOverflowStillLeavesADump()
    {
        QTemporaryDir dir;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVANTA_TEST_CHILD", "overflow");
        env.insert("CORVANTA_TEST_FOLDER", dir.path());
        env.insert("ASAN_OPTIONS", "handle_segv=0:detect_leaks=0:detect_stack_use_after_return=0");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(QDir(dir.filePath("crashes")).entryList({"*.dump"}, QDir::Files).size(), 1);
    }

    void standardButtonsSpeakQtsOwnChinese()
    {
        QVERIFY2(InstallQtTranslations(), "Qt's Chinese translation missing: install qttranslations5-l10n");
        QMessageBox question(QMessageBox::Question, "警告", "是否继续", QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(question.button(QMessageBox::Yes)->text(), QString("是(&Y)"));
        QCOMPARE(question.button(QMessageBox::No)->text(), QString("否(&N)"));
        QMessageBox notice(QMessageBox::Information, "提示", "完成", QMessageBox::Ok);
        QCOMPARE(notice.button(QMessageBox::Ok)->text(), QString("确定"));
    }

    void simplifiedChineseFontIsInstalled()
    {
        const QStringList families = QFontDatabase().families(QFontDatabase::SimplifiedChinese);
        QVERIFY2(!families.isEmpty(),
                 "no Simplified Chinese font found: install the package fonts-wqy-zenhei");
    }
};

int main(int argc, char* argv[])
{
    const QByteArray role = qgetenv("CORVANTA_TEST_CHILD");
    if (!role.isEmpty()) {
        QCoreApplication app(argc, argv);
        return RunChildRole(role, QString::fromLocal8Bit(qgetenv("CORVANTA_TEST_FOLDER")));
    }
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    QApplication app(argc, argv);
    InitCorvantaResources();
    TestStartUp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
