#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QThread>
#include <QBoxLayout>
#include <QDir>

#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/StartUp.h"
#include "dialogs/general/UpgradeDialog.h"
#include "dialogs/general/WorkerThreadUpdate.h"
#include "manager/DisplayWidgetsManager.h"
#include "manager/SettingManager.h"
#include "mainwindow.h"

namespace {

QList<DialogSeam::Request> NoUpdateBoxes()
{
    QList<DialogSeam::Request> boxes;
    for (const DialogSeam::Request& request : DialogSeam::Requests()) {
        if (request.kind == DialogSeam::Information && request.title == "提示" && request.text == "暂无更新") {
            boxes << request;
        }
    }
    return boxes;
}

QStringList Paragraphs(UpgradeDialog& dialog)
{
    QString text = dialog.findChild<QTextBrowser*>("textBrowser_update_content")->toPlainText();
    QStringList lines = text.split('\n');
    // The form starts with one empty paragraph.
    if (!lines.isEmpty() && lines.first().isEmpty()) {
        lines.removeFirst();
    }
    return lines;
}

// Feeds a version-file body to the dialog's worker on the worker's thread,
// as a reply there would.
void FeedVersionFile(UpgradeDialog& dialog, const QByteArray& body)
{
    WorkerThreadUpdate* worker = dialog.GetWorker();
    QMetaObject::invokeMethod(worker, [worker, body]() { worker->ParseVersionFile(body, "h"); },
                              Qt::BlockingQueuedConnection);
}

// Waits until the worker has handled everything asked of it so far, then
// delivers what it sent back.
void SyncWithWorker(UpgradeDialog& dialog)
{
    QMetaObject::invokeMethod(dialog.GetWorker(), []() {}, Qt::BlockingQueuedConnection);
    QCoreApplication::processEvents();
}

} // namespace

class TestUpdateDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void formAndRunningThread();
    void formGeometryAndLook();
    void staysHiddenWithoutUpdate();
    void upgradeWithoutUpdateSaysSo();
    void twoQuickClicksTwoBoxes();
    void progressValues();
    void reportedUpdateShowsModalWithList();
    void changeListMarkupIsShownAsText();
    void cancelEndsTheThreadAndTheCheck();
    void escapeDoesNotClose();
    void destructionEndsThreadAndWorker();
    void destructionDuringWaitDoesNotHang();
    void helpMenuEntryMakesOne();
    void closedHelpDialogsLeaveNothingBehind();
    void mainWindowKeepsOneHiddenUntilDestroyed();
};

void TestUpdateDialog::initTestCase()
{
    RegsiterMetaType();
    InitCorvantaResources();
    SettingManager::GetInstance();
    DialogSeam::SetScripted(true);
}

void TestUpdateDialog::init()
{
    DialogSeam::SetHandler(nullptr);
    DialogSeam::ClearRequests();
}

void TestUpdateDialog::formAndRunningThread()
{
    UpgradeDialog dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QString("版本更新"));
    QCOMPARE(dialog.objectName(), QString("UpgradeDialog"));
    QCOMPARE(dialog.findChild<QLabel*>("label_content")->text(), QString("更新内容:"));
    QCOMPARE(dialog.findChild<QPushButton*>("button_upgrade")->text(), QString("升级"));
    QCOMPARE(dialog.findChild<QPushButton*>("button_cancel")->text(), QString("取消"));
    auto* bar = dialog.findChild<QProgressBar*>("progressBar");
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));

    QVERIFY(dialog.GetWorker() != nullptr);
    QVERIFY(dialog.GetWorkerThread() != nullptr);
    QTRY_VERIFY(dialog.GetWorkerThread()->isRunning());
    QCOMPARE(dialog.GetWorker()->thread(), dialog.GetWorkerThread());
    QVERIFY(dialog.GetWorkerThread() != QThread::currentThread());
}

