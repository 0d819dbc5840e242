#ifndef ALLPARAMETERWIDGET_H
#define ALLPARAMETERWIDGET_H

#include <QFile>
#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <memory>

#include "widgets/singleTools/parameterConfigPage/ParamTableSheet.h"

class AutoResizer;
class QResizeEvent;
class QTimer;

namespace Ui {
class AllParameterWidget;
}

// The full parameter-table page "参数表": the device's whole table (ids 0 to
// 126) in one grid, read, edited and written back in one request, the
// device's defaults restored, the grid exported as CSV. One table request at
// a time, process-wide; a watchdog ends a request the device stops answering.
class AllParameterWidget : public QWidget
{
    Q_OBJECT
public:
    explicit AllParameterWidget(QWidget* parent = nullptr);
    ~AllParameterWidget() override;

    // Caption under which this page acts on bus answers.
    static QString PageCaption();

    static constexpr int kWatchdogIntervalMs = 3000;
    // Tests shorten the watchdog; the page itself always uses 3000 ms.
    void SetWatchdogInterval(int ms) { m_watchdogInterval = ms; }
    bool IsWatchdogActive() const;
    int TableReadFlag() const { return m_tableReadFlag; }

public slots:
    void slot_display_param_table_value(int id, QVariant var1, QVariant var2);

private slots:
    void on_get_normal_param_clicked();
    void on_set_normal_param_clicked();
    void on_set_normal_param_default_clicked();
    void on_btn_export_csv_clicked();
    void slot_watchdog_timeout();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void InitWdiget();
    void InitAutoResize();
    void InitTimer();
    void ApplyColumnWidths();
    // The guard shared by the three request buttons; false stops the button.
    bool RequestAllowed();
    void RestartWatchdog();
    void EndRequest();
    void ShowStatus(const QString& text);
    void ShowTable(const QVariant& var2);
    // At a disconnect: the grid shows no values and a write needs a new read.
    void ForgetTable();
    QString CellText(int row, int column) const;
    void SetCellText(int row, int column, const QString& text);

    std::unique_ptr<Ui::AllParameterWidget> ui;
    std::unique_ptr<AutoResizer> m_autoResizer;
    QPointer<QTimer> m_watchdog;
    int m_watchdogInterval = kWatchdogIntervalMs;
    int m_tableReadFlag = 0;
    QFile m_exportFile;
    ParamTableSheet::ShownTable m_shown;
};

#endif // ALLPARAMETERWIDGET_H
