#include <QtTest>

#include <QBoxLayout>
#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>

#include "commom/StartUp.h"
#include "controls/CustomTabbar.h"
#include "controls/OperateLogWidget.h"
#include "controls/OutputControlWidget.h"
#include "controls/SerialDataWidget.h"
#include "manager/OperateLogManager.h"
#include "manager/RecvDataHandleManager.h"

namespace {

void SendToPages(int id, const QVariant& var1, const QVariant& var2 = QVariant())
{
    RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(id, var1, var2);
}

QStringList Lines(SerialDataWidget& view)
{
    QStringList lines;
    for (const QString& line : view.findChild<QTextEdit*>("textEdit")->toPlainText().split('\n')) {
        if (!line.isEmpty()) {
            lines << line;
        }
    }
    return lines;
}

const QString kStamp = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3}";

} // namespace

class TestOutputViews : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void panelHasTwoTabsOverTwoPages();
    void tabClickSwitchesPage();
    void lineFormat();
    void viewForms();
    void bytesBecomeOneHexLine();
    void otherIdsAreIgnored();
    void unconvertibleBlockAddsNothing();
    void thousandthBlockEmptiesTheView();
    void clearResetsTheTotal();
    void operationLogLinesAppearWithoutLimit();
};

void TestOutputViews::initTestCase()
{
    RegsiterMetaType();
    InitCorvantaResources();
}

void TestOutputViews::panelHasTwoTabsOverTwoPages()
{
    OutputControlWidget panel(nullptr);
    QCOMPARE(panel.size(), QSize(1070, 392));
    QCOMPARE(panel.findChild<QLabel*>("labelTitle")->text(), QString("信息输出"));
    QVERIFY(panel.findChild<QPushButton*>("buttonLayout")->text().isEmpty());
    auto* stack = panel.findChild<QStackedWidget*>("stackedWidget");
    QCOMPARE(stack->count(), 2);
    QVERIFY(qobject_cast<SerialDataWidget*>(stack->widget(0)) != nullptr);
    QVERIFY(qobject_cast<OperateLogWidget*>(stack->widget(1)) != nullptr);
    QCOMPARE(stack->currentIndex(), 0);

    auto* bar = panel.findChild<CustomTabbar*>("widgetTabBar");
    QCOMPARE(bar->ButtonCounts(), 2);
    QCOMPARE(bar->GetLineHeight(), 2);
    QCOMPARE(bar->GetButtonColor(), QColor("#4169E1"));
    QCOMPARE(bar->GetButtonGroup()->button(0)->text(), QString("原始数据"));
    QCOMPARE(bar->GetButtonGroup()->button(1)->text(), QString("操作记录日志"));
    QCOMPARE(bar->GetButtonGroup()->button(1)->size(), QSize(100, 30));
}

void TestOutputViews::tabClickSwitchesPage()
{
    OutputControlWidget panel(nullptr);
    panel.show();
    auto* stack = panel.findChild<QStackedWidget*>("stackedWidget");
    auto* bar = panel.findChild<CustomTabbar*>("widgetTabBar");
    QTest::mouseClick(bar->GetButtonGroup()->button(1), Qt::LeftButton);
    QCOMPARE(stack->currentIndex(), 1);
    QTest::mouseClick(bar->GetButtonGroup()->button(0), Qt::LeftButton);
    QCOMPARE(stack->currentIndex(), 0);
}

