#include <QImage>
#include <QKeyEvent>
#include <QtTest>

#include "controls/QADI.h"
#include "controls/QCompass.h"

namespace {
QImage Render(QWidget& w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

const QRgb kSky = qRgb(48, 172, 220);
const QRgb kGround = qRgb(247, 168, 21);
}

class TestInstrumentDials : public QObject
{
    Q_OBJECT

private slots:
    void adiClamps()
    {
        QADI adi;
        QSignalSpy spy(&adi, &QADI::canvasReplot);
        adi.updateRoll(200);
        QCOMPARE(adi.getRoll(), 180.0);
        adi.updatePitch(-95);
        QCOMPARE(adi.getPitch(), -90.0);
        adi.updateRoll(std::numeric_limits<double>::quiet_NaN());
        QCOMPARE(adi.getRoll(), 0.0);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(adi.focusPolicy(), Qt::NoFocus);
        QCOMPARE(adi.minimumSize(), QSize(200, 200));
        QCOMPARE(adi.maximumSize(), QSize(600, 600));
    }

    void adiKeys()
    {
        QADI adi;
        adi.updatePitch(90);
        QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
        QApplication::sendEvent(&adi, &up);
        QCOMPARE(adi.getPitch(), 90.0);
        adi.updateRoll(180);
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        QApplication::sendEvent(&adi, &right);
        QCOMPARE(adi.getRoll(), 181.0); // keys move roll without limit
        adi.updatePitch(-90);
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(&adi, &down);
        QCOMPARE(adi.getPitch(), -90.0);
    }

    void adiLevelPicture()
    {
        QADI adi;
        adi.resize(300, 300);
        adi.show();
        QCOMPARE(adi.getDialSize(), 296);
        const QImage img = Render(adi);
        // Sky above the centre, ground below, nothing outside the disc.
        QCOMPARE(img.pixel(150, 60), kSky);
        QCOMPARE(img.pixel(150 - 40, 240), kGround);
        // The green horizon rung runs through the centre.
        QCOMPARE(QColor(img.pixel(150 - 40, 150)).green() > 200 && QColor(img.pixel(150 - 40, 150)).red() < 50, true);
    }

    void adiPitchClampedHorizon()
    {
        QADI adi;
        adi.resize(200, 200); // d = 196, h = 98
        adi.show();
        adi.updatePitch(50);
        const QImage img = Render(adi);
        // Horizon held at 87 px below the centre (the black chord line at
        // +86/+87): sky at +85, ground from +88 (off the centre column, where
        // the roll scale's 180 label stands).
        QCOMPARE(img.pixel(70, 100 + 85), kSky);
        QCOMPARE(img.pixel(70, 100 + 88), kGround);
        QCOMPARE(img.pixel(70, 100 + 86), qRgb(0, 0, 0));
    }

    void adiWideWidget()
    {
        QADI adi;
        adi.resize(500, 300);
        adi.show();
        QCOMPARE(adi.getDialSize(), 296);
        const QImage img = Render(adi);
        QCOMPARE(img.pixel(250, 20), kSky);
        QVERIFY(img.pixel(60, 20) != kSky); // outside the centred disc
    }

    void compassWrap()
    {
        QCompass c;
        c.updateHeading(-90);
        QCOMPARE(c.getHeading(), 270.0);
        c.updateHeading(400);
        QCOMPARE(c.getHeading(), 40.0);
        c.updateHeading(360);
        QCOMPARE(c.getHeading(), 360.0);
        c.updateHeading(-400);
        QCOMPARE(c.getHeading(), -40.0);
        c.updateHeading(std::numeric_limits<double>::quiet_NaN());
        QCOMPARE(c.getHeading(), 0.0);
    }

    void compassKeys()
    {
        QCompass c;
        c.updateHeading(0);
        QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
        QApplication::sendEvent(&c, &left);
        QCOMPARE(c.getHeading(), -1.0);
        QKeyEvent w(QEvent::KeyPress, Qt::Key_W, Qt::NoModifier);
        QApplication::sendEvent(&c, &w);
        QVERIFY(w.isAccepted());
        QCOMPARE(c.getHeading(), -1.0);
    }

    void compassMarkerFollowsHeading()
    {
        QCompass c;
        c.resize(300, 300); // d = 296, rim at y0 = -146
        c.show();
        // The marker's inner part sits about d/12 - 6 px in from the rim.
        auto markerAt = [&](double heading, QPoint probe) {
            c.updateHeading(heading);
            const QColor px(Render(c).pixel(probe));
            return px.red() > 200 && px.green() < 80 && px.blue() < 80;
        };
        const QPoint top(150, 150 - 146 + 18);
        const QPoint right(150 + 146 - 18, 150);
        const QPoint left(150 - 146 + 18, 150);
        QVERIFY(markerAt(0, top));
        QVERIFY(!markerAt(0, right));
        QVERIFY(markerAt(90, right));
        QVERIFY(markerAt(270, left));
        QVERIFY(markerAt(360, top));
        // The needle never turns: blue above the centre whatever the heading.
        c.updateHeading(180);
        const QColor needle(Render(c).pixel(150, 150 - 40));
        QVERIFY(needle.blue() > 200 && needle.red() < 50);
    }

    void nonFiniteValuesDrawLevelAndNorth_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("+inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity();
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
    }

    void nonFiniteValuesDrawLevelAndNorth()
    {
        QFETCH(double, value);
        QADI adi;
        adi.resize(300, 300);
        adi.show();
        adi.updateRoll(30);
        adi.updatePitch(20);
        adi.updateRoll(value);
        adi.updatePitch(value);
        const QImage img = Render(adi);
        QCOMPARE(img.pixel(150, 60), kSky);
        QCOMPARE(img.pixel(150 - 40, 240), kGround);
        const QColor rung(img.pixel(150 - 40, 150));
        QVERIFY(rung.green() > 200 && rung.red() < 50);

        QCompass c;
        c.resize(300, 300);
        c.show();
        c.updateHeading(90);
        c.updateHeading(value);
        QCOMPARE(c.getHeading(), 0.0);
        const QColor marker(Render(c).pixel(150, 150 - 146 + 18));
        QVERIFY(marker.red() > 200 && marker.green() < 80 && marker.blue() < 80);
    }
};

QTEST_MAIN(TestInstrumentDials)
#include "tst_instrument_dials.moc"
