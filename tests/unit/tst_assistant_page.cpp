#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QMetaMethod>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/StartUp.h"
#include "dialogs/general/SerialCustomDialog.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "widgets/singleTools/CommandFrameText.h"
#include "widgets/singleTools/ReceiveViewBuffer.h"
#include "widgets/singleTools/RecordSpaceCheck.h"
#include "widgets/singleTools/SerialPortAssistantWidget.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThreadImu.h"

namespace {

QByteArray Gbk(const QString& text)
{
    return QTextCodec::codecForName("GBK")->fromUnicode(text);
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The file as the page writes it: indented JSON, GBK.
QByteArray AtFile(const QStringList& commands, const QStringList& descriptions)
{
    auto array = [](const QStringList& items) {
        QStringList quoted;
        for (const QString& s : items) {
            quoted << "        \"" + s + "\"";
        }
        return items.isEmpty() ? QString("[\n    ]") : "[\n" + quoted.join(",\n") + "\n    ]";
    };
    return Gbk("{\n    \"commands\": " + array(commands) + ",\n    \"descriptions\": " + array(descriptions)
               + "\n}\n");
}

template <typename T>
T* Child(QWidget& page, const char* name)
{
    T* w = page.findChild<T*>(name);
    if (w == nullptr) {
        qFatal("missing child %s", name);
    }
    return w;
}

} // namespace

class TestAssistantPage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_atPath;
    QString m_savePath;
    QList<int> m_requests;
    QList<QVariant> m_requestPaths;
    quint64 m_lastStart = 0; // identity the last request carried as var2
    // A worker without a port: sends go nowhere, but the page sees a link.
    WorkerThreadImu m_worker{nullptr};

    QList<DialogSeam::Request> Boxes() const { return DialogSeam::Requests(); }
    QString LastBoxText() const { return Boxes().isEmpty() ? QString() : Boxes().last().text; }

    static void Receive(const QByteArray& bytes)
    {
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_RAW_DATA, QVariant(bytes), QVariant());
    }
    static QString RecvText(QWidget& page) { return Child<QPlainTextEdit>(page, "text_edit_recv")->toPlainText(); }
    // The page's single-shot timer of that interval (end of send 500 ms,
    // resize 1000 ms).
    static QTimer* PageTimer(QWidget& page, int interval)
    {
        for (QTimer* timer : page.findChildren<QTimer*>()) {
            if (timer->isSingleShot() && timer->interval() == interval) {
                return timer;
            }
        }
        qFatal("no timer of %d ms", interval);
    }
    static void Type(QWidget& page, const QString& text)
    {
        Child<QTextEdit>(page, "text_edit_send")->setPlainText(text);
    }
    static void Click(QWidget& page, const char* name) { Child<QAbstractButton>(page, name)->click(); }
    static QTableWidget* AtTable(QWidget& page) { return Child<QTableWidget>(page, "tableWidget_at"); }
    static QPushButton* RowButton(QWidget& page, int row, int column)
    {
        return qobject_cast<QPushButton*>(AtTable(page)->cellWidget(row, column));
    }

