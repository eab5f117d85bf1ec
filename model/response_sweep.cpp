#include "model/response_sweep.h"

#include "model/filter_state.h"

#include <algorithm>
#include <cstring>

namespace {

// Four points per vector (one AVX register, or as many narrower registers as
// the target has): every operation works on each lane alone, exactly as on a
// single double.
using Lanes = double __attribute__((vector_size(32)));
constexpr int WIDTH = 4;

// Points evaluated side by side: enough independent product chains to keep
// the multipliers busy while each waits on its previous step.
constexpr int VECTORS = 4;
constexpr int BLOCK = WIDTH * VECTORS;

struct Block {
    Lanes re[VECTORS];
    Lanes im[VECTORS];
};

// Multiplies the running products by (z − root), with the operations and in
// the order of evaluateResponse.
[[gnu::always_inline]] inline void multiplyFactor(Block& product, const Block& z, double rootRe, double rootIm)
{
    for (int v = 0; v < VECTORS; ++v) {
        const Lanes dRe = z.re[v] - rootRe;
        const Lanes dIm = z.im[v] - rootIm;
        const Lanes re = product.re[v] * dRe - product.im[v] * dIm;
        product.im[v] = product.im[v] * dRe + product.re[v] * dIm;
        product.re[v] = re;
    }
}

[[gnu::always_inline]] inline Block productOfFactors(const RootList& list, const Block& z)
{
    Block product;
    for (int v = 0; v < VECTORS; ++v) {
        product.re[v] = Lanes{} + 1.0;
        product.im[v] = Lanes{};
    }
    const int count = std::clamp(list.count, 0, MAX_ROOTS);
    for (int k = 0; k < count; ++k) {
        const Complex root = list.positions[k];
        multiplyFactor(product, z, root.re, root.im);
        if (list.pairFlags[k])
            multiplyFactor(product, z, root.re, -root.im);
    }
    return product;
}

// One block of points. The same source is compiled for the target's baseline
// and, on x86-64, for AVX2 (wider registers, no fused operations, hence the
// same digits); formThatRuns decides at run time which one runs.
[[gnu::always_inline]] inline void evaluateBlock(const FilterState& state, const double* zRe, const double* zIm, double* hRe, double* hIm)
{
    Block z;
    std::memcpy(z.re, zRe, sizeof z.re);
    std::memcpy(z.im, zIm, sizeof z.im);
    const Block numerator = productOfFactors(state.zeros, z);
    const Block denominator = productOfFactors(state.poles, z);
    double nRe[BLOCK], nIm[BLOCK], dRe[BLOCK], dIm[BLOCK];
    std::memcpy(nRe, numerator.re, sizeof nRe);
    std::memcpy(nIm, numerator.im, sizeof nIm);
    std::memcpy(dRe, denominator.re, sizeof dRe);
    std::memcpy(dIm, denominator.im, sizeof dIm);
    for (int j = 0; j < BLOCK; ++j) {
        const Complex q = Complex{nRe[j], nIm[j]} / Complex{dRe[j], dIm[j]};
        hRe[j] = q.re * state.gain;
        hIm[j] = q.im * state.gain;
    }
}

void evaluateBlockBaseline(const FilterState& state, const double* zRe, const double* zIm, double* hRe, double* hIm)
{
    evaluateBlock(state, zRe, zIm, hRe, hIm);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] void evaluateBlockAvx2(const FilterState& state, const double* zRe, const double* zIm, double* hRe, double* hIm)
{
    evaluateBlock(state, zRe, zIm, hRe, hIm);
}

bool processorRunsAvx2()
{
    static const bool runs = __builtin_cpu_supports("avx2");
    return runs;
}
#endif

}  // namespace

SweepCode formThatRuns([[maybe_unused]] SweepCode requested)
{
#if defined(VORBEL_PORTABLE_SWEEP)
    if (requested == SweepCode::chosen)
        return SweepCode::portable;
#endif
#if defined(__x86_64__)
    if (requested != SweepCode::portable && processorRunsAvx2())
        return SweepCode::avx2;
#endif
    return SweepCode::portable;
}

void evaluateResponses(const FilterState& state, const double* zRe, const double* zIm, int count, double* hRe, double* hIm,
                       [[maybe_unused]] SweepCode code)
{
    auto evaluate = evaluateBlockBaseline;
#if defined(__x86_64__)
    if (formThatRuns(code) == SweepCode::avx2)
        evaluate = evaluateBlockAvx2;
#endif
    for (int start = 0; start < count; start += BLOCK) {
        const int n = std::min(BLOCK, count - start);
        double re[BLOCK] = {}, im[BLOCK] = {}, outRe[BLOCK], outIm[BLOCK];
        std::copy(zRe + start, zRe + start + n, re);
        std::copy(zIm + start, zIm + start + n, im);
        evaluate(state, re, im, outRe, outIm);
        std::copy(outRe, outRe + n, hRe + start);
        std::copy(outIm, outIm + n, hIm + start);
    }
}
