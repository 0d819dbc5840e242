#ifndef AXLEXDIRECTION_H
#define AXLEXDIRECTION_H

#include "widgets/singleTools/parameterConfigPage/AxleDirection.h"

namespace AxleD {

class AxleXDirection : public AxleDirection
{
public:
    AxleXDirection() = default;
    ~AxleXDirection() override = default;

    TypeDirection getDirectionByCode(const int& code) const override;
};

} // namespace AxleD

#endif // AXLEXDIRECTION_H
