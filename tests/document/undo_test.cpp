// The undo history of a sheet: every edit of the inspector's data comes
// back by undo and goes again by redo, and what may not be undone ends the
// history.
#include <gtest/gtest.h>

#include <functional>

#include "document/undo_stack.h"
#include "document/workbook.h"
#include "exchange/csv_reader.h"

namespace trevolo {
namespace {

// Ten lots of two values with one decimal, shown in a session of a
// three-sheet workbook whose histories it records.
struct Book {
    Workbook book;
    SheetSession session;
    Book()
    {
        book.setSheetCount(3, true, 10, 2);
        book.current = 1;
        std::string csv =
            "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\n"
            "P,Q,M,外径,MM,公差規格,1,20,0\n\nﾛｯﾄ№,N1,N2\n";
        for (int i = 1; i <= 10; ++i)
            csv += "L" + std::to_string(i) + ",9,11\n";
        book.sheets[1] = SheetFromCsvBytes(csv);
        session.show(book.sheets[1], ChartXbarR);
        session.setHistory(book.history(1));
    }
};

// Everything an undo may bring back: the stored record and the typed texts.
struct State {
    SheetRecord record;
    SheetTexts texts;
    std::string calcLabel;
    friend bool operator==(const State&, const State&) = default;
};

State StateOf(const SheetSession& s)
{
    State st;
    s.store(st.record);
    st.texts = s.texts();
    st.calcLabel = s.calcCells().text(0, 2);
    return st;
}

TEST(UndoHistory, EveryEditIsOneStepThatComesBackAndGoesAgain)
{
    using Edit = std::function<void(SheetSession&)>;
    const Edit none = [](SheetSession&) {};
    const struct {
        const char* name;
        Edit setup;  // before the history starts
        Edit edit;
    } cases[] = {
        {"a typed cell", none, [](SheetSession& s) { s.edits().typeValue(0, 3, "12.25"); }},
        {"a typed cell and its Enter", none,
         [](SheetSession& s) {
             s.edits().typeValue(1, 4, "7");
             s.edits().commitValue(1, 4);
         }},
        {"Enter emptying a text that is not a number", none,
         [](SheetSession& s) {
             s.edits().typeValue(0, 5, "x");
             s.edits().commitValue(0, 5);
         }},
        {"a paste", none,
         [](SheetSession& s) {
             s.edits().paste({0, 2, 0, 2}, "1\t2\n3\t4\n5\t6\n");
         }},
        {"a paste of empty and longer texts over typed ones",
         [](SheetSession& s) {
             s.edits().paste({0, 1, 0, 1}, "9\t8\n7\t6\n");
         },
         [](SheetSession& s) {
             s.edits().paste({0, 1, 0, 1}, "\t12.5\n-0.00125\t\n");
         }},
        {"a one-cell paste", none,
         [](SheetSession& s) {
             s.edits().paste({1, 7, 1, 7}, "3.5");
         }},
        {"a cleared block", none,
         [](SheetSession& s) {
             s.edits().clearCells({0, 1, 1, 10});
         }},
        {"lot switches", none, [](SheetSession& s) { s.edits().toggleLots(2, 5); }},
        {"every lot on", [](SheetSession& s) { s.edits().toggleLots(3, 4); }, [](SheetSession& s) { s.edits().enableAllLots(); }},
        {"new lot numbers", [](SheetSession& s) { JudgmentRunner(s).capability(); },
         [](SheetSession& s) {
             std::vector<std::string> numbers{"ﾛｯﾄ№"};
             for (int r = 1; r <= 10; ++r)
                 numbers.push_back("K" + std::to_string(r));
             s.edits().renumberLots(numbers);
         }},
        {"a header field", none, [](SheetSession& s) { s.setHeaderText(HeaderField::Product, "軸"); }},
        {"the specification kind", none,
         [](SheetSession& s) { s.setSpecKind(SpecKind::UpperOnly); }},
        {"a typed limit", none, [](SheetSession& s) { s.setLimit(LimitUcl3, "13.5"); }},
        {"a line name", none, [](SheetSession& s) { s.setLineName(0, "UCL"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Book b;
        SheetSession& s = b.session;
        c.setup(s);
        s.commitPendingText();
        s.history()->clear();
        const State before = StateOf(s);
        c.edit(s);
        const State after = StateOf(s);
        ASSERT_FALSE(after == before);
        // Texts typed last become their step when undo is asked for.
        ASSERT_TRUE(s.canUndo());
        s.undo();
        EXPECT_EQ(StateOf(s), before);
        EXPECT_FALSE(s.canUndo());
        ASSERT_TRUE(s.canRedo());
        s.redo();
        EXPECT_EQ(StateOf(s), after);
        EXPECT_FALSE(s.canRedo());
    }
}

TEST(UndoHistory, ImportsHistoriesPerSheetAndWhatEndsThem)
{
    Book b;
    SheetSession& s = b.session;
    // An import into the shown sheet: the record comes back whole, with
    // what was typed but not stored.
    s.edits().typeValue(0, 1, "5");
    SheetRecord shownBefore = b.book.sheets[1];
    s.store(shownBefore);
    SheetRecord imported = shownBefore;
    imported.product = "imported";
    b.book.replaceSheet(1, imported, &s);
    EXPECT_TRUE(b.book.undo(s).changed & ChangedSheet);
    EXPECT_EQ(b.book.sheets[1], shownBefore);
    EXPECT_TRUE(b.book.redo(s).changed & ChangedSheet);
    EXPECT_EQ(b.book.sheets[1], imported);
    b.book.undo(s);
    // Then the cell typed before the import.
    EXPECT_EQ(b.book.undo(s).changed, ChangedValues);
    EXPECT_EQ(s.valueCells().text(0, 1), "9.0");

    // Each sheet keeps its own history, and at least a hundred steps.
    for (int i = 0; i < 150; ++i)
        s.edits().typeValue(1, 1, std::to_string(i));
    EXPECT_EQ(b.book.history(1)->size(), UndoStack::kDepth);
    EXPECT_EQ(b.book.history(0)->size(), 0u);
    EXPECT_NE(b.book.history(0), b.book.history(1));

    // The three-sigma computation is a step, after what was typed before it.
    s.setHeaderText(HeaderField::Product, "typed");
    s.computeLimits(-1, true);
    EXPECT_TRUE(s.canUndo());
    EXPECT_FALSE(s.canRedo());
    // A new sheet count re-making every sheet empties every history.
    s.edits().typeValue(1, 1, "3");
    b.book.setSheetCount(2, true, 10, 2);
    EXPECT_EQ(b.book.history(1)->size(), 0u);
}

}  // namespace
}  // namespace trevolo
