// Typing a root's position: the checks and conversions on their own, then
// the real dialog driven by keys on the offscreen platform.

#include "app/position_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

double parsed(std::string_view text)
{
    const auto result = parsePositionField(text);
    return std::holds_alternative<double>(result) ? std::get<double>(result) : std::nan("");
}

std::string refusal(std::string_view text)
{
    const auto result = parsePositionField(text);
    return std::holds_alternative<std::string>(result) ? std::get<std::string>(result) : std::string("accepted");
}

bool isPosition(const std::variant<Complex, FieldError>& result, Complex expected)
{
    const auto* z = std::get_if<Complex>(&result);
    return z != nullptr && z->re == expected.re && z->im == expected.im;
}

bool isError(const std::variant<Complex, FieldError>& result, PositionField field, const char* message)
{
    const auto* error = std::get_if<FieldError>(&result);
    return error != nullptr && error->field == field && error->message == message;
}

double number(QLineEdit* edit) { return parsed(edit->text().toStdString()); }

// Runs f on the dialog once it is the active window, from the event loop
// that exec() runs.
void whenDialogShows(std::function<void(QWidget*)> f)
{
    QTimer::singleShot(0, [f] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || !QTest::qWaitForWindowActive(dialog)) {
            whenDialogShows(f);
            return;
        }
        f(dialog);
    });
}

const char* const OUTSIDE = "Outside the z-plane (|re| and |im| at most 1.5)";

}  // namespace

class PositionDialogTest : public QObject {
    Q_OBJECT

private slots:
    void parsingTypedNumbers()
    {
        QCOMPARE(parsed("0.5"), 0.5);
        QCOMPARE(parsed("  -1.25\t"), -1.25);
        QCOMPARE(parsed("+.5"), 0.5);
        QCOMPARE(parsed("1e-3"), 0.001);
        QCOMPARE(parsed("-0"), 0.0);

        QCOMPARE(refusal(""), std::string("Type a number"));
        QCOMPARE(refusal("   "), std::string("Type a number"));
        for (const char* text : {"abc", "0x10", "1.2.3", "+-1", "--1", "+", "1 2", "0.5j", "\u00bd"})
            QCOMPARE(refusal(text), std::string("Not a number"));
        QCOMPARE(refusal("0,5"), std::string("Not a number (use a point for decimals)"));
        for (const char* text : {"inf", "-infinity", "nan", "1e999", "-1e400"})
            QCOMPARE(refusal(text), std::string("Not a finite number"));
    }

    void validatingCartesianPositions()
    {
        QVERIFY(isPosition(validatePosition("0.5", "-0.25", false), {0.5, -0.25}));
        QVERIFY(isPosition(validatePosition("1.5", "-1.5", false), {1.5, -1.5}));
        // A single root does not read its imaginary field.
        QVERIFY(isPosition(validatePosition("-0.75", "junk", true), {-0.75, 0.0}));

        QVERIFY(isError(validatePosition("1.5000001", "0", false), PositionField::Real, OUTSIDE));
        QVERIFY(isError(validatePosition("0", "-1.6", false), PositionField::Imaginary, OUTSIDE));
        QVERIFY(isError(validatePosition("x", "y", false), PositionField::Real, "Not a number"));
        QVERIFY(isError(validatePosition("0", "y", false), PositionField::Imaginary, "Not a number"));
        QVERIFY(isError(validatePosition("", "0", true), PositionField::Real, "Type a number"));
    }

    void validatingPolarPositions()
    {
        // Quarter turns land exactly on the axes, in every turn.
        QVERIFY(isPosition(validatePolarPosition("1", "90", false), {0.0, 1.0}));
        QVERIFY(isPosition(validatePolarPosition("1", "-90", false), {0.0, -1.0}));
        QVERIFY(isPosition(validatePolarPosition("0.5", "450", false), {0.0, 0.5}));
        QVERIFY(isPosition(validatePolarPosition("1.25", "180", false), {-1.25, 0.0}));
        // A single root at 180° lies at −radius.
        QVERIFY(isPosition(validatePolarPosition("0.25", "180", true), {-0.25, 0.0}));

        // √0.5 at 45° is (0.5, 0.5); √2 at 135° is (−1, 1).
        const auto half = std::get<Complex>(validatePolarPosition("0.7071067811865476", "45", false));
        QVERIFY(std::fabs(half.re - 0.5) < 1e-15 && std::fabs(half.im - 0.5) < 1e-15);
        const auto corner = std::get<Complex>(validatePolarPosition("1.4142135623730951", "135", false));
        QVERIFY(std::fabs(corner.re + 1.0) < 1e-15 && std::fabs(corner.im - 1.0) < 1e-15);

        QVERIFY(isError(validatePolarPosition("-1", "0", false), PositionField::Radius, "A radius cannot be negative"));
        QVERIFY(isError(validatePolarPosition("0.5", "abc", false), PositionField::Angle, "Not a number"));
        // Radius 1.6 at 20° is (1.503, 0.547): beyond the z-plane's edge at
        // 1.5; at 45° radius 2 is (1.414, 1.414), inside.
        QVERIFY(isError(validatePolarPosition("1.6", "20", false), PositionField::Radius, OUTSIDE));
        QVERIFY(std::holds_alternative<Complex>(validatePolarPosition("2", "45", false)));
    }

