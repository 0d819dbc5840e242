#ifndef IMUPARAMETERCONFIGWIDGET_H
#define IMUPARAMETERCONFIGWIDGET_H

#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <memory>
#include <optional>

class AutoResizer;
class QComboBox;
class QEvent;
class QResizeEvent;
class SetPromptDialog;

namespace Ui {
class ImuParameterConfigWidget;
}

// The basic parameter page "参数设置": reads the device's basic parameters
// into a form, writes them back after checking the form, exports the whole
// parameter table as CSV and imports NAME:value files for the batch dialog.
class ImuParameterConfigWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ImuParameterConfigWidget(QWidget* parent = nullptr);
    ~ImuParameterConfigWidget() override;

    // Caption under which this page acts on bus answers.
    static QString PageCaption();

    bool isPositiveInteger(const QString& text) const;
    void CompareAndShow(QComboBox* box, float value);
    // Reads the import file; false with the reason in *error (see
    // ParamCsv::ReadImportFile).
    bool ReadCsv(const QString& path, QMap<QString, float>& out, QString* error);

    // Milliseconds on a monotonic clock for the click filter; tests replace
    // it to step time exactly.
    using ClockFunction = qint64 (*)();
    static void SetClockForTest(ClockFunction clock);
    // Last accepted clicks of read and write, shared by every page.
    static void ResetClickFilterForTest();

    // A device value truncated toward zero; empty for NaN, infinities and
    // values no 32-bit int holds.
    static std::optional<int> DeviceValueToInt(float value);

    SetPromptDialog* BatchDialog() const { return m_setPromptDialog.get(); }

    // One request at a time: a read, a write or an export runs until its
    // last answer has come (or, for an export, until nothing has come for
    // the watchdog's interval).
    enum class Request { None, Read, Write, Export };
    Request RunningRequest() const { return m_request; }
    static constexpr int kExportWatchdogMs = 3000;
    // Tests shorten the export watchdog.
    void SetExportWatchdogInterval(int ms) { m_exportWatchdog.setInterval(ms); }

public slots:
    void slot_display_parameter_config(int id, QVariant var1, QVariant var2);
    void slot_show_status_text(int type, QStringList texts);

private slots:
    void on_button_read_clicked();
    void on_button_write_clicked();
    void on_comboBoxBaud_currentIndexChanged(int index);
    void on_comboBoxUpdate_currentIndexChanged(int index);
    void on_combo_box_stream_status_currentIndexChanged(int index);
    void on_btn_export_param_clicked();
    void on_btn_import_config_clicked();
    void on_btn_open_config_path_clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void InitWidget();
    void InitAutoResize();
    void HideImportRow();
    void CheckConnection();
    void ShowStatus(const QString& text);
    void ShowParamData(const QVariant& var1);
    // Every value field back to "N/A" or empty.
    void ClearValues();
    // The device is disconnected: the form and the status go back to how
    // the page started, so nothing of it passes for the next device's.
    void ForgetDevice();
    void ExportTable(const QVariant& var2);
    // Ends a failed export: the file it opened goes, the status says why.
    void FailExport(const QString& status);
    // True when the page may start a request (none runs); says so otherwise.
    bool RequestAllowed();
    // Marks the request as running when a device worker is there to end it.
    void StartRequest(Request request);
    void EndRequest();
    void slot_export_watchdog();
    static void FillBaudItems(QComboBox* box);
    static void FillUpdateItems(QComboBox* box);
    static bool AcceptClick(qint64* lastAccepted);

    std::unique_ptr<Ui::ImuParameterConfigWidget> ui;
    std::unique_ptr<AutoResizer> m_autoResizer;
    std::unique_ptr<SetPromptDialog> m_setPromptDialog;
    QFile m_exportFile;
    QString m_preConfigPath;
    Request m_request = Request::None;
    // The running read has shown the device's values.
    bool m_readGotData = false;
    QTimer m_exportWatchdog;

    static qint64 m_lastReadClick;
    static qint64 m_lastWriteClick;
    static ClockFunction m_clock;
};

#endif // IMUPARAMETERCONFIGWIDGET_H
