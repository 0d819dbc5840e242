#include <QHeaderView>
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
        QCOMPARE(table->horizontalHeaderItem(3)->text(), QString("功能描述"));
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
        QCOMPARE(Text("textEdit")->toPlainText(), CommandFrameText::BuildText(CommandFields()));
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
