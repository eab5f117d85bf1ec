#include "model/audio_cascade.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

CascadeCoefficients cascadeCoefficients(const FilterState& filter)
{
    const SectionCascade cascade = secondOrderSections(filter);
    CascadeCoefficients result;
    result.count = static_cast<int>(std::min<std::size_t>(cascade.sections.size(), MAX_SECTIONS));
    std::copy_n(cascade.sections.begin(), result.count, result.sections);
    return result;
}

bool isPlayable(const CascadeCoefficients& cascade)
{
    for (int k = 0; k < cascade.count; ++k) {
        const Section& section = cascade.sections[k];
        for (int j = 0; j < 3; ++j) {
            if (!std::isfinite(section.b[j]) || !std::isfinite(section.a[j]))
                return false;
        }
        const double a1 = section.a[1];
        const double a2 = section.a[2];
        if (!(std::fabs(a2) < 1.0 && std::fabs(a1) < 1.0 + a2))
            return false;
    }
    return true;
}

namespace {

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

}  // namespace

bool sameCascade(const CascadeCoefficients& a, const CascadeCoefficients& b)
{
    if (a.count != b.count)
        return false;
    for (int k = 0; k < a.count; ++k) {
        for (int j = 0; j < 3; ++j) {
            if (!sameBits(a.sections[k].b[j], b.sections[k].b[j]) || !sameBits(a.sections[k].a[j], b.sections[k].a[j]))
                return false;
        }
    }
    return true;
}

void runCascade(const CascadeCoefficients& cascade, CascadeState& state, double* samples, std::size_t count)
{
    // Section by section over the whole block: each section's coefficients
    // and state stay in registers for the length of its loop.
    for (int k = 0; k < cascade.count; ++k) {
        const Section& section = cascade.sections[k];
        const double b0 = section.b[0];
        const double b1 = section.b[1];
        const double b2 = section.b[2];
        const double a1 = section.a[1];
        const double a2 = section.a[2];
        double s1 = state.s1[k];
        double s2 = state.s2[k];
        for (std::size_t i = 0; i < count; ++i) {
            const double x = samples[i];
            const double y = b0 * x + s1;
            s1 = b1 * x - a1 * y + s2;
            s2 = b2 * x - a2 * y;
            samples[i] = y;
        }
        state.s1[k] = s1;
        state.s2[k] = s2;
    }
}

void flushTinyState(CascadeState& state, int count)
{
    constexpr double tiny = 1e-200;
    for (int k = 0; k < count; ++k) {
        if (std::fabs(state.s1[k]) < tiny)
            state.s1[k] = 0.0;
        if (std::fabs(state.s2[k]) < tiny)
            state.s2[k] = 0.0;
    }
}
