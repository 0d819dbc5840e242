#include <QtTest>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <iostream>
#include <sstream>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "commom/CheckedFile.h"
#include "commom/CommonFunction.h"
#include "commom/ThrottledLog.h"

namespace {

// Writes 1500 bytes through CheckedFile in a child whose files may not grow
// beyond 1000 bytes; returns the child's error text.
QString WriteBeyondSizeLimit(const QString& path, QIODevice::OpenMode mode)
{
    int fds[2];
    if (pipe(fds) != 0) {
        return QStringLiteral("no pipe");
    }
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        CheckedFile file(path);
        const bool ok = file.Open(mode) && file.Write(QByteArray(1500, 'x')) && file.Close();
        const QByteArray text = ok ? QByteArray("written") : file.ErrorText().toUtf8();
        (void)!write(fds[1], text.constData(), size_t(text.size()));
        _exit(0);
    }
    close(fds[1]);
    QByteArray text;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, int(n));
    }
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return QString::fromUtf8(text);
}

const unsigned char kCheck[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray("<unreadable>");
    }
    return file.readAll();
}

unsigned int PackLittleEndian(char b0, char b1, char b2, char b3)
{
    return static_cast<unsigned char>(b0) | (static_cast<unsigned int>(static_cast<unsigned char>(b1)) << 8)
           | (static_cast<unsigned int>(static_cast<unsigned char>(b2)) << 16)
           | (static_cast<unsigned int>(static_cast<unsigned char>(b3)) << 24);
}

} // namespace

class TestCommonFunctions : public QObject
{
    Q_OBJECT

private slots:
    void crc32CheckValueFromOne()
    {
        QCOMPARE(crc_crc32(1, kCheck, sizeof(kCheck)), 0x3A8639CBu);
        QCOMPARE(crc32(kCheck, sizeof(kCheck), 1), 0x3A8639CBu);
        // Without inversion, initial 0xFFFFFFFF gives the complement of the
        // usual CRC-32 check value 0xCBF43926.
        QCOMPARE(crc_crc32(0xFFFFFFFFu, kCheck, sizeof(kCheck)), ~0xCBF43926u);
    }

