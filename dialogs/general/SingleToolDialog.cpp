#include "dialogs/general/SingleToolDialog.h"

#include <QPushButton>
#include <QStackedWidget>

#include "controls/CustomTabbar.h"
#include "ui_SingleToolDialog.h"

SingleToolDialog::SingleToolDialog(QWidget* parent)
    : CustomDialog(parent)
    , ui(new Ui::SingleToolDialog)
{
    ui->setupUi(this);
    setWindowTitle("单独工具窗口");

    // The line height must be set before the position: the position builds
    // the layout whose margin leaves room for the line.
    ui->widgetTabBar->SetLineHeight(2);
    ui->widgetTabBar->SetButtonColor(QColor("#4169E1"));
    ui->widgetTabBar->SetButtonPosition(CustomTabbar::COLUMN_LINE_RIGHT);
    connect(ui->widgetTabBar, &CustomTabbar::SignalClickBtn,
            ui->stackedWidget, &QStackedWidget::setCurrentIndex);
}

SingleToolDialog::~SingleToolDialog()
{
    delete ui;
}

void SingleToolDialog::addWidget(QWidget* w)
{
    if (w == nullptr) {
        return;
    }
    const int position = m_page_count;
    ui->stackedWidget->insertWidget(position, w);

    auto* button = new QPushButton(ui->widgetTabBar);
    button->setFixedSize(120, 30);
    button->setText(w->windowTitle());
    ui->widgetTabBar->AddButton(button, position);
    ui->widgetTabBar->SetCurrentIndex(position);
    ui->stackedWidget->setCurrentIndex(position);
    ++m_page_count;
}

void SingleToolDialog::InitWidget()
{
}

void SingleToolDialog::IsNeedIndependConnect()
{
}

CustomTabbar* SingleToolDialog::TabBar() const
{
    return ui->widgetTabBar;
}

QStackedWidget* SingleToolDialog::Stack() const
{
    return ui->stackedWidget;
}
