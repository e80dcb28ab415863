#pragma once
// The comma text of a sheet's stored lines: how a row of cells is written as
// one line and read back.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace trevolo {

// True when a cell text must be enclosed in double quotes in comma text: it
// holds a character of code 32 or less, a double quote or a comma.
bool CommaTextNeedsQuotes(std::string_view cell) noexcept;

// Appends one item: quoted (inner double quotes doubled) when needed, as is
// otherwise; an empty cell appends nothing.
void CommaTextAppendItem(std::string& out, std::string_view cell);

// Joins the cells with "," between them. A row of exactly one empty cell is
// written as two double quotes, so the line still names one item.
std::string CommaTextJoin(const std::vector<std::string>& cells);
void CommaTextJoin(std::string& out, const std::string* cells, size_t count);

// Reads comma text back into its items: characters of code 1..32 are skipped
// before and after each item; a quoted item runs to its closing quote with
// doubled quotes made single (an unclosed quote runs to the end); any other
// item runs to the next comma or character of code 32 or less; two commas in
// a row give an empty item; a comma at the very end gives none. A NUL
// character ends the text.
std::vector<std::string> CommaTextSplit(std::string_view text);

// Calls sink(index, item) for each item in order and stops early when sink
// returns false. Items are views into text or into scratch (for quoted items),
// valid only during the call.
template <class Sink>
void CommaTextForEach(std::string_view text, std::string& scratch, Sink&& sink);

// One stored data line: the lot label, a comma, then the comma text of the
// values. A label holding a comma, a double quote or a character of code 32
// or less is quoted like a comma-text item so it reads back whole; any other
// label is written as it is.
std::string DataLineJoin(std::string_view label, const std::string* cells, size_t count);

// Splits a stored data line into its label and the comma text behind it.
// A line beginning with a double quote has a quoted label; otherwise the label
// is the text before the first comma (the whole line when it has none, with
// no values behind it).
struct DataLineParts {
    std::string label;
    std::string_view values;  // points into the line
};
DataLineParts DataLineSplit(std::string_view line);

// ---- implementation of the template ----

namespace detail {
inline bool IsSkip(char c) noexcept
{
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}
// Reads a quoted item starting at text[pos] == '"'; returns the position after
// the closing quote (or the end) and the item in out.
size_t ReadQuoted(std::string_view text, size_t pos, std::string& out);

// The end of an unquoted item starting at pos: the first comma or character
// of code 32 or less (NUL included), or the end of the text.
inline size_t PlainItemEnd(std::string_view text, size_t pos) noexcept
{
    const size_t n = text.size();
    if constexpr (std::endian::native == std::endian::little) {
        // Eight characters at a time: a value's length varies at random
        // (9.98, 10.02), so a loop per character would mispredict its end
        // for about every second item. Per byte, the high bit of
        // (x - 33) & ~x is set for a byte below 33 and that of (y - 1) & ~y
        // for a zero byte of y = x ^ ','; a borrow can only mark bytes after
        // a true one, so the lowest marked byte is exact.
        constexpr std::uint64_t kOnes = 0x0101010101010101u;
        constexpr std::uint64_t kHighs = 0x8080808080808080u;
        while (pos + 8 <= n) {
            std::uint64_t x = 0;
            std::memcpy(&x, text.data() + pos, 8);
            const std::uint64_t y = x ^ (kOnes * ',');
            const std::uint64_t marks = (((x - kOnes * 33) & ~x) | ((y - kOnes) & ~y)) & kHighs;
            if (marks)
                return pos + static_cast<size_t>(std::countr_zero(marks) >> 3);
            pos += 8;
        }
    }
    while (pos<n&& static_cast<unsigned char>(text[pos])> 32 && text[pos] != ',')
        ++pos;
    return pos;
}
}  // namespace detail

template <class Sink>
void CommaTextForEach(std::string_view text, std::string& scratch, Sink&& sink)
{
    const size_t n = text.size();
    size_t p = 0;
    auto at = [&](size_t i) -> char { return i < n ? text[i] : '\0'; };
    while (detail::IsSkip(at(p)))
        ++p;
    size_t index = 0;
    while (at(p) != '\0') {
        std::string_view item;
        if (at(p) == '"') {
            p = detail::ReadQuoted(text, p, scratch);
            item = scratch;
        } else {
            const size_t b = p;
            p = detail::PlainItemEnd(text, p);
            item = text.substr(b, p - b);
        }
        if (!sink(index++, item))
            return;
        while (detail::IsSkip(at(p)))
            ++p;
        if (at(p) == ',') {
            do {
                ++p;
            } while (detail::IsSkip(at(p)));
        }
    }
}

}  // namespace trevolo
