// The plant store through the window, against the private PostgreSQL server
// the tests start: a sheet published and opened into another tab with its
// limits, a lot of another station shown live, unchanged lots not sent
// again, and lots kept in the outbox while no server answers.
#include <QLabel>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

#include "app/plant_store_view.h"
#include "app_fixture.h"
#include "document/chart_data.h"
#include "store/plant_store.h"
#include "store/session_journal.h"
#include "store/store_commands.h"
#include "store_test_support.h"

namespace trevolo::testing {
namespace {

class PlantStoreWindowTest : public MainFormTest {
protected:
    // The window's store settings naming where.
    static void PointAt(QSettings& settings, const StoreLocation& where)
    {
        settings.beginGroup(QStringLiteral("PlantStore"));
        settings.setValue(QStringLiteral("Host"), QString::fromStdString(where.host));
        settings.setValue(QStringLiteral("Port"), where.port);
        settings.setValue(QStringLiteral("Database"), QString::fromStdString(where.database));
        settings.setValue(QStringLiteral("User"), QString::fromStdString(where.user));
        settings.setValue(QStringLiteral("SslMode"), QStringLiteral("disable"));
        settings.endGroup();
    }

    PlantStoreView& openOn(const StoreLocation& where)
    {
        PointAt(*settings, where);
        open();
        auto* view = form->findChild<PlantStoreView*>(QStringLiteral("plantStore"));
        view->setOutboxPath(dir.filePath(QStringLiteral("outbox.sqlite")).toStdString());
        return *view;
    }

