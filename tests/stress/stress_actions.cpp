#include "tests/stress/stress_actions.h"
#include "tests/stress/stress_targets.h"
#include "tests/window_driver.h"

#include "app/client_area.h"
#include "app/control_panel.h"
#include "app/main_window.h"
#include "app/position_dialog.h"
#include "model/filter_state.h"
#include "res/resource_ids.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <sstream>
#include <utility>

// Qt's own entry for input events from the platform, the one QTest uses.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button, QEvent::Type type,
                                      Qt::KeyboardModifiers mods, int timestamp);

namespace {

constexpr const char* KIND_NAMES[] = {"move",  "press",       "release",     "click",      "drag",   "context",
                                      "model", "slider-keys", "slider-mouse", "sample-rate", "resize", "about",
                                      "position", "save-open", "undo", "redo", "precision", "dock"};
static_assert(std::size(KIND_NAMES) == static_cast<std::size_t>(ActionKind::Count));

}  // namespace

// The state of one sequence's input devices and modal actor, and the
// actions that use them.
struct StressActions::Session {
    explicit Session(MainWindow& target) : window(target)
    {
        QObject::connect(&actPoller, &QTimer::timeout, [this] {
            QWidget* modal = blockingWidget();
            if (modal == nullptr || !pendingAct)
                return;
            const std::function<void(QWidget*)> act = std::move(pendingAct);
            pendingAct = nullptr;
            actPoller.stop();
            act(modal);
        });

        // A dialog or menu that nothing closes would block the run for good.
        QObject::connect(&watchdog, &QTimer::timeout, [this, openFor = QElapsedTimer()]() mutable {
            QWidget* modal = blockingWidget();
            if (modal == nullptr) {
                openFor.invalidate();
                return;
            }
            // Any two clicks on a root close together in time and place are a
            // double-click, whichever action sent them: its dialog is cancelled.
            if (!pendingAct && dynamic_cast<PositionDialog*>(modal) != nullptr) {
                ++unexpectedPositionDialogs;
                QTest::keyClick(modal, Qt::Key_Escape);
                openFor.invalidate();
                return;
            }
            if (!openFor.isValid())
                openFor.start();
            else if (openFor.elapsed() > 5000) {
                modalTrouble = "a dialog or pop-up menu stayed open";
                modal->close();
                openFor.invalidate();
            }
        });
        watchdog.start(200);
    }

