#include "controls/QADI.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include <algorithm>
#include <cmath>

QADI::QADI(QWidget* parent)
    : QWidget(parent)
{
    connect(this, &QADI::canvasReplot, this, &QADI::canvasReplot_slot);
    setMinimumSize(m_sizeMin, m_sizeMin);
    setMaximumSize(m_sizeMax, m_sizeMax);
    resize(m_sizeMin, m_sizeMin);
    setFocusPolicy(Qt::NoFocus);
}

// A corrupt sample may carry NaN or an infinity; the dial then shows level rather than
// feeding it into the integer geometry of the painting.
void QADI::updateRoll(double roll)
{
    if (!std::isfinite(roll)) {
        roll = 0.0;
    }
    m_roll = std::clamp(roll, -180.0, 180.0);
    emit canvasReplot();
}

void QADI::updatePitch(double pitch)
{
    if (!std::isfinite(pitch)) {
        pitch = 0.0;
    }
    m_pitch = std::clamp(pitch, -90.0, 90.0);
    emit canvasReplot();
}

void QADI::canvasReplot_slot()
{
    update();
}

void QADI::resizeEvent(QResizeEvent* event)
{
    m_size = std::min(width(), height()) - 2 * m_offset;
    QWidget::resizeEvent(event);
}

void QADI::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        m_roll -= 1;
        break;
    case Qt::Key_Right:
        m_roll += 1;
        break;
    case Qt::Key_Up:
        if (m_pitch < 90) {
            m_pitch += 1;
        }
        break;
    case Qt::Key_Down:
        if (m_pitch > -90) {
            m_pitch -= 1;
        }
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
    update();
}

void QADI::paintEvent(QPaintEvent* /*event*/)
{
    const int d = m_size;
    const int h = d / 2;
    if (d < 4) {
        return; // nothing sensible fits; also keeps the square roots real
    }

    QPainter painter(this);

    const QBrush skyBrush(QColor(48, 172, 220));
    const QBrush groundBrush(QColor(247, 168, 21));
    QPen outlinePen(Qt::black);
    outlinePen.setWidth(2);
    QPen rungPen(Qt::white);
    rungPen.setWidth(2);
    QPen horizonPen(Qt::green);
    horizonPen.setWidth(3);

    painter.translate(width() / 2, height() / 2);
    painter.rotate(m_roll);

    // Sky and ground: two chords meeting at the horizon. The horizon is held
    // inside +-40/45 of the radius so a little of both always shows.
    {
        int y = static_cast<int>(std::trunc(-m_pitch * h / 45.0));
        const int yLimit = 40 * h / 45;
        y = std::clamp(y, -yLimit, yLimit);
        const int radicand = d * d / 4 - y * y;
        int x = static_cast<int>(std::trunc(std::sqrt(static_cast<float>(std::max(radicand, 0)))));
        if (x < 1) {
            x = 1;
        }
        const double g = std::atan(static_cast<float>(static_cast<double>(y) / x)) * 180.0 / 3.1415926;
        const QRect disc(-h, -h, d, d);

        painter.setPen(outlinePen);
        painter.setBrush(skyBrush);
        painter.drawChord(disc, static_cast<int>(std::trunc(16 * g)),
                          static_cast<int>(std::trunc(16 * (180 - 2 * g))));
        painter.setBrush(groundBrush);
        painter.drawChord(disc, static_cast<int>(std::trunc(16 * g)),
                          static_cast<int>(std::trunc(-16 * (180 + 2 * g))));
    }

    // A clip path, not a region: a region under the rotation would be
    // turned into a polygon and scan-converted at every repaint.
    {
        QPainterPath disc;
        disc.addEllipse(QRectF(-h, -h, d, d));
        painter.setClipPath(disc);
    }

    // Pitch ladder, every 10 degrees; long and labelled every 30.
    {
        QFont font = painter.font();
        font.setPointSize(8);
        painter.setFont(font);
        const int longHalf = d / 8;
        const int shortHalf = d / 16;
        for (int i = -9; i <= 9; ++i) {
            const int p = 10 * i;
            int l = (i % 3 == 0) ? longHalf : shortHalf;
            if (i == 0) {
                painter.setPen(horizonPen);
                l = static_cast<int>(std::trunc(1.8 * longHalf));
            } else {
                painter.setPen(rungPen);
            }
            const int y = static_cast<int>(std::trunc(p * h / 45 + m_pitch * h / 45.0));
            if (std::sqrt(static_cast<double>(l * l + y * y)) > h) {
                continue;
            }
            painter.drawLine(-l, y, l, y);
            if (i != 0 && i % 3 == 0) {
                painter.setPen(QPen(Qt::white, 1));
                painter.drawText(QRect(-l - 102, y - 5, 100, 10), Qt::AlignRight | Qt::AlignVCenter,
                                 QString::number(-p));
            }
        }
    }

    // Aircraft marker, tilting with the disc.
    {
        const int m = d / 20;
        const int k = m / 2;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QBrush(Qt::red));
        painter.drawPolygon(QPolygon({QPoint(m, 0), QPoint(2 * m, -k), QPoint(2 * m, k)}));
        painter.drawPolygon(QPolygon({QPoint(-m, 0), QPoint(-2 * m, -k), QPoint(-2 * m, k)}));
    }

    // Roll scale along the rim, turning with the disc.
    const int y0 = m_offset - h;
    {
        outlinePen.setWidth(1);
        painter.setPen(outlinePen);
        QFont font = painter.font();
        font.setPointSize(8);
        painter.setFont(font);
        for (int i = 0; i < 36; ++i) {
            if (i % 3 == 0) {
                painter.drawLine(0, y0, 0, y0 + d / 25);
                const int label = (i < 18) ? -10 * i : 360 - 10 * i;
                painter.drawText(QRect(-50, y0 + d / 25 + 2, 100, 10), Qt::AlignCenter,
                                 QString::number(label));
            } else {
                painter.drawLine(0, y0, 0, y0 + d / 50);
            }
            painter.rotate(10);
        }
    }

    // Roll pointer, upright, so the scale value under it is the roll.
    painter.rotate(-m_roll);
    painter.setBrush(QBrush(Qt::black));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawPolygon(QPolygon({QPoint(0, y0), QPoint(-d / 50, y0 + d / 25), QPoint(d / 50, y0 + d / 25)}));
}
