// Design files, coefficient and picture export through the real main window:
// round trips, refused files, failed saves, the title, the close prompt and a
// file opened at start-up.

#include "tests/window_driver.h"

#include "app/design_files.h"
#include "model/coefficients.h"
#include "model/design_file.h"
#include "model/designs.h"
#include "model/document.h"
#include "model/filter_state.h"
#include "res/resource_ids.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <random>
#include <string>

class DesignFilesTest : public QObject, public WindowDriver {
    Q_OBJECT

    QTemporaryDir folder_;

    QString pathOf(const QString& name) const { return folder_.filePath(name); }

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    static bool writeBytes(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    // Drags the first pole by (dx, dy) client pixels with the mouse, which
    // turns the filter into a "Custom" one.
    void dragFirstPole(int dx, int dy)
    {
        const Point mark = markOf(filterState().poles.positions[0]);
        const Point to{mark.x + dx, mark.y + dy};
        moveTo(mark);
        QTest::mousePress(window(), Qt::LeftButton, {}, at(mark));
        settle();
        moveTo({mark.x + dx / 2, mark.y + dy / 2});
        moveTo(to);
        QTest::mouseRelease(window(), Qt::LeftButton, {}, at(to));
        settle();
    }

    // The surface of a full paint of the window's current state with the
    // marker, as opening a file shows it.
    QImage shownAfresh() const { return ::freshFullPaint(*mainWindow(), true); }

    QString expectedTitle(const QString& path, bool unsaved) const
    {
        return QFileInfo(path).fileName() + (unsaved ? "*" : "") + " - Vorbel";
    }

    // The box's text, read as it shows, and the box closed with button.
    void answerNextBox(QString* text, QMessageBox::StandardButton button, bool* shown)
    {
        whenModalShows(
            [text, button](QWidget* dialog) {
                auto* box = qobject_cast<QMessageBox*>(dialog);
                if (box == nullptr) {
                    dialog->close();
                    return;
                }
                *text = box->text();
                if (QAbstractButton* chosen = box->button(button))
                    chosen->click();
                else
                    box->close();
            },
            shown);
    }

    // A fresh window whose document belongs to a saved file.
    QString startWithSavedFile(const QString& name)
    {
        closeWindow();
        if (!openWindow())
            return {};
        const QString path = pathOf(name);
        if (!files().saveDesignFile(path).isEmpty())
            return {};
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder_.isValid());
        QVERIFY(openWindow());
    }

    void cleanupTestCase() { closeWindow(); }

