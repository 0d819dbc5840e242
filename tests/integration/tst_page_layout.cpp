// Every tool page inside the real main window at the window sizes users have,
// and the menu dialogs at their own size and larger: each visible control
// lies inside what its containers show, no two controls a user clicks or
// types into cover each other, their text fits into them and is no smaller
// than at the page's design size. A failure saves the picture beside the
// suite's output and names the control.

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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTableView>
#include <QTextEdit>
#include <QtTest>

#include <algorithm>
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
        || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QLabel*>(w)
        || qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w)
        || qobject_cast<const QTableView*>(w);
}

// The controls whose text the page's resizer sizes.
bool HasScaledText(const QWidget* w)
{
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w)
        || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QLabel*>(w);
}

int TextPx(const QWidget* w)
{
    return QFontInfo(w->font()).pixelSize();
}

// How many pixels of a control's one line of text lie outside the room the
// control has for it.
int TextShortfall(QWidget* w)
{
    const QFontMetrics fm = w->fontMetrics();
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->wordWrap() || Qt::mightBeRichText(label->text())) {
            return 0;
        }
        return fm.size(0, label->text()).width() + 2 * label->margin() - label->contentsRect().width();
    }
    auto* button = qobject_cast<QAbstractButton*>(w);
    if (button == nullptr || button->text().isEmpty()) {
        return 0;
    }
    if (qobject_cast<QPushButton*>(w) == nullptr) {
        // Check boxes, radio buttons and tool buttons ask for just their
        // indicator, icon and text.
        return w->sizeHint().width() - w->width();
    }
    // A push button's size hint adds a least width of the style's own.
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect room = w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, w);
    const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    return fm.size(Qt::TextShowMnemonic, button->text()).width() + icon - room.width();
}

int ComboShortfall(QComboBox* combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    const QRect room = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    return combo->fontMetrics().horizontalAdvance(combo->currentText()) - room.width();
}

QString Name(const QWidget* w)
{
    return QString("%1 (%2)").arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()));
}

using DesignText = QHash<const QWidget*, int>;

