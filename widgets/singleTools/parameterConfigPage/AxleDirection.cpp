#include "widgets/singleTools/parameterConfigPage/AxleDirection.h"

namespace AxleD {

namespace {

// X, Y and Z of every orientation code from 101 to 124; each row is
// right-handed (X x Y = Z). 1 +Ux, 2 -Ux, 3 +Uy, 4 -Uy, 5 +Uz, 6 -Uz.
const unsigned char kOrientationTable[24][3] = {
    {1, 3, 5}, {2, 4, 5}, {4, 1, 5}, {3, 2, 5}, // 101-104: Z +Uz
    {2, 3, 6}, {1, 4, 6}, {3, 1, 6}, {4, 2, 6}, // 105-108: Z -Uz
    {6, 3, 1}, {5, 4, 1}, {3, 5, 1}, {4, 6, 1}, // 109-112: Z +Ux
    {5, 3, 2}, {6, 4, 2}, {4, 5, 2}, {3, 6, 2}, // 113-116: Z -Ux
    {2, 5, 3}, {1, 6, 3}, {5, 1, 3}, {6, 2, 3}, // 117-120: Z +Uy
    {1, 5, 4}, {2, 6, 4}, {6, 1, 4}, {5, 2, 4}, // 121-124: Z -Uy
};

const char* const kDirectionNames[AxleDirection::kDirectionCount] = {
    "重置", "+Ux", "-Ux", "+Uy", "-Uy", "+Uz", "-Uz",
};

} // namespace

AxleDirection::AxleDirection()
{
    m_occupancy.reserve(kDirectionCount);
    for (int i = 0; i < kDirectionCount; ++i) {
        OccupancyDirection entry;
        entry.direction = static_cast<TypeDirection>(i);
        entry.occupied = false;
        m_occupancy.append(entry);
    }
}

AxleDirection::~AxleDirection() = default;

AxleDirection::TypeDirection AxleDirection::getDirectionByCode(const int&) const
{
    return DIR_NONE;
}

AxleDirection::TypeDirection AxleDirection::getPairType(TypeDirection d) const
{
    switch (d) {
    case DIR_POS_UX: return DIR_NEG_UX;
    case DIR_NEG_UX: return DIR_POS_UX;
    case DIR_POS_UY: return DIR_NEG_UY;
    case DIR_NEG_UY: return DIR_POS_UY;
    case DIR_POS_UZ: return DIR_NEG_UZ;
    case DIR_NEG_UZ: return DIR_POS_UZ;
    default: return DIR_NONE;
    }
}

void AxleDirection::restoreOccupancy()
{
    for (OccupancyDirection& entry : m_occupancy) {
        entry.occupied = false;
    }
}

void AxleDirection::setOccupancyDirection(TypeDirection d)
{
    if (d == DIR_NONE) {
        m_occupancy[0].occupied = true;
        return;
    }
    const TypeDirection pair = getPairType(d);
    for (OccupancyDirection& entry : m_occupancy) {
        if (entry.direction == d || entry.direction == pair) {
            entry.occupied = true;
        }
    }
}

QString AxleDirection::getDirectionNameStr(int direction)
{
    if (direction < 0 || direction >= kDirectionCount) {
        return QString();
    }
    return QString::fromUtf8(kDirectionNames[direction]);
}

AxleDirection::TypeDirection AxleDirection::DirectionFromTable(int code, int column)
{
    if (code < kFirstCode || code > kLastCode) {
        code = kFirstCode;
    }
    if (column < 0 || column > 2) {
        return DIR_NONE;
    }
    return static_cast<TypeDirection>(kOrientationTable[code - kFirstCode][column]);
}

} // namespace AxleD
