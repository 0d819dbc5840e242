#include "controls/ColorStatusWidget.h"

#include <QFont>
#include <QPainter>

ColorStatusWidget::ColorStatusWidget(QWidget* parent)
    : QWidget(parent)
{
    m_colors.insert(0, QColor(Qt::lightGray));
    m_colors.insert(1, QColor(Qt::green));
    m_colors.insert(2, QColor(Qt::yellow));
    m_colors.insert(3, QColor(Qt::red));
}

void ColorStatusWidget::SetCounts(unsigned char count)
{
    m_count = count;
    update();
}

void ColorStatusWidget::UpdateOneStatus(int index, int status)
{
    m_statuses.insert(index, status);
    update();
}

QColor ColorStatusWidget::ColorOfStatus(int status) const
{
    return m_colors.value(status, QColor(Qt::black));
}

void ColorStatusWidget::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(1, 1, width() - 2, height() - 2);
    if (m_count == 0) {
        // No cells to divide the width into: the outline alone.
        return;
    }

    const int cellWidth = width() / m_count;
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(16);
    painter.setFont(font);
    for (int i = 0; i < m_count; ++i) {
        const QRect cell(i * cellWidth, 0, cellWidth, height());
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(ColorOfStatus(m_statuses.value(i, 0)));
        painter.drawRect(cell);
        painter.drawText(cell, Qt::AlignCenter, QString::number(i + 1));
        painter.drawLine((i + 1) * cellWidth, 0, (i + 1) * cellWidth, height());
    }
}
