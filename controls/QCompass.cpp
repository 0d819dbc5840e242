#include "controls/QCompass.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>

QCompass::QCompass(QWidget* parent)
    : QWidget(parent)
{
    connect(this, &QCompass::canvasReplot, this, &QCompass::canvasReplot_slot);
    setMinimumSize(m_sizeMin, m_sizeMin);
    setMaximumSize(m_sizeMax, m_sizeMax);
    resize(m_sizeMin, m_sizeMin);
    setFocusPolicy(Qt::NoFocus);
}

void QCompass::updateHeading(double heading)
{
    if (!std::isfinite(heading)) {
        heading = 0.0; // a corrupt sample (NaN, an infinity) shows north
    }
    if (heading < 0) {
        heading += 360;
    }
    if (heading > 360) {
        heading -= 360;
    }
    m_heading = heading;
    emit canvasReplot();
}

void QCompass::canvasReplot_slot()
{
    update();
}

void QCompass::resizeEvent(QResizeEvent* event)
{
    m_size = std::min(width(), height()) - 2 * m_offset;
    QWidget::resizeEvent(event);
}

void QCompass::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        m_heading -= 1;
        break;
    case Qt::Key_Right:
        m_heading += 1;
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_W:
    case Qt::Key_S:
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
    update();
}

void QCompass::paintEvent(QPaintEvent* /*event*/)
{
    const int d = m_size;
    const int h = d / 2;
    if (d < 4) {
        return;
    }

    QPainter painter(this);

    const QBrush cardBrush(QColor(48, 172, 220));
    QPen blackPen(Qt::black);
    blackPen.setWidth(2);
    QPen redPen(Qt::red);
    redPen.setWidth(2);
    QPen bluePen(Qt::blue);
    bluePen.setWidth(2);

    painter.translate(width() / 2, height() / 2);

    painter.setPen(blackPen);
    painter.setBrush(cardBrush);
    painter.drawEllipse(QRect(-h, -h, d, d));
    blackPen.setWidth(1);
    painter.setPen(blackPen);

    const int y0 = m_offset - h;
    QFont letterFont = painter.font();
    letterFont.setPointSize(10);
    QFont numberFont = painter.font();
    numberFont.setPointSize(8);
    for (int i = 0; i < 36; ++i) {
        QString label;
        switch (i) {
        case 0:
            label = QStringLiteral("N");
            painter.setPen(bluePen);
            painter.setFont(letterFont);
            break;
        case 9:
            label = QStringLiteral("E");
            painter.setPen(blackPen);
            painter.setFont(letterFont);
            break;
        case 18:
            label = QStringLiteral("S");
            painter.setPen(redPen);
            painter.setFont(letterFont);
            break;
        case 27:
            label = QStringLiteral("W");
            painter.setPen(blackPen);
            painter.setFont(letterFont);
            break;
        default:
            label = QString::number(10 * i);
            painter.setPen(blackPen);
            painter.setFont(numberFont);
            break;
        }
        if (i % 3 == 0) {
            painter.drawLine(0, y0, 0, y0 + d / 25);
            painter.drawText(QRect(-50, y0 + d / 25 + 4, 100, 10), Qt::AlignCenter, label);
        } else {
            painter.drawLine(0, y0, 0, y0 + d / 50);
        }
        painter.rotate(10);
    }

    // The needle never turns: blue half north, red half south.
    painter.setPen(Qt::NoPen);
    const int w = d / 10;
    painter.setBrush(QBrush(Qt::blue));
    painter.drawPolygon(QPolygon({QPoint(0, y0 + d / 25 + 15), QPoint(-w, 0), QPoint(w, 0)}));
    painter.setBrush(QBrush(Qt::red));
    painter.drawPolygon(QPolygon({QPoint(0, h - m_offset - d / 25 - 15), QPoint(-w, 0), QPoint(w, 0)}));

    painter.rotate(m_heading);
    painter.setBrush(QBrush(QColor(255, 0, 0, 224)));
    painter.drawPolygon(QPolygon({QPoint(0, y0), QPoint(-d / 24, y0 + d / 12), QPoint(d / 24, y0 + d / 12)}));
}
