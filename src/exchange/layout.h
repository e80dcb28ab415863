#pragma once
// The exchange layout of one sheet, shared by worksheets and CSV files:
//
//   row 1      A..I  the nine header labels
//   row 2      A..I  the nine header texts of the sheet
//   row 3            empty
//   row 4      A     "ﾛｯﾄ№", B onward the measurement titles N1, N2, ...
//   row 5 on   A     the label of each enabled lot, B onward its values
//
// Reading a worksheet into a sheet record and building the cells written for
// a sheet are pure functions here; the engine only moves the blocks.
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/cellvalue.h"
#include "model/comtype.h"

namespace trevolo {

inline constexpr int kHeaderFields = 9;
inline constexpr std::array<const char*, kHeaderFields> kHeaderLabels = {
    "品種名称", "工程名称", "装置名称", "項目名称", "測定単位", "規格種別", "小数点桁", "規格上限", "規格下限"};
inline constexpr const char* kLotColumnTitle = "ﾛｯﾄ№";

// What an import looks at: A2..I2, and from row 5 up to 1000 lots of the
// label column plus up to 100 value columns (A..CW).
inline constexpr int kImportLots = 1000;
inline constexpr int kImportColumns = 101;
inline constexpr const char* kHeaderFirst = "A2";
inline constexpr const char* kHeaderLast = "I2";
inline constexpr const char* kLabelsFirst = "A5";
inline constexpr const char* kLabelsLast = "A1004";
inline constexpr const char* kFirstLotFirst = "B5";
inline constexpr const char* kFirstLotLast = "CW5";
inline constexpr const char* kBodyFirst = "A5";
inline constexpr const char* kBodyLast = "CW1004";
// Where a table block is written.
inline constexpr const char* kBlockAnchor = "A4";

// The title of measurement column c (from 0): "N1" ...
std::string MeasurementTitle(int col);

// The nine header texts of a sheet in layout order (product .. lowerSpec).
std::array<std::string, kHeaderFields> HeaderTexts(const SheetRecord& sheet);

// The display format of a sheet's values: 0 with the decimals of the sheet followed by
// "_ " ("0.000_ " for 3, "0_ " for 0). Empty (general format) when decimals is
// not a number of decimals.
std::string DecimalsFormat(std::string_view decimals);

// The cells of row 2 as written: the limits (H2, I2) as numbers when they
// read as numbers, so the decimals format applies to them; the other texts
// as texts.
std::array<CellValue, kHeaderFields> HeaderRowValues(const SheetRecord& sheet);

// ---- reading ----

// The reads of one worksheet: the nine header cells and the three blocks
// A5:A1004, B5:CW5 and A5:CW1004. Blocks smaller than that count as empty
// where they end.
struct WorksheetReads {
    std::array<CellValue, kHeaderFields> header;
    CellBlock labels;    // A5:A1004
    CellBlock firstLot;  // B5:CW5
    CellBlock body;      // A5:CW1004
};

// The sheet record an imported worksheet gives:
// - the header texts from A2..I2 as text, not trimmed;
// - Row: the labels of A5:A1004 that are not blank;
// - Col: the cells of B5:CW5 that are not blank;
// - checkList: 1000 lines "1";
// - dataList: 1000 lines, one per row 5..1004, each cell of A..CW trimmed
//   and followed by ","; a cell holding a comma, a double quote or a
//   character of code 32 or less is quoted as comma text quotes it, so a
//   value or label never splits when the line is read back.
SheetRecord SheetFromWorksheet(const WorksheetReads& reads);

// One stored line of an imported row: every cell as a comma-text item
// followed by a comma.
std::string ImportedDataLine(const std::vector<std::string>& cells);

// ---- writing ----

// A range given a number format, by its two corners in A1 notation.
struct FormatArea {
    std::string first;
    std::string last;
    std::string format;
    friend bool operator==(const FormatArea&, const FormatArea&) = default;
};

// A table as written from A4: the cells in one block and the number formats
// given after it.
struct GridBlock {
    CellBlock cells;
    std::vector<FormatArea> formats;
    // The bottom-right corner of the block (absolute A1), empty for no cells.
    std::string lastCell() const;
};

// The measurement table as the window shows it. Row 0 is the title row, rows
// 1..lots the lots; label(0) is the lot column title and value(c, 0) the
// title of column c.
struct EditTableView {
    int lots = 0;
    int n = 0;
    std::function<std::string(int row)> label;
    std::function<bool(int row)> enabled;
    std::function<std::string(int col, int row)> value;
};

// Any other table (statistics or SPC marks): rows with the title row first.
struct TableView {
    int rows = 0;
    int cols = 0;
    std::function<std::string(int col, int row)> cell;
};

// The block of the measurement table: (1 + lots) rows by (1 + n) columns;
// the title row, then the label and values of every enabled lot, packed
// without gaps; the rows of disabled lots stay empty at the end so their
// cells are cleared. Values that read as numbers are written as numbers and
// get the decimals format from B5 to the last cell.
GridBlock BuildEditBlock(const EditTableView& table, std::string_view decimals);

// The block of the statistics table: every cell as shown; the numbers of the
// statistics and capability columns (N数 .. CPK) as numbers; C5:G<rows+3>
// formatted "0.00000_ " and H5:I<rows+3> "0.000_ ".
GridBlock BuildCalcBlock(const TableView& table);

// The block of the SPC table: every cell as shown, as text, no formats.
GridBlock BuildSpcBlock(const TableView& table);

}  // namespace trevolo
