#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "support/LiveLink.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "widgets/singleTools/AHRSDataWidget.h"
#include "widgets/singleTools/RecordSpaceCheck.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

namespace {

QByteArray AhrsFrame(uint32_t mcu, float roll)
{
    AhrsData s{};
    s.MCU_TIME = mcu;
    s.roll = roll;
    s.acc_z = 1.0f;
    const QByteArray payload(reinterpret_cast<const char*>(&s), int(sizeof s));
    return BuildDeviceFrame(FRAME_AHRS_DATA, payload);
}

VolumeSpace Space(int64_t available)
{
    VolumeSpace v;
    v.valid = true;
    v.rootPath = QStringLiteral("/vol");
    v.availableBytes = available;
    return v;
}

} // namespace

class TestAhrsRecording : public QObject
{
    Q_OBJECT

private:
    LiveLink m_link;
    PtyDevice& m_pty = m_link.Pty();
    QTemporaryDir m_dir;
    int m_samples = 0;
    QString m_savePath;                       // answer of the save dialog
    QMessageBox::StandardButton m_answer = QMessageBox::No;
    int64_t m_available = RecordSpaceCheck::kMinFreeBytes;

    void PressRecord(AHRSDataWidget& page, Qt::MouseButton button = Qt::LeftButton)
    {
        QLabel* label = page.findChild<QLabel*>("label_record");
        QTest::mousePress(label, button, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseRelease(label, button, Qt::NoModifier, QPoint(5, 5));
    }

    // Waits for done() without running this thread's events, then until the
    // worker has handled what it was given: the answers it sent the pages
    // meanwhile stay queued for them.
    bool WaitHoldingAnswers(const std::function<bool()>& done)
    {
        QDeadlineTimer deadline(10000);
        while (!done()) {
            if (deadline.hasExpired()) {
                return false;
            }
            QThread::yieldCurrentThread();
        }
        QSemaphore handled;
        QMetaObject::invokeMethod(
            SerialPortManager::GetInstance()->GetImuWorker(), [&handled] { handled.release(); },
            Qt::QueuedConnection);
        return handled.tryAcquire(1, 5000);
    }

    QList<DialogSeam::Request> RequestsOf(DialogSeam::Kind kind) const
    {
        QList<DialogSeam::Request> out;
        for (const auto& r : DialogSeam::Requests()) {
            if (r.kind == kind) {
                out.append(r);
            }
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        RegsiterMetaType();
        QVERIFY(m_pty.IsOpen());
        QVERIFY(m_dir.isValid());
        QVERIFY(m_link.Open());

        connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
                [this](int id, QVariant, QVariant) { m_samples += (id == PAGE_MSG_AHRS_DATA); });

        DialogSeam::SetScripted(true);
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) -> QVariant {
            if (r.kind == DialogSeam::SaveFile) {
                return m_savePath;
            }
            if (r.kind == DialogSeam::Question) {
                return int(m_answer);
            }
            return QVariant();
        });
        RecordSpaceCheck::SetQuery([this](const QString&) { return Space(m_available); });
        g_imu_sn = QStringLiteral("SN42");
    }

    void cleanupTestCase()
    {
        RecordSpaceCheck::SetQuery({});
        m_link.Close();
        g_ahrs_file_recording = false;
    }

    void init()
    {
        DialogSeam::ClearRequests();
        m_available = RecordSpaceCheck::kMinFreeBytes;
        m_answer = QMessageBox::No;
        g_ahrs_file_recording = false;
    }

    void cancelChangesNothing()
    {
        AHRSDataWidget page(nullptr);
        QSignalSpy requests(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU);
        m_savePath.clear();
        PressRecord(page);
        const auto saves = RequestsOf(DialogSeam::SaveFile);
        QCOMPARE(saves.size(), 1);
        QCOMPARE(saves.first().title, QString("保存二进制数据"));
        QCOMPARE(saves.first().filter, QString("数据格式 (*.dat)"));
        QVERIFY(!g_ahrs_file_recording);
        QCOMPARE(requests.count(), 0);
        QVERIFY(page.findChild<QLabel*>("label_file_save_tip")->text().isEmpty());
        QCOMPARE(page.SaveDir(), SettingManager::GetInstance()->GetPreAHRSDataSavePath());
        // A right-button press does nothing at all.
        DialogSeam::ClearRequests();
        PressRecord(page, Qt::RightButton);
        QVERIFY(DialogSeam::Requests().isEmpty());
    }

    void refusedOneByteShort()
    {
        AHRSDataWidget page(nullptr);
        QSignalSpy requests(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU);
        m_savePath = m_dir.filePath("short.dat");
        m_available = RecordSpaceCheck::kMinFreeBytes - 1;
        PressRecord(page);
        const auto warnings = RequestsOf(DialogSeam::Warning);
        QCOMPARE(warnings.size(), 1);
        QCOMPARE(warnings.first().title, QString("警告"));
        QCOMPARE(warnings.first().text, QString("当前磁盘/vol剩余可用容量小于20GB，请清理磁盘"));
        QVERIFY(!g_ahrs_file_recording);
        QCOMPARE(requests.count(), 0);
        QVERIFY(!QFile::exists(m_savePath));
    }

    void recordingEqualsReceivedBytes()
    {
        AHRSDataWidget page(nullptr);
        m_savePath = m_dir.filePath("run.dat");
        {
            // An older, longer file at the chosen path must leave no tail.
            QFile old(m_savePath);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(100000, 'O'));
        }
        QSignalSpy requests(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU);
        PressRecord(page); // exactly 20 GiB available: allowed
        QVERIFY(g_ahrs_file_recording);
        QCOMPARE(requests.count(), 1);
        QCOMPARE(requests.at(0).at(0).toInt(), int(IMU_MSG_RECORD_AHRS));
        QCOMPARE(requests.at(0).at(1).value<QVariant>().toString(), m_savePath);
        QCOMPARE(page.findChild<QLabel*>("label_file_save_tip")->text(), "数据保存路径: " + m_savePath);
        QCOMPARE(page.SaveDir(), m_dir.path());
        // Before any good frame the page warns and records all the same.
        const auto critical = RequestsOf(DialogSeam::Critical);
        QCOMPARE(critical.size(), 1);
        QCOMPARE(critical.first().title, QString("错误"));
        QCOMPARE(critical.first().text, QString("未成功连接设备"));

        // Frames, garbage and a frame split across two writes.
        QByteArray sent;
        for (int i = 0; i < 40; ++i) {
            QByteArray chunk = AhrsFrame(uint32_t(i) * 10000u, float(i));
            if (i % 7 == 3) {
                chunk.prepend(QByteArray("\x00\xAA\x13garbage", 11));
            }
            sent += chunk;
        }
        const QByteArray tailFrame = AhrsFrame(999, 1.0f);
        const uint64_t readBefore = g_recv_total_byte.load();
        QVERIFY(m_pty.Write(sent));
        QVERIFY(m_pty.Write(tailFrame.left(10)));
        // The worker reads the first part of the split frame on its own.
        QVERIFY(QTest::qWaitFor([&] { return g_recv_total_byte.load() >= readBefore + sent.size() + 10; }, 5000));
        QVERIFY(m_pty.Write(tailFrame.mid(10)));
        sent += tailFrame;
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(m_savePath).size() == sent.size(); }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return m_samples >= 41; }, 2000));

        // Stopping asks first; No keeps recording.
        DialogSeam::ClearRequests();
        m_answer = QMessageBox::No;
        PressRecord(page);
        const auto questions = RequestsOf(DialogSeam::Question);
        QCOMPARE(questions.size(), 1);
        QCOMPARE(questions.first().title, QString("确认对话框"));
        QCOMPARE(questions.first().text, QString("请确认是否停止采集数据"));
        QCOMPARE(questions.first().buttons, int(QMessageBox::Yes | QMessageBox::No));
        QVERIFY(g_ahrs_file_recording);
        QCOMPARE(requests.count(), 1);

        m_answer = QMessageBox::Yes;
        PressRecord(page);
        QVERIFY(!g_ahrs_file_recording);
        QCOMPARE(requests.count(), 2);
        QVERIFY(!requests.at(1).at(1).value<QVariant>().isValid());
        QVERIFY(RequestsOf(DialogSeam::Critical).isEmpty()); // frames have arrived by now

        // Bytes after the stop are not recorded: the worker has taken the
        // stop, and the page has the frame that followed it.
        QVERIFY(m_link.SyncWorker());
        const int samplesBefore = m_samples;
        QVERIFY(m_pty.Write(AhrsFrame(5, 5.0f)));
        QVERIFY(QTest::qWaitFor([&] { return m_samples > samplesBefore; }, 5000));
        QFile file(m_savePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), sent);
    }

    void outputRateQuerySendsTenFrames()
    {
        AHRSDataWidget page(nullptr);
        m_pty.ReadAvailable(0); // the version polling after the open
        QPushButton* query = page.findChild<QPushButton*>("btn_select_data_rate");
        QVERIFY(query);
        const QString before = page.findChild<QLabel*>("label_roll")->text();
        QElapsedTimer timer;
        timer.start();
        query->click();
        const qint64 took = timer.elapsed();
        const QByteArray expected = BuildLongCommandFrame(CMD_GET_PARAM, 0, 0, 21, 0, 0, 0);
        const QByteArray got = m_pty.ReadUntil([&](const QByteArray& b) { return b.count(expected) >= 10; }, 3000);
        QCOMPARE(got.count(expected), 10);
        QVERIFY2(took >= 27, qPrintable(QString::number(took))); // ten waits of 3 ms
        // Nothing more once the worker has sent all it was given.
        QVERIFY(m_link.SyncWorker());
        QCOMPARE(m_pty.ReadAvailable(0).count(expected), 0);
        QCOMPARE(page.findChild<QLabel*>("label_roll")->text(), before);
    }

    void nextDefaultNameUsesLastFolder()
    {
        AHRSDataWidget page(nullptr);
        m_savePath.clear();
        PressRecord(page);
        const auto saves = RequestsOf(DialogSeam::SaveFile);
        QCOMPARE(saves.size(), 1);
        QVERIFY2(saves.first().text.startsWith(m_dir.path() + "/SN42_"), qPrintable(saves.first().text));
        QVERIFY(QRegularExpression("_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d$").match(saves.first().text).hasMatch());
    }

    // A file that cannot be opened is refused at the press: nothing turns
    // red, nothing is sent, the folder is not kept for next time.
    void refusesUnwritablePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing folder") << m_dir.filePath("no-such-folder/a.dat");
        QTest::newRow("a folder") << m_dir.path();
    }
    void refusesUnwritablePath()
    {
        QFETCH(QString, path);
        AHRSDataWidget page(nullptr);
        const QString keptDir = page.SaveDir();
        QSignalSpy requests(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU);
        m_savePath = path;
        PressRecord(page);
        const auto warnings = RequestsOf(DialogSeam::Warning);
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().text.startsWith("文件打开失败：" + path + "（"), qPrintable(warnings.first().text));
        QVERIFY(!g_ahrs_file_recording);
        QCOMPARE(requests.count(), 0);
        QVERIFY(page.findChild<QLabel*>("label_file_save_tip")->text().isEmpty());
        QCOMPARE(SettingManager::GetInstance()->GetPreAHRSDataSavePath(), keptDir);
        QVERIFY(!QFile::exists(m_dir.filePath("no-such-folder")));
    }

    // A volume that fills up: the worker ends the recording, the page says
    // so once and stops showing a recording; the next press starts anew.
    void fullVolumeStopsRecording()
    {
        AHRSDataWidget page(nullptr);
        m_savePath = QStringLiteral("/dev/full");
        PressRecord(page);
        QVERIFY(g_ahrs_file_recording);
        QVERIFY(m_pty.Write(AhrsFrame(1, 1.0f)));
        QTRY_VERIFY_WITH_TIMEOUT(!g_ahrs_file_recording, 10000);
        QVERIFY(m_pty.Write(AhrsFrame(2, 2.0f)));
        const int seen = m_samples;
        QVERIFY(m_pty.Write(AhrsFrame(3, 3.0f)));
        QTRY_VERIFY_WITH_TIMEOUT(m_samples > seen, 10000);
        const auto warnings = RequestsOf(DialogSeam::Warning);
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().text.startsWith("数据保存失败，已停止保存。\n文件写入失败：/dev/full（"),
                 qPrintable(warnings.first().text));
        QVERIFY(page.findChild<QLabel*>("label_file_save_tip")->text().startsWith("文件写入失败：/dev/full"));
        DialogSeam::ClearRequests();
        m_savePath.clear();
        PressRecord(page);
        QVERIFY(RequestsOf(DialogSeam::Question).isEmpty());
        QCOMPARE(RequestsOf(DialogSeam::SaveFile).size(), 1);
    }

    // The report that the first recording failed is still on its way when
    // the user stops and starts again to the same file: it does not end the
    // second recording, whose own failure is then said once.
    void earlierFailureDoesNotStopLaterStart()
    {
        AHRSDataWidget page(nullptr);
        m_savePath = QStringLiteral("/dev/full");
        PressRecord(page);
        QVERIFY(g_ahrs_file_recording);
        const QByteArray frame = AhrsFrame(1, 1.0f);
        const uint64_t readBefore = g_recv_total_byte.load();
        const int failures = m_link.Messages(PAGE_MSG_RECORDING_FAILED);
        QVERIFY(m_pty.Write(frame));
        QVERIFY(WaitHoldingAnswers([&] { return g_recv_total_byte.load() >= readBefore + frame.size(); }));
        QCOMPARE(m_link.Messages(PAGE_MSG_RECORDING_FAILED), failures);

        m_answer = QMessageBox::Yes;
        PressRecord(page);
        QVERIFY(!g_ahrs_file_recording);
        // The worker takes a request as start or stop by the flag it finds,
        // so the stop is handled before the next press, as a user's dialogs
        // would have it.
        QVERIFY(WaitHoldingAnswers([] { return true; }));
        PressRecord(page);
        QVERIFY(g_ahrs_file_recording);
        QTRY_COMPARE(m_link.Messages(PAGE_MSG_RECORDING_FAILED), failures + 1);
        QVERIFY(g_ahrs_file_recording);
        QVERIFY(RequestsOf(DialogSeam::Warning).isEmpty());
        QCOMPARE(page.findChild<QLabel*>("label_file_save_tip")->text(), "数据保存路径: " + m_savePath);

        QVERIFY(m_pty.Write(AhrsFrame(2, 2.0f)));
        QTRY_VERIFY_WITH_TIMEOUT(!g_ahrs_file_recording, 10000);
        QCOMPARE(m_link.Messages(PAGE_MSG_RECORDING_FAILED), failures + 2);
        const auto warnings = RequestsOf(DialogSeam::Warning);
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().text.startsWith("数据保存失败，已停止保存。\n文件写入失败：/dev/full（"),
                 qPrintable(warnings.first().text));
    }
};

QTEST_MAIN(TestAhrsRecording)
#include "tst_ahrs_recording.moc"
