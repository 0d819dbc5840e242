#ifndef COORDPARAMSSET_H
#define COORDPARAMSSET_H

#include <QWidget>

#include <memory>

#include "widgets/singleTools/parameterConfigPage/AxleXDirection.h"
#include "widgets/singleTools/parameterConfigPage/AxleYDirection.h"
#include "widgets/singleTools/parameterConfigPage/AxleZDirection.h"

class QComboBox;
class QEvent;
class QResizeEvent;

namespace Ui {
class CoordParamsSet;
}

// Chooser of the device's axis orientation: the user picks X and then Y,
// Z follows by the right-hand rule; directions already taken are disabled.
class CoordParamsSet : public QWidget
{
    Q_OBJECT
public:
    explicit CoordParamsSet(QWidget* parent = nullptr);
    ~CoordParamsSet() override;

    float getCode() const;
    // True when the chosen X and Y give an orientation; false after X was
    // picked and before Y was (getCode() then gives the default 101).
    bool IsComplete() const;
    void setCode(float value);

    // Item flags of a free and of a taken direction in the combos' model.
    static constexpr int kFreeItemFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled; // 33
    static constexpr int kTakenItemFlags = 0;

public slots:
    void xAxlecurrentIndexChanged(int index);
    void yAxlecurrentIndexChanged(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void initVeiwStyle();
    void initCombox(QComboBox* combo, AxleD::AxleDirection* axis);
    void resetCombox(QComboBox* combo, AxleD::AxleDirection* axis);
    void InitAutoResize();

    std::unique_ptr<Ui::CoordParamsSet> ui;
    std::unique_ptr<AxleD::AxleXDirection> m_x;
    std::unique_ptr<AxleD::AxleYDirection> m_y;
    std::unique_ptr<AxleD::AxleZDirection> m_z;
    bool m_updating = false;
};

#endif // COORDPARAMSSET_H
