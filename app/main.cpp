#include "app/main_window.h"
#include "res/resource_ids.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(APPLICATION_NAME));
    QGuiApplication::setDesktopFileName(QStringLiteral("vorbel"));
    return runMainWindow();
}
