#ifndef TIMERUNNINGWIDGET_H
#define TIMERUNNINGWIDGET_H

#include <QString>
#include <QTime>
#include <QWidget>

class QPaintEvent;
class QTimer;

// An elapsed-time display with a red dot, counting whole seconds as
// "hh:mm:ss".
class TimeRunningWidget : public QWidget
{
    Q_OBJECT
public:
    explicit TimeRunningWidget(QWidget* parent = nullptr);
    ~TimeRunningWidget() override = default;

    void StartRun();
    void StopRun();
    void ClearTime();
    // Continues counting from an earlier elapsed time (whole seconds).
    void SetElapsedTime(const QTime& time);

    QString GetText() const { return m_text; }
    bool IsRunning() const;
    QTimer* GetTimer() const { return m_timer; }

public slots:
    // One second has passed.
    void slot_tick();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* m_timer = nullptr;
    QTime m_time = QTime(0, 0, 0, 0);
    QString m_text = "00:00:00";
};

#endif // TIMERUNNINGWIDGET_H
