#include <QLabel>
#include <QtTest>

#include "controls/QADI.h"
#include "controls/QCompass.h"
#include "manager/RecvDataHandleManager.h"
#include "widgets/singleTools/InstrumentWidget.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

namespace {
AhrsData Sample(float roll, float pitch, float yaw)
{
    AhrsData s{};
    s.roll = roll;
    s.pitch = pitch;
    s.yaw = yaw;
    s.acc_x = 0.5f;
    s.acc_y = -0.25f;
    s.acc_z = 1.0f;
    s.gyro_x = 1.0f;
    s.gyro_y = 2.0f;
    s.gyro_z = 3.0f;
    s.temperature = 25.125f;
    return s;
}

void Send(int id, const QVariant& v)
{
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(id, v);
}

QString Text(QWidget& w, const char* name)
{
    return w.findChild<QLabel*>(name)->text();
}
}

class TestInstrumentPanel : public QObject
{
    Q_OBJECT

private slots:
    void formAndInitialTexts()
    {
        InstrumentWidget page(nullptr);
        QCOMPARE(page.size(), QSize(989, 646));
        QCOMPARE(Text(page, "label_1011"), QString("ACCX:  N/A"));
        QCOMPARE(Text(page, "label_1019"), QString("GYROZ  :N/A"));
        QCOMPARE(page.findChild<QCompass*>("widgetHSI")->geometry(), QRect(180, 70, 300, 300));
        QCOMPARE(page.findChild<QADI*>("widgetPFD")->geometry(), QRect(510, 70, 300, 300));
        QVERIFY(page.findChild<QLabel*>("label_1021")->font().bold());
    }