    // A button still held at the end of a sequence comes up while the
    // window is there, so that the application holds none for the next one.
    ~Session()
    {
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton})
            if (heldButtons.testFlag(button))
                pointer(window.windowHandle(), QEvent::MouseButtonRelease, button, pointerAt);
        settleWindow();
    }

    MainWindow& window;

    Qt::MouseButtons heldButtons;
    QPoint pointerAt;
    int eventTime = 0;
    const std::function<void()>* observer = nullptr;

    // What to do with the next blocking dialog or pop-up menu, run from
    // inside its own event loop.
    std::function<void(QWidget*)> pendingAct;
    QTimer actPoller;
    QTimer watchdog;
    std::string modalTrouble;
    std::int64_t menusShown = 0;
    std::int64_t dialogsShown = 0;
    std::int64_t positionsTyped = 0;
    std::int64_t unexpectedPositionDialogs = 0;
    std::int64_t roundTrips = 0;
    bool roundTripDone = false;
    QTemporaryDir files;

    // ---------------------------------------------------------------- input


    void observe()
    {
        if (observer != nullptr && *observer)
            (*observer)();
    }

    // A button is pressed only when up and released only when down, as on any
    // real device: a held button comes up first where the pointer is.
    bool physical(QWindow* target, QEvent::Type type, Qt::MouseButton button)
    {
        if (type == QEvent::MouseButtonRelease)
            return heldButtons.testFlag(button);
        if (type == QEvent::MouseButtonPress && heldButtons.testFlag(button))
            pointer(target, QEvent::MouseButtonRelease, button, pointerAt);
        return true;
    }

    void pointer(QWindow* target, QEvent::Type type, Qt::MouseButton button, QPoint at)
    {
        if (target == nullptr || !physical(target, type, button))
            return;
        pointerAt = at;
        if (type == QEvent::MouseButtonPress)
            heldButtons |= button;
        else if (type == QEvent::MouseButtonRelease)
            heldButtons &= ~Qt::MouseButtons(button);
        eventTime += 16;
        const QPointF local(at);
        qt_handleMouseEvent(target, local, target->mapToGlobal(local), heldButtons,
                            type == QEvent::MouseMove ? Qt::NoButton : button, type, Qt::NoModifier, eventTime);
        QCoreApplication::processEvents();
        observe();
    }

    QWindow* mainHandle() { return window.windowHandle(); }

    void moveTo(QPoint at) { pointer(mainHandle(), QEvent::MouseMove, Qt::NoButton, at); }
    void pressAt(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        pointer(mainHandle(), QEvent::MouseButtonPress, button, at);
    }
    void releaseAt(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        pointer(mainHandle(), QEvent::MouseButtonRelease, button, at);
    }

    // A click on a widget of a pop-up or dialog, through that widget's own window.
    void clickOn(QWidget* widget, QPoint local)
    {
        QWidget* top = widget->window();
        const QPoint at = widget->mapTo(top, local);
        pointer(top->windowHandle(), QEvent::MouseButtonPress, Qt::LeftButton, at);
        pointer(top->windowHandle(), QEvent::MouseButtonRelease, Qt::LeftButton, at);
    }

    // The one item of a time view dock's menu, which a right-click on the
    // dock shows rather than a root's menu; null for any other menu.
    static QAction* copyDataItem(const QMenu* menu)
    {
        const QList<QAction*> items = menu->actions();
        return items.size() == 1 && items[0]->text() == QString::fromUtf8(MENU_COPY_DATA) ? items[0] : nullptr;
    }

    // Clicks the root menu's item id; a menu without it is a fault of the
    // run, and is closed.
    bool chooseRootMenuItem(QMenu* menu, int id)
    {
        for (QAction* action : menu->actions())
            if (!action->isSeparator() && action->data().toInt() == id) {
                clickOn(menu, menu->actionGeometry(action).center());
                return true;
            }
        modalTrouble = "the root menu has no item " + std::to_string(id);
        menu->close();
        return false;
    }

    void key(QWidget* widget, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(widget, k, modifiers);
        observe();
    }

    // ---------------------------------------------------------------- modal actor


    QWidget* blockingWidget()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            return popup;
        return QApplication::activeModalWidget();
    }

    void armModal(std::function<void(QWidget*)> act)
    {
        pendingAct = std::move(act);
        actPoller.start(0);
    }

    void disarmModal()
    {
        pendingAct = nullptr;
        actPoller.stop();
    }

    // The menu item carrying id, in a menu of the menu bar or a submenu.
    QAction* commandAction(int id)
    {
        const std::function<QAction*(const QMenu*)> find = [&find, id](const QMenu* menu) -> QAction* {
            for (QAction* item : menu->actions()) {
                if (item->menu() != nullptr) {
                    if (QAction* found = find(item->menu()))
                        return found;
                } else if (item->data().toInt() == id) {
                    return item;
                }
            }
            return nullptr;
        };
        for (QAction* top : window.menuBar()->actions())
            if (top->menu() != nullptr)
                if (QAction* found = find(top->menu()))
                    return found;
        return nullptr;
    }

    void closeLeftoverPopups()
    {
        for (int i = 0; i < 8; ++i) {
            QWidget* popup = QApplication::activePopupWidget();
            if (popup == nullptr)
                return;
            popup->close();
            settleWindow();
        }
    }

    // ---------------------------------------------------------------- actions

    void performPointer(const Action& a)
    {
        // The pointer reaches a place before a button changes there, as with
        // every real pointing device.
        const QPoint at = resolveTarget(window, &a.p[0]);
        moveTo(at);
        switch (a.kind) {
        case ActionKind::Move: break;
        case ActionKind::Press: pressAt(at); break;
        case ActionKind::Release: releaseAt(at); break;
        default:
            pressAt(at);
            releaseAt(at);
            break;
        }
    }

    void performDrag(const Action& a)
    {
        const QPoint from = resolveTarget(window, &a.p[0]);
        moveTo(from);
        pressAt(from);
        const QPoint to = resolveTarget(window, &a.p[4]);
        const int steps = pick(a.p[8], 8) == 0 ? 1 + pick(a.p[8] >> 3, 300) : 1 + pick(a.p[8] >> 3, 40);
        const int path = pick(a.p[9], 4);
        std::uint32_t wander = static_cast<std::uint32_t>(a.p[9]);
        const QPoint away(pick(a.p[9] >> 2, 2) == 0 ? -60 : window.width() + 60, window.height() / 2);
        for (int step = 1; step <= steps; ++step) {
            QPoint p = from + (to - from) * step / steps;
            if (path == 1) {
                wander = wander * 1664525u + 1013904223u;
                p += QPoint(static_cast<int>(wander >> 28) - 8, static_cast<int>((wander >> 24) & 15u) - 8);
            } else if (path == 2 && step * 2 <= steps) {
                p = from + (away - from) * step * 2 / std::max(steps, 1);
            } else if (path == 2) {
                p = away + (to - away) * (step * 2 - steps) / std::max(steps, 1);
            } else if (path == 3) {
                p = from + QPoint(step % 2, (step / 2) % 2);
            }
            moveTo(p);
        }
        moveTo(to);
        releaseAt(to);
    }

    void performContextMenu(const Action& a)
    {
        const QPoint at = resolveTarget(window, &a.p[0]);
        const int choice = pick(a.p[4], 5);
        moveTo(at);
        armModal([this, choice](QWidget* popup) {
            auto* menu = qobject_cast<QMenu*>(popup);
            if (menu == nullptr) {
                popup->close();
                return;
            }
            ++menusShown;
            if (choice == 3) {
                QTest::keyClick(menu, Qt::Key_Escape);
                return;
            }
            if (choice == 4) {
                const QPoint outside(-30, -30);
                pointer(menu->windowHandle(), QEvent::MouseButtonPress, Qt::LeftButton, outside);
                pointer(menu->windowHandle(), QEvent::MouseButtonRelease, Qt::LeftButton, outside);
                return;
            }
            if (QAction* copy = copyDataItem(menu)) {
                clickOn(menu, menu->actionGeometry(copy).center());
                return;
            }
            chooseRootMenuItem(menu, IDM_ROOT_DELETE + choice);
        });
        pressAt(at, Qt::RightButton);
        releaseAt(at, Qt::RightButton);
        settleWindow();
        disarmModal();
    }

    void performModel(const Action& a)
    {
        QComboBox* combo = clientAreaOf(window)->controls().modelComboBox;
        const int model = pick(a.p[0], MODEL_COUNT);
        if (pick(a.p[1], 2) == 0 || !combo->isVisible()) {
            combo->setFocus();
            const int limit = 2 * MODEL_COUNT;
            for (int i = 0; i < limit && combo->currentIndex() < model; ++i)
                key(combo, Qt::Key_Down);
            for (int i = 0; i < limit && combo->currentIndex() > model; ++i)
                key(combo, Qt::Key_Up);
            return;
        }
        combo->showPopup();
        settleWindow();
        QAbstractItemView* list = combo->view();
        if (list->isVisible())
            clickOn(list->viewport(), list->visualRect(list->model()->index(model, 0)).center());
    }

    QSlider* chosenSlider(std::int32_t which) { return pick(which, 2) == 0 ? clientAreaOf(window)->controls().cutoffSlider : clientAreaOf(window)->controls().qSlider; }

    void performSliderKeys(const Action& a)
    {
        QSlider* slider = chosenSlider(a.p[0]);
        if (!slider->isVisible())
            return;
        const Qt::Key keys[] = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,   Qt::Key_Down,
                                Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
        slider->setFocus();
        const Qt::Key k = keys[pick(a.p[1], 8)];
        for (int i = 0, n = 1 + pick(a.p[2], 20); i < n; ++i)
            key(slider, k);
    }

    void performSliderMouse(const Action& a)
    {
        QSlider* slider = chosenSlider(a.p[0]);
        const auto inWindow = [this, slider](QPoint local) { return avoidMenuBar(window, slider->mapTo(&window, local)); };
        const int middle = slider->height() / 2;
        if (pick(a.p[1], 2) == 0) {
            const QPoint at = inWindow(QPoint(pick(a.p[2], std::max(slider->width(), 1)), middle));
            moveTo(at);
            pressAt(at);
            releaseAt(at);
            return;
        }
        const QRect handle = sliderHandle(slider);
        const QPoint start = inWindow(handle.center());
        const int distance = pick(a.p[3], 801) - 400;
        const int steps = 1 + pick(a.p[4], 12);
        moveTo(start);
        pressAt(start);
        for (int step = 1; step <= steps; ++step)
            moveTo(start + QPoint(distance * step / steps, pick(a.p[5], 3) == 0 ? step * 7 : 0));
        moveTo(start + QPoint(distance, 0));
        releaseAt(start + QPoint(distance, 0));
    }

    // One of the precision view's choices, from the View menu.
    void performPrecision(const Action& a)
    {
        if (QAction* action = commandAction(PRECISION_COMMANDS[pick(a.p[0], std::size(PRECISION_COMMANDS))].id))
            action->trigger();
    }

    // One of the time views' docks shown or hidden, from the View menu.
    void performDock(const Action& a)
    {
        if (QAction* action = commandAction(TIME_VIEW_DOCKS[pick(a.p[0], std::size(TIME_VIEW_DOCKS))].id))
            action->trigger();
    }

    void performSampleRate(const Action& a)
    {
        if (QAction* action = commandAction(RATE_COMMANDS[pick(a.p[0], 4)].id))
            action->trigger();
    }

    void performResize(const Action& a)
    {
        const QSize sizes[] = {{0, 0},       {1, 1},       {300, 200},  {619, 419},   {620, 420},  {800, 600},
                               {5000, 420},  {620, 5000},  {3840, 2160}, {70000, 300}, {2, 60},     {40, 25}};
        QSize size;
        const int choice = pick(a.p[0], 4);
        if (choice == 0)
            size = sizes[pick(a.p[1], static_cast<int>(std::size(sizes)))];
        else if (choice == 1)
            size = QSize(pick(a.p[1], 1400), pick(a.p[2], 1000));
        else
            size = QSize(620 + pick(a.p[1], 600), 420 + pick(a.p[2], 480));
        switch (pick(a.p[3], 3)) {
        case 0: mainHandle()->resize(size); break;
        case 1: window.resize(size); break;
        default: clientAreaOf(window)->resize(size); break;
        }
    }

    // Types into the position dialog, if one opens: a valid position, or text
    // that the dialog must refuse with OK disabled, then Enter; a dialog
    // still open after that is left with Esc or its Cancel button.
    void typePosition(QWidget* modal, const Action& a)
    {
        auto* dialog = dynamic_cast<PositionDialog*>(modal);
        if (dialog == nullptr) {
            modal->close();
            return;
        }
        ++positionsTyped;
        static const char* const refused[] = {"", "abc", "1.6", "-2", "nan", "inf", "1e400", "0.5.5", "--1"};
        const auto number = [](std::int32_t raw) {
            return std::to_string(static_cast<double>(pick(raw, 3001) - 1500) / 1000.0);
        };
        const int choice = pick(a.p[5], 4);
        const std::string real = choice == 0 ? refused[pick(a.p[6], static_cast<int>(std::size(refused)))]
                                             : number(a.p[6]);
        QLineEdit* realField = dialog->field(PositionField::Real);
        QLineEdit* imaginaryField = dialog->field(PositionField::Imaginary);
        QTest::keyClicks(realField, QString::fromStdString(real));
        QLineEdit* typedLast = realField;
        if (imaginaryField->isEnabled() && choice != 3) {
            typedLast = imaginaryField;
            imaginaryField->setFocus();
            imaginaryField->selectAll();
            QTest::keyClicks(imaginaryField, QString::fromStdString(
                                                 choice == 1 ? refused[pick(a.p[7], static_cast<int>(std::size(refused)))]
                                                             : number(a.p[7])));
        }
        const bool refusedText = !dialog->okButton()->isEnabled();
        // Enter in a field goes on to the dialog's default button.
        QTest::keyClick(typedLast, Qt::Key_Return);
        if (dialog->isVisible()) {
            if (!refusedText)
                modalTrouble = "the position dialog stayed open after Enter with OK enabled";
            QTest::keyClick(dialog, Qt::Key_Escape);
        } else if (refusedText) {
            modalTrouble = "the position dialog closed on Enter with OK disabled";
        }
    }

    void performPosition(const Action& a)
    {
        const QPoint at = resolveTarget(window, &a.p[0]);
        moveTo(at);
        if (pick(a.p[4], 2) == 0) {
            armModal([this, a](QWidget* modal) { typePosition(modal, a); });
            // A second press soon after the first at the same place is a
            // double-click.
            pressAt(at);
            releaseAt(at);
            pressAt(at);
            releaseAt(at);
        } else {
            armModal([this, a](QWidget* popup) {
                auto* menu = qobject_cast<QMenu*>(popup);
                if (menu == nullptr) {
                    popup->close();
                    return;
                }
                ++menusShown;
                if (copyDataItem(menu) != nullptr) {
                    QTest::keyClick(menu, Qt::Key_Escape);
                    return;
                }
                // The dialog opens once the menu's own loop has ended.
                if (chooseRootMenuItem(menu, IDM_ROOT_POSITION))
                    armModal([this, a](QWidget* modal) { typePosition(modal, a); });
            });
            pressAt(at, Qt::RightButton);
            releaseAt(at, Qt::RightButton);
        }
        settleWindow();
        disarmModal();
    }

    void performAbout(const Action& a)
    {
        const int closing = pick(a.p[1], 4);
        armModal([this, closing](QWidget* dialog) {
            ++dialogsShown;
            auto* ok = dialog->findChild<QPushButton*>();
            if (closing == 0 && ok != nullptr)
                clickOn(ok, ok->rect().center());
            else if (closing == 1)
                QTest::keyClick(dialog, Qt::Key_Return);
            else if (closing == 2)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
        });
        const int how = pick(a.p[0], 3);
        if (how == 0) {
            if (QAction* about = commandAction(IDM_ABOUT))
                about->trigger();
        } else {
            window.activateWindow();
            clientAreaOf(window)->setFocus();
            key(clientAreaOf(window), how == 1 ? Qt::Key_Question : Qt::Key_Slash, Qt::AltModifier);
        }
        settleWindow();
        disarmModal();
    }

    // The document saved and opened again is the same document, drawn as a
    // full paint draws it, and the window takes it as unchanged.
    void performSaveOpen(const Action& a)
    {
        if (!files.isValid()) {
            modalTrouble = "save-open: no temporary folder";
            return;
        }
        const QString path = files.filePath(QStringLiteral("design%1.vorbel").arg(pick(a.p[0], 3)));
        const Document before = window.session().document();
        if (const QString problem = window.findChild<FileCommands*>()->saveDesignFile(path); !problem.isEmpty()) {
            modalTrouble = "save-open: save refused: " + problem.toStdString();
            return;
        }
        if (const QString problem = window.findChild<FileCommands*>()->openDesignFile(path); !problem.isEmpty()) {
            modalTrouble = "save-open: open refused: " + problem.toStdString();
            return;
        }
        settleWindow();
        ++roundTrips;
        if (!(window.session().document() == before))
            modalTrouble = "save-open: the document changed";
        else if (window.session().hasUnsavedChanges())
            modalTrouble = "save-open: the opened design counts as changed";
        roundTripDone = true;
    }

    // The keys go to whichever widget has the focus; the shortcuts belong
    // to the whole window.
    void performUndoRedo(const Action& a)
    {
        const bool undo = a.kind == ActionKind::Undo;
        const int how = pick(a.p[0], 3);
        window.activateWindow();
        for (int i = 0, n = 1 + pick(a.p[1], 4); i < n; ++i) {
            QWidget* focus = QApplication::focusWidget();
            if (focus == nullptr || focus->window() != &window)
                focus = clientAreaOf(window);
            if (how == 0) {
                if (QAction* action = commandAction(undo ? IDM_UNDO : IDM_REDO))
                    action->trigger();
                observe();
            } else if (undo) {
                key(focus, Qt::Key_Z, Qt::ControlModifier);
            } else {
                key(focus, how == 1 ? Qt::Key_Z : Qt::Key_Y,
                    how == 1 ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
            }
        }
    }
};

