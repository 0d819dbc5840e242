#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "support/LiveLink.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "widgets/singleTools/peopleNavPage/PeopleNavMainWidget.h"
#include <qcustomplot.h>
#include "workerThread/DeviceFrames.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

namespace {

QByteArray NavFrame(float x, float y)
{
    PeopleNavPayload p{};
    p.time = 123456;
    p.roll = -1500;
    p.pos_x = x;
    p.pos_y = y;
    p.temperature = 31.5f;
    p.zupt_flag = 1;
    const QByteArray payload(reinterpret_cast<const char*>(&p), int(sizeof p));
    return BuildDeviceFrame(FRAME_PEOPLE_NAV_DATA, payload);
}

} // namespace

// The navigation page fed by a device on a real pseudo-terminal, through the
// port worker, the frame parser and the bus.
class TestPeopleNavLink : public QObject
{
    Q_OBJECT

    LiveLink m_link;
    PtyDevice& m_pty = m_link.Pty();
    QTemporaryDir m_dir;
    QString m_savePath;
    int m_answer = QMessageBox::Yes;

private slots:
    void initTestCase()
    {
        RegsiterMetaType();
        QVERIFY(m_pty.IsOpen());
        QVERIFY(m_dir.isValid());
        QVERIFY(m_link.Open());

        DialogSeam::SetScripted(true);
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) -> QVariant {
            if (r.kind == DialogSeam::SaveFile) {
                return m_savePath;
            }
            return r.kind == DialogSeam::Question ? QVariant(m_answer) : QVariant();
        });
        g_imu_sn = QStringLiteral("NAV1");
    }

    void cleanupTestCase()
    {
        m_link.Close();
        g_people_nav_file_recording = false;
    }

    void framesDrawTheTrackAndClearResetsTheDevice()
    {
        PeopleNavMainWidget page(nullptr);
        qint64 now = 0;
        page.SetClockSource([&now] { return now; });
        QVERIFY(m_pty.Write(NavFrame(1.0f, 2.0f)));
        QVERIFY(QTest::qWaitFor([&] { return page.Track()->dataCount() == 1; }, 3000)); // starts the page clock
        now += 350000000; // past the readout interval
        QByteArray bad = NavFrame(50.0f, 50.0f);
        bad[20] = char(bad[20] ^ 0x01);
        QVERIFY(m_pty.Write(bad + NavFrame(3.0f, -4.0f)));
        QVERIFY(QTest::qWaitFor([&] { return page.Track()->dataCount() == 2; }, 3000));
        QCOMPARE(page.Track()->data()->at(1)->key, 3.0);
        QCOMPARE(page.Track()->data()->at(1)->value, -4.0);
        QCOMPARE(page.findChild<QLabel*>("label_roll")->text(), QString("ROLL：-15.000"));
        QCOMPARE(page.findChild<QLabel*>("label_time_ms")->text(), QString("TIME_MS: 123456"));
        QCOMPARE(page.findChild<QLabel*>("label_temp")->text(), QString("TEMP：31.50"));
        QCOMPARE(page.findChild<QLabel*>("label_zupt")->text(), QString("ZUPT: 1"));

        m_pty.ReadAvailable(); // whatever the worker asked before
        page.findChild<QPushButton*>("btn_clear_track")->click();
        const QByteArray reset("AT+PDRRESET\r\n");
        const QByteArray got = m_pty.ReadUntil([&](const QByteArray& b) { return b.contains(reset); }, 3000);
        QVERIFY2(got.contains(reset), got.toHex().constData());
        QCOMPARE(got.count(reset), 1);
        QCOMPARE(page.Track()->dataCount(), 0);
        // Samples of the old track, still on their way, are dropped.
        const int samplesBefore = m_link.Messages(PAGE_MSG_PEOPLE_NAV_DATA);
        QVERIFY(m_pty.Write(NavFrame(3.5f, -4.5f)));
        QVERIFY(QTest::qWaitFor([&] { return m_link.Messages(PAGE_MSG_PEOPLE_NAV_DATA) > samplesBefore; }, 5000));
        QCOMPARE(page.Track()->dataCount(), 0);
        QVERIFY(QTest::qWaitFor([&] { return !page.IsDropping(); }, 3000));
        QVERIFY(m_pty.Write(NavFrame(0.1f, 0.2f)));
        QVERIFY(QTest::qWaitFor([&] { return page.Track()->dataCount() == 1; }, 3000));
    }

    void recordingHoldsTheReceivedBytes()
    {
        PeopleNavMainWidget page(nullptr);
        m_savePath = m_dir.filePath("walk.dat");
        auto* button = page.findChild<QPushButton*>("btn_save_data");
        button->click();
        QVERIFY(g_people_nav_file_recording);
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(m_savePath); }, 3000));

        QByteArray sent;
        for (int i = 0; i < 30; ++i) {
            sent += NavFrame(float(i), float(-i));
        }
        QVERIFY(m_pty.Write(sent));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(m_savePath).size() == sent.size(); }, 5000));

        button->click();
        QVERIFY(!g_people_nav_file_recording);
        QCOMPARE(button->text(), QString("保存数据文件"));
        // The worker has taken the stop; the frame after it reaches the page
        // but not the file.
        QVERIFY(m_link.SyncWorker());
        const int samplesBefore = m_link.Messages(PAGE_MSG_PEOPLE_NAV_DATA);
        QVERIFY(m_pty.Write(NavFrame(9.0f, 9.0f)));
        QVERIFY(QTest::qWaitFor([&] { return m_link.Messages(PAGE_MSG_PEOPLE_NAV_DATA) > samplesBefore; }, 5000));
        QFile file(m_savePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), sent);
    }
};

QTEST_MAIN(TestPeopleNavLink)
#include "tst_people_nav_link.moc"
