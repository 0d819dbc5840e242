#include "controls/ModifyLineEdit.h"

#include "ui_ModifyLineEdit.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

ModifyLineEdit::ModifyLineEdit(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::ModifyLineEdit)
{
    ui->setupUi(this);
    ui->line_edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression("-?\\d*\\.?\\d+"), ui->line_edit));
    // The pencil of the skin, so the confirm button is recognisable.
    ui->button_modify->setStyleSheet(
        "QPushButton{border:none;border-image:url(:/images/resources/images/button/lineeditWrite.png);}"
        "QPushButton:hover{border-image:url(:/images/resources/images/button/lineeditWrite_h.png);}");
    ui->button_modify->hide();
    // Editing shows the confirm button; without this it could never appear.
    connect(ui->line_edit, &QLineEdit::textEdited, this, &ModifyLineEdit::slot_lineEdit_text_edited);
}

ModifyLineEdit::~ModifyLineEdit()
{
    delete ui;
}

void ModifyLineEdit::SetModifyable(bool modifyable)
{
    if (modifyable) {
        ui->line_edit->setReadOnly(false);
    } else {
        ui->button_modify->hide();
        ui->line_edit->setReadOnly(true);
    }
}

QString ModifyLineEdit::GetText() const
{
    return ui->line_edit->text();
}

void ModifyLineEdit::SetText(const QString& text)
{
    ui->line_edit->setText(text);
    m_confirmed_text = text;
}

void ModifyLineEdit::Clear()
{
    ui->line_edit->clear();
    m_confirmed_text.clear();
}

void ModifyLineEdit::slot_lineEdit_text_edited(const QString& arg1)
{
    Q_UNUSED(arg1)
    ui->button_modify->show();
}

void ModifyLineEdit::on_button_modify_clicked()
{
    ui->button_modify->hide();
    const QString text = ui->line_edit->text();
    if (!text.isEmpty()) {
        m_confirmed_text = text;
        emit SignalInputText(text);
    } else {
        ui->line_edit->setText(m_confirmed_text);
        emit SignalInputText(m_confirmed_text);
    }
}
