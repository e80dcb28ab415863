// The sheet's undo keys wherever a command leaves the focus, and the tab
// labels after commands that change a sheet's label.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTabBar>
#include <functional>

#include "app_fixture.h"
#include "exchange/csv.h"

using namespace trevolo;
using trevolo::testing::Ctl;
using trevolo::testing::MainFormTest;

namespace {

class UndoFocusTest : public MainFormTest {
protected:
    // Ctrl+Z (or Ctrl+Y) as the user presses it: to whatever has the focus.
    void historyKey(bool redo)
    {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, redo ? Qt::Key_Y : Qt::Key_Z, Qt::ControlModifier);
        QApplication::processEvents();
    }

    void importCsv()
    {
        const std::string text =
            "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
            "製品Ａ,組立工程,ＮＣ旋盤１,外径,mm,上限規格,2,25.05,\r\n"
            "\r\n"
            "ﾛｯﾄ№,N1,N2\r\n"
            "L1,25.01,24.99\r\n";
        const QString path = dir.filePath("import.csv");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const std::string bytes = Utf8ToCp932(text);
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        file.close();
        prompts.files.push_back(path);
        Ctl<QAction>(form, "mainMenuCsvImport")->trigger();
        // The busy frame took the activation; the window gets it back.
        QApplication::setActiveWindow(form.get());
        QApplication::processEvents();
    }
};

TEST_F(UndoFocusTest, UndoKeysWorkWhereverACommandLeftTheFocus)
{
    struct Case {
        const char* name;
        std::function<void()> command;
    };
    const Case cases[] = {
        {"sheet switched", [this] { selectTab(1); }},
        {"sheet switched back", [this] {
             selectTab(1);
             selectTab(0);
         }},
        {"reset", [this] {
             prompts.answers.push_back(true);
             Ctl<QPushButton>(form, "btnReset")->click();
         }},
        {"import undone", [this] {
             importCsv();
             Ctl<StringGrid>(form, "gridEdit")->setFocus();
             historyKey(false);
             EXPECT_EQ(cell(Ctl<StringGrid>(form, "gridEdit"), 0, 1), "");
         }},
        {"import redone", [this] {
             importCsv();
             Ctl<StringGrid>(form, "gridEdit")->setFocus();
             historyKey(false);
             historyKey(true);
             EXPECT_EQ(cell(Ctl<StringGrid>(form, "gridEdit"), 0, 1), "25.01");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open();
        auto* gridEdit = Ctl<StringGrid>(form, "gridEdit");
        gridEdit->setFocus();
        c.command();
        // A value typed after the command (the focus where it left it)...
        setCell(gridEdit, 1, 2, "7.5");
        ASSERT_EQ(cell(gridEdit, 1, 2), "7.5");
        // ...is taken back and brought again by the keys, with no click.
        historyKey(false);
        EXPECT_EQ(cell(gridEdit, 1, 2), "");
        historyKey(true);
        EXPECT_EQ(cell(gridEdit, 1, 2), "7.5");
        form.reset();
    }
}

TEST_F(UndoFocusTest, TabLabelsFollowEveryCommandThatChangesThem)
{
    struct Case {
        const char* name;
        int shownTab;
        std::function<void()> command;
        QStringList labels;
    };
    const Case cases[] = {
        {"reset on the second sheet", 1,
         [this] {
             prompts.answers.push_back(true);
             Ctl<QPushButton>(form, "btnReset")->click();
         },
         {"Sheet1", "Sheet2", "Sheet3"}},
        {"reset on the first sheet", 0,
         [this] {
             prompts.answers.push_back(true);
             Ctl<QPushButton>(form, "btnReset")->click();
         },
         {"Sheet1", "Sheet2", "Sheet3"}},
        {"reset declined", 1,
         [this] {
             prompts.answers.push_back(false);
             Ctl<QPushButton>(form, "btnReset")->click();
         },
         {"Sheet1", "外径", "Sheet3"}},
        {"sheet switched", 1, [this] { selectTab(2); }, {"Sheet1", "外径", "Sheet3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open();
        selectTab(c.shownTab);
        auto* label = Ctl<TEdit>(form, "editLabel");
        label->setFocus(Qt::OtherFocusReason);
        label->setText(QStringLiteral("外径"));
        leave(label);
        c.command();
        auto* tabCtrl = Ctl<QTabBar>(form, "tabCtrl");
        QStringList shown;
        for (int i = 0; i < tabCtrl->count(); ++i)
            shown << tabCtrl->tabText(i);
        EXPECT_EQ(shown.join(QLatin1Char(',')).toStdString(), c.labels.join(QLatin1Char(',')).toStdString());
        form.reset();
    }
}

}  // namespace