Action randomAction(std::mt19937_64& random)
{
    // Weights of the kinds, in ActionKind order.
    static const int weights[] = {30, 8, 8, 6, 14, 6, 6, 6, 5, 2, 2, 1, 3, 1, 5, 3, 1, 2};
    static_assert(std::size(weights) == static_cast<std::size_t>(ActionKind::Count));
    std::discrete_distribution<int> kinds(std::begin(weights), std::end(weights));
    Action action;
    action.kind = static_cast<ActionKind>(kinds(random));
    std::uniform_int_distribution<std::int32_t> any(0, 0x7fffffff);
    for (std::int32_t& value : action.p)
        value = any(random);
    return action;
}

std::string actionText(const Action& action)
{
    std::ostringstream text;
    text << KIND_NAMES[static_cast<int>(action.kind)];
    for (const std::int32_t value : action.p)
        text << ' ' << value;
    return text.str();
}

bool parseAction(const std::string& line, Action& action)
{
    std::istringstream text(line);
    std::string name;
    if (!(text >> name))
        return false;
    const auto* found = std::find_if(std::begin(KIND_NAMES), std::end(KIND_NAMES),
                                     [&name](const char* kind) { return name == kind; });
    if (found == std::end(KIND_NAMES))
        return false;
    action.kind = static_cast<ActionKind>(found - std::begin(KIND_NAMES));
    for (std::int32_t& value : action.p)
        if (!(text >> value))
            return false;
    return true;
}

