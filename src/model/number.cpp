#include "model/number.h"

#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cmath>
#include <system_error>

namespace trevolo {

namespace {

bool IsSpace(char c) noexcept
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string ConvertMessage(std::string_view text)
{
    std::string m;
    m.reserve(text.size() + 48);
    m += '\'';
    m.append(text);
    m += "' は浮動小数点数ではありません";
    return m;
}

// Checks the shape [sign] digits [. digits] [e [sign] digits] with at least
// one digit in the mantissa. from_chars alone would also take "inf", "nan"
// and refuse a leading "+".
bool IsDecimalShape(std::string_view s) noexcept
{
    size_t i = 0;
    const size_t n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        size_t exp = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9') {
            ++i;
            ++exp;
        }
        if (exp == 0)
            return false;
    }
    return i == n;
}

// The digit's value; above 9 for any other character.
unsigned DigitValue(char c) noexcept
{
    return static_cast<unsigned>(static_cast<unsigned char>(c)) - '0';
}

}  // namespace

ConvertError::ConvertError(std::string_view text) : std::runtime_error(ConvertMessage(text)), text_(text) {}

std::string_view Trim(std::string_view text) noexcept
{
    size_t b = 0;
    size_t e = text.size();
    while (b < e && IsSpace(text[b]))
        ++b;
    while (e > b && IsSpace(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

bool IsBlank(std::string_view text) noexcept
{
    for (char c : text)
        if (!IsSpace(c))
            return false;
    return true;
}

bool TryStrToFloat(std::string_view text, double& out) noexcept
{
    std::string_view s = Trim(text);
    if (!IsDecimalShape(s))
        return false;
    if (s.front() == '+')
        s.remove_prefix(1);
    double v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool TryPlainDecimal(std::string_view text, double& out, int& decimals) noexcept
{
    // Every power of ten up to 10^15 is exact in a double.
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool negative = p != end && *p == '-';
    p += negative ? 1 : 0;
    if (end - p < 2) {
        if (p == end || DigitValue(*p) > 9)
            return false;
        out = negative ? -static_cast<double>(DigitValue(*p)) : static_cast<double>(DigitValue(*p));
        decimals = 0;
        return true;
    }
    // Values around a power of ten (9.98, 10.02) have one integer digit or
    // two at random: the first two characters are read without branching on
    // which, so the processor does not guess wrong half the time.
    const unsigned first = DigitValue(p[0]);
    if (first > 9)
        return false;
    const unsigned second = DigitValue(p[1]);
    const unsigned secondIsDigit = second <= 9 ? 1 : 0;
    // Wraps beyond 19 digits, but more than 15 are refused below anyway.
    std::uint64_t digits = first * (1 + 9 * secondIsDigit) + second * secondIsDigit;
    const char* const intBegin = p;
    p += 1 + secondIsDigit;
    while (p != end && DigitValue(*p) <= 9)
        digits = digits * 10 + DigitValue(*p++);
    const std::ptrdiff_t intDigits = p - intBegin;
    std::ptrdiff_t fracDigits = 0;
    if (p != end) {
        if (*p++ != '.')
            return false;
        const char* const fracBegin = p;
        while (p != end && DigitValue(*p) <= 9)
            digits = digits * 10 + DigitValue(*p++);
        fracDigits = p - fracBegin;
        if (fracDigits == 0 || p != end)
            return false;
    }
    if (intDigits + fracDigits > 15)
        return false;
    const double v = static_cast<double>(digits) / kPow10[fracDigits];
    out = negative ? -v : v;
    decimals = static_cast<int>(fracDigits);
    return true;
}

double StrToFloat(std::string_view text)
{
    double v = 0;
    if (!TryStrToFloat(text, v))
        throw ConvertError(text);
    return v;
}

bool TryStrToInt(std::string_view text, int& out) noexcept
{
    std::string_view s = Trim(text);
    const bool plus = !s.empty() && s.front() == '+';
    if (plus)
        s.remove_prefix(1);
    // from_chars takes a '-' of its own, so "+-7" would otherwise read as -7.
    if (s.empty() || (plus && s.front() == '-'))
        return false;
    int v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 10);
    if (ec != std::errc() || ptr != s.data() + s.size())
        return false;
    out = v;
    return true;
}

void AppendFixed(std::string& out, double value, int decimals)
{
    if (decimals < 0)
        decimals = 0;
    // Up to 309 integer digits, a sign, a point and the decimals.
    char buf[400];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return;
    out.append(buf, ptr);
}

std::string FormatFixed(double value, int decimals)
{
    std::string s;
    AppendFixed(s, value, decimals);
    return s;
}

bool FormatFixedText(double value, std::string_view decimalsText, std::string& out)
{
    int d = 0;
    if (!TryStrToInt(decimalsText, d) || d < 0 || d > 20)
        return false;
    out = FormatFixed(value, d);
    return true;
}

}  // namespace trevolo
