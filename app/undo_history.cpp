#include "app/undo_history.h"

#include <QUndoCommand>

#include <cstdint>
#include <utility>

bool operator==(const ShownState& a, const ShownState& b)
{
    return a.cutoffMarkerVisible == b.cutoffMarkerVisible && a.document == b.document;
}

namespace {

class GestureStep : public QUndoCommand {
public:
    GestureStep(const QString& text, const ShownState& before, const ShownState& after, int mergeKey,
                bool mayMerge, const std::function<void(const ShownState&)>& restore)
        : QUndoCommand(text), before_(before), after_(after), mergeKey_(mergeKey), mayMerge_(mayMerge),
          restore_(restore)
    {
    }

    // The stack redoes a step as it takes it; the gesture has shown its
    // result already, and showing it again would only repaint.
    void redo() override
    {
        if (recorded_) {
            recorded_ = false;
            return;
        }
        restore_(after_);
    }

    void undo() override { restore_(before_); }

    int id() const override { return mergeKey_; }

    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const GestureStep*>(other);
        if (!next->mayMerge_)
            return false;
        after_ = next->after_;
        setObsolete(after_ == before_);
        return true;
    }

private:
    ShownState before_;
    ShownState after_;
    int mergeKey_;
    bool mayMerge_;
    bool recorded_ = true;
    const std::function<void(const ShownState&)>& restore_;
};

}  // namespace

UndoHistory::UndoHistory(std::function<void(const ShownState&)> restore) : restore_(std::move(restore))
{
    stack_.setUndoLimit(STEP_LIMIT);
}

void UndoHistory::record(const QString& text, const ShownState& before, const ShownState& after, int mergeKey)
{
    if (before == after)
        return;
    const QUndoCommand* top = stack_.index() > 0 ? stack_.command(stack_.index() - 1) : nullptr;
    const bool mayMerge = mergeKey != NO_MERGE && top != nullptr && top == openStep_;
    auto* step = new GestureStep(text, before, after, mergeKey, mayMerge, restore_);
    // The stack deletes the new step when it merges it, and the step it
    // joined when that comes back to its start: after the push, only the
    // addresses of the two are compared.
    const auto address = [](const QUndoCommand* command) { return reinterpret_cast<std::uintptr_t>(command); };
    const std::uintptr_t stepAddress = address(step), topAddress = address(top);
    stack_.push(step);
    const QUndoCommand* now = stack_.index() > 0 ? stack_.command(stack_.index() - 1) : nullptr;
    const bool survived = address(now) == stepAddress || (mayMerge && address(now) == topAddress);
    // A merge that came back to its start has dropped the step it joined;
    // the step below it belongs to an earlier gesture.
    openStep_ = mergeKey != NO_MERGE && survived ? now : nullptr;
}

void UndoHistory::undo()
{
    openStep_ = nullptr;
    stack_.undo();
}

void UndoHistory::redo()
{
    openStep_ = nullptr;
    stack_.redo();
}

void UndoHistory::clear()
{
    openStep_ = nullptr;
    stack_.clear();
}
