#ifndef AHRSGROUPWIDGET_H
#define AHRSGROUPWIDGET_H

#include <QString>
#include <QVariant>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <memory>

#include "widgets/singleTools/PageClock.h"
#include "workerThread/PayloadTypes.h"

class AHRSGroupCommonWidget;
class QFile;
class QResizeEvent;

namespace Ui {
class AHRSGroupWidget;
}

// Production test station for AHRS devices: each started device is asked for
// its attribute record, judged against the expected values of the group-test
// settings file, counted there, and its result written to
// data/<serial number>.csv. Its live samples are plotted meanwhile and give
// the temperature the verdict uses.
class AHRSGroupWidget : public QWidget
{
    Q_OBJECT
public:
    explicit AHRSGroupWidget(QWidget* parent = nullptr);
    ~AHRSGroupWidget() override;

    enum SeriesId { SERIES_ACC_X, SERIES_ACC_Y, SERIES_ACC_Z, SERIES_GYRO_X, SERIES_GYRO_Y, SERIES_GYRO_Z,
                    SERIES_COUNT };
    static constexpr int kMaxPoints = 500;

    // The temperature shared with the waiting tasks. Outlives the page, so a
    // task still waiting when the page goes away ends without touching it.
    struct WaitState
    {
        std::atomic<double> imu_temp{0.0};
        // The page no longer waits on this state: it is gone, or the
        // connection the task was started on has ended.
        std::atomic<bool> page_gone{false};
        // A task waits for this page's device: a second start before it has
        // sent adds no second task (the device would be judged twice).
        std::atomic<bool> task_waiting{false};
    };

    int ReadConfig();
    int ModifyConfig(unsigned int testCount, unsigned int successCount);
    void DisplayAHRSAttributeData(const ArrayImuI2cPayloadCalibPublish& record, const VersionPayload& version);
    // Writes the result file; false, with the reason in *error, when it
    // could not be written whole.
    bool WriteToFile(const QString& sn, QString* error = nullptr);
    void DisplayUnderLabel();

    // Read access for tests.
    double ImuTemp() const { return m_wait_state->imu_temp.load(); }
    // Waiting tasks of every page, still on the pool.
    static int WaitingTasks();
    int FailureCount() const { return m_fail_total; }
    int FaultCodeFailures() const { return m_fail_fault_code; }
    const QVector<double>& SeriesKeys(int id) const { return m_keys[id]; }
    int SeriesCount(int id) const { return m_counts[id]; }
    QString DataFolder() const { return m_data_dir; }
    // The result folder: "data" beside the executable, or the user's own
    // application data folder when that one cannot be created or written.
    static QString ChooseDataFolder(const QString& besideExecutable, const QString& perUser);
    AHRSGroupCommonWidget* SettingsForm() const { return m_common_widget; }
    // Tests drive the page time with a clock of their own.
    void SetClockSource(PageClock::Source source);

public slots:
    void slot_display_Ahrs_group_value(int id, QVariant var1, QVariant var2);

private slots:
    void on_btn_set_config_clicked();
    void slot_reload_config();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void InitWidget();
    void InitAutoResize();
    void StartTest();
    // Says on the page what the test waits for.
    void ShowWaitStatus();
    void EnqueueWaitTask();
    // Ends the waiting task of the connection that has just ended.
    void EndWaitTask();
    static void EnqueueOnPool(const std::shared_ptr<WaitState>& state);
    void AddDataToVec(const AhrsData& data, double t);
    void DisplayAHRSPlotData(double t);
    void DisplayAHRSNumValue(const AhrsData& data, double t);
    bool Selected(int series) const;
    double PageTime() const;

    Ui::AHRSGroupWidget* ui = nullptr;
    PageClock m_clock;
    double m_start_time = 0.0;
    std::shared_ptr<WaitState> m_wait_state;
    double m_compare_temp = 0.0;
    int m_firmware_version = 0;
    int m_hardware_version = 0;
    QString m_board_version;
    int m_test_count = 0;
    int m_success_count = 0;
    int m_config_code = 0;
    int m_imu_code = 0;
    int m_param_code = 0;
    QString m_config_path;
    QFile* m_file = nullptr;
    QString m_data_dir;
    AHRSGroupCommonWidget* m_common_widget = nullptr;
    int m_fail_total = 0;
    int m_fail_firmware = 0;
    int m_fail_hardware = 0;
    int m_fail_board = 0;
    int m_fail_temp = 0;
    int m_fail_fault_code = 0;

    QVector<double> m_keys[SERIES_COUNT];
    QVector<double> m_values[SERIES_COUNT];
    int m_counts[SERIES_COUNT] = {0, 0, 0, 0, 0, 0};
    double m_last_add_time = 0.0;
    double m_last_plot_time = 0.0;
    double m_last_label_time = 0.0;
    int m_acc_select = 0;
    int m_gyro_select = 0;
};

#endif // AHRSGROUPWIDGET_H
