#include <QtTest>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

#include "controls/CustomTabbar.h"
#include "dialogs/general/AboutDialog.h"
#include "dialogs/general/CustomDialog.h"
#include "dialogs/general/SingleToolDialog.h"

class TestToolDialogs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void customDialogHasNoHelpButton();
    void escapeLeavesCustomDialogOpen();
    void rejectDoesNothing();
    void closeClosesAndEmits();
    void aboutBoxTexts();
    void escapeLeavesAboutBoxOpen();
    void singleToolDialogFrame();
    void twoPagesGiveTwoTabButtons();
    void tabClickSwitchesPage();
    void grabAboutBoxToPng();
};

void TestToolDialogs::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QFile skin(":/skin/resources/skin/skin.qss");
    QVERIFY(skin.open(QIODevice::ReadOnly));
    qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));
}

void TestToolDialogs::customDialogHasNoHelpButton()
{
    CustomDialog dialog;
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
    QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    AboutDialog about;
    QVERIFY(!(about.windowFlags() & Qt::WindowContextHelpButtonHint));
    SingleToolDialog single;
    QVERIFY(!(single.windowFlags() & Qt::WindowContextHelpButtonHint));
}

void TestToolDialogs::escapeLeavesCustomDialogOpen()
{
    CustomDialog dialog;
    QSignalSpy closed(&dialog, &CustomDialog::SignalCloseDialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(dialog.isVisible());
    QCOMPARE(closed.count(), 0);
}

void TestToolDialogs::rejectDoesNothing()
{
    CustomDialog dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    dialog.show();
    dialog.reject();
    QVERIFY(dialog.isVisible());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(rejected.count(), 0);
}

void TestToolDialogs::closeClosesAndEmits()
{
    CustomDialog dialog;
    QSignalSpy closed(&dialog, &CustomDialog::SignalCloseDialog);
    dialog.show();
    QVERIFY(dialog.close());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(closed.count(), 1);

    // A second opening closes and reports again.
    dialog.show();
    QVERIFY(dialog.close());
    QCOMPARE(closed.count(), 2);
}

void TestToolDialogs::aboutBoxTexts()
{
    AboutDialog about;
    auto* company = about.findChild<QLabel*>("labelCompany");
    auto* version = about.findChild<QLabel*>("labelVersion");
    auto* label = about.findChild<QLabel*>("label");
    auto* label2 = about.findChild<QLabel*>("label_2");
    QVERIFY(company && version && label && label2);
    QCOMPARE(company->text(), QString("Velmora"));
    QCOMPARE(version->text(), QString("1.1.4"));
    QCOMPARE(label->text(), QString("关于："));
    QCOMPARE(label2->text(), QString("版本号："));
    QCOMPARE(label->maximumWidth(), 60);
    QCOMPARE(about.size(), QSize(352, 81));
    QCOMPARE(about.windowTitle(), QString("Dialog"));

    auto* grid = about.findChild<QGridLayout*>("gridLayout");
    QVERIFY(grid != nullptr);
    QCOMPARE(grid->itemAtPosition(0, 0)->widget(), label);
    QCOMPARE(grid->itemAtPosition(0, 1)->widget(), company);
    QCOMPARE(grid->itemAtPosition(1, 0)->widget(), label2);
    QCOMPARE(grid->itemAtPosition(1, 1)->widget(), version);
}

void TestToolDialogs::escapeLeavesAboutBoxOpen()
{
    AboutDialog about;
    about.setWindowTitle("关于");
    QSignalSpy closed(&about, &CustomDialog::SignalCloseDialog);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::keyClick(&about, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(about.isVisible());
    QCOMPARE(closed.count(), 0);
    about.close();
    QVERIFY(!about.isVisible());
    QCOMPARE(closed.count(), 1);
}

void TestToolDialogs::singleToolDialogFrame()
{
    SingleToolDialog dialog;
    QCOMPARE(dialog.windowTitle(), QString("单独工具窗口"));
    QCOMPARE(dialog.size(), QSize(859, 588));
    CustomTabbar* bar = dialog.findChild<CustomTabbar*>("widgetTabBar");
    QVERIFY(bar != nullptr);
    QCOMPARE(bar, dialog.TabBar());
    QCOMPARE(bar->GetLineHeight(), 2);
    QCOMPARE(bar->GetButtonColor(), QColor("#4169E1"));
    QCOMPARE(bar->GetButtonPosition(), 3);
    QVERIFY(bar->minimumWidth() >= 120);
    auto* line = dialog.findChild<QFrame*>("lineV");
    QVERIFY(line != nullptr);
    QCOMPARE(line->maximumWidth(), 1);
    QVERIFY(dialog.findChild<QStackedWidget*>("stackedWidget") != nullptr);
    QCOMPARE(dialog.Stack()->count(), 0);
}

void TestToolDialogs::twoPagesGiveTwoTabButtons()
{
    SingleToolDialog dialog;
    auto* first = new QWidget;
    first->setWindowTitle("命令生成器");
    auto* second = new QWidget;
    second->setWindowTitle("固件升级");
    dialog.addWidget(first);
    dialog.addWidget(second);
    dialog.addWidget(nullptr); // ignored

    CustomTabbar* bar = dialog.TabBar();
    QCOMPARE(bar->ButtonCounts(), 2);
    auto* b0 = qobject_cast<QPushButton*>(bar->GetButtonGroup()->button(0));
    auto* b1 = qobject_cast<QPushButton*>(bar->GetButtonGroup()->button(1));
    QVERIFY(b0 && b1);
    QCOMPARE(b0->text(), QString("命令生成器"));
    QCOMPARE(b1->text(), QString("固件升级"));
    QCOMPARE(b0->size(), QSize(120, 30));
    QVERIFY(b0->isCheckable());
    QCOMPARE(b0->parentWidget(), bar);
    QCOMPARE(bar->GetCurrentIndex(), 1);
    QVERIFY(b1->isChecked());
    QVERIFY(!b0->isChecked());
    QCOMPARE(dialog.Stack()->count(), 2);
    QCOMPARE(dialog.Stack()->currentIndex(), 1);
    QCOMPARE(dialog.Stack()->currentWidget(), second);
    QCOMPARE(dialog.Stack()->widget(0), first);
}

void TestToolDialogs::tabClickSwitchesPage()
{
    SingleToolDialog dialog;
    auto* first = new QWidget;
    first->setWindowTitle("一");
    auto* second = new QWidget;
    second->setWindowTitle("二");
    dialog.addWidget(first);
    dialog.addWidget(second);
    dialog.show();
    QAbstractButton* b0 = dialog.TabBar()->GetButtonGroup()->button(0);
    QTest::mouseClick(b0, Qt::LeftButton);
    QCOMPARE(dialog.Stack()->currentWidget(), first);
    QCOMPARE(dialog.TabBar()->GetCurrentIndex(), 0);
    // Clicking the current tab again changes nothing.
    QTest::mouseClick(b0, Qt::LeftButton);
    QCOMPARE(dialog.Stack()->currentWidget(), first);
    QVERIFY(b0->isChecked());
}

void TestToolDialogs::grabAboutBoxToPng()
{
    AboutDialog about;
    about.setWindowTitle("关于");
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    const QPixmap shot = about.grab();
    QCOMPARE(shot.size(), QSize(352, 81));
    QVERIFY(shot.save(QDir(QCoreApplication::applicationDirPath()).filePath("aboutbox.png"), "PNG"));

    SingleToolDialog single;
    auto* page = new QLabel("页面内容");
    page->setWindowTitle("AHRS数据");
    auto* page2 = new QLabel("第二页");
    page2->setWindowTitle("参数设置");
    single.addWidget(page);
    single.addWidget(page2);
    single.show();
    QVERIFY(QTest::qWaitForWindowExposed(&single));
    QTRY_COMPARE_WITH_TIMEOUT(single.TabBar()->GetAnimation()->state(), QAbstractAnimation::Stopped, 5000);
    QVERIFY(single.grab().save(QDir(QCoreApplication::applicationDirPath()).filePath("singletool.png"), "PNG"));
}

QTEST_MAIN(TestToolDialogs)
#include "tst_tool_dialogs.moc"
