#include "app/slider_scales.h"

#include <cstdio>

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