void settleWindow()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

StressActions::StressActions(MainWindow& window) : session_(std::make_unique<Session>(window)) {}

StressActions::~StressActions() = default;

std::string StressActions::statistics() const
{
    return std::to_string(session_->menusShown) + " root menus and " + std::to_string(session_->dialogsShown) +
           " About boxes shown, " +
           std::to_string(session_->positionsTyped) + " positions typed, " +
           std::to_string(session_->unexpectedPositionDialogs) + " position dialogs from other actions cancelled, " +
           std::to_string(session_->roundTrips) + " save and open round trips";
}

bool StressActions::takeRoundTrip()
{
    return std::exchange(session_->roundTripDone, false);
}

std::string StressActions::takeModalTrouble()
{
    std::string trouble;
    trouble.swap(session_->modalTrouble);
    return trouble;
}

void StressActions::perform(const Action& action, const std::function<void()>& afterEachEvent)
{
    Session& s = *session_;
    s.observer = &afterEachEvent;
    switch (action.kind) {
    case ActionKind::Move:
    case ActionKind::Press:
    case ActionKind::Release:
    case ActionKind::Click: s.performPointer(action); break;
    case ActionKind::Drag: s.performDrag(action); break;
    case ActionKind::ContextMenu: s.performContextMenu(action); break;
    case ActionKind::Model: s.performModel(action); break;
    case ActionKind::SliderKeys: s.performSliderKeys(action); break;
    case ActionKind::SliderMouse: s.performSliderMouse(action); break;
    case ActionKind::SampleRate: s.performSampleRate(action); break;
    case ActionKind::Resize: s.performResize(action); break;
    case ActionKind::About: s.performAbout(action); break;
    case ActionKind::Position: s.performPosition(action); break;
    case ActionKind::SaveOpen: s.performSaveOpen(action); break;
    case ActionKind::Undo:
    case ActionKind::Redo: s.performUndoRedo(action); break;
    case ActionKind::Precision: s.performPrecision(action); break;
    case ActionKind::Dock: s.performDock(action); break;
    case ActionKind::Count: break;
    }
    settleWindow();
    s.closeLeftoverPopups();
    s.observer = nullptr;
}
