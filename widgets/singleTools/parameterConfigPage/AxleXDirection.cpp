#include "widgets/singleTools/parameterConfigPage/AxleXDirection.h"

namespace AxleD {

AxleDirection::TypeDirection AxleXDirection::getDirectionByCode(const int& code) const
{
    return DirectionFromTable(code, 0);
}

} // namespace AxleD
