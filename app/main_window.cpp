#include "app/main_window.h"

#include "app/about_box.h"
#include "app/design_files.h"
#include "app/readout_bar.h"
#include "app/slider_scales.h"
#include "model/coefficients.h"
#include "model/designs.h"
#include "res/images.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QComboBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The window as a whole, frame included where the platform reports one, is
// never made smaller than this by the user.
constexpr QSize MINIMUM_WINDOW_SIZE{620, 420};

QAction* addCommand(MainWindow* window, QMenu* menu, const char* text, int id)
{
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setData(id);
    QObject::connect(action, &QAction::triggered, window, [window, id] { window->handleCommand(id); });
    return action;
}

QString quoted(const QString& path) { return QStringLiteral("\u201c%1\u201d").arg(QDir::toNativeSeparators(path)); }

QSize defaultWindowSize(const QScreen* screen)
{
    const QSize available = screen->availableSize();
    return QSize(available.width() * 2 / 3, available.height() * 2 / 3).expandedTo(MINIMUM_WINDOW_SIZE);
}

}  // namespace

void MainWindow::createMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QString::fromUtf8(MENU_FILE));
    addCommand(this, file, MENU_OPEN, IDM_FILE_OPEN)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addCommand(this, file, MENU_SAVE, IDM_FILE_SAVE)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(this, file, MENU_SAVE_AS, IDM_FILE_SAVE_AS)->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    addCommand(this, file, MENU_EXPORT_COEFFICIENTS, IDM_EXPORT_COEFFICIENTS);
    addCommand(this, file, MENU_EXPORT_PICTURE, IDM_EXPORT_PICTURE);
    file->addSeparator();
    addCommand(this, file, MENU_EXIT, IDM_EXIT);
    QMenu* edit = bar->addMenu(QString::fromUtf8(MENU_EDIT));
    undoAction_ = addCommand(this, edit, MENU_UNDO, IDM_UNDO);
    undoAction_->setShortcuts(QKeySequence::Undo);
    redoAction_ = addCommand(this, edit, MENU_REDO, IDM_REDO);
    redoAction_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    updateUndoActions();
    edit->addSeparator();
    addCommand(this, edit, MENU_COPY_COEFFICIENTS, IDM_COPY_COEFFICIENTS);
    QMenu* rates = bar->addMenu(QString::fromUtf8(MENU_SAMPLE_RATE));
    // One group, so that the style marks the rates as a choice of one.
    auto* rateGroup = new QActionGroup(rates);
    rateGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (std::size_t i = 0; i < std::size(RATE_COMMANDS); ++i) {
        rateActions_[i] = addCommand(this, rates, RATE_COMMANDS[i].text, RATE_COMMANDS[i].id);
        rateActions_[i]->setCheckable(true);
        rateGroup->addAction(rateActions_[i]);
        rateActions_[i]->setChecked(RATE_COMMANDS[i].id == DEFAULT_RATE_COMMAND);
    }
    addCommand(this, bar->addMenu(QString::fromUtf8(MENU_HELP)), MENU_ABOUT, IDM_ABOUT);
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
        QObject::connect(shortcut, &QShortcut::activated, this, [this] { handleCommand(IDM_ABOUT); });
    }
}

void MainWindow::sampleRateCommand(int id)
{
    const ShownState before = shownState();
    for (std::size_t i = 0; i < std::size(RATE_COMMANDS); ++i)
        if (RATE_COMMANDS[i].id == id)
            updateCutoff(RATE_COMMANDS[i].rate);
    for (std::size_t i = 0; i < std::size(RATE_COMMANDS); ++i)
        rateActions_[i]->setChecked(RATE_COMMANDS[i].id == id);
    clientArea_->invalidate();
    recordGesture(QString::fromUtf8(STEP_CHANGE_RATE), before);
    documentChanged();
    updateReadout();
}

void MainWindow::updateUndoActions()
{
    const QUndoStack& stack = history_.stack();
    const auto named = [](const char* verb, const QString& step) {
        return step.isEmpty() ? QString::fromUtf8(verb) : QString::fromUtf8(verb) + ' ' + step;
    };
    undoAction_->setText(named(MENU_UNDO, stack.undoText()));
    undoAction_->setEnabled(stack.canUndo());
    redoAction_->setText(named(MENU_REDO, stack.redoText()));
    redoAction_->setEnabled(stack.canRedo());
}

