#include <QtTest>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include "commom/StartUp.h"
#include "dialogs/general/WorkerThreadUpdate.h"
#include "manager/SettingManager.h"

namespace {

// A finished version-file reply without a network behind it.
class CannedReply : public QNetworkReply
{
public:
    CannedReply(const QUrl& url, const QByteArray& body, NetworkError error)
        : m_body(body)
    {
        setUrl(url);
        setOperation(QNetworkAccessManager::GetOperation);
        if (error != NoError) {
            setError(error, "refused");
        }
        open(QIODevice::ReadOnly);
        setFinished(true);
    }
    void abort() override {}
    qint64 bytesAvailable() const override { return m_body.size() - m_pos + QIODevice::bytesAvailable(); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 n = qMin<qint64>(maxSize, m_body.size() - m_pos);
        memcpy(data, m_body.constData() + m_pos, static_cast<size_t>(n));
        m_pos += n;
        return n;
    }

private:
    QByteArray m_body;
    qint64 m_pos = 0;
};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QVector<int> V(std::initializer_list<int> parts)
{
    return QVector<int>(parts);
}

} // namespace

class TestUpdate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void compareVersions_data();
    void compareVersions();
    void ownVersionIsOneOneFour();
    void newerVersionShowsNumberedChangeList();
    void nullPartsAreSkippedOddPartsReadZero();
    void sameOrOlderVersionShowsNothingAndKeepsList();
    void bodyThatIsNoJsonShowsNothing();
    void scriptReplacedOnlyForTheStringOne();
    void scriptPathFromSettingsIsMadeLocal();
    void unwritableScriptStillShowsChangeList();
    void scriptWriterExactText();
    void addressOfTheVersionFile();
    void progressAddsDifferencesPerTotal();
    void progressWithoutTotalReportsNothing();
    void replyWithErrorIsIgnored();
    void replyWithBodyIsParsed();
    void startWithEmptyListReportsNoUpdateOnce();
    void cancelClearsRunning();
    void localFolderForServerFile();
    void serverPathsThatDoNotFitAreRefused();
    void removeFolderTreeKeepsLinkedFolders();

private:
    QTemporaryDir m_dir;
};

void TestUpdate::initTestCase()
{
    RegsiterMetaType();
    QVERIFY(m_dir.isValid());
    SettingManager::GetInstance();
}

void TestUpdate::compareVersions_data()
{
    QTest::addColumn<QVector<int>>("a");
    QTest::addColumn<QVector<int>>("b");
    QTest::addColumn<int>("expected");
    QTest::newRow("same") << V({1, 1, 4}) << V({1, 1, 4}) << 0;
    QTest::newRow("trailing zero") << V({1, 1, 4, 0}) << V({1, 1, 4}) << 0;
    QTest::newRow("trailing zero other side") << V({1, 1, 4}) << V({1, 1, 4, 0}) << 0;
    QTest::newRow("1.1.5") << V({1, 1, 5}) << V({1, 1, 4}) << 1;
    QTest::newRow("1.2") << V({1, 2}) << V({1, 1, 4}) << 1;
    QTest::newRow("2") << V({2}) << V({1, 1, 4}) << 1;
    QTest::newRow("1.1") << V({1, 1}) << V({1, 1, 4}) << -1;
    QTest::newRow("1.1.3") << V({1, 1, 3}) << V({1, 1, 4}) << -1;
    QTest::newRow("1.1.4.1") << V({1, 1, 4, 1}) << V({1, 1, 4}) << 1;
    QTest::newRow("both empty") << V({}) << V({}) << 0;
    QTest::newRow("empty server") << V({}) << V({1, 1, 4}) << -1;
    QTest::newRow("negative part") << V({1, -1}) << V({1}) << -1;
}

void TestUpdate::compareVersions()
{
    QFETCH(QVector<int>, a);
    QFETCH(QVector<int>, b);
    QFETCH(int, expected);
    QCOMPARE(WorkerThreadUpdate::CompareVersions(a, b), expected);
}

void TestUpdate::ownVersionIsOneOneFour()
{
    QCOMPARE(WorkerThreadUpdate::OwnVersion(), V({1, 1, 4}));
}

