// vorbel-render against the real main window: the window is driven to a
// spread of states through its own controls (combo box and slider keys, the
// sample-rate command) and its surface after a full paint must be, pixel for
// pixel, the picture vorbel-render writes for the same state and client size.
// The two share the drawing code but not the way to the state: the window
// gets there through its controls and callbacks, the tool from its
// command-line numbers, so a state that the two reach differently shows.

#include "tests/window_driver.h"

#include "model/filter_state.h"
#include "res/resource_ids.h"

#include <QComboBox>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QSlider>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <string>

namespace {

struct Rate {
    int command;
    int hertz;
};

// Two rates other than the start-up one, so that each is a real change.
constexpr Rate RATES[] = {{IDM_RATE_48000, 48000}, {IDM_RATE_192000, 192000}};

// Two settings of the sliders, low and high; the Q slider is set only where it shows.
struct Positions {
    int cutoff;
    int q;
};
constexpr Positions POSITIONS[] = {{350, 1500}, {1900, 600}};

// vorbel-render's picture for the state, or a null image when it fails.
QImage renderedPicture(const QString& path, int model, int rate, const Positions& positions, int width,
                       int height, int dpi)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(QString::fromLocal8Bit(VORBEL_RENDER_EXECUTABLE),
                  {QStringLiteral("--model"), QString::number(model), QStringLiteral("--rate"), QString::number(rate),
                   QStringLiteral("--cutoff-pos"), QString::number(positions.cutoff), QStringLiteral("--q-pos"),
                   QString::number(positions.q), QStringLiteral("--size"),
                   QStringLiteral("%1x%2").arg(width).arg(height), QStringLiteral("--dpi"), QString::number(dpi),
                   QStringLiteral("--out"), path});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class RenderWindowTest : public QObject, private WindowDriver {
    Q_OBJECT

private:
    // Sizes the window so that its client area is width × height.
    void setClientSize(int width, int height)
    {
        const QSize frame = mainWindow()->size() - clientArea()->size();
        mainWindow()->resize(QSize(width, height) + frame);
        settle();
    }

private slots:
    void windowShowsWhatVorbelRenderDraws_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("640x480") << 640 << 480;
        QTest::newRow("1000x700") << 1000 << 700;
    }

    void windowShowsWhatVorbelRenderDraws()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());

        QVERIFY(openWindow());
        setClientSize(width, height);
        QCOMPARE(clientArea()->size(), QSize(width, height));
        const double ratio = clientArea()->devicePixelRatioF();
        const int dpi = toPixel(mainWindow()->screen()->logicalDotsPerInchY() * ratio);
        const int pixelsWide = surfaceWidth(surface()), pixelsHigh = surfaceHeight(surface());
        QCOMPARE(pixelsWide, toPixel(std::round(width * ratio)));
        QCOMPARE(pixelsHigh, toPixel(std::round(height * ratio)));

        int states = 0;
        QImage previous;
        // "Custom" is left out: the tool's Custom is the empty design, which
        // the controls alone cannot reach.
        for (int model = 0; model < MODEL_CUSTOM; ++model) {
            chooseModelByKeys(model);
            QCOMPARE(filterState().modelIndex, model);
            for (const Positions& positions : POSITIONS) {
                setSliderByKeys(controls().cutoffSlider, positions.cutoff);
                QCOMPARE(controls().cutoffSlider->value(), positions.cutoff);
                if (controls().qSlider->isVisible()) {
                    setSliderByKeys(controls().qSlider, positions.q);
                    QCOMPARE(controls().qSlider->value(), positions.q);
                }
                // Where the Q slider is hidden the design takes no Q; the
                // tool is given where the slider stands all the same.
                const Positions given{positions.cutoff, controls().qSlider->value()};
                for (const Rate& rate : RATES) {
                    // The rate command ends with a full paint of the client area.
                    triggerCommand(rate.command);
                    settle();
                    const QString name = QStringLiteral("m%1_r%2_c%3_q%4.png")
                                             .arg(model)
                                             .arg(rate.hertz)
                                             .arg(given.cutoff)
                                             .arg(given.q);
                    const QImage picture = renderedPicture(folder.filePath(name), model, rate.hertz, given,
                                                           pixelsWide, pixelsHigh, dpi);
                    QVERIFY2(!picture.isNull(), qPrintable(name));
                    QCOMPARE(picture.size(), surface().image.size());
                    const QImage shown = surface().image.convertToFormat(QImage::Format_RGB32);
                    for (const Rect& r : {magnitudePane(), phasePane(), zPlaneRect(), paletteRect()}) {
                        QVERIFY(r.right > r.left && r.bottom > r.top);
                        const std::string at = firstDifference(shown, picture, r);
                        QVERIFY2(at.empty(), qPrintable(name + QStringLiteral(" differs at ") +
                                                        QString::fromStdString(at)));
                    }
                    // Each state changes the rate or the sliders: its picture is a
                    // new one, so the window cannot pass by staying as it was.
                    if (!previous.isNull())
                        QVERIFY2(differingPixels(previous, picture, magnitudePane()) > 0, qPrintable(name));
                    previous = picture;
                    ++states;
                }
            }
        }
        QCOMPARE(states, MODEL_CUSTOM * 2 * 2);
        closeWindow();
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    RenderWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "render_window_test.moc"
