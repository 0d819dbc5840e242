#ifndef PLOTAXISTITLE_H
#define PLOTAXISTITLE_H

#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QPointer>
#include <QString>

#include <qcustomplot.h>

// The title of a live plot's bottom or left axis ("t", "accel", ...), laid
// out once: the library measures and shapes its label text three times at
// every replot, which at 50 replots a second is a good part of a plot's
// cost. The axis itself then has no label and keeps the label's room in
// its padding, so the plot's margins do not move; the title is drawn in
// that room, centred along the axis.
class PlotAxisTitle : public QCPLayerable
{
    Q_OBJECT
public:
    // Takes over the label of the axis, if it has one.
    explicit PlotAxisTitle(QCPAxis* axis);

    // Titles for the bottom and left axes of the plot that have a label.
    static void UseForAxesOf(QCustomPlot* plot);
    // The title that took over the axis's label, or null.
    static PlotAxisTitle* Of(const QCPAxis* axis);

    const QString& Text() const { return m_text; }

protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override;
    void draw(QCPPainter* painter) override;

private:
    void LayOut(QPaintDevice* device);

    QPointer<QCPAxis> m_axis; // the plot may drop an axis
    QString m_text;
    QFont m_font;
    QColor m_color;
    int m_padding = 0;      // the axis's own padding, outside the title
    int m_text_height = 0;  // the label's room across the axis
    // The shaped text, for the device it was laid out for.
    QList<QGlyphRun> m_glyphs;
    double m_glyphs_width = 0;
    int m_glyphs_dpi = 0;
};

#endif // PLOTAXISTITLE_H
