#include <QtTest>

#include "widgets/singleTools/CommandFrameText.h"

class TestCommandText : public QObject
{
    Q_OBJECT

private slots:
    void modeCommandTextIsExact()
    {
        CommandFields f;
        f.cmd = 3;
        f.f1 = 1.0f;
        f.u1 = 0x1234;
        f.u2 = 0xABCD;
        f.i1 = 100;
        f.i2 = 200;
        const QByteArray frame = CommandFrameText::BuildFrame(f);
        QCOMPARE(frame.size(), 34);
        // CRC-32 (reflected 0xEDB88320, register 1, no final inversion) of
        // bytes 0 to 29, worked out apart from this program.
        QCOMPARE(CommandFrameText::BuildText(f),
                 QString("55,AA,03,00,18,00,00,00,80,3F,00,00,00,00,34,12,00,00,CD,AB,00,00,"
                         "64,00,00,00,C8,00,00,00,B2,73,4C,DA"));
        QCOMPARE(CommandFrameText::ToText(frame), CommandFrameText::BuildText(f));
    }

    void allZeroFrame()
    {
        const QString text = CommandFrameText::BuildText(CommandFields());
        QCOMPARE(text, QString("55,AA,00,00,18,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,"
                               "00,00,00,00,00,00,00,00,A0,26,84,35"));
        QCOMPARE(text.split(',').size(), 34);
        QVERIFY(!text.contains(' '));
        QVERIFY(!text.endsWith(','));
    }

    void buildThenParseGivesSameFields()
    {
        CommandFields f;
        f.cmd = 14;
        f.f1 = -2.5f;
        f.f2 = 0.125f;
        f.u1 = 4294967295u;
        f.u2 = 2147483648u;
        f.i1 = -7;
        f.i2 = 2147483647;
        const CommandFields back = CommandFrameText::FieldsFromBytes(
            CommandFrameText::ParseBytes(CommandFrameText::BuildText(f)));
        QCOMPARE(back.cmd, f.cmd);
        QCOMPARE(back.f1, f.f1);
        QCOMPARE(back.f2, f.f2);
        QCOMPARE(back.u1, f.u1);
        QCOMPARE(back.u2, f.u2);
        QCOMPARE(back.i1, f.i1);
        QCOMPARE(back.i2, f.i2);
        QCOMPARE(CommandFrameText::FloatText(back.f1), QString("-2.50000"));
    }

    void nonHexPartsAreSkipped()
    {
        QCOMPARE(CommandFrameText::ParseBytes("55,xx,AA,0e, ,12C,300,ff"),
                 QByteArray::fromHex("55aa0e2c00ff"));
        // a skipped part shifts every later byte one place forward
        const CommandFields f = CommandFrameText::FieldsFromBytes(
            CommandFrameText::ParseBytes("55,AA,zz,03,00,18,00"));
        QCOMPARE(f.cmd, uint16_t(3));
        QCOMPARE(CommandFrameText::ParseBytes("55,AA,zz,03"), QByteArray::fromHex("55aa03"));
    }

    void shortInputFillsZeros()
    {
        const CommandFields f = CommandFrameText::FieldsFromBytes(QByteArray::fromHex("55aa0e00180000"));
        QCOMPARE(f.cmd, uint16_t(14));
        QCOMPARE(f.f1, 0.0f);
        QCOMPARE(f.u1, 0u);
        QCOMPARE(f.i2, 0);
        const CommandFields none = CommandFrameText::FieldsFromBytes(QByteArray());
        QCOMPARE(none.cmd, uint16_t(0));
        // 16 bytes: u1 has only its two low bytes
        const CommandFields part = CommandFrameText::FieldsFromBytes(
            QByteArray::fromHex("55aa010018000000803f00000000ffff"));
        QCOMPARE(part.f1, 1.0f);
        QCOMPARE(part.u1, 0xFFFFu);
        // more than 34 bytes: the first 34 count
        QByteArray longer = CommandFrameText::BuildFrame(CommandFields());
        longer.append(QByteArray(10, '\x7f'));
        QCOMPARE(CommandFrameText::FieldsFromBytes(longer).i2, 0);
    }

    void fieldTexts()
    {
        QCOMPARE(CommandFrameText::ReadCommandId("3"), uint16_t(3));
        QCOMPARE(CommandFrameText::ReadCommandId("70000"), uint16_t(70000 & 0xFFFF));
        QCOMPARE(CommandFrameText::ReadCommandId("abc"), uint16_t(0));
        QCOMPARE(CommandFrameText::ReadUnsigned("2147483648"), 2147483648u);
        QCOMPARE(CommandFrameText::ReadUnsigned("4294967295"), 4294967295u);
        QCOMPARE(CommandFrameText::ReadUnsigned("4294967296"), 0u);
        QCOMPARE(CommandFrameText::ReadUnsigned("-1"), 0u);
        QCOMPARE(CommandFrameText::ReadSigned("2147483647"), 2147483647);
        QCOMPARE(CommandFrameText::ReadSigned("2147483648"), 0);
        QCOMPARE(CommandFrameText::ReadSigned("-5"), -5);
        QCOMPARE(CommandFrameText::ReadFloat("1.5"), 1.5f);
        QCOMPARE(CommandFrameText::ReadFloat("x"), 0.0f);
        QCOMPARE(CommandFrameText::ReadFloat(""), 0.0f);
    }
};

QTEST_GUILESS_MAIN(TestCommandText)
#include "tst_command_text.moc"