    void convertingBetweenPairs()
    {
        const Polar a = toPolar({0.5, 0.5});
        QVERIFY(std::fabs(a.radius - std::sqrt(0.5)) < 1e-15);
        QVERIFY(std::fabs(a.degrees - 45.0) < 1e-13);
        const Polar b = toPolar({-1.0, 0.0});
        QCOMPARE(b.radius, 1.0);
        QCOMPARE(b.degrees, 180.0);
        const Polar c = toPolar({0.0, -0.5});
        QCOMPARE(c.degrees, -90.0);

        // The start's texts read back to the same double; derived texts drop
        // the conversion's last bits.
        for (const double value : {0.9527253309522742, -0.1, 1e-5, 1.5})
            QCOMPARE(parsed(exactFieldText(value)), value);
        QCOMPARE(exactFieldText(-0.0), std::string("0"));
        QCOMPARE(derivedFieldText(45.00000000000001), std::string("45"));
        QCOMPARE(derivedFieldText(0.7071067811865476), std::string("0.707106781187"));
        QCOMPARE(derivedFieldText(-0.0), std::string("0"));
    }

    // Opened on a pair: Real has the focus and all its text selected, so that
    // typing replaces it; the polar pair follows; Enter applies.
    void typingReplacesRealAndEnterApplies()
    {
        const Complex start{0.9527253309522742, 0.045138480662672446};
        PositionDialog dialog(start, false);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QLineEdit* real = dialog.field(PositionField::Real);
        QCOMPARE(QApplication::focusWidget(), real);
        QCOMPARE(real->selectedText(), real->text());
        QCOMPARE(number(real), start.re);
        QVERIFY(dialog.field(PositionField::Imaginary)->isEnabled());
        QVERIFY(std::fabs(number(dialog.field(PositionField::Radius)) - 0.9537940231908851) < 1e-11);
        QVERIFY(std::fabs(number(dialog.field(PositionField::Angle)) - 2.712546668799144) < 1e-11);
        QVERIFY(dialog.okButton()->isEnabled());
        QVERIFY(dialog.okButton()->isDefault());

        QTest::keyClicks(real, "0.5");
        QCOMPARE(real->text(), QString("0.5"));
        QVERIFY(std::fabs(number(dialog.field(PositionField::Radius)) - std::hypot(0.5, start.im)) < 1e-11);
        QVERIFY(std::fabs(number(dialog.field(PositionField::Angle)) - std::atan2(start.im, 0.5) * 180 / std::numbers::pi) <
                1e-10);
        QTest::keyClick(real, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.position().re, 0.5);
        QCOMPARE(dialog.position().im, start.im);
    }

