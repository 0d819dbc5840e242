#include "widgets/singleTools/parameterConfigPage/CoordParamsSet.h"

#include "ui_CoordParamsSet.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QEvent>
#include <QIcon>

#include <cmath>

#include "commom/Logger.h"

using AxleD::AxleDirection;

namespace {

// A device value truncated toward zero; NaN or a value no int can hold reads
// as 0, which the axis model treats as an unknown code.
int CodeFromValue(float value)
{
    if (!std::isfinite(value) || value >= 2147483648.0f || value < -2147483648.0f) {
        return 0;
    }
    return static_cast<int>(value);
}

} // namespace

CoordParamsSet::CoordParamsSet(QWidget* parent)
    : QWidget(parent), ui(new Ui::CoordParamsSet)
{
    ui->setupUi(this);
    initVeiwStyle();
    ui->comboBoxXAxis->installEventFilter(this);
    ui->comboBoxYAxis->installEventFilter(this);
    ui->comboBoxZAxis->installEventFilter(this);
    InitAutoResize();
}

CoordParamsSet::~CoordParamsSet() = default;

void CoordParamsSet::initVeiwStyle()
{
    m_x.reset(new AxleD::AxleXDirection);
    m_x->setAxle(AxleDirection::AXLE_X);
    m_x->setDirection(AxleDirection::DIR_POS_UX);
    initCombox(ui->comboBoxXAxis, m_x.get());

    m_y.reset(new AxleD::AxleYDirection);
    m_y->setAxle(AxleDirection::AXLE_Y);
    m_y->setDirection(AxleDirection::DIR_POS_UY);
    m_y->setOccupancyDirection(AxleDirection::DIR_POS_UX);
    initCombox(ui->comboBoxYAxis, m_y.get());

    m_z.reset(new AxleD::AxleZDirection);
    m_z->setAxle(AxleDirection::AXLE_Z);
    m_z->setDirection(AxleDirection::DIR_POS_UZ);
    initCombox(ui->comboBoxZAxis, m_z.get());

    // Connected only now, so that filling the combos above runs no handler.
    connect(ui->comboBoxXAxis, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &CoordParamsSet::xAxlecurrentIndexChanged);
    connect(ui->comboBoxYAxis, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &CoordParamsSet::yAxlecurrentIndexChanged);
    ui->comboBoxZAxis->setEnabled(false);
}

void CoordParamsSet::initCombox(QComboBox* combo, AxleDirection* axis)
{
    if (!combo || !axis) {
        return;
    }
    for (const AxleDirection::OccupancyDirection& entry : axis->getAxleAllDirection()) {
        combo->addItem(QIcon(), AxleDirection::getDirectionNameStr(entry.direction),
                       static_cast<int>(entry.direction));
    }
    combo->setCurrentIndex(static_cast<int>(axis->direction()));
    resetCombox(combo, axis);
}

void CoordParamsSet::resetCombox(QComboBox* combo, AxleDirection* axis)
{
    if (!combo || !axis) {
        return;
    }
    QAbstractItemModel* model = combo->model();
    for (const AxleDirection::OccupancyDirection& entry : axis->getAxleAllDirection()) {
        const QModelIndex index = model->index(static_cast<int>(entry.direction), 0);
        if (!index.isValid()) {
            continue;
        }
        model->setData(index, entry.occupied ? kTakenItemFlags : kFreeItemFlags, Qt::UserRole - 1);
    }
    // Handing the model over again makes an open popup repaint the flags.
    combo->setModel(model);
    combo->setCurrentIndex(static_cast<int>(axis->direction()));
}

void CoordParamsSet::xAxlecurrentIndexChanged(int index)
{
    if (m_updating) {
        return;
    }
    m_updating = true;
    if (index >= 0 && index < AxleDirection::kDirectionCount) {
        const auto d = static_cast<AxleDirection::TypeDirection>(
            ui->comboBoxXAxis->currentData().toInt());
        m_x->setDirection(d);
        m_y->restoreOccupancy();
        m_z->restoreOccupancy();
        ui->comboBoxYAxis->setEnabled(true);
        if (d != AxleDirection::DIR_NONE) {
            m_y->setOccupancyDirection(d);
            m_z->setOccupancyDirection(d);
            m_y->setDirection(AxleDirection::DIR_NONE);
            m_z->setDirection(AxleDirection::DIR_NONE);
        } else {
            m_x->setDirection(AxleDirection::DIR_POS_UX);
            m_y->setDirection(AxleDirection::DIR_POS_UY);
            m_y->setOccupancyDirection(AxleDirection::DIR_POS_UX);
            m_z->setDirection(AxleDirection::DIR_POS_UZ);
            resetCombox(ui->comboBoxXAxis, m_x.get());
        }
        resetCombox(ui->comboBoxYAxis, m_y.get());
        resetCombox(ui->comboBoxZAxis, m_z.get());
    }
    m_updating = false;
}

void CoordParamsSet::yAxlecurrentIndexChanged(int index)
{
    if (m_updating) {
        return;
    }
    m_updating = true;
    if (index >= 0 && index < AxleDirection::kDirectionCount) {
        m_y->setDirection(static_cast<AxleDirection::TypeDirection>(
            ui->comboBoxYAxis->currentData().toInt()));
        m_z->setDirection(m_z->getZAxisByXYAxis(m_x->direction(), m_y->direction()));
        resetCombox(ui->comboBoxZAxis, m_z.get());
    }
    m_updating = false;
}

float CoordParamsSet::getCode() const
{
    return m_z->getCode(m_x->direction(), m_y->direction());
}

bool CoordParamsSet::IsComplete() const
{
    return m_z->getZAxisByXYAxis(m_x->direction(), m_y->direction()) != AxleD::AxleDirection::DIR_NONE;
}

void CoordParamsSet::setCode(float value)
{
    if (m_updating) {
        return;
    }
    m_updating = true;
    const int code = CodeFromValue(value);
    const AxleDirection::TypeDirection dx = m_x->getDirectionByCode(code);
    m_x->setDirection(dx);
    LOG_DEBUG() << "i_code = " << code;
    m_y->setDirection(m_y->getDirectionByCode(code));
    m_y->restoreOccupancy();
    m_z->restoreOccupancy();
    m_y->setOccupancyDirection(dx);
    m_z->setOccupancyDirection(dx);
    m_z->setDirection(m_z->getDirectionByCode(code));
    resetCombox(ui->comboBoxXAxis, m_x.get());
    resetCombox(ui->comboBoxYAxis, m_y.get());
    resetCombox(ui->comboBoxZAxis, m_z.get());
    m_updating = false;
}

bool CoordParamsSet::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove
        && (watched == ui->comboBoxXAxis || watched == ui->comboBoxYAxis
            || watched == ui->comboBoxZAxis)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CoordParamsSet::resizeEvent(QResizeEvent*)
{
}

void CoordParamsSet::InitAutoResize()
{
    // The page that holds this widget scales it; nothing to record here.
}
