#include "model/document.h"

#include "model/designs.h"
#include "model/slider_positions.h"

#include <bit>
#include <cstdint>

namespace {

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

bool sameRoots(const RootList& a, const RootList& b)
{
    if (a.count != b.count)
        return false;
    for (int i = 0; i < a.count && i < MAX_ROOTS; ++i) {
        if (a.pairFlags[i] != b.pairFlags[i] || !sameBits(a.positions[i].re, b.positions[i].re)
            || !sameBits(a.positions[i].im, b.positions[i].im))
            return false;
    }
    return true;
}

}  // namespace

DocumentDifference documentDifference(const Document& a, const Document& b)
{
    const FilterState& f = a.filter;
    const FilterState& g = b.filter;
    DocumentDifference difference;
    difference.roots = !sameBits(f.gain, g.gain) || !sameBits(f.pi, g.pi) || !sameRoots(f.zeros, g.zeros)
        || !sameRoots(f.poles, g.poles);
    difference.model = f.modelIndex != g.modelIndex || f.qVisible != g.qVisible;
    difference.positions = a.cutoffPosition != b.cutoffPosition || a.qPosition != b.qPosition
        || !sameBits(f.cutoff, g.cutoff) || !sameBits(f.q, g.q);
    difference.rate = a.sampleRate != b.sampleRate || !sameBits(f.nyquist, g.nyquist)
        || !sameBits(f.lowestFrequency, g.lowestFrequency);
    return difference;
}

bool operator==(const Document& a, const Document& b)
{
    const DocumentDifference difference = documentDifference(a, b);
    return !difference.roots && !difference.model && !difference.positions && !difference.rate;
}

Document designedDocument(int model, int sampleRate, int cutoffPosition, int qPosition)
{
    Document document;
    FilterState& filter = document.filter;
    filter.nyquist = sampleRate / 2.0;
    filter.cutoff = cutoffAtPosition(filter.nyquist, filter.lowestFrequency, cutoffPosition);
    filter.q = qAtPosition(qPosition);
    filter.modelIndex = model;
    applyModel(filter);
    if (model == MODEL_CUSTOM)
        filter.qVisible = false;
    document.sampleRate = sampleRate;
    document.cutoffPosition = cutoffPosition;
    document.qPosition = qPosition;
    return document;
}
