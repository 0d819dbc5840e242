#include "controls/OperateLogWidget.h"

#include "ui_OperateLogWidget.h"

#include "manager/OperateLogManager.h"

OperateLogWidget::OperateLogWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::OperateLogWidget)
{
    ui->setupUi(this);
    connect(OperateLogManager::GetInstance(), &OperateLogManager::SignalOutputOperateLog, this,
            &OperateLogWidget::slot_append_log);
}

OperateLogWidget::~OperateLogWidget()
{
    delete ui;
}

void OperateLogWidget::slot_append_log(const QString& str)
{
    ui->plainTextEdit->appendPlainText(str);
}
