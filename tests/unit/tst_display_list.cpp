#include <QtTest>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>

#include <thread>
#include <vector>

#include "manager/JsonDataManager.h"
#include "manager/OperateLogManager.h"

namespace {

QString ConfigDir()
{
    return QCoreApplication::applicationDirPath() + "/config";
}

QString LogDir()
{
    return QCoreApplication::applicationDirPath() + "/log";
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray("<unreadable>");
    }
    return file.readAll();
}

void WriteDisplayFile(const QByteArray& bytes)
{
    QFile file(ConfigDir() + "/display.json");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestDisplayList : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QDir(ConfigDir()).removeRecursively();
        QVERIFY(QDir().mkpath(ConfigDir()));
    }

    void cleanupTestCase()
    {
        QDir(ConfigDir()).removeRecursively();
        QDir(LogDir()).removeRecursively();
    }

    void writesOneNameInQtIndentedForm()
    {
        JsonDataManager::GetInstance()->WriteDisplayAreaName("AHRSDataWidget");
        QCOMPARE(ReadAll(ConfigDir() + "/display.json"),
                 QByteArray("{\n    \"display\": [\n        \"AHRSDataWidget\"\n    ]\n}\n"));
        QCOMPARE(JsonDataManager::GetInstance()->ReadDisplayAreaName(), QStringList{"AHRSDataWidget"});
    }

    void writingTwiceLeavesOneName()
    {
        JsonDataManager* manager = JsonDataManager::GetInstance();
        manager->WriteDisplayAreaName("SerialPortAssistantWidget");
        manager->WriteDisplayAreaName("InstrumentWidget");
        QCOMPARE(manager->ReadDisplayAreaName(), QStringList{"InstrumentWidget"});
        manager->WriteDisplayAreaName("InstrumentWidget");
        QCOMPARE(manager->ReadDisplayAreaName(), QStringList{"InstrumentWidget"});
    }

    void skipsEmptyAndNonTextElements()
    {
        WriteDisplayFile("{\"display\":[\"A\",\"\",5,null,true,{\"x\":1},\"B\"],\"other\":1}");
        QCOMPARE(JsonDataManager::GetInstance()->ReadDisplayAreaName(), (QStringList{"A", "B"}));
    }

    void badFilesGiveNoName()
    {
        JsonDataManager* manager = JsonDataManager::GetInstance();
        QVERIFY(manager->ReadDisplayAreaName().isEmpty()); // no file at all
        WriteDisplayFile("{\"display\": [\"AHRSDataWid");
        QVERIFY(manager->ReadDisplayAreaName().isEmpty());
        WriteDisplayFile("{\"display\": \"AHRSDataWidget\"}");
        QVERIFY(manager->ReadDisplayAreaName().isEmpty());
        WriteDisplayFile("[\"AHRSDataWidget\"]");
        QVERIFY(manager->ReadDisplayAreaName().isEmpty());
        WriteDisplayFile(QByteArray("\x00\xFF\xFE", 3));
        QVERIFY(manager->ReadDisplayAreaName().isEmpty());
    }

    void unwritableFileKeepsOldChoice()
    {
        JsonDataManager* manager = JsonDataManager::GetInstance();
        manager->WriteDisplayAreaName("AHRSDataWidget");
        QDir(ConfigDir()).removeRecursively();
        manager->WriteDisplayAreaName("InstrumentWidget"); // no folder: silently nothing
        QVERIFY(!QFile::exists(ConfigDir() + "/display.json"));
        QVERIFY(manager->ReadDisplayAreaName().isEmpty());
    }

    void operationLogCreatesFoldersAndLines()
    {
        // No "log" folder beside the executable yet: every missing level of
        // the operation log's folder must be created.
        QDir(LogDir()).removeRecursively();
        OperateLogManager* log = OperateLogManager::GetInstance();
        const QString path = log->LogFilePath();
        const QRegularExpression pathForm(
            QRegularExpression::escape(LogDir() + "/opt_log/")
            + "(\\d{4}_\\d{4})/opt_log_\\d{4}_\\d{2}_\\d{2} \\d{2}_\\d{2}_\\d{2}\\.txt$");
        QVERIFY2(pathForm.match(path).hasMatch(), qPrintable(path));
        QVERIFY(QDir(QFileInfo(path).absolutePath()).exists());

        QSignalSpy spy(log, &OperateLogManager::SignalOutputOperateLog);
        log->recordLog("连接串口 /dev/ttyUSB0");
        log->recordLog("second");
        QCOMPARE(spy.count(), 2);
        const QString first = spy.at(0).at(0).toString();
        const QRegularExpression lineForm("^\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}:\\d{3}\\] ");
        QVERIFY2(lineForm.match(first).hasMatch(), qPrintable(first));
        QVERIFY(first.endsWith("] 连接串口 /dev/ttyUSB0"));
        QVERIFY(spy.at(1).at(0).toString().endsWith("] second"));

        const QByteArray expected = spy.at(0).at(0).toString().toUtf8() + "\r\n"
                                    + spy.at(1).at(0).toString().toUtf8() + "\r\n";
        QCOMPARE(ReadAll(path), expected);
    }

    void operationLogFromManyThreadsKeepsWholeLines()
    {
        OperateLogManager* log = OperateLogManager::GetInstance();
        QFile::remove(log->LogFilePath());
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([log, t]() {
                for (int i = 0; i < 50; ++i) {
                    log->recordLog(QString("t%1 line %2").arg(t).arg(i));
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        const QList<QByteArray> lines = ReadAll(log->LogFilePath()).split('\n');
        QCOMPARE(lines.size(), 201); // the last piece after the final line end is empty
        for (int i = 0; i < 200; ++i) {
            QVERIFY(lines.at(i).endsWith('\r'));
            QVERIFY(lines.at(i).contains("] t"));
        }
    }

    void receiverMayRecordAgain()
    {
        OperateLogManager* log = OperateLogManager::GetInstance();
        int depth = 0;
        QMetaObject::Connection c = connect(log, &OperateLogManager::SignalOutputOperateLog, this,
                                            [log, &depth](const QString&) {
                                                if (depth++ == 0) {
                                                    log->recordLog("echo");
                                                }
                                            },
                                            Qt::DirectConnection);
        log->recordLog("outer");
        disconnect(c);
        QCOMPARE(depth, 2);
    }

    void unwritableLogStillEmits()
    {
        OperateLogManager* log = OperateLogManager::GetInstance();
        QDir(LogDir()).removeRecursively();
        QSignalSpy spy(log, &OperateLogManager::SignalOutputOperateLog);
        log->recordLog("lost to the file");
        QCOMPARE(spy.count(), 1);
        QVERIFY(!QFile::exists(log->LogFilePath()));
    }
};

QTEST_GUILESS_MAIN(TestDisplayList)
#include "tst_display_list.moc"