    // Typing radius and angle sets real and imaginary.
    void polarFieldsSetTheCartesianOnes()
    {
        PositionDialog dialog({0.5, 0.5}, false);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QLineEdit* radius = dialog.field(PositionField::Radius);
        QLineEdit* angle = dialog.field(PositionField::Angle);
        radius->setFocus();
        radius->selectAll();
        QTest::keyClicks(radius, "0.8");
        angle->setFocus();
        angle->selectAll();
        QTest::keyClicks(angle, "-90");
        QCOMPARE(dialog.field(PositionField::Real)->text(), QString("0"));
        QCOMPARE(dialog.field(PositionField::Imaginary)->text(), QString("-0.8"));
        QTest::keyClick(angle, Qt::Key_Enter);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.position().re, 0.0);
        QCOMPARE(dialog.position().im, -0.8);
    }

    // Bad text disables OK, shows the message beside its field, and Enter
    // does nothing; correcting it enables OK again.
    void badInputKeepsTheDialogOpen()
    {
        PositionDialog dialog({0.25, 0.5}, false);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QLineEdit* real = dialog.field(PositionField::Real);
        QLabel* message = dialog.message(PositionField::Real);
        QVERIFY(message->text().isEmpty());

        QTest::keyClicks(real, "abc");
        QVERIFY(!dialog.okButton()->isEnabled());
        QCOMPARE(message->text(), QString("Not a number"));
        QVERIFY(message->isVisible());
        // Beside the field: on its row, to its right.
        const QRect fieldBox(real->mapTo(&dialog, QPoint(0, 0)), real->size());
        const QRect messageBox(message->mapTo(&dialog, QPoint(0, 0)), message->size());
        QVERIFY(messageBox.left() >= fieldBox.right());
        QVERIFY(messageBox.top() < fieldBox.center().y() && fieldBox.center().y() < messageBox.bottom());
        QTest::keyClick(real, Qt::Key_Return);
        QVERIFY(dialog.isVisible());

        real->selectAll();
        QTest::keyClicks(real, "1.6");
        QCOMPARE(message->text(), QString(OUTSIDE));
        QVERIFY(!dialog.okButton()->isEnabled());

        QTest::keyClick(real, Qt::Key_Backspace);
        QTest::keyClicks(real, "5");
        QCOMPARE(real->text(), QString("1.5"));
        QVERIFY(message->text().isEmpty());
        QVERIFY(dialog.okButton()->isEnabled());
        QCOMPARE(dialog.position().re, 1.5);

        // An imaginary part that is no number is reported beside Imaginary.
        QLineEdit* imaginary = dialog.field(PositionField::Imaginary);
        imaginary->setFocus();
        imaginary->selectAll();
        QTest::keyClicks(imaginary, "1e999");
        QCOMPARE(dialog.message(PositionField::Imaginary)->text(), QString("Not a finite number"));
        QVERIFY(message->text().isEmpty());
        QVERIFY(!dialog.okButton()->isEnabled());
    }

    // Through exec(), as the editor will call it: Esc gives no position,
    // whatever was typed; Enter gives the typed one.
    void escapeLeavesThePositionUnchanged()
    {
        whenDialogShows([](QWidget* dialog) {
            QTest::keyClicks(dialog->focusWidget(), "0.1");
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
        });
        QVERIFY(!askPosition(nullptr, {0.25, 0.5}, false).has_value());

        whenDialogShows([](QWidget* dialog) {
            QWidget* real = dialog->focusWidget();
            QTest::keyClicks(real, "0.1");
            QTest::keyClick(real, Qt::Key_Return);
        });
        const std::optional<Complex> typed = askPosition(nullptr, {0.25, 0.5}, false);
        QVERIFY(typed.has_value());
        QCOMPARE(typed->re, 0.1);
        QCOMPARE(typed->im, 0.5);
    }

    // A single root: no imaginary part or angle to type; the radius keeps
    // the side of the real axis the root is on.
    void singleRoot()
    {
        PositionDialog dialog({-0.5, 0.0}, true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QVERIFY(!dialog.field(PositionField::Imaginary)->isEnabled());
        QVERIFY(!dialog.field(PositionField::Angle)->isEnabled());
        QCOMPARE(dialog.field(PositionField::Angle)->text(), QString("180"));
        QCOMPARE(dialog.field(PositionField::Radius)->text(), QString("0.5"));

        QLineEdit* real = dialog.field(PositionField::Real);
        QTest::keyClicks(real, "0.25");
        QCOMPARE(dialog.field(PositionField::Angle)->text(), QString("0"));
        QCOMPARE(dialog.field(PositionField::Radius)->text(), QString("0.25"));
        real->selectAll();
        QTest::keyClicks(real, "-0.25");
        QLineEdit* radius = dialog.field(PositionField::Radius);
        radius->setFocus();
        radius->selectAll();
        QTest::keyClicks(radius, "0.75");
        QCOMPARE(real->text(), QString("-0.75"));
        QCOMPARE(dialog.field(PositionField::Imaginary)->text(), QString("0"));
        QTest::keyClick(radius, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.position().re, -0.75);
        QCOMPARE(dialog.position().im, 0.0);
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    PositionDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "position_dialog_test.moc"
