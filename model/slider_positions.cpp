#include "model/slider_positions.h"

#include <cmath>

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
