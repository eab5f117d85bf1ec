// The time plots' scales: ticks checked against their definition (round
// multiples of one 1-2-5 step, the finest step that keeps within the count)
// rather than against lists written out by hand.

#include "view/plot_axes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

// The 1-2-5 steps from fine to coarse around a span.
std::vector<double> roundSteps(double span)
{
    std::vector<double> steps;
    for (double power = std::pow(10.0, std::floor(std::log10(span)) - 3); power <= span * 10; power *= 10)
        for (const double multiple : {1.0, 2.0, 5.0})
            steps.push_back(multiple * power);
    return steps;
}

// The number of multiples of step within the range, counted without the
// code's rounding: k from ⌈low/step⌉ to ⌊high/step⌋.
int multiplesWithin(ValueRange range, double step)
{
    return static_cast<int>(std::floor(range.high / step) - std::ceil(range.low / step)) + 1;
}

}  // namespace

TEST(PlotAxes, TicksAreTheMultiplesOfTheFinestRoundStepThatFits)
{
    const ValueRange ranges[] = {{0, 1}, {-0.013, 0.0621}, {0, 65535}, {-3.2e5, 1.7e6}, {1e-9, 3e-9}, {-7, -2}};
    for (const ValueRange range : ranges)
        for (const int maxCount : {2, 3, 5, 8, 13}) {
            const std::vector<double> ticks = linearTicks(range, maxCount);
            ASSERT_GE(ticks.size(), 1u) << range.low << " " << range.high << " " << maxCount;
            ASSERT_LE(ticks.size(), static_cast<std::size_t>(maxCount) + 1);
            // The finest round step whose ticks fit the count.
            double expected = 0;
            for (const double candidate : roundSteps(range.high - range.low))
                if (multiplesWithin(range, candidate) <= maxCount + 1 &&
                    candidate >= (range.high - range.low) / maxCount * (1 - 1e-12)) {
                    expected = candidate;
                    break;
                }
            if (ticks.size() >= 2) {
                EXPECT_NEAR(ticks[1] - ticks[0], expected, expected * 1e-9)
                    << range.low << " " << range.high << " " << maxCount;
            }
            // Every multiple within the range, but for one at an end that
            // the step's own rounding can put a hair outside it.
            EXPECT_GE(static_cast<int>(ticks.size()), multiplesWithin(range, expected) - 1);
            for (const double tick : ticks) {
                EXPECT_GE(tick, range.low);
                EXPECT_LE(tick, range.high);
                const double k = tick / expected;
                EXPECT_NEAR(k, std::round(k), 1e-9);
            }
        }
    EXPECT_EQ(linearTicks({-1, 1}, 4), (std::vector<double>{-1, -0.5, 0, 0.5, 1}));
    EXPECT_TRUE(linearTicks({1, 1}, 5).empty());
    EXPECT_TRUE(linearTicks({0, std::numeric_limits<double>::infinity()}, 5).empty());
    EXPECT_TRUE(linearTicks({-1.7e308, 1.7e308}, 5).empty());
}

TEST(PlotAxes, TheRangeHoldsZeroAndTheFiniteValuesWithAMargin)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const std::vector<double> values{0.5, nan, 2.5, inf, 1.0, -inf};
    const ValueRange range = plotRange(values.data(), static_cast<int>(values.size()));
    EXPECT_DOUBLE_EQ(range.low, -2.5 / 20);
    EXPECT_DOUBLE_EQ(range.high, 2.5 + 2.5 / 20);
    const std::vector<double> negative{-4, -1};
    const ValueRange below = plotRange(negative.data(), 2);
    EXPECT_DOUBLE_EQ(below.low, -4 - 0.2);
    EXPECT_DOUBLE_EQ(below.high, 0.2);
    const std::vector<double> none{0, nan, 0};
    EXPECT_EQ(plotRange(none.data(), 3).low, -1);
    EXPECT_EQ(plotRange(none.data(), 3).high, 1);
    const std::vector<double> huge{-1.7e308, 1.7e308};
    const ValueRange wide = plotRange(huge.data(), 2);
    EXPECT_TRUE(std::isfinite(wide.low) && std::isfinite(wide.high));
    EXPECT_DOUBLE_EQ(rangeFraction({-2, 6}, 0), 0.25);
    EXPECT_EQ(rangeFraction({1, 1}, 5), 0);
}
