#ifndef COLORSTATUSWIDGET_H
#define COLORSTATUSWIDGET_H

#include <QColor>
#include <QMap>
#include <QWidget>

class QPaintEvent;

// A row of numbered cells, each filled with the colour of its status code.
class ColorStatusWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ColorStatusWidget(QWidget* parent = nullptr);
    ~ColorStatusWidget() override = default;

    void SetCounts(unsigned char count);
    void UpdateOneStatus(int index, int status);

    unsigned char GetCounts() const { return m_count; }
    QMap<int, int> GetStatuses() const { return m_statuses; }
    // The colour a cell with this status is filled with.
    QColor ColorOfStatus(int status) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    unsigned char m_count = 16;
    QMap<int, int> m_statuses;
    QMap<int, QColor> m_colors;
};

#endif // COLORSTATUSWIDGET_H
