#include "view/curve_rows.h"

#include "view/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Four values per register; each lane computes alone, as a double would.
using Lanes = double __attribute__((vector_size(32)));
using Bits = std::int64_t __attribute__((vector_size(32)));
constexpr int WIDTH = 4;

// The approximations below are within 1e-10 of the true functions and the
// library within a few units in the last place; a value whose interval of
// this half-width truncates to one integer needs no library call.
constexpr double LOG_MARGIN = 1e-9;
constexpr double ANGLE_MARGIN = 1e-7;

constexpr double LN2 = 0.693147180559945309417232121458;
constexpr double INVERSE_LN10 = 0.434294481903251827651128918917;
constexpr double SQRT_TWO = 1.41421356237309504880168872421;
constexpr double PI = 3.14159265358979323846264338328;
constexpr double TAN_PI_8 = 0.414213562373095048801688724210;

// log10 of positive normal values: x = m · 2^e with m in [√½, √2), and
// ln m = 2 atanh t with t = (m − 1)/(m + 1), |t| < 0.172, whose series to
// t¹⁹ leaves less than 1e-17. Other values give meaningless lanes.
[[gnu::always_inline]] inline void approximateLog10(const double* values, double* logs)
{
    Lanes x;
    std::memcpy(&x, values, sizeof x);
    Bits bits;
    std::memcpy(&bits, &x, sizeof bits);
    Bits exponent = ((bits >> 52) & 0x7ff) - 1023;
    bits = (bits & 0x000fffffffffffffll) | 0x3ff0000000000000ll;
    Lanes m;
    std::memcpy(&m, &bits, sizeof m);
    const Bits big = m > SQRT_TWO;
    m = big ? m * 0.5 : m;
    exponent = big ? exponent + 1 : exponent;
    const Lanes t = (m - 1.0) / (m + 1.0);
    const Lanes t2 = t * t;
    Lanes series = Lanes{} + 1.0 / 19.0;
    for (const double c : {1.0 / 17.0, 1.0 / 15.0, 1.0 / 13.0, 1.0 / 11.0, 1.0 / 9.0, 1.0 / 7.0, 1.0 / 5.0, 1.0 / 3.0,
                           1.0})
        series = series * t2 + c;
    const Lanes lnM = 2.0 * t * series;
    const Lanes log = (__builtin_convertvector(exponent, Lanes) * LN2 + lnM) * INVERSE_LN10;
    std::memcpy(logs, &log, sizeof log);
}

// atan2 of normal values: the first-octant angle after a reduction to
// |u| ≤ tan(π/8), where the series to u²³ leaves less than 1e-10.
[[gnu::always_inline]] inline void approximateAngle(const double* ys, const double* xs, double* angles)
{
    Lanes x, y;
    std::memcpy(&x, xs, sizeof x);
    std::memcpy(&y, ys, sizeof y);
    const Lanes ax = x < 0.0 ? -x : x, ay = y < 0.0 ? -y : y;
    const Bits steep = ay > ax;
    const Lanes t = (steep ? ax : ay) / (steep ? ay : ax);
    const Bits upper = t > TAN_PI_8;
    const Lanes u = upper ? (t - 1.0) / (t + 1.0) : t;
    const Lanes u2 = u * u;
    Lanes series = Lanes{} - 1.0 / 23.0;
    for (const double c : {1.0 / 21.0, -1.0 / 19.0, 1.0 / 17.0, -1.0 / 15.0, 1.0 / 13.0, -1.0 / 11.0, 1.0 / 9.0,
                           -1.0 / 7.0, 1.0 / 5.0, -1.0 / 3.0, 1.0})
        series = series * u2 + c;
    Lanes angle = u * series + (upper ? Lanes{} + PI / 4.0 : Lanes{});
    angle = steep ? PI / 2.0 - angle : angle;
    angle = x < 0.0 ? PI - angle : angle;
    angle = y < 0.0 ? -angle : angle;
    std::memcpy(angles, &angle, sizeof angle);
}