void TestUpdate::newerVersionShowsNumberedChangeList()
{
    WorkerThreadUpdate worker;
    QSignalSpy shown(&worker, &WorkerThreadUpdate::SignalShowWin);
    QSignalSpy content(&worker, &WorkerThreadUpdate::SignalShowUpdateContent);
    worker.ParseVersionFile(R"({"version":[1,2,0],"update_time":"2026-01-01","exe_name":"x",
        "new_file_path":["/Filter/updata_software/IMU/a.dat", 5, "", null, "/Filter/updata_software/IMU/b/c.dll"],
        "total_size":4096,
        "update_content":["修复串口断开", "", "新增 CRC 工具"]})",
                            "Server.Example.ORG");
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().first().toStringList(), (QStringList{"1:修复串口断开", "2:新增 CRC 工具"}));
    QCOMPARE(content.size(), 0);
    QCOMPARE(worker.GetDownloadPaths(),
             (QStringList{"/Filter/updata_software/IMU/a.dat", "/Filter/updata_software/IMU/b/c.dll"}));
    QCOMPARE(worker.GetTotalSize(), 4096u);
    QCOMPARE(worker.GetServerHost(), QString("server.example.org"));
    QCOMPARE(worker.GetServerVersion(), V({1, 2, 0}));
}

void TestUpdate::nullPartsAreSkippedOddPartsReadZero()
{
    WorkerThreadUpdate worker;
    QSignalSpy shown(&worker, &WorkerThreadUpdate::SignalShowWin);
    worker.ParseVersionFile(R"({"version":[1,null,5]})", "h");
    QCOMPARE(worker.GetServerVersion(), V({1, 5}));
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().first().toStringList().isEmpty());

    worker.ParseVersionFile(R"({"version":[1,"9",2.5,1e20,true,-3]})", "h");
    QCOMPARE(worker.GetServerVersion(), V({1, 0, 0, 0, 0, -3}));
    QCOMPARE(shown.size(), 1);

    // A total that is no whole number reads as 0.
    worker.ParseVersionFile(R"({"version":[9],"total_size":12.5})", "h");
    QCOMPARE(worker.GetTotalSize(), 0u);
}

void TestUpdate::sameOrOlderVersionShowsNothingAndKeepsList()
{
    WorkerThreadUpdate worker;
    QSignalSpy shown(&worker, &WorkerThreadUpdate::SignalShowWin);
    worker.ParseVersionFile(R"({"version":[2],"new_file_path":["/IMU/a.dat"],"total_size":10})", "h");
    QCOMPARE(shown.size(), 1);
    worker.ParseVersionFile(R"({"version":[1,1,4,0],"new_file_path":["/IMU/other.dat"],"total_size":99,
        "update_content":["x"]})",
                            "h");
    worker.ParseVersionFile(R"({"version":[1,1,3],"new_file_path":["/IMU/other.dat"]})", "h");
    QCOMPARE(shown.size(), 1);
    QCOMPARE(worker.GetDownloadPaths(), QStringList{"/IMU/a.dat"});
    QCOMPARE(worker.GetTotalSize(), 10u);
}

void TestUpdate::bodyThatIsNoJsonShowsNothing()
{
    WorkerThreadUpdate worker;
    QSignalSpy shown(&worker, &WorkerThreadUpdate::SignalShowWin);
    worker.ParseVersionFile("{\"version\":[9,9", "h");
    worker.ParseVersionFile("[9,9,9]", "h");
    worker.ParseVersionFile(QByteArray("\xff\xfe\x00garbage", 10), "h");
    worker.ParseVersionFile(R"({"versions":[9]})", "h");
    QCOMPARE(shown.size(), 0);
    QVERIFY(worker.GetServerVersion().isEmpty());
}

