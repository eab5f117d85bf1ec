// The real main window on a real X server, an Xvfb of the test's own: at any
// display scale factor, a repaint of all its widgets paints every device pixel
// of the window's backing store, and every device pixel of the X window shows
// the same whichever way it was painted last: by partial redraws after slider
// steps, by the full repaint after a resize, or by the repaint after an unmap
// and a map. Without Xvfb installed the test is skipped.

#include "app/window_edges.h"
#include "tests/window_driver.h"

#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>

#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern char** environ;

namespace {

// An Xvfb on a display it chooses itself, so that tests run side by side;
// stopped when this goes, and ending itself once its last client has gone,
// should the test die first. display() is empty when Xvfb is not installed;
// problem() says why an installed one did not start.
class OwnXServer {
public:
    OwnXServer()
    {
        const QByteArray program = QFile::encodeName(QStandardPaths::findExecutable(QStringLiteral("Xvfb")));
        if (program.isEmpty())
            return;
        int ends[2];
        if (pipe(ends) != 0) {
            problem_ = "no pipe for Xvfb's display number";
            return;
        }
        // Above the standard descriptors, which the test may run without.
        const int readEnd = fcntl(ends[0], F_DUPFD_CLOEXEC, 10);
        const int writeEnd = fcntl(ends[1], F_DUPFD, 10);
        close(ends[0]);
        close(ends[1]);
        const std::string writeEndText = std::to_string(writeEnd);
        std::string arguments[] = {"Xvfb", "-displayfd", writeEndText, "-screen", "0", "1920x1200x24",
                                   "-nolisten", "tcp", "-terminate"};
        char* argv[std::size(arguments) + 1] = {};
        for (std::size_t i = 0; i < std::size(arguments); ++i)
            argv[i] = arguments[i].data();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawn(&pid_, program.constData(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(writeEnd);
        if (spawned != 0) {
            pid_ = 0;
            problem_ = "Xvfb did not start";
            close(readEnd);
            return;
        }
        // The display number and a newline once the server takes clients;
        // the end of the pipe when it gave up.
        std::string number;
        pollfd waiting{readEnd, POLLIN, 0};
        char c = 0;
        while (poll(&waiting, 1, 30000) == 1 && read(readEnd, &c, 1) == 1 && c != '\n')
            number += c;
        close(readEnd);
        if (c != '\n' || number.empty())
            problem_ = "Xvfb gave no display number";
        else
            display_ = ":" + QByteArray::fromStdString(number);
    }

    ~OwnXServer()
    {
        if (pid_ == 0)
            return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

    OwnXServer(const OwnXServer&) = delete;
    OwnXServer& operator=(const OwnXServer&) = delete;

    const QByteArray& display() const { return display_; }
    const char* problem() const { return problem_; }

private:
    pid_t pid_ = 0;
    QByteArray display_;
    const char* problem_ = nullptr;
};

// What main tells the test object: whether Xvfb is installed, and why it
// did not start when it did not.
struct ServerState {
    bool installed = false;
    const char* problem = nullptr;
};

}  // namespace

class X11WindowTest : public QObject, public WindowDriver {
    Q_OBJECT

public:
    explicit X11WindowTest(ServerState server) : server_(server) {}

private:
    ServerState server_;

    static xcb_connection_t* connection()
    {
        return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    }

    xcb_window_t windowId() const { return static_cast<xcb_window_t>(mainWindow()->winId()); }

    // The server has done what was sent, and Qt has taken in and painted
    // what came back.
    static void waitForServer()
    {
        std::free(xcb_get_input_focus_reply(connection(), xcb_get_input_focus(connection()), nullptr));
        for (int i = 0; i < 6; ++i) {
            QTest::qWait(30);
            settle();
        }
    }

    // Resizes the X window itself, to device pixels, as a window manager
    // or xdotool does; Qt learns of it from the server.
    bool resizeNative(QSize size) const
    {
        const std::uint32_t values[] = {static_cast<std::uint32_t>(size.width()),
                                        static_cast<std::uint32_t>(size.height())};
        xcb_configure_window(connection(), windowId(), XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
        waitForServer();
        return shownSize() == size;
    }

    QSize shownSize() const
    {
        xcb_get_geometry_reply_t* geometry =
            xcb_get_geometry_reply(connection(), xcb_get_geometry(connection(), windowId()), nullptr);
        if (geometry == nullptr)
            return {};
        const QSize size(geometry->width, geometry->height);
        std::free(geometry);
        return size;
    }

    // What the X server shows in the window, every device pixel of it.
    QImage shownWindow() const
    {
        const QSize size = shownSize();
        xcb_get_image_reply_t* image =
            xcb_get_image_reply(connection(),
                                xcb_get_image(connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, windowId(), 0, 0,
                                              static_cast<std::uint16_t>(size.width()),
                                              static_cast<std::uint16_t>(size.height()), ~std::uint32_t{0}),
                                nullptr);
        if (image == nullptr)
            return {};
        QImage shown;
        // Depth 24 comes as 32 bits a pixel, blue first: Qt's RGB32.
        if (image->depth == 24 && xcb_get_image_data_length(image) == size.width() * size.height() * 4)
            shown =
                QImage(xcb_get_image_data(image), size.width(), size.height(), size.width() * 4, QImage::Format_RGB32)
                    .copy();
        std::free(image);
        return shown;
    }

    // How many pixels differ, and the first of them.
    static QString differences(const QImage& a, const QImage& b)
    {
        if (a.size() != b.size())
            return QStringLiteral("sizes differ");
        int count = 0;
        QPoint first;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y) && count++ == 0)
                    first = QPoint(x, y);
        return count == 0 ? QString()
                          : QStringLiteral("%1 pixels, the first at (%2, %3)").arg(count).arg(first.x()).arg(first.y());
    }

    // A colour that nothing of the window paints.
    static constexpr QRgb MARK = qRgb(255, 0, 255);

    // Fills the window's backing store with the mark and repaints every
    // widget in the window, as a new layout does: a pixel that keeps the mark
    // belongs to no widget's paint.
    bool markThenRepaint() const
    {
        QBackingStore* store = mainWindow()->backingStore();
        store->beginPaint(QRegion(QRect(QPoint(0, 0), store->size())));
        const bool image = store->paintDevice()->devType() == QInternal::Image;
        if (image)
            static_cast<QImage*>(store->paintDevice())->fill(MARK);
        store->endPaint();
        for (QWidget* widget : mainWindow()->findChildren<QWidget*>())
            widget->update();
        waitForServer();
        return image;
    }

    static int marked(const QImage& shown)
    {
        int count = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                count += shown.pixel(x, y) == MARK ? 1 : 0;
        return count;
    }

    // The client area's panes and z-plane in a window picture, against a
    // fresh full paint of the surface.
    QString clientAreaAgainstFullPaint(const QImage& shown) const
    {
        const double ratio = clientArea()->devicePixelRatioF();
        const QPoint origin = clientArea()->mapTo(mainWindow(), QPoint(0, 0));
        const QImage client =
            shown.copy(QRect(toPixel(std::round(origin.x() * ratio)), toPixel(std::round(origin.y() * ratio)),
                             surfaceWidth(surface()), surfaceHeight(surface())));
        const QImage reference = freshFullPaint().convertToFormat(QImage::Format_RGB32);
        for (const Rect& r : {magnitudePane(), phasePane(), zPlaneRect(), paletteRect()}) {
            const std::string at = firstDifference(client, reference, r);
            if (!at.empty())
                return QString::fromStdString(at);
        }
        return {};
    }

private slots:
    void initTestCase()
    {
        if (!server_.installed)
            QSKIP("needs Xvfb");
        if (server_.problem != nullptr)
            QFAIL(server_.problem);
        QVERIFY(openWindow());
        // The pointer off the window: the readout shows the filter's summary
        // in every picture.
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection())).data;
        xcb_warp_pointer(connection(), XCB_NONE, screen->root, 0, 0, 0, 0,
                         static_cast<std::int16_t>(screen->width_in_pixels - 1),
                         static_cast<std::int16_t>(screen->height_in_pixels - 1));
        waitForServer();
    }

