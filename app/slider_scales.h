#pragma once

#include "model/slider_positions.h"

#include <string>

// "fc = %.3g Hz" below 100 Hz, "fc = %.0f Hz" from 100 Hz up.
std::string cutoffLabelText(double cutoff);

// "Q = %.3g".
std::string qLabelText(double q);
