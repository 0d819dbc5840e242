#include <QtTest>

#include <QBoxLayout>
#include <QHeaderView>
#include <QValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include "controls/ColorStatusWidget.h"
#include "controls/ModifyLineEdit.h"
#include "controls/PortLatency.h"
#include "controls/QKeyValueListView.h"
#include "controls/TimeRunningWidget.h"

namespace {

QColor Pixel(QWidget& widget, int x, int y)
{
    return widget.grab().toImage().pixelColor(x, y);
}

} // namespace

class TestSmallControls : public QObject
{
    Q_OBJECT
private slots:
    void statusCellsDefaultGrey();
    void statusColoursAndUnknownStatus();
    void narrowWidgetLeavesOutlineOnly();
    void zeroCellsStillPaints();
    void runningTimeTicksAndWraps();
    void runningTimeCountsOncePerSecond();
    void runningTimeDrawsRedDot();
    void modifyEditShowsButtonWhenEdited();
    void modifyEditEmptyConfirmRestores();
    void modifyEditReadOnly();
    void modifyEditAcceptsOnlyNumbers();
    void keyValueTableShape();
    void keyValueRowsFromAnotherThread();
    void keyValueRemovalKeepsStripes();
    void portLatencyHoldsName();
};

void TestSmallControls::statusCellsDefaultGrey()
{
    ColorStatusWidget widget;
    widget.resize(320, 40);
    QCOMPARE(widget.GetCounts(), static_cast<unsigned char>(16));
    QVERIFY(widget.GetStatuses().isEmpty());
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(Pixel(widget, i * 20 + 4, 35), QColor(Qt::lightGray));
    }
    // The cell numbers are drawn in black over the cell's middle.
    QImage image = widget.grab().toImage();
    bool dark = false;
    for (int x = 4; x < 16 && !dark; ++x) {
        for (int y = 12; y < 28 && !dark; ++y) {
            dark = image.pixelColor(x, y).lightness() < 60;
        }
    }
    QVERIFY(dark);
}

void TestSmallControls::statusColoursAndUnknownStatus()
{
    ColorStatusWidget widget;
    widget.resize(320, 40);
    widget.UpdateOneStatus(3, 3);
    widget.UpdateOneStatus(0, 1);
    widget.UpdateOneStatus(5, 2);
    widget.UpdateOneStatus(7, 9);
    QCOMPARE(Pixel(widget, 3 * 20 + 4, 35), QColor(Qt::red));
    QCOMPARE(Pixel(widget, 0 * 20 + 4, 35), QColor(Qt::green));
    QCOMPARE(Pixel(widget, 5 * 20 + 4, 35), QColor(Qt::yellow));
    QCOMPARE(Pixel(widget, 7 * 20 + 4, 35), QColor(Qt::black));
    QCOMPARE(Pixel(widget, 4 * 20 + 4, 35), QColor(Qt::lightGray));
    widget.UpdateOneStatus(3, 0);
    QCOMPARE(Pixel(widget, 3 * 20 + 4, 35), QColor(Qt::lightGray));
    QCOMPARE(widget.GetStatuses().value(3), 0);
    // A status for a cell beyond the count is kept but not drawn.
    widget.UpdateOneStatus(40, 3);
    QCOMPARE(widget.GetStatuses().size(), 5);
}

void TestSmallControls::narrowWidgetLeavesOutlineOnly()
{
    ColorStatusWidget widget;
    widget.resize(100, 40);
    widget.UpdateOneStatus(15, 3);
    // 16 cells of 6 pixels: the last cell ends at x 96.
    QCOMPARE(Pixel(widget, 15 * 6 + 3, 35), QColor(Qt::red));
    const QColor beyond = Pixel(widget, 97, 20);
    QVERIFY(beyond != QColor(Qt::red));
    QVERIFY(beyond != QColor(Qt::lightGray));
}

void TestSmallControls::zeroCellsStillPaints()
{
    ColorStatusWidget widget;
    widget.resize(100, 40);
    widget.SetCounts(0);
    QCOMPARE(widget.GetCounts(), static_cast<unsigned char>(0));
    QVERIFY(Pixel(widget, 50, 20) != QColor(Qt::lightGray));
    widget.SetCounts(4);
    QCOMPARE(Pixel(widget, 3 * 25 + 4, 35), QColor(Qt::lightGray));
}