void TestUpdateDialog::formGeometryAndLook()
{
    UpgradeDialog dialog(nullptr);
    QCOMPARE(dialog.size(), QSize(366, 159));

    auto* column = dialog.findChild<QVBoxLayout*>("verticalLayout");
    QVERIFY(column != nullptr);
    QCOMPARE(column->spacing(), 2);
    QCOMPARE(column->contentsMargins(), QMargins(2, 5, 2, 2));
    // Top to bottom: caption, change list, progress bar, button row.
    QStringList order;
    for (int i = 0; i < column->count(); ++i) {
        order << column->itemAt(i)->widget()->objectName();
    }
    QCOMPARE(order, (QStringList{"label_content", "textBrowser_update_content", "progressBar", "widget"}));

    auto* caption = dialog.findChild<QLabel*>("label_content");
    QCOMPARE(caption->font().family(), QString("黑体"));
    QCOMPARE(caption->font().pointSize(), 10);
    QCOMPARE(caption->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(caption->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QVERIFY(caption->alignment() & Qt::AlignLeft);
    QVERIFY(caption->alignment() & Qt::AlignTop);

    auto* browser = dialog.findChild<QTextBrowser*>("textBrowser_update_content");
    QCOMPARE(browser->font().family(), QString("楷体"));
    QVERIFY(browser->toPlainText().trimmed().isEmpty());

    auto* bar = dialog.findChild<QProgressBar*>("progressBar");
    QVERIFY(bar->alignment() & Qt::AlignHCenter);
    QVERIFY(bar->styleSheet().contains("#1ABC9C"));
    QVERIFY(bar->styleSheet().contains("border-radius: 5px"));

    auto* row = dialog.findChild<QWidget*>("widget");
    QCOMPARE(row->minimumHeight(), 40);
    auto* rowLayout = dialog.findChild<QHBoxLayout*>("horizontalLayout");
    QCOMPARE(rowLayout->contentsMargins(), QMargins(2, 2, 2, 2));
    QCOMPARE(rowLayout->count(), 3);
    QVERIFY(rowLayout->itemAt(0)->spacerItem() != nullptr);
    QCOMPARE(rowLayout->itemAt(0)->spacerItem()->sizeHint(), QSize(236, 20));
    QCOMPARE(rowLayout->itemAt(1)->widget()->objectName(), QString("button_upgrade"));
    QCOMPARE(rowLayout->itemAt(2)->widget()->objectName(), QString("button_cancel"));
    for (const char* name : {"button_upgrade", "button_cancel"}) {
        auto* button = dialog.findChild<QPushButton*>(name);
        QCOMPARE(button->minimumSize(), QSize(75, 30));
        QVERIFY(button->styleSheet().contains("rgb(0, 85, 255)"));
        QVERIFY(button->styleSheet().contains("rgb(0, 170, 0)"));
        QVERIFY(button->styleSheet().contains("rgba(0, 170, 255, 30)"));
    }
}

void TestUpdateDialog::staysHiddenWithoutUpdate()
{
    UpgradeDialog dialog(nullptr);
    QTRY_VERIFY(dialog.GetWorkerThread()->isRunning());
    SyncWithWorker(dialog);
    QVERIFY(!dialog.isVisible());
    QVERIFY(DialogSeam::Requests().isEmpty());
}

void TestUpdateDialog::upgradeWithoutUpdateSaysSo()
{
    UpgradeDialog dialog(nullptr);
    dialog.show();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(dialog.findChild<QPushButton*>("button_upgrade"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(NoUpdateBoxes().size(), 1, 5000);
    QVERIFY(clock.elapsed() >= 450);
    QCOMPARE(DialogSeam::Requests().size(), 1);
    QCOMPARE(dialog.findChild<QProgressBar*>("progressBar")->value(), 0);
    QVERIFY(dialog.isVisible());
}

void TestUpdateDialog::twoQuickClicksTwoBoxes()
{
    UpgradeDialog dialog(nullptr);
    auto* button = dialog.findChild<QPushButton*>("button_upgrade");
    button->click();
    button->click();
    QTRY_COMPARE_WITH_TIMEOUT(NoUpdateBoxes().size(), 2, 5000);
    SyncWithWorker(dialog);
    QCOMPARE(NoUpdateBoxes().size(), 2);
}

void TestUpdateDialog::progressValues()
{
    UpgradeDialog dialog(nullptr);
    auto* bar = dialog.findChild<QProgressBar*>("progressBar");
    dialog.slot_update_progress(50);
    QCOMPARE(bar->value(), 50);
    dialog.slot_update_progress(-1);
    QCOMPARE(bar->value(), 50);
    QCOMPARE(NoUpdateBoxes().size(), 1);
    dialog.slot_update_progress(-2);
    dialog.slot_update_progress(101);
    dialog.slot_update_progress(INT_MAX);
    QCOMPARE(bar->value(), 50);
    dialog.slot_update_progress(100);
    QCOMPARE(bar->value(), 100);
    dialog.slot_update_progress(0);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(NoUpdateBoxes().size(), 1);
}

void TestUpdateDialog::reportedUpdateShowsModalWithList()
{
    UpgradeDialog dialog(nullptr);
    QVERIFY(!dialog.isVisible());
    FeedVersionFile(dialog, R"({"version":[1,1,5],"update_content":["甲","","乙"]})");
    QTRY_VERIFY(dialog.isVisible());
    QVERIFY(dialog.isModal());
    QCOMPARE(dialog.windowTitle(), QString("版本更新"));
    QCOMPARE(Paragraphs(dialog), (QStringList{"1:甲", "2:乙"}));

    // A later report adds below; nothing clears the old lines.
    FeedVersionFile(dialog, R"({"version":[1,2],"update_content":["丙"]})");
    QTRY_COMPARE(Paragraphs(dialog).size(), 3);
    QCOMPARE(Paragraphs(dialog), (QStringList{"1:甲", "2:乙", "1:丙"}));

    // The same version as ours shows nothing more.
    FeedVersionFile(dialog, R"({"version":[1,1,4],"update_content":["丁"]})");
    QCoreApplication::processEvents();
    QCOMPARE(Paragraphs(dialog).size(), 3);

    dialog.slot_show_update_content({"x", "y"});
    QCOMPARE(Paragraphs(dialog).mid(3), (QStringList{"x", "y"}));
}

void TestUpdateDialog::changeListMarkupIsShownAsText()
{
    UpgradeDialog dialog(nullptr);
    const QStringList lines{"1:<b>粗体</b>修复", "2:a &lt; b", "3:<img src=\"file:///etc/hostname\">", "4:x  <i>y</i>",
                            "5:普通 a<b 比较"};
    dialog.slot_show_update_content(lines);
    QCOMPARE(Paragraphs(dialog), lines);
    auto* browser = dialog.findChild<QTextBrowser*>("textBrowser_update_content");
    // Nothing of a line turned into formatting or an embedded image.
    QVERIFY(!browser->toHtml().contains("<img"));
    QVERIFY(!browser->toHtml().contains("font-weight:600"));
}

void TestUpdateDialog::cancelEndsTheThreadAndTheCheck()
{
    UpgradeDialog dialog(nullptr);
    QSignalSpy closed(&dialog, &CustomDialog::SignalCloseDialog);
    dialog.show();
    QTRY_VERIFY(dialog.GetWorkerThread()->isRunning());
    // "升级" and at once "取消": the check ends with the dialog and tells
    // nothing afterwards.
    QTest::mouseClick(dialog.findChild<QPushButton*>("button_upgrade"), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>("button_cancel"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(closed.size(), 1);
    QVERIFY(dialog.GetWorker() != nullptr);
    QVERIFY(dialog.GetWorkerThread()->isFinished());
    QCoreApplication::processEvents();
    QVERIFY(DialogSeam::Requests().isEmpty());

    // Opened again, it works again, once.
    dialog.show();
    QTRY_VERIFY(dialog.GetWorkerThread()->isRunning());
    dialog.findChild<QPushButton*>("button_upgrade")->click();
    QTRY_COMPARE_WITH_TIMEOUT(NoUpdateBoxes().size(), 1, 5000);
    QCOMPARE(DialogSeam::Requests().size(), 1);
}

void TestUpdateDialog::escapeDoesNotClose()
{
    UpgradeDialog dialog(nullptr);
    QSignalSpy closed(&dialog, &CustomDialog::SignalCloseDialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(dialog.isVisible());
    QCOMPARE(closed.size(), 0);
}

void TestUpdateDialog::destructionEndsThreadAndWorker()
{
    auto* dialog = new UpgradeDialog(nullptr);
    QPointer<QThread> thread = dialog->GetWorkerThread();
    QPointer<WorkerThreadUpdate> worker = dialog->GetWorker();
    QTRY_VERIFY(thread->isRunning());
    delete dialog;
    QVERIFY(thread.isNull());
    QVERIFY(worker.isNull());
}

void TestUpdateDialog::destructionDuringWaitDoesNotHang()
{
    auto* dialog = new UpgradeDialog(nullptr);
    QPointer<WorkerThreadUpdate> worker = dialog->GetWorker();
    dialog->findChild<QPushButton*>("button_upgrade")->click();
    // Nothing else here waits that way: the one running is the worker's.
    QTRY_COMPARE_WITH_TIMEOUT(NonBlockWaitsRunning(), 1, 5000);
    QElapsedTimer clock;
    clock.start();
    delete dialog;
    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(worker.isNull());
    QCoreApplication::processEvents();
    QVERIFY(NoUpdateBoxes().isEmpty());
}

void TestUpdateDialog::helpMenuEntryMakesOne()
{
    QMainWindow window;
    DisplayWidgetsManager* registry = DisplayWidgetsManager::GetInstance();
    registry->RegisterAllClass();
    registry->CreateDisplayDialog("UpgradeDialog", &window);
    QList<UpgradeDialog*> dialogs = window.findChildren<UpgradeDialog*>("UpgradeDialog");
    QCOMPARE(dialogs.size(), 1);
    UpgradeDialog* dialog = dialogs.first();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QString("软件升级"));
    QTRY_VERIFY(dialog->GetWorkerThread()->isRunning());

    // A second request while it is open makes none.
    registry->CreateDisplayDialog("UpgradeDialog", &window);
    QCOMPARE(window.findChildren<UpgradeDialog*>("UpgradeDialog").size(), 1);

    dialog->findChild<QPushButton*>("button_upgrade")->click();
    QTRY_COMPARE_WITH_TIMEOUT(NoUpdateBoxes().size(), 1, 5000);
    dialog->close();
}

void TestUpdateDialog::closedHelpDialogsLeaveNothingBehind()
{
    QMainWindow window;
    DisplayWidgetsManager* registry = DisplayWidgetsManager::GetInstance();
    registry->RegisterAllClass();
    auto threads = []() { return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); };
    auto cycle = [&]() {
        registry->CreateDisplayDialog("UpgradeDialog", &window);
        auto* update = window.findChild<UpgradeDialog*>("UpgradeDialog");
        QTRY_VERIFY(update->GetWorkerThread()->isRunning());
        update->close();
        registry->CreateDisplayDialog("AboutDialog", &window);
        window.findChild<CustomDialog*>("AboutDialog")->close();
        QTRY_VERIFY(window.findChildren<CustomDialog*>().isEmpty());
    };
    cycle(); // what the first dialogs make once for good
    QVERIFY(!QTest::currentTestFailed());
    const int widgets = QApplication::allWidgets().size();
    const int running = threads();
    for (int i = 0; i < 30 && !QTest::currentTestFailed(); ++i) {
        cycle();
    }
    QTRY_COMPARE(QApplication::allWidgets().size(), widgets);
    // A thread that was just ending when the count was taken may be gone by now.
    QTRY_VERIFY(threads() <= running);
}

namespace {
QList<UpgradeDialog*> TopLevelUpdateDialogs()
{
    QList<UpgradeDialog*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<UpgradeDialog*>(widget)) {
            found << dialog;
        }
    }
    return found;
}
} // namespace

void TestUpdateDialog::mainWindowKeepsOneHiddenUntilDestroyed()
{
    QCOMPARE(TopLevelUpdateDialogs().size(), 0);
    QPointer<QThread> thread;
    {
        MainWindow window(nullptr);
        QCOMPARE(TopLevelUpdateDialogs().size(), 0);
        window.Initializa();
        QList<UpgradeDialog*> dialogs = TopLevelUpdateDialogs();
        QCOMPARE(dialogs.size(), 1);
        QVERIFY(dialogs.first()->parent() == nullptr);
        QVERIFY(!dialogs.first()->isVisible());
        thread = dialogs.first()->GetWorkerThread();
        QTRY_VERIFY(thread->isRunning());
        SyncWithWorker(*dialogs.first());
        QVERIFY(!dialogs.first()->isVisible());
    }
    // Gone with the window, even without an event loop afterwards.
    QCOMPARE(TopLevelUpdateDialogs().size(), 0);
    QVERIFY(thread.isNull());
}

QTEST_MAIN(TestUpdateDialog)
#include "tst_update_dialog.moc"
