#include "widgets/singleTools/PlotPanel.h"

#include <QTimer>
#include <QWidget>

#include "widgets/singleTools/LivePlot.h"

#include "widgets/singleTools/PlotAxisTitle.h"
#include "widgets/singleTools/PlotLegendItem.h"

namespace {
constexpr int kAutoZoomPeriodMs = 100;
constexpr int kResumePeriodMs = 500;
}

PlotPanel::PlotPanel(QWidget* page, const std::array<LivePlot*, 3>& plots, const PageClock& clock)
    : QObject(page)
    , m_plots(plots)
    , m_clock(clock)
{
    for (QCustomPlot* plot : m_plots) {
        // Curves without antialiasing, as one-pixel cosmetic polylines: the
        // raster engine draws a whole polyline of those faster than the
        // segment-by-segment lines of QCustomPlot's "fast polylines" hint
        // (measured: about a third less time per replot).
        plot->setNotAntialiasedElements(QCP::aePlottables);
        plot->setPlottingHint(QCP::phFastPolylines, false);
        plot->setPlottingHint(QCP::phCacheLabels, true);
        // A replot (the library's own, after a drag or zoom) marks the plot
        // for the next paint of the window instead of painting it at once.
        plot->setPlottingHint(QCP::phImmediateRefresh, false);
        // For the library's own replots: one paint buffer instead of two;
        // the overlay layer holds nothing here, yet as a buffer of its own
        // it would be cleared and blended at every replot.
        if (QCPLayer* overlay = plot->layer(QStringLiteral("overlay"))) {
            overlay->setMode(QCPLayer::lmLogical);
        }
    }
    m_auto_zoom_timer = new QTimer(this);
    m_press_resume_timer = new QTimer(this);
    m_wheel_resume_timer = new QTimer(this);
    connect(m_auto_zoom_timer, &QTimer::timeout, this, &PlotPanel::AutoZoomTick);
    connect(m_press_resume_timer, &QTimer::timeout, this, &PlotPanel::PressResumeTick);
    connect(m_wheel_resume_timer, &QTimer::timeout, this, &PlotPanel::WheelResumeTick);
}

void PlotPanel::UseOwnTexts()
{
    for (QCustomPlot* plot : m_plots) {
        PlotLegendItem::UseForGraphsOf(plot);
        PlotAxisTitle::UseForAxesOf(plot);
    }
}

void PlotPanel::StartTimers()
{
    m_auto_zoom_timer->start(kAutoZoomPeriodMs);
    m_press_resume_timer->start(kResumePeriodMs);
    m_wheel_resume_timer->start(kResumePeriodMs);
}

void PlotPanel::SetAutoZoom(bool on)
{
    if (!on) {
        m_auto_zoom_timer->stop();
    } else if (!m_auto_zoom_timer->isActive()) {
        m_auto_zoom_timer->start(kAutoZoomPeriodMs);
    }
}

bool PlotPanel::IsAutoZoomRunning() const
{
    return m_auto_zoom_timer->isActive();
}

void PlotPanel::Pause(int plot, MarkKind kind)
{
    PauseMark& mark = kind == MARK_WHEEL ? m_wheel_marks[plot] : m_press_marks[plot];
    m_paused[plot] = true;
    mark.pending = true;
    mark.stamp = m_clock.NowMs();
}

void PlotPanel::AutoZoomTick()
{
    for (int p = 0; p < 3; ++p) {
        if (m_paused[p]) {
            continue;
        }
        QCustomPlot* plot = m_plots[p];
        for (int g = 0; g < plot->graphCount(); ++g) {
            plot->graph(g)->rescaleValueAxis(true, true);
        }
    }
}

void PlotPanel::ResumeTick(std::array<PauseMark, 3>& own, const std::array<PauseMark, 3>& other)
{
    const qint64 now = m_clock.NowMs();
    const qint64 delayMs = static_cast<qint64>(m_resume_delay_s) * 1000;
    for (int p = 0; p < 3; ++p) {
        if (own[p].pending && now - own[p].stamp > delayMs) {
            if (!other[p].pending) {
                m_paused[p] = false;
            }
            own[p].pending = false;
        }
    }
}

void PlotPanel::PressResumeTick()
{
    ResumeTick(m_press_marks, m_wheel_marks);
}

void PlotPanel::WheelResumeTick()
{
    ResumeTick(m_wheel_marks, m_press_marks);
}

void PlotPanel::Scroll(double t, double windowS)
{
    for (QCustomPlot* plot : m_plots) {
        plot->xAxis->setRange(t, windowS, Qt::AlignRight);
    }
    Replot();
}

void PlotPanel::Replot()
{
    // A hidden page's plots are not painted; shown again, they are painted
    // from what they hold then.
    for (LivePlot* plot : m_plots) {
        plot->Redraw();
    }
}
