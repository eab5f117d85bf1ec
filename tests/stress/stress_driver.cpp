// Drives the real main window, headless, through long seeded random
// sequences of user actions and checks the program's invariants after each.
//
//   stress_driver --seed N|random --actions N [--sequences M]
//                 [--display-every K] [--shrink-seconds S]
//                                        M sequences (1 by default) of the
//                                        seeds N, N + 1, ... N + M − 1
//   stress_driver --replay FILE          a sequence that a failure printed
//   stress_driver --trace --replay FILE  the same, in this process, with the
//                                        editor's state after each action
//
// The display is compared with a fresh full paint at most every K actions
// (25 by default) and after every action of a short replay.
//
// Every sequence runs on a main window of its own, made afresh with the
// default filter, so that one process runs many: a worker process (this
// program with --worker) runs the sequences and, when one breaks an
// invariant, shrinks it by replaying subsequences on new windows until no
// chunk and no single action can be left out, or the time runs out, then
// prints the seed and the shortest sequence that still breaks the same
// invariant. The first process only supervises: a crash ends the worker, and
// the supervisor then shrinks the crashing sequence with a new worker for
// every replay.

#include "tests/stress/stress_actions.h"
#include "tests/stress/stress_checks.h"
#include "tests/window_driver.h"

#include "app/client_area.h"
#include "app/main_window.h"
#include "app/root_editor.h"
#include "model/filter_state.h"
#include "view/surface.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QSlider>
#include <QTest>
#include <QUndoStack>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

struct Options {
    std::uint64_t seed = 1;
    bool randomSeed = false;
    std::int64_t actions = 10000;
    std::int64_t sequences = 1;
    int displayEvery = 25;
    int shrinkSeconds = 600;
    std::string replay;  // a file of actions, one a line
    std::string result;  // worker: where to write what happened
    bool worker = false;
    bool trace = false;  // worker: the state after every action on stderr
};

std::optional<Options> parseOptions(const QStringList& arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (name == "--worker" || name == "--trace") {
            (name == "--worker" ? options.worker : options.trace) = true;
            continue;
        }
        if (i + 1 >= arguments.size())
            return std::nullopt;
        const QString value = arguments[++i];
        bool ok = true;
        if (name == "--seed" && value == "random")
            options.randomSeed = true;
        else if (name == "--seed")
            options.seed = value.toULongLong(&ok);
        else if (name == "--actions")
            options.actions = value.toLongLong(&ok);
        else if (name == "--sequences")
            options.sequences = value.toLongLong(&ok);
        else if (name == "--display-every")
            options.displayEvery = value.toInt(&ok);
        else if (name == "--shrink-seconds")
            options.shrinkSeconds = value.toInt(&ok);
        else if (name == "--replay")
            options.replay = value.toStdString();
        else if (name == "--result")
            options.result = value.toStdString();
        else
            return std::nullopt;
        if (!ok || options.actions < 0 || options.sequences < 1 || options.displayEvery < 1)
            return std::nullopt;
    }
    return options;
}

std::vector<Action> generateActions(std::uint64_t seed, std::int64_t count)
{
    std::mt19937_64 random(seed);
    std::vector<Action> actions;
    actions.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i)
        actions.push_back(randomAction(random));
    return actions;
}

bool readActions(const std::string& path, std::vector<Action>& actions)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        Action action;
        if (!parseAction(line, action))
            return false;
        actions.push_back(action);
    }
    return static_cast<bool>(file.eof());
}

void writeActions(const std::string& path, const std::vector<Action>& actions)
{
    std::ofstream file(path);
    for (const Action& action : actions)
        file << actionText(action) << '\n';
}

// ------------------------------------------------------------ one sequence

struct Outcome {
    bool failed = false;
    std::string tag;        // the invariant, or "crash"
    std::int64_t at = -1;   // index of the action after which it failed
    std::string text;       // the result line
};

Outcome failure(const std::string& fault, std::int64_t at)
{
    Outcome outcome;
    outcome.failed = true;
    outcome.tag = fault.substr(0, fault.find(':'));
    outcome.at = at;
    outcome.text = "failure " + outcome.tag + " at " + std::to_string(at) + ": " + fault;
    return outcome;
}

