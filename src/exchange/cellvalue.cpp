#include "exchange/cellvalue.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "model/number.h"

namespace trevolo {

std::string GeneralNumberText(double v)
{
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v > 0 ? "INF" : "-INF";
    if (v == 0)
        return "0";

    // 15 significant digits, rounded correctly: d.dddddddddddddde±x
    char buf[48];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
    if (ec != std::errc())
        return "0";
    std::string_view s(buf, static_cast<size_t>(end - buf));
    bool negative = false;
    if (s.front() == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    const size_t e = s.find('e');
    std::string digits;
    for (char c : s.substr(0, e))
        if (c != '.')
            digits += c;
    int exponent = std::atoi(std::string(s.substr(e + 1)).c_str());
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out;
    if (negative)
        out += '-';
    // Position of the decimal point counted from the first digit.
    const int point = exponent + 1;
    if (point > 15 || point < -3) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += 'E';
        if (exponent < 0)
            out += '-';
        out += std::to_string(std::abs(exponent));
    } else if (point <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-point), '0');
        out += digits;
    } else {
        const size_t p = static_cast<size_t>(point);
        if (digits.size() <= p) {
            out += digits;
            out.append(p - digits.size(), '0');
        } else {
            out.append(digits, 0, p);
            out += '.';
            out.append(digits, p);
        }
    }
    return out;
}

std::string CellText(const CellValue& v)
{
    if (const auto* d = std::get_if<double>(&v))
        return GeneralNumberText(*d);
    return std::get<std::string>(v);
}

CellValue NumberOrText(std::string_view text)
{
    double d = 0;
    if (!text.empty() && TryStrToFloat(text, d))
        return d;
    return std::string(text);
}

CellBlock::CellBlock(int rowCount, int colCount)
    : rows(rowCount < 0 ? 0 : rowCount),
      cols(colCount < 0 ? 0 : colCount),
      cells(static_cast<size_t>(rows) * static_cast<size_t>(cols))
{
}

const CellValue& CellBlock::get(int row, int col) const noexcept
{
    static const CellValue empty;
    if (row < 0 || col < 0 || row >= rows || col >= cols)
        return empty;
    return cells[static_cast<size_t>(row) * cols + col];
}

bool operator==(const CellBlock& a, const CellBlock& b)
{
    return a.rows == b.rows && a.cols == b.cols && a.cells == b.cells;
}

}  // namespace trevolo
