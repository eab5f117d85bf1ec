#include "app/position_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace {

constexpr const char* EMPTY = "Type a number";
constexpr const char* NOT_A_NUMBER = "Not a number";
constexpr const char* DECIMAL_COMMA = "Not a number (use a point for decimals)";
constexpr const char* NOT_FINITE = "Not a finite number";
constexpr const char* NEGATIVE_RADIUS = "A radius cannot be negative";
constexpr const char* OUTSIDE = "Outside the z-plane (|re| and |im| at most 1.5)";

constexpr const char* LABELS[] = {"&Real:", "&Imaginary:", "Ra&dius:", "&Angle (\u00b0):"};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool insideZPlane(double value) { return std::fabs(value) <= Z_PLANE_LIMIT; }

// Either the parsed number or the field's error.
std::variant<double, FieldError> parseField(std::string_view text, PositionField field)
{
    auto parsed = parsePositionField(text);
    if (const auto* message = std::get_if<std::string>(&parsed))
        return FieldError{field, *message};
    return std::get<double>(parsed);
}

std::string toText(double value, std::chars_format format, int precision)
{
    char text[64];
    const auto result = precision > 0 ? std::to_chars(text, text + sizeof text, value, format, precision)
                                      : std::to_chars(text, text + sizeof text, value);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string();
}

}  // namespace

std::variant<double, std::string> parsePositionField(std::string_view text)
{
    text = trimmed(text);
    if (text.empty())
        return std::string(EMPTY);
    // from_chars takes no plus sign, and a sign after it is no number.
    std::string_view digits = text;
    if (digits.front() == '+') {
        digits.remove_prefix(1);
        if (digits.empty() || digits.front() == '+' || digits.front() == '-')
            return std::string(NOT_A_NUMBER);
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc::result_out_of_range)
        return std::string(NOT_FINITE);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::string(text.find(',') != std::string_view::npos ? DECIMAL_COMMA : NOT_A_NUMBER);
    if (!std::isfinite(value))
        return std::string(NOT_FINITE);
    return value;
}

std::variant<Complex, FieldError> validatePosition(std::string_view real, std::string_view imaginary, bool single)
{
    const auto re = parseField(real, PositionField::Real);
    if (const auto* error = std::get_if<FieldError>(&re))
        return *error;
    double im = 0.0;
    if (!single) {
        const auto parsed = parseField(imaginary, PositionField::Imaginary);
        if (const auto* error = std::get_if<FieldError>(&parsed))
            return *error;
        im = std::get<double>(parsed);
    }
    const Complex z{std::get<double>(re), im};
    if (!insideZPlane(z.re))
        return FieldError{PositionField::Real, OUTSIDE};
    if (!insideZPlane(z.im))
        return FieldError{PositionField::Imaginary, OUTSIDE};
    return z;
}

std::variant<Complex, FieldError> validatePolarPosition(std::string_view radius, std::string_view angle, bool single)
{
    const auto r = parseField(radius, PositionField::Radius);
    if (const auto* error = std::get_if<FieldError>(&r))
        return *error;
    const auto degrees = parseField(angle, PositionField::Angle);
    if (const auto* error = std::get_if<FieldError>(&degrees))
        return *error;
    if (std::get<double>(r) < 0.0)
        return FieldError{PositionField::Radius, NEGATIVE_RADIUS};
    Complex z = fromPolar(std::get<double>(r), std::get<double>(degrees));
    if (single)
        z.im = 0.0;
    if (!insideZPlane(z.re) || !insideZPlane(z.im))
        return FieldError{PositionField::Radius, OUTSIDE};
    return z;
}

Complex fromPolar(double radius, double degrees)
{
    const double turn = std::fmod(degrees, 360.0);
    const double quarters = turn / 90.0;
    if (std::isfinite(quarters) && quarters == std::trunc(quarters)) {
        // −3 … 3 quarters of a turn, exactly.
        switch ((static_cast<int>(quarters) + 4) % 4) {
        case 0: return {radius, 0.0};
        case 1: return {0.0, radius};
        case 2: return {-radius, 0.0};
        default: return {0.0, -radius};
        }
    }
    const double angle = degrees * (std::numbers::pi / 180.0);
    return {radius * std::cos(angle), radius * std::sin(angle)};
}

