#include "controls/CloseAbleButton.h"

#include <QResizeEvent>

CloseAbleButton::CloseAbleButton(QWidget* parent)
    : QPushButton(parent)
{
    m_close_btn = new QPushButton(this);
    m_close_btn->setObjectName("closeBtn");
    m_close_btn->setFixedSize(16, 16);
    m_close_btn->raise();
    m_close_btn->hide();
    connect(m_close_btn, &QPushButton::clicked, this, &CloseAbleButton::SignalClose);
}

void CloseAbleButton::SetCloseAble(bool closable)
{
    m_closable = closable;
}

bool CloseAbleButton::IsCloseAble() const
{
    return m_closable;
}

void CloseAbleButton::SetIsEdit(bool editing)
{
    m_editing = editing;
    update();
    PlaceCloseButton();
}

bool CloseAbleButton::IsEdit() const
{
    return m_editing;
}

void CloseAbleButton::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    PlaceCloseButton();
}

void CloseAbleButton::PlaceCloseButton()
{
    if (m_editing && m_closable) {
        m_close_btn->move(width() - 20, height() / 2 - 8);
        m_close_btn->show();
    } else {
        m_close_btn->hide();
    }
}
