#include "manager/DisplayWidgetsManager.h"

#include "commom/Global.h"
#include "commom/Logger.h"
#include "dialogs/general/CustomDialog.h"
#include "manager/JsonDataManager.h"
#include "manager/Reflector.h"

// Tool classes. A page's include and its registration line below go in
// together when the page is added to the application.
#include "dialogs/general/AboutDialog.h"
#include "dialogs/general/DataDecodeDialog.h"
#include "dialogs/general/UpgradeDialog.h"
#include "widgets/singleTools/AHRSDataWidget.h"
#include "widgets/singleTools/CommandCreatorWidget.h"
#include "widgets/singleTools/FirmwareUpgradeWidget.h"
#include "widgets/singleTools/InstrumentWidget.h"
#include "widgets/singleTools/SerialPortAssistantWidget.h"
#include "widgets/singleTools/parameterConfigPage/ImuParameterConfigWidget.h"

#include <QPointer>
#include <QThread>
#include <QWidget>

std::unique_ptr<DisplayWidgetsManager> DisplayWidgetsManager::m_instance;

DisplayWidgetsManager* DisplayWidgetsManager::GetInstance()
{
    if (!m_instance) {
        m_instance.reset(new DisplayWidgetsManager());
    }
    return m_instance.get();
}

DisplayWidgetsManager::DisplayWidgetsManager()
{
    RegisterAllClass();
}

DisplayWidgetsManager::~DisplayWidgetsManager()
{
    delete m_reflector;
    m_reflector = nullptr;
}

void DisplayWidgetsManager::RegisterAllClass()
{
    delete m_reflector;
    m_reflector = new Reflector();

    // In menu order of the registry table; one line per tool class.
    m_reflector->registerClass<AHRSDataWidget>("AHRSDataWidget");
    m_reflector->registerClass<ImuParameterConfigWidget>("ImuParameterConfigWidget");
    m_reflector->registerClass<FirmwareUpgradeWidget>("FirmwareUpgradeWidget");
    m_reflector->registerClass<InstrumentWidget>("InstrumentWidget");
    m_reflector->registerClass<SerialPortAssistantWidget>("SerialPortAssistantWidget");
    m_reflector->registerClass<DataDecodeDialog>("DataDecodeDialog");
    m_reflector->registerClass<AboutDialog>("AboutDialog");
    m_reflector->registerClass<UpgradeDialog>("UpgradeDialog");
    m_reflector->registerClass<CommandCreatorWidget>("CommandCreatorWidget");
}

bool DisplayWidgetsManager::IsCreated(const QString& className)
{
    return m_created_widget_names.contains(className);
}

QString DisplayWidgetsManager::GetWidgetTitleName(const QString& className)
{
    if (g_serialTabNames.contains(className)) {
        return g_serialTabNames.value(className);
    }
    if (g_singelTabNames.contains(className)) {
        return g_singelTabNames.value(className);
    }
    if (g_extendTabNames.contains(className)) {
        return g_extendTabNames.value(className);
    }
    if (g_helpTabNames.contains(className)) {
        return g_helpTabNames.value(className);
    }
    return QString();
}

bool DisplayWidgetsManager::CreateDisplayWidget(const QString& className, int index)
{
    if (IsCreated(className)) {
        emit SignalUpdateCheckedStatus(className, true, index);
        emit SignalChangeSubWidget(className, index);
        emit SignalChangeWidget(className);
        return false;
    }

    QWidget* page = m_reflector ? m_reflector->CreateObject(className) : nullptr;
    LOG_DEBUG() << "this->thread()->currentThreadId()"
                << reinterpret_cast<quintptr>(QThread::currentThreadId());
    if (!page) {
        emit SignalIsCreatedSucceed(false, nullptr, QString());
        return false;
    }

    page->setObjectName(className);
    page->setWindowTitle(GetWidgetTitleName(className));
    if (!m_created_widgets.contains(className)) {
        m_created_widget_names.append(className);
    }
    m_created_widgets[className] = page;

    // The display area owns the page; should it ever go (a window torn
    // down before exit), forget it so that a later request makes a new page
    // instead of selecting a dead one.
    connect(page, &QObject::destroyed, this, [this, className](QObject* gone) {
        if (static_cast<QObject*>(m_created_widgets.value(className)) == gone) {
            m_created_widgets.remove(className);
            m_created_widget_names.removeAll(className);
        }
    });

    emit SignalIsCreatedSucceed(true, page, className);
    emit SignalChangeSubWidget(className, index);
    emit SignalUpdateCheckedStatus(page->objectName(), true, index);
    if (m_created_widget_names.size() >= 2) {
        emit SignalChangeWidget(className);
    }
    return true;
}

namespace {

// Dialog window of the main window, with a close button.
void PlaceDialog(QWidget* dialog, QWidget* parent)
{
    dialog->setParent(parent, Qt::Dialog | Qt::WindowCloseButtonHint);
}

} // namespace