void TestSmallControls::runningTimeTicksAndWraps()
{
    TimeRunningWidget widget;
    QCOMPARE(widget.GetText(), QString("00:00:00"));
    QCOMPARE(widget.GetTimer()->interval(), 1000);
    QVERIFY(!widget.IsRunning());
    for (int i = 0; i < 61; ++i) {
        widget.slot_tick();
    }
    QCOMPARE(widget.GetText(), QString("00:01:01"));
    widget.SetElapsedTime(QTime(23, 59, 58, 500));
    QCOMPARE(widget.GetText(), QString("23:59:58"));
    widget.slot_tick();
    QCOMPARE(widget.GetText(), QString("23:59:59"));
    widget.slot_tick();
    QCOMPARE(widget.GetText(), QString("00:00:00"));
    widget.slot_tick();
    QCOMPARE(widget.GetText(), QString("00:00:01"));

    widget.StartRun();
    widget.ClearTime();
    QVERIFY(!widget.IsRunning());
    QCOMPARE(widget.GetText(), QString("00:00:00"));
}

void TestSmallControls::runningTimeCountsOncePerSecond()
{
    TimeRunningWidget widget;
    widget.StartRun();
    widget.StartRun();
    QVERIFY(widget.IsRunning());
    QTRY_COMPARE_WITH_TIMEOUT(widget.GetText(), QString("00:00:01"), 3000);
    widget.StopRun();
    widget.StopRun();
    QVERIFY(!widget.IsRunning());
    QCOMPARE(widget.GetText(), QString("00:00:01"));
    widget.SetElapsedTime(QTime());
    QCOMPARE(widget.GetText(), QString("00:00:00"));
}

void TestSmallControls::runningTimeDrawsRedDot()
{
    TimeRunningWidget widget;
    widget.resize(140, 40);
    QCOMPARE(Pixel(widget, 15, 20), QColor(Qt::red));
}

void TestSmallControls::modifyEditShowsButtonWhenEdited()
{
    ModifyLineEdit edit;
    QCOMPARE(edit.size(), QSize(281, 31));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    auto* line = edit.findChild<QLineEdit*>("line_edit");
    auto* button = edit.findChild<QPushButton*>("button_modify");
    QCOMPARE(button->size(), QSize(20, 20));
    QVERIFY(button->text().isEmpty());
    QVERIFY(!button->isVisible());
    QCOMPARE(line->focusPolicy(), Qt::ClickFocus);

    QSignalSpy input(&edit, &ModifyLineEdit::SignalInputText);
    line->setFocus();
    QTest::keyClicks(line, "-1a.5x");
    QCOMPARE(line->text(), QString("-1.5"));
    QVERIFY(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!button->isVisible());
    QCOMPARE(input.size(), 1);
    QCOMPARE(input.first().first().toString(), QString("-1.5"));
    QCOMPARE(edit.GetConfirmedText(), QString("-1.5"));
    QCOMPARE(edit.GetText(), QString("-1.5"));
}

void TestSmallControls::modifyEditEmptyConfirmRestores()
{
    ModifyLineEdit edit;
    QSignalSpy input(&edit, &ModifyLineEdit::SignalInputText);
    edit.SetText("12.5");
    QCOMPARE(input.size(), 0);
    edit.findChild<QLineEdit*>("line_edit")->clear();
    edit.on_button_modify_clicked();
    QCOMPARE(edit.GetText(), QString("12.5"));
    QCOMPARE(input.size(), 1);
    QCOMPARE(input.first().first().toString(), QString("12.5"));

    edit.Clear();
    QVERIFY(edit.GetText().isEmpty());
    QVERIFY(edit.GetConfirmedText().isEmpty());
    edit.on_button_modify_clicked();
    QCOMPARE(input.size(), 2);
    QVERIFY(input.last().first().toString().isEmpty());
}

void TestSmallControls::modifyEditReadOnly()
{
    ModifyLineEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    auto* line = edit.findChild<QLineEdit*>("line_edit");
    auto* button = edit.findChild<QPushButton*>("button_modify");
    edit.slot_lineEdit_text_edited("1");
    QVERIFY(button->isVisible());
    edit.SetModifyable(false);
    QVERIFY(!button->isVisible());
    QVERIFY(line->isReadOnly());
    line->setFocus();
    QTest::keyClicks(line, "42");
    QVERIFY(line->text().isEmpty());
    QVERIFY(!button->isVisible());
    edit.SetModifyable(true);
    QVERIFY(!line->isReadOnly());
}

