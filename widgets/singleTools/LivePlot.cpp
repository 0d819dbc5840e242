#include "widgets/singleTools/LivePlot.h"

namespace {

// A painter on a widget fills in every font property the font it is given
// leaves open from the widget's own font, and the page scales that one with
// the window. The library copies its tick label fonts from the plot's font
// with no property set, so each tick label would take the widget's size of
// the moment it was first drawn and keep it in the library's label cache,
// which is keyed by the text alone: a "6" drawn after a resize beside a "5"
// drawn before it. With every property set, the labels keep the size the
// plot was made with, the one the library measures its margins with.
void PinTickLabelFont(QCPAxis* axis)
{
    if (axis->tickLabelFont().resolve() == QFont::AllPropertiesResolved) {
        return;
    }
    QFont pinned = axis->tickLabelFont();
    pinned.resolve(QFont::AllPropertiesResolved);
    // Fonts compare equal whatever properties they have set, and the axis
    // keeps its own font when handed an equal one: step through another.
    QFont other = pinned;
    other.setWordSpacing(pinned.wordSpacing() + 1);
    axis->setTickLabelFont(other);
    axis->setTickLabelFont(pinned);
}

} // namespace

LivePlot::LivePlot(QWidget* parent) : QCustomPlot(parent)
{
    setBackground(Qt::white);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    PinTickLabelFonts();
}

void LivePlot::PinTickLabelFonts()
{
    for (QCPAxisRect* rect : axisRects()) {
        for (QCPAxis* axis : rect->axes()) {
            PinTickLabelFont(axis);
        }
    }
}

void LivePlot::Redraw()
{
    update();
}

void LivePlot::paintEvent(QPaintEvent* event)
{
    QCPPainter painter(this);
    if (!painter.isActive()) {
        return;
    }
    // Axes added or given a font after construction.
    PinTickLabelFonts();
    painter.fillRect(event->rect(), mBackgroundBrush);
    // Lays the plot out as a replot would, then draws every layer.
    draw(&painter);
}
