#pragma once

// Where a pointer action of the stress driver goes. Four raw parameters name
// what it aims at (a root's mark, a place 0.15 units from one, a palette
// cell, an edge of the z-plane, a control, a response pane, anywhere in the
// client area or outside the window) and choose the place there, against
// the window as it is when the action runs.

#include <QPoint>

#include <cstdint>

class MainWindow;

// A non-negative remainder of a raw parameter, 0 when n is not positive.
int pick(std::int32_t value, int n);

// The place in the window's coordinates, which may lie outside it.
QPoint resolveTarget(const MainWindow& window, const std::int32_t* parameters);

// The same place, or one above the window when it would fall on the menu
// bar: the menu's Exit command would end the run.
QPoint avoidMenuBar(const MainWindow& window, QPoint p);
