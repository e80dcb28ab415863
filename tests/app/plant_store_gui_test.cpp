// The plant store through the window, against the private PostgreSQL server
// the tests start: a sheet published and opened into another tab with its
// limits, a lot of another station shown live, unchanged lots not sent
// again, and lots kept in the outbox while no server answers.
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

#include "app/plant_store_view.h"
#include "app_fixture.h"
#include "store/plant_store.h"
#include "store/store_commands.h"
#include "store_test_support.h"

namespace trevolo::testing {
namespace {

class PlantStoreWindowTest : public MainFormTest {
protected:
    PlantStoreView& openOn(const StoreLocation& where)
    {
        settings->beginGroup(QStringLiteral("PlantStore"));
        settings->setValue(QStringLiteral("Host"), QString::fromStdString(where.host));
        settings->setValue(QStringLiteral("Port"), where.port);
        settings->setValue(QStringLiteral("Database"), QString::fromStdString(where.database));
        settings->setValue(QStringLiteral("User"), QString::fromStdString(where.user));
        settings->setValue(QStringLiteral("SslMode"), QStringLiteral("disable"));
        settings->endGroup();
        open();
        auto* view = form->findChild<PlantStoreView*>(QStringLiteral("plantStore"));
        view->setOutboxPath(dir.filePath(QStringLiteral("outbox.sqlite")).toStdString());
        return *view;
    }

    // The shown sheet as a shaft's outer diameter with three lots typed.
    void typeSheet()
    {
        SheetSession& s = form->session();
        s.setField(s.header.product, "シャフト", ChangedHeader);
        s.setField(s.header.process, "旋削", ChangedHeader);
        s.setField(s.header.mbc, "NC-3", ChangedHeader);
        s.setField(s.header.label, "外径'); DROP lot;--", ChangedHeader);
        s.paste({0, 1, 0, 1}, "10.01\t9.99\n10.02\t10.00\n9.98\t10.01\n");
        s.typeLimits({"10.05", "", "", "9.95", "", "", "10.00"});
    }

    static bool HasLot(const SheetSession& s, const std::string& label)
    {
        for (int r = 1; r <= s.lots(); ++r)
            if (s.lotCells().text(0, r) == label)
                return true;
        return false;
    }

    std::string lastMessage() const { return prompts.shown.empty() ? "" : prompts.shown.back().text.toStdString(); }
};

TEST_F(PlantStoreWindowTest, PublishOpenAndFollowLive)
{
    const StoreLocation where = test::FreshDatabase();
    std::string error;
    ASSERT_TRUE(PlantStore::open(where, error)->init()) << error;
    PlantStoreView& view = openOn(where);
    typeSheet();
    view.publish(false);
    EXPECT_EQ(lastMessage(), "3 ロットを工場データベースへ送信しました。");
    // Unchanged lots are not sent again.
    view.publish(false);
    EXPECT_EQ(lastMessage(), "0 ロットを工場データベースへ送信しました。");

    // Opened into the second sheet: the lots, the label and the limits in
    // force, as typed limits.
    const Characteristic shaft{"シャフト", "旋削", "NC-3", "外径'); DROP lot;--"};
    selectTab(1);
    ASSERT_TRUE(view.open(shaft)) << lastMessage();
    const SheetSession& s = form->session();
    EXPECT_EQ(form->selectedTab(), 1);
    EXPECT_EQ(s.header.label, shaft.item);
    EXPECT_EQ(s.valueCells().text(1, 3), "10.010");
    EXPECT_TRUE(s.limitsTyped());
    EXPECT_EQ(s.limits[LimitUcl3], "10.05");
    EXPECT_EQ(view.liveSheet(), 1);

    // Another station publishes a lot: it shows within a second.
    Struct_Sheet other;
    other.Product = shaft.product;
    other.Process = shaft.process;
    other.Mbc = shaft.machine;
    other.Label = shaft.item;
    other.Keta = "3";
    other.Row = 10;
    other.Col = 2;
    other.HasLists = true;
    other.CheckList = {"1"};
    other.DataList = {"B1,10.03,10.04"};
    PublishReport report;
    ASSERT_TRUE(PublishSheets({other}, {"other"}, where, dir.filePath("other.sqlite").toStdString(),
                              {"station-2", "inspector"}, report));
    ASSERT_TRUE(report.reached) << report.message;
    EXPECT_TRUE(QTest::qWaitFor([&] { return HasLot(s, "B1"); }, 1500));
    EXPECT_EQ(s.limits[LimitUcl3], "10.05");
    // Undo takes the live update back.
    form->workbook().undo(form->session());
    form->showSheet(1);
    EXPECT_FALSE(HasLot(form->session(), "B1"));
}

TEST_F(PlantStoreWindowTest, LotsWaitInTheOutboxWhileNoServerAnswers)
{
    StoreLocation nowhere;
    nowhere.engine = StoreEngine::Postgres;
    nowhere.host = "127.0.0.1";
    nowhere.port = 1;
    nowhere.database = "trevolo";
    nowhere.user = "nobody";
    openOn(nowhere).publish(false);
    // An empty sheet has nothing to send; typed lots wait.
    typeSheet();
    form->findChild<PlantStoreView*>()->publish(false);
    EXPECT_NE(lastMessage().find("未送信 3 ロット"), std::string::npos) << lastMessage();
    auto* pending = Ctl<QLabel>(form, "lblPending");
    EXPECT_EQ(pending->text(), "未送信 3 ロット");
    EXPECT_TRUE(form->statusBar()->isVisible());
}

}  // namespace
}  // namespace trevolo::testing