void traceState(const Action& action, MainWindow& window)
{
    const ClientArea& clientArea = *clientAreaOf(window);
    const RootEditor& rootEditor = clientArea.rootEditor();
    const DesignSession& session = window.session();
    const FilterState& filterState = session.filter();
    const Surface& surface = clientArea.surface();
    const QSlider& cutoffSlider = *clientArea.controls().cutoffSlider;
    const QUndoStack& history = session.history().stack();
    std::fprintf(stderr,
                 "%s\n  hovering %d dragging %d outside %d fromPalette %d press (%d, %d) model %d zeros %d poles %d "
                 "surface %dx%d\n  cutoff position %d slider %d%s history %d of %d\n",
                 actionText(action).c_str(), rootEditor.hovering, rootEditor.dragging, rootEditor.outside,
                 rootEditor.fromPalette, rootEditor.pressPoint.x, rootEditor.pressPoint.y, filterState.modelIndex,
                 filterState.zeros.count, filterState.poles.count, surfaceWidth(surface), surfaceHeight(surface),
                 session.document().cutoffPosition, cutoffSlider.value(), cutoffSlider.isSliderDown() ? " down" : "",
                 history.index(), history.count());
}

// Runs the actions on a main window of their own, made afresh with the
// default filter and deleted at the end, and checks every invariant after
// each. beforeAction, when set, hears the index of every action before it
// runs, so that a crash can be placed.
Outcome runSequence(const std::vector<Action>& actions, int displayEvery, bool trace,
                    const std::function<void(std::int64_t)>& beforeAction = {})
{
    const std::unique_ptr<MainWindow> window = createMainWindow();
    if (window == nullptr)
        return failure("window: no main window", 0);
    if (!QTest::qWaitForWindowExposed(window.get()))
        return failure("window: the main window never showed", 0);
    settleWindow();

    // Made after the window and gone before it.
    StressActions actor(*window);
    StressChecks checks(*window);
    if (trace)
        checks.displayImages = "stress-display";
    const std::function<void()> afterEachEvent = [&checks] { checks.observeDrawnRoots(); };
    std::int64_t displayChecks = 0;
    std::int64_t sinceDisplayCheck = 0;
    const auto count = static_cast<std::int64_t>(actions.size());
    for (std::int64_t i = 0; i < count; ++i) {
        if (beforeAction)
            beforeAction(i);
        actor.perform(actions[static_cast<std::size_t>(i)], afterEachEvent);
        if (trace)
            traceState(actions[static_cast<std::size_t>(i)], *window);
        std::string fault = actor.takeModalTrouble();
        if (fault.empty() && actor.takeRoundTrip()) {
            fault = checks.checkDisplay();
            ++displayChecks;
        }
        if (fault.empty())
            fault = checks.checkState();
        if (fault.empty())
            fault = checks.checkShownRoots();
        // What an undo or a redo shows is a full paint of the state put back.
        const ActionKind kind = actions[static_cast<std::size_t>(i)].kind;
        const bool undoOrRedo = kind == ActionKind::Undo || kind == ActionKind::Redo;
        if (fault.empty())
            fault = checks.checkReadout();
        if (fault.empty())
            fault = checks.checkHistory(undoOrRedo);
        if (fault.empty())
            fault = checks.checkTimeViews();
        if (fault.empty() && (++sinceDisplayCheck >= displayEvery || undoOrRedo) && checks.displayCheckable()) {
            fault = checks.checkDisplay();
            sinceDisplayCheck = 0;
            ++displayChecks;
        }
        if (!fault.empty())
            return failure(fault, i);
    }
    Outcome passed;
    passed.text = "passed " + std::to_string(count) + " actions, " + std::to_string(displayChecks) +
                  " display checks, " + actor.statistics();
    return passed;
}

// The display check of a short replay runs after every action.
int replayDisplayEvery(std::size_t length, int runEvery) { return length <= 2000 ? 1 : runEvery; }

std::vector<Action> without(const std::vector<Action>& actions, std::size_t from, std::size_t count)
{
    std::vector<Action> rest(actions.begin(), actions.begin() + static_cast<std::ptrdiff_t>(from));
    rest.insert(rest.end(), actions.begin() + static_cast<std::ptrdiff_t>(std::min(from + count, actions.size())),
                actions.end());
    return rest;
}

