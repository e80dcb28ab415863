// The values and lines the session keeps between commands never outlive a
// change of their tables, whichever way the cells are written.
#include <gtest/gtest.h>

#include <functional>

#include "document/kept_values.h"
#include "model/sheetio.h"

namespace trevolo {
namespace {

TEST(KeptValues, EveryWayOfWritingACellIsSeen)
{
    const struct {
        const char* name;
        std::function<void(CellStore& ctrl, CellStore& edit)> write;
    } cases[] = {
        {"setText", [](CellStore&, CellStore& e) { e.setText(1, 2, "7.5"); }},
        {"cell", [](CellStore&, CellStore& e) { e.cell(0, 1) = "x"; }},
        {"clearRow", [](CellStore&, CellStore& e) { e.clearRow(3); }},
        {"assignment",
         [](CellStore&, CellStore& e) {
             CellStore other(e);
             other.cell(2, 3) = "9.25";
             e = other;
         }},
        {"label", [](CellStore& c, CellStore&) { c.setText(0, 2, "L9"); }},
        {"switch", [](CellStore& c, CellStore&) { c.setFlag(1, 1, false); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CellStore ctrl(2), edit(3);
        for (int r = 1; r <= 3; ++r) {
            ctrl.setText(0, r, "L" + std::to_string(r));
            ctrl.setFlag(1, r, true);
            for (int col = 0; col < 3; ++col)
                edit.setText(col, r, std::to_string(r + col) + ".0");
        }
        KeptValues values(ctrl, edit);
        KeptLines lines(ctrl, edit);
        SheetRecord kept;
        values.refresh(3, 3);
        lines.store(3, 3, kept);
        c.write(ctrl, edit);
        values.refresh(3, 3);
        lines.store(3, 3, kept);

        const ParsedLots fresh(GridLots(ctrl, edit, 3, 3));
        for (int lot = 0; lot < 3; ++lot) {
            EXPECT_EQ(values.filledCount(lot), fresh.filledCount(lot));
            for (int col = 0; col < 3; ++col) {
                double a = -1, b = -1;
                EXPECT_EQ(values.number(lot, col, a), fresh.number(lot, col, b));
                EXPECT_EQ(a, b);
            }
        }
        SheetRecord stored;
        StoreTablesToSheet(ctrl, edit, 3, 3, stored);
        EXPECT_EQ(kept.dataList, stored.dataList);
        EXPECT_EQ(kept.checkList, stored.checkList);
    }
}

}  // namespace
}  // namespace trevolo
