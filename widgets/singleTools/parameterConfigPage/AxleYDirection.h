#ifndef AXLEYDIRECTION_H
#define AXLEYDIRECTION_H

#include "widgets/singleTools/parameterConfigPage/AxleDirection.h"

namespace AxleD {

class AxleYDirection : public AxleDirection
{
public:
    AxleYDirection() = default;
    ~AxleYDirection() override = default;

    TypeDirection getDirectionByCode(const int& code) const override;
};

} // namespace AxleD

#endif // AXLEYDIRECTION_H
