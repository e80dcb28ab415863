// Sequences of edits undone and redone in order: fields committed between
// cell edits, imports over computed limits, lot counts, computed limits, the
// labels of the steps and the point the sheet was saved at.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "document/undo_stack.h"
#include "document/workbook.h"
#include "exchange/csv_reader.h"

namespace trevolo {
namespace {

// Thirty lots of two values with one decimal, shown in sheet 1 of a
// two-sheet workbook whose histories it records.
struct Book {
    Workbook book;
    SheetSession session;
    Book()
    {
        book.setSheetCount(2, true, 10, 2);
        std::string csv =
            "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\n"
            "P,Q,M,外径,MM,公差規格,1,20,0\n\nﾛｯﾄ№,N1,N2\n";
        for (int i = 1; i <= 30; ++i)
            csv += "L" + std::to_string(i) + "," + std::to_string(8 + i % 5) + ",11\n";
        book.sheets[1] = SheetFromCsvBytes(csv);
        book.showSheet(1, session);
    }
    std::string value(int col, int row) const { return session.valueCells().text(col, row); }
    std::string undoLabel() const { return session.history()->undoLabel(); }
};

SheetRecord Imported()
{
    std::string csv =
        "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\n"
        "R,S,T,内径,MM,上限規格,2,5,\n\nﾛｯﾄ№,N1\n";
    for (int i = 1; i <= 12; ++i)
        csv += "K" + std::to_string(i) + ",1.5\n";
    return SheetFromCsvBytes(csv);
}

TEST(UndoSequences, StepsComeBackInTheOrderTheyWereMade)
{
    const struct {
        const char* name;
        std::function<void(Book&)> run;
    } cases[] = {
        {"fields committed between cell edits are steps of their own",
         [](Book& b) {
             SheetSession& s = b.session;
             s.setHeaderText(HeaderField::Upper, "25.0");
             s.commitPendingText();  // Tab
             s.edits().typeValue(0, 3, "12.5");
             s.setHeaderText(HeaderField::Lower, "1.0");  // still being typed
             EXPECT_EQ(s.history()->undoLabel(), "入力");
             EXPECT_EQ(s.undoLabel(), "規格下限");
             ASSERT_TRUE(s.canUndo());
             b.book.undo(s);
             EXPECT_EQ(s.header().lower, "0.0");
             EXPECT_EQ(s.header().upper, "25.0");
             EXPECT_EQ(b.value(0, 3), "12.5");
             b.book.undo(s);
             EXPECT_EQ(b.value(0, 3), "11.0");
             EXPECT_EQ(s.header().upper, "25.0");
             EXPECT_EQ(b.undoLabel(), "規格上限");
             b.book.undo(s);
             EXPECT_EQ(s.header().upper, "20.0");
             b.book.redo(s);
             b.book.redo(s);
             b.book.redo(s);
             EXPECT_EQ(s.header().upper, "25.0");
             EXPECT_EQ(b.value(0, 3), "12.5");
             EXPECT_EQ(s.header().lower, "1.0");
         }},
        {"a field being typed is its step before the next cell edit",
         [](Book& b) {
             SheetSession& s = b.session;
             s.setHeaderText(HeaderField::Product, "軸");
             s.setLineName(0, "UCL");
             s.edits().paste({0, 1, 0, 1}, "1\t2\n");
             EXPECT_EQ(b.undoLabel(), "貼り付け");
             b.book.undo(s);
             EXPECT_EQ(b.value(0, 1), "9.0");
             EXPECT_EQ(s.lineNames()[0], "UCL");
             EXPECT_EQ(b.undoLabel(), "項目名");
             b.book.undo(s);
             EXPECT_EQ(s.lineNames()[0], kThreeSigmaLineNames[0]);
             EXPECT_EQ(s.header().product, "軸");
             b.book.undo(s);
             EXPECT_EQ(s.header().product, "P");
             EXPECT_FALSE(s.canUndo());
         }},
        {"an import over computed limits comes back whole",
         [](Book& b) {
             SheetSession& s = b.session;
             s.setLimitMethod(LimitMethod::Coefficient);
             s.computeLimits(-1, true);
             ASSERT_FALSE(s.limit(LimitXcl).empty());
             s.edits().typeValue(1, 2, "10.5");
             const SheetView view = s.view();
             SheetRecord before = b.book.sheets[1];
             s.store(before);
             b.book.importSheet(1, Imported(), s);
             EXPECT_EQ(s.header().label, "内径");
             EXPECT_EQ(b.undoLabel(), "取込");
             EXPECT_TRUE(b.book.undo(s).changed & ChangedSheet);
             EXPECT_EQ(b.book.sheets[1], before);
             EXPECT_EQ(s.view(), view);
             EXPECT_EQ(s.header().label, "外径");
             EXPECT_EQ(b.value(1, 2), "10.5");
             b.book.redo(s);
             EXPECT_EQ(s.header().label, "内径");
             EXPECT_TRUE(s.limit(LimitXcl).empty());
         }},
        {"a lot count comes back with the rows it hid",
         [](Book& b) {
             SheetSession& s = b.session;
             s.edits().paste({0, 1, 0, 1}, std::string(29, '\n').insert(0, "7") + "3\t4");
             ASSERT_EQ(b.value(0, 30), "3");
             b.book.layOut(s, 10, 1, true);
             EXPECT_EQ(s.lots(), 10);
             EXPECT_EQ(b.undoLabel(), "ﾛｯﾄ数変更");
             // Shown afresh from the stored record in between.
             b.book.storeShown(s);
             b.book.showSheet(1, s);
             b.book.undo(s);
             EXPECT_EQ(s.lots(), 30);
             EXPECT_EQ(s.columns(), 2);
             EXPECT_EQ(b.value(0, 30), "3");
             EXPECT_EQ(b.value(1, 30), "4");
             EXPECT_EQ(s.lotCells().text(0, 30), "L30");
             b.book.undo(s);
             EXPECT_EQ(b.value(0, 30), "8.0");
             EXPECT_EQ(b.value(0, 1), "9.0");
         }},
        {"computed limits are undone and redone",
         [](Book& b) {
             SheetSession& s = b.session;
             s.setLimit(LimitXcl, "5.0");
             s.computeLimits(-1, true);
             const auto computed = s.limits();
             EXPECT_EQ(b.undoLabel(), "管理限界計算");
             b.book.undo(s);
             EXPECT_EQ(s.limit(LimitXcl), "5.0");
             EXPECT_EQ(s.limit(LimitUcl3), "");
             b.book.undo(s);
             EXPECT_EQ(s.limit(LimitXcl), "");
             b.book.redo(s);
             b.book.redo(s);
             EXPECT_EQ(s.limits(), computed);
         }},
        {"the labels of the cell commands",
         [](Book& b) {
             SheetEdits& e = b.session.edits();
             const std::pair<std::function<void()>, const char*> steps[] = {
                 {[&] { e.typeValue(0, 1, "1"); }, "入力"},
                 {[&] { e.clearCells({0, 1, 1, 2}); }, "削除"},
                 {[&] { e.toggleLots(2, 3); }, "ﾁｪｯｸ切替"},
                 {[&] { e.enableAllLots(); }, "全て有効"},
                 {[&] { e.renumberLots({"ﾛｯﾄ№", "A1"}); }, "ﾛｯﾄ№編集"},
                 {[&] { b.session.setSpecKind(SpecKind::LowerOnly); }, "規格種別"},
             };
             for (const auto& [edit, label] : steps) {
                 edit();
                 EXPECT_EQ(b.undoLabel(), label);
             }
         }},
        {"the saved point and the state callback",
         [](Book& b) {
             UndoStack& h = *b.session.history();
             int told = 0;
             b.session.setHistoryChanged([&] { ++told; });
             h.setClean();
             EXPECT_TRUE(h.isClean());
             b.session.edits().typeValue(0, 1, "1");
             b.session.edits().commitValue(0, 1);  // folded into the typing
             EXPECT_FALSE(h.isClean());
             b.book.undo(b.session);
             EXPECT_TRUE(h.isClean());
             b.book.redo(b.session);
             EXPECT_FALSE(h.isClean());
             h.setClean();
             b.book.undo(b.session);
             b.session.edits().typeValue(1, 1, "2");
             EXPECT_FALSE(h.isClean());
             b.book.undo(b.session);
             EXPECT_FALSE(h.isClean());  // the saved state is gone for good
             EXPECT_EQ(told, 7);
             b.session.setHeaderText(HeaderField::Product, "軸");  // a field begun
             EXPECT_EQ(told, 8);
             EXPECT_EQ(b.session.redoLabel(), "");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Book b;
        c.run(b);
    }
}

}  // namespace
}  // namespace trevolo
