#include "app/main_window.h"

#include "app/about_box.h"
#include "app/client_area.h"
#include "app/code_export_commands.h"
#include "app/coefficient_import_commands.h"
#include "app/file_commands.h"
#include "app/listen_dock.h"
#include "app/readout_bar.h"
#include "app/time_docks.h"
#include "app/window_edges.h"
#include "res/images.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QUndoStack>

#include <algorithm>

namespace {

// The window as a whole, frame included where the platform reports one, is
// never made smaller than this by the user.
constexpr QSize MINIMUM_WINDOW_SIZE{620, 420};

// A menu item carrying its command id, for whoever looks for the command.
template <typename Receiver, typename Slot>
QAction* addCommand(QMenu* menu, const char* text, int id, Receiver* receiver, Slot slot)
{
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setData(id);
    QObject::connect(action, &QAction::triggered, receiver, slot);
    return action;
}

QSize defaultWindowSize(const QScreen* screen)
{
    const QSize available = screen->availableSize();
    return QSize(available.width() * 2 / 3, available.height() * 2 / 3).expandedTo(MINIMUM_WINDOW_SIZE);
}

}  // namespace

MainWindow::MainWindow(QScreen* screen)
{
    setWindowIcon(loadApplicationIcon());
    // With docks, Qt's main window offers a pop-up of them on a right-click
    // that nothing else takes (the client area away from a root, the menu
    // bar): a second way to the View menu's items. The window keeps one
    // pop-up menu, a root's.
    setContextMenuPolicy(Qt::NoContextMenu);
    // Docks take their places at once: an animated move resizes the client
    // area, and repaints all of it, at every frame of the animation.
    setAnimated(false);
    clientArea_ = new ClientArea(session_, screen, this);
    setCentralWidget(clientArea_);
    files_ = new FileCommands(session_, this, [this]() -> const QImage& { return clientArea_->surface().image; });
    createMenus();
    createShortcuts();
    // A widget rather than the bar's message: a menu's status tip replaces a
    // message for good, but only hides a widget while it shows.
    readout_ = new ReadoutBar(statusBar());
    statusBar()->addWidget(readout_, 1);
    connect(clientArea_, &ClientArea::readoutChanged, readout_, &ReadoutBar::setText);
    // Queued: a new minimum can resize the client area, which must not happen
    // inside its own layout.
    connect(clientArea_, &ClientArea::laidOut, this, &MainWindow::updateMinimumWindowSize, Qt::QueuedConnection);
    readout_->setText(clientArea_->readoutText());

    const QUndoStack* stack = &session_.history().stack();
    connect(stack, &QUndoStack::indexChanged, this, &MainWindow::updateUndoActions);
    connect(stack, &QUndoStack::cleanChanged, this, &MainWindow::updateUndoActions);
    for (const QDockWidget* dock : findChildren<QDockWidget*>()) {
        connect(dock, &QDockWidget::visibilityChanged, this, &MainWindow::updateMinimumWindowSize, Qt::QueuedConnection);
        connect(dock, &QDockWidget::topLevelChanged, this, &MainWindow::updateMinimumWindowSize, Qt::QueuedConnection);
    }
    connect(&session_, &DesignSession::changed, this, &MainWindow::follow);
    follow(DesignChange::Restored);
    resize(defaultWindowSize(screen));
}

// The client area and the controls in it refer to the session; they go
// first, while it still exists.
MainWindow::~MainWindow() { delete takeCentralWidget(); }

void MainWindow::createMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QString::fromUtf8(MENU_FILE));
    addCommand(file, MENU_OPEN, IDM_FILE_OPEN, files_, &FileCommands::open)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addCommand(file, MENU_SAVE, IDM_FILE_SAVE, files_, &FileCommands::save)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(file, MENU_SAVE_AS, IDM_FILE_SAVE_AS, files_, &FileCommands::saveAs)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    QAction* exports =
        addCommand(file, MENU_EXPORT_COEFFICIENTS, IDM_EXPORT_COEFFICIENTS, files_, &FileCommands::exportCoefficientsAs);
    addCommand(file, MENU_EXPORT_PICTURE, IDM_EXPORT_PICTURE, files_, &FileCommands::exportPictureAs);
    auto* code = new CodeExportCommands(session_, *clientArea_, this);
    addCommand(file, MENU_EXPORT_CODE, IDM_EXPORT_CODE, code, &CodeExportCommands::exportCodeAs);
    file->addSeparator();
    addCommand(file, MENU_EXIT, IDM_EXIT, this, &QWidget::close);

    QMenu* edit = bar->addMenu(QString::fromUtf8(MENU_EDIT));
    undoAction_ = addCommand(edit, MENU_UNDO, IDM_UNDO, &session_, &DesignSession::undo);
    undoAction_->setShortcuts(QKeySequence::Undo);
    redoAction_ = addCommand(edit, MENU_REDO, IDM_REDO, &session_, &DesignSession::redo);
    redoAction_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    updateUndoActions();
    edit->addSeparator();
    addCommand(edit, MENU_COPY_COEFFICIENTS, IDM_COPY_COEFFICIENTS, files_, &FileCommands::copyCoefficients);
    addCommand(edit, MENU_COPY_CODE, IDM_COPY_CODE, code, &CodeExportCommands::copyCode);
    installCoefficientImport(*this, session_, *file, exports, *edit);

    QMenu* view = bar->addMenu(QString::fromUtf8(MENU_VIEW));
    installTimeViewDocks(*this, *view, session_, *clientArea_);
    view->addSeparator();
    code->addPrecisionMenu(*view);
    installListenDock(*this, *view, session_);

    QMenu* rates = bar->addMenu(QString::fromUtf8(MENU_SAMPLE_RATE));
    // One group, so that the style marks the rates as a choice of one.
    auto* rateGroup = new QActionGroup(rates);
    rateGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (std::size_t i = 0; i < std::size(RATE_COMMANDS); ++i) {
        const int rate = RATE_COMMANDS[i].rate;
        rateActions_[i] = addCommand(rates, RATE_COMMANDS[i].text, RATE_COMMANDS[i].id, &session_,
                                     [this, rate] { session_.setSampleRate(rate); });
        rateActions_[i]->setCheckable(true);
        rateGroup->addAction(rateActions_[i]);
    }

    QMenu* help = bar->addMenu(QString::fromUtf8(MENU_HELP));
    addCommand(help, MENU_ABOUT, IDM_ABOUT, this, [this] { showAboutBox(this); });
}

