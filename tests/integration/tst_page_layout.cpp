// Every tool page inside the real main window at the window sizes users have,
// and the menu dialogs at their own size and larger: each visible control
// lies inside what its containers show, no two controls a user clicks or
// types into cover each other, and a line of their text fits into them. A
// failure saves the picture beside the suite's output and names the control.

#include "commom/DialogSeam.h"
#include "commom/StartUp.h"
#include "mainwindow.h"
#include "manager/DisplayWidgetsManager.h"
#include "manager/Reflector.h"
#include "widgets/general/DisplayAreaWidget.h"
#include "widgets/singleTools/Imu33DataWidget.h"
#include "widgets/singleTools/ahrsGroupPage/AHRSGroupWidget.h"
#include "widgets/singleTools/parameterConfigPage/AllParameterWidget.h"
#include "widgets/singleTools/peopleNavPage/PeopleNavMainWidget.h"

#include <QAbstractButton>
#include <QAction>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QTabBar>
#include <QtTest>

#include <memory>

namespace {

QRect InWindow(const QWidget* w, const QWidget* window)
{
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

qint64 Area(const QRect& r)
{
    return r.isValid() ? qint64(r.width()) * r.height() : 0;
}

// Controls that scroll with a view, or that belong to another control
// (a combo's editor, a spin box's field, a tab bar's scroll arrows), are
// judged with their owner.
bool Judged(const QWidget* w, const QWidget* window)
{
    for (const QWidget* p = w->parentWidget(); p != nullptr && p != window; p = p->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea*>(p) || qobject_cast<const QComboBox*>(p)
            || qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QTabBar*>(p)) {
            return false;
        }
    }
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w)
        || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QLabel*>(w);
}

QString Name(const QWidget* w)
{
    return QString("%1 (%2)").arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()));
}

QStringList LayoutFaults(QWidget* window)
{
    QStringList faults;
    QList<QWidget*> interactive;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || !Judged(w, window)) {
            continue;
        }
        const QRect own = InWindow(w, window);
        QRect shown = own;
        for (const QWidget* p = w->parentWidget(); p != nullptr && p != window; p = p->parentWidget()) {
            shown &= InWindow(p, window);
        }
        shown &= window->rect();
        const auto* label = qobject_cast<const QLabel*>(w);
        const bool empty = label != nullptr && label->text().isEmpty() && label->pixmap(Qt::ReturnByValue).isNull();
        if (!empty && Area(shown) * 100 < Area(own) * 95) {
            faults << QString("%1 only %2 % shown").arg(Name(w)).arg(Area(own) ? Area(shown) * 100 / Area(own) : 0);
        }
        if (label == nullptr) {
            interactive << w;
            // A line of its scaled text fits into the control.
            if (w->height() < w->fontMetrics().height()) {
                faults << QString("%1 text %2 px high in %3 px")
                              .arg(Name(w)).arg(w->fontMetrics().height()).arg(w->height());
            }
        }
    }
    for (int i = 0; i < interactive.size(); ++i) {
        for (int j = i + 1; j < interactive.size(); ++j) {
            QWidget* a = interactive[i];
            QWidget* b = interactive[j];
            if (a->isAncestorOf(b) || b->isAncestorOf(a)) {
                continue;
            }
            if (Area(InWindow(a, window) & InWindow(b, window)) > 0) {
                faults << QString("%1 overlaps %2").arg(Name(a), Name(b));
            }
        }
    }
    return faults;
}

// Waits for the window to settle without faults and saves its picture where
// asked; on failure also beside the output. Returns what is still wrong.
QString SettledFaults(QWidget* window, const QString& picture)
{
    // Fonts and layouts settle through posted events after a resize.
    QCoreApplication::sendPostedEvents();
    QStringList faults;
    const bool settled = QTest::qWaitFor([&]() { return (faults = LayoutFaults(window)).isEmpty(); }, 10000);
    const QString pictures = qEnvironmentVariable("CORVANTA_LAYOUT_PICTURES");
    if (!pictures.isEmpty()) {
        window->grab().save(QDir(pictures).absoluteFilePath(picture));
    }
    if (settled) {
        return QString();
    }
    const QString path = QDir::current().absoluteFilePath(picture);
    window->grab().save(path);
    return QString("%1 (picture: %2)").arg(faults.join("; "), path);
}

} // namespace

class TestPageLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pageIsWholeAtEverySize_data();
    void pageIsWholeAtEverySize();
    void menuDialogIsWhole_data();
    void menuDialogIsWhole();

private:
    std::unique_ptr<MainWindow> m_window;
};