void TestOutputViews::lineFormat()
{
    const QDateTime time(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
    QCOMPARE(SerialDataWidget::FormatLine(time, QByteArray::fromHex("aa5501")),
             QString("2026-03-04 05:06:07:089 AA 55 01\n"));
    QCOMPARE(SerialDataWidget::FormatLine(time, QByteArray()), QString("2026-03-04 05:06:07:089 \n"));
    QCOMPARE(SerialDataWidget::FormatLine(time, QByteArray::fromHex("00ff0a")),
             QString("2026-03-04 05:06:07:089 00 FF 0A\n"));
}

void TestOutputViews::viewForms()
{
    OutputControlWidget panel(nullptr);
    auto* frame = panel.findChild<QFrame*>("frame");
    QCOMPARE(frame->frameShape(), QFrame::StyledPanel);
    QCOMPARE(frame->frameShadow(), QFrame::Raised);
    QCOMPARE(panel.findChild<QWidget*>("widgetTitleBar")->minimumHeight(), 30);
    QCOMPARE(panel.findChild<QWidget*>("widgetTitleBar")->maximumHeight(), 30);
    QCOMPARE(panel.findChild<QWidget*>("widgetTabBar")->minimumHeight(), 30);
    QCOMPARE(panel.findChild<QWidget*>("widgetTabBar")->maximumHeight(), 30);
    auto* title = panel.findChild<QPushButton*>("buttonLayout");
    QCOMPARE(title->minimumSize(), QSize(20, 20));
    QCOMPARE(title->maximumSize(), QSize(20, 20));
    QCOMPARE(panel.findChild<CustomTabbar*>("widgetTabBar")->GetButtonGroup()->button(0)->size(), QSize(100, 30));

    SerialDataWidget serial(nullptr);
    QCOMPARE(serial.size(), QSize(989, 328));
    QCOMPARE(serial.findChild<QLabel*>("labelRecv")->text(), QString("接收:"));
    QCOMPARE(serial.findChild<QLabel*>("labelRecv_v")->text(), QString("0 字节"));
    QCOMPARE(serial.findChild<QLabel*>("labelRecv_v")->minimumWidth(), 100);
    QCOMPARE(serial.findChild<QPushButton*>("button_clear_recv")->text(), QString("清除接收"));
    QCOMPARE(serial.findChild<QPushButton*>("button_clear_recv")->minimumWidth(), 75);
    auto* bar = serial.findChild<QWidget*>("widget");
    QCOMPARE(bar->minimumHeight(), 40);
    QCOMPARE(bar->maximumHeight(), 40);
    // Left to right: caption, count, spacer, button.
    auto* row = qobject_cast<QHBoxLayout*>(bar->layout());
    QVERIFY(row != nullptr);
    QCOMPARE(row->count(), 4);
    QCOMPARE(row->itemAt(0)->widget()->objectName(), QString("labelRecv"));
    QCOMPARE(row->itemAt(1)->widget()->objectName(), QString("labelRecv_v"));
    QVERIFY(row->itemAt(2)->spacerItem() != nullptr);
    QVERIFY(row->itemAt(2)->expandingDirections() & Qt::Horizontal);
    QCOMPARE(row->itemAt(3)->widget()->objectName(), QString("button_clear_recv"));

    OperateLogWidget log(nullptr);
    QCOMPARE(log.size(), QSize(277, 403));
    auto* column = qobject_cast<QVBoxLayout*>(log.layout());
    QVERIFY(column != nullptr);
    QCOMPARE(column->spacing(), 2);
    QCOMPARE(column->contentsMargins(), QMargins(0, 0, 0, 0));
}

void TestOutputViews::bytesBecomeOneHexLine()
{
    SerialDataWidget view(nullptr);
    SendToPages(1, QByteArray::fromHex("aa5501"));
    QCOMPARE(view.findChild<QLabel*>("labelRecv_v")->text(), QString("3 字节"));
    QCOMPARE(view.GetTotalBytes(), 3);
    QStringList lines = Lines(view);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(QRegularExpression("^" + kStamp + " AA 55 01$").match(lines.first()).hasMatch(),
             qPrintable(lines.first()));

    SendToPages(1, QByteArray::fromHex("0102030405"));
    QCOMPARE(view.findChild<QLabel*>("labelRecv_v")->text(), QString("8 字节"));
    QCOMPARE(Lines(view).size(), 2);
    QVERIFY(Lines(view).last().endsWith(" 01 02 03 04 05"));
}

void TestOutputViews::otherIdsAreIgnored()
{
    SerialDataWidget view(nullptr);
    SendToPages(817, QByteArray::fromHex("aa5501"));
    SendToPages(0, QByteArray::fromHex("aa5501"));
    QCOMPARE(view.GetTotalBytes(), 0);
    QCOMPARE(view.GetLineCount(), 0);
    QVERIFY(Lines(view).isEmpty());
    QCOMPARE(view.findChild<QLabel*>("labelRecv_v")->text(), QString("0 字节"));
}

void TestOutputViews::unconvertibleBlockAddsNothing()
{
    SerialDataWidget view(nullptr);
    SendToPages(1, QVariant());
    QCOMPARE(view.GetTotalBytes(), 0);
    QCOMPARE(view.findChild<QLabel*>("labelRecv_v")->text(), QString("0 字节"));
    QCOMPARE(view.GetLineCount(), 1);
    const QString text = view.findChild<QTextEdit*>("textEdit")->toPlainText();
    QVERIFY2(QRegularExpression("^" + kStamp + " \\n?$").match(text).hasMatch(), qPrintable(text));
}

void TestOutputViews::thousandthBlockEmptiesTheView()
{
    SerialDataWidget view(nullptr);
    const QByteArray block = QByteArray::fromHex("0102");
    for (int i = 0; i < 999; ++i) {
        view.slot_message(1, block, QVariant());
    }
    QCOMPARE(view.GetLineCount(), 999);
    QCOMPARE(Lines(view).size(), 999);
    view.slot_message(1, block, QVariant());
    QCOMPARE(view.GetLineCount(), 0);
    QVERIFY(Lines(view).isEmpty());
    view.slot_message(1, QByteArray::fromHex("03"), QVariant());
    QCOMPARE(Lines(view).size(), 1);
    QVERIFY(Lines(view).first().endsWith(" 03"));
    QCOMPARE(view.findChild<QLabel*>("labelRecv_v")->text(), QString("2001 字节"));
}

void TestOutputViews::clearResetsTheTotal()
{
    SerialDataWidget view(nullptr);
    SendToPages(1, QByteArray(300, 'x'));
    QCOMPARE(view.findChild<QLabel*>("labelRecv_v")->text(), QString("300 字节"));
    QTest::mouseClick(view.findChild<QPushButton*>("button_clear_recv"), Qt::LeftButton);
    QCOMPARE(view.findChild<QLabel*>("labelRecv_v")->text(), QString("0 字节"));
    QVERIFY(Lines(view).isEmpty());
    QCOMPARE(view.GetLineCount(), 0);
    SendToPages(1, QByteArray(2, 'x'));
    QCOMPARE(view.findChild<QLabel*>("labelRecv_v")->text(), QString("2 字节"));
}

void TestOutputViews::operationLogLinesAppearWithoutLimit()
{
    OperateLogWidget view(nullptr);
    auto* edit = view.findChild<QPlainTextEdit*>("plainTextEdit");
    QVERIFY(edit->isReadOnly());
    view.slot_append_log("第一行");
    QCOMPARE(edit->toPlainText(), QString("第一行"));
    for (int i = 0; i < 1200; ++i) {
        view.slot_append_log(QString::number(i));
    }
    QCOMPARE(edit->blockCount(), 1201);

    OperateLogManager::GetInstance()->recordLog("打开串口");
    QVERIFY(edit->toPlainText().endsWith("打开串口"));
    QCOMPARE(edit->blockCount(), 1202);
}

QTEST_MAIN(TestOutputViews)
#include "tst_output_views.moc"