ShownState MainWindow::shownState() const
{
    return {document_, clientArea_->plots().response.cutoffMarkerVisible};
}

// A change made while a drag is in progress (a key on a slider, a rate
// command) becomes part of the drag's step, which spans it.
void MainWindow::recordGesture(const QString& text, const ShownState& before, int mergeKey)
{
    if (!dragInProgress())
        history_.record(text, before, shownState(), mergeKey);
}

// A drag holds a root slot or a slider and changes the document at every
// step; a state put in place under it would be edited on as if it were the
// one the drag began from.
bool MainWindow::dragInProgress() const
{
    return clientArea_->rootEditor().dragging || controls_.cutoffSlider->isSliderDown() ||
           controls_.qSlider->isSliderDown();
}

void MainWindow::undo()
{
    if (!dragInProgress())
        history_.undo();
}

void MainWindow::redo()
{
    if (!dragInProgress())
        history_.redo();
}

void MainWindow::clearHistory()
{
    history_.clear();
    // A drag in progress goes on from the state now shown: its step must not
    // lead back to a state that the cleared history held.
    if (sliderDragBefore_)
        sliderDragBefore_ = shownState();
    editBefore_ = shownState();
}

void MainWindow::updateMinimumWindowSize()
{
    const QSize frame = frameGeometry().size() - geometry().size();
    setMinimumSize(MINIMUM_WINDOW_SIZE - frame.expandedTo(QSize(0, 0)));
}

MainWindow::MainWindow(QScreen* screen)
    : cursors_{QCursor(Qt::ArrowCursor), QCursor(loadHandCursor()), QCursor(loadBinCursor())},
      history_([this](const ShownState& state) { setDocument(state.document, state.cutoffMarkerVisible); })
{
    QUndoStack* stack = &history_.stack();
    connect(stack, &QUndoStack::indexChanged, this, [this] { updateUndoActions(); });
    connect(stack, &QUndoStack::cleanChanged, this, [this] { updateUndoActions(); });
    setWindowTitle(QString::fromUtf8(APP_TITLE));
    setWindowIcon(loadApplicationIcon());
    createMenus();
    clientArea_ = new ClientArea(this, document_.filter, fonts_, cursors_);
    setCentralWidget(clientArea_);

    prepareForRatio(screen, screen->devicePixelRatio());
    clientArea_->ratioChanged = [this](double ratio) { prepareForRatio(clientArea_->screen(), ratio); };
    createControls(controls_, clientArea_);
    controls_.modelChosen = [this] { handleModelSelection(); };
    controls_.sliderMoved = [this](const QSlider* slider) { handleSliderScroll(slider); };
    clientArea_->laidOut = [this](const Layout& layout, double devicePixelRatio) {
        placeControls(controls_, layout, devicePixelRatio);
        updateMinimumWindowSize();
    };
    clientArea_->switchedToCustom = [this] { switchToCustom(); };
    clientArea_->commandChosen = [this](int id) { handleCommand(id); };
    clientArea_->readoutChanged = [this] { updateReadout(); };
    // A widget rather than the bar's message: a menu's status tip replaces a
    // message for good, but only hides a widget while it shows.
    readout_ = new ReadoutBar(statusBar());
    statusBar()->addWidget(readout_, 1);
    clientArea_->edited = [this] { documentChanged(); };
    clientArea_->editStarting = [this] { editBefore_ = shownState(); };
    clientArea_->editDone = [this](const char* name) { recordGesture(QString::fromUtf8(name), editBefore_); };
    // The panel reports the release as a movement first; the drag's step
    // is recorded after it.
    for (const QSlider* slider : {controls_.cutoffSlider, controls_.qSlider}) {
        connect(slider, &QSlider::sliderPressed, this, [this] { sliderDragBefore_ = shownState(); });
        connect(slider, &QSlider::sliderReleased, this, [this, slider] {
            if (!sliderDragBefore_)
                return;
            const ShownState before = *sliderDragBefore_;
            sliderDragBefore_.reset();
            recordGesture(QString::fromUtf8(slider == controls_.cutoffSlider ? STEP_CHANGE_CUTOFF : STEP_CHANGE_Q),
                          before);
        });
    }
    updateCutoff(2.0 * document_.filter.nyquist);
    createShortcuts();

    applyModel(document_.filter);
    updateReadout();
    savedDocument_ = document_;
    updateTitle();
    resize(defaultWindowSize(screen));
}

