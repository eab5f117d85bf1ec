#include "app/main_window.h"

#include "app/about_box.h"
#include "app/client_area.h"
#include "app/control_panel.h"
#include "app/root_editor.h"
#include "model/designs.h"
#include "model/filter_state.h"
#include "res/images.h"
#include "res/resource_ids.h"
#include "view/fonts.h"
#include "view/layout.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>

#include <algorithm>
#include <cmath>

QMainWindow* mainWindow = nullptr;
const QCursor* arrowCursor = nullptr;
const QCursor* handCursor = nullptr;
const QCursor* binCursor = nullptr;

namespace {

QAction* rateActions[std::size(RATE_COMMANDS)];

// The window as a whole, frame included where the platform reports one, is
// never made smaller than this by the user.
constexpr QSize MINIMUM_WINDOW_SIZE{620, 420};

QAction* addCommand(QMenu* menu, const char* text, int id)
{
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setData(id);
    QObject::connect(action, &QAction::triggered, [id] { handleCommand(id); });
    return action;
}

void createMenus(QMainWindow* window)
{
    QMenuBar* bar = window->menuBar();
    addCommand(bar->addMenu(QString::fromUtf8(MENU_FILE)), MENU_EXIT, IDM_EXIT);
    QMenu* rates = bar->addMenu(QString::fromUtf8(MENU_SAMPLE_RATE));
    // One group, so that the style marks the rates as a choice of one.
    auto* rateGroup = new QActionGroup(rates);
    rateGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (std::size_t i = 0; i < std::size(RATE_COMMANDS); ++i) {
        rateActions[i] = addCommand(rates, RATE_COMMANDS[i].text, RATE_COMMANDS[i].id);
        rateActions[i]->setCheckable(true);
        rateGroup->addAction(rateActions[i]);
        rateActions[i]->setChecked(RATE_COMMANDS[i].id == DEFAULT_RATE_COMMAND);
    }
    addCommand(bar->addMenu(QString::fromUtf8(MENU_HELP)), MENU_ABOUT, IDM_ABOUT);
}

// Alt with a typed "?" or "/" opens the About box while the client area has
// the keyboard focus, as it has at start and after a click on the panes or
// the z-plane; a child control with the focus takes the keys.
void createShortcuts(QWidget* focusHolder)
{
    for (const char key : ABOUT_SHORTCUT_KEYS) {
        auto* shortcut = new QShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, static_cast<Qt::Key>(key))),
                                       focusHolder);
        shortcut->setContext(Qt::WidgetShortcut);
        QObject::connect(shortcut, &QShortcut::activated, [] { handleCommand(IDM_ABOUT); });
    }
}

void loadCursors()
{
    if (arrowCursor == nullptr)
        arrowCursor = new QCursor(Qt::ArrowCursor);
    if (handCursor == nullptr)
        handCursor = new QCursor(loadHandCursor());
    if (binCursor == nullptr)
        binCursor = new QCursor(loadBinCursor());
}

void releaseCursors()
{
    delete arrowCursor;
    arrowCursor = nullptr;
    delete handCursor;
    handCursor = nullptr;
    delete binCursor;
    binCursor = nullptr;
}

void sampleRateCommand(int id)
{
    for (std::size_t i = 0; i < std::size(RATE_COMMANDS); ++i)
        if (RATE_COMMANDS[i].id == id)
            updateCutoff(RATE_COMMANDS[i].rate);
    for (std::size_t i = 0; i < std::size(RATE_COMMANDS); ++i)
        rateActions[i]->setChecked(RATE_COMMANDS[i].id == id);
    clientArea->invalidate();
}

QSize defaultWindowSize(const QScreen* screen)
{
    const QSize available = screen->availableSize();
    return QSize(available.width() * 2 / 3, available.height() * 2 / 3).expandedTo(MINIMUM_WINDOW_SIZE);
}

}  // namespace

void updateMinimumWindowSize()
{
    const QSize frame = mainWindow->frameGeometry().size() - mainWindow->geometry().size();
    mainWindow->setMinimumSize(MINIMUM_WINDOW_SIZE - frame.expandedTo(QSize(0, 0)));
}

bool createMainWindow()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return false;
    auto* window = new QMainWindow;
    mainWindow = window;
    loadCursors();
    window->setWindowTitle(QString::fromUtf8(APP_TITLE));
    window->setWindowIcon(loadApplicationIcon());
    createMenus(window);
    clientArea = new ClientArea(window);
    window->setCentralWidget(clientArea);

    // One surface pixel is one device pixel: fonts and the controls' base
    // unit are measured in device pixels.
    const double ratio = screen->devicePixelRatio();
    createFonts(toPixel(screen->logicalDotsPerInchY() * ratio));
    const QFontMetrics controlFont(clientArea->font());
    baseUnitY = toPixel((controlFont.ascent() + controlFont.descent()) * ratio);
    createControls(clientArea);
    updateCutoff(2.0 * filterState.nyquist);
    createShortcuts(clientArea);

    applyModel();
    window->resize(defaultWindowSize(screen));
    window->show();
    clientArea->setFocus();
    updateMinimumWindowSize();
    return true;
}

void destroyMainWindow()
{
    if (mainWindow == nullptr)
        return;
    delete mainWindow;
    mainWindow = nullptr;
    clientArea = nullptr;
    controls = ControlPanel{};
    std::fill(std::begin(rateActions), std::end(rateActions), nullptr);
    releaseCursors();
    releaseFonts();
}

int runMainWindow()
{
    if (createMainWindow())
        QApplication::exec();
    destroyMainWindow();
    return 0;
}

void handleCommand(int id)
{
    switch (id) {
    case IDM_ABOUT: showAboutBox(mainWindow); break;
    case IDM_EXIT: mainWindow->close(); break;
    case IDM_ROOT_DELETE:
    case IDM_ROOT_TOGGLE: {
        const EditorResponse response = handleRootCommand(id);
        if (response.switchToCustom)
            switchToCustom();
        if (response.redraw)
            redrawPlots(response.showMarker);
        break;
    }
    case IDM_RATE_44100:
    case IDM_RATE_48000:
    case IDM_RATE_96000:
    case IDM_RATE_192000: sampleRateCommand(id); break;
    default: break;
    }
}

void redrawPlots(bool showMarker) { clientArea->redrawPlots(showMarker); }

void applyAndRedraw()
{
    applyModel();
    redrawPlots(true);
}
