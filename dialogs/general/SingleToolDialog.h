#ifndef SINGLETOOLDIALOG_H
#define SINGLETOOLDIALOG_H

#include "dialogs/general/CustomDialog.h"

namespace Ui {
class SingleToolDialog;
}

class CustomTabbar;
class QStackedWidget;

// A frame that gathers several tool pages behind a vertical tab bar, one tab
// button per page, captioned with the page's window title.
class SingleToolDialog : public CustomDialog
{
    Q_OBJECT
public:
    explicit SingleToolDialog(QWidget* parent = nullptr);
    ~SingleToolDialog() override;

    void addWidget(QWidget* w);
    void InitWidget();
    void IsNeedIndependConnect();

    CustomTabbar* TabBar() const;
    QStackedWidget* Stack() const;

private:
    Ui::SingleToolDialog* ui = nullptr;
    int m_page_count = 0;
};

#endif // SINGLETOOLDIALOG_H
