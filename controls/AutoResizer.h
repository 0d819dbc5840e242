#ifndef AUTORESIZER_H
#define AUTORESIZER_H

#include <QFont>
#include <QRect>
#include <QScopedPointer>

class QWidget;
class AutoResizerPrivate;

namespace AutoResizeT {
// Geometry and font of one widget as it was at the design size.
struct AutoResizeOriginalData
{
    QRect data_rect;
    QFont data_font;
};
} // namespace AutoResizeT

// Scales a widget tree laid out at a fixed design size to the present size of
// its root: geometry in proportion to width and height, fonts by the smaller
// of the two ratios. Owners call doAutoResize() from their resizeEvent.
class AutoResizer
{
public:
    // Bits for setAutoResizeFlag: which kinds of descendants are recorded.
    enum ResizeKind {
        INCLUDE_LABEL = 1,
        INCLUDE_BUTTON = 2,
        INCLUDE_EDITOR = 4,
        INCLUDE_COMBOBOX = 8
    };

    AutoResizer(QWidget* root, float designWidth, float designHeight);
    ~AutoResizer();

    void setAutoResizeFlag(int flags);
    void addAutoResizeItem(QWidget* w);
    void addNoAutoResizeItem(QWidget* w);
    void doneAllResizeItem();
    void doAutoResize();

    float getHorResizeRatio() const;
    float getVerResizeRatio() const;
    float getFontResizeRatio() const;

private:
    Q_DISABLE_COPY(AutoResizer)
    QScopedPointer<AutoResizerPrivate> d_ptr;
    friend class AutoResizerPrivate;
};

#endif // AUTORESIZER_H
