#include "app/time_docks.h"

#include "app/client_area.h"
#include "app/position_dialog.h"
#include "app/refresh_interval.h"
#include "app/time_plot.h"
#include "res/resource_ids.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* COLUMN_TITLES[] = {"Kind",        "Re",           "Im",       "r", "Angle (°)", "f (Hz)",
                                         "Margin (dB)", "n60 (samples)", "n60 (ms)", "Q"};
constexpr int COLUMN_COUNT = static_cast<int>(std::size(COLUMN_TITLES));

QString fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

QString optionalFixed(const std::optional<double>& value, int decimals)
{
    return value ? fixed(*value, decimals) : QString();
}

QString kindText(const RootRow& row, std::optional<Precision> rounded)
{
    QString text = row.kind == RootTableKind::Zero ? QStringLiteral("Zero") : QStringLiteral("Pole");
    if (row.pair)
        text += QStringLiteral(" pair");
    if (rounded)
        text += QStringLiteral(" (%1)").arg(QString::fromUtf8(precisionLabel(*rounded)));
    return text;
}

// The filter whose roots are those the rounded cascade has, for rows of the
// same form as the stored roots'.
FilterState roundedRoots(const FilterState& filter, const RoundedFilter& rounded)
{
    FilterState roots = filter;
    const auto fillList = [](RootList& list, const std::vector<Root>& from) {
        list.count = static_cast<int>(std::min<std::size_t>(from.size(), MAX_ROOTS));
        for (int i = 0; i < list.count; ++i) {
            list.positions[i] = from[static_cast<std::size_t>(i)].position;
            list.pairFlags[i] = from[static_cast<std::size_t>(i)].pair;
        }
    };
    fillList(roots.zeros, rounded.zeros);
    fillList(roots.poles, rounded.poles);
    return roots;
}

}  // namespace

RootsTable::RootsTable(DesignSession& session, Precision precision, QWidget* parent)
    : QTableWidget(0, COLUMN_COUNT, parent), session_(session), precision_(precision)
{
    QStringList titles;
    for (const char* title : COLUMN_TITLES)
        titles << QString::fromUtf8(title);
    setHorizontalHeaderLabels(titles);
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    refillTimer_.setSingleShot(true);
    refillTimer_.setTimerType(Qt::PreciseTimer);
    connect(&refillTimer_, &QTimer::timeout, this, &RootsTable::fill);
    connect(&session_, &DesignSession::changed, this, &RootsTable::follow);
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { editRow(row); });
}

void RootsTable::setPrecision(Precision precision)
{
    if (precision == precision_)
        return;
    precision_ = precision;
    follow(DesignChange::Restored);
}

void RootsTable::follow(DesignChanges what)
{
    if (!(what & (DesignChange::Roots | DesignChange::Rate | DesignChange::Restored)))
        return;
    stale_ = true;
    if (isVisible() && !refillTimer_.isActive())
        refillTimer_.start(refreshInterval(screen()));
}

void RootsTable::showEvent(QShowEvent* event)
{
    QTableWidget::showEvent(event);
    fill();
}

void RootsTable::bringUpToDate()
{
    if (!stale_)
        return;
    stale_ = false;
    filled_ = false;
    const Document& document = session_.document();
    rows_ = rootRows(document.filter, document.sampleRate);
    storedRows_ = static_cast<int>(rows_.size());
    if (precision_ != Precision::Exact) {
        const RoundedFilter rounded = roundFilter(document.filter, precision_);
        if (rounded.problem.empty())
            for (const RootRow& row : rootRows(roundedRoots(document.filter, rounded), document.sampleRate))
                rows_.push_back(row);
    }
}

const std::vector<RootRow>& RootsTable::rows()
{
    bringUpToDate();
    return rows_;
}

int RootsTable::storedRowCount()
{
    bringUpToDate();
    return storedRows_;
}