    void cleanupTestCase() { closeWindow(); }

    // The window of the report, and sizes that at some of the scale factors
    // the window's logical size falls short of by a device column and a row
    // (1203x902 at 1.75, 1207x901 at 2.25 and 3), or that leave a device row
    // between the client area and the status bar (1204x903 at 1.75 and 2.25).
    void everyWayOfPaintingShowsTheSame_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1200x900") << QSize(1200, 900);
        QTest::newRow("1203x902") << QSize(1203, 902);
        QTest::newRow("1207x901") << QSize(1207, 901);
        QTest::newRow("1204x903") << QSize(1204, 903);
    }

    void everyWayOfPaintingShowsTheSame()
    {
        QFETCH(QSize, size);
        QVERIFY(resizeNative(size));
        chooseModelByKeys(0);
        setSliderByKeys(controls().cutoffSlider, 1000);
        QVERIFY(markThenRepaint());
        // 40 key steps right and 13 left, each shown before the next.
        keySteps(controls().cutoffSlider, Qt::Key_Right, 40);
        keySteps(controls().cutoffSlider, Qt::Key_Left, 13);
        QCOMPARE(controls().cutoffSlider->value(), 1027);
        waitForServer();
        const QImage partial = shownWindow();
        QVERIFY(!partial.isNull());

        // Larger by more than a logical pixel and back: a full repaint.
        QVERIFY(resizeNative(size + QSize(3, 3)));
        QVERIFY(resizeNative(size));
        const QImage resized = shownWindow();

        xcb_unmap_window(connection(), windowId());
        waitForServer();
        xcb_map_window(connection(), windowId());
        waitForServer();
        const QImage mapped = shownWindow();

        QCOMPARE(marked(partial), 0);
        QVERIFY2(differences(partial, resized).isEmpty(), qPrintable(differences(partial, resized)));
        QVERIFY2(differences(resized, mapped).isEmpty(), qPrintable(differences(resized, mapped)));
        QVERIFY2(clientAreaAgainstFullPaint(resized).isEmpty(), qPrintable(clientAreaAgainstFullPaint(resized)));
    }
};

int main(int argc, char** argv)
{
    // The server outlives the application, which talks to it to the end.
    const OwnXServer server;
    const ServerState state{!server.display().isEmpty() || server.problem() != nullptr, server.problem()};
    if (server.display().isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        qputenv("DISPLAY", server.display());
        qputenv("QT_QPA_PLATFORM", "xcb");
        // No session bus: with none named, D-Bus would look for one through
        // the X server and start dbus-launch, which could outlive the test.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    }
    QApplication application(argc, argv);
    // As the program's main does.
    WindowEdges windowEdges;
    application.installNativeEventFilter(&windowEdges);
    X11WindowTest test(state);
    return QTest::qExec(&test, argc, argv);
}

#include "x11_window_test.moc"
