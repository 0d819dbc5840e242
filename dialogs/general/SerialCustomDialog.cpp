#include "dialogs/general/SerialCustomDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SerialCustomDialog::SerialCustomDialog(QWidget* parent) : CustomDialog(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(9, 9, 9, 9);
    layout->setSpacing(1);
    m_lineEdit1 = new QLineEdit(this);
    m_lineEdit2 = new QLineEdit(this);
    m_confirm = new QPushButton(QStringLiteral("确认"), this);
    m_confirm->setMinimumHeight(20);
    layout->addWidget(new QLabel(QStringLiteral("AT指令："), this));
    layout->addWidget(m_lineEdit1);
    layout->addWidget(new QLabel(QStringLiteral("描述"), this));
    layout->addWidget(m_lineEdit2);
    layout->addWidget(m_confirm);
    connect(m_confirm, &QPushButton::clicked, this, &SerialCustomDialog::onConfirmClicked);
}

QString SerialCustomDialog::getString1() const
{
    return m_lineEdit1->text();
}

QString SerialCustomDialog::getString2() const
{
    return m_lineEdit2->text();
}

void SerialCustomDialog::onConfirmClicked()
{
    accept();
}