void TestUpdate::scriptReplacedOnlyForTheStringOne()
{
    const QString script = m_dir.filePath("one/update.vbs");
    QVERIFY(QDir().mkpath(m_dir.filePath("one")));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("old");
    file.close();
    SettingManager::GetInstance()->SetUpDateVbsPath(script);

    WorkerThreadUpdate worker;
    worker.ParseVersionFile(R"({"version":[2],"is_update_vbs":1,"update_vbs_content":"new"})", "h");
    worker.ParseVersionFile(R"({"version":[2],"is_update_vbs":"1 ","update_vbs_content":"new"})", "h");
    worker.ParseVersionFile(R"({"version":[1,1,4],"is_update_vbs":"1","update_vbs_content":"new"})", "h");
    QCOMPARE(ReadAll(script), QByteArray("old"));

    worker.ParseVersionFile(
        R"({"version":[2],"is_update_vbs":"1","update_vbs_content":"Set args = WScript.Arguments\n' 启动\n"})", "h");
    QCOMPARE(ReadAll(script), QByteArray("Set args = WScript.Arguments\n' 启动\n"));
}

void TestUpdate::scriptPathFromSettingsIsMadeLocal()
{
    QCOMPARE(WorkerThreadUpdate::LocalScriptPath("\\opt\\app\\config\\update\\update.vbs"),
             QString("/opt/app/config/update/update.vbs"));
    QCOMPARE(WorkerThreadUpdate::LocalScriptPath("C:\\app\\update.vbs"), QString("C:/app/update.vbs"));
    QCOMPARE(WorkerThreadUpdate::LocalScriptPath("/already/fine.vbs"), QString("/already/fine.vbs"));

    // The settings hand the path out with backslashes; the script still
    // lands in its folder and no stray file appears in the working folder.
    const QStringList before = QDir::current().entryList(QDir::Files);
    const QString script = m_dir.filePath("two/update.vbs");
    QVERIFY(QDir().mkpath(m_dir.filePath("two")));
    SettingManager::GetInstance()->SetUpDateVbsPath(script);
    QVERIFY(SettingManager::GetInstance()->GetUpDateVbsPath().contains('\\'));
    WorkerThreadUpdate worker;
    worker.ParseVersionFile(R"({"version":[3],"is_update_vbs":"1","update_vbs_content":"v2"})", "h");
    QCOMPARE(ReadAll(script), QByteArray("v2"));
    QCOMPARE(QDir::current().entryList(QDir::Files), before);
}

void TestUpdate::unwritableScriptStillShowsChangeList()
{
    const QString script = m_dir.filePath("missing/folder/update.vbs");
    SettingManager::GetInstance()->SetUpDateVbsPath(script);
    WorkerThreadUpdate worker;
    QSignalSpy shown(&worker, &WorkerThreadUpdate::SignalShowWin);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Could not open the file for writing:"));
    worker.ParseVersionFile(R"({"version":[3],"update_content":["a"],"is_update_vbs":"1","update_vbs_content":"v"})",
                            "h");
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().first().toStringList(), QStringList{"1:a"});
    QVERIFY(!QFile::exists(script));
}

