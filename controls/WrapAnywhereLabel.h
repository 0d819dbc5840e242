#ifndef WRAPANYWHERELABEL_H
#define WRAPANYWHERELABEL_H

#include <QLabel>

class QTextLayout;

// A label whose text wraps at word boundaries and, where a word is longer
// than the line (a file path), inside the word. A status that names a long
// path then keeps to the width its window has, in as many lines as it
// needs, instead of widening the window past the screen. It takes the width
// its layout gives it and asks only for the height of its lines.
class WrapAnywhereLabel : public QLabel
{
    Q_OBJECT
public:
    explicit WrapAnywhereLabel(QWidget* parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Lays the text out in lines of the given width; returns their height.
    qreal LayOut(QTextLayout& layout, qreal width) const;
    int TextWidthFor(int width) const;
};

#endif // WRAPANYWHERELABEL_H
