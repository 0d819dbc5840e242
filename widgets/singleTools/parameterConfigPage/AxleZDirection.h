#ifndef AXLEZDIRECTION_H
#define AXLEZDIRECTION_H

#include "widgets/singleTools/parameterConfigPage/AxleDirection.h"

namespace AxleD {

class AxleZDirection : public AxleDirection
{
public:
    AxleZDirection() = default;
    ~AxleZDirection() override = default;

    TypeDirection getDirectionByCode(const int& code) const override;

    // Direction of X x Y by the right-hand rule; 0 when either is not a
    // direction or both lie on the same axis.
    TypeDirection getZAxisByXYAxis(TypeDirection x, TypeDirection y) const;
    // Orientation code of the table row with these X and Y; 101 for a pair
    // no row holds.
    float getCode(TypeDirection x, TypeDirection y) const;
};

} // namespace AxleD

#endif // AXLEZDIRECTION_H
