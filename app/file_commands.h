#pragma once

#include "app/design_session.h"

#include <QObject>
#include <QString>

#include <functional>

class QImage;
class QWidget;

// The commands that take a design to and from files and the clipboard:
// Open, Save, Save As, Export Coefficients, Export Picture, Copy
// Coefficients, and the question whether the window may close with unsaved
// changes. The dialogs and message boxes belong to the window they are
// given; the design is the session's.
class FileCommands : public QObject {
    Q_OBJECT

public:
    // picture gives the client area's drawing for Export Picture.
    FileCommands(DesignSession& session, QWidget* window, std::function<const QImage&()> picture);

    // The commands without their dialogs. Each returns "" on success, else
    // the message the window would show, which names the file and the
    // problem; a refused open or a failed save changes nothing in the
    // session nor in any file.
    QString openDesignFile(const QString& path);
    QString saveDesignFile(const QString& path);
    QString exportCoefficients(const QString& path);
    QString exportPicture(const QString& path);

    // openDesignFile with the message shown in a box on refusal.
    void openDesign(const QString& path);

    // A design without a file closes at once; one with a file and unsaved
    // changes asks Save / Discard / Cancel first. Cancel, a closed box or a
    // failed save keep the window.
    bool mayClose();

public slots:
    void open();
    bool save();
    bool saveAs();
    void exportCoefficientsAs();
    void exportPictureAs();
    void copyCoefficients();

private:
    QString dialogFolder() const;
    QString askSavePath(const QString& title, const QString& start, const char* filter, const char* suffix);
    bool reported(const QString& problem);

    DesignSession& session_;
    QWidget* window_;
    std::function<const QImage&()> picture_;
};