// Delta debugging: first the shortest failing tail, then chunks of halving
// size left out while the same invariant still breaks, down to single
// actions. Stops early after the time limit with the shortest so far.
// replay runs one candidate and tells how it ended.
std::vector<Action> shrink(std::vector<Action> failing, const std::string& tag, int shrinkSeconds,
                           const std::function<Outcome(const std::vector<Action>&)>& replay)
{
    QElapsedTimer clock;
    clock.start();
    const auto expired = [&clock, shrinkSeconds] { return clock.elapsed() > 1000LL * shrinkSeconds; };
    std::int64_t runs = 0;
    const auto stillFails = [&](const std::vector<Action>& candidate) {
        ++runs;
        const Outcome outcome = replay(candidate);
        return outcome.failed && outcome.tag == tag;
    };

    for (std::size_t tail = 1; tail < failing.size() && !expired(); tail *= 2) {
        const std::vector<Action> candidate(failing.end() - static_cast<std::ptrdiff_t>(tail), failing.end());
        if (stillFails(candidate)) {
            failing = candidate;
            break;
        }
    }
    for (std::size_t chunk = failing.size() / 2; chunk >= 1 && !expired(); chunk /= 2) {
        for (std::size_t from = failing.size(); from > 0 && !expired();) {
            const std::size_t start = from >= chunk ? from - chunk : 0;
            const std::vector<Action> candidate = without(failing, start, from - start);
            if (!candidate.empty() && stillFails(candidate))
                failing = candidate;
            from = start;
        }
    }
    std::printf("stress: shrinking took %lld replays in %.0f s%s\n", static_cast<long long>(runs),
                static_cast<double>(clock.elapsed()) / 1000.0, expired() ? " (time limit reached)" : "");
    return failing;
}

// Beside the program, in the build tree, so that the source tree stays
// clean.
std::string failurePath(std::uint64_t seed)
{
    return (QCoreApplication::applicationDirPath() + "/stress-failure-seed-" + QString::number(seed) + ".txt")
        .toStdString();
}

void printShortest(std::uint64_t seed, const std::string& tag, const std::vector<Action>& shortest,
                   const std::string& path)
{
    std::printf("stress: seed %llu, invariant \"%s\"; the shortest sequence found has %zu actions:\n",
                static_cast<unsigned long long>(seed), tag.c_str(), shortest.size());
    for (const Action& action : shortest)
        std::printf("  %s\n", actionText(action).c_str());
    std::printf("stress: written to %s; replay with: %s --replay %s\n", path.c_str(),
                QCoreApplication::applicationFilePath().toLocal8Bit().constData(), path.c_str());
    std::fflush(stdout);
}

// ---------------------------------------------------------------- worker

// What the worker tells its supervisor, one line at a time in the result
// file, flushed at once: "action SEED I" before every action of a seeded
// sequence, so that a crash names where it happened; "failure ..." for a
// broken invariant; "shrunk" once the worker has shrunk and reported it
// itself; "passed ..." at the end.
class ResultFile {
public:
    explicit ResultFile(const std::string& path)
    {
        if (!path.empty())
            file_.open(path, std::ios::out | std::ios::trunc);
    }

    void line(const std::string& text)
    {
        if (file_.is_open())
            file_ << text << std::endl;
    }

private:
    std::ofstream file_;
};

void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg || type == QtCriticalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

int runWorker(int argc, char** argv, const Options& options)
{
    ResultFile result(options.result);
    qInstallMessageHandler(quietMessages);
    QApplication application(argc, argv);

    if (!options.replay.empty()) {
        std::vector<Action> actions;
        if (!readActions(options.replay, actions)) {
            std::fprintf(stderr, "stress: cannot read %s\n", options.replay.c_str());
            return 2;
        }
        const Outcome outcome = runSequence(actions, options.displayEvery, options.trace,
                                            [&result](std::int64_t i) { result.line("action 0 " + std::to_string(i)); });
        result.line(outcome.text);
        std::printf("%s\n", outcome.text.c_str());
        return outcome.failed ? 3 : 0;
    }

    for (std::int64_t n = 0; n < options.sequences; ++n) {
        const std::uint64_t seed = options.seed + static_cast<std::uint64_t>(n);
        const std::vector<Action> actions = generateActions(seed, options.actions);
        const std::string seedText = std::to_string(seed);
        const Outcome outcome = runSequence(actions, options.displayEvery, options.trace, [&](std::int64_t i) {
            result.line("action " + seedText + " " + std::to_string(i));
        });
        std::printf("stress: seed %s: %s\n", seedText.c_str(), outcome.text.c_str());
        std::fflush(stdout);
        if (!outcome.failed)
            continue;

        // The failing prefix, shrunk here on new windows; a crash on the way
        // ends this process, and the supervisor takes over from the line
        // above.
        result.line("seed " + seedText + " " + outcome.text);
        std::vector<Action> failing = actions;
        failing.resize(static_cast<std::size_t>(std::max<std::int64_t>(outcome.at, 0)) + 1);
        const auto replay = [&options](const std::vector<Action>& candidate) {
            return runSequence(candidate, replayDisplayEvery(candidate.size(), options.displayEvery), false);
        };
        const std::vector<Action> shortest = shrink(failing, outcome.tag, options.shrinkSeconds, replay);
        const std::string path = failurePath(seed);
        writeActions(path, shortest);
        printShortest(seed, outcome.tag, shortest, path);
        const Outcome last = replay(shortest);
        std::printf("stress: the shortest sequence %s: %s\n", last.failed ? "fails" : "no longer fails",
                    last.text.c_str());
        std::fflush(stdout);
        result.line("shrunk");
        return 3;
    }
    result.line("passed " + std::to_string(options.sequences) + " sequences");
    return 0;
}

