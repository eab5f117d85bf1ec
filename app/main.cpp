#include "app/command_line.h"
#include "app/main_window.h"
#include "app/window_edges.h"
#include "res/resource_ids.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    // Everything but the window runs, and refuses, without a window system.
    // A command line refused for an option with a single dash may hold
    // Qt's own options (-platform, -style), which only the window takes:
    // it is read again once QApplication has taken those out.
    const CommandLine commandLine = parseCommandLine(arguments);
    const bool window = commandLine.mode == CommandLine::Mode::Window
        || (commandLine.mode == CommandLine::Mode::Refused && !namesOwnOption(arguments));
    if (!window)
        return runWithoutWindow(commandLine, argv[0]);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(APPLICATION_NAME));
    QGuiApplication::setDesktopFileName(QStringLiteral("vorbel"));
    // Every device pixel of a window on X is painted at any display scale.
    WindowEdges windowEdges;
    application.installNativeEventFilter(&windowEdges);
    const CommandLine windowLine = parseCommandLine(QCoreApplication::arguments());
    if (windowLine.mode != CommandLine::Mode::Window)
        return runWithoutWindow(windowLine, argv[0]);
    return runMainWindow(windowLine.file);
}
