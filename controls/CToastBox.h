#ifndef CTOASTBOX_H
#define CTOASTBOX_H

#include <QDialog>

class QTimer;

namespace Ui {
class CToastBox;
}

// A small frameless notice with an icon that closes and deletes itself
// after a given time.
class CToastBox : public QDialog
{
    Q_OBJECT
public:
    explicit CToastBox(QWidget* parent = nullptr);
    ~CToastBox() override;

    void SetLabelText(const QString& text);
    void SetIcon(const QString& path);

    // Shows a toast without blocking. type 0 info, 1 warning, anything else
    // error, unless an icon path is given. The box deletes itself; the
    // returned pointer must not be kept past its time.
    static CToastBox* ShowToast(QWidget* parent, const QString& text, int type = 0, int milliseconds = 2000,
                                const QString& icon = QString());

    QTimer* GetTimer() const { return m_timer; }

private slots:
    void on_btn_close_clicked();

private:
    Ui::CToastBox* ui = nullptr;
    QTimer* m_timer = nullptr;
};

#endif // CTOASTBOX_H
