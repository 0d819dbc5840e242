#include "widgets/singleTools/PageClock.h"

#include <chrono>

qint64 PageClock::SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
