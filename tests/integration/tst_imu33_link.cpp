#include <QComboBox>
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
#include "widgets/singleTools/Imu33DataWidget.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

namespace {

QByteArray ArrayFrame(float base)
{
    AhrsArrayData a{};
    for (int m = 0; m < 33; ++m) {
        a.imu[m].acc_x = base + float(m);
        a.imu[m].acc_y = 0.25f;
        a.imu[m].acc_z = -1.0f;
        a.imu[m].gyro_x = float(m) * 0.5f;
        a.imu[m].temperature = 20.0f + float(m);
    }
    const QByteArray payload(reinterpret_cast<const char*>(&a), int(sizeof a));
    return BuildDeviceFrame(FRAME_IMU33_DATA, payload);
}

} // namespace

// The array page fed by a device on a real pseudo-terminal, through the
// port worker, the frame parser and the bus.
class TestImu33Link : public QObject
{
    Q_OBJECT

    LiveLink m_link;
    PtyDevice& m_pty = m_link.Pty();
    QTemporaryDir m_dir;
    QString m_savePath;
    int m_answer = QMessageBox::Yes;
    int m_samples = 0;

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
        g_imu_sn = QStringLiteral("ARR1");
        connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
                [this](int id, QVariant, QVariant) { m_samples += (id == PAGE_MSG_IMU33_DATA); });
    }

    void cleanupTestCase()
    {
        m_link.Close();
        g_33imu_file_recording = false;
    }

    void framesReachTheChosenModule()
    {
        Imu33DataWidget page(nullptr);
        qint64 now = 0;
        page.SetClockSource([&now] { return now; });
        page.findChild<QComboBox*>("comboBox_module_9imu_select")->setCurrentIndex(5);
        m_samples = 0;
        QVERIFY(m_pty.Write(ArrayFrame(0.0f)));
        QVERIFY(QTest::qWaitFor([&] { return m_samples == 1; }, 3000)); // starts the page clock
        now += 250000000; // past the readout interval
        // A corrupted frame in between is not shown.
        QByteArray bad = ArrayFrame(100.0f);
        bad[100] = char(bad[100] ^ 0x40);
        QVERIFY(m_pty.Write(bad + ArrayFrame(1.0f)));
        QVERIFY(QTest::qWaitFor([&] { return page.findChild<QLabel*>("label_accx")->text() != "ACCX：N/A"; }, 3000));
        QCOMPARE(page.findChild<QLabel*>("label_accx")->text(), QString("ACCX：6.000"));
        QCOMPARE(page.findChild<QLabel*>("label_accy")->text(), QString("ACCY：0.250"));
        QCOMPARE(page.findChild<QLabel*>("label_gyrox")->text(), QString("GYROX：2.500"));
        QCOMPARE(page.findChild<QLabel*>("label_temp")->text(), QString("TEMP：25.00"));
        QCOMPARE(page.findChild<QLabel*>("label_acc_norm")->text(), QString("ACC_NORM：6.0879"));
        QVERIFY(g_communicate_with_serial_flag);
    }

    void recordingHoldsTheReceivedBytes()
    {
        Imu33DataWidget page(nullptr);
        m_savePath = m_dir.filePath("array.dat");
        auto* button = page.findChild<QPushButton*>("btn_save_33imu_data");
        button->click();
        QVERIFY(g_33imu_file_recording);
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(m_savePath); }, 3000));

        QByteArray sent;
        for (int i = 0; i < 12; ++i) {
            sent += ArrayFrame(float(i));
        }
        sent += QByteArray("\x01\x02noise", 7);
        QVERIFY(m_pty.Write(sent));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(m_savePath).size() == sent.size(); }, 5000));

        m_answer = QMessageBox::Yes;
        button->click();
        QVERIFY(!g_33imu_file_recording);
        // The worker has taken the stop; the frame after it reaches the page
        // but not the file.
        QVERIFY(m_link.SyncWorker());
        const int samplesBefore = m_samples;
        QVERIFY(m_pty.Write(ArrayFrame(9.0f)));
        QVERIFY(QTest::qWaitFor([&] { return m_samples > samplesBefore; }, 5000));
        QFile file(m_savePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), sent);
    }
};

QTEST_MAIN(TestImu33Link)
#include "tst_imu33_link.moc"
