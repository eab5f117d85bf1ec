#pragma once

#include "app/design_session.h"
#include "model/rounding.h"
#include "model/time_response.h"

#include <QTableWidget>
#include <QTimer>

#include <vector>

class ClientArea;
class QMainWindow;
class QMenu;
class TimePlot;

// The table of the filter's roots: one row per stored zero and pole (a pair
// as one row, shown with ±), with radius, angle, frequency and, for poles,
// the margin to the unit circle, the decay time to −60 dB and Q. With a
// precision other than Exact, rows of the roots after rounding follow.
//
// The table follows the session's changed() and the precision view, at most
// once per refresh of the screen, and only while it shows. A double-click on
// a row of a stored root asks for its position as the z-plane's dialog does,
// and moves it through the session.
class RootsTable : public QTableWidget {
    Q_OBJECT

public:
    RootsTable(DesignSession& session, Precision precision, QWidget* parent = nullptr);

    void setPrecision(Precision precision);

    // The rows shown, brought up to date with the session: the stored roots',
    // then the rounded ones'.
    const std::vector<RootRow>& rows();
    int storedRowCount();

    // The stored roots as CSV, as `--roots` prints them.
    QString dataCsv();

    // Asks for the position of the root of row, as a double-click does.
    void editRow(int row);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void follow(DesignChanges what);
    void bringUpToDate();
    void fill();

    DesignSession& session_;
    Precision precision_;
    QTimer refillTimer_;
    bool stale_ = true;
    bool filled_ = false;  // the cells show rows_
    std::vector<RootRow> rows_;
    int storedRows_ = 0;
};

// The four time views' docks (Impulse Response, Step Response, Group Delay,
// Roots), each a QDockWidget at the bottom of window, closed at start, with
// its checkable action in viewMenu and a context menu offering "Copy Data".
// Pointer moves over a plot show its line in window's status bar.
void installTimeViewDocks(QMainWindow& window, QMenu& viewMenu, DesignSession& session, ClientArea& clientArea);
