#include "app/slider_scales.h"

#include <cmath>
#include <cstdio>

double cutoffAtPosition(double nyquist, double lowestFrequency, int position)
{
    const double ratio = std::pow(nyquist / lowestFrequency, 0.0005);
    return lowestFrequency * std::pow(ratio, static_cast<double>(position));
}

double qAtPosition(int position)
{
    const double q0 = std::sqrt(0.5);
    const double ratio = std::pow(10.0 / q0, 0.0005);
    return q0 * std::pow(ratio, static_cast<double>(position));
}

std::string cutoffLabelText(double cutoff)
{
    char text[64];
    if (cutoff < 100.0)
        std::snprintf(text, sizeof text, "fc = %.3g Hz", cutoff);
    else
        std::snprintf(text, sizeof text, "fc = %.0f Hz", cutoff);
    return text;
}

std::string qLabelText(double q)
{
    char text[64];
    std::snprintf(text, sizeof text, "Q = %.3g", q);
    return text;
}