void TestPageLayout::initTestCase()
{
    InitCorvantaResources();
    ApplyStyleSheet(ReadQssData(":/skin/resources/skin/skin.qss"));
    RegsiterMetaType();
    DialogSeam::SetScripted(true);
    QFile::remove(QCoreApplication::applicationDirPath() + "/config/display.json");

    // The pages outside the menus are shown the way a menu would show them.
    Reflector* reflector = DisplayWidgetsManager::GetInstance()->GetReflector();
    reflector->registerClass<Imu33DataWidget>("Imu33DataWidget");
    reflector->registerClass<PeopleNavMainWidget>("PeopleNavMainWidget");
    reflector->registerClass<AHRSGroupWidget>("AHRSGroupWidget");
    reflector->registerClass<AllParameterWidget>("AllParameterWidget");

    m_window.reset(new MainWindow(nullptr));
    m_window->Initializa();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestPageLayout::cleanupTestCase()
{
    m_window.reset();
}

void TestPageLayout::pageIsWholeAtEverySize_data()
{
    struct Page
    {
        QString name;
        int subPage;
        QString opener; // a button that opens a panel over the page, pressed first
    };
    const QList<Page> pages = {
        {"AHRSDataWidget", 0, ""},         {"AHRSDataWidget", 0, "btn_set_customLayout"},
        {"ImuParameterConfigWidget", 0, ""}, {"CommandCreatorWidget", 0, ""},
        {"FirmwareUpgradeWidget", 0, ""},  {"FirmwareUpgradeWidget", 1, ""},
        {"FirmwareUpgradeWidget", 2, ""},  {"InstrumentWidget", 0, ""},
        {"SerialPortAssistantWidget", 0, ""},
        {"SerialPortAssistantWidget", 0, "btn_quick_command"}, {"Imu33DataWidget", 0, ""},
        {"Imu33DataWidget", 0, "btn_set_customLayout"}, {"PeopleNavMainWidget", 0, ""},
        {"AHRSGroupWidget", 0, ""},        {"AllParameterWidget", 0, ""},
    };
    // The smallest the window lets itself be made, then the common screens.
    const QList<QSize> sizes = {m_window->minimumSize(), {1024, 640}, {1440, 864}, {1920, 1080}, {2560, 1440}};

    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("subPage");
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QSize>("size");
    for (const Page& page : pages) {
        for (const QSize& size : sizes) {
            const QString tag = QString("%1-%2%3-%4x%5")
                                    .arg(page.name)
                                    .arg(page.subPage)
                                    .arg(page.opener.isEmpty() ? QString() : "-" + page.opener)
                                    .arg(size.width())
                                    .arg(size.height());
            QTest::newRow(qPrintable(tag)) << page.name << page.subPage << page.opener << size;
        }
    }
}

void TestPageLayout::pageIsWholeAtEverySize()
{
    QFETCH(QString, page);
    QFETCH(int, subPage);
    QFETCH(QString, opener);
    QFETCH(QSize, size);

    DisplayWidgetsManager::GetInstance()->CreateDisplayWidget(page, subPage);
    auto* area = m_window->findChild<DisplayAreaWidget*>("widgetRight");
    QVERIFY(area != nullptr);
    QWidget* shownPage = area->Stack()->findChild<QWidget*>(page, Qt::FindDirectChildrenOnly);
    QVERIFY(shownPage != nullptr);
    area->Stack()->setCurrentWidget(shownPage);
    m_window->resize(size);
    QTRY_COMPARE(m_window->size(), size);
    QTRY_VERIFY(shownPage->isVisible());
    QAbstractButton* openerButton = nullptr;
    if (!opener.isEmpty()) {
        openerButton = shownPage->findChild<QAbstractButton*>(opener);
        QVERIFY(openerButton != nullptr);
        openerButton->click();
    }
    // The panel is closed again however the case ends.
    const auto closer = qScopeGuard([openerButton]() {
        if (openerButton != nullptr) {
            openerButton->click();
        }
    });

    const QString name = QString("layout-%1-%2%3-%4x%5.png")
                             .arg(page)
                             .arg(subPage)
                             .arg(opener.isEmpty() ? QString() : "-" + opener)
                             .arg(size.width())
                             .arg(size.height());
    const QString faults = SettledFaults(m_window.get(), name);
    QVERIFY2(faults.isEmpty(), qPrintable(QString("%1x%2: %3").arg(size.width()).arg(size.height()).arg(faults)));
}

void TestPageLayout::menuDialogIsWhole_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("scale");
    for (const char* dialog : {"DataDecodeDialog", "AboutDialog", "UpgradeDialog"}) {
        for (int scale : {1, 3}) {
            QTest::newRow(qPrintable(QString("%1-x%2").arg(dialog).arg(scale))) << QString(dialog) << scale;
        }
    }
}

// The menu dialogs open as windows of their own, at their own size; the user
// may make them larger.
void TestPageLayout::menuDialogIsWhole()
{
    QFETCH(QString, dialog);
    QFETCH(int, scale);

    QAction* action = nullptr;
    for (QAction* a : m_window->findChildren<QAction*>()) {
        if (a->data().toString() == dialog) {
            action = a;
        }
    }
    QVERIFY(action != nullptr);
    action->trigger();
    QWidget* shown = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == dialog && top->isVisible()) {
            shown = top;
        }
    }
    QVERIFY(shown != nullptr);
    const auto closer = qScopeGuard([shown]() { shown->close(); });
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    const QSize size = shown->size() * scale;
    shown->resize(size);
    QTRY_COMPARE(shown->size(), size);
    const QString faults = SettledFaults(shown, QString("dialog-%1-x%2.png").arg(dialog).arg(scale));
    QVERIFY2(faults.isEmpty(), qPrintable(faults));
}

QTEST_MAIN(TestPageLayout)
#include "tst_page_layout.moc"