// ---------------------------------------------------------------- supervisor

// Where the supervisor's workers run and leave their files.
struct Supervisor {
    QString workerProgram;
    QTemporaryDir scratch;
};

struct WorkerEnd {
    bool passed = false;
    bool shrunk = false;               // the worker shrank and reported a broken invariant itself
    std::uint64_t seed = 0;            // of the sequence it was running
    Outcome outcome;                   // what broke, when something did
};

WorkerEnd runInWorker(const Supervisor& supervisor, const QStringList& arguments, bool showOutput)
{
    const QString resultPath = supervisor.scratch.filePath("result.txt");
    QFile::remove(resultPath);
    QProcess worker;
    // A sanitizer's report ends in an abort, which ends the worker where
    // its last "action" line says.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
        const QString options = environment.value(QString::fromLatin1(name));
        environment.insert(QString::fromLatin1(name), options + (options.isEmpty() ? "" : ":") + "abort_on_error=1");
    }
    worker.setProcessEnvironment(environment);
    worker.setProcessChannelMode(showOutput ? QProcess::ForwardedChannels : QProcess::SeparateChannels);
    if (!showOutput) {
        worker.setStandardOutputFile(QProcess::nullDevice());
        worker.setStandardErrorFile(QProcess::nullDevice());
    }
    worker.start(supervisor.workerProgram, QStringList{"--worker", "--result", resultPath} + arguments);
    worker.waitForFinished(-1);

    WorkerEnd end;
    std::ifstream result(resultPath.toStdString());
    std::string line, last, failureLine;
    while (std::getline(result, line)) {
        if (line.empty())
            continue;
        last = line;
        if (line.rfind("seed ", 0) == 0)
            failureLine = line;
    }
    const bool normal = worker.exitStatus() == QProcess::NormalExit;
    if (normal && worker.exitCode() == 0 && last.rfind("passed", 0) == 0) {
        end.passed = true;
        return end;
    }
    end.shrunk = normal && last == "shrunk";
    end.outcome.failed = true;
    if (last.rfind("failure ", 0) == 0) {
        // A replay: one sequence, no shrinking.
        const std::size_t atWord = last.find(" at ");
        end.outcome.tag = last.substr(8, atWord - 8);
        end.outcome.at = std::strtoll(last.c_str() + atWord + 4, nullptr, 10);
        end.outcome.text = last;
    } else if (last.rfind("action ", 0) == 0) {
        char* next = nullptr;
        end.seed = std::strtoull(last.c_str() + 7, &next, 10);
        end.outcome.tag = "crash";
        end.outcome.at = std::strtoll(next, nullptr, 10);
        end.outcome.text = normal ? "worker exited with code " + std::to_string(worker.exitCode())
                                  : std::string("worker died");
    } else if (!failureLine.empty()) {
        // The worker failed on an invariant and died while shrinking it.
        char* next = nullptr;
        end.seed = std::strtoull(failureLine.c_str() + 5, &next, 10);
        const std::string text = next + 1;
        const std::size_t atWord = text.find(" at ");
        end.outcome.tag = text.substr(8, atWord - 8);
        end.outcome.at = std::strtoll(text.c_str() + atWord + 4, nullptr, 10);
        end.outcome.text = text;
    } else {
        end.outcome.tag = "crash";
        end.outcome.text = last.empty() ? std::string("worker died before its first action") : last;
    }
    return end;
}

