// The live pages' plots draw the same picture as the library's own plot
// (axis titles, legend, curves, white background), only cheaper.
#include "widgets/singleTools/LivePlot.h"
#include "widgets/singleTools/PlotAxisTitle.h"
#include "widgets/singleTools/PlotLegendItem.h"

#include <QtTest>

#include <qcustomplot.h>

namespace {

void Dress(QCustomPlot* plot)
{
    plot->resize(420, 300);
    plot->setPlottingHint(QCP::phCacheLabels, true);
    plot->xAxis->setLabel("t");
    plot->yAxis->setLabel("attitude");
    plot->legend->setVisible(true);
    plot->xAxis->setRange(10, 5, Qt::AlignRight);
    plot->yAxis->setRange(-100, 100);
    const QColor colours[3] = {Qt::red, Qt::blue, Qt::green};
    for (int g = 0; g < 3; ++g) {
        QCPGraph* graph = plot->addGraph();
        graph->setName(QStringList{"roll", "pitch", "yaw"}.at(g));
        graph->setPen(QPen(colours[g]));
        QVector<double> keys;
        QVector<double> values;
        for (int i = 0; i < 500; ++i) {
            keys << 5 + i * 0.01;
            values << 80 * std::sin(i * 0.02 + g);
        }
        graph->setData(keys, values, true);
    }
}

QImage Picture(QCustomPlot* plot)
{
    plot->replot();
    return plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels of the region that differ by more than a rounding step of a blend.
int DifferingPixels(const QImage& a, const QImage& b, const QRect& region)
{
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (qAbs(qRed(p) - qRed(q)) > 2 || qAbs(qGreen(p) - qGreen(q)) > 2 || qAbs(qBlue(p) - qBlue(q)) > 2) {
                ++count;
            }
        }
    }
    return count;
}

// The bounding box of the dark pixels (text) in the region.
QRect InkBox(const QImage& image, const QRect& region)
{
    QRect box;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 160) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

} // namespace

class TestLivePlot : public QObject
{
    Q_OBJECT

private slots:
    void drawsWhatTheLibraryDraws()
    {
        QCustomPlot library;
        library.setBackground(Qt::white);
        Dress(&library);
        LivePlot live;
        Dress(&live);
        PlotLegendItem::UseForGraphsOf(&live);
        PlotAxisTitle::UseForAxesOf(&live);

        QCOMPARE(PlotAxisTitle::Of(live.xAxis)->Text(), QString("t"));
        QCOMPARE(PlotAxisTitle::Of(live.yAxis)->Text(), QString("attitude"));
        QVERIFY(live.xAxis->label().isEmpty());

        const QImage expected = Picture(&library);
        const QImage actual = Picture(&live);
        QCOMPARE(actual.size(), expected.size());
        // The margins did not move, and inside the axis rect (curves, grid,
        // legend) the pictures are the same.
        const QRect inner = live.axisRect()->rect();
        QCOMPARE(inner, library.axisRect()->rect());
        QCOMPARE(DifferingPixels(expected, actual, inner), 0);

        // Each title: its text, centred along the axis, between the tick
        // labels and the edge of the plot.
        const QFontMetrics metrics(live.xAxis->labelFont(), &live);
        const QRect below(inner.left(), inner.bottom() + 1, inner.width(), actual.height() - inner.bottom() - 1);
        const QRect tickLabelsBelow = InkBox(actual, below.adjusted(0, 0, 0, -live.xAxis->padding()));
        const QRect xTitle = InkBox(actual, below.adjusted(0, tickLabelsBelow.bottom() - below.top() + 1, 0, 0));
        QVERIFY(!tickLabelsBelow.isEmpty() && !xTitle.isEmpty());
        QVERIFY(qAbs(xTitle.center().x() - inner.center().x()) <= 3);
        QVERIFY(qAbs(xTitle.width() - metrics.boundingRect("t").width()) <= 2);
        QVERIFY(xTitle.bottom() < actual.height() - 1);

        const QRect leftOf(0, inner.top(), inner.left(), inner.height());
        const QRect tickLabelsLeft = InkBox(actual, leftOf.adjusted(live.yAxis->padding(), 0, 0, 0));
        const QRect yTitle = InkBox(actual, leftOf.adjusted(0, 0, tickLabelsLeft.left() - leftOf.right() - 1, 0));
        QVERIFY(!tickLabelsLeft.isEmpty() && !yTitle.isEmpty());
        QVERIFY(qAbs(yTitle.center().y() - inner.center().y()) <= 3);
        QVERIFY2(qAbs(yTitle.height() - metrics.boundingRect("attitude").width()) <= 3,
                 qPrintable(QString::number(yTitle.height())));
        QVERIFY(yTitle.left() > 0);
    }

    // The page scales its widgets' fonts with the window; the plot draws
    // straight onto its widget, and that font must not leak into it.
    void widgetFontDoesNotReachThePlot()
    {
        LivePlot plain;
        Dress(&plain);
        PlotLegendItem::UseForGraphsOf(&plain);
        PlotAxisTitle::UseForAxesOf(&plain);
        LivePlot scaled;
        Dress(&scaled);
        PlotLegendItem::UseForGraphsOf(&scaled);
        PlotAxisTitle::UseForAxesOf(&scaled);
        QFont big = scaled.font();
        big.setPointSizeF(big.pointSizeF() * 2.5);
        scaled.setFont(big);
        QCOMPARE(DifferingPixels(Picture(&plain), Picture(&scaled), QRect(0, 0, 420, 300)), 0);
    }

    // Tick labels are cached by their text: those drawn before the window
    // (and with it the plot's widget font) grew must match those drawn after.
    void tickLabelsKeepOneSizeThroughAResize()
    {
        LivePlot plain;
        LivePlot resized;
        for (LivePlot* plot : {&plain, &resized}) {
            Dress(plot);
            PlotLegendItem::UseForGraphsOf(plot);
            PlotAxisTitle::UseForAxesOf(plot);
        }
        // Painted on screen, as in the program: a picture taken with grab()
        // does not give the painter the widget's font.
        const auto painted = [](LivePlot* plot) {
            plot->repaint();
            return plot->screen()->grabWindow(plot->winId()).toImage().convertToFormat(QImage::Format_RGB32);
        };
        for (LivePlot* plot : {&plain, &resized}) {
            plot->show();
            QVERIFY(QTest::qWaitForWindowExposed(plot));
        }
        painted(&resized);
        QFont big = resized.font();
        big.setPointSizeF(big.pointSizeF() * 2.5);
        resized.setFont(big);
        for (LivePlot* plot : {&plain, &resized}) {
            plot->xAxis->setRange(13, 5, Qt::AlignRight);
        }
        QCOMPARE(DifferingPixels(painted(&plain), painted(&resized), QRect(0, 0, 420, 300)), 0);
    }

    void resizedPlotFillsItsNewSize()
    {
        LivePlot live;
        Dress(&live);
        Picture(&live);
        live.resize(600, 380);
        const QImage picture = Picture(&live);
        QCOMPARE(picture.size(), QSize(600, 380));
        // White in the far corner: the buffer grew with the plot.
        QCOMPARE(picture.pixel(595, 5), qRgb(255, 255, 255));
    }
};

QTEST_MAIN(TestLivePlot)
#include "tst_live_plot.moc"