    // State -> file -> state: the same document and, pixel for pixel, the
    // same full paint, for models at several settings and for a custom state
    // edited with the mouse.
    void roundTripsKeepDocumentAndPixels()
    {
        struct Setting {
            int model, rate, cutoff, q;
            bool dragged;
        };
        const Setting settings[] = {
            {0, IDM_RATE_44100, 1000, 0, false},   {1, IDM_RATE_48000, 1500, 0, false},
            {2, IDM_RATE_96000, 700, 1200, false}, {3, IDM_RATE_192000, 1900, 2000, false},
            {4, IDM_RATE_44100, 300, 800, false},  {5, IDM_RATE_48000, 1000, 1000, false},
            {6, IDM_RATE_44100, 1234, 0, false},   {7, IDM_RATE_96000, 50, 0, false},
            {3, IDM_RATE_44100, 1400, 1500, true}, {7, IDM_RATE_48000, 900, 0, true},
        };
        int index = 0;
        for (const Setting& s : settings) {
            triggerCommand(s.rate);
            chooseModelByKeys(s.model);
            setSliderByKeys(controls().cutoffSlider, s.cutoff);
            if (controls().qSlider->isVisible())
                setSliderByKeys(controls().qSlider, s.q);
            if (s.dragged) {
                dragFirstPole(-25, -18);
                QCOMPARE(filterState().modelIndex, MODEL_CUSTOM);
            }
            const Document before = session().document();
            const QImage picture = shownAfresh();
            const QString path = pathOf(QStringLiteral("trip%1.vorbel").arg(index++));
            QCOMPARE(files().saveDesignFile(path), QString());
            QCOMPARE(mainWindow()->windowTitle(), expectedTitle(path, false));
            QCOMPARE(QString::fromUtf8(contents(path)), QString::fromStdString(writeDesign(before)));

            // Something else in between, so that opening has to change it back.
            triggerCommand(s.rate == IDM_RATE_44100 ? IDM_RATE_192000 : IDM_RATE_44100);
            chooseModelByKeys(s.model == 0 ? 5 : 0);
            QVERIFY(!(session().document() == before));
            QCOMPARE(mainWindow()->windowTitle(), expectedTitle(path, true));

            QCOMPARE(files().openDesignFile(path), QString());
            settle();
            QVERIFY2(session().document() == before, qPrintable(path));
            QCOMPARE(session().filePath(), QFileInfo(path).absoluteFilePath());
            QCOMPARE(mainWindow()->windowTitle(), expectedTitle(path, false));
            QVERIFY(cutoffMarkerVisible());
            const Rect all{0, 0, picture.width(), picture.height()};
            QCOMPARE(QString::fromStdString(firstDifference(surface().image, picture, all)), QString());
            QCOMPARE(controls().modelComboBox->currentIndex(), before.filter.modelIndex);
            QCOMPARE(controls().cutoffSlider->value(), before.cutoffPosition);
            QCOMPARE(controls().qSlider->value(), before.qPosition);
            for (const RateCommand& rate : RATE_COMMANDS)
                QCOMPARE(commandAction(rate.id)->isChecked(), rate.rate == before.sampleRate);
        }
    }

    // The title names the file and marks a document unlike the one last
    // saved or opened; a change undone by hand clears the mark again.
    void titleFollowsUnsavedChanges()
    {
        closeWindow();
        QVERIFY(openWindow());
        QCOMPARE(mainWindow()->windowTitle(), QString("Vorbel"));
        triggerCommand(IDM_RATE_96000);
        QCOMPARE(mainWindow()->windowTitle(), QString("Vorbel"));
        const QString path = pathOf("title.vorbel");
        QCOMPARE(files().saveDesignFile(path), QString());
        QCOMPARE(mainWindow()->windowTitle(), QString("title.vorbel - Vorbel"));

        triggerCommand(IDM_RATE_48000);
        QCOMPARE(mainWindow()->windowTitle(), QString("title.vorbel* - Vorbel"));
        triggerCommand(IDM_RATE_96000);
        QCOMPARE(mainWindow()->windowTitle(), QString("title.vorbel - Vorbel"));

        setSliderByKeys(controls().cutoffSlider, 1100);
        QCOMPARE(mainWindow()->windowTitle(), QString("title.vorbel* - Vorbel"));
        setSliderByKeys(controls().cutoffSlider, 1000);
        QCOMPARE(mainWindow()->windowTitle(), QString("title.vorbel - Vorbel"));

        chooseModelByKeys(2);
        QCOMPARE(mainWindow()->windowTitle(), QString("title.vorbel* - Vorbel"));
        QCOMPARE(files().saveDesignFile(path), QString());
        QCOMPARE(mainWindow()->windowTitle(), QString("title.vorbel - Vorbel"));
        setSliderByKeys(controls().qSlider, 600);
        QCOMPARE(mainWindow()->windowTitle(), QString("title.vorbel* - Vorbel"));
        QCOMPARE(files().saveDesignFile(path), QString());

        // A root moved with the mouse.
        dragFirstPole(10, -30);
        QCOMPARE(filterState().modelIndex, MODEL_CUSTOM);
        QCOMPARE(mainWindow()->windowTitle(), QString("title.vorbel* - Vorbel"));

        // Save without a file is Save As; with one it writes the same file.
        QCOMPARE(files().saveDesignFile(path), QString());
        triggerCommand(IDM_RATE_44100);
        commandAction(IDM_FILE_SAVE)->trigger();
        settle();
        QCOMPARE(mainWindow()->windowTitle(), QString("title.vorbel - Vorbel"));
        QCOMPARE(QString::fromUtf8(contents(path)), QString::fromStdString(writeDesign(session().document())));
    }

