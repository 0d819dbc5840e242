#include "widgets/singleTools/AhrsSeries.h"

void AhrsSeries::DropOldestWhenFull()
{
    if (count < SERIES_POINTS_MAX) {
        return;
    }
    if (!keys.isEmpty()) {
        keys.removeFirst();
    }
    if (!values.isEmpty()) {
        values.removeFirst();
    }
    --count;
}

void AhrsSeries::Append(double key, double value)
{
    keys.append(key);
    values.append(value);
    ++count;
}

void AhrsSeries::Clear()
{
    keys.clear();
    values.clear();
    count = 0;
}
