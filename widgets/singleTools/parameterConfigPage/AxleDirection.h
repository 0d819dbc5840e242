#ifndef AXLEDIRECTION_H
#define AXLEDIRECTION_H

#include <QString>
#include <QVector>

namespace AxleD {

// One output axis of the device and the signed unit axis it points along.
// The occupancy list says which directions other axes have already taken,
// so a chooser can disable them.
class AxleDirection
{
public:
    enum AxleType { AXLE_X = 0, AXLE_Y = 1, AXLE_Z = 2 };

    enum TypeDirection {
        DIR_NONE = 0, // "重置": no direction, choosing it resets
        DIR_POS_UX = 1,
        DIR_NEG_UX = 2,
        DIR_POS_UY = 3,
        DIR_NEG_UY = 4,
        DIR_POS_UZ = 5,
        DIR_NEG_UZ = 6
    };

    struct OccupancyDirection
    {
        TypeDirection direction = DIR_NONE;
        bool occupied = false;
    };

    static constexpr int kDirectionCount = 7;
    static constexpr int kFirstCode = 101;
    static constexpr int kLastCode = 124;

    AxleDirection();
    virtual ~AxleDirection();

    virtual TypeDirection getDirectionByCode(const int& code) const;

    AxleType axle() const { return m_axle; }
    void setAxle(AxleType axle) { m_axle = axle; }
    TypeDirection direction() const { return m_direction; }
    void setDirection(TypeDirection direction) { m_direction = direction; }

    // The opposite sign on the same axis; 0 for anything outside 1..6.
    TypeDirection getPairType(TypeDirection d) const;
    QVector<OccupancyDirection> getAxleAllDirection() const { return m_occupancy; }
    void restoreOccupancy();
    // Marks d and its opposite as taken; earlier marks stay.
    void setOccupancyDirection(TypeDirection d);

    static QString getDirectionNameStr(int direction);

protected:
    // Row of the orientation table for a code; codes outside 101..124 read
    // as 101. column: 0 X, 1 Y, 2 Z.
    static TypeDirection DirectionFromTable(int code, int column);

private:
    AxleType m_axle = AXLE_X;
    TypeDirection m_direction = DIR_NONE;
    QVector<OccupancyDirection> m_occupancy;
};

} // namespace AxleD

#endif // AXLEDIRECTION_H
