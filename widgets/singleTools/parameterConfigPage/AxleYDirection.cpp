#include "widgets/singleTools/parameterConfigPage/AxleYDirection.h"

namespace AxleD {

AxleDirection::TypeDirection AxleYDirection::getDirectionByCode(const int& code) const
{
    return DirectionFromTable(code, 1);
}

} // namespace AxleD