// Estimates for a whole block, compiled for the target's baseline and, on
// x86-64, for AVX2; formThatRuns chooses between them at run time.
[[gnu::always_inline]] inline void estimateLogs(const double* values, double* logs)
{
    for (int i = 0; i < CURVE_BLOCK; i += WIDTH)
        approximateLog10(values + i, logs + i);
}

[[gnu::always_inline]] inline void estimateAngles(const double* ys, const double* xs, double* angles)
{
    for (int i = 0; i < CURVE_BLOCK; i += WIDTH)
        approximateAngle(ys + i, xs + i, angles + i);
}

void estimateLogsBaseline(const double* values, double* logs) { estimateLogs(values, logs); }
void estimateAnglesBaseline(const double* ys, const double* xs, double* angles) { estimateAngles(ys, xs, angles); }

#if defined(__x86_64__)
[[gnu::target("avx2")]] void estimateLogsAvx2(const double* values, double* logs) { estimateLogs(values, logs); }
[[gnu::target("avx2")]] void estimateAnglesAvx2(const double* ys, const double* xs, double* angles)
{
    estimateAngles(ys, xs, angles);
}
#endif

void estimateLogsWith([[maybe_unused]] SweepCode code, const double* values, double* logs)
{
#if defined(__x86_64__)
    if (formThatRuns(code) == SweepCode::avx2) {
        estimateLogsAvx2(values, logs);
        return;
    }
#endif
    estimateLogsBaseline(values, logs);
}

void estimateAnglesWith([[maybe_unused]] SweepCode code, const double* ys, const double* xs, double* angles)
{
#if defined(__x86_64__)
    if (formThatRuns(code) == SweepCode::avx2) {
        estimateAnglesAvx2(ys, xs, angles);
        return;
    }
#endif
    estimateAnglesBaseline(ys, xs, angles);
}

// The truncated value of finish(v) · scale for every v within margin of the
// estimate, where finish rounds monotonically; decided when both ends agree.
template <typename Finish>
bool decidedOffset(double estimate, double margin, double scale, Finish finish, int& offset)
{
    const double a = finish(estimate - margin) * scale;
    const double b = finish(estimate + margin) * scale;
    const double low = std::min(a, b), high = std::max(a, b);
    if (!(low > -2147483648.0 && high < 2147483647.0))
        return false;
    const int lowOffset = toPixel(low);
    if (lowOffset != toPixel(high))
        return false;
    offset = lowOffset;
    return true;
}

}  // namespace

void decibelOffsets(const double* re, const double* im, int count, double dbScale, int* offsets, SweepCode code)
{
    double power[CURVE_BLOCK] = {}, estimate[CURVE_BLOCK];
    count = std::clamp(count, 0, CURVE_BLOCK);
    for (int i = 0; i < count; ++i)
        power[i] = re[i] * re[i] + im[i] * im[i];
    estimateLogsWith(code, power, estimate);

    const auto tenTimes = [](double log) { return 10.0 * log; };
    const bool scaled = std::isfinite(dbScale);
    for (int i = 0; i < count; ++i) {
        if (scaled && std::isnormal(power[i]) &&
            decidedOffset(estimate[i], LOG_MARGIN, dbScale, tenTimes, offsets[i]))
            continue;
        offsets[i] = toPixel(10.0 * std::log10(power[i]) * dbScale);
    }
}

void phaseOffsets(const double* re, const double* im, int count, double phaseScale, int* offsets, SweepCode code)
{
    double x[CURVE_BLOCK] = {}, y[CURVE_BLOCK] = {}, estimate[CURVE_BLOCK];
    count = std::clamp(count, 0, CURVE_BLOCK);
    std::copy(re, re + count, x);
    std::copy(im, im + count, y);
    estimateAnglesWith(code, y, x, estimate);

    const auto itself = [](double angle) { return angle; };
    const bool scaled = std::isfinite(phaseScale);
    for (int i = 0; i < count; ++i) {
        if (scaled && std::isnormal(x[i]) && std::isnormal(y[i]) &&
            decidedOffset(estimate[i], ANGLE_MARGIN, phaseScale, itself, offsets[i]))
            continue;
        offsets[i] = toPixel(std::atan2(y[i], x[i]) * phaseScale);
    }
}
