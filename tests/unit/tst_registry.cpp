// Tool registry and display area: making tools by class name, the page
// stack, the display list and the dialog life cycle.

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "dialogs/general/CustomDialog.h"
#include "manager/DisplayWidgetsManager.h"
#include "manager/JsonDataManager.h"
#include "manager/Reflector.h"
#include "widgets/general/DisplayAreaWidget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

namespace {

class StubPage : public QWidget
{
public:
    explicit StubPage(QWidget* parent) : QWidget(parent) {}
};

class StubDialog : public CustomDialog
{
public:
    explicit StubDialog(QWidget* parent) : CustomDialog(parent) {}
};

QString ConfigDir()
{
    return QCoreApplication::applicationDirPath() + "/config";
}

QString DisplayFile()
{
    return ConfigDir() + "/display.json";
}

QByteArray ReadDisplayFile()
{
    QFile file(DisplayFile());
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

void WriteDisplayFile(const QByteArray& bytes)
{
    QFile file(DisplayFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray Indented(const QString& name)
{
    return QByteArray("{\n    \"display\": [\n        \"") + name.toUtf8() + "\"\n    ]\n}\n";
}

QList<CustomDialog*> VisibleDialogs(QWidget* parent, const QString& name)
{
    QList<CustomDialog*> result;
    for (CustomDialog* dialog : parent->findChildren<CustomDialog*>(name)) {
        if (dialog->isVisible()) {
            result.append(dialog);
        }
    }
    return result;
}

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void captionsComeFromTheToolTables();
    void unknownPageReportsFailure();
    void firstPageShowsByItselfLaterPagesSwitchAndAreRemembered();
    void switchToClassWithoutPageKeepsShownPageButWritesName();
    void restoreWithoutFileChoosesAhrsPageAndWritesNothing();
    void restoreWithoutFileAndWithoutAhrsFactoryMakesNothing();
    void restoreKnownNameRestoresThatPage();
    void restoreUnknownNameLeavesAreaEmpty_data();
    void restoreUnknownNameLeavesAreaEmpty();
    void restoreTwoNamesMakesBothAndRemembersSecond();
    void aboutBoxOpensOnceEscapeKeepsItCloseForgetsIt();
    void oldClosedDialogCannotDropItsSuccessor();
    void singleToolDialogLifeCycle();
    void unknownDialogOpensNothing();

private:
    DisplayWidgetsManager* m_registry = nullptr;
};

void TestRegistry::initTestCase()
{
    QDir().mkpath(ConfigDir());
    DialogSeam::SetScripted(true);
    m_registry = DisplayWidgetsManager::GetInstance();
}

void TestRegistry::init()
{
    QFile::remove(DisplayFile());
    m_registry->RegisterAllClass();
    m_map_init_finish_widget.clear();
}

void TestRegistry::cleanupTestCase()
{
    QFile::remove(DisplayFile());
}

void TestRegistry::captionsComeFromTheToolTables()
{
    QCOMPARE(m_registry->GetWidgetTitleName("AHRSDataWidget"), QString("AHRS数据"));
    QCOMPARE(m_registry->GetWidgetTitleName("SerialPortAssistantWidget"), QString("串口助手"));
    QCOMPARE(m_registry->GetWidgetTitleName("DataDecodeDialog"), QString("数据解码"));
    QCOMPARE(m_registry->GetWidgetTitleName("UpgradeDialog"), QString("软件升级"));
    QCOMPARE(m_registry->GetWidgetTitleName("AllParameterWidget"), QString());
    QVERIFY(m_registry->GetReflector()->IsRegistered("AboutDialog"));
    // Pages that no table lists have no factory.
    QVERIFY(!m_registry->GetReflector()->IsRegistered("AllParameterWidget"));
}

void TestRegistry::unknownPageReportsFailure()
{
    DisplayAreaWidget area;
    QSignalSpy made(m_registry, &DisplayWidgetsManager::SignalIsCreatedSucceed);
    QSignalSpy checked(m_registry, &DisplayWidgetsManager::SignalUpdateCheckedStatus);

    QVERIFY(!m_registry->CreateDisplayWidget("NoSuchWidget", 0));
    QCOMPARE(made.count(), 1);
    QCOMPARE(made.at(0).at(0).toBool(), false);
    QCOMPARE(made.at(0).at(1).value<QWidget*>(), static_cast<QWidget*>(nullptr));
    QCOMPARE(made.at(0).at(2).toString(), QString());
    QCOMPARE(checked.count(), 0);
    QCOMPARE(area.Stack()->count(), 0);
    QVERIFY(!m_registry->IsCreated("NoSuchWidget"));
    QVERIFY(!QFile::exists(DisplayFile()));
}

void TestRegistry::firstPageShowsByItselfLaterPagesSwitchAndAreRemembered()
{
    m_registry->GetReflector()->registerClass<StubPage>("ImuParameterConfigWidget");
    m_registry->GetReflector()->registerClass<StubPage>("CommandCreatorWidget");
    DisplayAreaWidget area;
    QSignalSpy sub(m_registry, &DisplayWidgetsManager::SignalChangeSubWidget);

    QVERIFY(m_registry->CreateDisplayWidget("ImuParameterConfigWidget", 0));
    QWidget* first = area.Stack()->currentWidget();
    QVERIFY(first != nullptr);
    QCOMPARE(first->objectName(), QString("ImuParameterConfigWidget"));
    QCOMPARE(first->windowTitle(), QString("参数设置"));
    QCOMPARE(m_map_init_finish_widget.value("ImuParameterConfigWidget"), 1);
    QVERIFY(!QFile::exists(DisplayFile()));

    QVERIFY(m_registry->CreateDisplayWidget("CommandCreatorWidget", 0));
    QCOMPARE(area.Stack()->currentWidget()->objectName(), QString("CommandCreatorWidget"));
    QCOMPARE(m_map_init_finish_widget.value("CommandCreatorWidget"), 2);
    QCOMPARE(ReadDisplayFile(), Indented("CommandCreatorWidget"));

    // Choosing a made page again only re-selects it.
    sub.clear();
    QVERIFY(!m_registry->CreateDisplayWidget("ImuParameterConfigWidget", 0));
    QCOMPARE(area.Stack()->count(), 2);
    QCOMPARE(area.Stack()->currentWidget(), first);
    QCOMPARE(ReadDisplayFile(), Indented("ImuParameterConfigWidget"));
    QCOMPARE(sub.count(), 1);
    QCOMPARE(sub.at(0).at(0).toString(), QString("ImuParameterConfigWidget"));
    QCOMPARE(sub.at(0).at(1).toInt(), 0);
    QCOMPARE(m_registry->GetDisplayWidgetNames(),
             (QList<QString>{"ImuParameterConfigWidget", "CommandCreatorWidget"}));
}

void TestRegistry::switchToClassWithoutPageKeepsShownPageButWritesName()
{
    m_registry->GetReflector()->registerClass<StubPage>("InstrumentWidget");
    DisplayAreaWidget area;
    QVERIFY(m_registry->CreateDisplayWidget("InstrumentWidget", 0));
    QWidget* shown = area.Stack()->currentWidget();

    area.slot_remove_display_widget_at_frist("GhostWidget");
    QCOMPARE(area.Stack()->currentWidget(), shown);
    QVERIFY(m_map_init_finish_widget.contains("GhostWidget"));
    QCOMPARE(m_map_init_finish_widget.value("GhostWidget"), 0);
    QCOMPARE(ReadDisplayFile(), Indented("GhostWidget"));
}

void TestRegistry::restoreWithoutFileChoosesAhrsPageAndWritesNothing()
{
    m_registry->GetReflector()->registerClass<StubPage>("AHRSDataWidget");
    DisplayAreaWidget area;
    QSignalSpy modeButton(m_registry, &DisplayWidgetsManager::SignalShowOrHideModeBtn);

    area.InitDisplayWidgetsFromFile();
    QCOMPARE(modeButton.count(), 1);
    QCOMPARE(modeButton.at(0).at(0).toBool(), true);
    QCOMPARE(area.Stack()->count(), 1);
    QCOMPARE(area.Stack()->currentWidget()->objectName(), QString("AHRSDataWidget"));
    QVERIFY(!QFile::exists(DisplayFile()));
}

void TestRegistry::restoreWithoutFileAndWithoutAhrsFactoryMakesNothing()
{
    m_registry->GetReflector()->registerFactory("AHRSDataWidget", nullptr);
    DisplayAreaWidget area;
    QSignalSpy made(m_registry, &DisplayWidgetsManager::SignalIsCreatedSucceed);
    area.InitDisplayWidgetsFromFile();
    QCOMPARE(made.count(), 1);
    QCOMPARE(made.at(0).at(0).toBool(), false);
    QCOMPARE(area.Stack()->count(), 0);
    QVERIFY(!QFile::exists(DisplayFile()));
}

void TestRegistry::restoreKnownNameRestoresThatPage()
{
    m_registry->GetReflector()->registerClass<StubPage>("AHRSDataWidget");
    m_registry->GetReflector()->registerClass<StubPage>("ImuParameterConfigWidget");
    const QByteArray compact = "{\"display\":[\"ImuParameterConfigWidget\"]}";
    WriteDisplayFile(compact);
    DisplayAreaWidget area;
    QSignalSpy modeButton(m_registry, &DisplayWidgetsManager::SignalShowOrHideModeBtn);
    QSignalSpy checked(m_registry, &DisplayWidgetsManager::SignalUpdateCheckedStatus);

    area.InitDisplayWidgetsFromFile();
    QCOMPARE(area.Stack()->count(), 1);
    QCOMPARE(area.Stack()->currentWidget()->objectName(), QString("ImuParameterConfigWidget"));
    QCOMPARE(modeButton.count(), 1);
    QCOMPARE(modeButton.at(0).at(0).toBool(), false);
    QCOMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(0).toString(), QString("ImuParameterConfigWidget"));
    QCOMPARE(checked.at(0).at(1).toBool(), true);
    QCOMPARE(checked.at(0).at(2).toInt(), 0);
    // Restoring does not rewrite the file.
    QCOMPARE(ReadDisplayFile(), compact);
}

void TestRegistry::restoreUnknownNameLeavesAreaEmpty_data()
{
    // A dialog class is no page either: it is never embedded in the area.
    QTest::addColumn<QString>("name");
    QTest::newRow("stale") << "RemovedLongAgoWidget";
    QTest::newRow("help dialog") << "UpgradeDialog";
    QTest::newRow("about dialog") << "AboutDialog";
    QTest::newRow("single tool") << "DataDecodeDialog";
}

void TestRegistry::restoreUnknownNameLeavesAreaEmpty()
{
    QFETCH(QString, name);
    m_registry->GetReflector()->registerClass<StubPage>("AHRSDataWidget");
    WriteDisplayFile(QString("{\"display\":[\"%1\"]}").arg(name).toUtf8());
    DisplayAreaWidget area;
    area.InitDisplayWidgetsFromFile();
    QCOMPARE(area.Stack()->count(), 0);
    QVERIFY(!m_registry->IsCreated("AHRSDataWidget"));
}

void TestRegistry::restoreTwoNamesMakesBothAndRemembersSecond()
{
    m_registry->GetReflector()->registerClass<StubPage>("AHRSDataWidget");
    m_registry->GetReflector()->registerClass<StubPage>("InstrumentWidget");
    WriteDisplayFile("{\"display\":[\"InstrumentWidget\", \"\", 5, \"AHRSDataWidget\"]}");
    DisplayAreaWidget area;
    area.InitDisplayWidgetsFromFile();
    QCOMPARE(area.Stack()->count(), 2);
    QCOMPARE(area.Stack()->currentWidget()->objectName(), QString("AHRSDataWidget"));
    QCOMPARE(ReadDisplayFile(), Indented("AHRSDataWidget"));
}

void TestRegistry::aboutBoxOpensOnceEscapeKeepsItCloseForgetsIt()
{
    QWidget window;
    QSignalSpy checked(m_registry, &DisplayWidgetsManager::SignalUpdateCheckedStatus);

    m_registry->CreateDisplayDialog("AboutDialog", &window);
    QList<CustomDialog*> open = VisibleDialogs(&window, "AboutDialog");
    QCOMPARE(open.size(), 1);
    CustomDialog* about = open.first();
    QCOMPARE(about->windowTitle(), QString("关于"));
    QVERIFY(about->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(0).toString(), QString("AboutDialog"));
    QCOMPARE(checked.at(0).at(1).toBool(), true);

    m_registry->CreateDisplayDialog("AboutDialog", &window);
    QCOMPARE(window.findChildren<CustomDialog*>("AboutDialog").size(), 1);

    QTest::keyClick(about, Qt::Key_Escape);
    QVERIFY(about->isVisible());

    checked.clear();
    about->close();
    QVERIFY(!about->isVisible());
    QCOMPARE(checked.count(), 1);
    QCOMPARE(checked.at(0).at(0).toString(), QString("AboutDialog"));
    QCOMPARE(checked.at(0).at(1).toBool(), false);
    QCOMPARE(checked.at(0).at(2).toInt(), -1);

    m_registry->CreateDisplayDialog("AboutDialog", &window);
    open = VisibleDialogs(&window, "AboutDialog");
    QCOMPARE(open.size(), 1);
    QVERIFY(open.first() != about);
    open.first()->close();
}

void TestRegistry::oldClosedDialogCannotDropItsSuccessor()
{
    QWidget window;
    m_registry->CreateDisplayDialog("AboutDialog", &window);
    CustomDialog* first = VisibleDialogs(&window, "AboutDialog").first();
    first->close();
    m_registry->CreateDisplayDialog("AboutDialog", &window);
    CustomDialog* second = VisibleDialogs(&window, "AboutDialog").first();

    // The hidden first box is closed once more (by whatever means): the open
    // second one stays on record, so a new request still opens nothing new.
    first->close();
    m_registry->CreateDisplayDialog("AboutDialog", &window);
    QCOMPARE(VisibleDialogs(&window, "AboutDialog").size(), 1);
    QCOMPARE(window.findChildren<CustomDialog*>("AboutDialog").size(), 2);
    second->close();
}

void TestRegistry::singleToolDialogLifeCycle()
{
    m_registry->GetReflector()->registerClass<StubDialog>("DataDecodeDialog");
    QWidget window;
    m_registry->CreateSingleToolDisplayDialog("DataDecodeDialog", &window);
    m_registry->CreateSingleToolDisplayDialog("DataDecodeDialog", &window);
    QList<CustomDialog*> open = VisibleDialogs(&window, "DataDecodeDialog");
    QCOMPARE(open.size(), 1);
    QCOMPARE(open.first()->windowTitle(), QString("数据解码"));

    open.first()->close();
    m_registry->CreateSingleToolDisplayDialog("DataDecodeDialog", &window);
    QCOMPARE(VisibleDialogs(&window, "DataDecodeDialog").size(), 1);
    QCOMPARE(window.findChildren<CustomDialog*>("DataDecodeDialog").size(), 2);
    VisibleDialogs(&window, "DataDecodeDialog").first()->close();
}

void TestRegistry::unknownDialogOpensNothing()
{
    QWidget window;
    QSignalSpy checked(m_registry, &DisplayWidgetsManager::SignalUpdateCheckedStatus);
    m_registry->CreateDisplayDialog("NoSuchHelpDialog", &window);
    m_registry->CreateSingleToolDisplayDialog("NoSuchDialog", &window);
    QCOMPARE(window.findChildren<QWidget*>().size(), 0);
    QCOMPARE(checked.count(), 0);
}

QTEST_MAIN(TestRegistry)
#include "tst_registry.moc"
