#pragma once

// The compiled forms of the response sweep and of the curve row estimates.
// Every form gives the same bits for the same input: they differ only in the
// instructions that carry out the same operations in the same order.
enum class SweepCode {
    chosen,    // what the program runs (see formThatRuns)
    portable,  // the target's baseline instructions: builds and runs anywhere
    avx2,      // x86-64 processors with AVX2
};

// The form that serves a request. chosen becomes avx2 where that form is
// built in (x86-64 only) and the processor runs it, unless the build sets
// VORBEL_PORTABLE_SWEEP; otherwise, and for avx2 where it cannot run, the
// answer is portable.
SweepCode formThatRuns(SweepCode requested);