private slots:
    void initTestCase()
    {
        RegsiterMetaType();
        InitCorvantaResources();
        QVERIFY(m_dir.isValid());
        SerialPortManager::GetInstance()->InsertImuWorker(&m_worker, 0);
        m_atPath = m_dir.filePath("at_command.json");
        SettingManager::GetInstance()->SetSerialAssistantATConfigPath(m_atPath);
        DialogSeam::SetScripted(true);
        DialogSeam::SetHandler([this](const DialogSeam::Request& r) -> QVariant {
            return r.kind == DialogSeam::SaveFile ? QVariant(m_savePath) : QVariant();
        });
        connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU, this,
                [this](int id, QVariant var1, QVariant var2) {
                    m_requests.append(id);
                    m_requestPaths.append(var1);
                    m_lastStart = var2.toULongLong();
                });
    }

    void init()
    {
        DialogSeam::ClearRequests();
        m_requests.clear();
        m_requestPaths.clear();
        g_current_action_name = QStringLiteral("串口助手");
        g_serial_assistant_save_data = false;
        g_communicate_with_serial_flag = false;
        g_serial_is_connected = true;
        QFile::remove(m_atPath);
    }

    void cleanupTestCase() { SerialPortManager::GetInstance()->ClearWorker(); }

    void formStartsAsDesigned()
    {
        SerialPortAssistantWidget page(nullptr);
        QCOMPARE(page.windowTitle(), QString("Form"));
        QCOMPARE(page.objectName(), QString("SerialPortAssistantWidget"));
        QVERIFY(Child<QRadioButton>(page, "radioButton_send_set_ascii")->isChecked());
        QVERIFY(Child<QRadioButton>(page, "radioButton_recv_set_ascii")->isChecked());
        QVERIFY(Child<QCheckBox>(page, "checkBox_auto_enter")->isChecked());
        QVERIFY(Child<QCheckBox>(page, "checkBox_show_time_msg")->isChecked());
        QVERIFY(!Child<QCheckBox>(page, "checkBox_while")->isChecked());
        QVERIFY(Child<QPlainTextEdit>(page, "text_edit_recv")->isReadOnly());
        QVERIFY(!Child<QPlainTextEdit>(page, "text_edit_recv")->document()->isUndoRedoEnabled());
        QCOMPARE(Child<QLineEdit>(page, "lineEdit")->placeholderText(), QString("单位：ms"));
        QCOMPARE(Child<QLabel>(page, "label_recv_total_byte")->text(), QString("接收总字节数：0"));
        QCOMPARE(Child<QLabel>(page, "label_send_total_byte")->text(), QString("发送总字节数：0"));
        QCOMPARE(Child<QTabWidget>(page, "tabWidget_quick")->currentIndex(), 2);
        QVERIFY(Child<QPushButton>(page, "btn_last_history_send")->styleSheet().contains(
            ":/images/resources/images/toolBox/leftArrow.png"));

        QTableWidget* index = Child<QTableWidget>(page, "tableWidget_cmd_index");
        QCOMPARE(index->rowCount(), 10);
        QCOMPARE(index->columnCount(), 4);
        QCOMPARE(index->item(0, 3)->text(), QString("功能描述"));
        QCOMPARE(index->item(9, 2)->text(), QString("31"));
        QCOMPARE(index->item(9, 3)->text(), QString("内部滤波器配置，定义同SPI加速度计和陀螺仪滤波配\n置，默认0xBB，即47Hz"));
        QCOMPARE(index->editTriggers(), QAbstractItemView::NoEditTriggers);
        // No file: an empty AT table, nothing asked of the user.
        QCOMPARE(AtTable(page)->rowCount(), 0);
        QCOMPARE(AtTable(page)->columnCount(), 5);
        QVERIFY(Boxes().isEmpty());
    }

    void receivedBytesShownAsTextAndHex()
    {
        SerialPortAssistantWidget page(nullptr);
        Receive(QByteArray("\x48\x00\x49", 3));
        QTRY_VERIFY_WITH_TIMEOUT(!RecvText(page).isEmpty(), 1000);
        const QString line = RecvText(page);
        QVERIFY2(QRegularExpression("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]# RECV ASCII >\nH$")
                     .match(line).hasMatch(), qPrintable(line));
        QCOMPARE(Child<QLabel>(page, "label_recv_total_byte")->text(), QString("接收总字节数：3"));

        Click(page, "btn_clear_recv");
        Click(page, "radioButton_recv_set_hex");
        Click(page, "checkBox_show_time_msg");
        Receive(QByteArray("\x48\x00\x49", 3));
        Receive(QByteArray("\x0A\xFF", 2)); // one tick shows both chunks as one line
        QTRY_COMPARE_WITH_TIMEOUT(RecvText(page), QString("48 00 49 0A FF"), 1000);
        QCOMPARE(Child<QLabel>(page, "label_recv_total_byte")->text(), QString("接收总字节数：8"));

        // Markup from the line is shown as typed, never rendered.
        Click(page, "btn_clear_recv");
        Click(page, "radioButton_recv_set_ascii");
        Receive("<b>bold</b>");
        QTRY_COMPARE_WITH_TIMEOUT(RecvText(page), QString("<b>bold</b>"), 1000);

        Click(page, "btn_reset_recv_total_byte");
        QCOMPARE(Child<QLabel>(page, "label_recv_total_byte")->text(), QString("接收总字节数：0"));
        QCOMPARE(page.RecvCounter(), uint64_t(0));
    }

    void bytesForAnotherPageAreIgnored()
    {
        SerialPortAssistantWidget page(nullptr);
        g_current_action_name = QStringLiteral("AHRS数据");
        Receive("ignored");
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_PARAM_RAW_DATA, QVariant(QByteArray("x")),
                                                                    QVariant());
        // Answers reach a page on its own thread at once.
        page.RunDisplayTick();
        QCOMPARE(page.RecvCounter(), uint64_t(0));
        QVERIFY(RecvText(page).isEmpty());
        // The caption must match exactly.
        g_current_action_name = QStringLiteral("串口助手 ");
        Receive("ignored");
        QCOMPARE(page.RecvCounter(), uint64_t(0));
    }

    void pausedDisplayGathersAndShowsOnce()
    {
        SerialPortAssistantWidget page(nullptr);
        Click(page, "checkBox_show_time_msg");
        Click(page, "checkBox_no_show");
        Receive("AB");
        Receive("CD");
        page.RunDisplayTick();
        QVERIFY(RecvText(page).isEmpty());
        QCOMPARE(Child<QLabel>(page, "label_recv_total_byte")->text(), QString("接收总字节数：0"));
        Click(page, "checkBox_no_show");
        QTRY_COMPARE_WITH_TIMEOUT(RecvText(page), QString("ABCD"), 1000);
        QCOMPARE(Child<QLabel>(page, "label_recv_total_byte")->text(), QString("接收总字节数：4"));
    }

    void sendCountsAndEchoesOnlyOnAnOpenPort()
    {
        SerialPortAssistantWidget page(nullptr);
        Type(page, "AT");
        g_serial_is_connected = false;
        Click(page, "btn_send_command");
        QCOMPARE(Boxes().size(), 1);
        QCOMPARE(Boxes().last().title, QString("警告"));
        QCOMPARE(LastBoxText(), QString("请连接串口"));
        QCOMPARE(page.SendCounter(), uint32_t(0));
        QVERIFY(RecvText(page).isEmpty());
        QVERIFY(Child<QTextEdit>(page, "textEdit_history_send")->toPlainText().isEmpty());

        g_serial_is_connected = true;
        DialogSeam::ClearRequests();
        Click(page, "btn_send_command");
        QVERIFY(Boxes().isEmpty());
        QCOMPARE(Child<QLabel>(page, "label_send_total_byte")->text(), QString("发送总字节数：4"));
        QVERIFY2(QRegularExpression("^\\[[^\\]]+\\]# Send ASCII >\nAT\n$").match(RecvText(page)).hasMatch(),
                 qPrintable(RecvText(page)));
        const QString history = Child<QTextEdit>(page, "textEdit_history_send")->toPlainText();
        QVERIFY2(QRegularExpression("^\\[[^\\]]+\\]# Send ASCII >AT\n$").match(history).hasMatch(),
                 qPrintable(history));

        Click(page, "btn_clear_recv");
        Click(page, "radioButton_sen_set_hex");
        Type(page, "55 aa,01");
        Click(page, "btn_send_command");
        QVERIFY2(RecvText(page).endsWith("]# Send HEX >\n55 AA 01"), qPrintable(RecvText(page)));
        // CR LF is added before the hex is read, and then dropped by it.
        QCOMPARE(page.SendCounter(), uint32_t(7));
    }

    void refusedSends()
    {
        SerialPortAssistantWidget page(nullptr);
        Type(page, "");
        Click(page, "btn_send_command");
        QCOMPARE(Boxes().size(), 1);
        QCOMPARE(Boxes().last().kind, DialogSeam::Warning);
        QCOMPARE(Boxes().last().title, QString("警告"));
        QCOMPARE(LastBoxText(), QString("请输入命令"));

        Click(page, "radioButton_sen_set_hex");
        Type(page, "GG");
        Click(page, "btn_send_command");
        QCOMPARE(Boxes().last().kind, DialogSeam::Critical);
        QCOMPARE(Boxes().last().title, QString("错误"));
        QCOMPARE(LastBoxText(), QString("非法的十六进制字符串"));
        QCOMPARE(page.SendCounter(), uint32_t(0));
        QVERIFY(Child<QTextEdit>(page, "textEdit_history_send")->toPlainText().isEmpty());
    }

    void historyButtonsWalkTheSentCommands()
    {
        SerialPortAssistantWidget page(nullptr);
        Click(page, "checkBox_auto_enter");
        auto* send = Child<QTextEdit>(page, "text_edit_send");
        Click(page, "btn_last_history_send"); // empty history: nothing
        for (const char* c : {"one", "two", "three"}) {
            Type(page, c);
            Click(page, "btn_send_command");
        }
        Click(page, "btn_last_history_send");
        QCOMPARE(send->toPlainText(), QString("three"));
        Click(page, "btn_last_history_send");
        QCOMPARE(send->toPlainText(), QString("two"));
        Click(page, "btn_last_history_send");
        QCOMPARE(send->toPlainText(), QString("one"));
        Click(page, "btn_last_history_send");
        QCOMPARE(send->toPlainText(), QString("one"));
        Click(page, "btn_next_history_send");
        QCOMPARE(send->toPlainText(), QString("two"));
        Click(page, "btn_next_history_send");
        Click(page, "btn_next_history_send");
        Click(page, "btn_next_history_send");
        QCOMPARE(send->toPlainText(), QString("three"));
    }

    void loopStopsAndClosingPageEndsIt()
    {
        auto* page = new SerialPortAssistantWidget(nullptr);
        Click(*page, "checkBox_while");
        Child<QLineEdit>(*page, "lineEdit")->setText("30");
        Type(*page, "X");
        Click(*page, "btn_send_command");
        QVERIFY(page->IsLoopRunning());
        Click(*page, "btn_send_command");
        QCOMPARE(LastBoxText(), QString("正在循环发送命令中，请取消勾选之后再发送"));
        QTRY_VERIFY_WITH_TIMEOUT(page->SendCounter() >= 3, 2000);
        Click(*page, "checkBox_while");
        QTRY_VERIFY_WITH_TIMEOUT(!page->IsLoopRunning(), 2000);
        const uint32_t counted = page->SendCounter();
        QCOMPARE(counted % 3, uint32_t(0)); // whole sends of "X\r\n"
        // The loop's last report came with its end: nothing more is counted.
        QCoreApplication::processEvents();
        QCOMPARE(page->SendCounter(), counted);

        // The port closes under a running loop: it ends, and says why.
        Click(*page, "checkBox_while");
        Click(*page, "btn_send_command");
        QVERIFY(page->IsLoopRunning());
        g_serial_is_connected = false;
        QTRY_VERIFY_WITH_TIMEOUT(!page->IsLoopRunning(), 2000);
        QVERIFY(!Child<QCheckBox>(*page, "checkBox_while")->isChecked());
        QCOMPARE(LastBoxText(), QString("请连接串口"));
        g_serial_is_connected = true;

        // A long period, and the page goes away in the middle of a wait.
        Click(*page, "checkBox_while");
        Child<QLineEdit>(*page, "lineEdit")->setText("60000");
        Click(*page, "btn_send_command");
        QVERIFY(page->IsLoopRunning());
        QElapsedTimer timer;
        timer.start();
        delete page;
        QVERIFY(timer.elapsed() < 2000);
        QCoreApplication::processEvents(); // nothing queued by the loop may reach the dead page
    }

    void frameBoxBuildsChecksAndParses()
    {
        SerialPortAssistantWidget page(nullptr);
        auto* send = Child<QTextEdit>(page, "text_edit_send");
        Click(page, "btn_gen_command");
        for (const char* name : {"lineEdit_id", "lineEdit_param1", "lineEdit_param2", "lineEdit_param3",
                                 "lineEdit_param4", "lineEdit_param5", "lineEdit_param6"}) {
            QCOMPARE(Child<QLineEdit>(page, name)->text(), QString("0"));
        }
        QCOMPARE(send->toPlainText(), CommandFrameText::BuildText(CommandFields()));
        QCOMPARE(send->toPlainText().split(',').size(), 34);

        Child<QLineEdit>(page, "lineEdit_id")->setText("1");
        Child<QLineEdit>(page, "lineEdit_param1")->setText("2.5");
        Child<QLineEdit>(page, "lineEdit_param6")->setText("-9");
        Click(page, "btn_gen_command");
        QVERIFY(send->toPlainText().startsWith("55,AA,01,00,18,00,00,00,20,40"));
        Click(page, "btn_check_cmd");
        QCOMPARE(Boxes().last().kind, DialogSeam::Information);
        QCOMPARE(Boxes().last().title, QString("提示"));
        QCOMPARE(LastBoxText(), QString("校验通过"));

        QString changed = send->toPlainText();
        changed.replace(12, 2, "FF"); // byte 4
        send->setPlainText(changed);
        Click(page, "btn_check_cmd");
        QCOMPARE(Boxes().last().kind, DialogSeam::Critical);
        QCOMPARE(LastBoxText(), QString("校验失败"));

        for (const char* name : {"lineEdit_id", "lineEdit_param1", "lineEdit_param6"}) {
            Child<QLineEdit>(page, name)->clear();
        }
        Click(page, "btn_gen_command");
        Child<QLineEdit>(page, "lineEdit_id")->setText("1");
        Child<QLineEdit>(page, "lineEdit_param1")->setText("2.5");
        Child<QLineEdit>(page, "lineEdit_param6")->setText("-9");
        Click(page, "btn_gen_command");
        for (const char* name : {"lineEdit_id", "lineEdit_param1", "lineEdit_param6"}) {
            Child<QLineEdit>(page, name)->clear();
        }
        Click(page, "btn_parse_command");
        QCOMPARE(Child<QLineEdit>(page, "lineEdit_id")->text(), QString("1"));
        QCOMPARE(Child<QLineEdit>(page, "lineEdit_param1")->text(), QString("2.50000"));
        QCOMPARE(Child<QLineEdit>(page, "lineEdit_param6")->text(), QString("-9"));

        // Pairs on lines of their own, or separated by blanks, read the same.
        QString spaced = send->toPlainText().replace(',', ' ');
        spaced[3 * 17 - 1] = '\n';
        send->setPlainText(spaced);
        Child<QLineEdit>(page, "lineEdit_param6")->clear();
        Click(page, "btn_parse_command");
        QCOMPARE(Child<QLineEdit>(page, "lineEdit_param6")->text(), QString("-9"));
        send->setPlainText("no frame here");
        Click(page, "btn_parse_command");
        QCOMPARE(LastBoxText(), QString("未知字符,请保持格式一致,以逗号(,)或者空格( )分割"));

        send->clear();
        Click(page, "btn_parse_command");
        QCOMPARE(LastBoxText(), QString("解析内容不能为空"));
        Click(page, "btn_check_cmd");
        QCOMPARE(LastBoxText(), QString("命令不能为空"));
        send->setPlainText("55AA 0100 1800");
        Click(page, "btn_check_cmd");
        QCOMPARE(LastBoxText(), QString("未知字符,请保持格式一致,以逗号(,)或者空格( )分割"));
        send->setPlainText("55 AA");
        Click(page, "btn_check_cmd");
        QCOMPARE(LastBoxText(), QString("检验字符串长度过短"));
    }

    void frameBoxReadsUnsignedParametersBothWays()
    {
        SerialPortAssistantWidget page(nullptr);
        auto* send = Child<QTextEdit>(page, "text_edit_send");
        auto field = [&page](const char* name) { return Child<QLineEdit>(page, name); };
        auto pairs = [send](int from, int count) { return send->toPlainText().split(',').mid(from, count); };
        field("lineEdit_id")->setText("70000"); // low 16 bits: 0x1170
        field("lineEdit_param3")->setText("-1");
        field("lineEdit_param4")->setText("4294967295");
        field("lineEdit_param5")->setText("-2147483648");
        Click(page, "btn_gen_command");
        QCOMPARE(pairs(2, 2), (QStringList{"70", "11"}));
        QCOMPARE(pairs(14, 4), (QStringList{"FF", "FF", "FF", "FF"}));
        QCOMPARE(pairs(18, 4), (QStringList{"FF", "FF", "FF", "FF"}));
        QCOMPARE(pairs(22, 4), (QStringList{"00", "00", "00", "80"}));
        Click(page, "btn_check_cmd");
        QCOMPARE(LastBoxText(), QString("校验通过"));

        // What parsing shows builds the same frame again.
        const QString built = send->toPlainText();
        Click(page, "btn_parse_command");
        QCOMPARE(field("lineEdit_param3")->text(), QString("4294967295"));
        QCOMPARE(field("lineEdit_param5")->text(), QString("-2147483648"));
        Click(page, "btn_gen_command");
        QCOMPARE(send->toPlainText(), built);

        // A short text: a part that is no number is skipped, so the bytes
        // after it move forward; fields beyond the bytes read become 0.
        send->setPlainText("55,AA,ZZ,05,01,18");
        Click(page, "btn_parse_command");
        QCOMPARE(field("lineEdit_id")->text(), QString("261"));
        QCOMPARE(field("lineEdit_param1")->text(), QString("0.00000"));
        QCOMPARE(field("lineEdit_param3")->text(), QString("0"));
        QCOMPARE(field("lineEdit_param6")->text(), QString("0"));

        // Text that is no number, or beyond 32 bits, gives 0.
        field("lineEdit_param3")->setText("abc");
        field("lineEdit_param4")->setText("4294967296");
        field("lineEdit_param6")->setText("2147483648");
        Click(page, "btn_gen_command");
        QCOMPARE(pairs(14, 8), QString("00,00,00,00,00,00,00,00").split(','));
        QCOMPARE(pairs(26, 4), QString("00,00,00,00").split(','));
    }

    void sidePanelButtons()
    {
        SerialPortAssistantWidget page(nullptr);
        page.resize(1100, 650);
        page.show();
        auto* splitter = Child<QSplitter>(page, "splitter");
        auto* quick = Child<QTabWidget>(page, "tabWidget_quick");
        Click(page, "btn_quick_command");
        QCOMPARE(quick->currentIndex(), 0);
        QVERIFY(splitter->sizes().at(1) > 0);
        Click(page, "btn_quick_command");
        QCOMPARE(splitter->sizes().at(1), 0);
        Click(page, "btn_view_cmd_index");
        QCOMPARE(quick->currentIndex(), 2);
        QVERIFY(splitter->sizes().at(1) > 0);
        Click(page, "btn_quick_command"); // still hidden as far as this button knows: shows tab 0
        QCOMPARE(quick->currentIndex(), 0);
        Click(page, "btn_view_cmd_index");
        QCOMPARE(splitter->sizes().at(1), 0);
    }

    void atTableReadEditDeleteRewrite()
    {
        QFile f(m_atPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Gbk("{\"commands\":[\"AT+ONE\",\"AT+TWO\",\"AT+THREE\"],"
                    "\"descriptions\":[\"设置串口1 输出AHRS\",\"\",5]}"));
        f.close();

        SerialPortAssistantWidget page(nullptr);
        QTableWidget* table = AtTable(page);
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->horizontalHeaderItem(4)->text(), QString("操作3"));
        QCOMPARE(table->item(0, 1)->text(), QString("设置串口1 输出AHRS"));
        QCOMPARE(table->item(1, 1)->text(), QString("暂无介绍"));
        QCOMPARE(table->item(2, 1)->text(), QString("暂无介绍"));
        QVERIFY(!(table->item(0, 0)->flags() & Qt::ItemIsEditable));
        QCOMPARE(RowButton(page, 2, 2)->text(), QString("选择"));
        QCOMPARE(RowButton(page, 2, 4)->property("index").toInt(), 2);
        QCOMPARE(RowButton(page, 2, 4)->styleSheet(), QString("QPushButton{ border: 0px }"));

        RowButton(page, 1, 2)->click();
        QCOMPARE(Child<QTextEdit>(page, "text_edit_send")->toPlainText(), QString("AT+TWO"));

        // Edit row 1: an empty command is refused and the row stays open.
        QPushButton* edit = RowButton(page, 1, 3);
        edit->click();
        QCOMPARE(edit->text(), QString("完成"));
        QVERIFY(table->item(1, 0)->flags() & Qt::ItemIsEditable);
        table->item(1, 0)->setText("");
        edit->click();
        QCOMPARE(LastBoxText(), QString("AT指令不能为空"));
        QCOMPARE(edit->text(), QString("完成"));
        QVERIFY(table->item(1, 1)->flags() & Qt::ItemIsEditable);
        table->item(1, 0)->setText("AT+二");
        table->item(1, 1)->setText("");
        edit->click();
        QCOMPARE(edit->text(), QString("编辑"));
        QCOMPARE(table->item(1, 1)->text(), QString("暂无描述"));
        QVERIFY(!(table->item(1, 0)->flags() & Qt::ItemIsEditable));
        QCOMPARE(ReadAll(m_atPath), AtFile({"AT+ONE", "AT+二", "AT+THREE"}, {"设置串口1 输出AHRS", "暂无描述", ""}));

        // Delete the first row: buttons renumbered, file rewritten.
        RowButton(page, 0, 4)->click();
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(RowButton(page, 0, 2)->property("index").toInt(), 0);
        QCOMPARE(RowButton(page, 1, 2)->property("index").toInt(), 1);
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QString("命令"));
        RowButton(page, 0, 2)->click();
        QCOMPARE(Child<QTextEdit>(page, "text_edit_send")->toPlainText(), QString("AT+二"));
        QCOMPARE(table->item(1, 1)->text(), QString("暂无介绍"));
        QCOMPARE(ReadAll(m_atPath), AtFile({"AT+二", "AT+THREE"}, {"暂无描述", ""}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the replaced buttons

        // Delete the last remaining rows one after the other.
        RowButton(page, 1, 4)->click();
        RowButton(page, 0, 4)->click();
        QCOMPARE(table->rowCount(), 0);
        QCOMPARE(ReadAll(m_atPath), AtFile({}, {}));
    }

    void unreadableAtFileIsReportedAndKept()
    {
        const QByteArray broken = "{\"commands\": [\"AT+A\",]}";
        QFile file(m_atPath);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(broken) == broken.size());
        file.close();
        SerialPortAssistantWidget page(nullptr);
        QTRY_COMPARE(LastBoxText(), "AT指令文件无法读取，请检查文件：" + m_atPath);
        QCOMPARE(AtTable(page)->rowCount(), 0);
        Click(page, "btn_add_at_command"); // refused before anything is typed
        QCOMPARE(Boxes().size(), 2);
        QCOMPARE(LastBoxText(), "AT指令文件无法读取，请检查文件：" + m_atPath);
        QCOMPARE(ReadAll(m_atPath), broken);
    }

    void atTableAddThroughDialog()
    {
        SerialPortAssistantWidget page(nullptr);
        QCOMPARE(AtTable(page)->rowCount(), 0);
        auto answer = [](const QString& command, const QString& description, bool confirm) {
            QTimer::singleShot(0, [=]() {
                auto* dialog = qobject_cast<SerialCustomDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog != nullptr);
                const QList<QLineEdit*> edits = dialog->findChildren<QLineEdit*>();
                QCOMPARE(edits.size(), 2);
                edits[0]->setText(command);
                edits[1]->setText(description);
                if (confirm) {
                    dialog->findChild<QPushButton*>()->click();
                } else {
                    dialog->close();
                }
            });
        };
        answer("AT+NEW", "", true);
        Click(page, "btn_add_at_command");
        QCOMPARE(AtTable(page)->rowCount(), 1);
        QCOMPARE(AtTable(page)->item(0, 1)->text(), QString("暂无描述"));
        QCOMPARE(ReadAll(m_atPath), AtFile({"AT+NEW"}, {"暂无描述"}));

        answer("AT+X", "新", false);
        Click(page, "btn_add_at_command");
        answer("", "新", true);
        Click(page, "btn_add_at_command");
        QCOMPARE(LastBoxText(), QString("AT指令不能为空"));
        QCOMPARE(AtTable(page)->rowCount(), 1);

        answer("AT+中", "中文 说明", true);
        Click(page, "btn_add_at_command");
        QCOMPARE(AtTable(page)->rowCount(), 2);
        QCOMPARE(RowButton(page, 1, 2)->property("index").toInt(), 1);
        RowButton(page, 1, 2)->click();
        QCOMPARE(Child<QTextEdit>(page, "text_edit_send")->toPlainText(), QString("AT+中"));
        QCOMPARE(ReadAll(m_atPath), AtFile({"AT+NEW", "AT+中"}, {"暂无描述", "中文 说明"}));
    }

    void slotsInDeclaredOrder()
    {
        const QMetaObject& mo = SerialPortAssistantWidget::staticMetaObject;
        QStringList names;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
            if (mo.method(i).methodType() == QMetaMethod::Slot) {
                names << QString::fromLatin1(mo.method(i).methodSignature());
            }
        }
        const QStringList expected{
            "on_btn_send_command_clicked()", "slot_display_recv_data(int,QVariant,QVariant)",
            "on_btn_quick_command_clicked()", "on_btn_clear_send_clicked()", "on_btn_clear_recv_clicked()",
            "on_checkBox_save_data_clicked(bool)", "on_radioButton_send_set_ascii_clicked(bool)",
            "on_radioButton_sen_set_hex_clicked(bool)", "on_tabWidget_send_currentChanged(int)",
            "on_btn_parse_command_clicked()", "on_btn_gen_command_clicked()",
            "on_checkBox_show_time_msg_clicked(bool)", "on_checkBox_while_clicked(bool)",
            "on_checkBox_no_show_clicked(bool)", "on_radioButton_recv_set_ascii_clicked(bool)",
            "on_radioButton_recv_set_hex_clicked(bool)", "slot_edit_btn()", "slot_select_at_commadn_table_item()",
            "slot_modify_at_command_table_item()", "slot_delete_at_command_table_item()",
            "on_btn_last_history_send_clicked()", "on_btn_next_history_send_clicked()",
            "on_btn_add_at_command_clicked()", "on_btn_reset_recv_total_byte_clicked()",
            "on_btn_view_cmd_index_clicked()", "on_btn_check_cmd_clicked()"};
        QCOMPARE(names, expected);
        const int recv = mo.indexOfSlot("slot_display_recv_data(int,QVariant,QVariant)");
        QCOMPARE(mo.method(recv).parameterNames(), (QList<QByteArray>{"id", "var1", "var2"}));
    }

    void tablesAndArrowsAsDesigned()
    {
        SerialPortAssistantWidget page(nullptr);
        QVERIFY(QFile::exists(":/images/resources/images/toolBox/leftArrow.png"));
        QVERIFY(QFile::exists(":/images/resources/images/toolBox/rightArrow.png"));
        QVERIFY(Child<QPushButton>(page, "btn_next_history_send")->styleSheet().contains(
            "border-image: url(:/images/resources/images/toolBox/rightArrow.png)"));

        QTableWidget* at = AtTable(page);
        QCOMPARE(at->windowTitle(), QString("AT指令"));
        QVERIFY(!at->verticalHeader()->isHidden());
        QCOMPARE(at->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        QStringList atHeaders;
        for (int c = 0; c < at->columnCount(); ++c) {
            atHeaders << at->horizontalHeaderItem(c)->text();
        }
        QCOMPARE(atHeaders, (QStringList{"命令", "说明", "操作1", "操作2", "操作3"}));

        QTableWidget* index = Child<QTableWidget>(page, "tableWidget_cmd_index");
        QVERIFY(index->verticalHeader()->isHidden());
        const QList<QStringList> rows{
            {"命令ID", "参数1", "参数3", "功能描述"},
            {"1", "0", "0", "触发获取一次系统状态数据"},
            {"2", "0", "0", "触发获取一次AHRS数据"},
            {"3", "<mode>", "0", "设置输出模式：\nMode=1,数据流输出AHRS\nMode=100,禁止数据流模式，进入COMMAD模式"},
            {"5", "0", "0", "保存当前参数到FLASH"},
            {"6", "0", "<value>",
             "读取参数，value为要读取的参数索引,\n例如需读取串口输出波特率,则设置value=3;\n"
             "读取AHRS输出频率(ODR),则设置value=21;\n读取内部波特率配置，则设置value=31"},
            {"9", "0", "0", "执行软件重启"},
            {"14", "<value>", "3",
             "设置串口输出波特率，单位bps，value的有效值为：\n115200，230400，460800，921600，1500000\n"
             "value为其他值时,默认采用115200bps\n设置波特率参数后，需要重启才能生效。\n"
             "不断电的设置流程：设置波特率，保存参数到flash，执行软件复位"},
            {"14", "<value>", "21",
             "设置周期性AHRS数据输出频率，单位Hz，value的有效值为：\n1，10，50，100，200，400\n"
             "value为其他值时，默认采用100Hz\n设置200Hz及以上输出频率，需要将波特率相应提高到115200以\n"
             "上，满足宽带需求"},
            {"14", "<value>", "31", "内部滤波器配置，定义同SPI加速度计和陀螺仪滤波配\n置，默认0xBB，即47Hz"},
        };
        QCOMPARE(index->rowCount(), rows.size());
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < 4; ++c) {
                QCOMPARE(index->item(r, c)->text(), rows[r][c]);
            }
        }
        QStringList indexHeaders;
        for (int c = 0; c < index->columnCount(); ++c) {
            indexHeaders << index->horizontalHeaderItem(c)->text();
        }
        QCOMPARE(indexHeaders, rows[0]);
    }

    void sendTabSwitchesTheSettingsGroup()
    {
        SerialPortAssistantWidget page(nullptr);
        auto* tabs = Child<QTabWidget>(page, "tabWidget_send");
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->tabText(0), QString("单条发送"));
        auto* group = Child<QGroupBox>(page, "groupBox_send_set_customLayout");
        QCOMPARE(group->title(), QString("发送设置"));
        QVERIFY(group->isEnabled());
        QVERIFY(QMetaObject::invokeMethod(&page, "on_tabWidget_send_currentChanged", Q_ARG(int, 1)));
        QVERIFY(!group->isEnabled());
        QVERIFY(QMetaObject::invokeMethod(&page, "on_tabWidget_send_currentChanged", Q_ARG(int, 2)));
        QVERIFY(!group->isEnabled());
        QVERIFY(QMetaObject::invokeMethod(&page, "on_tabWidget_send_currentChanged", Q_ARG(int, 0)));
        QVERIFY(group->isEnabled());
        QVERIFY(QMetaObject::invokeMethod(&page, "on_tabWidget_send_currentChanged", Q_ARG(int, -1)));
        QVERIFY(group->isEnabled());
    }

    void receiveViewClearedAfterThreeHundredAppends()
    {
        SerialPortAssistantWidget page(nullptr);
        Click(page, "checkBox_show_time_msg");
        Click(page, "checkBox_auto_enter");
        auto* view = Child<QPlainTextEdit>(page, "text_edit_recv");
        for (int i = 0; i < 150; ++i) {
            Receive("x");
            page.RunDisplayTick();
        }
        QCOMPARE(view->document()->blockCount(), 150);
        // Clearing by hand does not restart the count.
        Click(page, "btn_clear_recv");
        for (int i = 150; i < 299; ++i) {
            Receive("x");
            page.RunDisplayTick();
        }
        // The echo of a send is not an append of the tick.
        Type(page, "S");
        Click(page, "btn_send_command");
        Receive("y");
        page.RunDisplayTick(); // the 300th
        QVERIFY(view->toPlainText().endsWith("S\ny"));
        page.RunDisplayTick(); // empty buffer: nothing appended, nothing counted
        QVERIFY(!view->toPlainText().isEmpty());
        Receive("z");
        page.RunDisplayTick(); // the 301st goes with the rest
        QVERIFY(view->toPlainText().isEmpty());
        QCOMPARE(Child<QLabel>(page, "label_recv_total_byte")->text(), QString("接收总字节数：301"));
        Receive("w");
        page.RunDisplayTick();
        QCOMPARE(view->toPlainText(), QString("w"));
    }

    void viewStaysBoundedAfterTenMebibytes_data()
    {
        QTest::addColumn<bool>("hex");
        QTest::addColumn<bool>("paused");
        QTest::newRow("hex") << true << false;
        QTest::newRow("text") << false << false;
        QTest::newRow("hex, paused") << true << true;
        QTest::newRow("text, paused") << false << true;
    }
    void viewStaysBoundedAfterTenMebibytes()
    {
        QFETCH(bool, hex);
        QFETCH(bool, paused);
        SerialPortAssistantWidget page(nullptr);
        if (hex) {
            Click(page, "radioButton_recv_set_hex");
        }
        if (paused) {
            Click(page, "checkBox_no_show");
        }
        QByteArray chunk(256 * 1024, 'a');
        for (int i = 0; i < chunk.size(); i += 100) {
            chunk[i] = '\n';
        }
        const int chunks = 40;
        for (int i = 0; i < chunks; ++i) {
            Receive(i + 1 < chunks ? chunk : chunk + "END");
            page.RunDisplayTick();
        }
        if (paused) {
            QVERIFY(RecvText(page).isEmpty());
            Click(page, "checkBox_no_show");
            page.RunDisplayTick();
        }
        const QTextDocument* doc = Child<QPlainTextEdit>(page, "text_edit_recv")->document();
        QVERIFY(doc->blockCount() <= ReceiveViewBuffer::kViewLines);
        QVERIFY(doc->characterCount() <= ReceiveViewBuffer::kViewLines * (ReceiveViewBuffer::kMaxLineChars + 1));
        // The newest bytes are the ones on screen.
        QVERIFY(RecvText(page).endsWith(hex ? "61 61 45 4E 44" : "aaEND"));
        // Every byte is counted, shown or not.
        const qint64 total = qint64(chunks) * chunk.size() + 3;
        QCOMPARE(page.RecvCounter(), uint64_t(total));
        QCOMPARE(Child<QLabel>(page, "label_recv_total_byte")->text(), QString("接收总字节数：%1").arg(total));
    }

    void endOfSendShowsGatheredBytesOnce()
    {
        SerialPortAssistantWidget page(nullptr);
        Click(page, "checkBox_show_time_msg");
        Click(page, "checkBox_auto_enter");
        Click(page, "checkBox_no_show");
        Receive("old");
        Type(page, "AT");
        QSignalSpy endOfSend(PageTimer(page, 500), &QTimer::timeout);
        Click(page, "btn_send_command");
        Receive("XY");
        const QString echoed = RecvText(page);
        QVERIFY2(QRegularExpression("^\\[[^\\]]+\\]# Send ASCII >\nAT$").match(echoed).hasMatch(), qPrintable(echoed));
        // Paused: the end of the send shows nothing either.
        QVERIFY(endOfSend.wait(5000));
        QCOMPARE(RecvText(page), echoed);
        // The pause ends: what came, before and after the send, once.
        Click(page, "checkBox_no_show");
        page.RunDisplayTick();
        QCOMPARE(RecvText(page), echoed + "\noldXY");
        page.RunDisplayTick();
        QCOMPARE(RecvText(page), echoed + "\noldXY");
        QCOMPARE(page.RecvCounter(), uint64_t(5));
    }

    void resizeKeepsThePause()
    {
        SerialPortAssistantWidget page(nullptr);
        Click(page, "checkBox_show_time_msg");
        auto* box = Child<QCheckBox>(page, "checkBox_no_show");
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTimer* resizeTimer = PageTimer(page, 1000);
        QSignalSpy resized(resizeTimer, &QTimer::timeout);
        page.resize(page.width() - 40, page.height() - 30);
        QTRY_VERIFY(resizeTimer->isActive());
        box->click();
        Receive("Q");
        QVERIFY(resized.wait(5000));
        page.RunDisplayTick();
        QVERIFY(RecvText(page).isEmpty());
        QVERIFY(box->isChecked());
        box->click();
        page.RunDisplayTick();
        QCOMPARE(RecvText(page), QString("Q"));
    }

    void customDialogLayout()
    {
        SerialCustomDialog dialog(nullptr);
        const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        QCOMPARE(labels.size(), 2);
        QCOMPARE(labels[0]->text(), QString("AT指令："));
        QCOMPARE(labels[1]->text(), QString("描述"));
        QCOMPARE(dialog.findChild<QPushButton*>()->text(), QString("确认"));
        QVERIFY(dialog.windowTitle().isEmpty());
        auto* layout = qobject_cast<QVBoxLayout*>(dialog.layout());
        QVERIFY(layout != nullptr);
        QCOMPARE(layout->contentsMargins(), QMargins(9, 9, 9, 9));
        QCOMPARE(layout->spacing(), 1);
        QCOMPARE(layout->count(), 5);
        QCOMPARE(qobject_cast<QLabel*>(layout->itemAt(0)->widget())->text(), QString("AT指令："));
        QVERIFY(qobject_cast<QLineEdit*>(layout->itemAt(1)->widget()) != nullptr);
        QCOMPARE(qobject_cast<QLabel*>(layout->itemAt(2)->widget())->text(), QString("描述"));
        QVERIFY(qobject_cast<QLineEdit*>(layout->itemAt(3)->widget()) != nullptr);
        auto* confirm = qobject_cast<QPushButton*>(layout->itemAt(4)->widget());
        QCOMPARE(confirm->text(), QString("确认"));
        QCOMPARE(confirm->minimumHeight(), 20);
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        dialog.findChildren<QLineEdit*>()[0]->setText("a");
        dialog.findChildren<QLineEdit*>()[1]->setText("b");
        QCOMPARE(dialog.getString1(), QString("a"));
        QCOMPARE(dialog.getString2(), QString("b"));
    }

    void recordingRefusals()
    {
        SerialPortAssistantWidget page(nullptr);
        auto* box = Child<QCheckBox>(page, "checkBox_save_data");

        box->click();
        QVERIFY(!box->isChecked());
        QCOMPARE(Boxes().last().title, QString("错误"));
        QCOMPARE(LastBoxText(), QString("未成功连接设备"));
        QVERIFY(m_requests.isEmpty());

        g_communicate_with_serial_flag = true;
        g_imu_sn = QStringLiteral("SN7");
        m_savePath.clear(); // cancel
        box->click();
        QVERIFY(!box->isChecked());
        QCOMPARE(Boxes().last().kind, DialogSeam::SaveFile);
        QCOMPARE(Boxes().last().title, QString("保存二进制数据"));
        QCOMPARE(Boxes().last().filter, QString("数据格式 (*.dat)"));
        QVERIFY(QRegularExpression("^SN7_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.dat$").match(Boxes().last().text).hasMatch());
        QVERIFY(m_requests.isEmpty());

        m_savePath = m_dir.filePath("rec.dat");
        RecordSpaceCheck::SetQuery([](const QString&) {
            VolumeSpace v;
            v.valid = true;
            v.rootPath = "/vol";
            v.availableBytes = RecordSpaceCheck::kMinFreeBytes - 1;
            return v;
        });
        box->click();
        RecordSpaceCheck::SetQuery(nullptr);
        QVERIFY(!box->isChecked());
        QCOMPARE(LastBoxText(), QString("当前磁盘/vol剩余可用容量小于20GB，请清理磁盘"));
        QVERIFY(m_requests.isEmpty());
        QVERIFY(!g_serial_assistant_save_data);

        // A folder that is not there: said at once, nothing asked of the worker.
        RecordSpaceCheck::SetQuery([](const QString&) {
            VolumeSpace v;
            v.valid = true;
            v.availableBytes = RecordSpaceCheck::kMinFreeBytes;
            return v;
        });
        m_savePath = m_dir.filePath("no/such/folder/rec.dat");
        box->click();
        QVERIFY(!box->isChecked());
        QCOMPARE(Boxes().last().kind, DialogSeam::Warning);
        QVERIFY2(LastBoxText().contains(m_savePath), qPrintable(LastBoxText()));
        QVERIFY(m_requests.isEmpty());
        QVERIFY(!g_serial_assistant_save_data);

        // Started, then the worker reports that the file failed.
        m_savePath = m_dir.filePath("rec.dat");
        box->click();
        QVERIFY(box->isChecked());
        QCOMPARE(m_requests, QList<int>{IMU_MSG_RECORD_ASSISTANT});
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(
            PAGE_MSG_RECORDING_FAILED, IMU_MSG_RECORD_ASSISTANT,
            QStringList{m_savePath, "磁盘已满", QString::number(m_lastStart)});
        QTRY_VERIFY(!box->isChecked());
        QVERIFY(!g_serial_assistant_save_data);
        QCOMPARE(LastBoxText(), QString("数据保存失败，已停止保存。\n磁盘已满"));
        RecordSpaceCheck::SetQuery(nullptr);
        m_requests.clear();
        m_requestPaths.clear();

        // Running recording, device gone: stopped, none started.
        g_serial_assistant_save_data = true;
        g_communicate_with_serial_flag = false;
        box->click();
        QVERIFY(!g_serial_assistant_save_data);
        QCOMPARE(m_requests, QList<int>{IMU_MSG_RECORD_ASSISTANT});
        QVERIFY(!m_requestPaths.first().isValid());
    }
};

QTEST_MAIN(TestAssistantPage)
#include "tst_assistant_page.moc"
