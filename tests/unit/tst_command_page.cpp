#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <QtTest>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "manager/SendDataHandleManager.h"
#include "widgets/singleTools/CommandCreatorWidget.h"
#include "widgets/singleTools/CommandFrameText.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

class TestCommandPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CommandCreatorWidget> m_page;
    QLineEdit* Edit(const char* name) { return m_page->findChild<QLineEdit*>(name); }
    QTextEdit* Text(const char* name) { return m_page->findChild<QTextEdit*>(name); }
    void Click(const char* name) { QTest::mouseClick(m_page->findChild<QPushButton*>(name), Qt::LeftButton); }

private slots:
    void initTestCase() { DialogSeam::SetScripted(true); }

    void init()
    {
        m_page.reset(new CommandCreatorWidget(nullptr));
        DialogSeam::ClearRequests();
    }

    void cleanup() { m_page.reset(); }

    void formAndTable()
    {
        QCOMPARE(m_page->width(), 991);
        QCOMPARE(Edit("lineEditId")->text(), QString("0"));
        auto* table = m_page->findChild<QTableWidget*>("tableWidgetCmdDescribe");
        QCOMPARE(table->rowCount(), 9);
        QCOMPARE(table->columnCount(), 4);
        QStringList headers;
        for (int c = 0; c < 4; ++c) {
            headers << table->horizontalHeaderItem(c)->text();
        }
        QCOMPARE(headers, QStringList({"命令ID", "参数1", "参数3", "功能描述"}));
        QStringList ids;
        for (int r = 0; r < 9; ++r) {
            ids << table->item(r, 0)->text() + "/" + table->item(r, 1)->text() + "/" + table->item(r, 2)->text();
        }
        QCOMPARE(ids, QStringList({"1/0/0", "2/0/0", "3/<mode>/0", "5/0/0", "6/0/<value>", "9/0/0",
                                   "14/<value>/3", "14/<value>/21", "14/<value>/31"}));
        QCOMPARE(table->item(2, 3)->text(),
                 QString("设置输出模式：\nMode=1,数据流输出AHRS\nMode=100,禁止数据流模式，进入COMMAD模式"));
        QCOMPARE(table->item(6, 3)->text(),
                 QString("设置串口输出波特率，单位bps，value的有效值为：\n115200，230400，460800，921600，1500000\n"
                         "value为其他值时,默认采用115200bps\n设置波特率参数后，需要重启才能生效。\n"
                         "不断电的设置流程：设置波特率，保存参数到flash，执行软件复位"));
        QCOMPARE(table->item(7, 3)->text(),
                 QString("设置周期性AHRS数据输出频率，单位Hz，value的有效值为：\n1，10，50，100，200，400\n"
                         "value为其他值时，默认采用100Hz\n设置200Hz及以上输出频率，需要将波特率相应提高到115200以\n"
                         "上，满足宽带需求"));
        auto* usage = m_page->findChild<QLabel*>("label");
        QVERIFY(usage && usage->wordWrap());
        QCOMPARE(usage->text(),
                 QString("举例说明：\n    如执行开启AHRS输出：CMD ID填入3，参数1填入1，点击生成命令按钮，则会生成相应的命令，"
                         "生成的十六进制数组可以填入串口助手或点击发送命令按钮(前提是已打开串口通讯)将数据发送给IMU"));
        // parse, build, send from left to right on one row
        auto* parse = m_page->findChild<QPushButton*>("btn_parse_cmd");
        auto* build = m_page->findChild<QPushButton*>("buttonCreated");
        auto* send = m_page->findChild<QPushButton*>("buttonSend");
        QVERIFY(parse->x() < build->x() && build->x() < send->x());
        QCOMPARE(parse->y(), send->y());
        QVERIFY(build->maximumHeight() <= 30 && send->maximumHeight() <= 30);
        QCOMPARE(parse->text(), QString("解析命令"));
        QCOMPARE(build->text(), QString("生成命令"));
        QCOMPARE(send->text(), QString("发送命令"));
        QVERIFY(!table->verticalHeader()->isVisible());
        QCOMPARE(table->item(2, 1)->text(), QString("<mode>"));
        QCOMPARE(table->item(8, 3)->text(), QString("内部滤波器配置，定义同SPI加速度计和陀螺仪滤波配\n置，默认0xBB，即47Hz"));
        QVERIFY(!(table->item(0, 0)->flags() & Qt::ItemIsEditable));
        QVERIFY(Text("textEdit")->isReadOnly());
        // digits only in the id and fields 3 to 6
        QTest::keyClicks(Edit("lineEdit3"), "1a-2");
        QCOMPARE(Edit("lineEdit3")->text(), QString("012"));
        QTest::keyClicks(Edit("lineEdit1"), "-");
        QCOMPARE(Edit("lineEdit1")->text(), QString("0-"));
    }

    void buildFillsEmptyFields()
    {
        for (const char* name : {"lineEditId", "lineEdit1", "lineEdit2", "lineEdit3", "lineEdit4", "lineEdit5", "lineEdit6"}) {
            Edit(name)->clear();
        }
        Click("buttonCreated");
        QCOMPARE(Edit("lineEdit6")->text(), QString("0"));
        QCOMPARE(Text("textEdit")->toPlainText(),
                 QString("55,AA,00,00,18,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,"
                         "00,00,00,00,00,00,00,00,A0,26,84,35"));
    }

    void buildModeCommandThenParseBack()
    {
        Edit("lineEditId")->setText("3");
        Edit("lineEdit1")->setText("1");
        Edit("lineEdit3")->setText("4660");
        Edit("lineEdit4")->setText("3000000000"); // above 2^31
        Edit("lineEdit5")->setText("100");
        Edit("lineEdit6")->setText("200");
        Click("buttonCreated");
        const QString text = Text("textEdit")->toPlainText();
        QVERIFY(text.startsWith("55,AA,03,00,18,00,00,00,80,3F,00,00,00,00,34,12,00,00,00,5E,D0,B2,64,00,00,00,C8,00,00,00,"));

        for (const char* name : {"lineEditId", "lineEdit1", "lineEdit2", "lineEdit3", "lineEdit4", "lineEdit5", "lineEdit6"}) {
            Edit(name)->clear();
        }
        Text("textEdit_parse_cmd")->setPlainText(text);
        Click("btn_parse_cmd");
        QCOMPARE(Edit("lineEditId")->text(), QString("3"));
        QCOMPARE(Edit("lineEdit1")->text(), QString("1.00000"));
        QCOMPARE(Edit("lineEdit2")->text(), QString("0.00000"));
        QCOMPARE(Edit("lineEdit3")->text(), QString("4660"));
        QCOMPARE(Edit("lineEdit4")->text(), QString("3000000000"));
        QCOMPARE(Edit("lineEdit5")->text(), QString("100"));
        QCOMPARE(Edit("lineEdit6")->text(), QString("200"));

        // a negative field 5 and a short text
        Text("textEdit_parse_cmd")->setPlainText("55,AA,0E,00,18,00,00,00,20,C0");
        Click("btn_parse_cmd");
        QCOMPARE(Edit("lineEditId")->text(), QString("14"));
        QCOMPARE(Edit("lineEdit1")->text(), QString("-2.50000"));
        QCOMPARE(Edit("lineEdit4")->text(), QString("0"));
        QCOMPARE(Edit("lineEdit6")->text(), QString("0"));
        Text("textEdit_parse_cmd")->setPlainText(CommandFrameText::BuildText([] {
            CommandFields f;
            f.i1 = -7;
            return f;
        }()));
        Click("btn_parse_cmd");
        QCOMPARE(Edit("lineEdit5")->text(), QString("-7"));
    }

    void rendersOffscreen()
    {
        m_page->show();
        const QPixmap shot = m_page->grab();
        QVERIFY(!shot.isNull());
        const QString dir = qEnvironmentVariable("CORVANTA_GRAB_DIR");
        if (!dir.isEmpty()) {
            shot.save(dir + "/command_page.png");
        }
    }

    void parseEmptyWarns()
    {
        Edit("lineEditId")->setText("9");
        Text("textEdit_parse_cmd")->clear();
        Click("btn_parse_cmd");
        QCOMPARE(DialogSeam::Requests().size(), 1);
        QCOMPARE(DialogSeam::Requests()[0].kind, DialogSeam::Warning);
        QCOMPARE(DialogSeam::Requests()[0].title, QString("警告"));
        QCOMPARE(DialogSeam::Requests()[0].text, QString("解析内容不能为空"));
        QCOMPARE(Edit("lineEditId")->text(), QString("9"));
    }

    void sendGoesOnTheBus()
    {
        QList<QList<QVariant>> sent;
        auto c = connect(SendDataHandleManager::GetInstance(), &SendDataHandleManager::SignalSendMessageToIMU, this,
                         [&sent](int id, QVariant v1, QVariant v2) { sent.append({id, v1, v2}); });
        g_communicate_with_serial_flag = false;
        Edit("lineEditId")->setText("14");
        Edit("lineEdit1")->setText("115200");
        Edit("lineEdit3")->setText("3");
        Edit("lineEdit4")->setText("4294967295");
        Edit("lineEdit5")->setText("");
        Click("buttonSend");
        disconnect(c);
        QCOMPARE(Edit("lineEdit5")->text(), QString("0"));
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0][0].toInt(), int(IMU_MSG_SEND_COMMAND));
        QCOMPARE(sent[0][2].userType(), int(QMetaType::UShort));
        QCOMPARE(sent[0][2].toUInt(), 14u);
        const RecvOneParameterPayload p = sent[0][1].value<RecvOneParameterPayload>();
        QCOMPARE(p.p1, 115200.0f);
        QCOMPARE(p.p3, 3u);
        QCOMPARE(p.p4, 4294967295u);
        QCOMPARE(p.p5, 0);
        const QList<DialogSeam::Request> r = DialogSeam::Requests();
        QCOMPARE(r.size(), 2);
        QCOMPARE(r[0].kind, DialogSeam::Critical);
        QCOMPARE(r[0].text, QString("未成功连接设备"));
        QCOMPARE(r[1].kind, DialogSeam::Information);
        QCOMPARE(r[1].title, QString("提示"));
        QCOMPARE(r[1].text, QString("命令发送成功"));
    }
};

QTEST_MAIN(TestCommandPage)
#include "tst_command_page.moc"