    // The shown sheet as a shaft's outer diameter with three lots typed.
    void typeSheet()
    {
        SheetSession& s = form->session();
        s.setHeaderText(HeaderField::Product, "シャフト");
        s.setHeaderText(HeaderField::Process, "旋削");
        s.setHeaderText(HeaderField::Machine, "NC-3");
        s.setHeaderText(HeaderField::Label, "外径'); DROP lot;--");
        s.edits().paste({0, 1, 0, 1}, "10.01\t9.99\n10.02\t10.00\n9.98\t10.01\n");
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

    // A second station: a window of its own with its settings and outbox
    // in a folder of their own, on the same server.
    TMainForm& openStationB(const StoreLocation& where)
    {
        formB.reset();
        settingsB = std::make_unique<QSettings>(dirB.filePath("trevolo.conf"), QSettings::IniFormat);
        PointAt(*settingsB, where);
        formB = std::make_unique<TMainForm>(settingsB.get());
        formB->show();
        viewB()->setOutboxPath(dirB.filePath(QStringLiteral("outbox.sqlite")).toStdString());
        return *formB;
    }
    PlantStoreView* viewB() { return formB->findChild<PlantStoreView*>(QStringLiteral("plantStore")); }

    // Stored lot rows, and those of them still current.
    static std::pair<long long, long long> Rows(const StoreLocation& where)
    {
        std::string error;
        const auto store = PlantStore::open(where, error);
        QSqlQuery q(store->database());
        q.exec(QStringLiteral("SELECT COUNT(*), COUNT(*) - COUNT(supersedes) FROM lot"));
        return q.next() ? std::pair(q.value(0).toLongLong(), q.value(1).toLongLong()) : std::pair(-1LL, -1LL);
    }

    static long LinesDrawn(const SheetSession& s)
    {
        const ChartData d = BuildChartData(s);
        return std::count_if(d.x.lines.begin(), d.x.lines.end(), [](const LevelLine& l) { return l.shown; });
    }

    QTemporaryDir dirB;
    std::unique_ptr<QSettings> settingsB;
    std::unique_ptr<TMainForm> formB;
};

TEST_F(PlantStoreWindowTest, PublishOpenAndFollowLive)
{
    const StoreLocation where = test::FreshDatabase();
    std::string error;
    ASSERT_TRUE(PlantStore::open(where, error)->init()) << error;
    PlantStoreView& view = openOn(where);
    typeSheet();
    view.publish(false);
    EXPECT_EQ(lastMessage(), "工場データベースへ送信しました。\n新規 3 ロット、訂正 0 ロット、登録済み 0 ロット、未送信 0 ロット");
    EXPECT_EQ(prompts.shown.back().kind, ScriptedPrompts::Shown::Information);
    // Unchanged lots are not sent again.
    view.publish(false);
    EXPECT_EQ(lastMessage(), "工場データベースへ送信しました。\n新規 0 ロット、訂正 0 ロット、登録済み 3 ロット、未送信 0 ロット");

    // Opened into the second sheet: the lots, the label and the limits in
    // force, as typed limits.
    const Characteristic shaft{"シャフト", "旋削", "NC-3", "外径'); DROP lot;--"};
    selectTab(1);
    ASSERT_TRUE(view.open(shaft)) << lastMessage();
    const SheetSession& s = form->session();
    EXPECT_EQ(form->selectedTab(), 1);
    EXPECT_EQ(s.header().label, shaft.item);
    EXPECT_EQ(s.valueCells().text(1, 3), "10.010");
    EXPECT_TRUE(s.limitsTyped());
    EXPECT_EQ(s.limit(LimitUcl3), "10.05");
    EXPECT_EQ(view.liveSheet(), 1);

    // Another station publishes a lot: it shows within a second.
    SheetRecord other;
    other.product = shaft.product;
    other.process = shaft.process;
    other.machine = shaft.machine;
    other.label = shaft.item;
    other.decimals = "3";
    other.lots = 10;
    other.n = 2;
    other.hasLists = true;
    other.checkList = {"1"};
    other.dataList = {"B1,10.03,10.04"};
    PublishReport report;
    ASSERT_TRUE(PublishSheets({other}, {"other"}, where, dir.filePath("other.sqlite").toStdString(),
                              {"station-2", "inspector"}, report));
    ASSERT_TRUE(report.reached) << report.message;
    EXPECT_TRUE(QTest::qWaitFor([&] { return HasLot(s, "B1"); }, 1500));
    EXPECT_EQ(s.limit(LimitUcl3), "10.05");
    // A live update is no step of the history: undo takes the opening back
    // as a whole, and the sheet no longer follows the store.
    form->workbook().undo(form->session());
    form->showSheet(1);
    EXPECT_FALSE(HasLot(form->session(), "B1"));
    EXPECT_EQ(view.liveSheet(), -1);
}

// Two stations on one server: B opens what A published and sees the limits
// in force drawn; A's correction reaches B's charts without emptying them;
// B's undo after it publishes nothing; B's edit of an opened lot is a
// correction of that lot, also from a window started afresh with the sheet
// as the crash journal keeps it. The store's rows are counted after each step.
TEST_F(PlantStoreWindowTest, TwoStationsKeepEveryLotOnce)
{
    const StoreLocation where = test::FreshStore(test::Engine::Postgres, dir);
    PlantStoreView& a = openOn(where);
    typeSheet();
    SheetSession& s = form->session();
    s.setHeaderText(HeaderField::Unit, "mm");
    s.setHeaderText(HeaderField::Upper, "10.100");
    s.setHeaderText(HeaderField::Lower, "9.900");
    s.typeLimits({"10.05", "10.03", "10.02", "9.95", "9.97", "9.98", "10.00", "0.02", "0.05"});
    a.publish(false);
    EXPECT_EQ(Rows(where), std::make_pair(3LL, 3LL));

    const Characteristic shaft{"シャフト", "旋削", "NC-3", "外径'); DROP lot;--"};
    openStationB(where);
    ASSERT_TRUE(viewB()->open(shaft)) << lastMessage();
    SheetSession& b = formB->session();
    // The limits in force are typed, and every line is checked and drawn.
    EXPECT_TRUE(b.limitsTyped());
    EXPECT_EQ(b.limit(LimitUcl2), "10.03");
    EXPECT_TRUE(std::all_of(b.lineAutomatic().begin(), b.lineAutomatic().end(), [](bool on) { return on; }));
    EXPECT_EQ(LinesDrawn(b), 9);  // with the two specification lines
    ASSERT_TRUE(JudgmentRunner(b).spc(formB->workbook().options).spcJudged);
    ASSERT_EQ(BuildChartData(b).x.points.size(), 3u);

    // B edits lot 2; A corrects lot 1: one row more, still three current
    // lots, B's charts keep their points and lines and B's edit stays.
    b.edits().typeValue(2, 2, "10.07");
    form->session().edits().typeValue(1, 1, "10.03");
    a.publish(false);
    EXPECT_NE(lastMessage().find("新規 0 ロット、訂正 1 ロット、登録済み 2 ロット"), std::string::npos) << lastMessage();
    EXPECT_EQ(Rows(where), std::make_pair(4LL, 3LL));
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.valueCells().text(1, 1) == "10.030"; }, 3000));
    EXPECT_EQ(BuildChartData(b).x.points.size(), 3u);
    EXPECT_EQ(LinesDrawn(b), 9);  // with the two specification lines
    EXPECT_EQ(b.valueCells().text(2, 2), "10.070");

