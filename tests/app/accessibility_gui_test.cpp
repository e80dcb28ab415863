// What assistive technology reads from the window's tables: the switches of
// the lot table as checkable cells that follow every toggle, and a change of
// many values as one change of their range.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <functional>
#include <utility>

#include "app_fixture.h"

namespace trevolo::testing {
namespace {

QAccessibleInterface* Cell(QAbstractItemView* grid, int col, int row)
{
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    return table && table->tableInterface() ? table->tableInterface()->cellAt(row - 1, col) : nullptr;
}

TEST_F(MainFormTest, SwitchCellsReportCheckedAndFollowEachToggle)
{
    TMainForm& f = open();
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    const auto click = [&](int row) {
        const QRect r = gridCtrl->visualRect(gridCtrl->gridModel()->index(row - 1, 1));
        QTest::mouseClick(gridCtrl->viewport(), Qt::LeftButton, {}, r.center());
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        int row;
        bool checked;
    };
    const Step steps[] = {
        {"a new sheet has every lot on", [] {}, 2, true},
        {"a click turns a lot off once", [&] { click(2); }, 2, false},
        {"a second click turns it on again", [&] { click(2); }, 2, true},
        {"Space over the current switch turns it off",
         [&] {
             gridCtrl->setFocus(Qt::OtherFocusReason);
             gridCtrl->setCurrent({1, 3});
             press(gridCtrl, Qt::Key_Space);
         },
         3, false},
        {"undo turns it on again", [&] { Ctl<QAction>(f, "popMenuUndo")->trigger(); }, 3, true},
        {"redo turns it off again", [&] { Ctl<QAction>(f, "popMenuRedo")->trigger(); }, 3, false},
        {"the other lots stay on", [] {}, 4, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        QApplication::processEvents();
        EXPECT_EQ(gridCtrl->flag(s.row), s.checked);
        QAccessibleInterface* cell = Cell(gridCtrl, 1, s.row);
        ASSERT_NE(cell, nullptr);
        EXPECT_TRUE(cell->state().checkable);
        EXPECT_EQ(bool(cell->state().checked), s.checked);
    }
    // The lot numbers are no switches.
    EXPECT_FALSE(Cell(gridCtrl, 0, 2)->state().checkable);
}

// Paste, undo and redo of a block, then every value cleared: each reaches
// the table as one change of a range holding the block.
TEST_F(MainFormTest, ABlockOfValuesReachesTheTableAsOneChange)
{
    TMainForm& f = open();
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    gridEdit->setFocus(Qt::OtherFocusReason);
    gridEdit->setCurrent({0, 1});
    QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\t3\r\n4\t5\t6\r\n7\t8\t9\r\n"));
    QSignalSpy changes(gridEdit->gridModel(), &QAbstractItemModel::dataChanged);
    const std::pair<const char*, int> steps[] = {
        {"popMenuPaste", 1}, {"popMenuUndo", 1}, {"popMenuRedo", 1}, {"popMenuAllSelect", 0}, {"popMenuDelete", 1}};
    for (const auto& [action, count] : steps) {
        SCOPED_TRACE(action);
        changes.clear();
        Ctl<QAction>(f, action)->trigger();
        ASSERT_EQ(changes.count(), count);
        if (count == 0)
            continue;
        const auto top = changes[0][0].value<QModelIndex>();
        const auto bottom = changes[0][1].value<QModelIndex>();
        EXPECT_EQ(top.row() + top.column(), 0);
        EXPECT_GE(std::min(bottom.row(), bottom.column()), 2);
    }
}

}  // namespace
}  // namespace trevolo::testing
