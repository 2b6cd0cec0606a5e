#pragma once

// A figure measured several times: its median and its spread.

#include <QList>

#include <algorithm>

namespace bench {

struct Stat
{
    double median = 0;
    double min = 0;
    double max = 0;
    qsizetype count = 0;
};

inline double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline Stat summarise(const QList<double> &values)
{
    Stat s;
    s.count = values.size();
    if (values.isEmpty())
        return s;
    s.median = median(values);
    s.min = *std::min_element(values.begin(), values.end());
    s.max = *std::max_element(values.begin(), values.end());
    return s;
}

} // namespace bench