    void rawLabelsClampedDials()
    {
        InstrumentWidget page(nullptr);
        qint64 now = 5000000000LL;
        page.SetClockSource([&] { return now; });
        Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(190.0f, -95.0f, -10.0f)));
        auto* adi = page.findChild<QADI*>("widgetPFD");
        auto* compass = page.findChild<QCompass*>("widgetHSI");
        QCOMPARE(adi->getRoll(), 180.0);
        QCOMPARE(adi->getPitch(), -90.0);
        QCOMPARE(compass->getHeading(), 350.0);
        QCOMPARE(Text(page, "label_1013"), QString("ROLL：190.0000"));
        QCOMPARE(Text(page, "label_1016"), QString("PITCH：-95.00"));
        QCOMPARE(Text(page, "label_1020"), QString("YAW：-10.00"));
        QCOMPARE(Text(page, "label_1011"), QString("ACCX：0.500"));
        QCOMPARE(Text(page, "label_1014"), QString("ACCY：-0.250"));
        QCOMPARE(Text(page, "label_1018"), QString("ACCZ：1.000"));
        QCOMPARE(Text(page, "label_1012"), QString("GYROX：1.000"));
        QCOMPARE(Text(page, "label_1015"), QString("GYROY：2.000"));
        QCOMPARE(Text(page, "label_1019"), QString("GYROZ：3.000"));
        QCOMPARE(Text(page, "label_1021"), QString("TEMP：25.13"));
    }

    void refreshIntervals()
    {
        InstrumentWidget page(nullptr);
        qint64 now = 0; // a monotonic clock may start anywhere, even at 0
        page.SetClockSource([&] { return now; });
        auto* adi = page.findChild<QADI*>("widgetPFD");
        const qint64 ms = 1000000;

        Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(1, 0, 0))); // first: everything at once
        QCOMPARE(adi->getRoll(), 1.0);
        QCOMPARE(Text(page, "label_1013"), QString("ROLL：1.0000"));

        now += 30 * ms; // not more than 30 ms after the label refresh
        Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(2, 0, 0)));
        QCOMPARE(adi->getRoll(), 1.0);

        now += 1 * ms; // 31 ms: the dials follow, the labels wait
        Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(3, 0, 0)));
        QCOMPARE(adi->getRoll(), 3.0);
        QCOMPARE(Text(page, "label_1013"), QString("ROLL：1.0000"));

        now += 169 * ms; // exactly 200 ms: still not more than 0.2 s
        Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(4, 0, 0)));
        QCOMPARE(adi->getRoll(), 4.0);
        QCOMPARE(Text(page, "label_1013"), QString("ROLL：1.0000"));

        now += 1 * ms; // the labels follow; the dials were repainted 1 ms ago
        Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(5, 0, 0)));
        QCOMPARE(Text(page, "label_1013"), QString("ROLL：5.0000"));
        QCOMPARE(adi->getRoll(), 4.0);

        now += 10 * ms;
        Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(6, 0, 0)));
        QCOMPARE(adi->getRoll(), 4.0);
        QTRY_COMPARE_WITH_TIMEOUT(adi->getRoll(), 6.0, 5000); // held back, then shown

        // Samples every 10 ms: the labels change about every 21st, the dials
        // about every 4th (at most 33 times a second).
        int labelChanges = 0;
        int dialChanges = 0;
        QString last = Text(page, "label_1013");
        double lastRoll = adi->getRoll();
        for (int i = 0; i < 210; ++i) {
            now += 10 * ms;
            Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(10.0f + 0.5f * float(i), 0, 0)));
            labelChanges += Text(page, "label_1013") != last ? 1 : 0;
            dialChanges += adi->getRoll() != lastRoll ? 1 : 0;
            last = Text(page, "label_1013");
            lastRoll = adi->getRoll();
        }
        QVERIFY2(labelChanges >= 9 && labelChanges <= 11, qPrintable(QString::number(labelChanges)));
        QVERIFY2(dialChanges >= 50 && dialChanges <= 54, qPrintable(QString::number(dialChanges)));
    }

    // The last sample of a burst, 50 ms after the one before, reaches the
    // labels and the dials when their intervals run out: within 0.3 s.
    void lastSampleOfABurstIsShown()
    {
        InstrumentWidget page(nullptr);
        qint64 now = 0;
        page.SetClockSource([&] { return now; });
        auto* adi = page.findChild<QADI*>("widgetPFD");
        Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(1, 0, 0)));
        now += 50000000;
        Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(2, 0, 10)));
        QCOMPARE(Text(page, "label_1013"), QString("ROLL：1.0000"));
        auto* tail = page.findChild<QTimer*>("label_refresh_tail");
        QVERIFY(tail != nullptr && tail->isActive());
        QVERIFY2(tail->remainingTime() <= 300 - 50, qPrintable(QString::number(tail->remainingTime())));
        QTRY_COMPARE_WITH_TIMEOUT(Text(page, "label_1013"), QString("ROLL：2.0000"), 5000);
        QCOMPARE(Text(page, "label_1020"), QString("YAW：10.00"));
        QCOMPARE(adi->getRoll(), 2.0);
    }

    void otherIdsAndBadPayloads()
    {
        InstrumentWidget page(nullptr);
        qint64 now = 0;
        page.SetClockSource([&] { return now; });
        Send(PAGE_MSG_IMU33_DATA, QVariant::fromValue(Sample(45, 10, 90)));
        Send(PAGE_MSG_VERSION, QVariant());
        QCOMPARE(page.findChild<QADI*>("widgetPFD")->getRoll(), 0.0);
        QCOMPARE(Text(page, "label_1013"), QString("ROLL:  N/A"));
        Send(PAGE_MSG_AHRS_DATA, QVariant(QStringLiteral("junk")));
        QCOMPARE(Text(page, "label_1013"), QString("ROLL：0.0000"));
        QCOMPARE(Text(page, "label_1016"), QString("PITCH：0.00"));
        QCOMPARE(Text(page, "label_1011"), QString("ACCX：0.000"));
    }

    void screenshot()
    {
        InstrumentWidget page(nullptr);
        page.show();
        Send(PAGE_MSG_AHRS_DATA, QVariant::fromValue(Sample(25.0f, 12.0f, 135.0f)));
        QCoreApplication::processEvents();
        const QImage img = page.grab().toImage();
        QVERIFY(!img.isNull());
        img.save(QCoreApplication::applicationDirPath() + "/instrument_panel.png");
    }
};

QTEST_MAIN(TestInstrumentPanel)
#include "tst_instrument_panel.moc"