Outcome replayInWorker(const Supervisor& supervisor, const std::vector<Action>& actions, int displayEvery,
                       bool showOutput = false)
{
    const QString path = supervisor.scratch.filePath("actions.txt");
    writeActions(path.toStdString(), actions);
    const WorkerEnd end = runInWorker(
        supervisor, {"--replay", path, "--display-every", QString::number(displayEvery)}, showOutput);
    return end.passed ? Outcome{} : end.outcome;
}

int supervise(int argc, char** argv, Options options)
{
    QCoreApplication application(argc, argv);
    Supervisor supervisor;
    supervisor.workerProgram = QCoreApplication::applicationFilePath();
    if (options.randomSeed)
        options.seed = (static_cast<std::uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();

    if (!options.replay.empty()) {
        std::vector<Action> actions;
        if (!readActions(options.replay, actions)) {
            std::fprintf(stderr, "stress: cannot read %s\n", options.replay.c_str());
            return 2;
        }
        const Outcome outcome =
            replayInWorker(supervisor, actions, replayDisplayEvery(actions.size(), options.displayEvery), true);
        std::printf("stress: replay of %zu actions %s\n", actions.size(), outcome.failed ? "FAILED" : "passed");
        return outcome.failed ? 1 : 0;
    }

    std::printf("stress: seed %llu, %lld actions%s\n", static_cast<unsigned long long>(options.seed),
                static_cast<long long>(options.actions),
                options.sequences > 1 ? (", " + std::to_string(options.sequences) + " sequences").c_str() : "");
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    const WorkerEnd end = runInWorker(
        supervisor,
        {"--seed", QString::number(options.seed), "--actions", QString::number(options.actions), "--sequences",
         QString::number(options.sequences), "--display-every", QString::number(options.displayEvery),
         "--shrink-seconds", QString::number(options.shrinkSeconds)},
        true);
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    if (end.passed) {
        std::printf("stress: %lld sequence%s passed in %.1f s\n%lld passed, 0 failed\n",
                    static_cast<long long>(options.sequences), options.sequences > 1 ? "s" : "", seconds,
                    static_cast<long long>(options.sequences));
        return 0;
    }
    if (end.shrunk) {
        std::printf("0 passed, 1 failed\n");
        return 1;
    }

    // A crash ended the worker: every replay of the shrinking gets a worker
    // of its own.
    std::printf("stress: seed %llu FAILED after %.1f s: %s\n", static_cast<unsigned long long>(end.seed), seconds,
                end.outcome.text.c_str());
    std::vector<Action> failing = generateActions(end.seed, options.actions);
    if (end.outcome.at >= 0)
        failing.resize(static_cast<std::size_t>(end.outcome.at) + 1);
    std::fflush(stdout);
    const auto replay = [&supervisor, &options](const std::vector<Action>& candidate) {
        return replayInWorker(supervisor, candidate, replayDisplayEvery(candidate.size(), options.displayEvery));
    };
    const std::vector<Action> shortest = shrink(failing, end.outcome.tag, options.shrinkSeconds, replay);
    const std::string path = failurePath(end.seed);
    writeActions(path, shortest);
    printShortest(end.seed, end.outcome.tag, shortest, path);
    const Outcome last = replayInWorker(supervisor, shortest,
                                        replayDisplayEvery(shortest.size(), options.displayEvery), true);
    std::printf("stress: the shortest sequence %s: %s\n0 passed, 1 failed\n",
                last.failed ? "fails" : "no longer fails", last.text.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const std::optional<Options> options = parseOptions(arguments);
    if (!options) {
        std::fprintf(stderr,
                     "usage: stress_driver --seed N|random --actions N [--sequences M] [--display-every K]\n"
                     "                     [--shrink-seconds S]\n"
                     "       stress_driver --replay FILE\n");
        return 2;
    }
    if (options->worker) {
        int workerArgc = 1;
        return runWorker(workerArgc, argv, *options);
    }
    if (options->trace) {
        int traceArgc = 1;
        Options traced = *options;
        traced.worker = true;
        traced.shrinkSeconds = 0;
        return runWorker(traceArgc, argv, traced);
    }
    int supervisorArgc = 1;
    return supervise(supervisorArgc, argv, *options);
}
