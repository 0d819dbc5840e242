#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include "DeviceLinkHarness.h"
#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "widgets/singleTools/RecordSpaceCheck.h"
#include "widgets/singleTools/SerialPortAssistantWidget.h"

// The serial terminal against a device played on a pseudo-terminal, through
// the real device worker: what is typed reaches the line byte for byte, what
// the line carries is shown and recorded.
class TestAssistantDevice : public QObject
{
    Q_OBJECT

private:
    FakeDevice m_device;
    LinkHarness m_link;
    QTemporaryDir m_dir;
    QString m_savePath;

    template <typename T>
    static T* Child(QWidget& page, const char* name)
    {
        return page.findChild<T*>(name);
    }
    static void Click(QWidget& page, const char* name) { Child<QAbstractButton>(page, name)->click(); }
    static void Type(QWidget& page, const QString& text) { Child<QTextEdit>(page, "text_edit_send")->setPlainText(text); }
    static QString RecvText(QWidget& page) { return Child<QPlainTextEdit>(page, "text_edit_recv")->toPlainText(); }

    // Everything the application writes within ms, all of it.
    QByteArray Line(int ms)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            got += m_device.Pty().ReadAvailable(10);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return got;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_link.Start();
        QVERIFY(m_link.Connect(m_device, "115200"));
        m_link.StopPolling(m_device);
        Line(100);
        DialogSeam::SetScripted(true);
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) -> QVariant {
            return r.kind == DialogSeam::SaveFile ? QVariant(m_savePath) : QVariant();
        });
        RecordSpaceCheck::SetQuery([](const QString&) {
            VolumeSpace v;
            v.valid = true;
            v.rootPath = "/";
            v.availableBytes = RecordSpaceCheck::kMinFreeBytes;
            return v;
        });
        g_current_action_name = QStringLiteral("串口助手");
    }

    void cleanupTestCase()
    {
        RecordSpaceCheck::SetQuery(nullptr);
        m_link.Stop();
    }

    void init() { DialogSeam::ClearRequests(); }

    void textAndHexReachTheLineExactly()
    {
        SerialPortAssistantWidget page(nullptr);
        const QList<QPair<QString, QByteArray>> ascii = {
            {"AT", QByteArray("AT\r\n")},
            {"AT\\r\\n", QByteArray("AT\r\n")},
            {"AT\n", QByteArray("AT\r\n")},
            {QString::fromUtf8("é中"), QByteArray("\xE9?\r\n")},
        };
        for (const auto& c : ascii) {
            Type(page, c.first);
            Click(page, "btn_send_command");
            QCOMPARE(m_device.Pty().ReadExactly(c.second.size(), 2000), c.second);
        }
        Click(page, "checkBox_auto_enter");
        Type(page, "AT");
        Click(page, "btn_send_command");
        QCOMPARE(m_device.Pty().ReadExactly(2, 2000), QByteArray("AT"));

        Click(page, "radioButton_sen_set_hex");
        Type(page, "55 aa,01");
        Click(page, "btn_send_command");
        QCOMPARE(m_device.Pty().ReadExactly(3, 2000), QByteArray("\x55\xAA\x01", 3));
        Type(page, "ABC");
        Click(page, "btn_send_command");
        QCOMPARE(m_device.Pty().ReadExactly(2, 2000), QByteArray("\xAB\x0C", 2));
        Type(page, "00 FF 0d 0a");
        Click(page, "btn_send_command");
        QCOMPARE(m_device.Pty().ReadExactly(4, 2000), QByteArray("\x00\xFF\r\n", 4));
        Type(page, "55\t66");
        Click(page, "btn_send_command");
        QCOMPARE(m_device.Pty().ReadExactly(2, 2000), QByteArray("\x55\x66", 2));

        // A hexadecimal command comes back from the history as it went out.
        Type(page, "C1 C2 00 41");
        Click(page, "btn_send_command");
        QCOMPARE(m_device.Pty().ReadExactly(4, 2000), QByteArray("\xC1\xC2\x00\x41", 4));
        QVERIFY(Child<QTextEdit>(page, "textEdit_history_send")->toPlainText().endsWith("# Send HEX >C1 C2 00 41"));
        Type(page, "");
        Click(page, "btn_last_history_send");
        QCOMPARE(Child<QTextEdit>(page, "text_edit_send")->toPlainText(), QString("C1 C2 00 41"));
        Click(page, "btn_send_command");
        QCOMPARE(m_device.Pty().ReadExactly(4, 2000), QByteArray("\xC1\xC2\x00\x41", 4));

        Type(page, "GG");
        Click(page, "btn_send_command");
        QCOMPARE(DialogSeam::Requests().last().text, QString("非法的十六进制字符串"));
        QCOMPARE(Line(200), QByteArray());
        QCOMPARE(Child<QLabel>(page, "label_send_total_byte")->text(), QString("发送总字节数：37"));
    }

    void receivedBytesShown()
    {
        SerialPortAssistantWidget page(nullptr);
        Click(page, "checkBox_show_time_msg");
        m_device.Pty().Write(QByteArray("\x48\x00\x49", 3));
        QTRY_COMPARE_WITH_TIMEOUT(RecvText(page), QString("H"), 2000);
        Click(page, "btn_clear_recv");
        Click(page, "radioButton_recv_set_hex");
        m_device.Pty().Write(QByteArray("\x48\x00\x49\xFF", 4));
        QTRY_COMPARE_WITH_TIMEOUT(RecvText(page), QString("48 00 49 FF"), 2000);
        QCOMPARE(Child<QLabel>(page, "label_recv_total_byte")->text(), QString("接收总字节数：7"));
    }

    void sendWhileBytesFlowShowsEachByteOnce_data()
    {
        QTest::addColumn<bool>("hex");
        QTest::newRow("text view") << false;
        QTest::newRow("hex view") << true;
    }
    void sendWhileBytesFlowShowsEachByteOnce()
    {
        QFETCH(bool, hex);
        SerialPortAssistantWidget page(nullptr);
        Click(page, "checkBox_show_time_msg");
        Click(page, "checkBox_auto_enter");
        if (hex) {
            Click(page, "radioButton_recv_set_hex");
        }
        // The device counts "<000>", "<001>", ... while a command goes out.
        QByteArray stream;
        int next = 0;
        QTimer device;
        connect(&device, &QTimer::timeout, this, [&]() {
            const QByteArray token = QString::asprintf("<%03d>", next++).toLatin1();
            stream += token;
            m_device.Pty().Write(token);
            if (next == 40) {
                device.stop();
            }
        });
        device.start(5);
        QTRY_VERIFY_WITH_TIMEOUT(page.RecvCounter() >= 50, 3000);
        Type(page, "AT");
        Click(page, "btn_send_command");
        QCOMPARE(m_device.Pty().ReadExactly(2, 2000), QByteArray("AT"));
        QTRY_VERIFY_WITH_TIMEOUT(!device.isActive() && page.RecvCounter() == uint64_t(stream.size()), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(RecvText(page).endsWith(hex ? "33 39 3E" : "<039>"), 3000);
        // Past the end-of-send display as well.
        QTimer* endOfSend = nullptr;
        for (QTimer* timer : page.findChildren<QTimer*>()) {
            if (timer->isSingleShot() && timer->interval() == 500) {
                endOfSend = timer;
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(!endOfSend->isActive(), 3000);
        page.RunDisplayTick();

        QStringList lines = RecvText(page).split('\n');
        const int echo = lines.indexOf(QRegularExpression("^\\[[^\\]]+\\]# Send ASCII >$"));
        QVERIFY(echo >= 0);
        QCOMPARE(lines.value(echo + 1), QString("AT"));
        lines.erase(lines.begin() + echo, lines.begin() + echo + 2);
        QCOMPARE(lines.join(hex ? " " : ""), hex ? QString::fromLatin1(stream.toHex(' ').toUpper())
                                                 : QString::fromLatin1(stream));
    }

    void loopSendsUntilUnchecked()
    {
        SerialPortAssistantWidget page(nullptr);
        Click(page, "checkBox_auto_enter");
        Click(page, "checkBox_while");
        Child<QLineEdit>(page, "lineEdit")->setText("40");
        Type(page, "L");
        Click(page, "btn_send_command");
        QVERIFY(page.IsLoopRunning());
        QByteArray got = Line(400);
        QVERIFY2(got.size() >= 4, got.constData());
        QCOMPARE(got, QByteArray(got.size(), 'L'));
        Click(page, "checkBox_while");
        QTRY_VERIFY_WITH_TIMEOUT(!page.IsLoopRunning(), 2000);
        got += Line(100);
        QCOMPARE(Line(200), QByteArray()); // stopped for good
        // Every byte handed to the line is counted.
        QCOMPARE(page.SendCounter(), uint32_t(got.size()));
        QCOMPARE(Child<QLabel>(page, "label_send_total_byte")->text(),
                 QString("发送总字节数：%1").arg(got.size()));
    }

    void builtFrameGoesOutAsItsThirtyFourBytes()
    {
        SerialPortAssistantWidget page(nullptr);
        Child<QLineEdit>(page, "lineEdit_id")->setText("3");
        Child<QLineEdit>(page, "lineEdit_param1")->setText("100");
        Child<QLineEdit>(page, "lineEdit_param3")->setText("4660");
        Child<QLineEdit>(page, "lineEdit_param6")->setText("-2");
        Click(page, "btn_gen_command");
        Click(page, "radioButton_sen_set_hex");
        Click(page, "btn_send_command");
        const QByteArray frame = m_device.Pty().ReadExactly(34, 2000);
        QCOMPARE(frame.size(), 34);
        // 100.0f is 0x42C80000, low byte first.
        QCOMPARE(frame.left(14), QByteArray("\x55\xAA\x03\x00\x18\x00\x00\x00\xC8\x42\x00\x00\x00\x00", 14));
        QCOMPARE(frame.mid(14, 4), QByteArray("\x34\x12\x00\x00", 4));
        QCOMPARE(frame.mid(26, 4), QByteArray("\xFE\xFF\xFF\xFF", 4));
        const unsigned int crc = crc_crc32(1, reinterpret_cast<const unsigned char*>(frame.constData()), 30);
        const QByteArray tail(reinterpret_cast<const char*>(&crc), 4);
        QCOMPARE(frame.mid(30, 4), tail);
        QCOMPARE(Line(150), QByteArray()); // no line ending after a hex frame
    }

    void emptyPeriodSendsOncePerSecond()
    {
        SerialPortAssistantWidget page(nullptr);
        Click(page, "checkBox_auto_enter");
        Click(page, "checkBox_while");
        Type(page, "E");
        Click(page, "btn_send_command");
        QCOMPARE(Line(700), QByteArray("E"));
        QCOMPARE(Line(600), QByteArray("E")); // the second send comes at one second
        Click(page, "checkBox_while");
        QTRY_VERIFY_WITH_TIMEOUT(!page.IsLoopRunning(), 2000);
        QCOMPARE(Line(100), QByteArray());
        QCOMPARE(page.SendCounter(), uint32_t(2));
        QVERIFY(RecvText(page).isEmpty()); // a loop echoes nothing
        const QString history = Child<QTextEdit>(page, "textEdit_history_send")->toPlainText();
        QVERIFY2(QRegularExpression("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]# Send ASCII >E$")
                     .match(history).hasMatch(), qPrintable(history));
    }

    void recordingEqualsBytesReceived()
    {
        SerialPortAssistantWidget page(nullptr);
        g_communicate_with_serial_flag = true;
        m_savePath = m_dir.filePath("assistant.dat");
        auto* box = Child<QCheckBox>(page, "checkBox_save_data");
        box->click();
        QVERIFY(box->isChecked());
        QVERIFY(g_serial_assistant_save_data);
        Line(100); // the worker takes the request

        QByteArray sent;
        for (int i = 0; i < 20; ++i) {
            QByteArray chunk;
            for (int j = 0; j < 50 + i; ++j) {
                chunk.append(static_cast<char>((i * 31 + j * 7) & 0xFF));
            }
            m_device.Pty().Write(chunk);
            sent += chunk;
            Line(5);
        }
        QTRY_COMPARE_WITH_TIMEOUT(page.RecvCounter(), uint64_t(sent.size()), 3000);
        box->click();
        QVERIFY(!box->isChecked());
        QVERIFY(!g_serial_assistant_save_data);
        Line(100);
        m_device.Pty().Write("after");
        Line(150);

        QFile file(m_savePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), sent);
    }
};

QTEST_MAIN(TestAssistantDevice)
#include "tst_assistant_device.moc"
