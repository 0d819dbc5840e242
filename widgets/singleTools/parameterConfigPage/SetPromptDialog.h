#ifndef SETPROMPTDIALOG_H
#define SETPROMPTDIALOG_H

#include <QDialog>
#include <QMap>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>

class QCloseEvent;

namespace Ui {
class SetPromptDialog;
}

// Writes one imported set of named parameters into one device after
// another, as on a production line: every parameter with acknowledgement,
// then a store to flash; then it waits until the next device announces its
// loader on the line and starts again, until cancelled or closed.
class SetPromptDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SetPromptDialog(QWidget* parent = nullptr);
    ~SetPromptDialog() override;

    // Adds the known names of the map to the parameter set (by id); names
    // that are not parameters are dropped.
    void SetParams(QMap<QString, float> params);
    // The batch run; returns when cancelled.
    void StartSetParam();

    QMap<int, float> Params() const { return m_params; }
    uint32_t DeviceNumber() const { return m_deviceNumber; }
    bool IsArmed() const { return m_armed; }

    // Text that a device's loader prints when it starts; seen whole in one
    // read it arms the next device.
    static const char* LoaderBanner() { return "HC32_UPLOADER"; }
    // A banner is ignored this long after a stored device (or a "No").
    static constexpr qint64 kRearmQuietMs = 2000;
    // One parameter is sent every kResendMs until acknowledged or this much
    // time has gone.
    static constexpr qint64 kAckTimeoutMs = 2999;
    static constexpr unsigned int kResendMs = 100;
    static constexpr unsigned int kStorePollMs = 20;

public slots:
    void ShowInfo(int id, QVariant var1, QVariant var2);
    // Escape hides a dialog through here without a close event; the run
    // must end then as well, or it would go on writing every next device
    // from a window nobody sees.
    void reject() override;

private slots:
    void on_btn_set_clicked();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // What the run does after a question: retry the same device now, or
    // wait for the next one.
    void Ask(const QString& text);
    void ShowStatus(const QString& text);
    // What closing does to the run: cancel it and start over at device 1.
    void ResetRun();

    std::unique_ptr<Ui::SetPromptDialog> ui;
    uint32_t m_deviceNumber = 1;
    bool m_cancel = true;
    bool m_armed = true;
    qint64 m_lastSuccessTime = 0;
    int32_t m_doneCount = 0;
    QMap<QString, int> m_nameTable;
    QMap<int, float> m_params;
    // A run is on the stack (it may be inside one of its waits).
    bool m_running = false;
};

#endif // SETPROMPTDIALOG_H
