#include "model/sheetio.h"

#include <algorithm>
#include <limits>

#include "model/commatext.h"
#include "model/number.h"

namespace trevolo {

std::string DefaultLotLabel(int row)
{
    // "K%0.4d" without the cost of a formatted print per label.
    std::string s = std::to_string(row < 0 ? -row : row);
    if (s.size() < 4)
        s.insert(0, 4 - s.size(), '0');
    return (row < 0 ? "K-" : "K") + s;
}

const char* SpecKindText(int index) noexcept
{
    return (index >= 0 && index <= 2) ? kSpecKindTexts[index] : kSpecKindTexts[0];
}

int SpecKindIndex(std::string_view text) noexcept
{
    if (text == kSpecKindTexts[1])
        return 1;
    if (text == kSpecKindTexts[2])
        return 2;
    return 0;
}

void InitSheet(SheetRecord& sheet, int position1Based, const InitialValues& settings, int lots, int n)
{
    sheet.product.clear();
    sheet.process.clear();
    sheet.machine.clear();
    sheet.label = "Sheet" + std::to_string(position1Based);
    sheet.unit = settings.unit;
    sheet.specKindText = SpecKindText(settings.specKind);
    sheet.decimals = std::to_string(settings.decimals);
    sheet.upperSpec.clear();
    sheet.lowerSpec.clear();
    sheet.lots = lots;
    sheet.n = n;
    sheet.hasLists = true;
    sheet.checkList.clear();
    sheet.dataList.clear();
}

void StoreTablesToSheet(const CellStore& ctrl, const CellStore& edit, int lots, int n, SheetRecord& sheet)
{
    lots = std::clamp(lots, 0, std::min(ctrl.rows(), edit.rows()) - 1);
    n = std::clamp(n, 0, edit.columns());
    sheet.hasLists = true;
    sheet.checkList.assign(static_cast<size_t>(lots), std::string());
    sheet.dataList.assign(static_cast<size_t>(lots), std::string());
    for (int r = 1; r <= lots; ++r) {
        sheet.checkList[static_cast<size_t>(r - 1)] = ctrl.flag(1, r) ? "1" : "0";
        sheet.dataList[static_cast<size_t>(r - 1)] = StoredDataLine(ctrl, edit, r, n);
    }
}

std::string StoredDataLine(const CellStore& ctrl, const CellStore& edit, int r, int n)
{
    // The texts of a row are stored side by side: joined where they are.
    static const std::string empty;
    const std::string* row = n > 0 ? &edit.cell(0, r) : &empty;
    return DataLineJoin(ctrl.text(0, r), row, static_cast<size_t>(std::max(n, 0)));
}

namespace {

// LoadListsToTables, calling rowLoaded(r) once row r of the measurement
// table has its values.
template <typename RowLoaded>
void LoadRows(const SheetRecord& sheet, int n, CellStore& ctrl, CellStore& edit, CellStore& calc, CellStore& spc,
              RowLoaded&& rowLoaded)
{
    const int lastRow = ctrl.rows() - 1;
    int r = 1;
    for (const std::string& line : sheet.checkList) {
        if (r > lastRow)
            break;
        ctrl.setFlag(1, r++, line == "1");
    }

    n = std::clamp(n, 0, edit.columns());
    std::string scratch;
    r = 1;
    for (const std::string& line : sheet.dataList) {
        if (r > lastRow || r >= edit.rows())
            break;
        DataLineParts parts = DataLineSplit(line);
        ctrl.setText(0, r, parts.label);
        calc.setText(0, r, parts.label);
        spc.setText(0, r, parts.label);
        for (int c = 0; c < n; ++c)
            edit.cell(c, r).clear();
        CommaTextForEach(parts.values, scratch, [&](size_t i, std::string_view item) {
            if (i >= static_cast<size_t>(n))
                return false;
            edit.cell(static_cast<int>(i), r).assign(item);
            return true;
        });
        rowLoaded(r);
        ++r;
    }
}

// The normalisation of rows first .. last - 1; false at the first cell that
// is not a number, which `stop` then names. The numbers of the cells inside
// the range of values go there.
bool NormaliseRows(CellStore& edit, int decimals, int first, int last, NormaliseResult& stop,
                   NormalisedValues* values = nullptr)
{
    // Rows never written are empty: nothing to normalise there.
    last = std::min(last, edit.rowsInUse());
    for (int r = first; r < last; ++r) {
        double* rowValues = nullptr;
        int valueCols = 0;
        if (values && !values->values.empty() && r >= 1 && r <= values->lots) {
            rowValues = values->values.data() + static_cast<size_t>(r - 1) * static_cast<size_t>(values->cols);
            valueCols = values->cols;
        }
        for (int c = 0; c < edit.columns(); ++c) {
            std::string& t = edit.cell(c, r);
            if (t.empty())
                continue;
            if (IsBlank(t)) {
                t.clear();
                continue;
            }
            double v = 0;
            if (!NormaliseNumberText(t, decimals, &v)) {
                stop = {false, c, r};
                return false;
            }
            if (c < valueCols)
                rowValues[c] = v;
        }
    }
    return true;
}

}  // namespace

void LoadListsToTables(const SheetRecord& sheet, int n, CellStore& ctrl, CellStore& edit, CellStore& calc,
                       CellStore& spc)
{
    LoadRows(sheet, n, ctrl, edit, calc, spc, [](int) {});
}

NormaliseResult LoadAndNormalise(const SheetRecord& sheet, int n, CellStore& ctrl, CellStore& edit, CellStore& calc,
                                 CellStore& spc, int decimals, NormalisedValues* values)
{
    if (values) {
        values->lots = std::clamp(values->lots, 0, edit.rows() - 1);
        values->cols = std::clamp(values->cols, 0, edit.columns());
        values->values.assign(static_cast<size_t>(values->lots) * static_cast<size_t>(values->cols),
                              std::numeric_limits<double>::quiet_NaN());
    }
    // Each row is normalised as soon as it is loaded, while its texts are
    // still in the cache; loading a row touches no other row, so the result
    // is that of loading everything first and normalising afterwards.
    NormaliseResult result;
    int next = 1;
    LoadRows(sheet, n, ctrl, edit, calc, spc, [&](int r) {
        if (result.ok && NormaliseRows(edit, decimals, r, r + 1, result, values))
            next = r + 1;
    });
    if (!sheet.dataList.empty() && result.ok)
        NormaliseRows(edit, decimals, next, edit.rows(), result, values);
    if (values && (sheet.dataList.empty() || !result.ok))
        values->values.clear();
    return result;
}

bool NormaliseNumberText(std::string& text, int decimals, double* value)
{
    // A text is kept when it is exactly what "%.<decimals>f" prints for its
    // own value: the plain form with exactly `decimals` digits after the
    // point and no leading zero, at most 15 digits in all, so the value
    // survives the conversion both ways.
    double v = 0;
    int textDecimals = 0;
    if (TryPlainDecimal(text, v, textDecimals) && textDecimals == decimals) {
        const size_t first = text.front() == '-' ? 1 : 0;
        const bool leadingZero = text[first] == '0' && first + 1 < text.size() && text[first + 1] != '.';
        if (!leadingZero) {
            if (value)
                *value = v;
            return true;
        }
    }
    if (!TryStrToFloat(text, v))
        return false;
    text.clear();
    AppendFixed(text, v, decimals);
    // The value of the text as it now reads.
    if (value && !TryStrToFloatQuick(text, *value))
        *value = v;
    return true;
}

NormaliseResult NormaliseValues(CellStore& edit, int decimals)
{
    NormaliseResult result;
    NormaliseRows(edit, decimals, 1, edit.rows(), result);
    return result;
}

}  // namespace trevolo
