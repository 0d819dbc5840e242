#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <qcustomplot.h>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "widgets/singleTools/peopleNavPage/PeopleNavMainWidget.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

namespace {

PeopleNavPayload MakeNav(float x, float y)
{
    PeopleNavPayload p{};
    p.time = 4000000000u;
    p.roll = -12345;
    p.pitch = 9;
    p.yaw = 32767;
    p.pos_x = x;
    p.pos_y = y;
    p.pos_z = -0.0704f;
    p.acc_x = 0.125f;
    p.acc_y = -1.0f;
    p.acc_z = 9.8f;
    p.gyro_x = 1.5f;
    p.gyro_y = -2.25f;
    p.gyro_z = 0.0f;
    p.temperature = 25.125f;
    p.zupt_flag = 1;
    return p;
}

void Feed(const QVariant& v)
{
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_PEOPLE_NAV_DATA, v);
}

void Feed(const PeopleNavPayload& p)
{
    Feed(QVariant::fromValue(p));
}

QString Text(QWidget& page, const char* name)
{
    QLabel* label = page.findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<missing %1>").arg(name);
}

struct FakeClock
{
    qint64 ns = 7000000000000LL;
    void AdvanceMs(double ms) { ns += static_cast<qint64>(ms * 1e6); }
    PageClock::Source Source() { return [this] { return ns; }; }
};

QVector<QPointF> TrackPoints(PeopleNavMainWidget& page)
{
    QVector<QPointF> points;
    for (auto it = page.Track()->data()->constBegin(); it != page.Track()->data()->constEnd(); ++it) {
        points << QPointF(it->key, it->value);
    }
    return points;
}

} // namespace

class TestPeopleNavPage : public QObject
{
    Q_OBJECT

