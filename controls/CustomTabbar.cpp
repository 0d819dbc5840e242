#include "controls/CustomTabbar.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>

CustomTabbar::CustomTabbar(QWidget* parent)
    : QWidget(parent)
{
    m_button_group = new QButtonGroup(this);
    connect(m_button_group, &QButtonGroup::idClicked,
            this, &CustomTabbar::slot_button_clicked);

    // Only the interpolated value is wanted; the bar repaints itself from it.
    m_animation = new QPropertyAnimation(this, QByteArray(), this);
    m_animation->setDuration(200);
    connect(m_animation, &QPropertyAnimation::valueChanged,
            this, &CustomTabbar::slot_value_changed);

    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    SetButtonPosition(ROW_LINE_BOTTOM);
}

void CustomTabbar::SetButtonPosition(int position)
{
    if (QLayout* old = layout()) {
        while (QLayoutItem* item = old->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        delete old;
    }
    m_position = position;

    QBoxLayout* box = nullptr;
    switch (position) {
    case ROW_LINE_TOP:
        box = new QHBoxLayout(this);
        box->setContentsMargins(0, m_line_height, 0, 0);
        break;
    case ROW_LINE_BOTTOM:
        box = new QHBoxLayout(this);
        box->setContentsMargins(0, 0, 0, m_line_height);
        break;
    case COLUMN_LINE_LEFT:
        box = new QVBoxLayout(this);
        box->setContentsMargins(m_line_height, 0, 0, 0);
        break;
    case COLUMN_LINE_RIGHT:
        box = new QVBoxLayout(this);
        box->setContentsMargins(0, 0, m_line_height, 0);
        break;
    default:
        return;
    }
    box->setSpacing(0);
}

void CustomTabbar::SetLineHeight(int height)
{
    m_line_height = height;
}

void CustomTabbar::SetButtonColor(QColor color)
{
    m_line_color = color;
}

void CustomTabbar::AddButton(QPushButton* button, int id)
{
    if (button == nullptr) {
        return;
    }
    button->setCheckable(true);
    m_button_group->addButton(button, id);
    if (QLayout* box = layout()) {
        box->addWidget(button);
    }
    m_button_width = button->width();
    m_button_height = button->height();
}

void CustomTabbar::SetCurrentIndex(int index)
{
    if (QAbstractButton* button = m_button_group->button(index)) {
        button->setChecked(true);
    }
    m_previous_index = m_current_index;
    m_current_index = index;

    const bool inRow = (m_position == ROW_LINE_TOP || m_position == ROW_LINE_BOTTOM);
    const int step = inRow ? m_button_width : m_button_height;
    m_animation->stop();
    m_animation->setStartValue(m_previous_index * step);
    m_animation->setEndValue(m_current_index * step);
    m_animation->start();
}

int CustomTabbar::GetCurrentIndex() const
{
    return m_current_index;
}

int CustomTabbar::ButtonCounts() const
{
    return m_button_group->buttons().size();
}

void CustomTabbar::RemoveBtn(QAbstractButton* button)
{
    const int id = (button != nullptr) ? m_button_group->id(button) : -1;
    if (id == -1) {
        return;
    }

    // Renumber before choosing the new current button: choosing first would
    // check the button that still carries the old id, which after renumbering
    // is the neighbour of the page that stays current.
    m_button_group->removeButton(button);
    const QList<QAbstractButton*> rest = m_button_group->buttons();
    for (int i = 0; i < rest.size(); ++i) {
        m_button_group->setId(rest.at(i), i);
    }

    if (m_current_index >= id) {
        // Removing the first button while it is current leaves the new first
        // one current rather than an id that no button carries.
        SetCurrentIndex(qMax(0, m_current_index - 1));
    }
    emit SignalRemoveOne(id);
}

void CustomTabbar::slot_button_clicked(int index)
{
    if (index == m_current_index) {
        return;
    }
    SetCurrentIndex(index);
    emit SignalClickBtn(index);
}

void CustomTabbar::slot_value_changed(QVariant variant)
{
    m_offset = variant.toInt();
    update();
}

void CustomTabbar::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(m_line_color, Qt::SolidPattern));
    switch (m_position) {
    case ROW_LINE_TOP:
        painter.drawRect(m_offset, 0, m_button_width, m_line_height);
        break;
    case ROW_LINE_BOTTOM:
        painter.drawRect(m_offset, height() - m_line_height, m_button_width, m_line_height);
        break;
    case COLUMN_LINE_LEFT:
        painter.drawRect(0, m_offset, m_line_height, m_button_height);
        break;
    case COLUMN_LINE_RIGHT:
        painter.drawRect(width() - m_line_height, m_offset, m_line_height, m_button_height);
        break;
    default:
        break;
    }
}
