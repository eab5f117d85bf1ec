#include "app/listen_dock.h"

#include "app/design_session.h"
#include "app/listen_panel.h"
#include "res/resource_ids.h"

#include <QAction>
#include <QDockWidget>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>

void installListenDock(QMainWindow& window, QMenu& viewMenu, DesignSession& session)
{
    auto* dock = new QDockWidget(QString::fromUtf8(LISTEN_TITLE), &window);
    dock->setObjectName(QStringLiteral("listenDock"));
    auto* panel = new ListenPanel(dock);
    dock->setWidget(panel);
    window.addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    // The dock's own action, so that the check mark follows the dock however
    // it is closed (its title bar's button too).
    QAction* toggle = dock->toggleViewAction();
    toggle->setText(QString::fromUtf8(MENU_LISTEN));
    toggle->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    toggle->setData(IDM_VIEW_LISTEN);
    viewMenu.addAction(toggle);

    // What the sound hears: the roots and gain, and the rate. A model or a
    // slider position changes the roots as well, and says so.
    const DesignChanges heard = DesignChange::Roots | DesignChange::Rate | DesignChange::Restored;
    QObject::connect(&session, &DesignSession::changed, panel, [panel, &session, heard](DesignChanges what) {
        if (what & heard)
            panel->showDocument(session.document());
    });
    panel->showDocument(session.document());
}