void RootsTable::fill()
{
    bringUpToDate();
    if (filled_)
        return;
    filled_ = true;
    setRowCount(static_cast<int>(rows_.size()));
    for (int i = 0; i < rowCount(); ++i) {
        const RootRow& row = rows_[static_cast<std::size_t>(i)];
        const std::optional<Precision> rounded =
            i < storedRows_ ? std::nullopt : std::optional<Precision>(precision_);
        const QString cells[COLUMN_COUNT] = {
            kindText(row, rounded),
            fixed(row.re, 5),
            row.pair ? QStringLiteral("±") + fixed(std::fabs(row.im), 5) : fixed(row.im, 5),
            fixed(row.radius, 5),
            fixed(row.angleDegrees, 3),
            fixed(row.frequency, 1),
            optionalFixed(row.marginDb, 3),
            optionalFixed(row.n60Samples, 1),
            optionalFixed(row.n60Ms, 3),
            optionalFixed(row.q, 3),
        };
        for (int column = 0; column < COLUMN_COUNT; ++column) {
            QTableWidgetItem* cell = item(i, column);
            if (cell == nullptr) {
                cell = new QTableWidgetItem;
                setItem(i, column, cell);
            }
            cell->setText(cells[column]);
            cell->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    resizeColumnsToContents();
}

QString RootsTable::dataCsv()
{
    const Document& document = session_.document();
    return QString::fromStdString(rootTableCsv(rootRows(document.filter, document.sampleRate)));
}

void RootsTable::editRow(int row)
{
    bringUpToDate();
    if (row < 0 || row >= storedRows_)
        return;
    const RootRow& chosen = rows_[static_cast<std::size_t>(row)];
    const RootListKind list = chosen.kind == RootTableKind::Zero ? RootListKind::Zeros : RootListKind::Poles;
    const int slot = chosen.slot;
    const std::optional<Complex> typed = askPosition(this, Complex{chosen.re, chosen.im}, !chosen.pair);
    if (typed)
        session_.setRootPosition(list, slot, *typed);
}

namespace {

// A dock at the bottom of window for content, hidden, with its own action
// (so that the check mark follows the dock however it is closed) in menu, and
// "Copy Data" in its context menu.
QDockWidget* addDock(QMainWindow& window, QMenu& menu, const TimeViewDockText& text, QWidget* content,
                     std::function<QString()> data)
{
    auto* dock = new QDockWidget(QString::fromUtf8(text.title), &window);
    dock->setObjectName(QString::fromUtf8(text.objectName));
    dock->setWidget(content);
    window.addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    QAction* toggle = dock->toggleViewAction();
    toggle->setText(QString::fromUtf8(text.menuText));
    toggle->setData(text.id);
    menu.addAction(toggle);

    auto* copy = new QAction(QString::fromUtf8(MENU_COPY_DATA), dock);
    QObject::connect(copy, &QAction::triggered, dock, [data = std::move(data)] {
        if (QClipboard* clipboard = QApplication::clipboard())
            clipboard->setText(data());
    });
    dock->addAction(copy);
    dock->setContextMenuPolicy(Qt::ActionsContextMenu);
    return dock;
}

}  // namespace

void installTimeViewDocks(QMainWindow& window, QMenu& viewMenu, DesignSession& session, ClientArea& clientArea)
{
    const TimeView views[] = {TimeView::Impulse, TimeView::Step, TimeView::GroupDelay};
    QDockWidget* previous = nullptr;
    for (std::size_t i = 0; i < std::size(views); ++i) {
        auto* plot = new TimePlot(views[i], session);
        QDockWidget* dock = addDock(window, viewMenu, TIME_VIEW_DOCKS[i], plot, [plot] { return plot->dataCsv(); });
        QObject::connect(plot, &TimePlot::pointerTextChanged, &window, [&window](const QString& line) {
            if (line.isEmpty())
                window.statusBar()->clearMessage();
            else
                window.statusBar()->showMessage(line);
        });
        // Side by side, rather than each taking the window's whole width.
        if (previous != nullptr)
            window.splitDockWidget(previous, dock, Qt::Horizontal);
        previous = dock;
    }
    auto* table = new RootsTable(session, clientArea.precision());
    QDockWidget* roots =
        addDock(window, viewMenu, TIME_VIEW_DOCKS[3], table, [table] { return table->dataCsv(); });
    window.splitDockWidget(previous, roots, Qt::Horizontal);
    QObject::connect(&clientArea, &ClientArea::precisionChanged, table, &RootsTable::setPrecision);
}
