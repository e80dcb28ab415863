#pragma once
// Numbers live as text in cells and fields and are converted only when a
// command runs. These are the conversions every part of the program uses.
#include <stdexcept>
#include <string>
#include <string_view>

namespace trevolo {

// Raised when a text that must be a number is not one. The message is the
// program's own: "'<text>' は浮動小数点数ではありません" (UTF-8).
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(std::string_view text);
    const std::string& text() const noexcept { return text_; }

private:
    std::string text_;
};

// Converts a decimal text ("." as the decimal separator) to a double.
// Leading and trailing characters of code 32 or less are ignored; an optional
// sign, digits with at most one point, and an optional exponent are accepted.
// Anything else (empty, "-", ".", "1.2-", "inf", "0x10", out of range) throws
// ConvertError naming the text as given.
double StrToFloat(std::string_view text);

// The same conversion without an exception; false when the text is not a number.
bool TryStrToFloat(std::string_view text, double& out) noexcept;

// The common plain form of a value, an optional minus, digits and
// optionally a point followed by digits, with at most 15 digits in all,
// converted without the general parser: the digits as a whole number and the
// power of ten to divide by are both exact doubles, so the one correctly
// rounded division gives exactly the value TryStrToFloat gives. decimals is
// the count of digits after the point. False for any other text (spaces,
// a plus sign, an exponent, more digits), which then needs TryStrToFloat.
bool TryPlainDecimal(std::string_view text, double& out, int& decimals) noexcept;

// TryStrToFloat, taking the plain form the quick way.
inline bool TryStrToFloatQuick(std::string_view text, double& out) noexcept
{
    int decimals = 0;
    return TryPlainDecimal(text, out, decimals) || TryStrToFloat(text, out);
}

// A whole number in decimal (optional sign, digits only, spaces around it
// ignored) that fits a 32-bit signed integer.
bool TryStrToInt(std::string_view text, int& out) noexcept;

// The C format "%.<decimals>f": fixed point, rounded correctly from the
// binary value, as printf does.
std::string FormatFixed(double value, int decimals);
void AppendFixed(std::string& out, double value, int decimals);

// The format "%.<decimals>f" where the decimals come from a field's text
// ("%." followed by the text and "f"). A text that is not a digit 0..9
// counts as 0 decimals would in printf only by accident, so it is refused:
// returns false and leaves out unchanged.
bool FormatFixedText(double value, std::string_view decimalsText, std::string& out);

// True when the text is empty after removing characters of code 32 or less
// on both sides ("blank" in the program's terms).
bool IsBlank(std::string_view text) noexcept;

// The text without characters of code 32 or less on both sides.
std::string_view Trim(std::string_view text) noexcept;

}  // namespace trevolo
