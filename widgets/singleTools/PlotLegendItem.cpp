#include "widgets/singleTools/PlotLegendItem.h"

#include <QFontMetrics>

namespace {
// The plottable draws its own legend icon; the library lets only its own
// legend entry call that, so the call goes through a member pointer taken
// where it is visible.
struct LegendIcon : QCPAbstractPlottable
{
    using QCPAbstractPlottable::drawLegendIcon;
};
}

PlotLegendItem::PlotLegendItem(QCPLegend* legend, QCPAbstractPlottable* plottable)
    : QCPPlottableLegendItem(legend, plottable)
{
}

void PlotLegendItem::UseForGraphsOf(QCustomPlot* plot)
{
    for (int g = 0; g < plot->graphCount(); ++g) {
        QCPGraph* graph = plot->graph(g);
        if (QCPPlottableLegendItem* own = plot->legend->itemWithPlottable(graph)) {
            plot->legend->removeItem(own);
        }
        plot->legend->addItem(new PlotLegendItem(plot->legend, graph));
    }
}

void PlotLegendItem::Measure() const
{
    const QString name = mPlottable != nullptr ? mPlottable->name() : QString();
    const QFont font = getFont();
    if (m_measured && name == m_name && font == m_font) {
        return;
    }
    m_name = name;
    m_font = font;
    // Every attribute as measured here: a live plot paints straight onto
    // its widget, whose own font (scaled with the window) would otherwise
    // fill in whatever the legend's font leaves open.
    m_font.resolve(QFont::AllPropertiesResolved);
    const QSize iconSize = mParentLegend->iconSize();
    const QRect bounds = QFontMetrics(font).boundingRect(0, 0, 0, iconSize.height(), Qt::TextDontClip, name);
    m_text_size = bounds.size();
    m_text.setText(name);
    m_text.setTextFormat(Qt::PlainText);
    m_text.prepare(QTransform(), font);
    m_measured = true;
}

QSize PlotLegendItem::minimumOuterSizeHint() const
{
    if (mPlottable == nullptr) {
        return QSize();
    }
    Measure();
    const QSize iconSize = mParentLegend->iconSize();
    return QSize(iconSize.width() + mParentLegend->iconTextPadding() + m_text_size.width()
                     + mMargins.left() + mMargins.right(),
                 qMax(m_text_size.height(), iconSize.height()) + mMargins.top() + mMargins.bottom());
}

void PlotLegendItem::draw(QCPPainter* painter)
{
    if (mPlottable == nullptr) {
        return;
    }
    Measure();
    painter->setFont(m_font);
    painter->setPen(QPen(getTextColor()));
    const QSize iconSize = mParentLegend->iconSize();
    const QRect iconRect(mRect.topLeft(), iconSize);
    painter->drawStaticText(QPointF(mRect.x() + iconSize.width() + mParentLegend->iconTextPadding(), mRect.y()),
                            m_text);
    painter->save();
    painter->setClipRect(iconRect, Qt::IntersectClip);
    (mPlottable->*(&LegendIcon::drawLegendIcon))(painter, iconRect);
    painter->restore();
    if (getIconBorderPen().style() != Qt::NoPen) {
        painter->setPen(getIconBorderPen());
        painter->setBrush(Qt::NoBrush);
        const int halfPen = qCeil(painter->pen().widthF() * 0.5) + 1;
        painter->setClipRect(mOuterRect.adjusted(-halfPen, -halfPen, halfPen, halfPen));
        painter->drawRect(iconRect);
    }
}