    // Every kind of bad file is refused with a message naming the file and
    // its first problem, and nothing of the window changes.
    void badFilesChangeNothing()
    {
        const QString good = startWithSavedFile("good.vorbel");
        QVERIFY(!good.isEmpty());
        chooseModelByKeys(3);
        const Document document = session().document();
        const QString title = mainWindow()->windowTitle();
        QCOMPARE(title, QString("good.vorbel* - Vorbel"));
        const QImage picture = surface().image.copy();

        const std::string base = contents(good).toStdString();
        const auto replaced = [&base](const std::string& from, const std::string& to) {
            std::string text = base;
            const std::size_t at = text.find(from);
            if (at != std::string::npos)
                text.replace(at, from.size(), to);
            return text;
        };
        // The value of a key up to the next key (or the end of the object).
        const auto valueOf = [&base](const std::string& key) {
            const std::size_t start = base.find("\"" + key + "\": ") + key.size() + 4;
            std::size_t end = base.find(", \"", start);
            if (key == "zeros" || key == "poles")
                end = base.find(']', start) + 1;
            return base.substr(start, (end == std::string::npos ? base.size() - 1 : end) - start);
        };
        const std::string gain = valueOf("gain");
        const std::string root = "{\"re\": 0.5, \"im\": 0.25, \"pair\": true}";
        std::string twentyOne = "[";
        for (int i = 0; i < 21; ++i)
            twentyOne += (i > 0 ? ", " : "") + root;
        twentyOne += "]";
        std::mt19937_64 random(77);
        std::string randomBytes(300, '\0');
        for (char& c : randomBytes)
            c = static_cast<char>(random() % 256);
        randomBytes[0] = '\xff';
        const std::size_t half = base.size() / 2;

        struct Case {
            const char* name;
            std::string bytes;
            std::string problem;
        };
        const Case cases[] = {
            {"not-json.vorbel", "Vorbel design, 1st order LP", "not JSON: "},
            {"missing-key.vorbel", replaced("\"gain\": " + gain + ", ", ""), "missing key \"gain\""},
            {"wrong-type.vorbel", replaced("\"model\": \"1st order LP\"", "\"model\": 0"), "model: not a string"},
            {"non-finite.vorbel", replaced("\"gain\": " + gain, "\"gain\": 1e999"), "gain: out of the range of a double"},
            {"nan.vorbel", replaced("\"gain\": " + gain, "\"gain\": NaN"),
             "not JSON: invalid literal at byte " + std::to_string(base.find("\"gain\": ") + 8)},
            {"range.vorbel", replaced("\"cutoffPosition\": 1000", "\"cutoffPosition\": 2001"),
             "cutoffPosition: must be an integer from 0 to 2000"},
            {"rate.vorbel", replaced("\"sampleRate\": 44100", "\"sampleRate\": 22050"),
             "sampleRate: must be 44100, 48000, 96000 or 192000"},
            {"roots.vorbel", replaced("\"zeros\": " + valueOf("zeros"), "\"zeros\": " + twentyOne),
             "zeros: more than 20 roots"},
            {"pole-im.vorbel",
             replaced("\"poles\": " + valueOf("poles"),
                      "\"poles\": [" + root + ", " + root + ", " + root + ", {\"re\": 0.5, \"im\": \"x\", \"pair\": true}]"),
             "poles[3].im: not a number"},
            {"format.vorbel", replaced("\"vorbel-design\"", "\"vorbel-picture\""), "format: not a Vorbel design"},
            {"version.vorbel", replaced("\"version\": 1", "\"version\": 2"), "version: newer than this program (2)"},
            {"large.vorbel", base + std::string(MAX_DESIGN_FILE_SIZE + 1 - base.size(), ' '), "file larger than 1 MiB"},
            {"huge.vorbel", base + std::string(3 * MAX_DESIGN_FILE_SIZE, ' '), "file larger than 1 MiB"},
            {"truncated.vorbel", base.substr(0, half), "not JSON: unexpected end at byte " + std::to_string(half)},
            {"empty.vorbel", "", "not JSON: unexpected end at byte 0"},
            {"random.vorbel", randomBytes, "not JSON: "},
        };
        QVERIFY(base.find("\"sampleRate\": 44100") != std::string::npos);
        QVERIFY(base.find("\"cutoffPosition\": 1000") != std::string::npos);
        QVERIFY(QDir(folder_.path()).mkdir("folder.vorbel"));

        std::vector<std::pair<QString, QString>> refused;
        for (const Case& c : cases) {
            QVERIFY2(c.bytes != base, c.name);
            QVERIFY(writeBytes(pathOf(c.name), QByteArray::fromStdString(c.bytes)));
            refused.emplace_back(pathOf(c.name), QString::fromStdString(c.problem));
        }
        refused.emplace_back(pathOf("folder.vorbel"), "is a folder, not a design file");
        refused.emplace_back(pathOf("absent.vorbel"), "cannot open: ");

        for (const auto& [path, problem] : refused) {
            const QString message = files().openDesignFile(path);
            QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
            QVERIFY2(message.contains(problem), qPrintable(path + ": " + message));
            settle();
            QVERIFY(session().document() == document);
            QCOMPARE(session().filePath(), good);
            QCOMPARE(mainWindow()->windowTitle(), title);
            QCOMPARE(QString::fromStdString(firstDifference(surface().image, picture,
                                                            {0, 0, picture.width(), picture.height()})),
                     QString());

            // The same through the window's own command, with its box.
            QString shownText;
            bool shown = false;
            answerNextBox(&shownText, QMessageBox::Ok, &shown);
            files().openDesign(path);
            QVERIFY(shown);
            QCOMPARE(shownText, message);
            QVERIFY(session().document() == document);
            QCOMPARE(mainWindow()->windowTitle(), title);
        }
    }

