#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

// Checks that value agrees with a printed figure to every digit it shows:
// "0.9352391910" allows half a unit in the tenth decimal, "1.149050685e-6"
// half a unit in the ninth decimal of the mantissa.
inline testing::AssertionResult agreesToDigits(double value, const std::string& printed)
{
    const std::string::size_type exponentAt = printed.find_first_of("eE");
    const std::string mantissa = printed.substr(0, exponentAt);
    const int exponent = exponentAt == std::string::npos ? 0 : std::atoi(printed.c_str() + exponentAt + 1);
    const std::string::size_type point = mantissa.find('.');
    const int decimals = point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
    const double expected = std::strtod(printed.c_str(), nullptr);
    const double tolerance = 0.5 * std::pow(10.0, exponent - decimals);
    if (std::fabs(value - expected) <= tolerance)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << value << " does not agree with " << printed << " to ±"
                                       << tolerance;
}
