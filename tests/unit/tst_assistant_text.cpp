#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include "widgets/singleTools/AssistantText.h"
#include "widgets/singleTools/AtCommandFile.h"
#include "widgets/singleTools/CommandFrameText.h"
#include "widgets/singleTools/ReceiveViewBuffer.h"
#include "workerThread/DeviceFrames.h"

namespace {

QByteArray Gbk(const QString& text)
{
    return QTextCodec::codecForName("GBK")->fromUnicode(text);
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// "AA 55 03 ..." with one blank between pairs.
QString Spaced(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

class TestAssistantText : public QObject
{
    Q_OBJECT

private slots:
    void lineEndings_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("plain") << "AT" << QByteArray("AT\r\n");
        QTest::newRow("escapes") << "AT\\r\\n" << QByteArray("AT\r\n");
        QTest::newRow("real line feed") << "AT\n" << QByteArray("AT\r\n");
        QTest::newRow("already ended") << "AT\r\n" << QByteArray("AT\r\n");
        QTest::newRow("lone CR") << "AT\r" << QByteArray("AT\r\r\n");
        QTest::newRow("escape in the middle") << "A\\nB" << QByteArray("A\nB\r\n");
    }
    void lineEndings()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, wire);
        QCOMPARE(AssistantText::ExpandEscapes(typed).toLatin1(), wire);
    }

