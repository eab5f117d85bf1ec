#pragma once

#include "model/filter_state.h"

// What a user would save of the program's state: the filter (with its model
// index), the sample rate and the two slider positions. A plain value: copy
// it to keep a state, compare it to see whether anything changed.
struct Document {
    FilterState filter = initialFilterState();
    int sampleRate = 44100;   // Hz: 44100, 48000, 96000 or 192000
    int cutoffPosition = 1000;  // 0 … SLIDER_TOP
    int qPosition = 0;          // 0 … SLIDER_TOP
};

// Equal when every part that can matter is equal: the rate, the positions,
// the model index, the Q-visible flag, Nyquist, the lowest frequency, cutoff,
// Q, gain, π and, for each list, the count and the position and pair flag of
// every valid slot; slots beyond the count are ignored. Doubles compare by
// their bits, so that −0 differs from 0 and a NaN equals the same NaN: equal
// documents are those whose design files have the same text.
bool operator==(const Document& a, const Document& b);

// Which parts of two documents differ, compared as operator== compares
// them; the four together cover every part it compares.
struct DocumentDifference {
    bool roots = false;      // zeros, poles, gain (and π, which the designs use)
    bool model = false;      // the model index, the Q-visible flag
    bool positions = false;  // the slider positions and the cutoff and Q they give
    bool rate = false;       // the sample rate, Nyquist, the lowest frequency
};
DocumentDifference documentDifference(const Document& a, const Document& b);

// The document the window holds once its controls are set to these values:
// the rate, the cutoff from its slider position, Q from its slider position,
// then the model's design. In "Custom" the Q controls stay hidden.
Document designedDocument(int model, int sampleRate, int cutoffPosition, int qPosition);
