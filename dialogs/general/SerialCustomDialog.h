#ifndef SERIALCUSTOMDIALOG_H
#define SERIALCUSTOMDIALOG_H

#include <QString>

#include "dialogs/general/CustomDialog.h"

class QLineEdit;
class QPushButton;

// Asks for one AT command and its description.
class SerialCustomDialog : public CustomDialog
{
    Q_OBJECT
public:
    explicit SerialCustomDialog(QWidget* parent = nullptr);
    ~SerialCustomDialog() override = default;

    QString getString1() const;
    QString getString2() const;

public slots:
    void onConfirmClicked();

private:
    QLineEdit* m_lineEdit1 = nullptr;
    QLineEdit* m_lineEdit2 = nullptr;
    QPushButton* m_confirm = nullptr;
};

#endif // SERIALCUSTOMDIALOG_H
