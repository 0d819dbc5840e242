#ifndef OPERATELOGWIDGET_H
#define OPERATELOGWIDGET_H

#include <QWidget>

namespace Ui {
class OperateLogWidget;
}

// A read-only view of the operation log as it is written.
class OperateLogWidget : public QWidget
{
    Q_OBJECT
public:
    explicit OperateLogWidget(QWidget* parent = nullptr);
    ~OperateLogWidget() override;

public slots:
    void slot_append_log(const QString& str);

private:
    Ui::OperateLogWidget* ui = nullptr;
};

#endif // OPERATELOGWIDGET_H
