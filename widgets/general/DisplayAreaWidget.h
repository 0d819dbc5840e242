#ifndef DISPLAYAREAWIDGET_H
#define DISPLAYAREAWIDGET_H

#include <QStringList>
#include <QWidget>

namespace Ui {
class DisplayAreaWidget;
}

class QStackedWidget;

// Right-hand part of the main window: stacks the tool pages the registry
// makes, shows one at a time and remembers the shown one for the next start.
class DisplayAreaWidget : public QWidget
{
    Q_OBJECT
public:
    explicit DisplayAreaWidget(QWidget* parent = nullptr);
    ~DisplayAreaWidget() override;

    void InitDisplayWidgetsFromFile();

    QStackedWidget* Stack() const;

public slots:
    void slot_add_display_widget(bool isSucceed, QWidget* w, const QString& className);
    // Shows the page of the class (the name is historical: nothing is removed).
    void slot_remove_display_widget_at_frist(const QString& className);

private:
    Ui::DisplayAreaWidget* ui;
    QStringList m_added_names;
};

#endif // DISPLAYAREAWIDGET_H