QStringList LayoutFaults(QWidget* window, const DesignText& design = DesignText())
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
        if (HasScaledText(w) && design.contains(w) && TextPx(w) < design.value(w)) {
            faults << QString("%1 text %2 px, %3 px at the design size").arg(Name(w)).arg(TextPx(w)).arg(design.value(w));
        }
        // The port box shows the port's name alone when its whole entry
        // (with the system's description, of any length) does not fit.
        auto* combo = qobject_cast<QComboBox*>(w);
        const bool portBox = w->objectName() == "comboBoxPort";
        const int shortfall = portBox ? 0 : combo != nullptr ? ComboShortfall(combo) : TextShortfall(w);
        if (!empty && shortfall > 0) {
            faults << QString("%1 text cut by %2 px").arg(Name(w)).arg(shortfall);
        }
        if (label == nullptr) {
            interactive << w;
        }
        // A line of its text fits into the control; a label's text may give
        // up its leading (above and below its characters).
        const int room = label != nullptr ? label->contentsRect().height() : w->height();
        const int line = label != nullptr ? TextPx(w) : w->fontMetrics().height();
        if ((label == nullptr || !label->text().isEmpty()) && room < line) {
            faults << QString("%1 text %2 px high in %3 px").arg(Name(w)).arg(line).arg(room);
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
QString SettledFaults(QWidget* window, const QString& picture, const DesignText& design = DesignText())
{
    // Fonts and layouts settle through posted events after a resize.
    QCoreApplication::sendPostedEvents();
    QStringList faults;
    const bool settled = QTest::qWaitFor([&]() { return (faults = LayoutFaults(window, design)).isEmpty(); }, 10000);
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

// Child indices from root down to w: the same control in a second object
// built by the same code.
QVector<int> PathOf(const QObject* w, const QObject* root)
{
    QVector<int> path;
    for (; w != root && w->parent() != nullptr; w = w->parent()) {
        path.prepend(w->parent()->children().indexOf(const_cast<QObject*>(w)));
    }
    return path;
}

QObject* AtPath(QObject* root, const QVector<int>& path)
{
    for (int i : path) {
        if (root == nullptr || i < 0 || i >= root->children().size()) {
            return nullptr;
        }
        root = root->children().at(i);
    }
    return root;
}

struct Page
{
    QString name;
    int subPage;
    QString opener; // a button that opens a panel over the page, pressed first
};

QList<Page> Pages()
{
    return {
        {"AHRSDataWidget", 0, ""},         {"AHRSDataWidget", 0, "btn_set_customLayout"},
        {"ImuParameterConfigWidget", 0, ""}, {"CommandCreatorWidget", 0, ""},
        {"FirmwareUpgradeWidget", 0, ""},  {"FirmwareUpgradeWidget", 1, ""},
        {"FirmwareUpgradeWidget", 2, ""},  {"InstrumentWidget", 0, ""},
        {"SerialPortAssistantWidget", 0, ""},
        {"SerialPortAssistantWidget", 0, "btn_quick_command"}, {"Imu33DataWidget", 0, ""},
        {"Imu33DataWidget", 0, "btn_set_customLayout"}, {"PeopleNavMainWidget", 0, ""},
        {"AHRSGroupWidget", 0, ""},        {"AllParameterWidget", 0, ""},
    };
}

QString Tag(const Page& page)
{
    return QString("%1-%2%3").arg(page.name).arg(page.subPage).arg(page.opener.isEmpty() ? QString() : "-" + page.opener);
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
    QWidget* ShowPage(const QString& page, int subPage);
    void RecordDesignText(QWidget* shown, QWidget* atDesign);

    std::unique_ptr<MainWindow> m_window;
    DesignText m_design;
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
    const QSize designSize = m_window->size();
    m_window->Initializa();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // The window's own controls, read at (a pixel off) its design size; the
    // pages have design sizes of their own.
    QVERIFY(qAbs(m_window->width() - designSize.width()) <= 1);
    RecordDesignText(m_window.get(), m_window.get());
    for (QWidget* page : m_window->findChild<DisplayAreaWidget*>("widgetRight")->Stack()->findChildren<QWidget*>()) {
        m_design.remove(page);
    }
}

// Reads the text size of every control of atDesign, a twin of shown (the
// same code built both) laid out at its design size.
void TestPageLayout::RecordDesignText(QWidget* shown, QWidget* atDesign)
{
    for (QWidget* w : shown->findChildren<QWidget*>()) {
        auto* twin = qobject_cast<QWidget*>(AtPath(atDesign, PathOf(w, shown)));
        if (HasScaledText(w) && twin != nullptr && twin->metaObject() == w->metaObject()) {
            twin->ensurePolished();
            m_design.insert(w, TextPx(twin));
        }
    }
}

QWidget* TestPageLayout::ShowPage(const QString& page, int subPage)
{
    DisplayWidgetsManager::GetInstance()->CreateDisplayWidget(page, subPage);
    auto* area = m_window->findChild<DisplayAreaWidget*>("widgetRight");
    QWidget* shownPage = area != nullptr ? area->Stack()->findChild<QWidget*>(page, Qt::FindDirectChildrenOnly) : nullptr;
    if (shownPage == nullptr) {
        return nullptr;
    }
    if (!m_design.contains(shownPage)) {
        m_design.insert(shownPage, 0);
        std::unique_ptr<QWidget> twin(DisplayWidgetsManager::GetInstance()->GetReflector()->CreateObject(page));
        QResizeEvent atOwnSize(twin->size(), twin->size());
        QCoreApplication::sendEvent(twin.get(), &atOwnSize);
        RecordDesignText(shownPage, twin.get());
    }
    area->Stack()->setCurrentWidget(shownPage);
    return shownPage;
}

void TestPageLayout::cleanupTestCase()
{
    m_window.reset();
}

void TestPageLayout::pageIsWholeAtEverySize_data()
{
    // The smallest the window lets itself be made, then the first window on
    // common screens (1280 x 720, 1366 x 768, 1920 x 1080) and others.
    const QSize minimum = m_window->minimumSize();
    QList<QSize> sizes = {minimum, {960, 576}, {1024, 614}, {1024, 640}, {1189, 762}, {1440, 864}, {1920, 1080}, {2560, 1440}};
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    QList<QList<QSize>> paths;
    for (const QSize& size : sizes) {
        paths << QList<QSize>{size};
    }
    // The same size reached through others: a page must not depend on the way.
    paths << QList<QSize>{{1920, 1152}, QSize(800, 520).expandedTo(minimum + QSize(0, 20)), minimum};

    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("subPage");
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QList<QSize>>("path");
    for (const Page& page : Pages()) {
        for (const QList<QSize>& path : paths) {
            QStringList steps;
            for (const QSize& size : path) {
                steps << QString("%1x%2").arg(size.width()).arg(size.height());
            }
            const QString tag = Tag(page) + "-" + steps.join("-");
            QTest::newRow(qPrintable(tag)) << page.name << page.subPage << page.opener << path;
        }
    }
}

void TestPageLayout::pageIsWholeAtEverySize()
{
    QFETCH(QString, page);
    QFETCH(int, subPage);
    QFETCH(QString, opener);
    QFETCH(QList<QSize>, path);

    QWidget* shownPage = ShowPage(page, subPage);
    QVERIFY(shownPage != nullptr);
    for (const QSize& size : path) {
        m_window->resize(size);
        QTRY_COMPARE(m_window->size(), size);
        QCoreApplication::sendPostedEvents();
    }
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

    const QString name = QString("layout-%1-%2x%3%4.png")
                             .arg(Tag({page, subPage, opener}))
                             .arg(path.last().width())
                             .arg(path.last().height())
                             .arg(path.size() > 1 ? "-after-resizes" : "");
    const QString faults = SettledFaults(m_window.get(), name, m_design);
    QVERIFY2(faults.isEmpty(), qPrintable(QString("%1x%2: %3").arg(path.last().width()).arg(path.last().height()).arg(faults)));
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