    void crc32ChainedEqualsOneCall()
    {
        QByteArray data;
        for (int i = 0; i < 300; ++i) {
            data.append(static_cast<char>((i * 37 + 11) & 0xFF));
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
        const unsigned int whole = crc_crc32(1, bytes, static_cast<unsigned int>(data.size()));
        unsigned int reg = 1;
        for (int i = 0; i < data.size(); ++i) {
            reg = crc_crc32(reg, bytes + i, 1);
        }
        QCOMPARE(reg, whole);
        unsigned int split = crc32(bytes, 100, 0);
        split = crc32(bytes + 100, static_cast<unsigned int>(data.size() - 100), split);
        QCOMPARE(split, crc32(bytes, static_cast<unsigned int>(data.size()), 0));
    }

    void crc32EmptyReturnsInitial()
    {
        QCOMPARE(crc_crc32(1, kCheck, 0), 1u);
        QCOMPARE(crc_crc32(0xDEADBEEFu, kCheck, 0), 0xDEADBEEFu);
        QCOMPARE(crc32(nullptr, 5, 7u), 7u);
    }

    void crc8AndModbus()
    {
        QCOMPARE(static_cast<int>(crc_crc8(kCheck, sizeof(kCheck))), 0xF4);
        QCOMPARE(static_cast<int>(crc_crc8(kCheck, 0)), 0);
        QCOMPARE(static_cast<int>(crc16table(kCheck, sizeof(kCheck))), 0x4B37);
        QCOMPARE(static_cast<int>(crc16table(kCheck, 0)), 0xFFFF);
        // A MODBUS frame carries its CRC low byte first; the CRC over the
        // whole frame is then 0.
        const unsigned short crc = crc16table(kCheck, sizeof(kCheck));
        unsigned char frame[11];
        memcpy(frame, kCheck, 9);
        frame[9] = static_cast<unsigned char>(crc & 0xFF);
        frame[10] = static_cast<unsigned char>(crc >> 8);
        QCOMPARE(static_cast<int>(crc16table(frame, 11)), 0);
    }

    void hexToAscii()
    {
        QCOMPARE(HexToASCII('7'), QString("7"));
        QCOMPARE(HexToASCII('Q'), QString("Q"));
        QCOMPARE(HexToASCII('z'), QString("z"));
        QCOMPARE(HexToASCII(' '), QString());
        QCOMPARE(HexToASCII(0), QString());
        QCOMPARE(HexToASCII('.'), QString());
        QCOMPARE(HexToASCII(0xC1), QString());
    }

    void int32ToAscii_data()
    {
        QTest::addColumn<uint>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0u << "0";
        QTest::newRow("29") << 29u << "29";
        QTest::newRow("30 is no character") << 30u << "";
        QTest::newRow("65") << 65u << "A";
        QTest::newRow("0x4142") << 0x4142u << "BA";
        QTest::newRow("odd digit count") << 0x05434241u << "ABC";
        QTest::newRow("top nibble only") << 0x0F313056u << "V01";
        QTest::newRow("top byte 0x01") << 0x01414243u << "CBA";
        QTest::newRow("V123") << PackLittleEndian('V', '1', '2', '3') << "V123";
        QTest::newRow("V1.0") << PackLittleEndian('V', '1', '.', '0') << "V10";
        QTest::newRow("all ones") << 0xFFFFFFFFu << "";
    }

    void int32ToAscii()
    {
        QFETCH(uint, value);
        QFETCH(QString, text);
        QCOMPARE(Int32toAscii(value), text);
    }

    void turnTableType()
    {
        QCOMPARE(GetTurnTableType(100, 1), 4);
        QCOMPARE(GetTurnTableType(200, -3), 1);
        QCOMPARE(GetTurnTableType(7, 1), 3);
        QCOMPARE(GetTurnTableType(100, 0), 2);
        QCOMPARE(GetTurnTableType(200, 0), 1);
        QCOMPARE(GetTurnTableType(7, 0), 0);
    }

    void printfHex()
    {
        std::ostringstream out;
        std::streambuf* old = std::cout.rdbuf(out.rdbuf());
        const char bytes[] = {0x0A, static_cast<char>(0xFF), 0x00, 0x7F};
        PrintfHex(bytes, 4);
        PrintfHex(bytes, 0);
        std::cout.rdbuf(old);
        std::cout << std::dec;
        QCOMPARE(QString::fromStdString(out.str()), QString("0a ff 00 7f "));
    }

    void timeStamps()
    {
        const qint64 wall = GetCurrentTimeInMes();
        const qint64 qtWall = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(qAbs(wall - qtWall) < 1000);
        const qint64 a = GetMonotonicTimeInMs();
        const qint64 b = GetMonotonicTimeInMs();
        QVERIFY(b >= a);
        QCOMPARE(GetCurrentDateTime("yyyy").size(), 4);
    }

    void sleepKeepsEventLoopRunning()
    {
        bool ran = false;
        QTimer::singleShot(10, this, [&ran]() { ran = true; });
        bool queued = false;
        QMetaObject::invokeMethod(this, [&queued]() { queued = true; }, Qt::QueuedConnection);
        QElapsedTimer timer;
        timer.start();
        MSleepNonBlock(60);
        QVERIFY(timer.elapsed() >= 55);
        QVERIFY(ran);
        QVERIFY(queued);
    }

    void sleepZeroRunsPendingEvents()
    {
        bool queued = false;
        QMetaObject::invokeMethod(this, [&queued]() { queued = true; }, Qt::QueuedConnection);
        MSleepNonBlock(0);
        QVERIFY(queued);
        WaitFunNonBlock(0);
        WaitFunNonBlock(-5); // a negative wait returns at once
    }

    void sleepOnWorkerThread()
    {
        QThread thread;
        bool done = false;
        QObject worker;
        worker.moveToThread(&thread);
        thread.start();
        QMetaObject::invokeMethod(&worker, [&done]() {
            MSleepNonBlock(20);
            done = true;
        }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
        QVERIFY(done);
    }

    void scaleImage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("icon.png");
        QImage image(200, 100, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(path));
        const QPixmap scaled = ScaleImage(path, 50, 50);
        QCOMPARE(scaled.size(), QSize(50, 25));
        QVERIFY(ScaleImage(dir.filePath("missing.png"), 50, 50).isNull());
        QVERIFY(ScaleImage(path, 0, 0).isNull());
    }

    void csvWritesGbkLines()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("rows.csv"));
        QVERIFY(WriteCsvFile(&file, {{"a", "b"}, {"c"}, {"参数", "", "x"}}));
        QVERIFY(file.isOpen()); // the caller closes it
        file.close();
        QCOMPARE(ReadAll(file.fileName()), QByteArray("a,b\nc\n\xB2\xCE\xCA\xFD,,x\n"));
    }

    void csvQuotesSpecialFields()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("quoted.csv"));
        QVERIFY(WriteCsvFile(&file, {{"x,y", "say \"hi\"", "l1\nl2", "cr\r", "plain"}}));
        file.close();
        QCOMPARE(ReadAll(file.fileName()),
                 QByteArray("\"x,y\",\"say \"\"hi\"\"\",\"l1\nl2\",\"cr\r\",plain\n"));
    }

    void csvRoundTrip()
    {
        QTemporaryDir dir;
        const QList<QStringList> rows = {{"x,y", "say \"hi\"", "l1\nl2", ""}, {"名称", "值"}, {""}, {"end"}};
        QFile out(dir.filePath("round.csv"));
        QVERIFY(WriteCsvFile(&out, rows));
        out.close();
        QFile in(dir.filePath("round.csv"));
        QCOMPARE(ReadCsvFile(&in, QLatin1Char(',')), rows);
    }

    void csvReadsUtf8AndPlainLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("plain.csv");
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write(QString("名称;值\r\na;;b\n;\nlast").toUtf8());
        raw.close();
        QFile in(path);
        const QList<QStringList> expected = {{"名称", "值"}, {"a", "", "b"}, {"", ""}, {"last"}};
        QCOMPARE(ReadCsvFile(&in, QLatin1Char(';')), expected);
    }

    void csvBadInput()
    {
        QFile unnamed;
        QVERIFY(!WriteCsvFile(&unnamed, {{"a"}}));
        QVERIFY(ReadCsvFile(&unnamed, QLatin1Char(',')).isEmpty());
        QVERIFY(!WriteCsvFile(nullptr, {{"a"}}));

        QTemporaryDir dir;
        QFile missingFolder(dir.filePath("no/such/folder/x.csv"));
        QString error;
        QVERIFY(!WriteCsvFile(&missingFolder, {{"a"}}, &error));
        QCOMPARE(error, "文件打开失败：" + missingFolder.fileName() + "（No such file or directory）");
        QFile missing(dir.filePath("missing.csv"));
        QVERIFY(ReadCsvFile(&missing, QLatin1Char(',')).isEmpty());

        // An unterminated quote keeps what is there instead of running away.
        const QString path = dir.filePath("broken.csv");
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write("a,\"open field\nnext");
        raw.close();
        QFile in(path);
        const QList<QStringList> expected = {{"a", "open field\nnext"}};
        QCOMPARE(ReadCsvFile(&in, QLatin1Char(',')), expected);
    }

    void csvFailedWriteIsReported()
    {
        if (!QFile::exists("/dev/full")) {
            QSKIP("no /dev/full here");
        }
        QFile full("/dev/full");
        QString error;
        QVERIFY(!WriteCsvFile(&full, {{"a", "b"}, {QString(5000, QLatin1Char('z'))}}, &error));
        QCOMPARE(error, QString("文件写入失败：/dev/full（No space left on device）"));
        full.close();

        // A file already open for reading only cannot take the rows.
        QTemporaryDir dir;
        const QString path = dir.filePath("readonly.csv");
        QFile create(path);
        QVERIFY(create.open(QIODevice::WriteOnly));
        create.close();
        QFile readOnly(path);
        QVERIFY(readOnly.open(QIODevice::ReadOnly));
        QVERIFY(!WriteCsvFile(&readOnly, {{"a"}}));
    }

    void jsonKeepsTypes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("values.json");
        QMap<QString, QVariant> values;
        values["int"] = 5;
        values["double"] = 2.5;
        values["bool"] = true;
        values["text"] = QString("5");
        values["chinese"] = QString("航向");
        values["list"] = QVariantList{1, "two", false};
        values["map"] = QVariantMap{{"k", 3}};
        values["null"] = QVariant();
        QVERIFY(WriteJsonFile(path, values));

        const QByteArray bytes = ReadAll(path);
        const QJsonObject object = QJsonDocument::fromJson(bytes).object();
        QVERIFY(object.value("int").isDouble());
        QCOMPARE(object.value("int").toDouble(), 5.0);
        QVERIFY(object.value("double").isDouble());
        QVERIFY(object.value("bool").isBool());
        QCOMPARE(object.value("bool").toBool(), true);
        QVERIFY(object.value("text").isString());
        QCOMPARE(object.value("text").toString(), QString("5"));
        QVERIFY(bytes.contains(QString("航向").toUtf8()));
        QVERIFY(object.value("list").isArray());
        QVERIFY(object.value("list").toArray().at(2).isBool());
        QVERIFY(object.value("map").toObject().value("k").isDouble());
        QVERIFY(object.value("null").isNull());
        QVERIFY(bytes.contains("\n    \"bool\": true"));

        const QMap<QString, QVariant> back = ReadJsonFile(path);
        QCOMPARE(back.value("int").type(), QVariant::Double);
        QCOMPARE(back.value("int").toInt(), 5);
        QCOMPARE(back.value("bool").type(), QVariant::Bool);
        QCOMPARE(back.value("text").type(), QVariant::String);
        QCOMPARE(back.value("chinese").toString(), QString("航向"));
        QCOMPARE(back.value("list").toList().size(), 3);
        QVERIFY(back.contains("null"));
        QVERIFY(!back.value("null").isValid());
    }

    void jsonBadInput()
    {
        QTemporaryDir dir;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot open file:"));
        QVERIFY(ReadJsonFile(dir.filePath("missing.json")).isEmpty());

        const QString arrayPath = dir.filePath("array.json");
        QFile array(arrayPath);
        QVERIFY(array.open(QIODevice::WriteOnly));
        array.write("[1, 2]");
        array.close();
        QTest::ignoreMessage(QtWarningMsg, "JSON is not an object.");
        QVERIFY(ReadJsonFile(arrayPath).isEmpty());

        const QString truncatedPath = dir.filePath("truncated.json");
        QFile truncated(truncatedPath);
        QVERIFY(truncated.open(QIODevice::WriteOnly));
        truncated.write("{\"a\": 1, \"b\": ");
        truncated.close();
        QTest::ignoreMessage(QtWarningMsg, "JSON is not an object.");
        QVERIFY(ReadJsonFile(truncatedPath).isEmpty());

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot open file for writing:"));
        QVERIFY(!WriteJsonFile(dir.filePath("no/such/dir/x.json"), {{"a", 1}}));
    }

    void checkedFileReportsEveryFailedStep()
    {
        QTemporaryDir dir;
        CheckedFile missing(dir.filePath("no/such/dir/x.dat"));
        QVERIFY(!missing.Open());
        QVERIFY(!missing.Write(QByteArray("abc")));
        QVERIFY(missing.ErrorText().startsWith(QStringLiteral("文件打开失败：") + dir.filePath("no/such/dir/x.dat")));

        if (QFile::exists("/dev/full")) {
            // The system refuses the bytes only when they leave Qt's buffer:
            // the failure must still surface, at the latest on close.
            CheckedFile full("/dev/full");
            QVERIFY(full.Open(QIODevice::WriteOnly));
            bool ok = full.Write(QByteArray(100, 'x'));
            ok = full.Close() && ok;
            QVERIFY(!ok);
            QVERIFY(full.ErrorText().startsWith(QStringLiteral("文件写入失败：/dev/full")));
        }

        // A block the system takes only in part (a file size limit here, a
        // filling disk in use) is a failure with the system's reason.
        for (const QIODevice::OpenMode mode : {QIODevice::OpenMode(QIODevice::WriteOnly), QIODevice::WriteOnly | QIODevice::Unbuffered}) {
            const QString reason = WriteBeyondSizeLimit(dir.filePath("limited.dat"), mode);
            QVERIFY2(reason.startsWith(QStringLiteral("文件写入失败：") + dir.filePath("limited.dat") + "（")
                         && reason.endsWith(QString::fromLocal8Bit(strerror(EFBIG)) + "）"),
                     qPrintable(reason));
        }

        CheckedFile good(dir.filePath("good.dat"));
        QVERIFY(good.Open());
        QVERIFY(good.Write(QByteArray("12")) && good.Write("345", 3));
        QVERIFY(good.Close());
        QCOMPARE(good.BytesWritten(), qint64(5));
        QCOMPARE(ReadAll(dir.filePath("good.dat")), QByteArray("12345"));
    }

    void checkedFileWriteAllReplacesWholeOrNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.json");
        QVERIFY(CheckedFile::WriteAll(path, "old"));
        QVERIFY(CheckedFile::WriteAll(path, "new content"));
        QCOMPARE(ReadAll(path), QByteArray("new content"));

        QString error;
        QVERIFY(!CheckedFile::WriteAll(dir.filePath("missing/x.json"), "x", &error));
        QVERIFY(error.startsWith(QStringLiteral("文件打开失败：")));
    }

    void throttledLogLetsOneLineThroughAndCountsTheRest()
    {
        ThrottledLog log(60000);
        int suppressed = -1;
        QVERIFY(log.Allow(&suppressed));
        QCOMPARE(suppressed, 0);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(!log.Allow(&suppressed));
        }
        log.Reset();
        QVERIFY(log.Allow(&suppressed));
        QCOMPARE(suppressed, 0);

        ThrottledLog quick(20);
        QVERIFY(quick.Allow());
        QVERIFY(!quick.Allow());
        QVERIFY(!quick.Allow());
        bool allowed = false;
        QTRY_VERIFY(allowed || (allowed = quick.Allow(&suppressed)));
        QVERIFY(suppressed >= 2);
    }
};

QTEST_MAIN(TestCommonFunctions)
#include "tst_common_functions.moc"
