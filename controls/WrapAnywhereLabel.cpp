#include "controls/WrapAnywhereLabel.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {
// Room the label asks for before its layout gives it a width.
constexpr int kHintChars = 20;
} // namespace

WrapAnywhereLabel::WrapAnywhereLabel(QWidget* parent) : QLabel(parent)
{
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int WrapAnywhereLabel::TextWidthFor(int width) const
{
    const QMargins m = contentsMargins();
    return std::max(1, width - m.left() - m.right() - 2 * margin());
}

qreal WrapAnywhereLabel::LayOut(QTextLayout& layout, qreal width) const
{
    QTextOption option(alignment() & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return std::max<qreal>(height, fontMetrics().height());
}

int WrapAnywhereLabel::heightForWidth(int width) const
{
    QTextLayout layout(text(), font());
    const QMargins m = contentsMargins();
    return static_cast<int>(std::ceil(LayOut(layout, TextWidthFor(width)))) + m.top() + m.bottom() + 2 * margin();
}

QSize WrapAnywhereLabel::sizeHint() const
{
    const int hintWidth = fontMetrics().averageCharWidth() * kHintChars;
    return QSize(hintWidth, heightForWidth(width() > 0 ? width() : hintWidth));
}

QSize WrapAnywhereLabel::minimumSizeHint() const
{
    const QMargins m = contentsMargins();
    return QSize(fontMetrics().averageCharWidth(), fontMetrics().height() + m.top() + m.bottom() + 2 * margin());
}

void WrapAnywhereLabel::paintEvent(QPaintEvent* /*event*/)
{
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    QTextLayout layout(text(), font());
    const qreal height = LayOut(layout, room.width());
    qreal top = room.top();
    if (alignment() & Qt::AlignBottom) {
        top = room.bottom() + 1 - height;
    } else if (!(alignment() & Qt::AlignTop)) {
        top += (room.height() - height) / 2;
    }
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    layout.draw(&painter, QPointF(room.left(), top));
}