// Alt with a typed "?" or "/" opens the About box while the client area has
// the keyboard focus, as it has at start and after a click on the panes or
// the z-plane; a child control with the focus takes the keys.
void MainWindow::createShortcuts()
{
    for (const char key : ABOUT_SHORTCUT_KEYS) {
        auto* shortcut = new QShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, static_cast<Qt::Key>(key))),
                                       clientArea_);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] { showAboutBox(this); });
    }
}

void MainWindow::follow(DesignChanges what)
{
    if (what & (DesignChange::Rate | DesignChange::Restored))
        for (std::size_t i = 0; i < std::size(RATE_COMMANDS); ++i)
            rateActions_[i]->setChecked(RATE_COMMANDS[i].rate == session_.document().sampleRate);
    if (what & (DesignChange::File | DesignChange::Saved | DesignChange::Restored))
        updateTitle();
}

void MainWindow::updateTitle()
{
    const QString app = QString::fromUtf8(APP_TITLE);
    const QString& path = session_.filePath();
    if (path.isEmpty()) {
        setWindowTitle(app);
        return;
    }
    const QString unsaved = session_.hasUnsavedChanges() ? QStringLiteral("*") : QString();
    setWindowTitle(QStringLiteral("%1%2 - %3").arg(QFileInfo(path).fileName(), unsaved, app));
}

void MainWindow::updateUndoActions()
{
    const QUndoStack& stack = session_.history().stack();
    const auto named = [](const char* verb, const QString& step) {
        return step.isEmpty() ? QString::fromUtf8(verb) : QString::fromUtf8(verb) + ' ' + step;
    };
    undoAction_->setText(named(MENU_UNDO, stack.undoText()));
    undoAction_->setEnabled(stack.canUndo());
    redoAction_->setText(named(MENU_REDO, stack.redoText()));
    redoAction_->setEnabled(stack.canRedo());
}

// Keeps the user from sizing the window below 620 × 420, frame included;
// the frame is known only once the window is shown. While a dock is open in
// the window, the client area also keeps the size it has in a window that
// small, so that the docks make the window larger rather than crush the
// panes.
void MainWindow::updateMinimumWindowSize()
{
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize window = MINIMUM_WINDOW_SIZE - frame.expandedTo(QSize(0, 0));
    const QList<QDockWidget*> docks = findChildren<QDockWidget*>();
    const bool docked = std::any_of(docks.begin(), docks.end(),
                                    [](const QDockWidget* dock) { return !dock->isHidden() && !dock->isFloating(); });
    const int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    clientArea_->setMinimumSize(docked ? (window - QSize(0, bars)).expandedTo(QSize(0, 0)) : QSize(0, 0));
    // The layout's own minimum holds the docks'; an explicit minimum would
    // override it.
    layout()->invalidate();
    setMinimumSize(docked ? window.expandedTo(layout()->totalMinimumSize()) : window);
}

void MainWindow::openDesign(const QString& path) { files_->openDesign(path); }

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    updateMinimumWindowSize();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (files_->mayClose())
        event->accept();
    else
        event->ignore();
}

std::unique_ptr<MainWindow> createMainWindow(const QString& file, const QByteArray& layout)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return nullptr;
    auto window = std::make_unique<MainWindow>(screen);
    // A layout of another version, or no layout at all, leaves the docks as
    // the window made them: closed.
    if (!layout.isEmpty())
        window->restoreState(layout, WINDOW_LAYOUT_VERSION);
    window->show();
    window->centralWidget()->setFocus();
    if (!file.isEmpty())
        window->openDesign(file);
    return window;
}

int runMainWindow(const QString& file)
{
    // Every device pixel of a window on X is painted at any display scale.
    WindowEdges windowEdges;
    QCoreApplication::instance()->installNativeEventFilter(&windowEdges);
    // Which docks are open, and where, from one run to the next.
    QSettings settings(QStringLiteral("vorbel"), QStringLiteral("vorbel"));
    const QString layoutKey = QStringLiteral("window/layout");
    if (const std::unique_ptr<MainWindow> window = createMainWindow(file, settings.value(layoutKey).toByteArray())) {
        QApplication::exec();
        settings.setValue(layoutKey, window->saveState(WINDOW_LAYOUT_VERSION));
    }
    return 0;
}
