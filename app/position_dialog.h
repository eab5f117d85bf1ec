#pragma once

#include "model/complex.h"

#include <QDialog>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Typing a root's position: the checks and conversions, apart from any
// widget, and the modal dialog that uses them.

enum class PositionField { Real, Imaginary, Radius, Angle };

// The z-plane reaches this far from both axes; a position beyond it could
// never be dragged or seen.
constexpr double Z_PLANE_LIMIT = 1.5;

// What is wrong with a typed position, and in which field.
struct FieldError {
    PositionField field = PositionField::Real;
    std::string message;
};

// A typed number in C notation, whatever the locale ("0.5", "-1e-3", "+.25"),
// blanks around it allowed: its value, or a one-line message naming what is
// wrong (empty, not a number, not finite).
std::variant<double, std::string> parsePositionField(std::string_view text);

// The position that Real and Imaginary hold, or the first field in error.
// A single root has no imaginary part: its text is not read and the result's
// im is 0. Either part above Z_PLANE_LIMIT in magnitude is refused.
std::variant<Complex, FieldError> validatePosition(std::string_view real, std::string_view imaginary, bool single);

// The same from Radius and Angle (degrees). A negative radius is refused; a
// single root takes the real part only, so at angle 0 or 180 it lies at
// +radius or −radius. A result outside the z-plane is the radius's error.
std::variant<Complex, FieldError> validatePolarPosition(std::string_view radius, std::string_view angle, bool single);

// radius · e^(j·degrees). Multiples of 90° land exactly on the axes, where
// cos and sin of the rounded π / 2 would leave a residue of 1e-17.
Complex fromPolar(double radius, double degrees);

struct Polar {
    double radius = 0.0;
    double degrees = 0.0;  // (−180, 180]
};

Polar toPolar(Complex z);

// A field's text for a value: the shortest that reads back to the same
// double, for the position the dialog starts from.
std::string exactFieldText(double value);

// Twelve significant digits, for the fields the dialog derives from the
// others, where the conversion's last bits are noise: 45 rather than
// 45.00000000000001.
std::string derivedFieldText(double value);

// The modal dialog. It starts with Real focused and its text selected; OK is
// the default button and is enabled only while the fields last edited hold a
// valid position, Cancel (and Esc) closes it without a position.
class PositionDialog : public QDialog {
public:
    PositionDialog(Complex start, bool single, QWidget* parent = nullptr);

    // The position of the last valid edit; the start until there is one.
    Complex position() const { return position_; }

    QLineEdit* field(PositionField which) const { return fields_[index(which)]; }
    QLabel* message(PositionField which) const { return messages_[index(which)]; }
    QPushButton* okButton() const { return ok_; }

private:
    static std::size_t index(PositionField which) { return static_cast<std::size_t>(which); }

    void cartesianEdited();
    void polarEdited();
    void showResult(const std::variant<Complex, FieldError>& result);
    void setText(PositionField which, const std::string& text);

    std::array<QLineEdit*, 4> fields_{};
    std::array<QLabel*, 4> messages_{};
    QPushButton* ok_ = nullptr;
    Complex position_;
    bool single_;
};

// Runs the dialog: the typed position on OK, none on Cancel or Esc.
std::optional<Complex> askPosition(QWidget* parent, Complex start, bool single);
