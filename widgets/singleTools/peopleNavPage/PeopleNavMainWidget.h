#ifndef PEOPLENAVMAINWIDGET_H
#define PEOPLENAVMAINWIDGET_H

#include <QVariant>
#include <QWidget>

#include <memory>

#include "widgets/singleTools/PageClock.h"
#include "widgets/singleTools/TrailingRefresh.h"
#include "widgets/singleTools/peopleNavPage/WalkTrack.h"
#include "workerThread/PayloadTypes.h"

class AutoResizer;
class QCPCurve;
class QCPItemRect;
class QMouseEvent;
class QResizeEvent;
class QTimer;
class QWheelEvent;

namespace Ui {
class PeopleNavMainWidget;
}

// Live view of the pedestrian-navigation unit: the walked track (position x
// against y), the latest sample's values, recording of the raw port stream
// and a track reset that also resets the device's dead reckoning.
class PeopleNavMainWidget : public QWidget
{
    Q_OBJECT
public:
    explicit PeopleNavMainWidget(QWidget* parent = nullptr);
    ~PeopleNavMainWidget() override;

    // The text the device takes as "start the track again".
    static const char* const kResetCommand;

    // The sample carried by a navigation answer; any other payload is a
    // sample of zeros.
    static PeopleNavPayload SampleFromVariant(const QVariant& var);

    // Read access for tests and benchmarks.
    QCPCurve* Track() const { return m_track; }
    const WalkTrack& Walk() const { return m_walk; }
    QCPItemRect* OriginMarker() const { return m_origin; }
    bool IsDropping() const { return m_drop; }
    bool IsPaused() const { return m_paused; }

    // Tests drive the page time with a clock of their own.
    void SetClockSource(PageClock::Source source) { m_clock.SetSource(std::move(source)); }

public slots:
    void slot_display_people_nav_value(int id, QVariant var1, QVariant var2);
    void slot_on_mouse_wheel(QWheelEvent* event);
    void slot_on_mouse_press(QMouseEvent* event);

    void slot_auto_zoom_tick();
    void slot_press_expiry_tick();
    void slot_wheel_expiry_tick();

private slots:
    void on_btn_clear_track_clicked();
    void on_btn_save_data_clicked();
    void slot_device_gone();
    // The worker's report that the running recording has failed.
    void slot_record_answer(int id, QVariant var1, QVariant var2);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void InitAutoResize();
    void InitPlot();
    void InitZero();
    void InitAutoZoomTimer();
    void UpdateLabels(const PeopleNavPayload& sample);
    void AddTrackPoint(double x, double y);
    void Replot();

    int m_delay_s = 10;
    QString m_record_path; // file of the recording this page started last
    std::unique_ptr<AutoResizer> m_resizer;
    QTimer* m_auto_zoom_timer = nullptr;
    QTimer* m_press_timer = nullptr;
    QTimer* m_wheel_timer = nullptr;
    bool m_paused = false;
    bool m_wheel_flag = false;
    qint64 m_wheel_time = 0; // monotonic ms
    bool m_press_flag = false;
    qint64 m_press_time = 0; // monotonic ms
    Ui::PeopleNavMainWidget* ui = nullptr;
    QCPItemRect* m_origin = nullptr;
    QCPCurve* m_track = nullptr;
    bool m_drop = false;
    // Page time starts at the first sample, on the monotonic clock.
    bool m_started = false;
    qint64 m_start_ns = 0;
    double m_last_label_time = 0.0;
    PageClock m_clock;
    // The whole walk, and the thinned copy the curve draws.
    WalkTrack m_walk;
    // Replots at most every 40 ms; the newest point is drawn when that runs
    // out.
    qint64 m_last_replot_ns = 0;
    bool m_replotted = false;
    TrailingRefresh m_replot_tail;
};

#endif // PEOPLENAVMAINWIDGET_H
