// Drives the real main window, headless, through long seeded random
// sequences of user actions and checks the program's invariants after each.
//
//   stress_driver --seed N|random --actions N [--display-every K]
//                 [--shrink-seconds S]
//   stress_driver --replay FILE          a sequence that a failure printed
//   stress_driver --trace --replay FILE  the same, in this process, with the
//                                        editor's state after each action
//
// The display is compared with a fresh full paint at most every K actions
// (25 by default) and after every action of a short replay.
//
// The window's state is process-wide, so every run of actions happens in a
// fresh worker process (this program with --worker). The first process only
// supervises: it starts the worker on the whole sequence and, when that
// fails, shrinks the failing prefix by replaying subsequences in new workers
// until no chunk and no single action can be left out, or the time runs out,
// then prints the seed and the shortest sequence that still breaks the same
// invariant.

#include "tests/stress/stress_actions.h"
#include "tests/stress/stress_checks.h"

#include "app/client_area.h"
#include "app/main_window.h"
#include "app/root_editor.h"
#include "model/filter_state.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

struct Options {
    std::uint64_t seed = 1;
    bool randomSeed = false;
    std::int64_t actions = 10000;
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
        if (!ok || options.actions < 0 || options.displayEvery < 1)
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

// ---------------------------------------------------------------- worker

// What a dying worker still reports: the action it was running. Written from
// a signal handler or the sanitizers' death callback, so only write(2).
int resultFile = -1;
volatile std::int64_t currentAction = -1;

void reportDeath()
{
    if (resultFile < 0)
        return;
    char text[64] = "crash at ";
    char digits[24];
    int n = 0;
    std::uint64_t value = currentAction < 0 ? 0 : static_cast<std::uint64_t>(currentAction);
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && n < 20);
    std::size_t length = std::strlen(text);
    while (n > 0)
        text[length++] = digits[--n];
    text[length++] = '\n';
    ssize_t written = write(resultFile, text, length);
    static_cast<void>(written);
}

