#ifndef LOCKERBUTTON_H
#define LOCKERBUTTON_H

#include <QPixmap>
#include <QPushButton>
#include <QString>

class QLabel;

// Push button whose face is a small image beside a text, so that a page can
// swap the image (an expand/collapse arrow) and style the text on its own.
class LockerButton : public QPushButton
{
    Q_OBJECT
public:
    explicit LockerButton(QWidget* parent = nullptr);
    ~LockerButton() override = default;

    void SetImageLabel(const QPixmap& pixmap);
    void SetTextLabel(QString text);
    QLabel* GetImageHandle();
    QLabel* GetTextHandle();

private:
    QLabel* m_imageLabel = nullptr;
    QLabel* m_textLabel = nullptr;
};

#endif // LOCKERBUTTON_H