// One surface pixel is one device pixel: fonts and the controls' base unit
// are measured in device pixels, and made again for every new ratio.
void MainWindow::prepareForRatio(const QScreen* screen, double ratio)
{
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    fonts_ = createFonts(toPixel(screen->logicalDotsPerInchY() * ratio));
    const QFontMetrics controlFont(clientArea_->font());
    clientArea_->setBaseUnitY(toPixel((controlFont.ascent() + controlFont.descent()) * ratio));
}

// The client area and the controls in it hold references to the members;
// they go first, before the members they refer to.
MainWindow::~MainWindow()
{
    delete clientArea_;
    clientArea_ = nullptr;
}

std::unique_ptr<MainWindow> createMainWindow(const QString& file)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return nullptr;
    auto window = std::make_unique<MainWindow>(screen);
    window->show();
    window->clientArea()->setFocus();
    window->updateMinimumWindowSize();
    if (!file.isEmpty())
        window->openDesign(file);
    return window;
}

int runMainWindow(const QString& file)
{
    if (const std::unique_ptr<MainWindow> window = createMainWindow(file))
        QApplication::exec();
    return 0;
}

void MainWindow::handleCommand(int id)
{
    switch (id) {
    case IDM_ABOUT: showAboutBox(this); break;
    case IDM_EXIT: close(); break;
    case IDM_FILE_OPEN: openCommand(); break;
    case IDM_FILE_SAVE: saveCommand(); break;
    case IDM_FILE_SAVE_AS: saveAsCommand(); break;
    case IDM_EXPORT_COEFFICIENTS: exportCoefficientsCommand(); break;
    case IDM_EXPORT_PICTURE: exportPictureCommand(); break;
    case IDM_COPY_COEFFICIENTS: copyCoefficients(); break;
    case IDM_UNDO: undo(); break;
    case IDM_REDO: redo(); break;
    case IDM_ROOT_DELETE:
    case IDM_ROOT_TOGGLE:
    case IDM_ROOT_POSITION: clientArea_->rootCommand(id); break;
    case IDM_RATE_44100:
    case IDM_RATE_48000:
    case IDM_RATE_96000:
    case IDM_RATE_192000: sampleRateCommand(id); break;
    default: break;
    }
}

void MainWindow::redrawPlots(bool showMarker) { clientArea_->redrawPlots(showMarker); }

void MainWindow::applyAndRedraw()
{
    applyModel(document_.filter);
    redrawPlots(true);
}

void MainWindow::updateCutoff(double sampleRate)
{
    FilterState& filter = document_.filter;
    document_.sampleRate = static_cast<int>(std::lround(sampleRate));
    document_.cutoffPosition = controls_.cutoffSlider->value();
    filter.nyquist = sampleRate / 2.0;
    filter.cutoff = cutoffAtPosition(filter.nyquist, filter.lowestFrequency, document_.cutoffPosition);
    controls_.cutoffLabel->setText(QString::fromStdString(cutoffLabelText(filter.cutoff)));
    applyModel(filter);
    // A new rate in "Custom" keeps the roots and the hidden Q controls; the
    // flag that says whether those show must stay clear with them.
    if (filter.modelIndex == MODEL_CUSTOM)
        filter.qVisible = false;
}

