#ifndef ABOUTDIALOG_H
#define ABOUTDIALOG_H

#include "dialogs/general/CustomDialog.h"

namespace Ui {
class AboutDialog;
}

// The help menu's about box: company and program version.
class AboutDialog : public CustomDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

private:
    Ui::AboutDialog* ui = nullptr;
};

#endif // ABOUTDIALOG_H
