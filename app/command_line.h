#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for:
//   vorbel [FILE]                                            the window
//   vorbel --coefficients FILE                               the coefficient text on standard output
//   vorbel --picture OUT.png [--size WxH] [--dpi N] FILE     the full paint of FILE's design as PNG
// and --help, --version.
struct CommandLine {
    enum class Mode { Window, Coefficients, Picture, Help, Version, Refused };

    Mode mode = Mode::Window;
    QString file;  // the design file; empty for a window without one
    QString out;   // where --picture writes
    int width = 800;
    int height = 600;
    int dpi = 96;
    QString problem;  // Refused: what is wrong, one line without the program's name
};

// Exit statuses besides 0: a file that cannot be read, is no valid design or
// cannot be written; a command line that is malformed.
constexpr int EXIT_FILE_PROBLEM = 1;
constexpr int EXIT_USAGE = 2;

// Reads the arguments, the program's path first. Nothing is checked of the
// files but that they are named.
CommandLine parseCommandLine(const QStringList& arguments);

// Whether the arguments name an option of this program's own (and not only
// ones Qt takes for itself, which start with a single dash), so that a
// refusal of them needs no window system to be told.
bool namesOwnOption(const QStringList& arguments);

// Carries out every mode but Window and returns the exit status: prints the
// help, the version or the refusal; reads the design file and prints its
// coefficients or writes its picture. Makes the Qt application it needs
// itself (for a picture on the offscreen platform unless QT_QPA_PLATFORM
// chooses one), so that none may exist yet; argv[0] is the program's path.
// Every failure prints one line naming the problem to standard error.
int runWithoutWindow(const CommandLine& commandLine, char* programPath);
