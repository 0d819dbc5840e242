#ifndef AHRSDATAWIDGET_H
#define AHRSDATAWIDGET_H

#include <QMutex>
#include <QString>
#include <QVariant>
#include <QVector>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

#include "widgets/singleTools/AhrsSeries.h"
#include "widgets/singleTools/PacketLossChecker.h"
#include "widgets/singleTools/PageClock.h"
#include "widgets/singleTools/PlotPanel.h"
#include "widgets/singleTools/TimeSyncReadout.h"
#include "widgets/singleTools/TrailingRefresh.h"
#include "workerThread/PayloadTypes.h"

class AutoResizer;
class QCustomPlot;
class QMouseEvent;
class QResizeEvent;
class QWheelEvent;

namespace Ui {
class AHRSDataWidget;
}

// The AHRS data page: the streamed samples as readouts and three scrolling
// plots, recording of the raw port stream, and the packet-loss, TIME_SYNC
// and output-rate tools.
class AHRSDataWidget : public QWidget
{
    Q_OBJECT
public:
    explicit AHRSDataWidget(QWidget* parent = nullptr);
    ~AHRSDataWidget() override;

    enum SeriesId {
        SERIES_ACC_X, SERIES_ACC_Y, SERIES_ACC_Z,
        SERIES_GYRO_X, SERIES_GYRO_Y, SERIES_GYRO_Z,
        SERIES_ROLL, SERIES_PITCH, SERIES_YAW, SERIES_TEMP,
        SERIES_COUNT
    };

    static QString MsToBeijingTimeString(unsigned long ms);

    // Read access for tests and the plots.
    const AhrsSeries& Series(int id) const { return m_series[id]; }
    float PlotRateHz() const { return m_plot_rate_hz; }
    float LabelRateHz() const { return m_label_rate_hz; }
    int ResumeDelayS() const;
    bool IsPlotPaused(int plot) const;
    uint32_t LostPacketCount() const { return m_lose.Count(); }
    QString SaveDir() const { return m_save_dir; }

    // Tests drive the page time with a clock of their own.
    void SetClockSource(PageClock::Source source) { m_clock.SetSource(std::move(source)); }

    void AddDataToVec(const AhrsData& sample, double t);
    void UpdateNumValue(const AhrsData& sample, double t);
    void UpdatePlot(double t);
    void ClearVec(QVector<double>& vec);

public slots:
    void slot_display_ahrs_value(int id, QVariant var1, QVariant var2);
    // The worker's report that the running recording has failed.
    void slot_record_answer(int id, QVariant var1, QVariant var2);

    void slot_on_mouse_wheel_1(QWheelEvent* event);
    void slot_on_mouse_wheel_2(QWheelEvent* event);
    void slot_on_mouse_wheel_3(QWheelEvent* event);
    void slot_on_mouse_press_1(QMouseEvent* event);
    void slot_on_mouse_press_2(QMouseEvent* event);
    void slot_on_mouse_press_3(QMouseEvent* event);

    void slot_auto_zoom_tick();
    void slot_press_resume_tick();
    void slot_wheel_resume_tick();

private slots:
    void on_hs_ahrs_update_rate_valueChanged(int value);
    void on_hs_label_update_rate_valueChanged(int value);
    void on_btn_set_customLayout_clicked();
    void on_spinBox_valueChanged(int value);
    void on_btn_reset_data_clicked();
    void on_btn_lose_pkt_start_clicked();
    void on_btn_lose_pkt_reset_clicked();
    void on_spinBox_lose_pkt_valueChanged(int value);
    void on_btn_open_time_sync_detect_clicked();
    void on_btn_select_data_rate_clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InitAutoZoomTimer();
    void InitWidget();
    void InitAutoResize();
    void InitPlot();
    void HandleSample(const QVariant& var1);
    bool HandleRecordPress();
    QString DefaultRecordFileName() const;
    QCustomPlot* Plot(int plot) const;
    // Whether the series shown by graph g of plot p grows at the plot's
    // present selector index.
    bool Grows(int plot, int graph) const;
    double PageTime() const;

    QString m_save_dir;
    QString m_record_path; // file of the recording this page started last
    PacketLossChecker m_lose;          // lost count, frame interval, last MCU time
    bool m_lose_pkt_check = false;
    bool m_time_sync_check = false;
    float m_plot_rate_hz = 50.0f;
    float m_label_rate_hz = 5.0f;
    Ui::AHRSDataWidget* ui = nullptr;
    // The plots' auto-zoom with its pause and resume, and their replots.
    PlotPanel* m_panel = nullptr;
    std::unique_ptr<AutoResizer> m_resizer;
    // Page time starts at the first sample, on the monotonic clock.
    bool m_started = false;
    qint64 m_start_ns = 0;
    int32_t m_series_index[3] = {0, 0, 0};
    AhrsSeries m_series[SERIES_COUNT];
    double m_last_add_time = 0.0;
    double m_last_plot_time = 0.0;
    double m_last_label_time = 0.0;
    float m_acc_norm = 0.0f;
    float m_gyro_norm = 0.0f;
    QMutex m_plot_mutex;
    QString m_icon_recording;
    QString m_icon_idle;
    TimeSyncReadout m_time_sync;
    PageClock m_clock;
    // The readouts show the last sample of a burst once their interval has
    // run out.
    AhrsData m_latest_sample{};
    TrailingRefresh m_label_tail;
};

#endif // AHRSDATAWIDGET_H
