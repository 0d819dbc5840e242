// The decode dialog as a user drives it: file and folder pickers, refusal
// while a port is connected, a decoding on its worker thread with progress,
// final status and re-enabled buttons, and cancel on close.

#include <QtTest>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstring>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "dialogs/general/DataDecodeDialog.h"
#include "dialogs/general/WorkerThreadDecode.h"
#include "manager/DisplayWidgetsManager.h"
#include "manager/Reflector.h"
#include "manager/SettingManager.h"
#include "workerThread/DeviceFrames.h"

namespace {

QByteArray AhrsFrame(uint32_t time)
{
    char raw[44] = {};
    const float temp = 25.5f;
    std::memcpy(raw, &time, 4);
    std::memcpy(raw + 40, &temp, 4);
    return BuildDeviceFrame(FRAME_AHRS_DATA, QByteArray(raw, sizeof raw));
}

} // namespace

class TestDecodeDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_answerFile;
    QString m_answerFolder;

    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.path() + "/" + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return path;
    }

    static QLabel* Status(DataDecodeDialog& d) { return d.findChild<QLabel*>("labelStatus"); }
    static QPushButton* Button(DataDecodeDialog& d, const char* name) { return d.findChild<QPushButton*>(name); }

private slots:
    void initTestCase()
    {
        DialogSeam::SetScripted(true);
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) -> QVariant {
            if (r.kind == DialogSeam::OpenFile) {
                return m_answerFile;
            }
            if (r.kind == DialogSeam::ExistingDirectory) {
                return m_answerFolder;
            }
            return QVariant();
        });
        SettingManager::GetInstance();
    }

    void init()
    {
        DialogSeam::ClearRequests();
        g_serial_is_connected = false;
        g_decode_exit = false;
    }

    void formAndRegistry()
    {
        QWidget* made = DisplayWidgetsManager::GetInstance()->GetReflector()->CreateObject("DataDecodeDialog");
        QVERIFY(qobject_cast<DataDecodeDialog*>(made));
        delete made;

        DataDecodeDialog d;
        auto* combo = d.findChild<QComboBox*>("comboBoxDecode");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QString("AHRS"));
        QCOMPARE(combo->itemText(1), QString("9IMU/33IMU"));
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(Status(d)->text(), QString("N/A"));
        QCOMPARE(d.findChild<QProgressBar*>("progressBar")->value(), 0);
        QCOMPARE(Button(d, "buttonDecode")->text(), QString("数据解码"));
        QCOMPARE(Button(d, "pushButton_openfile_for_decode")->text(), QString("打开源文件"));
        QCOMPARE(Button(d, "buttonDest")->text(), QString("选择保存路径"));
        // The table goes where the folder chooser says, so only it sets the
        // field that shows the destination.
        QVERIFY(d.findChild<QLineEdit*>("lineEditDestPath")->isReadOnly());
    }

    void grabToPng()
    {
        DataDecodeDialog d;
        d.SetEditButtonEnable(false);
        d.resize(506, 257);
        const QImage image = d.grab().toImage();
        QVERIFY(!image.isNull());
        QVERIFY(image.save(QDir::tempPath() + "/corvanta_decode_dialog.png"));
    }

    void pickersFillAndEmptyThePaths()
    {
        SettingManager::GetInstance()->SetPreSaveParamTableConfigPath("/remembered");
        DataDecodeDialog d;
        m_answerFile = "/data/run/rec.dat";
        Button(d, "pushButton_openfile_for_decode")->click();
        const DialogSeam::Request open = DialogSeam::Requests().last();
        QCOMPARE(open.title, QString("打开数据文件"));
        QCOMPARE(open.text, QString("/remembered"));
        QCOMPARE(open.filter, QString("数据格式 (*.dat *.asc)"));
        QCOMPARE(d.findChild<QLineEdit*>("lineEditSrcPath")->text(), m_answerFile);
        QCOMPARE(d.findChild<QLineEdit*>("lineEditDestPath")->text(), QString("/data/run"));

        m_answerFolder.clear();
        Button(d, "buttonDest")->click();
        QCOMPARE(DialogSeam::Requests().last().title, QString("选择文件夹"));
        QCOMPARE(d.DestinationFolder(), QString());
        QCOMPARE(d.SourcePath(), m_answerFile);

        m_answerFile.clear();
        Button(d, "pushButton_openfile_for_decode")->click();
        QCOMPARE(d.SourcePath(), QString());
        QCOMPARE(d.DestinationFolder(), QString());
    }

    void refusals()
    {
        DataDecodeDialog d;
        Button(d, "buttonDecode")->click();
        QCOMPARE(DialogSeam::Requests().size(), 1);
        QCOMPARE(DialogSeam::Requests().first().kind, DialogSeam::Warning);
        QCOMPARE(DialogSeam::Requests().first().title, QString("提示"));
        QCOMPARE(DialogSeam::Requests().first().text, QString("源文件和保存路径不能为空"));

        m_answerFile = Write("refused.dat", AhrsFrame(1) + AhrsFrame(2));
        Button(d, "pushButton_openfile_for_decode")->click();
        g_serial_is_connected = true;
        g_decode_exit = true;
        Button(d, "buttonDecode")->click();
        QCOMPARE(Status(d)->text(), QString("请断开串口"));
        QVERIFY(Button(d, "buttonDecode")->isEnabled());
        QVERIFY(Button(d, "pushButton_openfile_for_decode")->isEnabled());
        QVERIFY(g_decode_exit); // nothing started, nothing cleared
        QVERIFY(!d.IsWorkerRunning());
        QVERIFY(!QFile::exists(m_dir.path() + "/output_refused.txt"));
    }

    void decodesOnItsThread()
    {
        DataDecodeDialog d;
        QByteArray stream = QByteArray("noise") + AhrsFrame(10) + AhrsFrame(20) + AhrsFrame(30).left(20);
        m_answerFile = Write("thread run.dat", stream);
        Button(d, "pushButton_openfile_for_decode")->click();
        g_decode_exit = true; // left over from an earlier close
        Button(d, "buttonDecode")->click();
        QVERIFY(!g_decode_exit);
        QVERIFY(!Button(d, "buttonDecode")->isEnabled());
        QVERIFY(!Button(d, "pushButton_openfile_for_decode")->isEnabled());
        QVERIFY(Button(d, "buttonDest")->isEnabled());
        QTRY_COMPARE(Status(d)->text(), QString("解码完成，解码误码数：0,解码成功数：2"));
        QVERIFY(Button(d, "buttonDecode")->isEnabled());
        QCOMPARE(d.findChild<QProgressBar*>("progressBar")->value(), 100);
        QTRY_VERIFY(!d.IsWorkerRunning());
        QCOMPARE(SettingManager::GetInstance()->GetPreSaveParamTableConfigPath(), m_dir.path());

        QFile out(m_dir.path() + "/output_thread run.txt");
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(out.readAll()),
                 QString("%time_us,accx,accy,accz,gyrox,gyroy,gyroz,temperature,roll,pitch,yaw,mx,my,mz\n"
                         "10,0,0,0,0,0,0,25.5,0,0,0\n"
                         "20,0,0,0,0,0,0,25.5,0,0,0\n"));

        // A second start on the same dialog replaces the finished pair.
        d.findChild<QComboBox*>("comboBoxDecode")->setCurrentIndex(1);
        Button(d, "buttonDecode")->click();
        QTRY_COMPARE(Status(d)->text(), QString("解码完成，解码误码数：0,解码成功数：2"));
        QFile out2(m_dir.path() + "/output_thread run.txt");
        QVERIFY(out2.open(QIODevice::ReadOnly));
        QVERIFY(out2.readAll().startsWith("%t1,imu00_0,"));
    }

    void typedSourcePathIsNeitherDecodedNorRemembered()
    {
        // What is decoded, and where the next chooser opens, comes from the
        // chosen file only; the field just shows it.
        QTemporaryDir other;
        const QString typed = other.path() + "/b.dat";
        QFile b(typed);
        QVERIFY(b.open(QIODevice::WriteOnly));
        b.write(AhrsFrame(1) + AhrsFrame(2) + AhrsFrame(3));
        b.close();
        DataDecodeDialog d;
        m_answerFile = Write("a.dat", AhrsFrame(1) + AhrsFrame(2));
        Button(d, "pushButton_openfile_for_decode")->click();
        auto* field = d.findChild<QLineEdit*>("lineEditSrcPath");
        QVERIFY(field->isReadOnly());
        field->selectAll();
        QTest::keyClicks(field, typed);
        QCOMPARE(field->text(), m_answerFile);
        field->setText(typed); // whatever else might put text there
        Button(d, "buttonDecode")->click();
        QTRY_COMPARE(Status(d)->text(), QString("解码完成，解码误码数：0,解码成功数：2"));
        QVERIFY(QFile::exists(m_dir.path() + "/output_a.txt"));
        QVERIFY(!QFile::exists(m_dir.path() + "/output_b.txt") && !QFile::exists(other.path() + "/output_b.txt"));
        QCOMPARE(SettingManager::GetInstance()->GetPreSaveParamTableConfigPath(), m_dir.path());
        QTRY_VERIFY(!d.IsWorkerRunning());
    }

    void canTextLogFollowsTheComboChoice()
    {
        // The dialog offers AHRS and 9IMU/33IMU only: a CAN text log picked
        // with the file picker is read as a raw recording.
        DataDecodeDialog d;
        QByteArray log;
        for (int id = 65; id <= 69; ++id) {
            log += "1.0 1 " + QByteArray::number(id) + " Rx d 8 00 00 80 3F 00 00 00 00\n";
        }
        m_answerFile = Write("bus.asc", log);
        QString emittedType;
        connect(&d, &DataDecodeDialog::SignalFileDecode,
                [&emittedType](QString, QString, int type) { emittedType += QString::number(type); });
        Button(d, "pushButton_openfile_for_decode")->click();
        Button(d, "buttonDecode")->click();
        QTRY_COMPARE(Status(d)->text(), QString("没有解出对应帧，请确认数据文件是否正确"));
        QTRY_VERIFY(!d.IsWorkerRunning());
        d.findChild<QComboBox*>("comboBoxDecode")->setCurrentIndex(1);
        Button(d, "buttonDecode")->click();
        QTRY_COMPARE(Status(d)->text(), QString("没有解出对应帧，请确认数据文件是否正确"));
        QCOMPARE(emittedType, QString("05"));
    }

    void restartRightAfterFinalStatusIsNotCancelled()
    {
        // The final status arrives while the worker's thread still runs (its
        // quit is queued behind the status). A start at that moment must not
        // cancel the new decoding while it waits for the old thread.
        DataDecodeDialog d;
        m_answerFile = Write("again.dat", AhrsFrame(1) + AhrsFrame(2) + AhrsFrame(3));
        Button(d, "pushButton_openfile_for_decode")->click();

        struct Restarter : QObject
        {
            DataDecodeDialog* dialog = nullptr;
            bool threadWasRunning = false;
            int restarts = 0;
            bool eventFilter(QObject* watched, QEvent* event) override
            {
                if (watched != dialog || event->type() != QEvent::MetaCall || restarts > 0) {
                    return false;
                }
                static_cast<QObject*>(dialog)->event(event); // the worker's status
                if (dialog->findChild<QPushButton*>("buttonDecode")->isEnabled()) {
                    ++restarts;
                    threadWasRunning = dialog->IsWorkerRunning();
                    QMetaObject::invokeMethod(dialog, "on_buttonDecode_clicked", Qt::DirectConnection);
                }
                return true;
            }
        } restarter;
        restarter.dialog = &d;
        d.installEventFilter(&restarter);
        Button(d, "buttonDecode")->click();
        QTRY_COMPARE(restarter.restarts, 1);
        QVERIFY(restarter.threadWasRunning);
        QTRY_VERIFY(Button(d, "buttonDecode")->isEnabled());
        d.removeEventFilter(&restarter);
        QCOMPARE(Status(d)->text(), QString("解码完成，解码误码数：0,解码成功数：3"));
        QTRY_VERIFY(!d.IsWorkerRunning());
    }

    void buttonStylesFollowTheState()
    {
        DataDecodeDialog d;
        QCOMPARE(Button(d, "buttonDest")->styleSheet(), QString());
        QCOMPARE(Button(d, "pushButton_openfile_for_decode")->styleSheet(), QString());
        d.SetEditButtonEnable(false);
        for (const char* name : {"pushButton_openfile_for_decode", "buttonDecode"}) {
            QVERIFY(!Button(d, name)->isEnabled());
            const QString style = Button(d, name)->styleSheet().remove(' ');
            QVERIFY2(style.contains("color:rgb(200,200,200)"), qPrintable(style));
            QVERIFY(style.contains("border:1pxsolidrgb(200,200,200)"));
            QVERIFY(style.contains("border-radius:5px"));
        }
        QVERIFY(Button(d, "buttonDest")->isEnabled());
        QCOMPARE(Button(d, "buttonDest")->styleSheet(), QString());
        d.SetEditButtonEnable(true);
        for (const char* name : {"pushButton_openfile_for_decode", "buttonDecode"}) {
            QVERIFY(Button(d, name)->isEnabled());
            const QString style = Button(d, name)->styleSheet().remove(' ');
            QVERIFY(style.contains("color:rgb(0,85,255)"));
            QVERIFY(style.contains("border:1pxsolidrgb(122,122,122)"));
            QVERIFY(style.contains(":hover{color:rgb(0,170,0)"));
            QVERIFY(style.contains(":pressed{background-color:rgba(0,170,255,30)"));
        }
    }

    void formLayout()
    {
        DataDecodeDialog d;
        QCOMPARE(d.size(), QSize(506, 257));
        QCOMPARE(d.windowTitle(), QString("Widget"));
        const QList<QPair<const char*, const char*>> captions = {{"label_port_5", "解码数据流："},
                                                                  {"label_port_8", "源文件："},
                                                                  {"label_port_9", "目标文件："},
                                                                  {"label_port_6", "进度："},
                                                                  {"label_decode_status", "状态："}};
        for (const auto& c : captions) {
            auto* label = d.findChild<QLabel*>(c.first);
            QVERIFY2(label, c.first);
            QCOMPARE(label->text(), QString(c.second));
            QCOMPARE(label->font().family(), QString("宋体"));
            QCOMPARE(label->font().pointSize(), 9);
        }
        QCOMPARE(d.findChild<QComboBox*>("comboBoxDecode")->maxVisibleItems(), 30);
        QCOMPARE(Button(d, "pushButton_openfile_for_decode")->maximumHeight(), 30);
        QCOMPARE(Button(d, "buttonDest")->maximumHeight(), 30);
        QCOMPARE(d.findChild<QProgressBar*>("progressBar")->alignment(), Qt::AlignCenter);
        QVERIFY(d.findChild<QLineEdit*>("lineEditSrcPath"));
        QVERIFY(d.findChild<QLineEdit*>("lineEditDestPath"));
    }

    void emptyAndMissingSourceFiles()
    {
        DataDecodeDialog d;
        m_answerFile = Write("empty.dat", QByteArray());
        Button(d, "pushButton_openfile_for_decode")->click();
        Button(d, "buttonDecode")->click();
        QTRY_COMPARE(Status(d)->text(), QString("没有解出对应帧，请确认数据文件是否正确"));
        QCOMPARE(d.findChild<QProgressBar*>("progressBar")->value(), 100);

        QTRY_VERIFY(!d.IsWorkerRunning());
        m_answerFile = m_dir.path() + "/gone.dat";
        Button(d, "pushButton_openfile_for_decode")->click();
        Button(d, "buttonDecode")->click();
        QTRY_COMPARE(Status(d)->text(),
                     "打不开文件，文件打开失败：" + m_answerFile + "（No such file or directory）");
        QVERIFY(Button(d, "buttonDecode")->isEnabled());
    }

    void longFailureWrapsInsideTheDialog()
    {
        // A failure names its file: a long path wraps, inside the width the
        // dialog has, and the dialog grows downwards to show every line.
        DataDecodeDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const int width = d.width();
        m_answerFile = m_dir.path() + "/" + QString("recording_of_a_long_walk_").repeated(6) + ".dat";
        Button(d, "pushButton_openfile_for_decode")->click();
        Button(d, "buttonDecode")->click();
        QTRY_VERIFY(Status(d)->text().endsWith("（No such file or directory）"));
        QCOMPARE(d.width(), width);
        QVERIFY(Status(d)->height() >= Status(d)->heightForWidth(Status(d)->width()));
        QVERIFY(Status(d)->heightForWidth(Status(d)->width()) > 2 * Status(d)->fontMetrics().height());
        QVERIFY(d.rect().contains(Status(d)->geometry()));
        QVERIFY(!Status(d)->geometry().intersects(Button(d, "buttonDecode")->geometry()));
    }

    void tableOnFullDeviceIsAFailure()
    {
        // The chosen folder is where the table goes; there it meets a full
        // device, and the status says so instead of "解码完成".
        QTemporaryDir dest;
        QVERIFY(QFile::link("/dev/full", dest.path() + "/output_full.txt"));
        DataDecodeDialog d;
        m_answerFile = Write("full.dat", AhrsFrame(1) + AhrsFrame(2));
        Button(d, "pushButton_openfile_for_decode")->click();
        m_answerFolder = dest.path();
        Button(d, "buttonDest")->click();
        QCOMPARE(d.findChild<QLineEdit*>("lineEditDestPath")->text(), dest.path());
        Button(d, "buttonDecode")->click();
        QTRY_VERIFY(Button(d, "buttonDecode")->isEnabled());
        QCOMPARE(Status(d)->text(), QString("解码失败，文件写入失败：%1/output_full.txt（No space left on device）")
                                        .arg(dest.path()));
        QVERIFY(!QFile::exists(m_dir.path() + "/output_full.txt"));
        QTRY_VERIFY(!d.IsWorkerRunning());
    }

    void closeCancelsRunningDecoding()
    {
        // Large enough that the decoding is still running when the close
        // arrives on a busy machine; the result must hold either way.
        QByteArray stream;
        const QByteArray frame = AhrsFrame(5);
        for (int i = 0; i < 40000; ++i) {
            stream += frame;
        }
        auto* d = new DataDecodeDialog();
        QSignalSpy closed(d, &CustomDialog::SignalCloseDialog);
        m_answerFile = Write("long.dat", stream);
        Button(*d, "pushButton_openfile_for_decode")->click();
        d->show();
        Button(*d, "buttonDecode")->click();
        d->close();
        QVERIFY(g_decode_exit);
        QCOMPARE(closed.count(), 1);
        QTRY_VERIFY(Button(*d, "buttonDecode")->isEnabled());
        // Cancelled before the first frame or after some: either way the
        // final status arrives and the table stops short of the file.
        const QString status = Status(*d)->text();
        QVERIFY2(status.startsWith("解码完成，解码误码数：0,解码成功数：") || status == "没有解出对应帧，请确认数据文件是否正确",
                 qPrintable(status));
        QFile out(m_dir.path() + "/output_long.txt");
        if (out.open(QIODevice::ReadOnly)) {
            QVERIFY(out.readAll().count('\n') < 40001);
        }
        delete d;
        QVERIFY(!WorkerThreadDecode::IsDecodeRunning());
    }

    void destroyedMidRunStopsItsThread()
    {
        QByteArray stream;
        const QByteArray frame = AhrsFrame(6);
        for (int i = 0; i < 40000; ++i) {
            stream += frame;
        }
        auto* d = new DataDecodeDialog();
        m_answerFile = Write("long2.dat", stream);
        Button(*d, "pushButton_openfile_for_decode")->click();
        Button(*d, "buttonDecode")->click();
        delete d; // must not destroy a running thread
        QVERIFY(!WorkerThreadDecode::IsDecodeRunning());
    }

    void menuDialogClosedMidRunIsFreedAndOpensAgain()
    {
        QByteArray stream;
        for (int i = 0; i < 40000; ++i) {
            stream += AhrsFrame(7);
        }
        // A thread that ended just before may still be listed at the start.
        auto threads = []() { return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); };
        const int running = threads();
        QWidget window;
        DisplayWidgetsManager* registry = DisplayWidgetsManager::GetInstance();
        auto open = [&]() {
            registry->CreateSingleToolDisplayDialog("DataDecodeDialog", &window);
            auto* d = window.findChild<DataDecodeDialog*>("DataDecodeDialog");
            Button(*d, "pushButton_openfile_for_decode")->click();
            Button(*d, "buttonDecode")->click();
            return d;
        };
        m_answerFile = Write("long3.dat", stream);
        QPointer<DataDecodeDialog> first = open();
        first->close();
        QTRY_VERIFY(first.isNull());
        QVERIFY(!WorkerThreadDecode::IsDecodeRunning());
        QTRY_VERIFY(threads() <= running);

        // The next one from the menu decodes as the first never ran.
        m_answerFile = Write("short3.dat", AhrsFrame(1) + AhrsFrame(2));
        QPointer<DataDecodeDialog> second = open();
        QTRY_COMPARE(Status(*second)->text(), QString("解码完成，解码误码数：0,解码成功数：2"));
        second->close();
        QTRY_VERIFY(second.isNull());
        QTRY_VERIFY(threads() <= running);
    }
};

QTEST_MAIN(TestDecodeDialog)
#include "tst_decode_dialog.moc"
