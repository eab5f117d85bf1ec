#include "view/plot_axes.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

ValueRange plotRange(const double* values, int count)
{
    double low = 0.0;
    double high = 0.0;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(values[i]))
            continue;
        low = std::min(low, values[i]);
        high = std::max(high, values[i]);
    }
    if (low == high)
        return {-1.0, 1.0};
    // The span can overflow to inf for values near ±DBL_MAX, twentieths of
    // it cannot; the ends stay finite too.
    const double margin = (high / 20.0) - (low / 20.0);
    const double largest = std::numeric_limits<double>::max();
    return {std::max(low - margin, -largest), std::min(high + margin, largest)};
}

std::vector<double> linearTicks(ValueRange range, int maxCount)
{
    assert(maxCount >= 1);
    std::vector<double> ticks;
    const double span = range.high - range.low;
    if (!std::isfinite(span) || !(span > 0.0))
        return ticks;
    const double rough = span / maxCount;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10.0 * power;
    for (const double multiple : {1.0, 2.0, 5.0})
        if (multiple * power >= rough) {
            step = multiple * power;
            break;
        }
    const double first = std::ceil(range.low / step);
    const double last = std::floor(range.high / step);
    for (double k = first; k <= last && ticks.size() <= static_cast<std::size_t>(maxCount); k += 1.0) {
        // k · step rather than a running sum, so that 0 comes out exactly 0;
        // the step's rounding can put an end a hair outside the range.
        const double tick = k * step;
        if (tick >= range.low && tick <= range.high)
            ticks.push_back(tick);
    }
    return ticks;
}

double rangeFraction(ValueRange range, double value)
{
    const double span = range.high - range.low;
    if (!(span > 0.0) || !std::isfinite(span))
        return 0.0;
    return (value - range.low) / span;
}
