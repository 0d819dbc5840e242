#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QMap>
#include <QSharedPointer>
#include <QString>
#include <QVariant>
#include <QVector>

#include "commom/OrderedMap.h"
#include "workerThread/PayloadTypes.h"

namespace Ui {
class MainWindow;
}

class AutoResizer;
class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolButton;
class UpgradeDialog;

// The application's only top-level window: the three tool menus, the
// connect widget, the device identity panel, the mode button, the byte
// counters, the connection icon and the display area for the tool pages.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Builds the menus from the tool tables and restores the last page.
    void Initializa();

    // The device's serial number as the identity panel and the pages show
    // it: the twelve bytes in payload order, two lower-case hex digits each.
    static QString SerialNumberText(const VersionPayload& payload);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

public slots:
    void OnClickedAction(bool value);
    void OnUpdateActionsCheckedStatus(const QString& className, bool checked, int check_which_one);
    void on_btn_mode_start_clicked();
    void on_toolButtonMuti_triggered(QAction* arg1);
    void slot_version_message(int id, QVariant var1, QVariant var2);
    void slot_update_connect_label(SerialState state);

private:
    void InitAutoResize();
    void InitLabels();
    void InitTimer();
    QMenu* MakeToolMenu(QToolButton* button);
    void AddToolActions(QMenu* menu, const OrderedMap<QString, QString>& table, const QString& displayFlag);
    // Shows the icon scaled into the label's present size.
    void ShowConnectIcon(const QString& path);
    // The proportional layout and the icon for the window's present size.
    void ApplyWindowSize();
    void ResetIdentityPanel();
    void ShowCounterHint(QLabel* label);

    Ui::MainWindow* ui;
    AutoResizer* m_resizer = nullptr;
    QMap<QString, QVector<QAction*>> m_action_map;
    QMenu* m_tool_menu = nullptr;
    bool m_version_received = false;
    QSharedPointer<QTimer> m_counter_timer;
    QSharedPointer<QTimer> m_rx_hint_timer;
    QSharedPointer<QTimer> m_tx_hint_timer;
    QString m_current_icon_path;
    const QString m_idle_icon_path = ":/images/resources/images/serial.png";
    const QString m_opened_icon_path = ":/images/resources/images/serial_ok.png";
    const QString m_failed_icon_path = ":/images/resources/images/serial_error.png";
    UpgradeDialog* m_upgrade_dialog = nullptr;
};

#endif // MAINWINDOW_H