    void hexText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("blank and comma") << "55 aa,01" << true << QByteArray("\x55\xAA\x01", 3);
        QTest::newRow("odd length") << "ABC" << true << QByteArray("\xAB\x0C", 2);
        QTest::newRow("line breaks") << "55\r\nAA\n01\r" << true << QByteArray("\x55\xAA\x01", 3);
        QTest::newRow("tab") << "55\t66" << true << QByteArray("\x55\x66", 2);
        QTest::newRow("tab inside a pair") << "5\t5 66" << true << QByteArray("\x55\x66", 2);
        QTest::newRow("not hex") << "GG" << false << QByteArray();
        QTest::newRow("bad in the middle") << "55 ZZ 01" << false << QByteArray();
        QTest::newRow("empty after cleaning") << " , " << true << QByteArray();
    }
    void hexText()
    {
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(QByteArray, wire);
        QByteArray out("stale");
        QCOMPARE(AssistantText::HexTextToBytes(typed, &out), ok);
        QCOMPARE(out, wire);
    }

    void receivedBytesAsText()
    {
        QCOMPARE(AssistantText::HexPairs(QByteArray("\x0A\xFF", 2)), QString("0A FF"));
        QCOMPARE(AssistantText::HexPairs(QByteArray("\x48\x00\x49", 3)), QString("48 00 49"));
        QCOMPARE(AssistantText::Utf8UpToZero(QByteArray("\x48\x00\x49", 3)), QString("H"));
        QCOMPARE(AssistantText::Utf8UpToZero(QString("中文").toUtf8()), QString("中文"));
        QCOMPARE(AssistantText::Utf8UpToZero(QByteArray()), QString());
    }

    void receiveViewLines()
    {
        QByteArray bytes;
        for (int i = 0; i < 40; ++i) {
            bytes.append(char(i));
        }
        const QStringList rows = ReceiveViewBuffer::HexRows(bytes).split('\n');
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0], Spaced(bytes.left(32)));
        QCOMPARE(rows[1], Spaced(bytes.mid(32)));

        const QString longLine(600, 'x');
        QCOMPARE(ReceiveViewBuffer::BoundedLines("a\r\nb\rc\nd", 10), QString("a\nb\nc\nd"));
        QCOMPARE(ReceiveViewBuffer::BoundedLines("a\nb\nc\nd", 2), QString("c\nd"));
        QCOMPARE(ReceiveViewBuffer::BoundedLines(longLine, 10).split('\n'),
                 (QStringList{longLine.left(256), longLine.mid(256, 256), longLine.mid(512)}));

        // A character split between two arrivals shows whole, once.
        ReceiveViewBuffer buffer;
        QString text;
        const QByteArray han = QString("中").toUtf8();
        buffer.Append("ab" + han.left(1));
        QVERIFY(buffer.Take(false, 10, &text));
        QCOMPARE(text, QString("ab"));
        buffer.Append(han.mid(1, 1));
        QVERIFY(!buffer.Take(false, 10, &text));
        buffer.Append(han.mid(2) + QByteArray("c\0d", 3));
        QVERIFY(buffer.Take(false, 10, &text));
        QCOMPARE(text, QString("中c"));
        QVERIFY(buffer.IsEmpty());

        // Held bytes are bounded; a tick takes at most the lines it is given.
        buffer.Append(QByteArray(3 * ReceiveViewBuffer::kMaxHeldBytes, 'z'));
        QVERIFY(buffer.Size() <= 2 * ReceiveViewBuffer::kMaxHeldBytes);
        QVERIFY(buffer.Take(true, 5, &text));
        QCOMPARE(text, QVector<QString>(5, Spaced(QByteArray(32, 'z'))).toList().join('\n'));
    }

    void loopPeriod()
    {
        QCOMPARE(AssistantText::ParsePeriod(""), uint16_t(0));
        QCOMPARE(AssistantText::ParsePeriod("0"), uint16_t(0));
        QCOMPARE(AssistantText::ParsePeriod("1"), uint16_t(1));
        QCOMPARE(AssistantText::ParsePeriod("65535"), uint16_t(65535));
        QCOMPARE(AssistantText::ParsePeriod("65536"), uint16_t(0));
        QCOMPARE(AssistantText::ParsePeriod("-5"), uint16_t(0));
        QCOMPARE(AssistantText::ParsePeriod("12ms"), uint16_t(0));
    }

    void frameCheck_data()
    {
        CommandFields fields;
        fields.cmd = 3;
        fields.f1 = 1.5f;
        fields.i2 = -7;
        const QString good = CommandFrameText::BuildText(fields);
        QString bad = good;
        bad.replace(0, 2, "56");
        const QByteArray device = BuildDeviceFrame(2, QByteArray("\x01\x02\x03\x04", 4));

        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("result");
        using R = AssistantText::FrameCheck;
        QTest::newRow("built command") << good << int(R::Passed);
        QTest::newRow("one pair changed") << bad << int(R::Failed);
        QTest::newRow("device frame with blanks") << Spaced(device) << int(R::Passed);
        QTest::newRow("device frame lower case") << Spaced(device).toLower() << int(R::Passed);
        QTest::newRow("device frame, CRC byte off")
            << Spaced(device.left(device.size() - 1) + char(device.back() ^ 1)) << int(R::Failed);
        QTest::newRow("joined without separators") << QString::fromLatin1(device.toHex()) << int(R::TooFewParts);
        QTest::newRow("three long parts") << "55AA 0100 1800" << int(R::TooFewParts);
        QTest::newRow("empty") << "" << int(R::Empty);
        QTest::newRow("foreign character") << "55 AA 0X 11 22 33" << int(R::BadCharacter);
        QTest::newRow("too few digits") << "55 AA 01" << int(R::TooShort);
        QTest::newRow("five bytes") << "55,AA,01,02,03" << int(R::Failed);
        QString twoLines = Spaced(device);
        twoLines[3 * 7 - 1] = QLatin1Char('\n');
        QTest::newRow("device frame over two lines") << twoLines << int(R::Passed);
        QTest::newRow("device frame with tabs") << Spaced(device).replace(' ', '\t') << int(R::Passed);
        QTest::newRow("comma and blank") << Spaced(device).replace(" ", ", ") << int(R::Passed);
    }
    void frameCheck()
    {
        QFETCH(QString, text);
        QFETCH(int, result);
        QCOMPARE(int(AssistantText::CheckFrameText(text)), result);
    }

    void frameCrcIsLittleEndianOverAllButLastFour()
    {
        // CRC-32 (start 1, no final inversion) of the single byte 0x00 is
        // 0x77073096; stored low byte first it passes, in any other order not.
        QList<unsigned char> list{0x00, 0x11, 0x96, 0x30, 0x07, 0x77};
        list.removeAt(1);
        QVERIFY(!AssistantText::CheckFrameIsAva(list)); // five bytes
        const QByteArray frame = BuildDeviceFrame(9, QByteArray());
        QList<unsigned char> bytes;
        for (char c : frame) {
            bytes.append(static_cast<unsigned char>(c));
        }
        QVERIFY(AssistantText::CheckFrameIsAva(bytes));
        std::swap(bytes[bytes.size() - 1], bytes[bytes.size() - 4]);
        QVERIFY(!AssistantText::CheckFrameIsAva(bytes));
    }

    void atFileWrittenAsIndentedGbk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("at_command.json");
        QVERIFY(AtCommandFile::WriteLists(path, {"AT+A", "AT+B"}, {"设置串口1 输出AHRS", ""}));
        const QString expected = QStringLiteral(
            "{\n"
            "    \"commands\": [\n"
            "        \"AT+A\",\n"
            "        \"AT+B\"\n"
            "    ],\n"
            "    \"descriptions\": [\n"
            "        \"设置串口1 输出AHRS\",\n"
            "        \"\"\n"
            "    ]\n"
            "}\n");
        QCOMPARE(ReadAll(path), Gbk(expected));

        // Read back: the space inside the description stays.
        QVector<QString> commands;
        QVector<QString> descriptions;
        AtCommandFile::ExtractLists(AtCommandFile::ReadJson(path), &commands, &descriptions);
        QCOMPARE(commands, (QVector<QString>{"AT+A", "AT+B"}));
        QCOMPARE(descriptions, (QVector<QString>{"设置串口1 输出AHRS", ""}));
    }

    void atFileReplacedNotAppended()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("at.json");
        WriteBytes(path, QByteArray(4096, ' '));
        QVERIFY(AtCommandFile::WriteLists(path, {"X"}, {"Y"}));
        QCOMPARE(ReadAll(path), Gbk("{\n    \"commands\": [\n        \"X\"\n    ],\n"
                                    "    \"descriptions\": [\n        \"Y\"\n    ]\n}\n"));
    }

    void atFileBadInputGivesEmptyObject()
    {
        QTemporaryDir dir;
        QVERIFY(AtCommandFile::ReadJson(dir.filePath("missing.json")).isEmpty());
        WriteBytes(dir.filePath("array.json"), "[1,2]");
        QVERIFY(AtCommandFile::ReadJson(dir.filePath("array.json")).isEmpty());
        WriteBytes(dir.filePath("cut.json"), "{\"commands\": [\"AT");
        QVERIFY(AtCommandFile::ReadJson(dir.filePath("cut.json")).isEmpty());
        WriteBytes(dir.filePath("binary.json"), QByteArray("\xFF\xFE\x00\x81", 4));
        QVERIFY(AtCommandFile::ReadJson(dir.filePath("binary.json")).isEmpty());
        // A folder cannot be read as a file.
        QVERIFY(AtCommandFile::ReadJson(dir.path()).isEmpty());
        QVERIFY(!AtCommandFile::WriteJson(dir.filePath("no/such/folder/at.json"), QJsonObject()));
    }

    void atPairsNeverSlip()
    {
        QJsonObject obj;
        obj.insert("commands", QJsonArray{"A", 5, "C", "D"});
        obj.insert("descriptions", QJsonArray{"a", "b", 7});
        QVector<QString> commands;
        QVector<QString> descriptions;
        AtCommandFile::ExtractLists(obj, &commands, &descriptions);
        QCOMPARE(commands, (QVector<QString>{"A", "C", "D"}));
        QCOMPARE(descriptions, (QVector<QString>{"a", "", ""}));
    }

    void appendKeepsPairsTogetherAndNeverReplacesAnUnreadableFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("at.json");
        QVERIFY(AtCommandFile::WriteLists(path, {"AT+A"}, {"甲"}));
        QVERIFY(AtCommandFile::AppendJsonData(path, "AT+B", "乙"));
        QVector<QString> commands;
        QVector<QString> descriptions;
        AtCommandFile::ExtractLists(AtCommandFile::ReadJson(path), &commands, &descriptions);
        QCOMPARE(commands, (QVector<QString>{"AT+A", "AT+B"}));
        QCOMPARE(descriptions, (QVector<QString>{"甲", "乙"}));

        // A description list longer than the commands: the new pair still
        // shares one index.
        WriteBytes(path, Gbk("{\"commands\":[\"AT+A\"],\"descriptions\":[\"甲\",\"乙\",\"丙\"]}"));
        QVERIFY(AtCommandFile::AppendJsonData(path, "AT+ADDED", "加"));
        AtCommandFile::ExtractLists(AtCommandFile::ReadJson(path), &commands, &descriptions);
        QCOMPARE(commands, (QVector<QString>{"AT+A", "AT+ADDED"}));
        QCOMPARE(descriptions, (QVector<QString>{"甲", "加"}));

        const QByteArray broken = "{\"commands\": [\"AT+A\",]}";
        WriteBytes(path, broken);
        bool unreadable = false;
        QVERIFY(AtCommandFile::ReadJson(path, &unreadable).isEmpty());
        QVERIFY(unreadable);
        QString error;
        QVERIFY(!AtCommandFile::AppendJsonData(path, "AT+C", "丙", &error));
        QCOMPARE(error, "AT指令文件无法读取，请检查文件：" + path);
        QCOMPARE(ReadAll(path), broken);
        AtCommandFile::ReadJson(dir.filePath("missing.json"), &unreadable);
        QVERIFY(!unreadable);
    }
};

QTEST_GUILESS_MAIN(TestAssistantText)
#include "tst_assistant_text.moc"
