#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <qcustomplot.h>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "widgets/singleTools/Imu33DataWidget.h"
#include "widgets/singleTools/PlotAxisTitle.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

namespace {

// Module m carries acc (m + 0.5, -m, 2), gyro (10m, 20m + 0.25, -3), temp 30 + m.
AhrsArrayData MakeArray(float offset = 0.0f)
{
    AhrsArrayData a{};
    a.MCU_TIME = 1234;
    for (int m = 0; m < 33; ++m) {
        a.imu[m].acc_x = float(m) + 0.5f + offset;
        a.imu[m].acc_y = -float(m);
        a.imu[m].acc_z = 2.0f;
        a.imu[m].gyro_x = 10.0f * float(m);
        a.imu[m].gyro_y = 20.0f * float(m) + 0.25f;
        a.imu[m].gyro_z = -3.0f;
        a.imu[m].temperature = 30.0f + float(m);
    }
    a.tail = 0xDEADBEEF;
    return a;
}

void Feed(const QVariant& v)
{
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_IMU33_DATA, v);
}

void Feed(const AhrsArrayData& a)
{
    Feed(QVariant::fromValue(a));
}

QString Text(QWidget& page, const char* name)
{
    QLabel* label = page.findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<missing %1>").arg(name);
}

struct FakeClock
{
    qint64 ns = 5000000000000LL;
    void AdvanceMs(double ms) { ns += static_cast<qint64>(ms * 1e6); }
    PageClock::Source Source() { return [this] { return ns; }; }
};

} // namespace

class TestImu33Page : public QObject
{
    Q_OBJECT