    QString m_savePath;
    QTemporaryDir m_tmp; // recordings must go to a folder that can be written

private slots:
    void initTestCase()
    {
        InitCorvantaResources();
        RegsiterMetaType();
        DialogSeam::SetScripted(true);
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) -> QVariant {
            return r.kind == DialogSeam::SaveFile ? QVariant(m_savePath) : QVariant();
        });
    }

    void init()
    {
        g_people_nav_file_recording = false;
        g_communicate_with_serial_flag = true;
        DialogSeam::ClearRequests();
        m_savePath.clear();
    }

    void initialForm()
    {
        PeopleNavMainWidget page(nullptr);
        QCOMPARE(page.size(), QSize(917, 547));
        QCOMPARE(page.windowTitle(), QString("Form"));
        QCOMPARE(Text(page, "label_time_ms"), QString("TIME_MS: N/A"));
        QCOMPARE(Text(page, "label_pos1"), QString("pos[1]: N/A"));
        QCOMPARE(Text(page, "label_zupt"), QString("ZUPT: N/A"));
        QCOMPARE(Text(page, "label_roll"), QString("ROLL: N/A"));
        QCOMPARE(Text(page, "label"), QString("旋转角度: N/A"));
        QCOMPARE(page.findChild<QGroupBox*>("groupBox_customLayout")->title(), QString("数据显示"));
        QCOMPARE(page.findChild<QPushButton*>("btn_clear_track")->text(), QString("清空轨迹"));
        QCOMPARE(page.findChild<QPushButton*>("btn_save_data")->text(), QString("保存数据文件"));
        const QFont f = page.findChild<QLabel*>("label_accx")->font();
        QCOMPARE(f.family(), QString("Arial"));
        QCOMPARE(f.pointSize(), 10);
        QVERIFY(f.bold());

        auto* plot = page.findChild<QCustomPlot*>("custom_plot");
        QCOMPARE(plot->xAxis->range(), QCPRange(-1, 1));
        QCOMPARE(plot->yAxis->range(), QCPRange(-1, 1));
        QVERIFY(!plot->legend->visible());
        QCOMPARE(int(plot->interactions()), 0x3B);
        QCOMPARE(page.Track()->pen().color(), QColor(Qt::green));
        QCOMPARE(page.Track()->pen().widthF(), 3.0);
        QCOMPARE(page.OriginMarker()->topLeft->coords(), QPointF(-0.02, 0.02));
        QCOMPARE(page.OriginMarker()->bottomRight->coords(), QPointF(0.02, -0.02));
        QCOMPARE(page.OriginMarker()->brush().color(), QColor(Qt::red));
    }

    void samplesGiveTrackAndReadouts()
    {
        PeopleNavMainWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(MakeNav(0.5f, 1.0f)); // starts the clock: a point, no readouts
        QCOMPARE(Text(page, "label_accx"), QString("ACCX: N/A"));
        QCOMPARE(TrackPoints(page), QVector<QPointF>({QPointF(0.5, 1.0)}));

        clock.AdvanceMs(300); // not more than 0.3 s
        Feed(MakeNav(1.5f, 1.0f));
        QCOMPARE(Text(page, "label_accx"), QString("ACCX: N/A"));

        clock.AdvanceMs(1);
        Feed(MakeNav(1.5f, -2.0f));
        QCOMPARE(Text(page, "label_accx"), QString("ACCX：0.125"));
        QCOMPARE(Text(page, "label_accy"), QString("ACCY：-1.000"));
        QCOMPARE(Text(page, "label_accz"), QString("ACCZ：9.800"));
        QCOMPARE(Text(page, "label_gyrox"), QString("GYROX：1.500"));
        QCOMPARE(Text(page, "label_gyroy"), QString("GYROY：-2.250"));
        QCOMPARE(Text(page, "label_gyroz"), QString("GYROZ：0.000"));
        QCOMPARE(Text(page, "label_roll"), QString("ROLL：-123.450"));
        QCOMPARE(Text(page, "label_pitch"), QString("PITCH：0.090"));
        QCOMPARE(Text(page, "label_yaw"), QString("YAW：327.670"));
        QCOMPARE(Text(page, "label_temp"), QString("TEMP：25.13"));
        QCOMPARE(Text(page, "label_time_ms"), QString("TIME_MS: 4000000000"));
        QCOMPARE(Text(page, "label_pos0"), QString("pos[0]: 1.500"));
        QCOMPARE(Text(page, "label_pos1"), QString("pos[1]: -2.000"));
        QCOMPARE(Text(page, "label_pos2"), QString("pos[2]: -0.070"));
        QCOMPARE(Text(page, "label_zupt"), QString("ZUPT: 1"));
        QCOMPARE(Text(page, "label"), QString("旋转角度: N/A"));

        // Points in arrival order, also when x goes back.
        Feed(MakeNav(-3.0f, 0.25f));
        QCOMPARE(TrackPoints(page), QVector<QPointF>({QPointF(0.5, 1.0), QPointF(1.5, 1.0), QPointF(1.5, -2.0),
                                                      QPointF(-3.0, 0.25)}));

        // The auto-zoom fits each axis to the track on its own.
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        auto* plot = page.findChild<QCustomPlot*>("custom_plot");
        QCOMPARE(plot->xAxis->range(), QCPRange(-3.0, 1.5));
        QCOMPARE(plot->yAxis->range(), QCPRange(-2.0, 1.0));

        // Other ids leave the page alone.
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_IMU33_DATA,
                                                                    QVariant::fromValue(MakeNav(9, 9)));
        QCOMPARE(page.Track()->dataCount(), 4);
    }

    // A long walk: every point is kept, the curve draws a thinned copy of
    // bounded size that still spans the whole walk and ends at its newest
    // point.
    void longWalkIsKeptWholeAndDrawnThinned()
    {
        PeopleNavMainWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        const int n = 12000;
        for (int i = 0; i < n; ++i) {
            clock.AdvanceMs(10);
            Feed(MakeNav(float(i) * 0.01f, float(std::sin(i * 0.01)) * 5.0f));
        }
        const WalkTrack& walk = page.Walk();
        QCOMPARE(walk.Size(), n);
        QCOMPARE(walk.At(n - 1), QPointF(double(float(n - 1) * 0.01f), double(float(std::sin((n - 1) * 0.01)) * 5.0f)));
        QVERIFY2(walk.Drawn().size() <= 4000, qPrintable(QString::number(walk.Drawn().size())));
        QVERIFY(walk.Step() > 0.0);
        const QVector<QPointF> drawn = TrackPoints(page);
        QCOMPARE(drawn, walk.Drawn());
        QCOMPARE(drawn.first(), walk.At(0));
        QCOMPARE(drawn.last(), walk.At(n - 1));
        // No stretch of the walk is left out: neighbours on the curve are
        // never further apart than the step plus one stride.
        for (int i = 1; i < drawn.size(); ++i) {
            QVERIFY(QLineF(drawn.at(i - 1), drawn.at(i)).length() <= walk.Step() + 0.06);
        }
        page.findChild<QPushButton*>("btn_clear_track")->click();
        QCOMPARE(page.Walk().Size(), 0);
        QCOMPARE(page.Track()->dataCount(), 0);
    }

    // The track itself keeps only points it can store as finite floats: fed
    // finite points with bad ones between them, it returns, keeps and draws
    // the finite ones only.
    void walkTrackDropsPointsThatAreNotFinite_data()
    {
        QTest::addColumn<double>("bad");
        QTest::newRow("inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity();
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("1e300") << 1e300;
        QTest::newRow("-1e300") << -1e300;
    }
    void walkTrackDropsPointsThatAreNotFinite()
    {
        QFETCH(double, bad);
        WalkTrack walk(8);
        for (int i = 0; i < 40; ++i) {
            QVERIFY(walk.Append(i % 3, i % 5) != WalkTrack::DROPPED);
            QCOMPARE(walk.Append(i % 2 ? bad : 0.0, i % 2 ? 0.0 : bad), WalkTrack::DROPPED);
        }
        QCOMPARE(walk.Size(), 40);
        QVERIFY(walk.Drawn().size() <= 8);
        for (const QPointF& p : walk.Drawn()) {
            QVERIFY(std::isfinite(p.x()) && std::isfinite(p.y()));
        }
        QCOMPARE(walk.Drawn().last(), QPointF(39 % 3, 39 % 5));
        QCOMPARE(walk.Extent(), QRectF(0, 0, 2, 4));
    }

    void wrongPayloadIsAZeroSample()
    {
        PeopleNavMainWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(QVariant(QStringLiteral("garbage")));
        clock.AdvanceMs(400);
        Feed(QVariant(QByteArray(51, '\x01')));
        QCOMPARE(Text(page, "label_roll"), QString("ROLL：0.000"));
        QCOMPARE(Text(page, "label_temp"), QString("TEMP：0.00"));
        QCOMPARE(Text(page, "label_time_ms"), QString("TIME_MS: 0"));
        QCOMPARE(Text(page, "label_zupt"), QString("ZUPT: 0"));
        QCOMPARE(TrackPoints(page), QVector<QPointF>({QPointF(0, 0), QPointF(0, 0)}));
    }

    void positionThatIsNotANumberIsNotDrawn()
    {
        PeopleNavMainWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        Feed(MakeNav(1.0f, 2.0f));
        clock.AdvanceMs(500);
        Feed(MakeNav(std::numeric_limits<float>::quiet_NaN(), 3.0f));
        Feed(MakeNav(4.0f, std::numeric_limits<float>::infinity()));
        Feed(MakeNav(2.0f, 5.0f));
        QCOMPARE(Text(page, "label_pos0"), QString("pos[0]: nan"));
        QCOMPARE(TrackPoints(page), QVector<QPointF>({QPointF(1, 2), QPointF(2, 5)}));
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        auto* plot = page.findChild<QCustomPlot*>("custom_plot");
        QCOMPARE(plot->xAxis->range(), QCPRange(1, 2));
        QCOMPARE(plot->yAxis->range(), QCPRange(2, 5));
    }

    void singlePointCentresTheAxes()
    {
        PeopleNavMainWidget page(nullptr);
        Feed(MakeNav(10.0f, -4.0f));
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        auto* plot = page.findChild<QCustomPlot*>("custom_plot");
        QCOMPARE(plot->xAxis->range(), QCPRange(9, 11));
        QCOMPARE(plot->yAxis->range(), QCPRange(-5, -3));
    }

    void pauseByWheelAndPress()
    {
        PeopleNavMainWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        auto* plot = page.findChild<QCustomPlot*>("custom_plot");
        Feed(MakeNav(0, 0));
        Feed(MakeNav(5, 6));
        QMetaObject::invokeMethod(&page, "slot_on_mouse_wheel", Q_ARG(QWheelEvent*, nullptr));
        QVERIFY(page.IsPaused());
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        QCOMPARE(plot->xAxis->range(), QCPRange(-1, 1));
        clock.AdvanceMs(5000);
        QMetaObject::invokeMethod(&page, "slot_on_mouse_press", Q_ARG(QMouseEvent*, nullptr));
        clock.AdvanceMs(5001); // wheel 10.001 s old, press 5.001 s
        QMetaObject::invokeMethod(&page, "slot_wheel_expiry_tick");
        QVERIFY(page.IsPaused());
        QMetaObject::invokeMethod(&page, "slot_press_expiry_tick");
        QVERIFY(page.IsPaused());
        clock.AdvanceMs(5000);
        QMetaObject::invokeMethod(&page, "slot_press_expiry_tick");
        QVERIFY(!page.IsPaused());
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        QCOMPARE(plot->xAxis->range(), QCPRange(0, 5));
        QCOMPARE(plot->yAxis->range(), QCPRange(0, 6));
    }

    void clearTrackResetsDeviceAndDropsForASecond()
    {
        PeopleNavMainWidget page(nullptr);
        auto* plot = page.findChild<QCustomPlot*>("custom_plot");
        Feed(MakeNav(3, 4));
        Feed(MakeNav(5, 8));
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        QSignalSpy spy(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU);

        g_communicate_with_serial_flag = false;
        page.findChild<QPushButton*>("btn_clear_track")->click();
        // Warned, and cleared all the same.
        QCOMPARE(DialogSeam::Requests().size(), 1);
        QCOMPARE(DialogSeam::Requests().at(0).kind, DialogSeam::Critical);
        QCOMPARE(DialogSeam::Requests().at(0).title, QString("错误"));
        QCOMPARE(DialogSeam::Requests().at(0).text, QString("未成功连接设备"));
        QCOMPARE(page.Track()->dataCount(), 0);
        QCOMPARE(Text(page, "label"), QString());
        QCOMPARE(plot->xAxis->range(), QCPRange(-1, 1));
        QCOMPARE(plot->yAxis->range(), QCPRange(-1, 1));
        QCOMPARE(page.OriginMarker()->topLeft->coords(), QPointF(-0.02, 0.02));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), int(IMU_MSG_SEND_RAW));
        QCOMPARE(spy.at(0).at(1).value<QVariant>().toByteArray(), QByteArray("AT+PDRRESET\r\n"));
        QCOMPARE(spy.at(0).at(1).value<QVariant>().toByteArray().size(), 13);
        QVERIFY(!spy.at(0).at(2).value<QVariant>().isValid());

        QVERIFY(page.IsDropping());
        Feed(MakeNav(7, 7)); // from the old track: dropped
        QCOMPARE(page.Track()->dataCount(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!page.IsDropping(), 3000);
        Feed(MakeNav(0.5f, 0.5f));
        QCOMPARE(TrackPoints(page), QVector<QPointF>({QPointF(0.5, 0.5)}));
    }

    void droppedSampleIsLoggedWithItsPosition()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString logPath = dir.path() + "/drop.log";
        QVERIFY(Logger::Init(logPath));
        Logger::SetLevel(Logger::Debug);
        {
            PeopleNavMainWidget page(nullptr);
            page.findChild<QPushButton*>("btn_clear_track")->click();
            Feed(MakeNav(1.5f, -2.25f));
            QCOMPARE(page.Track()->dataCount(), 0);
        }
        Logger::Flush();
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        Logger::Shutdown();
        QVERIFY2(text.contains("1.5  -2.25\n"), qPrintable(text));
    }

    void recordingStartAndStop()
    {
        PeopleNavMainWidget page(nullptr);
        g_imu_sn = QStringLiteral("PDR9");
        QSignalSpy spy(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU);
        auto* button = page.findChild<QPushButton*>("btn_save_data");

        button->click(); // cancelled
        QCOMPARE(DialogSeam::Requests().size(), 1);
        const DialogSeam::Request ask = DialogSeam::Requests().at(0);
        QCOMPARE(ask.kind, DialogSeam::SaveFile);
        QCOMPARE(ask.title, QString("保存二进制数据"));
        QCOMPARE(ask.filter, QString("数据格式 (*.dat)"));
        QVERIFY2(QRegularExpression("^PDR9_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d$").match(ask.text).hasMatch(),
                 qPrintable(ask.text));
        QCOMPARE(spy.count(), 0);
        QVERIFY(!g_people_nav_file_recording);
        QCOMPARE(button->text(), QString("保存数据文件"));

        m_savePath = m_tmp.filePath("walk");
        button->click();
        QVERIFY(g_people_nav_file_recording);
        QCOMPARE(button->text(), QString("取消保存"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), int(IMU_MSG_RECORD_PEOPLE_NAV));
        QCOMPARE(spy.at(0).at(1).value<QVariant>().toString(), m_savePath);

        DialogSeam::ClearRequests();
        button->click(); // stops at once, no question
        QVERIFY(DialogSeam::Requests().isEmpty());
        QVERIFY(!g_people_nav_file_recording);
        QCOMPARE(button->text(), QString("保存数据文件"));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toInt(), int(IMU_MSG_RECORD_PEOPLE_NAV));
        QVERIFY(!spy.at(1).at(1).value<QVariant>().isValid());
    }

    // The worker's report of a failed recording: said once, and the button
    // offers a new recording; a report about another file, another kind or
    // an earlier start to the same file changes nothing.
    void failedRecordingIsReported()
    {
        PeopleNavMainWidget page(nullptr);
        auto* button = page.findChild<QPushButton*>("btn_save_data");
        QSignalSpy spy(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU);
        m_savePath = m_tmp.filePath("walk3");
        button->click();
        button->click();
        button->click();
        QVERIFY(g_people_nav_file_recording);
        QCOMPARE(spy.count(), 3);
        const QString earlier = QString::number(spy.at(0).at(2).value<QVariant>().toULongLong());
        const QString latest = QString::number(spy.at(2).at(2).value<QVariant>().toULongLong());
        QVERIFY(earlier != latest);
        auto* bus = RecvDataHandleManager::GetInstance();
        bus->SendMessageToPageSlot(PAGE_MSG_RECORDING_FAILED, int(IMU_MSG_RECORD_PEOPLE_NAV),
                                   QStringList{m_tmp.filePath("other"), "x", latest});
        bus->SendMessageToPageSlot(PAGE_MSG_RECORDING_FAILED, int(IMU_MSG_RECORD_AHRS),
                                   QStringList{m_savePath, "x", latest});
        bus->SendMessageToPageSlot(PAGE_MSG_RECORDING_FAILED, int(IMU_MSG_RECORD_PEOPLE_NAV),
                                   QStringList{m_savePath, "x", earlier});
        bus->SendMessageToPageSlot(PAGE_MSG_RECORDING_FAILED, int(IMU_MSG_RECORD_PEOPLE_NAV),
                                   QStringList{m_savePath, "x"});
        QCoreApplication::processEvents();
        QVERIFY(g_people_nav_file_recording);
        DialogSeam::ClearRequests();
        bus->SendMessageToPageSlot(PAGE_MSG_RECORDING_FAILED, int(IMU_MSG_RECORD_PEOPLE_NAV),
                                   QStringList{m_savePath, "文件写入失败：walk3（No space left on device）", latest});
        QTRY_VERIFY(!g_people_nav_file_recording);
        QCOMPARE(button->text(), QString("保存数据文件"));
        QCOMPARE(DialogSeam::Requests().size(), 1);
        QCOMPARE(DialogSeam::Requests().at(0).text,
                 QString("数据保存失败，已停止保存。\n文件写入失败：walk3（No space left on device）"));
    }

    // Unplugged or disconnected: the recording ends with the device.
    void deviceGoneEndsTheRecording()
    {
        PeopleNavMainWidget page(nullptr);
        auto* button = page.findChild<QPushButton*>("btn_save_data");
        QSignalSpy spy(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU);
        m_savePath = m_tmp.filePath("walk2");
        button->click();
        QVERIFY(g_people_nav_file_recording);
        RecvDataHandleManager::GetInstance()->ResetPage();
        QVERIFY(!g_people_nav_file_recording);
        QCOMPARE(button->text(), QString("保存数据文件"));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toInt(), int(IMU_MSG_RECORD_PEOPLE_NAV));
        QVERIFY(!spy.at(1).at(1).value<QVariant>().isValid());
        RecvDataHandleManager::GetInstance()->ResetPage(); // nothing more to stop
        QCOMPARE(spy.count(), 2);

        button->click();
        QVERIFY(g_people_nav_file_recording);
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_CONNECTION, true, 115200);
        QVERIFY(g_people_nav_file_recording);
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_CONNECTION, false, 115200);
        QVERIFY(!g_people_nav_file_recording);
        QCOMPARE(button->text(), QString("保存数据文件"));
        QCOMPARE(spy.count(), 4);
    }

    void screenshot()
    {
        PeopleNavMainWidget page(nullptr);
        FakeClock clock;
        page.SetClockSource(clock.Source());
        page.resize(1100, 650);
        page.show();
        for (int i = 0; i <= 300; ++i) {
            const double a = i * 0.05;
            Feed(MakeNav(float(4 * std::cos(a) * (1 + 0.02 * i)), float(3 * std::sin(a) * (1 + 0.02 * i))));
            clock.AdvanceMs(20);
        }
        QMetaObject::invokeMethod(&page, "slot_auto_zoom_tick");
        page.findChild<QCustomPlot*>("custom_plot")->replot();
        const QImage image = page.grab().toImage();
        QVERIFY(!image.isNull());
        const QString dir = qEnvironmentVariable("CORVANTA_SHOT_DIR");
        if (!dir.isEmpty()) {
            image.save(dir + "/people_nav_page.png");
        }
    }
};

QTEST_MAIN(TestPeopleNavPage)
#include "tst_people_nav_page.moc"
