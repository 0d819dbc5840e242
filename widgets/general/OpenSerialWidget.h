#ifndef OPENSERIALWIDGET_H
#define OPENSERIALWIDGET_H

#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <functional>

#include "workerThread/PayloadTypes.h"

namespace Ui {
class OpenSerialWidget;
}

class QComboBox;
class QFontMetrics;
class QThread;
class QTimer;
class WorkerThreadImu;

// The serial-port panel of the main window: port, baud rate (or an automatic
// search over the offered rates) and one button to connect or disconnect.
// Owns the only device worker and its thread, watches that the open port is
// still present, and closes the port and stops the thread when the
// application exits.
class OpenSerialWidget : public QWidget
{
    Q_OBJECT
public:
    explicit OpenSerialWidget(QWidget* parent = nullptr);
    ~OpenSerialWidget() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

    void ConnectToSerial(int unused = 0);
    void UpdateConnectStatus(SerialState state);
    void InitFlag();
    void ResetALLPage();
    static bool isPositiveInteger(const QString& text);
    // Shown under the button when the device does not answer the version
    // request of a connection.
    static QString VersionUnansweredText();
    void SetAdjustToContentOfComboBox(QComboBox* combo);
    // What the port box shows of an entry ("name # description") in room
    // pixels: the whole entry when it fits, else the port name alone, cut at
    // its start when even that is too long.
    static QString PortTextForWidth(const QString& entry, const QFontMetrics& metrics, int room);

    bool IsAutoSearching() const { return m_auto_searching; }
    bool IsConnected() const;

    // The click debounce reads this clock (monotonic milliseconds); tests
    // put a clock of their own in its place.
    void SetClickClock(std::function<qint64()> clock);

signals:
    void SignalOpenSerial();
    void SignalCloseSerial();
    void SignalAutoConnectionSerial(bool status);
    void SignalUpdateConnectStatueLable(SerialState state);

public slots:
    void on_button_connect_clicked();
    void on_comboBoxbaud_currentIndexChanged(int index);
    void slot_update_serial_open_status(SerialState state);
    void slot_break_serail(int id, QVariant var1, QVariant var2);
    void slot_clos_app();
    void slot_version_unanswered();

private:
    void InitWidget();
    bool PaintPortBox();
    void InitTimer();
    void Connect(const QString& portName);
    void AutoSearch();
    void Disconnect();
    void PortWatch();
    void HandlePortLost();
    bool IsPortListed() const;
    void StopSearch();
    void StopWorkerThread();

    QTimer* m_port_watch_timer = nullptr;
    Ui::OpenSerialWidget* ui;
    qint64 m_last_click_ms = 0;
    bool m_click_seen = false;
    std::function<qint64()> m_click_clock;
    QPointer<WorkerThreadImu> m_work_ptr;
    QThread* m_thread_ptr = nullptr;
    bool m_auto_searching = false;
    // Which search is the live one: a search stopped and started again
    // within one step's wait leaves the older loop waiting underneath the
    // newer one, and the older loop must not touch the state afterwards.
    quint64 m_search_serial = 0;
    int m_baud_item_count = 0;
    bool m_handling_port_loss = false;
};

#endif // OPENSERIALWIDGET_H
