#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include "commom/CommonFunction.h"
#include "widgets/singleTools/parameterConfigPage/ParamCsv.h"
#include "widgets/singleTools/parameterConfigPage/ParamNameTable.h"

class TestParamNamesCsv : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) {
            return QString();
        }
        f.write(bytes);
        return path;
    }

private slots:
    void nameTableParticularRows()
    {
        int id = -1;
        QVERIFY(ParamNameTable::Lookup("L", &id));
        QCOMPARE(id, 113);
        QVERIFY(ParamNameTable::Lookup("LY", &id));
        QCOMPARE(id, 111);
        QVERIFY(ParamNameTable::Lookup("LZ", &id));
        QCOMPARE(id, 112);
        QVERIFY(!ParamNameTable::Lookup("LX"));
        QVERIFY(ParamNameTable::Lookup("RESERVED24", &id));
        QCOMPARE(id, 49);
        QVERIFY(ParamNameTable::Lookup("RESERVED94", &id));
        QCOMPARE(id, 119);
        QVERIFY(!ParamNameTable::Lookup("RESERVED46"));
        QVERIFY(ParamNameTable::Lookup("GYRO_MEASUREMENT_THRESHOLD", &id));
        QCOMPARE(id, 71);
        QVERIFY(ParamNameTable::Lookup("BAUD_RATE", &id));
        QCOMPARE(id, 3);
        QVERIFY(!ParamNameTable::Lookup("baud_rate"));
        QVERIFY(!ParamNameTable::Lookup(" BAUD_RATE"));
        QVERIFY(!ParamNameTable::Lookup("IMU_ORIENTATION"));
        QVERIFY(ParamNameTable::Lookup("CONFIG_NUM_PARAMS", &id));
        QCOMPARE(id, 127);
        QVERIFY(ParamNameTable::Lookup("flash_crc32", &id));
        QCOMPARE(id, 126);
        QVERIFY(ParamNameTable::Lookup("INSTALL_ERR_BEAT", &id));
        QCOMPARE(id, 17);
        QVERIFY(ParamNameTable::Lookup("P_BMI_Gyro_Range", &id));
        QCOMPARE(id, 20);
    }

    void nameTableIsComplete()
    {
        const QMap<QString, int> map = ParamNameTable::BuildMap();
        QCOMPARE(map.size(), 128);
        const QStringList names = ParamNameTable::NamesInIdOrder();
        QCOMPARE(names.size(), 128);
        QSet<int> ids;
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            ids.insert(it.value());
            QCOMPARE(names.at(it.value()), it.key());
        }
        QCOMPARE(ids.size(), 128);
        // reserved ids carry id - 25
        for (int id : {49, 59, 65, 70, 72, 85, 91, 98, 115, 117, 119}) {
            QCOMPARE(ParamNameTable::NameOf(id), QString("RESERVED%1").arg(id - 25));
        }
        QCOMPARE(ParamNameTable::NameOf(128), QString());
        QCOMPARE(ParamNameTable::NameOf(-1), QString());
    }

    void exportRowsFormats()
    {
        QMap<unsigned int, float> table;
        table.insert(5, 10.0f);
        table.insert(100, 0.123456f);
        table.insert(86, 2.6f);
        table.insert(87, 1.5f);
        table.insert(127, 9.0f); // never written
        const QList<QStringList> rows = ParamCsv::BuildExportRows(table);
        QCOMPARE(rows.size(), 127);
        QCOMPARE(rows.at(5), QStringList({"5", "10"}));
        QCOMPARE(rows.at(100), QStringList({"100", "0.12346"}));
        QCOMPARE(rows.at(86), QStringList({"86", "3"}));
        QCOMPARE(rows.at(87), QStringList({"87", "1.50000"}));
        QCOMPARE(rows.at(40), QStringList({"40", "0"}));
        QCOMPARE(rows.at(120), QStringList({"120", "0.00000"}));
        QCOMPARE(rows.last(), QStringList({"126", "0.00000"}));
    }

    void exportFileThroughCsvWriter()
    {
        QMap<unsigned int, float> table;
        table.insert(3, 115200.0f);
        QFile file(ParamCsv::ExportFileName(m_dir.path(), "2024-01-02-03-04-05"));
        QVERIFY(file.fileName().endsWith("/2024-01-02-03-04-05-参数表.csv"));
        QVERIFY(WriteCsvFile(&file, ParamCsv::BuildExportRows(table)));
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), 128); // 127 lines, each ended by "\n"
        QVERIFY(lines.last().isEmpty());
        QCOMPARE(lines.at(0), QByteArray("0,0"));
        QCOMPARE(lines.at(3), QByteArray("3,115200"));
        QCOMPARE(lines.at(126), QByteArray("126,0.00000"));
    }

    void importReadsThePartsExamples()
    {
        const QString path = WriteFile("a.txt", "A:1\n\nB: 2.5\nC:x\nBAUD_RATE  :9600\n");
        QMap<QString, float> out;
        QVERIFY(ParamCsv::ReadNameValueFile(path, out));
        QCOMPARE(out.size(), 3);
        QCOMPARE(out.value("A"), 1.0f);
        QCOMPARE(out.value("B"), 2.5f);
        QVERIFY(!out.contains("C"));
        QCOMPARE(out.value("BAUD_RATE"), 9600.0f);
    }

    void importStopsAtBadFormat()
    {
        const QString path = WriteFile("b.txt", "A:1\r\nB:2\r\nD:1:2\r\nE:5\r\n");
        QMap<QString, float> out;
        out.insert("Z", 7.0f);
        QVERIFY(ParamCsv::ReadNameValueFile(path, out));
        QCOMPARE(out.size(), 3);
        QCOMPARE(out.value("Z"), 7.0f);
        QCOMPARE(out.value("A"), 1.0f);
        QCOMPARE(out.value("B"), 2.0f);
        QVERIFY(!out.contains("D"));
        QVERIFY(!out.contains("E"));
    }

    void importOddValues()
    {
        const QString path = WriteFile("c.txt", "A:nan\nB:inf\nC:\n  two   words :3\nA:4\nA:5\n");
        QMap<QString, float> out;
        QVERIFY(ParamCsv::ReadNameValueFile(path, out));
        QCOMPARE(out.size(), 2);
        QCOMPARE(out.value("A"), 5.0f);
        QCOMPARE(out.value("two words"), 3.0f);
    }

    void importOfAnExportGivesNothing()
    {
        const QString path = WriteFile("d.csv", "0,0\n1,0\n");
        QMap<QString, float> out;
        QVERIFY(ParamCsv::ReadNameValueFile(path, out));
        QVERIFY(out.isEmpty());
        QVERIFY(!ParamCsv::ReadNameValueFile(m_dir.filePath("missing.txt"), out));
        QVERIFY(out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestParamNamesCsv)
#include "tst_param_names_csv.moc"
