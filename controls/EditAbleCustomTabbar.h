#ifndef EDITABLECUSTOMTABBAR_H
#define EDITABLECUSTOMTABBAR_H

#include <QList>

#include "controls/CustomTabbar.h"

class CloseAbleButton;

// Tab bar whose buttons can be closed by the user while in edit mode.
class EditAbleCustomTabbar : public CustomTabbar
{
    Q_OBJECT
public:
    explicit EditAbleCustomTabbar(QWidget* parent = nullptr);
    ~EditAbleCustomTabbar() override = default;

    void AppendButton(CloseAbleButton* button);
    void SetEdit(bool editing);
    const QList<CloseAbleButton*>& Buttons() const { return m_buttons; }

public slots:
    void OnRemoveBtn();

private:
    QList<CloseAbleButton*> m_buttons;
};

#endif // EDITABLECUSTOMTABBAR_H
