#include "widgets/singleTools/peopleNavPage/WalkTrack.h"

#include <QtGlobal>

#include <cmath>
#include <limits>

namespace {
// The first thinning step: this fraction of the track's larger extent.
constexpr double kFirstStepFraction = 1.0 / 4000.0;

bool FarEnough(const QPointF& a, const QPointF& b, double step)
{
    const double dx = a.x() - b.x();
    const double dy = a.y() - b.y();
    return dx * dx + dy * dy >= step * step;
}
}

WalkTrack::WalkTrack(int maxDrawn) : m_max_drawn(qMax(4, maxDrawn))
{
}

QPointF WalkTrack::At(int i) const
{
    return QPointF(static_cast<double>(m_xy.at(2 * i)), static_cast<double>(m_xy.at(2 * i + 1)));
}

WalkTrack::Change WalkTrack::Append(double x, double y)
{
    // Compared before the cast: a double beyond the float range has no
    // float value to become.
    constexpr double kFloatMax = static_cast<double>(std::numeric_limits<float>::max());
    if (!(std::fabs(x) <= kFloatMax && std::fabs(y) <= kFloatMax)) {
        return DROPPED;
    }
    m_xy.append(static_cast<float>(x));
    m_xy.append(static_cast<float>(y));
    const QPointF p = At(Size() - 1);
    // Not QRectF::united: it passes over a rectangle of no size, and the
    // extent starts as one (a single point, or points on a line).
    if (Size() == 1) {
        m_extent = QRectF(p, QSizeF(0, 0));
    } else {
        m_extent.setCoords(qMin(m_extent.left(), p.x()), qMin(m_extent.top(), p.y()), qMax(m_extent.right(), p.x()),
                           qMax(m_extent.bottom(), p.y()));
    }

    Change change = APPENDED;
    if (m_end_is_tail) {
        m_drawn.removeLast();
        change = END_REPLACED;
    }
    m_end_is_tail = !m_drawn.isEmpty() && !FarEnough(p, m_drawn.last(), m_step);
    m_drawn.append(p);
    if (m_drawn.size() > m_max_drawn) {
        Rethin();
        return REDRAWN;
    }
    return change;
}

void WalkTrack::Rethin()
{
    if (m_step <= 0.0) {
        const double extent = qMax(m_extent.width(), m_extent.height());
        m_step = extent > 0.0 ? extent * kFirstStepFraction : 1e-6;
    }
    const int total = Size();
    while (true) {
        m_drawn.clear();
        for (int i = 0; i < total; ++i) {
            const QPointF p = At(i);
            if (m_drawn.isEmpty() || FarEnough(p, m_drawn.last(), m_step)) {
                m_drawn.append(p);
            }
        }
        // Room to grow again before the next thinning.
        if (m_drawn.size() <= m_max_drawn / 2) {
            break;
        }
        m_step *= 2.0;
    }
    m_end_is_tail = false;
    const QPointF newest = At(total - 1);
    if (m_drawn.last() != newest) {
        m_drawn.append(newest);
        m_end_is_tail = true;
    }
}

void WalkTrack::Clear()
{
    m_xy.clear();
    m_drawn.clear();
    m_end_is_tail = false;
    m_step = 0.0;
    m_extent = QRectF();
}

std::size_t WalkTrack::MemoryBytes() const
{
    return static_cast<std::size_t>(m_xy.capacity()) * sizeof(float)
        + static_cast<std::size_t>(m_drawn.capacity()) * sizeof(QPointF);
}
