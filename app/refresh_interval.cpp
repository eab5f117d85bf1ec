#include "app/refresh_interval.h"

#include <QScreen>

#include <cmath>

int refreshInterval(const QScreen* screen)
{
    const double rate = screen != nullptr ? screen->refreshRate() : 0.0;
    if (!std::isfinite(rate) || rate < 1.0 || rate > 1000.0)
        return 17;
    return static_cast<int>(std::ceil(1000.0 / rate));
}