// What a hidden slider still reports (the release of a press that its hiding
// cut short) is no movement of the user's and changes nothing.
void MainWindow::handleSliderScroll(const QSlider* slider)
{
    if (slider == nullptr || slider->isHidden())
        return;
    const bool cutoff = slider == controls_.cutoffSlider;
    if (!cutoff && slider != controls_.qSlider)
        return;
    // Outside a mouse drag each movement (a key, a click on the groove, the
    // wheel) is a step of its own, joined to the slider's steps just before.
    const std::optional<ShownState> stepBefore =
        sliderDragBefore_ ? std::nullopt : std::optional<ShownState>(shownState());
    FilterState& filter = document_.filter;
    if (cutoff) {
        updateCutoff(2.0 * filter.nyquist);
    } else {
        document_.qPosition = controls_.qSlider->value();
        filter.q = qAtPosition(document_.qPosition);
        controls_.qLabel->setText(QString::fromStdString(qLabelText(filter.q)));
    }
    applyAndRedraw();
    if (stepBefore)
        recordGesture(QString::fromUtf8(cutoff ? STEP_CHANGE_CUTOFF : STEP_CHANGE_Q), *stepBefore, cutoff ? 0 : 1);
    documentChanged();
    updateReadout();
}

void MainWindow::handleModelSelection()
{
    const ShownState before = shownState();
    FilterState& filter = document_.filter;
    filter.modelIndex = std::clamp(controls_.modelComboBox->currentIndex(), 0, MODEL_CUSTOM);
    if (filter.modelIndex != MODEL_CUSTOM)
        applyAndRedraw();
    updateControlVisibility();
    recordGesture(QString::fromUtf8(STEP_CHANGE_MODEL), before);
    documentChanged();
    updateReadout();
}

void MainWindow::updateControlVisibility()
{
    FilterState& filter = document_.filter;
    const bool custom = filter.modelIndex == MODEL_CUSTOM;
    if (custom)
        filter.qVisible = false;
    controls_.cutoffLabel->setVisible(!custom);
    showSlider(controls_.cutoffSlider, !custom);
    controls_.qLabel->setVisible(filter.qVisible);
    showSlider(controls_.qSlider, filter.qVisible);
}

void MainWindow::setDocument(const Document& document, bool showMarker)
{
    document_ = document;
    const FilterState& filter = document_.filter;
    {
        // The controls follow the document; they must not act as if the
        // user had moved them.
        const QSignalBlocker cutoffBlocker(controls_.cutoffSlider);
        const QSignalBlocker qBlocker(controls_.qSlider);
        const QSignalBlocker modelBlocker(controls_.modelComboBox);
        controls_.cutoffSlider->setValue(document_.cutoffPosition);
        controls_.qSlider->setValue(document_.qPosition);
        controls_.modelComboBox->setCurrentIndex(std::clamp(filter.modelIndex, 0, MODEL_CUSTOM));
    }
    controls_.cutoffLabel->setText(QString::fromStdString(cutoffLabelText(filter.cutoff)));
    controls_.qLabel->setText(QString::fromStdString(qLabelText(filter.q)));
    for (std::size_t i = 0; i < std::size(RATE_COMMANDS); ++i)
        rateActions_[i]->setChecked(RATE_COMMANDS[i].rate == document_.sampleRate);
    updateControlVisibility();
    clientArea_->showAfresh(showMarker);
    documentChanged();
    updateReadout();
}

void MainWindow::switchToCustom()
{
    controls_.modelComboBox->setCurrentIndex(MODEL_CUSTOM);
    document_.filter.modelIndex = MODEL_CUSTOM;
    updateControlVisibility();
}

void MainWindow::updateReadout()
{
    const QString text = QString::fromStdString(clientArea_->readoutText(modelName(document_.filter.modelIndex)));
    readout_->setText(text);
}

QString MainWindow::readoutText() const { return readout_->text(); }
void MainWindow::documentChanged() { updateTitle(); }

void MainWindow::updateTitle()
{
    const QString app = QString::fromUtf8(APP_TITLE);
    if (filePath_.isEmpty()) {
        setWindowTitle(app);
        return;
    }
    const QString name = QFileInfo(filePath_).fileName();
    setWindowTitle(QStringLiteral("%1%2 - %3").arg(name, hasUnsavedChanges() ? QStringLiteral("*") : QString(), app));
}

// The undo history, once there is one, starts again here.
void MainWindow::openState(const Document& document, const QString& path)
{
    filePath_ = path;
    savedDocument_ = document;
    setDocument(document, true);
    // No step leads from the states before to this one.
    clearHistory();
}

