// One pointer movement while a pole is dragged, sent to the real main window
// and measured until the surface is updated and the client area repainted.

#include "bench/allocation_counter.h"

#include "app/client_area.h"
#include "app/main_window.h"
#include "app/readout_bar.h"
#include "app/root_editor.h"
#include "res/resource_ids.h"
#include "model/filter_state.h"
#include "model/readout.h"
#include "view/paint.h"
#include "view/surface.h"
#include "view/zplane_view.h"

#include <QCoreApplication>
#include <QDockWidget>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

const ClientArea* clientAreaOf(const MainWindow& window) { return static_cast<const ClientArea*>(window.centralWidget()); }

QPoint inWindow(const MainWindow& window, int x, int y) { return clientAreaOf(window)->mapTo(&window, QPoint(x, y)); }

// Each run drags in a window of its own, made with the default filter and
// deleted before the application goes; with the time views, all four of
// their docks are open and follow the drag.
void dragStep(benchmark::State& state, bool withViews)
{
    const std::unique_ptr<MainWindow> mainWindow = createMainWindow();
    if (mainWindow == nullptr) {
        state.SkipWithError("no main window");
        return;
    }
    const ClientArea* clientArea = clientAreaOf(*mainWindow);
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    mainWindow->resize(width, height + mainWindow->menuBar()->sizeHint().height());
    if (withViews)
        for (const TimeViewDockText& text : TIME_VIEW_DOCKS)
            mainWindow->findChild<QDockWidget*>(QString::fromUtf8(text.objectName))->toggleViewAction()->trigger();
    settle();
    QWindow* window = mainWindow->windowHandle();

    // Grab the first pole of the current design and drag it to and fro.
    const Complex pole = mainWindow->session().filter().poles.positions[0];
    const ZPlaneGeometry& geometry = clientArea->plots().zPlane.geometry();
    const QPoint grab = inWindow(*mainWindow, geometry.centreX + static_cast<int>(pole.re * geometry.scale),
                                 geometry.centreY - static_cast<int>(pole.im * geometry.scale));
    QTest::mouseMove(window, grab);
    QTest::mousePress(window, Qt::LeftButton, {}, grab);
    settle();
    if (!clientArea->rootEditor().dragging) {
        state.SkipWithError("the pole was not picked up");
        return;
    }
    PaintCounter counter;
    mainWindow->centralWidget()->installEventFilter(&counter);
    int step = 0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        step = (step + 1) % 16;
        const std::uint64_t before = allocationCount();
        QTest::mouseMove(window, grab - QPoint(3 * step, 2 * step));
        settle();
        allocations += allocationCount() - before;
    }
    mainWindow->centralWidget()->removeEventFilter(&counter);

    // The program's own part of a step: the editor's decision, its edit
    // carried out and the partial redraw, without Qt's event delivery and
    // painting. It runs on copies of the window's editor and filter, drawing
    // into plots of its own laid out as the window's, so that the window is
    // left as it was.
    RootEditor editor = clientArea->rootEditor();
    FilterState filter = mainWindow->session().filter();
    const Layout& layout = clientArea->layout();
    Plots plots;
    plots.response.cutoffMarkerVisible = clientArea->plots().response.cutoffMarkerVisible;
    const int surfaceW = surfaceWidth(clientArea->surface()), surfaceH = surfaceHeight(clientArea->surface());
    plots.response.clearResponseRows(static_cast<std::size_t>(surfaceW));
    resizeSurface(plots.surface, surfaceW, surfaceH);
    fullPaint(plots, layout, filter, clientArea->fonts(), {0, 0, surfaceW, surfaceH});
    std::uint64_t ownAllocations = 0;
    const Point pressed = editor.pressPoint;
    for (int i = 1; i <= 64; ++i) {
        const EditorView view{plots.zPlane.geometry(), layout.zPlaneRect, layout.paletteRect,
                              plots.response.cutoffMarkerVisible};
        const std::uint64_t before = allocationCount();
        const EditorResponse response = handleMouseMove(editor, filter, view, pressed.x - (i % 16), pressed.y - (i % 8));
        applyRootEdit(filter, response.edit);
        if (response.redraw)
            partialRedraw(plots, layout, filter, clientArea->fonts(), response.showMarker);
        ownAllocations += allocationCount() - before;
    }
    QTest::mouseRelease(window, Qt::LeftButton, {}, grab);
    settle();
    state.counters["paints"] = benchmark::Counter(counter.paints, benchmark::Counter::kAvgIterations);
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    state.counters["ownAllocations"] = static_cast<double>(ownAllocations) / 64.0;
}

void BM_DragStep(benchmark::State& state) { dragStep(state, false); }
BENCHMARK(BM_DragStep)->Args({800, 600})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// The views repaint at most once per refresh of the screen, so that a step
// pays for them only now and then; the step must stay within 1.25 times
// the step without them.
void BM_DragStepWithViews(benchmark::State& state) { dragStep(state, true); }
BENCHMARK(BM_DragStepWithViews)->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// What the status bar's readout costs each time it is shown: a new root
// position's text painted at once. A drag pays it at most once per screen
// refresh, not at every step.
void BM_ReadoutRepaint(benchmark::State& state)
{
    const std::unique_ptr<MainWindow> mainWindow = createMainWindow();
    if (mainWindow == nullptr) {
        state.SkipWithError("no main window");
        return;
    }
    mainWindow->resize(static_cast<int>(state.range(0)), 600);
    settle();
    ReadoutBar& bar = *mainWindow->findChild<ReadoutBar*>();
    const Root pole = mainWindow->session().filter().poles.root(0);
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 16;
        Root moved = pole;
        moved.position.re -= step * 1e-3;
        bar.setText(QString::fromStdString(rootReadout(moved, RootKind::Pole, mainWindow->session().filter().nyquist)));
        bar.repaint();
    }
}
BENCHMARK(BM_ReadoutRepaint)->Arg(800)->Arg(1920)->Unit(benchmark::kMicrosecond);

}  // namespace
