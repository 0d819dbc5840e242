#include <QtTest>

#include "widgets/general/StringDecoder.h"

namespace {

void Feed(StringDecoder& d, const QByteArray& bytes)
{
    for (char c : bytes)
        d.DecodeStrC(static_cast<unsigned char>(c));
}

// Flags in the order GD32, AT32, ATUU, HC32, each read (and so cleared).
QString Flags(StringDecoder& d)
{
    QString s;
    s += d.GetGD32Status() ? 'G' : '-';
    s += d.GetAT32Status() ? 'A' : '-';
    s += d.GetATUUStatus() ? 'U' : '-';
    s += d.Gethc32Status() ? 'H' : '-';
    return s;
}

} // namespace

class TestBanner : public QObject
{
    Q_OBJECT
private slots:
    void splitBannerIsReportedOnce()
    {
        StringDecoder d;
        Feed(d, "GD32_UP");
        QCOMPARE(Flags(d), QString("----"));
        Feed(d, "LOADE");
        QCOMPARE(d.GetGD32Status(), 0);
        Feed(d, "R");
        QCOMPARE(d.GetGD32Status(), 1);
        QCOMPARE(d.GetGD32Status(), 0);
        Feed(d, "\r\n");
        QCOMPARE(Flags(d), QString("----"));
    }

    void eachFamily_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("flags");
        QTest::newRow("gd32") << QByteArray("GD32_UPLOADER") << "G---";
        QTest::newRow("at32") << QByteArray("AT32_UPLOADER") << "-A--";
        QTest::newRow("atuu") << QByteArray("ATUU_UPLOADER") << "--U-";
        QTest::newRow("hc32") << QByteArray("HC32_UPLOADER") << "---H";
        QTest::newRow("extra G") << QByteArray("GGD32_UPLOADER") << "G---";
        QTest::newRow("after text") << QByteArray("boot v2 ...HC32_UPLOADER\r\n") << "---H";
        QTest::newRow("noise bytes") << QByteArray("\x00\xff\xaa\x55" "AT32_UPLOADER", 17) << "-A--";
        QTest::newRow("two banners") << QByteArray("GD32_UPLOADERHC32_UPLOADER") << "G--H";
        QTest::newRow("restart on A") << QByteArray("GDAT32_UPLOADER") << "-A--";
    }
    void eachFamily()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, flags);
        StringDecoder d;
        Feed(d, bytes);
        QCOMPARE(Flags(d), flags);
    }

    void nearMissesAreNoBanners_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("lower case") << QByteArray("hc32_uploader");
        QTest::newRow("last letter wrong") << QByteArray("GD32_UPLOADEX");
        QTest::newRow("cut short") << QByteArray("GD32_UPLOADE");
        QTest::newRow("gap") << QByteArray("GD32 _UPLOADER");
        QTest::newRow("wrong family") << QByteArray("GD33_UPLOADER");
        QTest::newRow("at3u") << QByteArray("AT3U_UPLOADER");
        QTest::newRow("no separator") << QByteArray("AT32UPLOADER");
        QTest::newRow("doubled suffix letter") << QByteArray("HC32_UPPLOADER");
        QTest::newRow("request string") << QByteArray("GD32MCU_TALVEMIR");
    }
    void nearMissesAreNoBanners()
    {
        QFETCH(QByteArray, bytes);
        StringDecoder d;
        Feed(d, bytes);
        QCOMPARE(Flags(d), QString("----"));
    }

    void brokenSuffixClearsPendingFlag()
    {
        StringDecoder d;
        Feed(d, "GD32_UPLOADER");
        Feed(d, "GD32_UPLOADEX");
        QCOMPARE(d.GetGD32Status(), 0);
    }

    void otherFamilyKeepsPendingFlag()
    {
        StringDecoder d;
        Feed(d, "GD32_UPLOADER");
        Feed(d, "AT32_UPLOADEX");
        QCOMPARE(Flags(d), QString("G---"));
    }

    void suffixMatcher()
    {
        StringDecoder d;
        const QByteArray suffix = "_UPLOADER";
        for (char c : suffix)
            QCOMPARE(d.ProcessChar(static_cast<unsigned char>(c)), 1);
        // After the final 'R' it expects '_' again.
        QCOMPARE(d.ProcessChar('U'), 0);
        QCOMPARE(d.ProcessChar('_'), 1);
        QCOMPARE(d.ProcessChar('X'), 0);
        QCOMPARE(d.ProcessChar('U'), 0);
    }
};

QTEST_GUILESS_MAIN(TestBanner)
#include "tst_banner.moc"
