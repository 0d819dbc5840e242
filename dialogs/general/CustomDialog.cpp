#include "dialogs/general/CustomDialog.h"

#include <QCloseEvent>

CustomDialog::CustomDialog(QWidget* parent)
    : QDialog(parent)
{
    Qt::WindowFlags flags = windowFlags();
    flags &= ~Qt::WindowContextHelpButtonHint;
    flags |= Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
}

void CustomDialog::closeEvent(QCloseEvent* event)
{
    // The event stays accepted, so the dialog hides after the owner was told.
    event->accept();
    emit SignalCloseDialog();
}

void CustomDialog::reject()
{
    // Deliberately empty: Escape must not close a running tool.
}
