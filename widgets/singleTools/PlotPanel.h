#ifndef PLOTPANEL_H
#define PLOTPANEL_H

#include <QObject>

#include <array>

#include "widgets/singleTools/PageClock.h"

class LivePlot;
class QTimer;
class QWidget;

// The three scrolling plots of a live page (AHRS data, 33-IMU array) and
// their auto-zoom: every 100 ms each plot's y axis widens to take in the
// points of its x window, unless a wheel turn or a press on the plot paused
// it; the pause ends once both kinds of mark are older than the resume
// delay (checked every 500 ms).
//
// The plots scroll at up to 50 refreshes a second, so they are drawn the
// cheap way: straight onto the window (LivePlot), the three in one paint,
// curves without antialiasing as one-pixel polylines, axis titles and
// legend names shaped once, tick labels from a pixmap cache, and nothing at
// all while the page is hidden (the page catches up when it is shown again).
class PlotPanel : public QObject
{
    Q_OBJECT
public:
    enum MarkKind { MARK_WHEEL, MARK_PRESS };

    // The plots stay the page's; the panel only drives them.
    PlotPanel(QWidget* page, const std::array<LivePlot*, 3>& plots, const PageClock& clock);

    LivePlot* Plot(int plot) const { return m_plots[plot]; }
    // Once the page has added its graphs and named its axes: legend
    // entries and axis titles that lay out their text once instead of at
    // every replot.
    void UseOwnTexts();

    // The auto-zoom tick every 100 ms and both resume ticks every 500 ms;
    // the page starts them with its first sample.
    void StartTimers();
    // The auto-zoom tick alone, on or off (a resume delay of 0 stops it).
    void SetAutoZoom(bool on);
    bool IsAutoZoomRunning() const;

    int ResumeDelayS() const { return m_resume_delay_s; }
    void SetResumeDelayS(int seconds) { m_resume_delay_s = seconds; }

    // A wheel turn or a press on a plot: its auto-zoom pauses.
    void Pause(int plot, MarkKind kind);
    bool IsPaused(int plot) const { return m_paused[plot]; }

    void AutoZoomTick();
    void PressResumeTick();
    void WheelResumeTick();

    // Moves every x axis to the window [t - windowS, t] and replots.
    void Scroll(double t, double windowS);
    // All three plots drawn anew at the next paint of the window; a hidden
    // page paints nothing until it is shown.
    void Replot();

private:
    struct PauseMark
    {
        bool pending = false;
        qint64 stamp = 0; // monotonic ms
    };

    void ResumeTick(std::array<PauseMark, 3>& own, const std::array<PauseMark, 3>& other);

    std::array<LivePlot*, 3> m_plots{};
    const PageClock& m_clock;
    QTimer* m_auto_zoom_timer = nullptr;
    QTimer* m_press_resume_timer = nullptr;
    QTimer* m_wheel_resume_timer = nullptr;
    int m_resume_delay_s = 10;
    bool m_paused[3] = {false, false, false};
    std::array<PauseMark, 3> m_wheel_marks;
    std::array<PauseMark, 3> m_press_marks;
};

#endif // PLOTPANEL_H
