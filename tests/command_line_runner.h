#pragma once

// Running the real vorbel executable as a child process, as the command
// line tests do, with a folder for the files it reads and writes.

#include "model/design_file.h"
#include "model/document.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

struct Finished {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The environment of a terminal without a window system: no display and no
// platform chosen.
inline QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "XDG_SESSION_TYPE"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

// Runs a program to its end, without a display unless the environment says
// otherwise, so that a picture is made the way a terminal without a window
// system makes it.
inline Finished run(const char* program, const QStringList& arguments,
             const QProcessEnvironment& environment = withoutDisplay())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QString::fromLocal8Bit(program), arguments);
    Finished result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.status = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

inline Finished vorbel(const QStringList& arguments, const QProcessEnvironment& environment = withoutDisplay())
{
    return run(VORBEL_EXECUTABLE, arguments, environment);
}

inline void writeFile(const QString& path, const std::string& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(text.data(), static_cast<qint64>(text.size())), static_cast<qint64>(text.size()));
}

class CommandLineFixture : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }

    // A design file of the given document, and the document read back
    // from that file as the program reads it.
    Document saved(const char* name, const Document& document)
    {
        const std::string text = writeDesign(document);
        writeFile(path(name), text);
        const DesignReadResult read = readDesign(text);
        EXPECT_TRUE(read.document.has_value()) << read.error;
        return read.document.value_or(Document{});
    }

    QTemporaryDir folder;
};
