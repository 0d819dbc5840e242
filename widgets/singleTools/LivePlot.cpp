#include "widgets/singleTools/LivePlot.h"

LivePlot::LivePlot(QWidget* parent) : QCustomPlot(parent)
{
    setBackground(Qt::white);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
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
    painter.fillRect(event->rect(), mBackgroundBrush);
    // Lays the plot out as a replot would, then draws every layer.
    draw(&painter);
}
