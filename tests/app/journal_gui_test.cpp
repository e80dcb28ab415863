// The crash journal through the window: after an abnormal end the next start
// asks, Yes brings every sheet back as it was, No starts afresh and discards
// the journal, and a normal close leaves no journal behind.
#include <QDir>
#include <QTabBar>
#include <gtest/gtest.h>

#include "app/fields.h"
#include "app_fixture.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;

namespace trevolo::testing {
namespace {

class JournalWindowTest : public MainFormTest {
protected:
    QString folder() const { return dir.filePath(QStringLiteral("journal")); }
    QStringList journals() const
    {
        return QDir(folder()).entryList({QStringLiteral("*.journal")}, QDir::Files, QDir::Name);
    }

    // A window that edits three sheets of four and then ends without being
    // closed, as a crash or a kill ends it; returns the workbook it had.
    SheetArray editAndDie()
    {
        open();
        auto* gridEdit = Ctl<StringGrid>(form, "gridEdit");
        auto* gridCtrl = Ctl<TplStringGrid>(form, "gridCtrl");
        form->StartJournal(folder());
        Ctl<TSpinEdit>(form, "spinTab")->setValue(4);
        selectTab(1);
        setCell(gridEdit, 0, 1, "12.500");
        std::vector<std::string> labels;
        for (int r = 0; r < gridCtrl->RowCount(); ++r)
            labels.push_back(r == 2 ? "ロットA" : cell(gridCtrl, 0, r));
        form->session().edits().renumberLots(labels);
        gridCtrl->toggle(3);
        Ctl<TEdit>(form, "editProduct")->setText(QStringLiteral("軸"));
        selectTab(3);
        setCell(gridEdit, 2, 5, "-1.250");
        form->storeShownSheet();
        SheetArray sheets = form->workbook().sheets;
        form.reset();
        prompts.shown.clear();
        return sheets;
    }
};

TEST_F(JournalWindowTest, YesRestoresEverySheetTheCountAndTheShownSheet)
{
    const SheetArray before = editAndDie();
    ASSERT_EQ(journals().size(), 1u);
    const QString left = journals().front();

    prompts.answers = {true};
    open();
    form->StartJournal(folder());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Question);
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("警告メッセージ"));
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("前回は正常に終了しませんでした。作業内容を復元しますか？"));
    EXPECT_EQ(Ctl<QTabBar>(form, "tabCtrl")->count(), 4);
    EXPECT_EQ(form->selectedTab(), 3);
    EXPECT_EQ(Ctl<QTabBar>(form, "tabCtrl")->currentIndex(), 3);
    EXPECT_EQ(Ctl<TEdit>(form, "editProduct")->text(), QString());
    form->storeShownSheet();
    EXPECT_EQ(form->workbook().sheets, before);

    // The restored work is in this copy's journal now, and only there.
    ASSERT_EQ(journals().size(), 1u);
    EXPECT_NE(journals().front(), left);
    // A normal end deletes it.
    form->close();
    EXPECT_TRUE(journals().isEmpty());

    // Nothing is asked after a normal end.
    form.reset();
    prompts.shown.clear();
    open();
    form->StartJournal(folder());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(JournalWindowTest, NoStartsAfreshAndDiscardsTheJournal)
{
    editAndDie();
    const QString left = journals().front();

    prompts.answers = {false};
    open();
    form->StartJournal(folder());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Question);
    EXPECT_EQ(Ctl<QTabBar>(form, "tabCtrl")->count(), 3);
    EXPECT_EQ(form->selectedTab(), 0);
    EXPECT_FALSE(journals().contains(left));
    EXPECT_EQ(journals().size(), 1u);
}

TEST_F(JournalWindowTest, AnUnreadableJournalIsKeptAsideAndTheProgramStartsAfresh)
{
    QDir().mkpath(folder());
    QFile broken(QDir(folder()).filePath(QStringLiteral("trevolo-1-1.journal")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(4096, '\x01'));
    broken.close();

    open();
    form->StartJournal(folder());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Message);
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("警告メッセージ"));
    EXPECT_TRUE(prompts.shown[0].text.startsWith(QStringLiteral("前回の作業内容の記録を読み込めませんでした。")));
    const QStringList kept = QDir(folder()).entryList({QStringLiteral("trevolo-1-1.journal.broken-*")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(prompts.shown[0].text.contains(kept.front()));
    EXPECT_EQ(Ctl<QTabBar>(form, "tabCtrl")->count(), 3);
}

}  // namespace
}  // namespace trevolo::testing
