#include "widgets/general/DisplayAreaWidget.h"
#include "ui_DisplayAreaWidget.h"

#include "commom/Global.h"
#include "manager/DisplayWidgetsManager.h"
#include "manager/JsonDataManager.h"

DisplayAreaWidget::DisplayAreaWidget(QWidget* parent) : QWidget(parent), ui(new Ui::DisplayAreaWidget)
{
    ui->setupUi(this);
    DisplayWidgetsManager* registry = DisplayWidgetsManager::GetInstance();
    connect(registry, &DisplayWidgetsManager::SignalIsCreatedSucceed, this,
            &DisplayAreaWidget::slot_add_display_widget);
    connect(registry, &DisplayWidgetsManager::SignalChangeWidget, this,
            &DisplayAreaWidget::slot_remove_display_widget_at_frist);
}

DisplayAreaWidget::~DisplayAreaWidget()
{
    // The pages go with this widget; their positions must go too, or a
    // later reader would take a dead page for a built one.
    for (const QString& name : qAsConst(m_added_names)) {
        m_map_init_finish_widget.remove(name);
    }
    delete ui;
}

QStackedWidget* DisplayAreaWidget::Stack() const
{
    return ui->stackedWidget;
}

void DisplayAreaWidget::InitDisplayWidgetsFromFile()
{
    DisplayWidgetsManager::GetInstance()->InitDisplayWidgetFromFile();
}

void DisplayAreaWidget::slot_add_display_widget(bool isSucceed, QWidget* w, const QString& className)
{
    if (!isSucceed || w == nullptr) {
        return;
    }
    ui->stackedWidget->addWidget(w);
    m_map_init_finish_widget[className] = ui->stackedWidget->count();
    if (!m_added_names.contains(className)) {
        m_added_names.append(className);
    }
}

void DisplayAreaWidget::slot_remove_display_widget_at_frist(const QString& className)
{
    const int position = m_map_init_finish_widget[className];
    ui->stackedWidget->setCurrentIndex(position - 1);
    JsonDataManager::GetInstance()->WriteDisplayAreaName(className);
}
