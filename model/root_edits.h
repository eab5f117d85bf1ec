#pragma once

#include "model/filter_state.h"

// Changes of a filter's roots, as values: the root editor decides on one,
// and the owner of the filter carries it out with applyRootEdit. Every edit
// but None normalises the gain afterwards, as every edit of the roots does.

// A root list of a filter, or none.
enum class RootListKind { None, Zeros, Poles };

// One root slot: a list and an index 0 … 19.
struct RootSlot {
    RootListKind list = RootListKind::None;
    int index = 0;
};

struct RootEdit {
    enum class Kind {
        None,       // the roots and the gain stay as they are
        Normalize,  // the roots stay; the gain is normalised
        Replace,    // slot takes root
        Add,        // root is appended to slot.list; slot.index is ignored
        Delete,     // the list's last root takes the place of slot's
    };
    Kind kind = Kind::None;
    RootSlot slot;
    Root root;
};

// The list of the filter that slot names; null for RootListKind::None.
const RootList* rootList(const FilterState& filter, RootListKind list);
RootList* rootList(FilterState& filter, RootListKind list);

// Carries out edit on filter. An edit that names a slot outside its list, or
// an Add to a full list, changes no root but still normalises the gain, as
// an edit of a stale slot always has.
void applyRootEdit(FilterState& filter, const RootEdit& edit);

// A slot's root moved exactly to position: a pair takes both parts (its
// mirror follows), a single root the real part only, im staying 0.
Root typedRoot(const Root& root, Complex position);