    QString m_savePath;
    QTemporaryDir m_tmp; // recordings must go to a folder that can be written
    int m_answer = QMessageBox::No;

private slots:
    void initTestCase()
    {
        InitCorvantaResources();
        RegsiterMetaType();
        DialogSeam::SetScripted(true);
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) -> QVariant {
            if (r.kind == DialogSeam::SaveFile) {
                return m_savePath;
            }
            if (r.kind == DialogSeam::Question) {
                return m_answer;
            }
            return QVariant();
        });
    }

    void init()
    {
        g_33imu_file_recording = false;
        g_communicate_with_serial_flag = true;
        DialogSeam::ClearRequests();
        m_savePath.clear();
        m_answer = QMessageBox::No;
    }

    void initialForm()
    {
        Imu33DataWidget page(nullptr);
        QCOMPARE(page.size(), QSize(981, 583));
        QCOMPARE(page.windowTitle(), QString("Widget"));
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：N/A"));
        QCOMPARE(Text(page, "label_gyroz"), QString("GYROZ：N/A"));
        QCOMPARE(Text(page, "label_acc_norm"), QString("ACC_NORM：N/A"));
        QCOMPARE(Text(page, "label_temp"), QString("TEMP：N/A"));
        QCOMPARE(Text(page, "label_null"), QString());
        QCOMPARE(Text(page, "label_ahrs_rate"), QString("50.0hz"));
        QCOMPARE(Text(page, "label_rate"), QString("5.0hz"));
        QCOMPARE(Text(page, "label_ahrs_rate_2"), QString("10s"));
        QCOMPARE(page.AutoZoomDelayS(), 10);
        QVERIFY(page.IsAutoZoomRunning());
        QVERIFY(page.findChild<QWidget*>("widget_set")->isHidden());
        QVERIFY(page.findChild<QLabel*>("label")->textInteractionFlags() & Qt::TextSelectableByMouse);

        auto* modules = page.findChild<QComboBox*>("comboBox_module_9imu_select");
        QCOMPARE(modules->count(), 33);
        QCOMPARE(modules->itemText(32), QString("32"));
        auto* acc = page.findChild<QComboBox*>("comboBox_module_27");
        QCOMPARE(acc->count(), 5);
        QCOMPARE(acc->itemText(4), QString("norm"));
        QCOMPARE(page.findChild<QComboBox*>("comboBox_module_26")->itemText(3), QString("gz"));
        QCOMPARE(page.findChild<QComboBox*>("comboBox_module_28")->count(), 1);

        auto* p1 = page.findChild<QCustomPlot*>("nine_imu_plot1");
        auto* p2 = page.findChild<QCustomPlot*>("nine_imu_plot2");
        auto* p3 = page.findChild<QCustomPlot*>("nine_imu_plot3");
        QCOMPARE(p1->graphCount(), 4);
        QCOMPARE(p2->graphCount(), 3);
        QCOMPARE(p3->graphCount(), 1);
        QCOMPARE(p1->graph(3)->name(), QString("norm"));
        QCOMPARE(p1->graph(3)->pen().color(), QColor(Qt::cyan));
        QCOMPARE(p2->graph(1)->pen().color(), QColor(Qt::blue));
        QCOMPARE(p3->graph(0)->name(), QString("temp"));
        QCOMPARE(PlotAxisTitle::Of(p1->yAxis)->Text(), QString("accel"));
        QCOMPARE(PlotAxisTitle::Of(p3->yAxis)->Text(), QString("temp"));
        QCOMPARE(PlotAxisTitle::Of(p2->xAxis)->Text(), QString("t"));
        QCOMPARE(p1->yAxis->range(), QCPRange(-2, 2));
        QCOMPARE(p2->yAxis->range(), QCPRange(-2, 2));
        QCOMPARE(p3->yAxis->range(), QCPRange(-100, 100));
        QCOMPARE(int(p2->interactions()), 0x3B);
        QVERIFY(p1->legend->visible());
    }

    void readoutsOfTheChosenModule()
    {
        Imu33DataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        page.findChild<QComboBox*>("comboBox_module_9imu_select")->setCurrentIndex(3);
        QCOMPARE(page.ModuleIndex(), 3);

        Feed(MakeArray()); // only starts the clock
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：N/A"));
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_ACC_X).count, 0u);

        clock.AdvanceMs(150);
        Feed(MakeArray());
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：N/A")); // 0.15 s: not yet 1 / 5 Hz
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_ACC_X).count, 1u);

        clock.AdvanceMs(60);
        Feed(MakeArray());
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：3.500"));
        QCOMPARE(Text(page, "label_accy"), QString("ACCY：-3.000"));
        QCOMPARE(Text(page, "label_accz"), QString("ACCZ：2.000"));
        QCOMPARE(Text(page, "label_gyrox"), QString("GYROX：30.000"));
        QCOMPARE(Text(page, "label_gyroy"), QString("GYROY：60.250"));
        QCOMPARE(Text(page, "label_gyroz"), QString("GYROZ：-3.000"));
        // sqrt(3.5^2 + 3^2 + 2^2) = 5.0249...
        QCOMPARE(Text(page, "label_acc_norm"), QString("ACC_NORM：5.0249"));
        QCOMPARE(Text(page, "label_temp"), QString("TEMP：33.00"));
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_ACC_NORM).values.last(), double(std::sqrt(3.5f * 3.5f + 9.0f + 4.0f)));

        // The last module is read from the end of the payload.
        page.findChild<QComboBox*>("comboBox_module_9imu_select")->setCurrentIndex(32);
        clock.AdvanceMs(250);
        Feed(MakeArray());
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：32.500"));
        QCOMPARE(Text(page, "label_temp"), QString("TEMP：62.00"));
        // The curves go on with the new module's values.
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_TEMP).values, QVector<double>({33.0, 33.0, 62.0}));
    }

    void lastSampleOfABurstIsShown()
    {
        Imu33DataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(MakeArray());
        clock.AdvanceMs(250);
        Feed(MakeArray(1.0f)); // refreshes the readouts
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：1.500"));
        clock.AdvanceMs(50);
        Feed(MakeArray(2.0f));
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：1.500"));
        auto* tail = page.findChild<QTimer*>("label_refresh_tail");
        QVERIFY(tail != nullptr && tail->isActive());
        QVERIFY2(tail->remainingTime() <= 200 - 50 + 2, // rounded up, and one more
                 qPrintable(QString::number(tail->remainingTime())));
        QTRY_COMPARE_WITH_TIMEOUT(Text(page, "label_accx"), QString("ACCX：2.500"), 5000);
        QCOMPARE(Text(page, "label_acc_norm"), QString("ACC_NORM：3.2016")); // sqrt(2.5^2 + 2^2)
        QVERIFY(!tail->isActive());
    }

    void wrongPayloadAndOtherIds()
    {
        Imu33DataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(MakeArray());
        clock.AdvanceMs(300);
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_AHRS_DATA,
                                                                    QVariant::fromValue(MakeArray()));
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：N/A"));
        Feed(QVariant(QByteArray(932, '\x11')));
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：0.000"));
        QCOMPARE(Text(page, "label_acc_norm"), QString("ACC_NORM：0.0000"));
        QCOMPARE(Text(page, "label_temp"), QString("TEMP：0.00"));
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_TEMP).values, QVector<double>({0.0}));
    }

    void emptiedModuleSelectorKeepsAValidModule()
    {
        Imu33DataWidget page(nullptr);
        auto* modules = page.findChild<QComboBox*>("comboBox_module_9imu_select");
        modules->setCurrentIndex(7);
        modules->clear(); // reports index -1
        QCOMPARE(page.ModuleIndex(), 7);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(MakeArray());
        clock.AdvanceMs(300);
        Feed(MakeArray());
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：7.500"));
    }

    void seriesCapSelectionAndPlots()
    {
        Imu33DataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        for (int i = 0; i < 520; ++i) {
            Feed(MakeArray(float(i)));
            clock.AdvanceMs(11);
        }
        for (int s = 0; s < Imu33DataWidget::SERIES_COUNT; ++s) {
            QCOMPARE(page.Series(s).count, 500u);
            QCOMPARE(page.Series(s).keys.size(), 500);
        }
        // Sample 0 only started the clock; 1..519 were stored, the oldest 19 dropped.
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_ACC_X).values.first(), 20.5);
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_ACC_X).values.last(), 519.5);

        auto* p1 = page.findChild<QCustomPlot*>("nine_imu_plot1");
        QVERIFY(p1->graph(0)->dataCount() >= 490);
        QCOMPARE(p1->xAxis->range().size(), 5.0);
        const double t = page.Series(Imu33DataWidget::SERIES_ACC_X).keys.last();
        QVERIFY(std::abs(p1->xAxis->range().upper - t) < 0.05);

        // "ay" alone: the others lose one point and get none.
        page.findChild<QComboBox*>("comboBox_module_27")->setCurrentIndex(2);
        page.findChild<QComboBox*>("comboBox_module_26")->setCurrentIndex(3);
        Feed(MakeArray());
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_ACC_Y).count, 500u);
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_ACC_X).count, 499u);
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_ACC_NORM).count, 499u);
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_GYRO_Z).count, 500u);
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_GYRO_X).count, 499u);
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_TEMP).count, 500u);

        // Within 10 ms: not stored.
        clock.AdvanceMs(9);
        Feed(MakeArray());
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_ACC_Y).values.size(), 500);
        QCOMPARE(page.Series(Imu33DataWidget::SERIES_ACC_X).count, 499u);
    }

    void sliderAndDelay()
    {
        Imu33DataWidget page(nullptr);
        auto* plotRate = page.findChild<QSlider*>("hs_ahrs_update_rate");
        plotRate->setValue(1);
        QCOMPARE(page.PlotRateHz(), 1.0f);
        QCOMPARE(Text(page, "label_ahrs_rate"), QString("1.0hz"));
        page.findChild<QSlider*>("hs_label_update_rate")->setValue(0);
        QCOMPARE(page.LabelRateHz(), 0.1f);
        QCOMPARE(Text(page, "label_rate"), QString("0.1hz"));

        auto* spin = page.findChild<QSpinBox*>("spinBox");
        QCOMPARE(spin->maximum(), 60);
        QCOMPARE(spin->singleStep(), 2);
        spin->setValue(0);
        QCOMPARE(Text(page, "label_ahrs_rate_2"), QString("关闭自适应刷新"));
        QVERIFY(!page.IsAutoZoomRunning());
        QCOMPARE(page.AutoZoomDelayS(), 10);
        spin->setValue(2);
        QCOMPARE(Text(page, "label_ahrs_rate_2"), QString("2s"));
        QVERIFY(page.IsAutoZoomRunning());

        auto* toggle = page.findChild<QPushButton*>("btn_set_customLayout");
        toggle->click();
        QVERIFY(!page.findChild<QWidget*>("widget_set")->isHidden());
        toggle->click();
        QVERIFY(page.findChild<QWidget*>("widget_set")->isHidden());
    }

    void autoZoomPauseAndResume()
    {
        Imu33DataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        auto* p1 = page.findChild<QCustomPlot*>("nine_imu_plot1");
        auto* p3 = page.findChild<QCustomPlot*>("nine_imu_plot3");
        for (int i = 0; i < 30; ++i) {
            Feed(MakeArray(i == 15 ? 40.0f : 0.0f));
            clock.AdvanceMs(25);
        }
        QMetaObject::invokeMethod(&page, "slot_on_mouse_press_1", Q_ARG(QMouseEvent*, nullptr));
        QVERIFY(page.IsPlotPaused(0));
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        QCOMPARE(p1->yAxis->range(), QCPRange(-2, 2)); // paused
        QVERIFY(p3->yAxis->range().upper >= 100.0);     // temperature plot kept its range (30 fits)

        clock.AdvanceMs(3000);
        QMetaObject::invokeMethod(&page, "slot_on_mouse_wheel_1", Q_ARG(QWheelEvent*, nullptr));
        clock.AdvanceMs(7001); // press 10.001 s old, wheel 7.001 s
        QMetaObject::invokeMethod(&page, "slot_press_expiry_tick");
        QVERIFY(page.IsPlotPaused(0));
        clock.AdvanceMs(3000);
        QMetaObject::invokeMethod(&page, "slot_wheel_expiry_tick");
        QVERIFY(!page.IsPlotPaused(0));
        // The x window no longer holds the spike: feed within it again.
        Feed(MakeArray(40.0f));
        clock.AdvanceMs(30);
        Feed(MakeArray(40.0f));
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        QVERIFY(p1->yAxis->range().upper >= 40.5);
        QVERIFY(p1->yAxis->range().lower <= -2.0);
    }

    void recordingStartAndStop()
    {
        SettingManager::GetInstance()->SetPreAHRSDataSavePath(QStringLiteral("/data/rec"));
        Imu33DataWidget page(nullptr);
        g_imu_sn = QStringLiteral("ARR7");
        QSignalSpy spy(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU);
        auto* button = page.findChild<QPushButton*>("btn_save_33imu_data");

        // Cancelled dialog: nothing changes.
        button->click();
        QCOMPARE(DialogSeam::Requests().size(), 1);
        const DialogSeam::Request ask = DialogSeam::Requests().at(0);
        QCOMPARE(ask.kind, DialogSeam::SaveFile);
        QCOMPARE(ask.title, QString("保存二进制数据"));
        QCOMPARE(ask.filter, QString("数据格式 (*.dat)"));
        QVERIFY2(QRegularExpression("^/data/rec/ARR7_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d$").match(ask.text).hasMatch(),
                 qPrintable(ask.text));
        QCOMPARE(spy.count(), 0);
        QVERIFY(!g_33imu_file_recording);

        const QString folder = m_tmp.filePath("imu33 out");
        QVERIFY(QDir().mkpath(folder));
        m_savePath = folder + "/run1";
        button->click();
        QVERIFY(g_33imu_file_recording);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), int(IMU_MSG_RECORD_IMU33));
        QCOMPARE(spy.at(0).at(1).value<QVariant>().toString(), m_savePath); // no suffix added
        QVERIFY(spy.at(0).at(2).value<QVariant>().toULongLong() > 0); // the start's identity
        QCOMPARE(Text(page, "label"), "数据保存路径：" + m_savePath);
        QCOMPARE(SettingManager::GetInstance()->GetPreAHRSDataSavePath(), folder);
        QVERIFY(button->styleSheet().contains("dataRecording.png"));

        // Stop, answered No: goes on.
        DialogSeam::ClearRequests();
        button->click();
        QCOMPARE(DialogSeam::Requests().size(), 1);
        QCOMPARE(DialogSeam::Requests().at(0).kind, DialogSeam::Question);
        QCOMPARE(DialogSeam::Requests().at(0).title, QString("确认对话框"));
        QCOMPARE(DialogSeam::Requests().at(0).text, QString("请确认是否停止采集数据"));
        QVERIFY(g_33imu_file_recording);
        QCOMPARE(spy.count(), 1);

        m_answer = QMessageBox::Yes;
        button->click();
        QVERIFY(!g_33imu_file_recording);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toInt(), int(IMU_MSG_RECORD_IMU33));
        QVERIFY(!spy.at(1).at(1).value<QVariant>().isValid());
        QVERIFY(button->styleSheet().contains("dataRecord.png"));
        QCOMPARE(Text(page, "label"), "数据保存路径：" + m_savePath);
    }

    void recordingWithoutDeviceWarnsThenGoesOn()
    {
        Imu33DataWidget page(nullptr);
        g_communicate_with_serial_flag = false;
        m_savePath = m_tmp.filePath("x.dat");
        page.findChild<QPushButton*>("btn_save_33imu_data")->click();
        const QList<DialogSeam::Request> requests = DialogSeam::Requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests.at(0).kind, DialogSeam::Critical);
        QCOMPARE(requests.at(0).title, QString("错误"));
        QCOMPARE(requests.at(0).text, QString("未成功连接设备"));
        QCOMPARE(requests.at(1).kind, DialogSeam::SaveFile);
        QVERIFY(g_33imu_file_recording);
        g_33imu_file_recording = false;
    }

    // The connect widget ends the recording when the device goes away.
    void resetAfterDisconnectShowsIdle()
    {
        Imu33DataWidget page(nullptr);
        auto* button = page.findChild<QPushButton*>("btn_save_33imu_data");
        m_savePath = m_tmp.filePath("y.dat");
        button->click();
        QVERIFY(button->styleSheet().contains("dataRecording.png"));
        g_33imu_file_recording = false;
        RecvDataHandleManager::GetInstance()->ResetPage();
        QVERIFY(button->styleSheet().contains("dataRecord.png"));
        DialogSeam::ClearRequests();
        button->click(); // a new recording, not a stop question
        QCOMPARE(DialogSeam::Requests().at(0).kind, DialogSeam::SaveFile);
        g_33imu_file_recording = false;
    }

    void screenshot()
    {
        Imu33DataWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        page.resize(1200, 700);
        page.show();
        for (int i = 0; i < 400; ++i) {
            AhrsArrayData a = MakeArray();
            const double x = i * 0.03;
            a.imu[0].acc_x = float(std::sin(x));
            a.imu[0].acc_y = float(0.5 * std::cos(x));
            a.imu[0].acc_z = float(0.98 + 0.05 * std::sin(4 * x));
            a.imu[0].gyro_x = float(std::sin(0.7 * x));
            a.imu[0].gyro_y = float(-0.8 * std::cos(1.3 * x));
            a.imu[0].gyro_z = float(0.3 * std::sin(2 * x));
            a.imu[0].temperature = float(36 + std::sin(0.1 * x));
            Feed(a);
            clock.AdvanceMs(12);
        }
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        for (int p = 1; p <= 3; ++p) {
            page.findChild<QCustomPlot*>(QString("nine_imu_plot%1").arg(p))->replot();
        }
        const QImage image = page.grab().toImage();
        QVERIFY(!image.isNull());
        const QString dir = qEnvironmentVariable("CORVANTA_SHOT_DIR");
        if (!dir.isEmpty()) {
            image.save(dir + "/imu33_page.png");
        }
    }
};

QTEST_MAIN(TestImu33Page)
#include "tst_imu33_page.moc"
