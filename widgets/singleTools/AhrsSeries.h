#ifndef AHRSSERIES_H
#define AHRSSERIES_H

#include <QVector>

#include <cstdint>

// Points a plotted series keeps: at 100 points a second this covers the
// plots' 5 s window.
constexpr uint32_t SERIES_POINTS_MAX = 500;

// One plotted series of the AHRS page: page time of each point and its value.
struct AhrsSeries
{
    QVector<double> keys;
    QVector<double> values;
    uint32_t count = 0;

    // Makes room for one more point when the series is full.
    void DropOldestWhenFull();
    void Append(double key, double value);
    void Clear();
};

#endif // AHRSSERIES_H
