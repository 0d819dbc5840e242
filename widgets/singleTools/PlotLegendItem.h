#ifndef PLOTLEGENDITEM_H
#define PLOTLEGENDITEM_H

#include <QFont>
#include <QSize>
#include <QStaticText>
#include <QString>

#include <qcustomplot.h>

// A legend entry of a live plot: the same icon and name as QCustomPlot's own
// entry, but the name is measured and laid out once (again only when it or
// its font changes), where the library's entry measures and shapes its text
// at every replot, which at 50 replots a second is a good part of a plot's
// cost.
class PlotLegendItem : public QCPPlottableLegendItem
{
    Q_OBJECT
public:
    PlotLegendItem(QCPLegend* legend, QCPAbstractPlottable* plottable);

    // Replaces the library's entries of every graph of the plot, in order.
    static void UseForGraphsOf(QCustomPlot* plot);

protected:
    void draw(QCPPainter* painter) override;
    QSize minimumOuterSizeHint() const override;

private:
    void Measure() const;

    mutable QString m_name;
    mutable QFont m_font;
    mutable bool m_measured = false;
    mutable QStaticText m_text;
    mutable QSize m_text_size;
};

#endif // PLOTLEGENDITEM_H
