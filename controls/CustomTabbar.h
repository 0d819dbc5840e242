#ifndef CUSTOMTABBAR_H
#define CUSTOMTABBAR_H

#include <QColor>
#include <QVariant>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QPaintEvent;
class QPropertyAnimation;
class QPushButton;

// A bar of checkable buttons standing in for a tab bar beside a stacked
// widget; a coloured line slides to the current button.
class CustomTabbar : public QWidget
{
    Q_OBJECT
public:
    // Where the buttons go and which edge carries the indicator line.
    enum ButtonPosition {
        ROW_LINE_TOP = 0,
        ROW_LINE_BOTTOM = 1,
        COLUMN_LINE_LEFT = 2,
        COLUMN_LINE_RIGHT = 3
    };

    explicit CustomTabbar(QWidget* parent = nullptr);
    ~CustomTabbar() override = default;

    void SetButtonPosition(int position);
    void SetLineHeight(int height);
    void SetButtonColor(QColor color);
    void AddButton(QPushButton* button, int id);
    void SetCurrentIndex(int index);
    int GetCurrentIndex() const;
    int ButtonCounts() const;
    void RemoveBtn(QAbstractButton* button);

    // Read-only views for the owner and for checks of the indicator.
    int GetButtonPosition() const { return m_position; }
    int GetPreviousIndex() const { return m_previous_index; }
    int GetIndicatorOffset() const { return m_offset; }
    int GetLineHeight() const { return m_line_height; }
    QColor GetButtonColor() const { return m_line_color; }
    QButtonGroup* GetButtonGroup() const { return m_button_group; }
    QPropertyAnimation* GetAnimation() const { return m_animation; }

signals:
    void SignalClickBtn(int index);
    void SignalRemoveOne(int index);

public slots:
    void slot_value_changed(QVariant variant);
    void slot_button_clicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_position = ROW_LINE_BOTTOM;
    int m_current_index = 0;
    int m_previous_index = 0;
    int m_offset = 0;
    int m_line_height = 2;
    QColor m_line_color = QColor(21, 156, 119);
    QButtonGroup* m_button_group = nullptr;
    QPropertyAnimation* m_animation = nullptr;
    int m_button_width = -1;
    int m_button_height = -1;
};

#endif // CUSTOMTABBAR_H
