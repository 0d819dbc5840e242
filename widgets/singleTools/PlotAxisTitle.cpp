#include "widgets/singleTools/PlotAxisTitle.h"

#include <QFontMetrics>
#include <QTextLayout>

namespace {
const char* const kTitleProperty = "corvantaAxisTitle";
}

PlotAxisTitle::PlotAxisTitle(QCPAxis* axis)
    : QCPLayerable(axis->parentPlot(), QStringLiteral("axes"))
    , m_axis(axis)
    , m_text(axis->label())
    , m_font(axis->labelFont())
    , m_color(axis->labelColor())
    , m_padding(axis->padding())
{
    if (m_text.isEmpty()) {
        return;
    }
    // The same measure the library takes of its label, so the margins stay
    // as they were.
    const QFontMetrics metrics(m_font);
    const QRect bounds =
        metrics.boundingRect(0, 0, 0, 0, Qt::TextDontClip | Qt::AlignHCenter | Qt::AlignVCenter, m_text);
    m_text_height = bounds.height();
    axis->setLabel(QString());
    axis->setPadding(m_padding + axis->labelPadding() + m_text_height);
    axis->setProperty(kTitleProperty, QVariant::fromValue(static_cast<QObject*>(this)));
}

void PlotAxisTitle::UseForAxesOf(QCustomPlot* plot)
{
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        if (axis != nullptr && !axis->label().isEmpty() && Of(axis) == nullptr) {
            new PlotAxisTitle(axis);
        }
    }
}

PlotAxisTitle* PlotAxisTitle::Of(const QCPAxis* axis)
{
    return qobject_cast<PlotAxisTitle*>(axis->property(kTitleProperty).value<QObject*>());
}

void PlotAxisTitle::applyDefaultAntialiasingHint(QCPPainter* painter) const
{
    // As the axis draws its own label.
    applyAntialiasingHint(painter, !m_axis.isNull() && m_axis->antialiased(), QCP::aeAxes);
}

void PlotAxisTitle::LayOut(QPaintDevice* device)
{
    const int dpi = device != nullptr ? device->logicalDpiY() : 0;
    if (!m_glyphs.isEmpty() && dpi == m_glyphs_dpi) {
        return;
    }
    // Shaped for the device drawn on, as the painter would shape it.
    QTextLayout layout(m_text, m_font, device);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    m_glyphs = layout.glyphRuns();
    m_glyphs_width = line.isValid() ? line.naturalTextWidth() : 0;
    m_glyphs_dpi = dpi;
}

void PlotAxisTitle::draw(QCPPainter* painter)
{
    if (m_text.isEmpty() || m_axis.isNull() || !m_axis->visible()) {
        return;
    }
    LayOut(painter->device());
    const QRect inner = m_axis->axisRect()->rect();
    const QRect outer = m_axis->axisRect()->outerRect();
    const QTransform before = painter->transform();
    painter->setPen(m_color);
    switch (m_axis->axisType()) {
    case QCPAxis::atLeft:
        painter->translate(outer.left() + m_padding, inner.bottom());
        painter->rotate(-90);
        painter->translate((inner.height() - m_glyphs_width) / 2.0, 0);
        break;
    case QCPAxis::atBottom:
        painter->translate(inner.left() + (inner.width() - m_glyphs_width) / 2.0,
                           outer.bottom() - m_padding - m_text_height);
        break;
    default:
        return;
    }
    for (const QGlyphRun& run : qAsConst(m_glyphs)) {
        painter->drawGlyphRun(QPointF(0, 0), run);
    }
    painter->setTransform(before);
}
