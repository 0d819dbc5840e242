#ifndef DIALOGSEAM_H
#define DIALOGSEAM_H

#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QMutex>
#include <QString>
#include <QVariant>

#include <functional>

class QWidget;

// Every message box and file dialog of the program goes through here, so
// that a test can record what would have been asked and answer it without
// a modal window ever waiting for a person.
class DialogSeam
{
public:
    enum Kind { Information, Warning, Critical, Question, OpenFile, SaveFile, ExistingDirectory };

    struct Request
    {
        Kind kind = Information;
        QString title;
        QString text;       // message text, or the file dialog's start folder
        QString filter;     // file dialogs only
        int buttons = 0;    // question only: the offered QMessageBox buttons
        int icon = 0;       // question only: the QMessageBox::Icon shown
    };

    // Answer for a scripted request: a QMessageBox::StandardButton (int) for
    // questions, a QString for file dialogs; ignored for plain messages. An
    // invalid QVariant gives the default answer (the default button, or an
    // empty path as on cancel).
    using Handler = std::function<QVariant(const Request&)>;

    static void ShowInformation(QWidget* parent, const QString& title, const QString& text);
    static void ShowWarning(QWidget* parent, const QString& title, const QString& text);
    static void ShowCritical(QWidget* parent, const QString& title, const QString& text);
    static QMessageBox::StandardButton AskQuestion(
        QWidget* parent, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // A confirmation or retry question: warning box, Yes is the default and
    // No the Escape answer.
    static QMessageBox::StandardButton AskWarningQuestion(QWidget* parent, const QString& title,
                                                          const QString& text);
    static QString GetOpenFileName(QWidget* parent, const QString& caption,
                                   const QString& dir = QString(), const QString& filter = QString());
    static QString GetSaveFileName(QWidget* parent, const QString& caption,
                                   const QString& dir = QString(), const QString& filter = QString());
    static QString GetExistingDirectory(QWidget* parent, const QString& caption,
                                        const QString& dir = QString(),
                                        QFileDialog::Options options = QFileDialog::ShowDirsOnly);

    // Test side: once scripted, nothing modal is shown; every request is
    // recorded and answered by the handler (or with the default answer).
    static void SetScripted(bool scripted);
    static bool IsScripted();
    static void SetHandler(Handler handler);
    static QList<Request> Requests();
    static void ClearRequests();

private:
    static bool Script(const Request& request, QVariant* answer);
};

#endif // DIALOGSEAM_H