    // A save that fails writes nothing over the earlier file, keeps the
    // window's file and title and says why.
    void failedSaveLosesNothing()
    {
        const QString path = startWithSavedFile("kept.vorbel");
        QVERIFY(!path.isEmpty());
        const QByteArray earlier = contents(path);
        chooseModelByKeys(4);
        const QString title = mainWindow()->windowTitle();
        QCOMPARE(title, QString("kept.vorbel* - Vorbel"));
        const QStringList entries = QDir(folder_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);

        QVERIFY(QDir(folder_.path()).mkdir("occupied.vorbel"));
        const QString targets[] = {pathOf("no-such-folder/design.vorbel"), pathOf("occupied.vorbel")};
        for (const QString& target : targets) {
            const QString message = files().saveDesignFile(target);
            QVERIFY2(message.contains(QDir::toNativeSeparators(target)), qPrintable(message));
            QVERIFY(message.contains("Cannot save"));
            QCOMPARE(session().filePath(), path);
            QCOMPARE(mainWindow()->windowTitle(), title);
            QCOMPARE(contents(path), earlier);
        }
        QVERIFY(QFileInfo(pathOf("occupied.vorbel")).isDir());
        QVERIFY(!QFileInfo::exists(pathOf("no-such-folder")));
        // No temporary file is left behind.
        QStringList after = QDir(folder_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        after.removeAll("occupied.vorbel");
        QCOMPARE(after, entries);

        // Save through the menu, its folder gone: the box names the file.
        QVERIFY(QDir(folder_.path()).mkdir("gone"));
        const QString inGone = pathOf("gone/design.vorbel");
        QCOMPARE(files().saveDesignFile(inGone), QString());
        QVERIFY(QDir(pathOf("gone")).removeRecursively());
        chooseModelByKeys(5);
        QString text;
        bool shown = false;
        answerNextBox(&text, QMessageBox::Ok, &shown);
        commandAction(IDM_FILE_SAVE)->trigger();
        settle();
        QVERIFY(shown);
        QVERIFY2(text.contains(QDir::toNativeSeparators(inGone)), qPrintable(text));
        QCOMPARE(mainWindow()->windowTitle(), QString("design.vorbel* - Vorbel"));
    }

    // Closing with unsaved changes to a design with a file asks; without a
    // file, or without changes, the window closes at once.
    void closePromptSavesDiscardsOrCancels()
    {
        for (const bool viaExit : {false, true}) {
            const auto closeIt = [this, viaExit] {
                if (viaExit)
                    commandAction(IDM_EXIT)->trigger();
                else
                    mainWindow()->close();
                settle();
            };

            // No file: closes at once, no box.
            closeWindow();
            QVERIFY(openWindow());
            chooseModelByKeys(2);
            QString text;
            bool shown = false;
            // A box could only show while the close runs.
            QPointer<QTimer> boxWatch = whenModalShows([](QWidget* dialog) { dialog->close(); }, &shown);
            closeIt();
            stopWatch(boxWatch);
            QVERIFY(!shown);
            QVERIFY(!mainWindow()->isVisible());
            QCoreApplication::processEvents();

            // A file and no changes: closes at once.
            QString path = startWithSavedFile("close.vorbel");
            QVERIFY(!path.isEmpty());
            boxWatch = whenModalShows([](QWidget* dialog) { dialog->close(); }, &shown);
            closeIt();
            stopWatch(boxWatch);
            QVERIFY(!shown);
            QVERIFY(!mainWindow()->isVisible());

            // Cancel keeps the window and the changes.
            path = startWithSavedFile("close.vorbel");
            const QByteArray saved = contents(path);
            chooseModelByKeys(6);
            const Document changed = session().document();
            answerNextBox(&text, QMessageBox::Cancel, &shown);
            closeIt();
            QVERIFY(shown);
            QVERIFY2(text.contains("close.vorbel"), qPrintable(text));
            QVERIFY(mainWindow()->isVisible());
            QVERIFY(session().document() == changed);
            QCOMPARE(contents(path), saved);

            // Discard closes and writes nothing.
            answerNextBox(&text, QMessageBox::Discard, &shown);
            closeIt();
            QVERIFY(shown);
            QVERIFY(!mainWindow()->isVisible());
            QCOMPARE(contents(path), saved);

            // Save writes the changes, then closes.
            path = startWithSavedFile("close.vorbel");
            chooseModelByKeys(7);
            answerNextBox(&text, QMessageBox::Save, &shown);
            closeIt();
            QVERIFY(shown);
            QVERIFY(!mainWindow()->isVisible());
            QCOMPARE(QString::fromUtf8(contents(path)), QString::fromStdString(writeDesign(session().document())));
            QVERIFY(!(contents(path) == saved));

            // A save that fails keeps the window open, after saying why.
            QVERIFY(QDir(folder_.path()).mkpath("doomed"));
            closeWindow();
            QVERIFY(openWindow());
            path = pathOf("doomed/close.vorbel");
            QCOMPARE(files().saveDesignFile(path), QString());
            QVERIFY(QDir(pathOf("doomed")).removeRecursively());
            chooseModelByKeys(1);
            QString failure;
            bool failureShown = false;
            whenModalShows(
                [&failure, &failureShown, this](QWidget* dialog) {
                    answerNextBox(&failure, QMessageBox::Ok, &failureShown);
                    qobject_cast<QMessageBox*>(dialog)->button(QMessageBox::Save)->click();
                },
                &shown);
            closeIt();
            QVERIFY(shown);
            QVERIFY(failureShown);
            QVERIFY2(failure.contains(QDir::toNativeSeparators(path)), qPrintable(failure));
            QVERIFY(mainWindow()->isVisible());
            QCOMPARE(mainWindow()->windowTitle(), QString("close.vorbel* - Vorbel"));
        }
        closeWindow();
        QVERIFY(openWindow());
    }

    // The exported picture is the surface, pixel for pixel; the coefficient
    // file and the clipboard hold the coefficient text of the document.
    void exportsAreWhatTheWindowHolds()
    {
        chooseModelByKeys(4);
        setSliderByKeys(controls().qSlider, 1500);
        dragFirstPole(-12, 20);
        const QString picturePath = pathOf("picture.png");
        QCOMPARE(files().exportPicture(picturePath), QString());
        const QImage& held = surface().image;
        QImage written(picturePath);
        QVERIFY(!written.isNull());
        QCOMPARE(written.size(), held.size());
        written = written.convertToFormat(held.format());
        QCOMPARE(QString::fromStdString(firstDifference(written, held, {0, 0, held.width(), held.height()})),
                 QString());

        const QString csv = pathOf("coefficients.csv");
        QCOMPARE(files().exportCoefficients(csv), QString());
        const std::string text = coefficientText(session().document());
        QCOMPARE(contents(csv).toStdString(), text);

        QGuiApplication::clipboard()->setText("something else");
        commandAction(IDM_COPY_COEFFICIENTS)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), text);

