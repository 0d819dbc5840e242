#ifndef OUTPUTCONTROLWIDGET_H
#define OUTPUTCONTROLWIDGET_H

#include <QWidget>

namespace Ui {
class OutputControlWidget;
}

// The "信息输出" panel: received bytes and the operation log on two tabs, as
// a component a window can embed.
class OutputControlWidget : public QWidget
{
    Q_OBJECT
public:
    explicit OutputControlWidget(QWidget* parent = nullptr);
    ~OutputControlWidget() override;

private:
    Ui::OutputControlWidget* ui = nullptr;
};

#endif // OUTPUTCONTROLWIDGET_H
