// One pointer movement while a pole is dragged, sent to the real main window
// and measured until the surface is updated and the client area repainted.

#include "bench/allocation_counter.h"

#include "app/client_area.h"
#include "app/main_window.h"
#include "app/root_editor.h"
#include "model/filter_state.h"
#include "view/paint.h"
#include "view/zplane_view.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdint>

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

QPoint inWindow(int x, int y) { return clientArea->mapTo(mainWindow, QPoint(x, y)); }

void BM_DragStep(benchmark::State& state)
{
    if (mainWindow == nullptr && !createMainWindow()) {
        state.SkipWithError("no main window");
        return;
    }
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    mainWindow->resize(width, height + mainWindow->menuBar()->sizeHint().height());
    settle();
    QWindow* window = mainWindow->windowHandle();

    // Grab the first pole of the current design and drag it to and fro.
    const Complex pole = filterState.poles.positions[0];
    const QPoint grab = inWindow(zPlaneCentreX + static_cast<int>(pole.re * zPlaneScale),
                                 zPlaneCentreY - static_cast<int>(pole.im * zPlaneScale));
    QTest::mouseMove(window, grab);
    QTest::mousePress(window, Qt::LeftButton, {}, grab);
    settle();
    if (!rootEditor.dragging) {
        state.SkipWithError("the pole was not picked up");
        return;
    }
    PaintCounter counter;
    clientArea->installEventFilter(&counter);
    int step = 0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        step = (step + 1) % 16;
        const std::uint64_t before = allocationCount();
        QTest::mouseMove(window, grab - QPoint(3 * step, 2 * step));
        settle();
        allocations += allocationCount() - before;
    }
    clientArea->removeEventFilter(&counter);

    // The program's own part of a step: the editor's decision and the
    // partial redraw, without Qt's event delivery and painting.
    std::uint64_t ownAllocations = 0;
    const Point pressed = rootEditor.pressPoint;
    for (int i = 1; i <= 64; ++i) {
        const std::uint64_t before = allocationCount();
        const EditorResponse response = handleMouseMove(pressed.x - (i % 16), pressed.y - (i % 8));
        if (response.redraw)
            partialRedraw(clientArea->surface, response.showMarker);
        ownAllocations += allocationCount() - before;
    }
    QTest::mouseRelease(window, Qt::LeftButton, {}, grab);
    settle();
    state.counters["paints"] = benchmark::Counter(counter.paints, benchmark::Counter::kAvgIterations);
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    state.counters["ownAllocations"] = static_cast<double>(ownAllocations) / 64.0;
}
BENCHMARK(BM_DragStep)->Args({800, 600})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

}  // namespace