        // The exports change nothing of the document's file state.
        QCOMPARE(mainWindow()->windowTitle(), QString("Vorbel"));
        const QString nowhere = pathOf("no-such-folder/picture.png");
        QVERIFY(files().exportPicture(nowhere).contains(QDir::toNativeSeparators(nowhere)));
        QVERIFY(files().exportCoefficients(pathOf("no-such-folder/c.csv")).contains("Cannot export"));
    }

    // The window the program starts with a file shows that file's design;
    // with a bad file it says so and shows the default one.
    void fileNamedAtStartUpIsOpened()
    {
        closeWindow();
        Document stored;
        stored.sampleRate = 96000;
        stored.cutoffPosition = 1700;
        stored.qPosition = 400;
        stored.filter.modelIndex = 5;
        stored.filter.nyquist = 48000.0;
        const QString path = pathOf("start.vorbel");
        {
            // The model's roots for the positions as the reader maps them.
            const DesignReadResult designed = readDesign(writeDesign(stored));
            QVERIFY(designed.document.has_value());
            Document withRoots = *designed.document;
            applyModel(withRoots.filter);
            QVERIFY(writeBytes(path, QByteArray::fromStdString(writeDesign(withRoots))));
        }
        const DesignFileRead read = readDesignFile(path);
        QVERIFY(read.document.has_value());
        {
            const std::unique_ptr<MainWindow> window = createMainWindow(path);
            QVERIFY(window != nullptr);
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            settle();
            QVERIFY(window->session().document() == *read.document);
            QCOMPARE(window->windowTitle(), QString("start.vorbel - Vorbel"));
            QCOMPARE(QString::fromStdString(::differenceFromFullPaint(*window)), QString());
        }
        {
            const QString bad = pathOf("not-a-design.vorbel");
            QVERIFY(writeBytes(bad, "{\"format\": \"vorbel-design\"}"));
            QString text;
            bool shown = false;
            answerNextBox(&text, QMessageBox::Ok, &shown);
            const std::unique_ptr<MainWindow> window = createMainWindow(bad);
            QVERIFY(window != nullptr);
            QVERIFY(shown);
            QVERIFY2(text.contains(QDir::toNativeSeparators(bad)) && text.contains("missing key \"version\""),
                     qPrintable(text));
            QCOMPARE(window->windowTitle(), QString("Vorbel"));
            // The design of a window started without a file.
            QVERIFY(openWindow());
            QVERIFY(window->session().document() == session().document());
        }
    }

    void suffixIsAddedOnlyWhenNoneWasTyped()
    {
        QCOMPARE(withDefaultSuffix("/a/b/design", "vorbel"), QString("/a/b/design.vorbel"));
        QCOMPARE(withDefaultSuffix("/a/b.c/design", "vorbel"), QString("/a/b.c/design.vorbel"));
        QCOMPARE(withDefaultSuffix("/a/b/design.json", "vorbel"), QString("/a/b/design.json"));
        QCOMPARE(withDefaultSuffix("/a/b/d.vorbel", "vorbel"), QString("/a/b/d.vorbel"));
        QCOMPARE(withDefaultSuffix("", "vorbel"), QString());
    }
};

QTEST_MAIN(DesignFilesTest)
#include "design_files_test.moc"
