#include "exchange/layout_reader.h"

#include <algorithm>

#include "model/number.h"

namespace trevolo {

namespace {

constexpr int kLabelRow = 0;
constexpr int kHeaderRow = 1;
constexpr int kEmptyRow = 2;
constexpr int kTitleRow = 3;
constexpr int kFirstLotRow = 4;
constexpr int kKindField = 5;
constexpr int kDecimalsField = 6;
constexpr int kUpperField = 7;
constexpr int kLowerField = 8;

std::string_view Cell(const CsvRow& row, size_t col)
{
    return col < row.size() ? Trim(row[col]) : std::string_view();
}

bool Fault(LayoutFault& fault, int row, int col, std::string reason)
{
    fault = {row + 1, col > 0 ? col : 0, std::move(reason)};
    return false;
}

// The first cell from col on that is not blank, or -1.
int FirstFilled(const CsvRow& row, size_t col)
{
    for (size_t c = col; c < row.size(); ++c)
        if (!IsBlank(row[c]))
            return static_cast<int>(c);
    return -1;
}

std::string LabelsLine()
{
    std::string line;
    for (const char* label : kHeaderLabels)
        line += (line.empty() ? "" : ",") + std::string(label);
    return line;
}

bool CheckHeaderValues(const CsvRow& row, LayoutFault& fault)
{
    if (const int extra = FirstFilled(row, kHeaderFields); extra >= 0)
        return Fault(fault, kHeaderRow, extra + 1,
                     "見出しの値は9個です。値にカンマを含む見出しがあると列がずれます。");
    const std::string_view kind = Cell(row, kKindField);
    if (std::none_of(std::begin(kSpecKindTexts), std::end(kSpecKindTexts),
                     [&](const char* k) { return kind == k; }))
        return Fault(fault, kHeaderRow, kKindField + 1,
                     "規格種別は「公差規格」「上限規格」「下限規格」のいずれかです: '" + std::string(kind) + "'");
    int decimals = -1;
    const std::string_view decimalsText = Cell(row, kDecimalsField);
    if (!TryStrToInt(decimalsText, decimals) || decimals < 0 || decimals > 5)
        return Fault(fault, kHeaderRow, kDecimalsField + 1,
                     "小数点桁は0から5の数です: '" + std::string(decimalsText) + "'");
    for (int f : {kUpperField, kLowerField}) {
        double v = 0;
        const std::string_view limit = Cell(row, f);
        if (!limit.empty() && !TryStrToFloatQuick(limit, v))
            return Fault(fault, kHeaderRow, f + 1, ConvertError(limit).what());
    }
    return true;
}

}  // namespace

bool ReadLayoutRows(const std::vector<CsvRow>& rows, LayoutSheet& sheet, LayoutFault& fault)
{
    sheet = LayoutSheet{};
    const int count = static_cast<int>(rows.size());
    if (count <= kLabelRow)
        return Fault(fault, kLabelRow, 0, "ファイルが空です。");

    // Row 1: the labels, exactly.
    const CsvRow& labels = rows[kLabelRow];
    for (int i = 0; i < kHeaderFields; ++i)
        if (Cell(labels, static_cast<size_t>(i)) != kHeaderLabels[i])
            return Fault(fault, kLabelRow, 0, "シートの見出し行 (" + LabelsLine() + ") がありません。");
    if (const int extra = FirstFilled(labels, kHeaderFields); extra >= 0)
        return Fault(fault, kLabelRow, extra + 1, "見出し行の後ろに余分な値があります。");

    if (count <= kHeaderRow)
        return Fault(fault, kHeaderRow, 0, "見出しの値の行がありません。");
    const CsvRow& header = rows[kHeaderRow];
    if (!CheckHeaderValues(header, fault))
        return false;
    for (int i = 0; i < kHeaderFields; ++i)
        sheet.header[static_cast<size_t>(i)] = static_cast<size_t>(i) < header.size() ? header[i] : std::string();

    if (count <= kEmptyRow)
        return Fault(fault, kEmptyRow, 0, "空の行とロットの見出し行がありません。");
    if (const int extra = FirstFilled(rows[kEmptyRow], 0); extra >= 0)
        return Fault(fault, kEmptyRow, extra + 1, "この行は空の行です。");

    // Row 4: the lot column title and N1..Nn without gaps.
    if (count <= kTitleRow || Cell(rows[kTitleRow], 0) != kLotColumnTitle)
        return Fault(fault, kTitleRow, 0, std::string("ロットの見出し行 (") + kLotColumnTitle + ",N1,N2,…) がありません。");
    const CsvRow& titles = rows[kTitleRow];
    int n = 0;
    while (Cell(titles, static_cast<size_t>(n) + 1) == MeasurementTitle(n))
        ++n;
    if (n == 0)
        return Fault(fault, kTitleRow, 2, "測定値の列見出し N1 がありません。");
    if (const int extra = FirstFilled(titles, static_cast<size_t>(n) + 1); extra >= 0)
        return Fault(fault, kTitleRow, extra + 1,
                     "測定値の列見出しは N1 から番号順に続けて書きます: '" + std::string(Cell(titles, extra)) + "'");
    sheet.n = n;

    // The lots: a label and up to n values, each a number or empty.
    for (int r = kFirstLotRow; r < count; ++r) {
        const CsvRow& row = rows[static_cast<size_t>(r)];
        if (FirstFilled(row, 0) < 0)
            continue;
        if (const int extra = FirstFilled(row, static_cast<size_t>(n) + 1); extra >= 0)
            return Fault(fault, r, extra + 1,
                         "測定値の列 (N1〜N" + std::to_string(n) + ") の外に値があります: '" +
                             std::string(Cell(row, extra)) + "'");
        LayoutLot lot;
        lot.line = r + 1;
        lot.label = Cell(row, 0);
        lot.values.resize(static_cast<size_t>(n));
        for (int c = 1; c <= n; ++c) {
            const std::string_view v = Cell(row, static_cast<size_t>(c));
            double number = 0;
            if (!v.empty() && !TryStrToFloatQuick(v, number))
                return Fault(fault, r, c + 1, ConvertError(v).what());
            lot.values[static_cast<size_t>(c) - 1] = v;
        }
        sheet.lots.push_back(std::move(lot));
    }
    return true;
}

}  // namespace trevolo
