#include "dialogs/general/UpgradeDialog.h"

#include "ui_UpgradeDialog.h"

#include "commom/DialogSeam.h"
#include "dialogs/general/WorkerThreadUpdate.h"

#include <QCoreApplication>
#include <QTextDocument>
#include <QThread>

UpgradeDialog::UpgradeDialog(QWidget* parent)
    : CustomDialog(parent)
    , ui(new Ui::UpgradeDialog)
{
    ui->setupUi(this);
    ui->progressBar->setValue(0);

    m_worker = new WorkerThreadUpdate();
    m_thread = new QThread();
    m_worker->moveToThread(m_thread);

    connect(m_thread, &QThread::started, m_worker, &WorkerThreadUpdate::slot_check_upgrade);
    connect(this, &UpgradeDialog::SignalStartUpdate, m_worker, &WorkerThreadUpdate::slot_start_upgrade);
    connect(this, &UpgradeDialog::SignalCancelUpdate, m_worker, &WorkerThreadUpdate::slot_cancel_update);
    connect(m_worker, &WorkerThreadUpdate::SignalChangeProgress, this, &UpgradeDialog::slot_update_progress);
    connect(m_worker, &WorkerThreadUpdate::SignalShowUpdateContent, this,
            &UpgradeDialog::slot_show_update_content);
    connect(m_worker, &WorkerThreadUpdate::SignalShowWin, this, &UpgradeDialog::slot_show_win);

    m_thread->start(QThread::InheritPriority);
}

UpgradeDialog::~UpgradeDialog()
{
    if (m_worker != nullptr) {
        // Nothing the worker still reports may reach a dialog being torn down.
        disconnect(m_worker, nullptr, this, nullptr);
    }
    if (m_thread != nullptr) {
        // The thread object must outlive its thread, and a deferred deletion
        // would never run once the event loop has ended (the start-up dialog
        // goes after it): wait for the quit here. The quit also ends the
        // wait of a running start step.
        m_thread->quit();
        m_thread->wait();
    }
    // Deleted only now: a deferred deletion would run inside the start
    // step's wait and leave that step working on a deleted worker. With its
    // thread finished the worker handles no more events.
    delete m_worker;
    m_worker = nullptr;
    delete m_thread;
    m_thread = nullptr;
    delete ui;
}

void UpgradeDialog::StopWorkerThread()
{
    if (m_thread == nullptr || !m_thread->isRunning()) {
        return;
    }
    // The quit also ends the wait of a running start step.
    m_thread->quit();
    m_thread->wait();
    // What the worker reported on its way out, and requests it had not taken
    // up yet, belong to the closed dialog: none of it may surface later (no
    // "暂无更新" after a cancel, no check run when the dialog shows again).
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    QCoreApplication::removePostedEvents(m_worker, QEvent::MetaCall);
}

void UpgradeDialog::closeEvent(QCloseEvent* event)
{
    StopWorkerThread();
    CustomDialog::closeEvent(event);
}

void UpgradeDialog::showEvent(QShowEvent* event)
{
    if (m_thread != nullptr && !m_thread->isRunning()) {
        m_thread->start(QThread::InheritPriority);
    }
    CustomDialog::showEvent(event);
}

void UpgradeDialog::on_button_upgrade_clicked()
{
    emit SignalStartUpdate();
}

void UpgradeDialog::on_button_cancel_clicked()
{
    emit SignalCancelUpdate();
    close();
}

void UpgradeDialog::slot_show_update_content(QStringList content_list)
{
    for (const QString& line : content_list) {
        // The lines come from the update server: a line that looks like
        // markup is shown as the text it is, never rendered (no tags, no
        // images or links loaded from it).
        if (Qt::mightBeRichText(line)) {
            ui->textBrowser_update_content->append("<span style=\"white-space:pre-wrap\">" + line.toHtmlEscaped()
                                                   + "</span>");
        } else {
            ui->textBrowser_update_content->append(line);
        }
    }
}

void UpgradeDialog::slot_update_progress(int value)
{
    if (value == -1) {
        DialogSeam::ShowInformation(this, "提示", "暂无更新");
        return;
    }
    if (value < 0 || value > 100) {
        return;
    }
    ui->progressBar->setValue(value);
}

void UpgradeDialog::slot_show_win(QStringList content_list)
{
    show();
    setModal(true);
    slot_show_update_content(content_list);
}
