#ifndef MODIFYLINEEDIT_H
#define MODIFYLINEEDIT_H

#include <QString>
#include <QWidget>

namespace Ui {
class ModifyLineEdit;
}

// A numeric line edit with a confirm button that appears once the text is
// edited and reports the confirmed text.
class ModifyLineEdit : public QWidget
{
    Q_OBJECT
public:
    explicit ModifyLineEdit(QWidget* parent = nullptr);
    ~ModifyLineEdit() override;

    void SetModifyable(bool modifyable);
    QString GetText() const;
    void SetText(const QString& text);
    void Clear();

    QString GetConfirmedText() const { return m_confirmed_text; }

signals:
    void SignalInputText(QString text);

public slots:
    void on_button_modify_clicked();
    void slot_lineEdit_text_edited(const QString& arg1);

private:
    Ui::ModifyLineEdit* ui = nullptr;
    QString m_confirmed_text;
};

#endif // MODIFYLINEEDIT_H