void DisplayWidgetsManager::CreateDisplayDialog(const QString& className, QWidget* parent)
{
    if (m_help_dialogs.contains(className)) {
        return;
    }
    QWidget* dialog = m_reflector ? m_reflector->CreateObject(className) : nullptr;
    if (!dialog) {
        return;
    }

    dialog->setObjectName(className);
    PlaceDialog(dialog, parent);
    dialog->setWindowTitle(GetWidgetTitleName(className));
    m_help_dialogs[className] = dialog;
    dialog->show();
    emit SignalUpdateCheckedStatus(dialog->objectName(), true, 0);

    ConnectDialogClose(dialog, className);
}

void DisplayWidgetsManager::ConnectDialogClose(QWidget* dialog, const QString& className)
{
    QPointer<QWidget> guard(dialog);
    if (auto* custom = qobject_cast<CustomDialog*>(dialog)) {
        connect(custom, &CustomDialog::SignalCloseDialog, this, [this, guard, className]() {
            // Only the dialog now on record may end the record: an older,
            // already closed one of the same class must not drop its successor.
            if (guard.isNull() || !IsDialogOnRecord(className, guard.data())) {
                return;
            }
            RemoveOneDialog(className);
            emit SignalUpdateCheckedStatus(className, false, -1);
            // The next request makes a new dialog, so a closed one is freed
            // with its threads rather than kept hidden until exit.
            guard->deleteLater();
        });
    }
    // A dialog destroyed with its parent is no longer open.
    connect(dialog, &QObject::destroyed, this, [this, className](QObject* gone) {
        if (static_cast<QObject*>(m_help_dialogs.value(className)) == gone) {
            m_help_dialogs.remove(className);
        }
        if (static_cast<QObject*>(m_single_tool_dialogs.value(className)) == gone) {
            m_single_tool_dialogs.remove(className);
            m_single_tool_names.removeAll(className);
        }
    });
}

bool DisplayWidgetsManager::IsDialogOnRecord(const QString& className, QWidget* dialog) const
{
    return m_help_dialogs.value(className) == dialog || m_single_tool_dialogs.value(className) == dialog;
}

void DisplayWidgetsManager::CreateSingleToolDisplayDialog(const QString& className, QWidget* parent)
{
    if (m_single_tool_names.contains(className)) {
        return;
    }
    QWidget* dialog = m_reflector ? m_reflector->CreateObject(className) : nullptr;
    if (!dialog) {
        return;
    }

    dialog->setObjectName(className);
    PlaceDialog(dialog, parent);
    dialog->setWindowTitle(GetWidgetTitleName(className));
    if (!m_single_tool_dialogs.contains(className)) {
        m_single_tool_names.append(className);
    }
    m_single_tool_dialogs[className] = dialog;
    emit SignalUpdateCheckedStatus(dialog->objectName(), true, 0);
    dialog->show();
    ConnectDialogClose(dialog, className);
}

void DisplayWidgetsManager::RemoveOneDialog(const QString& className)
{
    if (m_help_dialogs.contains(className)) {
        m_help_dialogs.remove(className);
    } else if (m_single_tool_names.contains(className) && m_single_tool_dialogs.contains(className)) {
        m_single_tool_names.removeAll(className);
        m_single_tool_dialogs.remove(className);
    }
}

void DisplayWidgetsManager::RestoreOne(const QString& className)
{
    emit SignalShowOrHideModeBtn(g_mode_button_show_class.contains(GetWidgetTitleName(className)));
    LOG_DEBUG() << "class_name" << className;
    CreateDisplayWidget(className, 0);
}

void DisplayWidgetsManager::InitDisplayWidgetFromFile()
{
    const QStringList names = JsonDataManager::GetInstance()->ReadDisplayAreaName();
    if (!names.isEmpty()) {
        for (const QString& name : names) {
            // A dialog named in the list is no page: embedded in the display
            // area its own buttons would only hide it and leave a hole.
            if (name.isEmpty() || g_helpTabNames.contains(name) || g_singelTabNames.contains(name)) {
                continue;
            }
            RestoreOne(name);
        }
        return;
    }

    const QList<QString> serialTools = g_serialTabNames.keys();
    const QString first = serialTools.isEmpty() ? QString() : serialTools.first();
    if (first.isEmpty()) {
        return;
    }
    RestoreOne(first);
}

QList<QString> DisplayWidgetsManager::GetDisplayWidgetNames()
{
    return m_created_widget_names;
}

void DisplayWidgetsManager::RemoveOne(const QString& className)
{
    emit SignalUpdateCheckedStatus(className, false, -1);
    if (m_created_widgets.contains(className)) {
        m_created_widget_names.removeAll(className);
        m_created_widgets.remove(className);
    }
}
