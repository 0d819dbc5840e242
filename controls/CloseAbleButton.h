#ifndef CLOSEABLEBUTTON_H
#define CLOSEABLEBUTTON_H

#include <QPushButton>

class QResizeEvent;

// A tab button that shows a small close button at its right end while the
// bar is being edited.
class CloseAbleButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CloseAbleButton(QWidget* parent = nullptr);
    ~CloseAbleButton() override = default;

    void SetCloseAble(bool closable);
    bool IsCloseAble() const;
    void SetIsEdit(bool editing);
    bool IsEdit() const;
    QPushButton* GetCloseButton() const { return m_close_btn; }

signals:
    void SignalClose();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceCloseButton();

    bool m_closable = true;
    bool m_editing = false;
    QPushButton* m_close_btn = nullptr;
};

#endif // CLOSEABLEBUTTON_H
