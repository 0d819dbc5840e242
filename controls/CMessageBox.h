#ifndef CMESSAGEBOX_H
#define CMESSAGEBOX_H

#include <QDialog>

namespace Ui {
class CMessageBox;
}

// A frameless modal question or notice with one or two buttons.
class CMessageBox : public QDialog
{
    Q_OBJECT
public:
    explicit CMessageBox(QWidget* parent = nullptr);
    ~CMessageBox() override;

    void SetLabelText(const QString& text);
    void SetLeftBtnText(const QString& text);
    void SetRightBtnText(const QString& text);

    // Runs a box modally; true when the user accepted it. An empty button
    // text keeps the button's own text.
    static bool ShowInfomation(QWidget* parent, const QString& text, bool showLeft = true,
                               const QString& leftText = QString(), const QString& rightText = QString());

private slots:
    void on_btn_reject_clicked();
    void on_btn_accept_clicked();

private:
    Ui::CMessageBox* ui = nullptr;
};

#endif // CMESSAGEBOX_H
