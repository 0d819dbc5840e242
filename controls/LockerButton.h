#ifndef LOCKERBUTTON_H
#define LOCKERBUTTON_H

#include <QFont>
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

    // The "设置" toggle of the live pages' settings panel: transparent face
    // with hover and press shades, red-brown caption in the given font.
    void StyleAsPanelToggle(QWidget* page, const QPixmap& image, const QFont& textFont);

private:
    QLabel* m_imageLabel = nullptr;
    QLabel* m_textLabel = nullptr;
};

#endif // LOCKERBUTTON_H