void TestUpdate::scriptWriterExactText()
{
    WorkerThreadUpdate worker;
    const QString path = m_dir.filePath("w.vbs");
    QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    QCOMPARE(worker.WriteVbsFile(path, "a\nb 中文"), 0);
    QCOMPARE(ReadAll(path), QString("a\nb 中文").toUtf8());
    QCOMPARE(worker.WriteVbsFile(path, "短"), 0);
    QCOMPARE(ReadAll(path), QString("短").toUtf8());

    // A folder in the way: nothing written, the old text stays.
    QVERIFY(QDir().mkpath(m_dir.filePath("isfolder.vbs")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Could not open the file for writing:"));
    QCOMPARE(worker.WriteVbsFile(m_dir.filePath("isfolder.vbs"), "x"), -1);
    QVERIFY(QFileInfo(m_dir.filePath("isfolder.vbs")).isDir());
}

void TestUpdate::addressOfTheVersionFile()
{
    WorkerThreadUpdate worker;
    QUrl url = worker.GetFtpUrl();
    QCOMPARE(url.scheme(), QString("ftp"));
    QCOMPARE(url.userName(), QString("Talvemir-Logger"));
    QCOMPARE(url.password().size(), 10);
    QVERIFY(QRegularExpression("^\\d{10}$").match(url.password()).hasMatch());
    QCOMPARE(url.port(), 2122);
    QCOMPARE(url.path(), QString("/Filter/updata_software/IMU/keldora-version.json"));
    QVERIFY(QHostAddress(url.host()).protocol() == QAbstractSocket::IPv4Protocol);

    worker.ParseVersionFile("{}", "Mirror.Example.NET");
    url = worker.GetFtpUrl();
    QCOMPARE(url.host(), QString("mirror.example.net"));
    QCOMPARE(url.port(), 2122);
}

void TestUpdate::progressAddsDifferencesPerTotal()
{
    WorkerThreadUpdate worker;
    worker.ParseVersionFile(R"({"version":[2],"new_file_path":["/IMU/a.dat"],"total_size":200})", "h");
    QSignalSpy progress(&worker, &WorkerThreadUpdate::SignalChangeProgress);
    worker.slot_download_progress(50, 100);  // new total: whole count, 50
    worker.slot_download_progress(80, 100);  // same total: +30, 80
    worker.slot_download_progress(10, 300);  // other total: whole count, 90
    worker.slot_download_progress(110, 300); // same total: +100, 190
    worker.slot_download_progress(7, 7);     // other total: +7, 197 -> 98.5
    QList<int> values;
    for (const QList<QVariant>& args : progress) {
        values << args.first().toInt();
    }
    QCOMPARE(values, (QList<int>{25, 40, 45, 95, 98}));

    // Past the total the percentage goes beyond 100, which the dialog ignores.
    worker.slot_download_progress(100, 300);
    QCOMPARE(progress.last().first().toInt(), 148); // 297 of 200
}

void TestUpdate::progressWithoutTotalReportsNothing()
{
    WorkerThreadUpdate worker;
    QSignalSpy progress(&worker, &WorkerThreadUpdate::SignalChangeProgress);
    worker.slot_download_progress(50, 100);
    worker.slot_download_progress(-1, -1);
    QCOMPARE(progress.size(), 0);

    // A huge count over a tiny total stays a defined (capped) value.
    worker.ParseVersionFile(R"({"version":[2],"total_size":1})", "h");
    worker.slot_download_progress(4000000000LL, 4000000000LL);
    QCOMPARE(progress.size(), 1);
    QCOMPARE(progress.first().first().toInt(), INT_MAX);
}

void TestUpdate::replyWithErrorIsIgnored()
{
    WorkerThreadUpdate worker;
    QSignalSpy shown(&worker, &WorkerThreadUpdate::SignalShowWin);
    QPointer<CannedReply> reply =
        new CannedReply(QUrl("ftp://Other.Host:2122/x.json"), R"({"version":[9]})", QNetworkReply::ConnectionRefusedError);
    connect(reply.data(), &QNetworkReply::finished, &worker, &WorkerThreadUpdate::slot_check_upgrade_reply);
    emit reply->finished();
    QCOMPARE(shown.size(), 0);
    QVERIFY(worker.GetServerHost().isEmpty());
    QTRY_VERIFY(reply.isNull()); // released
}

void TestUpdate::replyWithBodyIsParsed()
{
    WorkerThreadUpdate worker;
    QSignalSpy shown(&worker, &WorkerThreadUpdate::SignalShowWin);
    QPointer<CannedReply> reply = new CannedReply(QUrl("ftp://Other.Host:2122/x.json"),
                                                  R"({"version":[1,1,5],"update_content":["z"]})",
                                                  QNetworkReply::NoError);
    connect(reply.data(), &QNetworkReply::finished, &worker, &WorkerThreadUpdate::slot_check_upgrade_reply);
    emit reply->finished();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().first().toStringList(), QStringList{"1:z"});
    QCOMPARE(worker.GetServerHost(), QString("other.host"));
    QTRY_VERIFY(reply.isNull());
}

void TestUpdate::startWithEmptyListReportsNoUpdateOnce()
{
    QThread thread;
    auto* worker = new WorkerThreadUpdate();
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    thread.start();
    QSignalSpy progress(worker, &WorkerThreadUpdate::SignalChangeProgress);
    QElapsedTimer clock;
    clock.start();
    QMetaObject::invokeMethod(worker, "slot_start_upgrade", Qt::QueuedConnection);
    QTRY_COMPARE_WITH_TIMEOUT(progress.size(), 1, 5000);
    QVERIFY2(clock.elapsed() >= 450, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(progress.first().first().toInt(), -1);
    // A round trip to the worker: the start has returned, and whatever it
    // emitted is in the spy.
    bool running = true;
    QMetaObject::invokeMethod(worker, [&]() { running = worker->IsRunning(); }, Qt::BlockingQueuedConnection);
    QCOMPARE(progress.size(), 1);
    QVERIFY(!running);
    thread.quit();
    QVERIFY(thread.wait(5000));
}

void TestUpdate::cancelClearsRunning()
{
    WorkerThreadUpdate worker;
    QSignalSpy progress(&worker, &WorkerThreadUpdate::SignalChangeProgress);
    worker.slot_cancel_update();
    QVERIFY(!worker.IsRunning());
    worker.slot_check_upgrade();
    QCOMPARE(progress.size(), 0);
    QVERIFY(worker.GetDownloadPaths().isEmpty());
}

void TestUpdate::localFolderForServerFile()
{
    WorkerThreadUpdate worker;
    const QString base = m_dir.path() + "/app/";
    QCOMPARE(worker.CreateFoldersAndFile("/Filter/updata_software/IMU/bin/a.dat", base, "IMU"),
             base + "IMU/bin/a.dat");
    QVERIFY(QFileInfo(base + "IMU/bin").isDir());
    QVERIFY(!QFile::exists(base + "IMU/bin/a.dat"));

    // The file right after the marker: the folder is base + marker.
    QCOMPARE(worker.CreateFoldersAndFile("/Filter/updata_software/IMU/b.dll", base, "IMU"), base + "IMU/b.dll");

    // Deeper folders are kept.
    QCOMPARE(worker.CreateFoldersAndFile("/x/IMU/p/q/r.bin", base, "IMU"), base + "IMU/p/q/r.bin");
    QVERIFY(QFileInfo(base + "IMU/p/q").isDir());
}

void TestUpdate::serverPathsThatDoNotFitAreRefused()
{
    WorkerThreadUpdate worker;
    const QString base = m_dir.path() + "/refused/";
    QCOMPARE(worker.CreateFoldersAndFile("/Filter/updata_software/IMU/bin/noext", base, "IMU"), QString());
    QCOMPARE(worker.CreateFoldersAndFile("/Filter/updata_software/AHRS/a.dat", base, "IMU"), QString());
    QCOMPARE(worker.CreateFoldersAndFile("a.dat", base, "a"), QString());
    // The marker in the file name, after the last "/".
    QCOMPARE(worker.CreateFoldersAndFile("/x/y/IMU.dat", base, "IMU"), QString());
    // Climbing out of the base.
    QCOMPARE(worker.CreateFoldersAndFile("/x/IMU/../../../etc/a.dat", base, "IMU"), QString());
    QVERIFY(!QFileInfo::exists(m_dir.path() + "/refused"));
    QVERIFY(!QFileInfo::exists(m_dir.path() + "/etc"));
}

void TestUpdate::removeFolderTreeKeepsLinkedFolders()
{
    WorkerThreadUpdate worker;
    const QString root = m_dir.path() + "/tree";
    const QString outside = m_dir.path() + "/outside";
    QVERIFY(QDir().mkpath(root + "/a/b"));
    QVERIFY(QDir().mkpath(outside));
    for (const QString& path : {root + "/f.txt", root + "/.hidden", root + "/a/g.txt", root + "/a/b/h.txt",
                                outside + "/keep.txt"}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    QVERIFY(QFile::link(outside, root + "/a/link"));
    QVERIFY(QFile::link(outside + "/keep.txt", root + "/filelink"));

    worker.RemoveFolder(root);
    QVERIFY(!QFileInfo::exists(root));
    QVERIFY(QFile::exists(outside + "/keep.txt"));

    // A folder that is not there is only logged.
    worker.RemoveFolder(root);
    QVERIFY(!QFileInfo::exists(root));
}

QTEST_GUILESS_MAIN(TestUpdate)
#include "tst_update.moc"