    // Undo after the live update takes back B's edit only; the typed limits
    // stay and publishing stores nothing.
    formB->workbook().undo(b);
    EXPECT_EQ(b.valueCells().text(1, 1), "10.030");
    EXPECT_EQ(b.valueCells().text(2, 2), "");  // as A published it: two values a lot
    EXPECT_EQ(b.limit(LimitUcl3), "10.05");
    viewB()->publish(false);
    EXPECT_EQ(Rows(where), std::make_pair(4LL, 3LL));

    // B corrects lot 2 after a restart of its window: a correction of it.
    formB->storeShownSheet();
    const SheetRecord kept = DecodeSheet(EncodeSheet(formB->workbook().sheets[0])).value();
    openStationB(where);
    formB->workbook().importSheet(0, kept, formB->session());
    formB->session().edits().typeValue(2, 2, "10.07");
    viewB()->publish(false);
    EXPECT_NE(lastMessage().find("新規 0 ロット、訂正 1 ロット"), std::string::npos) << lastMessage();
    EXPECT_EQ(Rows(where), std::make_pair(5LL, 3LL));
}

// A change of the lot count keeps the lots' labels and so publishes no
// copies; a server that cannot be reached is named with the cause in
// Japanese and the driver's words apart; quitting tells how many lots wait.
TEST_F(PlantStoreWindowTest, KeepsLabelsAndTellsWhy)
{
    const StoreLocation where = test::FreshStore(test::Engine::Postgres, dir);
    PlantStoreView* view = &openOn(where);
    std::string error;

    const Characteristic shaft{"シャフト", "旋削", "NC-3", "外径"};
    SheetRecord imported = form->workbook().sheets[0];
    imported.product = shaft.product, imported.process = shaft.process, imported.machine = shaft.machine;
    imported.label = shaft.item, imported.lots = 25, imported.dataList.clear(), imported.checkList.clear();
    for (int r = 1; r <= 25; ++r)
        imported.dataList.push_back("261104-" + std::to_string(r) + ",10.0" + std::to_string(r % 10));
    form->workbook().importSheet(0, imported, form->session());
    view->publish(false);
    Ctl<TSpinEdit>(form, "spinRow")->setText("26");
    EXPECT_EQ(cell(Ctl<TplStringGrid>(form, "gridCtrl"), 0, 25), "261104-25");
    EXPECT_EQ(cell(Ctl<TplStringGrid>(form, "gridCtrl"), 0, 26), "K0026");
    view->publish(false);
    LotHistory h;
    ASSERT_TRUE(PlantStore::open(where, error)->allLots(shaft, h)) << error;
    EXPECT_EQ(h.lots.size(), 25u);

    // No server answers; a new outbox (a ledger of its own) keeps the
    // station's forwarder from the server above, and all 25 lots wait.
    StoreLocation closed = where;
    closed.port = 1;
    PointAt(*settings, closed);
    view->setOutboxPath(dir.filePath(QStringLiteral("outbox2.sqlite")).toStdString());
    form->session().edits().paste({0, 1, 0, 1}, "9.99\n9.98\n");
    view->publish(false);
    const ScriptedPrompts::Shown box = prompts.shown.back();
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("データベースサーバ %1:1 (データベース %2) に接続できません。接続を拒否されました。")
                                        .arg(QString::fromStdString(where.host), QString::fromStdString(where.database))))
        << box.text.toStdString();
    EXPECT_FALSE(box.text.contains(QLatin1String("refused"), Qt::CaseInsensitive)) << box.text.toStdString();
    EXPECT_TRUE(box.details.contains(QLatin1String("Connection refused"))) << box.details.toStdString();

    form->close();
    EXPECT_EQ(prompts.shown.back().text.toStdString(),
              "工場データベースへ未送信の 25 ロットがあります。\n次回の起動時に送信されます。");
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
