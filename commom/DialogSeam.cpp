#include "commom/DialogSeam.h"

#include <QMutexLocker>

#include <atomic>

namespace {

std::atomic<bool> g_scripted{false};
QMutex g_seamMutex;
DialogSeam::Handler g_handler;
QList<DialogSeam::Request> g_requests;

} // namespace

bool DialogSeam::Script(const Request& request, QVariant* answer)
{
    if (!g_scripted) {
        return false;
    }
    Handler handler;
    {
        QMutexLocker locker(&g_seamMutex);
        g_requests.append(request);
        handler = g_handler;
    }
    if (handler) {
        *answer = handler(request);
    }
    return true;
}

void DialogSeam::ShowInformation(QWidget* parent, const QString& title, const QString& text)
{
    QVariant answer;
    if (!Script({Information, title, text, QString(), 0, 0}, &answer)) {
        QMessageBox::information(parent, title, text);
    }
}

void DialogSeam::ShowWarning(QWidget* parent, const QString& title, const QString& text)
{
    QVariant answer;
    if (!Script({Warning, title, text, QString(), 0, 0}, &answer)) {
        QMessageBox::warning(parent, title, text);
    }
}

void DialogSeam::ShowCritical(QWidget* parent, const QString& title, const QString& text)
{
    QVariant answer;
    if (!Script({Critical, title, text, QString(), 0, 0}, &answer)) {
        QMessageBox::critical(parent, title, text);
    }
}

QMessageBox::StandardButton DialogSeam::AskQuestion(QWidget* parent, const QString& title,
                                                    const QString& text,
                                                    QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton)
{
    QVariant answer;
    if (!Script({Question, title, text, QString(), static_cast<int>(buttons), QMessageBox::Question}, &answer)) {
        return QMessageBox::question(parent, title, text, buttons, defaultButton);
    }
    if (answer.isValid()) {
        return static_cast<QMessageBox::StandardButton>(answer.toInt());
    }
    return defaultButton;
}

QMessageBox::StandardButton DialogSeam::AskWarningQuestion(QWidget* parent, const QString& title,
                                                           const QString& text)
{
    const QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    QVariant answer;
    if (!Script({Question, title, text, QString(), static_cast<int>(buttons), QMessageBox::Warning},
                &answer)) {
        QMessageBox box(QMessageBox::Warning, title, text, buttons, parent);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }
    if (answer.isValid()) {
        return static_cast<QMessageBox::StandardButton>(answer.toInt());
    }
    return QMessageBox::Yes;
}

QString DialogSeam::GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter)
{
    QVariant answer;
    if (!Script({OpenFile, caption, dir, filter, 0, 0}, &answer)) {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    }
    return answer.toString();
}

QString DialogSeam::GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter)
{
    QVariant answer;
    if (!Script({SaveFile, caption, dir, filter, 0, 0}, &answer)) {
        return QFileDialog::getSaveFileName(parent, caption, dir, filter);
    }
    return answer.toString();
}

QString DialogSeam::GetExistingDirectory(QWidget* parent, const QString& caption, const QString& dir,
                                         QFileDialog::Options options)
{
    QVariant answer;
    if (!Script({ExistingDirectory, caption, dir, QString(), 0, 0}, &answer)) {
        return QFileDialog::getExistingDirectory(parent, caption, dir, options);
    }
    return answer.toString();
}

void DialogSeam::SetScripted(bool scripted)
{
    g_scripted = scripted;
}

bool DialogSeam::IsScripted()
{
    return g_scripted;
}

void DialogSeam::SetHandler(Handler handler)
{
    QMutexLocker locker(&g_seamMutex);
    g_handler = std::move(handler);
}

QList<DialogSeam::Request> DialogSeam::Requests()
{
    QMutexLocker locker(&g_seamMutex);
    return g_requests;
}

void DialogSeam::ClearRequests()
{
    QMutexLocker locker(&g_seamMutex);
    g_requests.clear();
}
