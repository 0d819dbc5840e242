// Start-up pieces: window placement, style sheet, type registration,
// logging, the forced exit and crash dumps (the last two in a child process).
#include "commom/CrashHandler.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "commom/StartUp.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QProcess>
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
    // An address the compiler cannot see is null, so the store stays.
    auto* nowhere = reinterpret_cast<volatile int*>(
        static_cast<quintptr>(qEnvironmentVariableIntValue("CORVANTA_TEST_NOWHERE")));
    *nowhere = 42;
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
        CrashHandler::Install(folder + "/crashes");
        CrashDeliberatelyInsideCorvanta();
        return 0;
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
        QVERIFY2(text.contains("中文 bytes 42 2.5"), qPrintable(text));
        QVERIFY(text.contains("tst_startup.cpp:"));
        QVERIFY(text.contains("[debug]"));
        QVERIFY(text.contains("[info] info line"));
        QVERIFY(!text.contains("hidden below the level"));
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

        const QString crashes = dir.filePath("crashes");
        QCOMPARE(QDir(crashes).entryList({"*.dump"}, QDir::Files).size(), 1);

        const QString logPath = dir.filePath("next-start.txt");
        QVERIFY(Logger::Init(logPath));
        const QStringList traces = CrashHandler::ReportPreviousDumps(crashes);
        Logger::Shutdown();
        QCOMPARE(traces.size(), 1);
        QVERIFY2(traces.first().contains("CrashDeliberatelyInsideCorvanta"), qPrintable(traces.first()));
        QVERIFY(ReadText(logPath).contains("CrashDeliberatelyInsideCorvanta"));
        // Reported once only.
        QVERIFY(CrashHandler::ReportPreviousDumps(crashes).isEmpty());
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