void TestSmallControls::modifyEditAcceptsOnlyNumbers()
{
    ModifyLineEdit edit;
    auto* line = edit.findChild<QLineEdit*>("line_edit");
    auto* button = edit.findChild<QPushButton*>("button_modify");
    QCOMPARE(button->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(edit.findChild<QHBoxLayout*>("horizontalLayout")->contentsMargins(), QMargins(0, 0, 0, 0));
    const QValidator* validator = line->validator();
    QVERIFY(validator != nullptr);
    for (const char* good : {"12", "-12", "1.5", "-0.25", ".5", "-.5"}) {
        QString text = good;
        int pos = 0;
        QVERIFY2(validator->validate(text, pos) == QValidator::Acceptable, qPrintable(good));
    }
    for (const char* bad : {"abc", "1-2", "1.2.3", "--1", "1e5", "1,5"}) {
        QString text = bad;
        int pos = 0;
        QVERIFY2(validator->validate(text, pos) == QValidator::Invalid, qPrintable(bad));
    }
    // A number not yet finished is still allowed while typing.
    QString partial = "-";
    int pos = 0;
    QCOMPARE(validator->validate(partial, pos), QValidator::Intermediate);
}

void TestSmallControls::keyValueTableShape()
{
    QKeyValueListView view;
    QCOMPARE(view.rowCount(), 0);
    QCOMPARE(view.columnCount(), 2);
    QCOMPARE(view.horizontalHeaderItem(0)->text(), QString("Name"));
    QCOMPARE(view.horizontalHeaderItem(1)->text(), QString("Value"));
    QCOMPARE(view.columnWidth(0), 80);
    QVERIFY(view.horizontalHeader()->stretchLastSection());
    QCOMPARE(view.editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(view.focusPolicy(), Qt::NoFocus);
}

void TestSmallControls::keyValueRowsFromAnotherThread()
{
    QKeyValueListView view;
    QThread* writer = QThread::create([&view]() {
        view.SetValue("roll", "1.5");
        {
            QMutexLocker lock(view.Lock());
            view.Entries().insert("pitch", "-0.2");
            view.Entries().insert("yaw", "90");
        }
        emit view.listUpdate();
    });
    writer->start();
    QVERIFY(writer->wait(5000));
    delete writer;
    QTRY_COMPARE(view.rowCount(), 3);
    // In key order.
    QTRY_COMPARE(view.item(0, 0)->text(), QString("pitch"));
    QCOMPARE(view.item(0, 1)->text(), QString("-0.2"));
    QCOMPARE(view.item(1, 0)->text(), QString("roll"));
    QCOMPARE(view.item(2, 1)->text(), QString("90"));
    QCOMPARE(view.item(0, 0)->foreground().color(), QColor(Qt::blue));
    QCOMPARE(view.item(0, 1)->foreground().color(), QColor(Qt::black));
    QCOMPARE(view.item(0, 0)->background().color(), QColor(Qt::white));
    QCOMPARE(view.item(1, 1)->background().color(), QColor(224, 224, 224));
    QCOMPARE(view.item(1, 0)->font().pointSize(), 8);
    QCOMPARE(view.rowHeight(2), 20);
}

void TestSmallControls::keyValueRemovalKeepsStripes()
{
    QKeyValueListView view;
    view.SetValue("a", "1");
    view.SetValue("b", "2");
    view.SetValue("c", "3");
    QCOMPARE(view.rowCount(), 3);
    QTableWidgetItem* firstRowValue = view.item(1, 1);
    view.RemoveValue("a");
    QCOMPARE(view.rowCount(), 2);
    QCOMPARE(view.item(0, 0)->text(), QString("b"));
    QCOMPARE(view.item(1, 0)->text(), QString("c"));
    QCOMPARE(view.item(1, 1), firstRowValue); // the cell stays, its text moves
    QCOMPARE(view.item(0, 0)->background().color(), QColor(Qt::white));
    QCOMPARE(view.item(1, 0)->background().color(), QColor(224, 224, 224));
    view.RemoveValue("missing");
    QCOMPARE(view.rowCount(), 2);
}

void TestSmallControls::portLatencyHoldsName()
{
    PortLatency latency("/dev/ttyUSB0");
    QCOMPARE(latency.GetPortName(), QString("/dev/ttyUSB0"));
    QVERIFY(latency.parent() == nullptr);
    QSignalSpy debug(&latency, &PortLatency::debugMessage);
    QSignalSpy error(&latency, &PortLatency::errorMessage);
    QVERIFY(debug.isValid());
    QVERIFY(error.isValid());
}

QTEST_MAIN(TestSmallControls)
#include "tst_small_controls.moc"
