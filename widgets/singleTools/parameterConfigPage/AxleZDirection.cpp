#include "widgets/singleTools/parameterConfigPage/AxleZDirection.h"

namespace AxleD {

AxleDirection::TypeDirection AxleZDirection::getDirectionByCode(const int& code) const
{
    return DirectionFromTable(code, 2);
}

AxleDirection::TypeDirection AxleZDirection::getZAxisByXYAxis(TypeDirection x, TypeDirection y) const
{
    if (x < DIR_POS_UX || x > DIR_NEG_UZ || y < DIR_POS_UX || y > DIR_NEG_UZ) {
        return DIR_NONE;
    }
    // Direction d lies on axis (d - 1) / 2 with sign + for odd d.
    const int ax = (x - 1) / 2;
    const int ay = (y - 1) / 2;
    if (ax == ay) {
        return DIR_NONE;
    }
    const int sx = (x % 2 == 1) ? 1 : -1;
    const int sy = (y % 2 == 1) ? 1 : -1;
    // e_a x e_b = +e_c for the cyclic order (x, y, z), -e_c otherwise.
    const bool cyclic = (ay == (ax + 1) % 3);
    const int sign = sx * sy * (cyclic ? 1 : -1);
    const int az = 3 - ax - ay;
    return static_cast<TypeDirection>(az * 2 + (sign > 0 ? 1 : 2));
}

float AxleZDirection::getCode(TypeDirection x, TypeDirection y) const
{
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        if (DirectionFromTable(code, 0) == x && DirectionFromTable(code, 1) == y) {
            return static_cast<float>(code);
        }
    }
    return static_cast<float>(kFirstCode);
}

} // namespace AxleD
