#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

#include <cmath>
#include <qcustomplot.h>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "controls/LockerButton.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "widgets/singleTools/AHRSDataWidget.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

namespace {

AhrsData MakeSample(uint32_t mcu, float base)
{
    AhrsData s{};
    s.MCU_TIME = mcu;
    s.pitch = base + 1.5f;
    s.roll = base - 2.25f;
    s.yaw = base * 3.0f;
    s.acc_x = 0.125f;
    s.acc_y = -0.5f;
    s.acc_z = 1.0f;
    s.gyro_x = 3.0f;
    s.gyro_y = 4.0f;
    s.gyro_z = 0.0f;
    s.temperature = 36.6f;
    return s;
}

void Feed(const QVariant& payload)
{
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_AHRS_DATA, payload);
}

void Feed(const AhrsData& s)
{
    Feed(QVariant::fromValue(s));
}

QString Text(QWidget& page, const char* name)
{
    QLabel* label = page.findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<missing %1>").arg(name);
}

// Counts the paints of a widget.
struct PaintCount : QObject
{
    explicit PaintCount(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
    int count = 0;
};

struct FakeClock
{
    qint64 ns = 1000000000000LL; // any origin: only differences count
    void AdvanceMs(double ms) { ns += static_cast<qint64>(ms * 1e6); }
    PageClock::Source Source() { return [this] { return ns; }; }
};

} // namespace

class TestAhrsPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InitCorvantaResources(); // record and panel icons for the screenshot
    }

    void init()
    {
        g_ahrs_file_recording = false;
        g_communicate_with_serial_flag = true;
        DialogSeam::SetScripted(true);
        DialogSeam::ClearRequests();
    }

    void initialTexts()
    {
        AHRSDataWidget page(nullptr);
        QCOMPARE(page.size(), QSize(981, 583));
        QCOMPARE(Text(page, "label_ahrs_rate"), QString("50.0hz"));
        QCOMPARE(Text(page, "label_rate"), QString("5.0hz"));
        QCOMPARE(Text(page, "label_ahrs_rate_2"), QString("10s"));
        QCOMPARE(page.PlotRateHz(), 50.0f);
        QCOMPARE(page.LabelRateHz(), 5.0f);
        QCOMPARE(page.ResumeDelayS(), 10);
        QCOMPARE(Text(page, "label_roll"), QString("ROLL：N/A"));
        QCOMPARE(Text(page, "label_ahrs_gyro_norm"), QString("GYR_NORM：N/A"));
        QVERIFY(page.findChild<QWidget*>("widget_set")->isHidden());
        for (const char* hidden : {"label_mx", "label_lose_pkt", "label_time_sync", "btn_lose_pkt_start",
                                   "btn_select_data_rate", "spinBox_lose_pkt"}) {
            QVERIFY2(page.findChild<QWidget*>(hidden)->isHidden(), hidden);
        }
        auto* combo = page.findChild<QComboBox*>("comboBox_module_16");
        QCOMPARE(combo->count(), 5);
        QCOMPARE(combo->itemText(4), QString("temp"));
        auto* plot3 = page.findChild<QCustomPlot*>("plot3");
        QCOMPARE(plot3->graphCount(), 4);
        QCOMPARE(plot3->graph(3)->name(), QString("temp"));
        QCOMPARE(plot3->graph(3)->pen().color(), QColor(Qt::cyan));
        QCOMPARE(int(plot3->interactions()), 0x3B);
        QCOMPARE(plot3->yAxis->range(), QCPRange(-100, 100));
    }

    void sliders()
    {
        AHRSDataWidget page(nullptr);
        auto* plotRate = page.findChild<QSlider*>("hs_ahrs_update_rate");
        auto* labelRate = page.findChild<QSlider*>("hs_label_update_rate");
        for (int v : {0, 1, 2}) {
            plotRate->setValue(50);
            plotRate->setValue(v);
            QCOMPARE(page.PlotRateHz(), 1.0f);
            QCOMPARE(Text(page, "label_ahrs_rate"), QString("1.0hz"));
        }
        labelRate->setValue(0);
        QCOMPARE(Text(page, "label_rate"), QString("0.1hz"));
        labelRate->setValue(37);
        QCOMPARE(Text(page, "label_rate"), QString("3.7hz"));

        auto* spin = page.findChild<QSpinBox*>("spinBox");
        spin->setValue(0);
        QCOMPARE(Text(page, "label_ahrs_rate_2"), QString("关闭自适应刷新"));
        QCOMPARE(page.ResumeDelayS(), 10);
        spin->setValue(2);
        QCOMPARE(Text(page, "label_ahrs_rate_2"), QString("2s"));
        QCOMPARE(page.ResumeDelayS(), 2);

        auto* toggle = page.findChild<LockerButton*>("btn_set_customLayout");
        QWidget* panel = page.findChild<QWidget*>("widget_set");
        const QImage expand(":/images/resources/images/Expand.png");
        const QImage collapse(":/images/resources/images/un-collapse-o.png");
        QVERIFY(!expand.isNull() && !collapse.isNull());
        auto shownImage = [toggle] { return toggle->GetImageHandle()->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_ARGB32); };
        QCOMPARE(shownImage(), collapse.convertToFormat(QImage::Format_ARGB32));
        toggle->click();
        QVERIFY(!panel->isHidden());
        QCOMPARE(shownImage(), expand.convertToFormat(QImage::Format_ARGB32));
        toggle->click();
        QVERIFY(panel->isHidden());
        QCOMPARE(shownImage(), collapse.convertToFormat(QImage::Format_ARGB32));
    }

    // The toggle's sheet gives it a transparent face; it must not come out as
    // a filled dark box.
    void settingsToggleIsNotABlackBox()
    {
        AHRSDataWidget page(nullptr);
        page.show();
        QCoreApplication::processEvents();
        auto* toggle = page.findChild<QPushButton*>("btn_set_customLayout");
        const QImage face = page.grab(toggle->geometry()).toImage();
        int dark = 0;
        for (int y = 0; y < face.height(); ++y) {
            for (int x = 0; x < face.width(); ++x) {
                dark += qGray(face.pixel(x, y)) < 60;
            }
        }
        // The caption's strokes are dark too, but only a small part of the face.
        QVERIFY2(dark < face.width() * face.height() / 4, qPrintable(QString::number(dark)));
    }

    void firstSampleOnlyStartsTheClock()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(MakeSample(1000, 10.0f));
        QCOMPARE(Text(page, "label_roll"), QString("ROLL：N/A"));
        QCOMPARE(page.Series(AHRSDataWidget::SERIES_ACC_X).count, 0u);

        clock.AdvanceMs(150); // within the 0.2 s readout interval
        Feed(MakeSample(2000, 10.0f));
        QCOMPARE(Text(page, "label_roll"), QString("ROLL：N/A"));
        QCOMPARE(page.Series(AHRSDataWidget::SERIES_ACC_X).count, 1u);

        clock.AdvanceMs(60); // 0.21 s after the first sample
        Feed(MakeSample(4294967295u, 10.0f));
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：0.125"));
        QCOMPARE(Text(page, "label_accy"), QString("ACCY：-0.500"));
        QCOMPARE(Text(page, "label_accz"), QString("ACCZ：1.000"));
        QCOMPARE(Text(page, "label_gyrox"), QString("GYROX：3.000"));
        QCOMPARE(Text(page, "label_gyroz"), QString("GYROZ：0.000"));
        QCOMPARE(Text(page, "label_roll"), QString("ROLL：7.7500"));
        QCOMPARE(Text(page, "label_pitch"), QString("PITCH：11.5000"));
        QCOMPARE(Text(page, "label_yaw"), QString("YAW：30.0000"));
        QCOMPARE(Text(page, "label_ahrs_gyro_norm"), QString("GYR_NORM：5.0000"));
        QCOMPARE(Text(page, "label_acc_norm"), QString("ACC_NORM：1.1250"));
        QCOMPARE(Text(page, "label_temp"), QString("TEMP：36.600"));
        QCOMPARE(Text(page, "label_mcu_time"), QString("MCU_TIME：4294967295"));
        // Stays until the next interval has passed.
        clock.AdvanceMs(100);
        Feed(MakeSample(7, 0.0f));
        QCOMPARE(Text(page, "label_mcu_time"), QString("MCU_TIME：4294967295"));
    }

    // The last sample of a burst, 50 ms after the one before, is shown when
    // the readout interval runs out: within 0.3 s.
    void lastSampleOfABurstIsShown()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(MakeSample(1, 1.0f));
        clock.AdvanceMs(250);
        Feed(MakeSample(2, 2.0f)); // refreshes the readouts
        QCOMPARE(Text(page, "label_mcu_time"), QString("MCU_TIME：2"));
        clock.AdvanceMs(50);
        Feed(MakeSample(3, 3.0f));
        QCOMPARE(Text(page, "label_mcu_time"), QString("MCU_TIME：2"));
        auto* tail = page.findChild<QTimer*>("label_refresh_tail");
        QVERIFY(tail != nullptr && tail->isActive());
        QVERIFY2(tail->remainingTime() <= 300 - 50, qPrintable(QString::number(tail->remainingTime())));
        QTRY_COMPARE_WITH_TIMEOUT(Text(page, "label_mcu_time"), QString("MCU_TIME：3"), 5000);
        QCOMPARE(Text(page, "label_roll"), QString("ROLL：0.7500"));
        QVERIFY(!tail->isActive());
    }

    void wrongPayloadShowsZeros()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(QVariant(QStringLiteral("not a sample")));
        clock.AdvanceMs(300);
        Feed(QVariant(QByteArray(44, '\x7f')));
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：0.000"));
        QCOMPARE(Text(page, "label_roll"), QString("ROLL：0.0000"));
        QCOMPARE(Text(page, "label_acc_norm"), QString("ACC_NORM：0.0000"));
        QCOMPARE(Text(page, "label_temp"), QString("TEMP：0.000"));
        QCOMPARE(Text(page, "label_mcu_time"), QString("MCU_TIME：0"));
        QCOMPARE(page.Series(AHRSDataWidget::SERIES_TEMP).values.value(0, -1.0), 0.0);
    }

    void otherIdsIgnored()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(MakeSample(1, 1));
        clock.AdvanceMs(500);
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_AHRS_GROUP_DATA,
                                                                    QVariant::fromValue(MakeSample(2, 2)));
        QCOMPARE(Text(page, "label_roll"), QString("ROLL：N/A"));
    }

    void seriesCapAndSelector()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        for (int i = 0; i < 700; ++i) {
            Feed(MakeSample(uint32_t(i) * 10000u, float(i)));
            clock.AdvanceMs(20);
        }
        for (int id = 0; id < AHRSDataWidget::SERIES_COUNT; ++id) {
            QCOMPARE(page.Series(id).count, SERIES_POINTS_MAX);
            QCOMPARE(page.Series(id).keys.size(), int(SERIES_POINTS_MAX));
            QCOMPARE(page.Series(id).values.size(), int(SERIES_POINTS_MAX));
        }
        // Oldest dropped first: the yaw of sample 699 is last, 200 first.
        QCOMPARE(page.Series(AHRSDataWidget::SERIES_YAW).values.last(), 699.0 * 3.0);
        QCOMPARE(page.Series(AHRSDataWidget::SERIES_YAW).values.first(), 200.0 * 3.0);
        // The graphs show the series.
        auto* plot3 = page.findChild<QCustomPlot*>("plot3");
        QVERIFY(plot3->graph(2)->dataCount() > 400);
        const double t = page.Series(AHRSDataWidget::SERIES_YAW).keys.last();
        QVERIFY(std::abs(plot3->xAxis->range().upper - t) < 0.05);
        QCOMPARE(plot3->xAxis->range().size(), 5.0);

        page.findChild<QComboBox*>("comboBox1")->setCurrentIndex(1);
        Feed(MakeSample(1, 1));
        QCOMPARE(page.Series(AHRSDataWidget::SERIES_ACC_X).count, SERIES_POINTS_MAX);
        QCOMPARE(page.Series(AHRSDataWidget::SERIES_ACC_Y).count, SERIES_POINTS_MAX - 1);
        QCOMPARE(page.Series(AHRSDataWidget::SERIES_ACC_Z).count, SERIES_POINTS_MAX - 1);

        page.findChild<QPushButton*>("btn_reset_data")->click();
        for (int id = 0; id < AHRSDataWidget::SERIES_COUNT; ++id) {
            QCOMPARE(page.Series(id).count, 0u);
            QVERIFY(page.Series(id).keys.isEmpty());
        }
        QCOMPARE(plot3->graph(2)->dataCount(), 0);
    }

    void appendsEvery10ms()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(MakeSample(1, 1));
        clock.AdvanceMs(10); // exactly 10 ms: not more than 0.01 s
        Feed(MakeSample(2, 1));
        QCOMPARE(page.Series(AHRSDataWidget::SERIES_ROLL).count, 0u);
        clock.AdvanceMs(1);
        Feed(MakeSample(3, 1));
        QCOMPARE(page.Series(AHRSDataWidget::SERIES_ROLL).count, 1u);
    }

    void autoZoomPauseAndResume()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        auto* plot1 = page.findChild<QCustomPlot*>("plot1");
        auto* plot2 = page.findChild<QCustomPlot*>("plot2");
        Feed(MakeSample(1, 1));
        for (int i = 0; i < 30; ++i) {
            clock.AdvanceMs(25);
            AhrsData s = MakeSample(1, 1);
            s.acc_x = (i == 15) ? 50.0f : 0.1f;
            s.gyro_y = (i == 15) ? 500.0f : 1.0f;
            Feed(s);
        }
        // A wheel turn on plot2 pauses only plot2.
        QMetaObject::invokeMethod(&page, "slot_on_mouse_wheel_2", Q_ARG(QWheelEvent*, nullptr));
        QVERIFY(page.IsPlotPaused(1));
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        QVERIFY(plot1->yAxis->range().upper >= 50.0);
        QCOMPARE(plot2->yAxis->range(), QCPRange(-100, 100));

        // Wheel then press: both marks must expire.
        clock.AdvanceMs(4000);
        QMetaObject::invokeMethod(&page, "slot_on_mouse_press_2", Q_ARG(QMouseEvent*, nullptr));
        clock.AdvanceMs(6001); // the wheel mark is now 10.001 s old, the press mark 6.001 s
        QMetaObject::invokeMethod(&page, "slot_wheel_resume_tick");
        QVERIFY(page.IsPlotPaused(1));
        clock.AdvanceMs(4000);
        QMetaObject::invokeMethod(&page, "slot_press_resume_tick");
        QVERIFY(!page.IsPlotPaused(1));
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        QVERIFY(plot2->yAxis->range().upper >= 500.0);

        // The reset restores the start ranges; the spike does not come back.
        page.findChild<QPushButton*>("btn_reset_data")->click();
        QCOMPARE(plot1->yAxis->range(), QCPRange(-2, 2));
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        QCOMPARE(plot1->yAxis->range(), QCPRange(-2, 2));
    }

    void packetLossThroughThePage()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        auto* start = page.findChild<QPushButton*>("btn_lose_pkt_start");
        start->click();
        QCOMPARE(Text(page, "label_lose_pkt"), QString("丢包数：0"));
        QCOMPARE(start->text(), QString("关闭"));
        uint32_t mcu = 0xFFFFFFFFu - 15000u; // crosses the 32-bit wrap below
        Feed(MakeSample(mcu, 0)); // first sample after building: never counted
        for (uint32_t step : {9800u, 10200u, 10000u, 9799u, 10201u, 10000u}) {
            mcu += step;
            clock.AdvanceMs(1);
            Feed(MakeSample(mcu, 0));
        }
        QCOMPARE(page.LostPacketCount(), 2u);
        QCOMPARE(Text(page, "label_lose_pkt"), QString("丢包数：2"));
        page.findChild<QPushButton*>("btn_lose_pkt_reset")->click();
        QCOMPARE(Text(page, "label_lose_pkt"), QString("丢包数：0"));
        start->click();
        QCOMPARE(Text(page, "label_lose_pkt"), QString("丢包数：N/A"));
        QCOMPARE(start->text(), QString("开启"));
    }

    void timeSyncThroughThePage()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        auto* button = page.findChild<QPushButton*>("btn_open_time_sync_detect");
        button->click();
        Feed(MakeSample(0, 0));
        clock.AdvanceMs(250);
        Feed(MakeSample(0, 0)); // 0 after 0: a step of 0
        QCOMPARE(Text(page, "label_time_sync"), QString("TIME_SYNC：1970-01-01 08:00:00.000 (UTC+8)"));
        clock.AdvanceMs(250);
        Feed(MakeSample(1200, 0)); // more than 1000 since the last readout
        QCOMPARE(Text(page, "label_time_sync"), QString("TIME_SYNC：N/A"));
        clock.AdvanceMs(250);
        Feed(MakeSample(1400, 0));
        QCOMPARE(Text(page, "label_time_sync"), QString("TIME_SYNC：1970-01-01 08:00:01.400 (UTC+8)"));
        button->click();
        QCOMPARE(Text(page, "label_time_sync"), QString("TIME_SYNC：N/A"));
        QCOMPARE(AHRSDataWidget::MsToBeijingTimeString(0), QString("1970-01-01 08:00:00.000 (UTC+8)"));
    }

    void recordStoppedMessage()
    {
        AHRSDataWidget page(nullptr);
        QSignalSpy spy(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU);
        g_ahrs_file_recording = true;
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_AHRS_RECORD_STOPPED);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), int(IMU_MSG_RECORD_AHRS));
        QVERIFY(!spy.at(0).at(1).value<QVariant>().isValid());
        QVERIFY(g_ahrs_file_recording); // the connect widget clears the flag, not the page
        g_ahrs_file_recording = false;
    }

    // A hidden page draws nothing; shown again, it draws what it missed.
    void hiddenPageSkipsReplots()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        auto* plot1 = page.findChild<QCustomPlot*>("plot1");
        QCoreApplication::processEvents(); // the plots' own replot after their set-up
        PaintCount paints(plot1);
        for (int i = 0; i < 20; ++i) {
            clock.AdvanceMs(30);
            Feed(MakeSample(uint32_t(i), float(i)));
        }
        QCoreApplication::processEvents();
        QCOMPARE(paints.count, 0);
        QVERIFY(plot1->graph(0)->dataCount() > 10);
        page.show();
        QTRY_VERIFY(paints.count > 0);
    }

    void screenshotWithData()
    {
        AHRSDataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        page.resize(1200, 700);
        page.show();
        for (int i = 0; i < 600; ++i) {
            const double x = i * 0.02;
            AhrsData s = MakeSample(uint32_t(i) * 10000u, 0);
            s.acc_x = float(std::sin(x));
            s.acc_y = float(std::cos(x) * 0.5);
            s.acc_z = float(0.98 + 0.05 * std::sin(3 * x));
            s.gyro_x = float(40 * std::sin(0.7 * x));
            s.gyro_y = float(-30 * std::cos(1.3 * x));
            s.gyro_z = float(10 * std::sin(2 * x));
            s.roll = float(60 * std::sin(0.5 * x));
            s.pitch = float(20 * std::cos(0.8 * x));
            s.yaw = float(std::fmod(i * 0.6, 360.0) - 180.0);
            s.temperature = 31.5f;
            Feed(s);
            clock.AdvanceMs(20);
            if (i % 50 == 0) {
                QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
            }
        }
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        page.findChild<QPushButton*>("btn_set_customLayout")->click();
        QCoreApplication::processEvents();
        const QImage img = page.grab().toImage();
        QVERIFY(!img.isNull());
        img.save(QCoreApplication::applicationDirPath() + "/ahrs_page.png");
        // Red, blue and green curves are on the acceleration plot.
        auto* plot1 = page.findChild<QCustomPlot*>("plot1");
        const QImage plotImg = plot1->grab().toImage();
        int red = 0;
        for (int y = 0; y < plotImg.height(); ++y) {
            for (int x = 0; x < plotImg.width(); ++x) {
                const QColor c(plotImg.pixel(x, y));
                red += (c.red() > 200 && c.green() < 60 && c.blue() < 60);
            }
        }
        QVERIFY2(red > 100, qPrintable(QString::number(red)));
    }
};

QTEST_MAIN(TestAhrsPage)
#include "tst_ahrs_page.moc"
