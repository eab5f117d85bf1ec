/* CMSIS-DSP's biquads as its documentation describes them:
 *   f32 df1:  y = b0*x + b1*x1 + b2*x2 + a1*y1 + a2*y2, summed in float from
 *             left to right, the feedback coefficients stored negated;
 *   f32 df2T: transposed direct form II in the library's order;
 *   Q15 df1:  the five 16 x 16-bit products summed in a 64-bit accumulator,
 *             shifted right by 15 - postShift and saturated to 16 bits; the
 *             shift is composed from the accumulator's two 32-bit halves as
 *             the library's SIMD code does, and coefficients come as
 *             {b0, 0, b1, b2, a1, a2} per stage;
 *   Q31 df1:  the five 32 x 32-bit products summed in 64 bits with
 *             wrap-around, shifted right by 31 - postShift, 32 bits kept.
 * Each stage's output is the next one's input. */
#include "arm_math.h"
#include <string.h>

void arm_biquad_cascade_df1_init_f32(arm_biquad_casd_df1_inst_f32 *S, uint8_t numStages, const float32_t *pCoeffs, float32_t *pState)
{
    S->numStages = numStages; S->pCoeffs = pCoeffs; S->pState = pState;
    memset(pState, 0, 4u * numStages * sizeof *pState);
}

void arm_biquad_cascade_df1_f32(const arm_biquad_casd_df1_inst_f32 *S, const float32_t *pSrc, float32_t *pDst, uint32_t blockSize)
{
    const float32_t *in = pSrc;
    for (uint32_t stage = 0; stage < S->numStages; ++stage) {
        const float32_t *c = S->pCoeffs + 5 * stage;
        float32_t *st = S->pState + 4 * stage;
        for (uint32_t n = 0; n < blockSize; ++n) {
            float32_t Xn = in[n];
            float32_t acc = (c[0] * Xn) + (c[1] * st[0]) + (c[2] * st[1]) + (c[3] * st[2]) + (c[4] * st[3]);
            st[1] = st[0]; st[0] = Xn; st[3] = st[2]; st[2] = acc;
            pDst[n] = acc;
        }
        in = pDst;
    }
}

void arm_biquad_cascade_df2T_init_f32(arm_biquad_cascade_df2T_instance_f32 *S, uint8_t numStages, const float32_t *pCoeffs, float32_t *pState)
{
    S->numStages = numStages; S->pCoeffs = pCoeffs; S->pState = pState;
    memset(pState, 0, 2u * numStages * sizeof *pState);
}

void arm_biquad_cascade_df2T_f32(const arm_biquad_cascade_df2T_instance_f32 *S, const float32_t *pSrc, float32_t *pDst, uint32_t blockSize)
{
    const float32_t *in = pSrc;
    for (uint32_t stage = 0; stage < S->numStages; ++stage) {
        const float32_t *c = S->pCoeffs + 5 * stage;
        float32_t *d = S->pState + 2 * stage;
        for (uint32_t n = 0; n < blockSize; ++n) {
            float32_t Xn1 = in[n];
            float32_t acc1 = c[0] * Xn1 + d[0];
            d[0] = c[1] * Xn1 + d[1];
            d[0] += c[3] * acc1;
            d[1] = c[2] * Xn1;
            d[1] += c[4] * acc1;
            pDst[n] = acc1;
        }
        in = pDst;
    }
}

void arm_biquad_cascade_df1_init_q15(arm_biquad_casd_df1_inst_q15 *S, uint8_t numStages, const q15_t *pCoeffs, q15_t *pState, int8_t postShift)
{
    S->numStages = (int8_t) numStages; S->pCoeffs = pCoeffs; S->pState = pState; S->postShift = postShift;
    memset(pState, 0, 4u * numStages * sizeof *pState);
}

void arm_biquad_cascade_df1_q15(const arm_biquad_casd_df1_inst_q15 *S, const q15_t *pSrc, q15_t *pDst, uint32_t blockSize)
{
    const int32_t lShift = 15 - (int32_t) S->postShift;
    const int32_t uShift = 32 - lShift;
    const q15_t *in = pSrc;
    for (int32_t stage = 0; stage < S->numStages; ++stage) {
        const q15_t *c = S->pCoeffs + 6 * stage;
        q15_t *st = S->pState + 4 * stage;
        for (uint32_t n = 0; n < blockSize; ++n) {
            q15_t Xn = in[n];
            q63_t acc = (q63_t) c[0] * Xn + (q63_t) c[1] * 0 + (q63_t) c[2] * st[0] + (q63_t) c[3] * st[1]
                + (q63_t) c[4] * st[2] + (q63_t) c[5] * st[3];
            uint32_t acc_l = (uint32_t) ((uint64_t) acc & 0xffffffffu);
            uint32_t acc_h = (uint32_t) ((uint64_t) acc >> 32);
            uint32_t low = lShift == 0 ? acc_l : (acc_l >> lShift) | (acc_h << uShift);
            int32_t out = (int32_t) low;
            if (out > 32767) out = 32767;
            if (out < -32768) out = -32768;
            st[1] = st[0]; st[0] = Xn; st[3] = st[2]; st[2] = (q15_t) out;
            pDst[n] = (q15_t) out;
        }
        in = pDst;
    }
}

void arm_biquad_cascade_df1_init_q31(arm_biquad_casd_df1_inst_q31 *S, uint8_t numStages, const q31_t *pCoeffs, q31_t *pState, int8_t postShift)
{
    S->numStages = numStages; S->pCoeffs = pCoeffs; S->pState = pState; S->postShift = (uint8_t) postShift;
    memset(pState, 0, 4u * numStages * sizeof *pState);
}

void arm_biquad_cascade_df1_q31(const arm_biquad_casd_df1_inst_q31 *S, const q31_t *pSrc, q31_t *pDst, uint32_t blockSize)
{
    const uint32_t lShift = 32u - ((uint32_t) S->postShift + 1u);
    const q31_t *in = pSrc;
    for (uint32_t stage = 0; stage < S->numStages; ++stage) {
        const q31_t *c = S->pCoeffs + 5 * stage;
        q31_t *st = S->pState + 4 * stage;
        for (uint32_t n = 0; n < blockSize; ++n) {
            q31_t Xn = in[n];
            uint64_t sum = (uint64_t) ((q63_t) c[0] * Xn) + (uint64_t) ((q63_t) c[1] * st[0])
                + (uint64_t) ((q63_t) c[2] * st[1]) + (uint64_t) ((q63_t) c[3] * st[2])
                + (uint64_t) ((q63_t) c[4] * st[3]);
            q63_t acc = (q63_t) sum;
            acc = acc >> lShift;
            st[1] = st[0]; st[0] = Xn; st[3] = st[2]; st[2] = (q31_t) acc;
            pDst[n] = (q31_t) acc;
        }
        in = pDst;
    }
}
