#ifndef DISPLAYWIDGETSMANAGER_H
#define DISPLAYWIDGETSMANAGER_H

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

class QWidget;
class Reflector;

// Makes every tool of the application by its class name and remembers what
// it made: pages (kept in the display area for the rest of the run), help
// dialogs and single-tool dialogs. It draws nothing itself; the main window
// and the display area follow its signals.
class DisplayWidgetsManager : public QObject
{
    Q_OBJECT
public:
    static DisplayWidgetsManager* GetInstance();
    ~DisplayWidgetsManager() override;

    // Replaces the factories by a fresh set of every tool class the
    // application knows.
    void RegisterAllClass();

    bool IsCreated(const QString& className);
    QString GetWidgetTitleName(const QString& className);

    // Makes the page of the class, or re-selects it when it exists. True only
    // when a page was newly made.
    bool CreateDisplayWidget(const QString& className, int index);
    void CreateDisplayDialog(const QString& className, QWidget* parent);
    void CreateSingleToolDisplayDialog(const QString& className, QWidget* parent);

    // Restores the pages named in the display list of the last run.
    void InitDisplayWidgetFromFile();

    void RemoveOneDialog(const QString& className);
    QList<QString> GetDisplayWidgetNames();
    void RemoveOne(const QString& className);

    // The factories in use, so that a test can add a stand-in class.
    Reflector* GetReflector() const { return m_reflector; }

signals:
    void SignalIsCreatedSucceed(bool isSucceed, QWidget* w, const QString& className);
    void SignalUpdateCheckedStatus(const QString& className, bool checked, int check_which_one);
    void SignalChangeWidget(const QString& className);
    void SignalShowOrHideModeBtn(bool flag);
    void SignalChangeSubWidget(QString class_name, int index);

private:
    DisplayWidgetsManager();
    void ConnectDialogClose(QWidget* dialog, const QString& className);
    bool IsDialogOnRecord(const QString& className, QWidget* dialog) const;
    void RestoreOne(const QString& className);

    QList<QString> m_created_widget_names;
    QMap<QString, QWidget*> m_created_widgets;
    QList<QString> m_single_tool_names;
    QMap<QString, QWidget*> m_single_tool_dialogs;
    QMap<QString, QWidget*> m_help_dialogs;
    Reflector* m_reflector = nullptr;

    static std::unique_ptr<DisplayWidgetsManager> m_instance;
};

#endif // DISPLAYWIDGETSMANAGER_H