Polar toPolar(Complex z)
{
    return {std::hypot(z.re, z.im), std::atan2(z.im, z.re) * (180.0 / std::numbers::pi)};
}

std::string exactFieldText(double value)
{
    if (value == 0.0)
        return "0";  // −0 too: a sign on nothing would only puzzle
    return toText(value, std::chars_format::general, 0);
}

std::string derivedFieldText(double value)
{
    std::string text = toText(value, std::chars_format::general, 12);
    if (text.find_first_of("123456789") == std::string::npos)
        return "0";
    return text;
}

PositionDialog::PositionDialog(Complex start, bool single, QWidget* parent)
    : QDialog(parent), position_(start), single_(single)
{
    setWindowTitle(tr("Position"));
    auto* grid = new QGridLayout;
    int widestMessage = 0;
    for (const char* text : {EMPTY, NOT_A_NUMBER, DECIMAL_COMMA, NOT_FINITE, NEGATIVE_RADIUS, OUTSIDE})
        widestMessage = std::max(widestMessage, fontMetrics().horizontalAdvance(QString::fromUtf8(text)));
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const int row = static_cast<int>(i);
        auto* label = new QLabel(tr(LABELS[i]));
        fields_[i] = new QLineEdit;
        // Room for the start's exact digits, up to 17 significant ones.
        fields_[i]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-0.00000000000000000")) + 12);
        messages_[i] = new QLabel;
        label->setBuddy(fields_[i]);
        messages_[i]->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0)"));
        messages_[i]->setMinimumWidth(widestMessage);
        grid->addWidget(label, row, 0);
        grid->addWidget(fields_[i], row, 1);
        grid->addWidget(messages_[i], row, 2);
    }
    // A single root's imaginary part is 0 and its angle 0° or 180°, fixed by
    // the sign of its real part.
    field(PositionField::Imaginary)->setEnabled(!single);
    field(PositionField::Angle)->setEnabled(!single);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setText(PositionField::Real, exactFieldText(start.re));
    setText(PositionField::Imaginary, exactFieldText(single ? 0.0 : start.im));
    for (const PositionField which : {PositionField::Real, PositionField::Imaginary})
        connect(field(which), &QLineEdit::textEdited, this, [this] { cartesianEdited(); });
    for (const PositionField which : {PositionField::Radius, PositionField::Angle})
        connect(field(which), &QLineEdit::textEdited, this, [this] { polarEdited(); });
    // The start's texts read back to the start itself. A start that is no
    // valid position (outside the z-plane, not finite) shows its error with
    // OK disabled.
    cartesianEdited();

    field(PositionField::Real)->setFocus();
    field(PositionField::Real)->selectAll();
}

void PositionDialog::setText(PositionField which, const std::string& text)
{
    field(which)->setText(QString::fromStdString(text));
}

void PositionDialog::cartesianEdited()
{
    const auto result = validatePosition(field(PositionField::Real)->text().toStdString(),
                                         field(PositionField::Imaginary)->text().toStdString(), single_);
    if (const auto* z = std::get_if<Complex>(&result)) {
        const Polar polar = toPolar(*z);
        setText(PositionField::Radius, derivedFieldText(polar.radius));
        setText(PositionField::Angle, derivedFieldText(polar.degrees));
    }
    showResult(result);
}

void PositionDialog::polarEdited()
{
    const auto result = validatePolarPosition(field(PositionField::Radius)->text().toStdString(),
                                              field(PositionField::Angle)->text().toStdString(), single_);
    if (const auto* z = std::get_if<Complex>(&result)) {
        setText(PositionField::Real, derivedFieldText(z->re));
        setText(PositionField::Imaginary, derivedFieldText(z->im));
    }
    showResult(result);
}

void PositionDialog::showResult(const std::variant<Complex, FieldError>& result)
{
    for (QLabel* label : messages_)
        label->clear();
    if (const auto* error = std::get_if<FieldError>(&result)) {
        message(error->field)->setText(QString::fromStdString(error->message));
        ok_->setEnabled(false);
        return;
    }
    position_ = std::get<Complex>(result);
    ok_->setEnabled(true);
}

std::optional<Complex> askPosition(QWidget* parent, Complex start, bool single)
{
    PositionDialog dialog(start, single, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.position();
}
