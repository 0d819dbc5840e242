#ifndef CUSTOMDIALOG_H
#define CUSTOMDIALOG_H

#include <QDialog>

class QCloseEvent;

// Base of every tool dialog. It has no help button, tells its owner when it is
// closed, and ignores reject() so that Escape never closes a tool half way
// through its work; the dialog closes only through its close button or close().
class CustomDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CustomDialog(QWidget* parent = nullptr);
    ~CustomDialog() override = default;

signals:
    void SignalCloseDialog();

protected:
    void closeEvent(QCloseEvent* event) override;

public slots:
    void reject() override;
};

#endif // CUSTOMDIALOG_H
