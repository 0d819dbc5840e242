#include "dialogs/general/AboutDialog.h"

#include "ui_AboutDialog.h"

#ifndef CORVANTA_VERSION
#define CORVANTA_VERSION "1.1.4"
#endif

AboutDialog::AboutDialog(QWidget* parent)
    : CustomDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    ui->labelCompany->setText("Velmora");
    ui->labelVersion->setText(QString::fromLatin1(CORVANTA_VERSION));
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
