#ifndef WALKTRACK_H
#define WALKTRACK_H

#include <QPointF>
#include <QRectF>
#include <QVector>

#include <cstddef>

// The walked track of the navigation page. Every point is kept, packed as
// two floats (8 bytes a point: half an hour at 100 points a second is under
// 1.5 MB); what the plot draws is a thinned copy of at most maxDrawn points:
// a point joins it only when it lies at least the current step away from
// the previous drawn one, and the newest point always ends it. When the
// drawn copy outgrows its limit, the step doubles and the copy is thinned
// again from the whole track, so the whole walk stays in view at any length.
class WalkTrack
{
public:
    explicit WalkTrack(int maxDrawn = 4000);

    // What an append did to the drawn copy.
    enum Change {
        APPENDED,      // one point added at the end
        END_REPLACED,  // its last point replaced by the new one
        REDRAWN,       // thinned again: take the whole copy
        DROPPED        // nothing: the point was not kept
    };

    // A point that is not finite once stored as floats (inf, NaN, or beyond
    // the float range) is dropped: it would make the extent and the step
    // infinite, and thinning would then never end.
    Change Append(double x, double y);
    void Clear();

    int Size() const { return m_xy.size() / 2; }
    QPointF At(int i) const;
    // Points to draw, in walking order; the last is the newest point.
    const QVector<QPointF>& Drawn() const { return m_drawn; }
    double Step() const { return m_step; }
    QRectF Extent() const { return m_extent; }
    std::size_t MemoryBytes() const;

private:
    void Rethin();

    int m_max_drawn;
    QVector<float> m_xy;        // x0, y0, x1, y1, ...
    QVector<QPointF> m_drawn;
    bool m_end_is_tail = false; // the last drawn point is the newest, not a kept one
    double m_step = 0.0;
    QRectF m_extent;
};

#endif // WALKTRACK_H
