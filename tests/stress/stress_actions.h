#pragma once

// The user actions of the stress driver. An action holds only raw random
// numbers; what they point at (a root, a palette cell, a control, a place
// outside the window) is resolved against the window as it is when the action
// runs. So any subsequence of a recorded sequence is again a sequence of valid
// actions, which is what shrinking a failure needs.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>

enum class ActionKind {
    Move,         // pointer moves to a target
    Press,        // left button goes down at a target
    Release,      // left button comes up at a target
    Click,        // press and release at one target
    Drag,         // press, a path of moves of any length, release
    ContextMenu,  // right click at a target; an item of the menu, if one opens, is chosen
    Model,        // a model chosen in the combo box, by keys or from its open list
    SliderKeys,   // keys on the cutoff or Q slider
    SliderMouse,  // a click or a drag on the cutoff or Q slider
    SampleRate,   // one of the four sample-rate commands
    Resize,       // the window or the client area takes a new size
    About,        // the About box opened and closed
    Position,     // a root's position typed, valid or not, after a double-click or from its menu
    SaveOpen,     // the design saved to a file and opened again
    Undo,         // undo, from the Edit menu or by Ctrl+Z, one or more times
    Redo,         // redo, from the Edit menu, by Ctrl+Shift+Z or Ctrl+Y, one or more times
    Precision,    // a choice of the View menu's precision view
    Dock,         // one of the time views' docks shown or hidden from the View menu
    Count
};

constexpr int ACTION_PARAMETERS = 10;

struct Action {
    ActionKind kind = ActionKind::Move;
    std::array<std::int32_t, ACTION_PARAMETERS> p{};
};

Action randomAction(std::mt19937_64& random);

// One line of text that parseAction reads back.
std::string actionText(const Action& action);
bool parseAction(const std::string& line, Action& action);

// Lets Qt deliver what is pending: posted events, update requests, paints.
void settleWindow();

class MainWindow;

// The input devices and the modal actor of one sequence on one window: the
// buttons held, where the pointer is, the event clock, what to do with the
// next blocking dialog or menu and the watchdog that closes one left open.
// Make it after the window and drop it before the window goes.
class StressActions {
public:
    explicit StressActions(MainWindow& window);
    ~StressActions();
    StressActions(const StressActions&) = delete;
    StressActions& operator=(const StressActions&) = delete;

    // Runs the action on the window and lets Qt deliver what follows.
    // afterEachEvent runs after every single input event the action sends,
    // so that the caller sees the intermediate states of a drag.
    void perform(const Action& action, const std::function<void()>& afterEachEvent);

    // Text of what went wrong with a blocking dialog or menu, or with a
    // save and open, during the last action ("" when nothing did): a dialog
    // or menu that stayed open, a save or open refused, a document or
    // picture that the round trip changed. A dialog or menu that was expected
    // and never came is fine.
    std::string takeModalTrouble();

    // Whether the last action opened a saved design again, after which the
    // display must be a full paint of it, whatever the lag the driver
    // otherwise allows.
    bool takeRoundTrip();

    // How many root menus and About boxes the actions have seen open, and
    // how many save and open round trips they made.
    std::string statistics() const;

private:
    struct Session;
    std::unique_ptr<Session> session_;
};
