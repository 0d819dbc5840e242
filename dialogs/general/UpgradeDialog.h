#ifndef UPGRADEDIALOG_H
#define UPGRADEDIALOG_H

#include "dialogs/general/CustomDialog.h"

#include <QStringList>

class QThread;
class WorkerThreadUpdate;

namespace Ui {
class UpgradeDialog;
}

// The user's side of the program update check: the change list of a newer
// version, the download progress and the "升级" and "取消" buttons. Each
// dialog owns one update worker on a thread of its own.
class UpgradeDialog : public CustomDialog
{
    Q_OBJECT
public:
    explicit UpgradeDialog(QWidget* parent = nullptr);
    ~UpgradeDialog() override;

    // For the owner and for checks: the worker and its thread.
    WorkerThreadUpdate* GetWorker() const { return m_worker; }
    QThread* GetWorkerThread() const { return m_thread; }

signals:
    void SignalCheckUpdate();
    void SignalStartUpdate();
    void SignalCancelUpdate();

public slots:
    void on_button_upgrade_clicked();
    void on_button_cancel_clicked();
    void slot_show_update_content(QStringList content_list);
    void slot_update_progress(int value);
    void slot_show_win(QStringList content_list);

protected:
    // A closed dialog keeps no thread running; shown again, it starts one.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void StopWorkerThread();

    Ui::UpgradeDialog* ui = nullptr;
    WorkerThreadUpdate* m_worker = nullptr;
    QThread* m_thread = nullptr;
};

#endif // UPGRADEDIALOG_H
