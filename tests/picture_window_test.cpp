// The picture of a document against what the real main window shows of the
// same design at the same client size.

#include "tests/window_driver.h"

#include "model/designs.h"
#include "model/document.h"
#include "model/filter_state.h"
#include "view/render_picture.h"

#include <QApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTest>

#include <vector>

class PictureWindowTest : public QObject, private WindowDriver {
    Q_OBJECT

private slots:
    void pictureIsWhatTheWindowShowsAtStartUp()
    {
        QVERIFY(openWindow());
        mainWindow()->resize(760, 560);
        QVERIFY(QTest::qWaitForWindowExposed(mainWindow()));
        settle();
        const int dpi = toPixel(mainWindow()->screen()->logicalDotsPerInchY() * clientArea()->devicePixelRatioF());
        const QImage shown = ::shownClientPixels(*mainWindow());
        QVERIFY(!shown.isNull());
        // The controls cover their part of the surface in the window.
        std::vector<Rect> controlRects;
        const double ratio = clientArea()->devicePixelRatioF();
        for (const QWidget* child : clientArea()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->isVisible())
                controlRects.push_back(Rect{toPixel(child->x() * ratio) - 1, toPixel(child->y() * ratio) - 1,
                                            toPixel((child->x() + child->width()) * ratio) + 1,
                                            toPixel((child->y() + child->height()) * ratio) + 1});
        QVERIFY(!controlRects.empty());
        closeWindow();

        // The start-up design, made afresh as a document.
        Document document;
        applyModel(document.filter);

        const QImage picture = renderFullPaint(document, shown.width(), shown.height(), dpi);
        QVERIFY(!picture.isNull());
        int compared = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                bool covered = false;
                for (const Rect& r : controlRects)
                    covered = covered || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
                if (covered)
                    continue;
                ++compared;
                if (picture.pixel(x, y) != shown.pixel(x, y))
                    QFAIL(qPrintable(QStringLiteral("differs at (%1, %2)").arg(x).arg(y)));
            }
        // Most of the client area is the drawing, not the controls.
        QVERIFY(compared > shown.width() * shown.height() / 2);
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    PictureWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "picture_window_test.moc"
