#ifndef AHRSSAMPLE_H
#define AHRSSAMPLE_H

#include <QVariant>

#include "workerThread/PayloadTypes.h"

// The sample carried by an AHRS answer. A payload of any other type is shown
// as a sample of zeros rather than rejected.
inline AhrsData AhrsSampleFromVariant(const QVariant& var)
{
    const int type = qMetaTypeId<AhrsData>();
    if (var.userType() == type) {
        return var.value<AhrsData>();
    }
    if (var.isValid() && var.canConvert(type)) {
        QVariant copy = var;
        if (copy.convert(type)) {
            return copy.value<AhrsData>();
        }
    }
    AhrsData zero{};
    return zero;
}

#endif // AHRSSAMPLE_H
