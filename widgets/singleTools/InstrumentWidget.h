#ifndef INSTRUMENTWIDGET_H
#define INSTRUMENTWIDGET_H

#include <QVariant>
#include <QWidget>

#include <memory>

#include "widgets/singleTools/PageClock.h"
#include "widgets/singleTools/TrailingRefresh.h"
#include "workerThread/PayloadTypes.h"

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
    void ShowDials(const AhrsData& sample);
    void ShowLabels(const AhrsData& sample);

    Ui::InstrumentWidget* ui = nullptr;
    // Monotonic times of the last dial repaint and the last label refresh:
    // the dials are repainted at most once per 30 ms, the labels refreshed
    // at most once per 200 ms, each counted from its own last refresh. A
    // sample held back by either limit is shown when the limit runs out.
    qint64 m_last_dial_ns = 0;
    qint64 m_last_refresh_ns = 0;
    bool m_dials_shown = false;
    bool m_refreshed = false;
    AhrsData m_latest{};
    std::unique_ptr<AutoResizer> m_resizer;
    PageClock m_clock;
    TrailingRefresh m_dial_tail;
    TrailingRefresh m_label_tail;
};

#endif // INSTRUMENTWIDGET_H
