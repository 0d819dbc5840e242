#ifndef INSTRUMENTWIDGET_H
#define INSTRUMENTWIDGET_H

#include <QVariant>
#include <QWidget>

#include <memory>

#include "widgets/singleTools/PageClock.h"

class AutoResizer;
class QResizeEvent;

namespace Ui {
class InstrumentWidget;
}

// The instrument panel: the device's heading on a compass and its attitude
// on an attitude indicator, with the raw values beneath. It only listens to
// the AHRS answers of the bus.
class InstrumentWidget : public QWidget
{
    Q_OBJECT
public:
    explicit InstrumentWidget(QWidget* parent = nullptr);
    ~InstrumentWidget() override;

    // Tests drive the refresh intervals with a clock of their own.
    void SetClockSource(PageClock::Source source) { m_clock.SetSource(std::move(source)); }

public slots:
    void slot_display_ahrs_value(int id, QVariant var1, QVariant var2);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void InitAutoResize();

    Ui::InstrumentWidget* ui = nullptr;
    // Monotonic time of the last label refresh; the dials are held back for
    // 30 ms after it and the labels for 200 ms.
    qint64 m_last_refresh_ns = 0;
    bool m_refreshed = false;
    std::unique_ptr<AutoResizer> m_resizer;
    PageClock m_clock;
};

#endif // INSTRUMENTWIDGET_H
