// The workbook's commands: what each leaves in the records and the shown
// session, and what it tells the tab strip and the journal.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "document/workbook.h"

namespace trevolo {
namespace {

struct Told final : WorkbookListener {
    std::vector<std::tuple<unsigned, int, int>> calls;
    void workbookChanged(unsigned what, int first, int last) override { calls.emplace_back(what, first, last); }
};

struct Book {
    Workbook book;
    SheetSession session;
    Told told;
    Book()
    {
        book.settings.sheetCount = 3;
        book.settings.lots = 12;
        book.settings.n = 4;
        book.settings.limitMethod = 1;
        book.settings.cpkCheck = false;
        book.settings.cpCpk = "1.67";
        book.addListener(&told);
        book.reset(session);
        told.calls.clear();
    }
};

TEST(WorkbookCommands, ResetAndShowStartEverySheetFromTheSettings)
{
    Book b;
    EXPECT_EQ(b.book.count(), 3);
    EXPECT_EQ(b.book.current, 0);
    EXPECT_EQ(b.book.sheets[2].label, "Sheet3");
    EXPECT_EQ(b.session.lots(), 12);
    EXPECT_EQ(b.session.columns(), 4);
    // Typed limits: every line clear and named for typing.
    EXPECT_TRUE(b.session.limitsTyped());
    EXPECT_FALSE(b.session.lineAutomatic()[0]);
    EXPECT_EQ(b.session.lineNames()[0], "上限規格値");
    EXPECT_FALSE(b.session.threshold().on);
    EXPECT_EQ(b.session.threshold().text, "1.67");

    // What the shown sheet holds goes into its record only when stored;
    // showing another sheet then brings the settings' view back.
    b.session.setLimit(0, "9.5");
    b.session.setThresholdOn(true);
    b.session.setHeaderText(HeaderField::Label, "外径");
    b.book.storeShown(b.session);
    b.book.showSheet(1, b.session);
    EXPECT_EQ(b.book.sheets[0].label, "外径");
    EXPECT_EQ(b.session.limit(0), "");
    EXPECT_FALSE(b.session.threshold().on);
    EXPECT_EQ(b.session.history(), b.book.history(1));
    EXPECT_EQ(b.told.calls.back(), std::make_tuple(unsigned{BookLabels}, 0, 1));

    // A label left blank takes the record's back; a label typed goes into
    // the record only when the sheet is stored.
    b.session.setHeaderText(HeaderField::Label, " ");
    b.book.relabel(b.session);
    EXPECT_EQ(b.session.header().label, "Sheet2");
    b.session.setHeaderText(HeaderField::Label, "内径");
    b.book.relabel(b.session);
    EXPECT_EQ(b.book.sheets[1].label, "Sheet2");
    EXPECT_EQ(b.book.label(1, b.session), "内径");
}

TEST(WorkbookCommands, CountsAndWholeWorkbooksTellTheTabsAndTheJournal)
{
    Book b;
    b.book.showSheet(2, b.session);
    // The shown sheet cut away: no sheet is shown, nothing is recorded.
    b.book.resize(2, false, 10, 1, b.session);
    EXPECT_EQ(b.book.current, -1);
    EXPECT_EQ(b.session.history(), nullptr);
    EXPECT_EQ(b.told.calls.back(), std::make_tuple(unsigned{BookCount}, 2, -1));

    SheetArray read(4);
    read[1].label = "内径";
    read[1].hasLists = true;
    read[2].hasLists = true;
    b.book.replaceAll(read, 1, 20, 2, true, b.session);
    EXPECT_EQ(b.book.count(), 4);
    EXPECT_EQ(b.book.current, 1);
    EXPECT_EQ(b.session.header().label, "内径");
    EXPECT_EQ(b.book.sheets[2].label, "Sheet3");
    EXPECT_EQ(b.book.sheets[3].lots, 20);
    EXPECT_EQ(b.told.calls.back(), std::make_tuple(unsigned{BookRecords | BookLabels | BookCount}, 0, -1));

    // A sheet read in over another is one step its undo takes back.
    SheetRecord csv = b.book.sheets[3];
    csv.label = "CSV";
    b.book.importSheet(3, csv, b.session);
    EXPECT_EQ(b.book.current, 3);
    EXPECT_EQ(b.session.header().label, "CSV");
    EXPECT_TRUE(b.book.undo(b.session).changed & ChangedSheet);
    EXPECT_EQ(b.book.sheets[3].label, "Sheet4");
    EXPECT_EQ(b.told.calls.back(), std::make_tuple(unsigned{BookRecords | BookLabels}, 3, 4));
}

}  // namespace
}  // namespace trevolo
