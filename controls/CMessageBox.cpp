#include "controls/CMessageBox.h"

#include "ui_CMessageBox.h"

CMessageBox::CMessageBox(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::CMessageBox)
{
    ui->setupUi(this);
    ui->label->setWordWrap(true);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
}

CMessageBox::~CMessageBox()
{
    delete ui;
}

void CMessageBox::SetLabelText(const QString& text)
{
    ui->label->setText(text);
}

void CMessageBox::SetLeftBtnText(const QString& text)
{
    ui->btn_reject->setText(text);
}

void CMessageBox::SetRightBtnText(const QString& text)
{
    ui->btn_accept->setText(text);
}

bool CMessageBox::ShowInfomation(QWidget* parent, const QString& text, bool showLeft, const QString& leftText,
                                 const QString& rightText)
{
    CMessageBox box(parent);
    box.SetLabelText(text);
    if (!leftText.isEmpty()) {
        box.SetLeftBtnText(leftText);
    }
    if (!rightText.isEmpty()) {
        box.SetRightBtnText(rightText);
    }
    box.ui->btn_reject->setVisible(showLeft);
    return box.exec() == QDialog::Accepted;
}

void CMessageBox::on_btn_reject_clicked()
{
    reject();
}

void CMessageBox::on_btn_accept_clicked()
{
    accept();
}
