#include "model/root_edits.h"

namespace {

template <typename Filter>
auto listOf(Filter& filter, RootListKind list) -> decltype(&filter.zeros)
{
    switch (list) {
    case RootListKind::Zeros: return &filter.zeros;
    case RootListKind::Poles: return &filter.poles;
    case RootListKind::None: break;
    }
    return nullptr;
}

bool holds(const RootList& list, int index) { return index >= 0 && index < list.count && index < MAX_ROOTS; }

}  // namespace

const RootList* rootList(const FilterState& filter, RootListKind list) { return listOf(filter, list); }

RootList* rootList(FilterState& filter, RootListKind list) { return listOf(filter, list); }

void applyRootEdit(FilterState& filter, const RootEdit& edit)
{
    if (edit.kind == RootEdit::Kind::None)
        return;
    if (RootList* list = rootList(filter, edit.slot.list)) {
        const int index = edit.slot.index;
        switch (edit.kind) {
        case RootEdit::Kind::Replace:
            if (holds(*list, index)) {
                list->positions[index] = edit.root.position;
                list->pairFlags[index] = edit.root.pair;
            }
            break;
        case RootEdit::Kind::Add:
            if (list->count >= 0 && list->count < MAX_ROOTS) {
                list->positions[list->count] = edit.root.position;
                list->pairFlags[list->count] = edit.root.pair;
                list->count = list->count + 1;
            }
            break;
        case RootEdit::Kind::Delete:
            if (holds(*list, index)) {
                list->count = list->count - 1;
                list->pairFlags[index] = list->pairFlags[list->count];
                list->positions[index] = list->positions[list->count];
            }
            break;
        case RootEdit::Kind::None:
        case RootEdit::Kind::Normalize: break;
        }
    }
    normalizeGain(filter);
}

Root typedRoot(const Root& root, Complex position)
{
    return {Complex{position.re, root.pair ? position.im : 0.0}, root.pair};
}
