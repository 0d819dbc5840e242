#ifndef IMU33DATAWIDGET_H
#define IMU33DATAWIDGET_H

#include <QString>
#include <QVariant>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

#include "widgets/singleTools/AhrsSeries.h"
#include "widgets/singleTools/PageClock.h"
#include "widgets/singleTools/PlotPanel.h"
#include "widgets/singleTools/TrailingRefresh.h"
#include "workerThread/PayloadTypes.h"

class AutoResizer;
class QCustomPlot;
class QMouseEvent;
class QResizeEvent;
class QWheelEvent;

namespace Ui {
class Imu33DataWidget;
}

// Live view of the 33-IMU array board: one chosen module at a time as three
// scrolling plots and value labels, and recording of the raw port stream.
class Imu33DataWidget : public QWidget
{
    Q_OBJECT
public:
    explicit Imu33DataWidget(QWidget* parent = nullptr);
    ~Imu33DataWidget() override;

    static constexpr int kModuleCount = 33;

    enum SeriesId {
        SERIES_ACC_X, SERIES_ACC_Y, SERIES_ACC_Z, SERIES_ACC_NORM,
        SERIES_GYRO_X, SERIES_GYRO_Y, SERIES_GYRO_Z,
        SERIES_TEMP,
        SERIES_COUNT
    };

    // The sample carried by an array answer; any other payload is a sample
    // of zeros.
    static AhrsArrayData SampleFromVariant(const QVariant& var);

    // Read access for tests.
    const AhrsSeries& Series(int id) const { return m_series[id]; }
    int ModuleIndex() const { return m_module_index; }
    float PlotRateHz() const { return m_plot_rate_hz; }
    float LabelRateHz() const { return m_label_rate_hz; }
    int AutoZoomDelayS() const;
    bool IsPlotPaused(int plot) const;
    bool IsAutoZoomRunning() const;

    // Tests drive the page time with a clock of their own.
    void SetClockSource(PageClock::Source source) { m_clock.SetSource(std::move(source)); }

public slots:
    void slot_display_ahrs_array_value(int id, QVariant var1, QVariant var2);

    void slot_on_mouse_wheel_1(QWheelEvent* event);
    void slot_on_mouse_wheel_2(QWheelEvent* event);
    void slot_on_mouse_wheel_3(QWheelEvent* event);
    void slot_on_mouse_press_1(QMouseEvent* event);
    void slot_on_mouse_press_2(QMouseEvent* event);
    void slot_on_mouse_press_3(QMouseEvent* event);

    void slot_auto_zoom_tick();
    void slot_press_expiry_tick();
    void slot_wheel_expiry_tick();

private slots:
    void on_comboBox_module_9imu_select_currentIndexChanged(int index);
    void on_btn_save_33imu_data_clicked();
    void on_btn_set_customLayout_clicked();
    void on_hs_ahrs_update_rate_valueChanged(int value);
    void on_hs_label_update_rate_valueChanged(int value);
    void on_spinBox_valueChanged(int arg1);
    void slot_reset_page();
    // The worker's report that the running recording has failed.
    void slot_record_answer(int id, QVariant var1, QVariant var2);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void initWidget();
    void InitAutoZoomTimer();
    void InitSetWidget();
    void InitAutoResize();
    void AddDataToVec(const float* record, double t);
    void UpdatePlot(double t);
    void UpdateNumValue(const float* record, double t);
    double PageTime() const;
    bool Selected(int series) const;
    QCustomPlot* Plot(int plot) const;
    void ShowRecordImage(bool recording);

    float m_plot_rate_hz = 50.0f;
    float m_label_rate_hz = 5.0f;
    QString m_save_dir;
    QString m_record_path; // file of the recording this page started last
    std::unique_ptr<AutoResizer> m_resizer;
    // The plots' auto-zoom with its pause and resume, and their replots.
    PlotPanel* m_panel = nullptr;
    Ui::Imu33DataWidget* ui = nullptr;
    // Page time starts at the first sample, on the monotonic clock.
    bool m_started = false;
    qint64 m_start_ns = 0;
    uint8_t m_module_index = 0;
    int m_acc_select = 0;
    int m_gyro_select = 0;
    int m_temp_select = 0;
    float m_acc_norm = 0.0f;
    AhrsSeries m_series[SERIES_COUNT];
    double m_last_add_time = 0.0;
    double m_last_plot_time = 0.0;
    double m_last_label_time = 0.0;
    PageClock m_clock;
    // The shown module's words of the latest sample, for a held-back refresh.
    std::array<float, 7> m_latest_record{};
    TrailingRefresh m_label_tail;
};

#endif // IMU33DATAWIDGET_H
