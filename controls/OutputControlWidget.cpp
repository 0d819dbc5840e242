#include "controls/OutputControlWidget.h"

#include "ui_OutputControlWidget.h"

#include "controls/OperateLogWidget.h"
#include "controls/SerialDataWidget.h"

#include <QPushButton>

OutputControlWidget::OutputControlWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::OutputControlWidget)
{
    ui->setupUi(this);

    ui->stackedWidget->addWidget(new SerialDataWidget(ui->stackedWidget));
    ui->stackedWidget->addWidget(new OperateLogWidget(ui->stackedWidget));
    const QStringList captions = {"原始数据", "操作记录日志"};

    ui->widgetTabBar->SetLineHeight(2);
    ui->widgetTabBar->SetButtonColor(QColor("#4169E1"));
    for (int index = 0; index < captions.size(); ++index) {
        auto* button = new QPushButton(ui->widgetTabBar);
        button->setFixedSize(100, 30);
        button->setText(captions.at(index));
        ui->widgetTabBar->AddButton(button, index);
    }
    ui->stackedWidget->setCurrentIndex(0);
    connect(ui->widgetTabBar, &CustomTabbar::SignalClickBtn, ui->stackedWidget, &QStackedWidget::setCurrentIndex);
}

OutputControlWidget::~OutputControlWidget()
{
    delete ui;
}
