// The frequency of a response column, on the axis the curves are sampled on.

#include "tests/digits.h"
#include "view/response_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

// The magnitude pane of the layout at 800 × 600 client pixels.
constexpr Rect PANE{245, 10, 790, 374};

}  // namespace

TEST(ColumnFrequency, WorkedAxis)
{
    EXPECT_TRUE(agreesToDigits(*columnFrequency(PANE, 10.0, 22050.0, 245), "10.00000000"));
    EXPECT_TRUE(agreesToDigits(*columnFrequency(PANE, 10.0, 22050.0, 246), "10.14"));
    EXPECT_TRUE(agreesToDigits(*columnFrequency(PANE, 10.0, 22050.0, 245 + 272), "466.3"));
    EXPECT_TRUE(agreesToDigits(*columnFrequency(PANE, 10.0, 22050.0, 245 + 544) / 1000.0, "21.74"));
}

// Every column at lowest · (Nyquist / lowest)^(i / W), for each sample rate.
TEST(ColumnFrequency, GeometricAxisAtEveryRate)
{
    const int width = PANE.right - PANE.left;
    for (const double nyquist : {22050.0, 24000.0, 48000.0, 96000.0}) {
        for (int i = 0; i < width; ++i) {
            const double expected = 10.0 * std::exp(std::log(nyquist / 10.0) * i / width);
            const std::optional<double> f = columnFrequency(PANE, 10.0, nyquist, PANE.left + i);
            ASSERT_TRUE(f.has_value());
            ASSERT_NEAR(*f / expected, 1.0, 1e-12) << "column " << i << " at " << nyquist;
            // The angle the sampling evaluates there is the same frequency.
            ASSERT_NEAR(columnAngle(10.0, nyquist, width, i) * nyquist / std::numbers::pi / expected, 1.0, 1e-12);
        }
    }
}

TEST(ColumnFrequency, NoneOutsideThePanes)
{
    EXPECT_FALSE(columnFrequency(PANE, 10.0, 22050.0, PANE.left - 1).has_value());
    EXPECT_FALSE(columnFrequency(PANE, 10.0, 22050.0, PANE.right).has_value());
    EXPECT_FALSE(columnFrequency({100, 10, 100, 50}, 10.0, 22050.0, 100).has_value());
    EXPECT_FALSE(columnFrequency({100, 10, 90, 50}, 10.0, 22050.0, 95).has_value());
    // The Nyquist frequency itself, at the right edge, is never a column's.
    EXPECT_LT(*columnFrequency(PANE, 10.0, 22050.0, PANE.right - 1), 22050.0);
}
