#include "exchange/layout.h"

#include <algorithm>

#include "exchange/cellref.h"
#include "model/commatext.h"
#include "model/number.h"

namespace trevolo {

namespace {

bool IsBlankCell(const CellValue& v)
{
    if (const auto* s = std::get_if<std::string>(&v))
        return IsBlank(*s);
    return false;
}

}  // namespace

std::string MeasurementTitle(int col)
{
    return "N" + std::to_string(col + 1);
}

std::array<std::string, kHeaderFields> HeaderTexts(const SheetRecord& s)
{
    return {s.product, s.process, s.machine, s.label, s.unit, s.specKindText, s.decimals, s.upperSpec, s.lowerSpec};
}

std::string DecimalsFormat(std::string_view decimals)
{
    std::string zero;
    if (!FormatFixedText(0.0, decimals, zero))
        return {};
    return zero + "_ ";
}

std::array<CellValue, kHeaderFields> HeaderRowValues(const SheetRecord& sheet)
{
    auto texts = HeaderTexts(sheet);
    std::array<CellValue, kHeaderFields> row;
    for (int i = 0; i < kHeaderFields; ++i)
        row[i] = (i >= 7) ? NumberOrText(texts[i]) : CellValue(texts[i]);
    return row;
}

// ---- reading ----

std::string ImportedDataLine(const std::vector<std::string>& cells)
{
    std::string line;
    for (const std::string& c : cells) {
        CommaTextAppendItem(line, c);
        line += ',';
    }
    return line;
}

SheetRecord SheetFromWorksheet(const WorksheetReads& reads)
{
    SheetRecord s;
    std::array<std::string, kHeaderFields> h;
    for (int i = 0; i < kHeaderFields; ++i)
        h[i] = CellText(reads.header[i]);
    s.product = h[0];
    s.process = h[1];
    s.machine = h[2];
    s.label = h[3];
    s.unit = h[4];
    s.specKindText = h[5];
    s.decimals = h[6];
    s.upperSpec = h[7];
    s.lowerSpec = h[8];

    int lots = 0;
    for (int r = 0; r < kImportLots; ++r)
        if (!IsBlankCell(reads.labels.get(r, 0)))
            ++lots;
    int n = 0;
    for (int c = 0; c < kImportColumns - 1; ++c)
        if (!IsBlankCell(reads.firstLot.get(0, c)))
            ++n;
    s.lots = lots;
    s.n = n;

    s.hasLists = true;
    s.checkList.assign(kImportLots, "1");
    s.dataList.reserve(kImportLots);
    // The body is cut to the used area; the cells beyond it are empty and
    // give their commas alone.
    const CellBlock& body = reads.body;
    const int readCols = std::min(body.cols, kImportColumns);
    std::string line;
    for (int r = 0; r < kImportLots; ++r) {
        line.clear();
        const int cols = r < body.rows ? readCols : 0;
        for (int c = 0; c < cols; ++c) {
            const CellValue& v = body.at(r, c);
            if (const auto* t = std::get_if<std::string>(&v))
                CommaTextAppendItem(line, Trim(*t));
            else
                CommaTextAppendItem(line, GeneralNumberText(std::get<double>(v)));
            line += ',';
        }
        line.append(static_cast<size_t>(kImportColumns - cols), ',');
        s.dataList.push_back(line);
    }
    return s;
}

// ---- writing ----

std::string GridBlock::lastCell() const
{
    if (cells.rows <= 0 || cells.cols <= 0)
        return {};
    auto [row0, col0] = CellToRowCol(kBlockAnchor);
    return RowColToCell(row0 + cells.rows - 1, col0 + cells.cols - 1);
}

GridBlock BuildEditBlock(const EditTableView& t, std::string_view decimals)
{
    GridBlock g;
    const int rows = t.lots + 1;
    const int cols = t.n + 1;
    g.cells = CellBlock(rows, cols);
    int out = 0;
    for (int r = 0; r < rows; ++r) {
        if (r > 0 && !(t.enabled && t.enabled(r)))
            continue;
        g.cells.at(out, 0) = t.label ? t.label(r) : std::string();
        for (int c = 1; c < cols; ++c) {
            std::string v = t.value ? t.value(c - 1, r) : std::string();
            g.cells.at(out, c) = (r == 0) ? CellValue(std::move(v)) : NumberOrText(v);
        }
        ++out;
    }
    const std::string format = DecimalsFormat(decimals);
    const std::string last = g.lastCell();
    if (!format.empty() && rows > 1 && cols > 1)
        g.formats.push_back({"B5", last, format});
    return g;
}

GridBlock BuildCalcBlock(const TableView& t)
{
    GridBlock g;
    g.cells = CellBlock(t.rows, t.cols);
    for (int r = 0; r < t.rows; ++r) {
        for (int c = 0; c < t.cols; ++c) {
            std::string v = t.cell ? t.cell(c, r) : std::string();
            // Column 0 holds the lot labels and column 9 the verdict marks.
            const bool numeric = r > 0 && c >= 1 && c <= 8;
            g.cells.at(r, c) = numeric ? NumberOrText(v) : CellValue(std::move(v));
        }
    }
    if (t.rows > 1) {
        const std::string last = std::to_string(t.rows + 3);
        g.formats.push_back({"C5", "G" + last, FormatFixed(0.0, 5) + "_ "});
        g.formats.push_back({"H5", "I" + last, FormatFixed(0.0, 3) + "_ "});
    }
    return g;
}

GridBlock BuildSpcBlock(const TableView& t)
{
    GridBlock g;
    g.cells = CellBlock(t.rows, t.cols);
    for (int r = 0; r < t.rows; ++r)
        for (int c = 0; c < t.cols; ++c)
            g.cells.at(r, c) = t.cell ? t.cell(c, r) : std::string();
    return g;
}

}  // namespace trevolo
