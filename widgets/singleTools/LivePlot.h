#ifndef LIVEPLOT_H
#define LIVEPLOT_H

#include <qcustomplot.h>

// A plot of a live page, redrawn up to 50 times a second. It draws itself
// straight onto the window at each paint, on a white background, instead of
// drawing into QCustomPlot's paint buffer first and then copying the whole
// buffer onto the window: at that rate the copy and the buffer's clearing
// cost about as much as drawing the curves. A replot of the library still
// works (it ends in a paint); Redraw() just skips its buffer.
class LivePlot : public QCustomPlot
{
    Q_OBJECT
public:
    explicit LivePlot(QWidget* parent = nullptr);

    // The plot as it now stands, drawn at the next paint of the window.
    void Redraw();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PinTickLabelFonts();
};

#endif // LIVEPLOT_H
