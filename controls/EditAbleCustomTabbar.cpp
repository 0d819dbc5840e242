#include "controls/EditAbleCustomTabbar.h"

#include "controls/CloseAbleButton.h"

EditAbleCustomTabbar::EditAbleCustomTabbar(QWidget* parent)
    : CustomTabbar(parent)
{
}

void EditAbleCustomTabbar::AppendButton(CloseAbleButton* button)
{
    if (button == nullptr || m_buttons.contains(button)) {
        return;
    }
    AddButton(button, m_buttons.size());
    m_buttons.append(button);
    connect(button, &CloseAbleButton::SignalClose, this, &EditAbleCustomTabbar::OnRemoveBtn);
}

void EditAbleCustomTabbar::OnRemoveBtn()
{
    auto* button = qobject_cast<CloseAbleButton*>(sender());
    if (button == nullptr || !m_buttons.contains(button)) {
        return;
    }
    RemoveBtn(button);
    m_buttons.removeOne(button);
    // We are inside the click of the button's own close button: free it once
    // that click has unwound, and take it off the bar at once.
    button->hide();
    button->setParent(nullptr);
    button->deleteLater();
}

void EditAbleCustomTabbar::SetEdit(bool editing)
{
    for (CloseAbleButton* button : qAsConst(m_buttons)) {
        button->SetIsEdit(editing);
    }
}