void onFatalSignal(int signal)
{
    reportDeath();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg || type == QtCriticalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

void writeResult(const std::string& text)
{
    if (resultFile >= 0) {
        ssize_t written = write(resultFile, text.data(), text.size());
        static_cast<void>(written);
    }
    std::printf("%s", text.c_str());
    std::fflush(stdout);
}

void traceState(const Action& action)
{
    std::fprintf(stderr, "%s\n  hovering %d dragging %d outside %d fromPalette %d press (%d, %d) model %d zeros %d poles %d "
                 "surface %dx%d\n", actionText(action).c_str(), rootEditor.hovering, rootEditor.dragging,
                 rootEditor.outside, rootEditor.fromPalette, rootEditor.pressPoint.x, rootEditor.pressPoint.y,
                 filterState.modelIndex, filterState.zeros.count, filterState.poles.count,
                 surfaceWidth(clientArea->surface), surfaceHeight(clientArea->surface));
}

int runWorker(int argc, char** argv, const Options& options)
{
    if (!options.result.empty())
        resultFile = open(options.result.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (const int signal : {SIGSEGV, SIGABRT, SIGFPE, SIGILL, SIGBUS})
        std::signal(signal, onFatalSignal);
    if (__sanitizer_set_death_callback != nullptr)
        __sanitizer_set_death_callback(reportDeath);

    std::vector<Action> actions;
    if (!options.replay.empty()) {
        if (!readActions(options.replay, actions)) {
            std::fprintf(stderr, "stress: cannot read %s\n", options.replay.c_str());
            return 2;
        }
    } else {
        actions = generateActions(options.seed, options.actions);
    }

    qInstallMessageHandler(quietMessages);
    QApplication application(argc, argv);
    // The window goes before the application, on every way out.
    struct WindowOwner {
        ~WindowOwner() { destroyMainWindow(); }
    } windowOwner;
    startModalWatchdog();
    if (!createMainWindow()) {
        writeResult("failure window at 0: no main window\n");
        return 3;
    }
    if (!QTest::qWaitForWindowExposed(mainWindow)) {
        writeResult("failure window at 0: the main window never showed\n");
        return 3;
    }
    settleWindow();

    if (options.trace)
        displayImages = "stress-display";
    const std::function<void()> afterEachEvent = observeDrawnRoots;
    std::int64_t displayChecks = 0;
    std::int64_t sinceDisplayCheck = 0;
    const auto count = static_cast<std::int64_t>(actions.size());
    for (std::int64_t i = 0; i < count; ++i) {
        currentAction = i;
        performAction(actions[static_cast<std::size_t>(i)], afterEachEvent);
        if (options.trace)
            traceState(actions[static_cast<std::size_t>(i)]);
        std::string fault = takeModalTrouble();
        if (fault.empty())
            fault = checkState();
        if (fault.empty())
            fault = checkShownRoots();
        if (fault.empty() && ++sinceDisplayCheck >= options.displayEvery && displayCheckable()) {
            fault = checkDisplay();
            sinceDisplayCheck = 0;
            ++displayChecks;
        }
        if (!fault.empty()) {
            writeResult("failure " + fault.substr(0, fault.find(':')) + " at " + std::to_string(i) + ": " + fault +
                        "\n");
            return 3;
        }
    }
    writeResult("passed " + std::to_string(count) + " actions, " + std::to_string(displayChecks) +
                " display checks, " + actionStatistics() + "\n");
    return 0;
}

// ---------------------------------------------------------------- supervisor

struct Outcome {
    bool failed = false;
    std::string tag;        // the invariant, or "crash"
    std::int64_t at = -1;   // index of the action after which it failed
    std::string text;       // the worker's line
};

QString workerProgram;
QTemporaryDir* scratch = nullptr;

Outcome runInWorker(const QStringList& arguments, bool showOutput)
{
    const QString resultPath = scratch->filePath("result.txt");
    QFile::remove(resultPath);
    QProcess worker;
    // A sanitizer's report ends in an abort, which the worker's handler
    // notes with the action it was running.
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
    worker.start(workerProgram, QStringList{"--worker", "--result", resultPath} + arguments);
    worker.waitForFinished(-1);

    Outcome outcome;
    std::ifstream result(resultPath.toStdString());
    std::string line, last;
    while (std::getline(result, line))
        if (!line.empty())
            last = line;
    outcome.text = last;
    const bool normal = worker.exitStatus() == QProcess::NormalExit;
    if (normal && worker.exitCode() == 0 && last.rfind("passed", 0) == 0)
        return outcome;

    outcome.failed = true;
    if (last.rfind("failure ", 0) == 0) {
        const std::size_t atWord = last.find(" at ");
        outcome.tag = last.substr(8, atWord - 8);
        outcome.at = std::strtoll(last.c_str() + atWord + 4, nullptr, 10);
    } else {
        outcome.tag = "crash";
        if (last.rfind("crash at ", 0) == 0)
            outcome.at = std::strtoll(last.c_str() + 9, nullptr, 10);
        if (outcome.text.empty())
            outcome.text = normal ? "worker exited with code " + std::to_string(worker.exitCode())
                                  : std::string("worker died");
    }
    return outcome;
}

Outcome replay(const std::vector<Action>& actions, int displayEvery, bool showOutput = false)
{
    const QString path = scratch->filePath("actions.txt");
    writeActions(path.toStdString(), actions);
    return runInWorker({"--replay", path, "--display-every", QString::number(displayEvery)}, showOutput);
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
std::vector<Action> shrink(std::vector<Action> failing, const std::string& tag, const Options& options)
{
    QElapsedTimer clock;
    clock.start();
    const auto expired = [&clock, &options] { return clock.elapsed() > 1000LL * options.shrinkSeconds; };
    std::int64_t runs = 0;
    const auto stillFails = [&](const std::vector<Action>& candidate) {
        ++runs;
        const Outcome outcome = replay(candidate, replayDisplayEvery(candidate.size(), options.displayEvery));
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
    std::printf("stress: shrinking took %lld worker runs in %.0f s%s\n", static_cast<long long>(runs),
                static_cast<double>(clock.elapsed()) / 1000.0, expired() ? " (time limit reached)" : "");
    return failing;
}

int supervise(int argc, char** argv, Options options)
{
    QCoreApplication application(argc, argv);
    workerProgram = QCoreApplication::applicationFilePath();
    QTemporaryDir dir;
    scratch = &dir;
    if (options.randomSeed)
        options.seed = (static_cast<std::uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();

    if (!options.replay.empty()) {
        std::vector<Action> actions;
        if (!readActions(options.replay, actions)) {
            std::fprintf(stderr, "stress: cannot read %s\n", options.replay.c_str());
            return 2;
        }
        const Outcome outcome = replay(actions, replayDisplayEvery(actions.size(), options.displayEvery), true);
        std::printf("stress: replay of %zu actions %s\n", actions.size(), outcome.failed ? "FAILED" : "passed");
        return outcome.failed ? 1 : 0;
    }

    std::printf("stress: seed %llu, %lld actions\n", static_cast<unsigned long long>(options.seed),
                static_cast<long long>(options.actions));
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    const Outcome outcome =
        runInWorker({"--seed", QString::number(options.seed), "--actions", QString::number(options.actions),
                     "--display-every", QString::number(options.displayEvery)},
                    true);
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    if (!outcome.failed) {
        std::printf("stress: seed %llu: %s in %.1f s\n1 passed, 0 failed\n",
                    static_cast<unsigned long long>(options.seed), outcome.text.c_str(), seconds);
        return 0;
    }

    std::printf("stress: seed %llu FAILED after %.1f s: %s\n", static_cast<unsigned long long>(options.seed), seconds,
                outcome.text.c_str());
    std::vector<Action> failing = generateActions(options.seed, options.actions);
    if (outcome.at >= 0)
        failing.resize(static_cast<std::size_t>(outcome.at) + 1);
    std::fflush(stdout);
    const std::vector<Action> shortest = shrink(failing, outcome.tag, options);

    // Beside the program, in the build tree, so that the source tree stays
    // clean.
    const std::string path = (QCoreApplication::applicationDirPath() + "/stress-failure-seed-" +
                              QString::number(options.seed) + ".txt")
                                 .toStdString();
    writeActions(path, shortest);
    std::printf("stress: seed %llu, invariant \"%s\"; the shortest sequence found has %zu actions:\n",
                static_cast<unsigned long long>(options.seed), outcome.tag.c_str(), shortest.size());
    for (const Action& action : shortest)
        std::printf("  %s\n", actionText(action).c_str());
    std::printf("stress: written to %s; replay with: %s --replay %s\n", path.c_str(),
                workerProgram.toLocal8Bit().constData(), path.c_str());
    std::fflush(stdout);
    const Outcome last = replay(shortest, replayDisplayEvery(shortest.size(), options.displayEvery), true);
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
                     "usage: stress_driver --seed N|random --actions N [--display-every K] [--shrink-seconds S]\n"
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
        return runWorker(traceArgc, argv, traced);
    }
    int supervisorArgc = 1;
    return supervise(supervisorArgc, argv, *options);
}
