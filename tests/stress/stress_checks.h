#pragma once

// The invariants the stress driver checks on the real window. Each check
// returns "" when it holds, else "tag: detail", the tag naming the invariant
// so that a shrunk sequence can be required to break the same one.

#include "app/undo_history.h"
#include "model/filter_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class MainWindow;

// The checks of one sequence on one window. They follow what the window's
// z-plane view has drawn from one input event to the next.
class StressChecks {
public:
    explicit StressChecks(const MainWindow& window) : window_(window) {}

    // The filter record, the model and its controls, the cursor.
    std::string checkState() const;

    // The status bar shows what the readout functions give for the pointer's
    // place: the dragged root, the root under the pointer, the z-plane point,
    // the response at the pane column, or the filter's summary.
    std::string checkReadout() const;

    // The roots the z-plane view last drew are the filter's, except while
    // the display may lag behind for a reason the program accepts.
    std::string checkShownRoots() const;

    // Call after every input event: follows what the z-plane view has drawn,
    // so that the display check knows where marks may have been left.
    void observeDrawnRoots();

    // True when the display must equal a fresh full paint: it shows the
    // current roots, and every mark of them and of the roots the last redraw
    // erased lies inside zPlaneRect. Marks drawn outside it leave pixels that
    // only a full paint clears, which the program accepts.
    bool displayCheckable();

    // The panes and the z-plane of the window's surface against a fresh full
    // paint of the same state, drawn by views of its own so that the
    // window's views stay as its last drawing left them.
    std::string checkDisplay() const;

    // Within a few refreshes of the screen, every open time view shows the
    // design the window holds: the plots what the model computes for it,
    // the roots table a row per root.
    std::string checkTimeViews() const;

    // Call after every action. Follows the state the window shows at each
    // index of its undo history; after an undo or a redo the window must
    // show again the state it showed when the history last stood at the
    // index reached.
    std::string checkHistory(bool undoOrRedo);

    // When not empty, where checkDisplay saves both images of a difference,
    // as this path followed by "-shown.png" and "-full-paint.png".
    std::string displayImages;

private:
    bool mayShowOtherRoots() const;

    const MainWindow& window_;
    RootList seenZeros_, seenPoles_;      // the drawn copies at the last observation
    RootList erasedZeros_, erasedPoles_;  // the copies before the last change of them
    std::vector<std::optional<ShownState>> statesAt_{1};  // by history index; unknown where empty
    std::uintptr_t oldestStep_ = 0;  // the address of the history's oldest step at the last check
    int lastIndex_ = 0, lastCount_ = 0;  // the history's index and size at the last check
};