QString MainWindow::openDesignFile(const QString& path)
{
    const DesignFileRead read = readDesignFile(path);
    if (!read.document)
        return QStringLiteral("Cannot open %1:\n%2").arg(quoted(path), read.problem);
    openState(*read.document, QFileInfo(path).absoluteFilePath());
    return {};
}

QString MainWindow::saveDesignFile(const QString& path)
{
    const DesignText design = designFileText(document_);
    QString problem = design.problem;
    if (problem.isEmpty())
        problem = writeFileAtomically(path, design.text);
    if (!problem.isEmpty())
        return QStringLiteral("Cannot save %1:\n%2\nNothing was written; an earlier file of that name is unchanged.")
            .arg(quoted(path), problem);
    filePath_ = QFileInfo(path).absoluteFilePath();
    savedDocument_ = document_;
    updateTitle();
    return {};
}

QString MainWindow::exportCoefficients(const QString& path)
{
    const QString problem = writeFileAtomically(path, QByteArray::fromStdString(coefficientText(document_)));
    if (!problem.isEmpty())
        return QStringLiteral("Cannot export the coefficients to %1:\n%2").arg(quoted(path), problem);
    return {};
}

QString MainWindow::exportPicture(const QString& path)
{
    const QString problem = writePictureAtomically(path, clientArea_->surface().image);
    if (!problem.isEmpty())
        return QStringLiteral("Cannot export the picture to %1:\n%2").arg(quoted(path), problem);
    return {};
}

void MainWindow::copyCoefficients()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(QString::fromStdString(coefficientText(document_)));
}

void MainWindow::openDesign(const QString& path) { reported(openDesignFile(path)); }

void MainWindow::showProblem(const QString& message)
{
    QMessageBox::warning(this, QString::fromUtf8(APP_TITLE), message);
}

QString MainWindow::dialogFolder() const
{
    return filePath_.isEmpty() ? QString() : QFileInfo(filePath_).absolutePath();
}

void MainWindow::openCommand()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Design"), dialogFolder(),
                                                      QString::fromUtf8(DESIGN_FILE_FILTER));
    if (!path.isEmpty())
        openDesign(path);
}

bool MainWindow::saveCommand()
{
    if (filePath_.isEmpty())
        return saveAsCommand();
    return reported(saveDesignFile(filePath_));
}

bool MainWindow::saveAsCommand()
{
    const QString path = askSavePath(QStringLiteral("Save Design As"), filePath_, DESIGN_FILE_FILTER, DESIGN_FILE_SUFFIX);
    return !path.isEmpty() && reported(saveDesignFile(path));
}

void MainWindow::exportCoefficientsCommand()
{
    const QString path = askSavePath(QStringLiteral("Export Coefficients"), dialogFolder(), COEFFICIENT_FILE_FILTER,
                                     COEFFICIENT_FILE_SUFFIX);
    if (!path.isEmpty())
        reported(exportCoefficients(path));
}

void MainWindow::exportPictureCommand()
{
    const QString path =
        askSavePath(QStringLiteral("Export Picture"), dialogFolder(), PICTURE_FILE_FILTER, PICTURE_FILE_SUFFIX);
    if (!path.isEmpty())
        reported(exportPicture(path));
}

// The file the user names in a save dialog, with the suffix added when the
// name has none; empty when the dialog was cancelled.
QString MainWindow::askSavePath(const QString& title, const QString& start, const char* filter, const char* suffix)
{
    return withDefaultSuffix(QFileDialog::getSaveFileName(this, title, start, QString::fromUtf8(filter)),
                             QString::fromUtf8(suffix));
}

// Shows a command's problem, if it had one; true when it had none.
bool MainWindow::reported(const QString& problem)
{
    if (!problem.isEmpty())
        showProblem(problem);
    return problem.isEmpty();
}

// A design without a file closes at once; one with a file and unsaved
// changes asks first. Cancel, a closed box or a failed save keep the window.
bool MainWindow::mayClose()
{
    if (filePath_.isEmpty() || !hasUnsavedChanges())
        return true;
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(APP_TITLE),
                    QStringLiteral("Save the changes to %1?").arg(quoted(filePath_)),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Save: return saveCommand();
    case QMessageBox::Discard: return true;
    default: return false;
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (mayClose())
        event->accept();
    else
        event->ignore();
}
