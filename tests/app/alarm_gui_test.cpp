// The plant's alarms in the window, on PostgreSQL and on the embedded file:
// another station's lot starts an alarm that the bar counts within moments,
// its lots carry the alarm's mark while it waits, and the answer given
// through the dialog is what the store keeps; an inspector finds the cause
// and action lists closed to the role, with the reason.
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/alarm_controller.h"
#include "app/alarm_dialogs.h"
#include "app/plant_store_view.h"
#include "app_fixture.h"
#include "store/lot_ledger.h"
#include "store/plant_store.h"
#include "store/store_commands.h"
#include "store_test_support.h"

namespace trevolo::testing {
namespace {

const Characteristic kShaft{"シャフト", "旋削", "NC-3", "外径"};

// The words and marks of alarms: each rule's run lengths go where its
// caption leaves room, in order, and the spread chart is named as set.
TEST(AlarmWords, RuleTextsAndMarks)
{
    RuleOptions o = RuleOptions::Defaults();
    o.sameSideRun = 7;
    o.beyond2SigmaBlock = 4;
    o.beyond2SigmaHits = 3;
    struct Case {
        int rule, side;
        const char* spread;
        const char* mark;
        const char* text;
    };
    const Case cases[] = {
        {1, 0, "R", "X①", "X ①1点が管理限界線(3シグマ)を超えている"},
        {2, 1, "Rs", "Rs②", "Rs ②7点が中心値に対して同じ側にある"},
        {5, 0, "R", "X⑤", "X ⑤連続する4点中、3点が > 2シグマ"},
        {8, 1, "S", "S⑧", "S ⑧連続する8点が > 1シグマ"},
        {9, 0, "R", "X?", "X?"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AlarmMark(c.rule, c.side, c.spread), c.mark);
        EXPECT_EQ(AlarmRuleText(c.rule, c.side, c.spread, o), c.text);
    }
    EXPECT_EQ(AnswerCause("工具摩耗", "x"), "工具摩耗");
    EXPECT_EQ(AnswerCause(kOtherCause, " 刃先欠け "), "その他：刃先欠け");
    EXPECT_EQ(AnswerCause(kOtherCause, "  "), "");
}

class AlarmWindowTest : public MainFormTest, public ::testing::WithParamInterface<test::Engine> {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        // The embedded store and the outbox live in the user's data folder:
        // here, one of the test's own.
        dataHome_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    }
    void TearDown() override
    {
        MainFormTest::TearDown();
        if (dataHome_.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", dataHome_);
    }

    // A store of the engine, set up, that the window's settings name.
    StoreLocation prepare(test::Engine engine)
    {
        if (engine == test::Engine::Postgres) {
            const StoreLocation where = test::FreshStore(engine, dir);
            pointAt(where);
            return where;
        }
        const StoreLocation where = DefaultStoreLocation();
        std::string error;
        const auto store = PlantStore::open(where, error);
        EXPECT_TRUE(store && store->init()) << error;
        return where;
    }

    void pointAt(const StoreLocation& where)
    {
        settings->beginGroup(QStringLiteral("PlantStore"));
        settings->setValue(QStringLiteral("Host"), QString::fromStdString(where.host));
        settings->setValue(QStringLiteral("Port"), where.port);
        settings->setValue(QStringLiteral("Database"), QString::fromStdString(where.database));
        settings->setValue(QStringLiteral("User"), QString::fromStdString(where.user));
        settings->setValue(QStringLiteral("SslMode"), QStringLiteral("disable"));
        settings->endGroup();
    }

    QString barText()
    {
        auto* bar = Ctl<QPushButton>(form, "alarmBar");
        return bar->isVisible() ? bar->text() : QString();
    }
    bool barSays(int open, int ms = 3000)
    {
        const QString want = QStringLiteral("未対応のアラーム %1 件").arg(open);
        return QTest::qWaitFor([&] { return barText() == want; }, ms);
    }

    QByteArray dataHome_;
};

TEST_P(AlarmWindowTest, AnotherStationsAlarmIsShownMarkedAndAnswered)
{
    const StoreLocation where = prepare(GetParam());
    std::string error;
    const auto station = PlantStore::open(where, error);  // the other station
    ASSERT_TRUE(station) << error;
    ASSERT_TRUE(station->setReasonList({ReasonList::Kind::Cause, "", {"工具摩耗", "材料ロット"}, {}, 0}) &&
                station->setReasonList({ReasonList::Kind::Action, "", {"工具交換", "再測定"}, {}, 0}))
        << station->lastError();
    open();
    auto& view = *form->findChild<PlantStoreView*>(QStringLiteral("plantStore"));
    view.setOutboxPath(dir.filePath(QStringLiteral("outbox.sqlite")).toStdString());

    // This station publishes three lots in control with its limits: the
    // sheet is followed, each row naming the lot stored from it.
    SheetSession& s = form->session();
    s.setHeaderText(HeaderField::Product, kShaft.product);
    s.setHeaderText(HeaderField::Process, kShaft.process);
    s.setHeaderText(HeaderField::Machine, kShaft.machine);
    s.setHeaderText(HeaderField::Label, kShaft.item);
    s.edits().paste({0, 1, 0, 1}, "10.01\t9.99\n10.02\t10.00\n9.98\t10.01\n");
    s.typeLimits({"10.05", "10.03", "10.02", "9.95", "9.97", "9.98", "10.00", "0.02", "0.05"});
    view.publish(false);
    ASSERT_EQ(view.storedCharacteristic(), kShaft);
    std::vector<StoredLot> mine;
    ASSERT_TRUE(station->stationLots(kShaft, CurrentPublisher().station, mine));
    ASSERT_EQ(mine.size(), 3u);
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(view.storedLotId(row), mine[static_cast<size_t>(row - 1)].id);
        EXPECT_EQ(view.rowOfStoredLot(mine[static_cast<size_t>(row - 1)].id), row);
    }
    EXPECT_EQ(view.storedLotId(4), "");
    ASSERT_TRUE(barSays(0));

    // Another station's lot far above the limit starts an alarm: counted
    // within moments of its publishing.
    StoredLot high;
    high.id = NewLotId();
    high.label = "B1";
    high.values = "10.30,10.31";
    high.valueCount = 2;
    high.station = "station-2";
    high.operatorName = "inspector";
    high.publishedAt = StationNowMillis();
    high.orderKey = high.publishedAt * 1000;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(station->publish(LotBatch{kShaft, {}, {high}})) << station->lastError();
    ASSERT_TRUE(barSays(1));
    EXPECT_LT(clock.elapsed(), 1500);

    // Opened into the second sheet, the lot carries the alarm's mark.
    selectTab(1);
    ASSERT_TRUE(view.open(kShaft));
    const int row = view.rowOfStoredLot(high.id);
    ASSERT_GT(row, 0);
    EXPECT_EQ(s.lotCells().text(0, row), "B1");
    ASSERT_TRUE(barSays(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.storeOverlay().alarmMarks.size() >= static_cast<size_t>(row); }, 3000));
    EXPECT_EQ(s.storeOverlay().alarmMarks[static_cast<size_t>(row - 1)], std::vector<std::string>{"X①"});
    // Corrected by its station, the lot keeps its row and the mark.
    StoredLot fixed = high;
    fixed.id = NewLotId();
    fixed.supersedes = high.id;
    fixed.values = "10.29,10.31";
    ASSERT_TRUE(station->publish(LotBatch{kShaft, {}, {fixed}})) << station->lastError();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.rowOfStoredLot(fixed.id) == row; }, 3000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto& marks = s.storeOverlay().alarmMarks;
            return marks.size() >= static_cast<size_t>(row) &&
                   marks[static_cast<size_t>(row - 1)] == std::vector<std::string>{"X①"};
        },
        3000));

    // Answered through the list: a cause of its own under "その他", an
    // action from the list and a comment.
    Ctl<QPushButton>(form, "alarmBar")->click();
    auto* list = form->findChild<AlarmListDialog*>(QStringLiteral("dlgAlarms"));
    ASSERT_TRUE(list && list->isVisible());
    auto* alarms = list->findChild<QTreeWidget*>(QStringLiteral("lstAlarms"));
    ASSERT_EQ(alarms->topLevelItemCount(), 1);
    EXPECT_EQ(alarms->topLevelItem(0)->text(1), QStringLiteral("X ①1点が管理限界線(3シグマ)を超えている"));
    EXPECT_EQ(alarms->topLevelItem(0)->text(2), QStringLiteral("B1"));
    EXPECT_EQ(alarms->topLevelItem(0)->text(4), QStringLiteral("未対応"));
    alarms->setCurrentItem(alarms->topLevelItem(0));
    bool filled = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = list->findChild<AlarmAnswerDialog*>(QStringLiteral("dlgAlarmAnswer"));
        ASSERT_TRUE(dialog);
        auto* cause = dialog->findChild<QComboBox*>(QStringLiteral("cmbAlarmCause"));
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("btnAlarmAnswerOk"));
        EXPECT_EQ(cause->count(), 3);
        EXPECT_FALSE(ok->isEnabled());
        cause->setCurrentText(QStringLiteral("その他"));
        dialog->findChild<QComboBox*>(QStringLiteral("cmbAlarmAction"))->setCurrentText(QStringLiteral("工具交換"));
        EXPECT_FALSE(ok->isEnabled());  // "その他" wants its text
        dialog->findChild<QLineEdit*>(QStringLiteral("editAlarmCauseOther"))->setText(QStringLiteral("刃先欠け"));
        dialog->findChild<QLineEdit*>(QStringLiteral("editAlarmComment"))->setText(QStringLiteral("B1 再測定済み"));
        EXPECT_TRUE(ok->isEnabled());
        filled = true;
        ok->click();
    });
    list->findChild<QPushButton*>(QStringLiteral("btnAlarmAnswer"))->click();
    ASSERT_TRUE(filled);
    ASSERT_TRUE(barSays(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.storeOverlay().alarmMarks.empty(); }, 3000));
    EXPECT_TRUE(alarms->topLevelItem(0)->text(4).startsWith(QStringLiteral("その他：刃先欠け / 工具交換 / B1 再測定済み")));

    // The store keeps the answer with the server's word on who and when.
    std::int64_t id = 0;
    std::vector<Alarm> stored;
    ASSERT_TRUE(station->characteristicId(kShaft, id) && station->alarms(id, false, 0, stored));
    ASSERT_EQ(stored.size(), 1u);
    ASSERT_EQ(stored[0].answers.size(), 1u);
    const AlarmAnswer& a = stored[0].answers[0];
    EXPECT_EQ(a.cause, "その他：刃先欠け");
    EXPECT_EQ(a.action, "工具交換");
    EXPECT_EQ(a.comment, "B1 再測定済み");
    EXPECT_FALSE(a.answeredBy.empty());
    EXPECT_GT(a.answeredAt, high.publishedAt - 60000);

    // A later answer from the other station shows as the alarm's answer
    // within moments, the window's own under it in its history.
    clock.restart();
    ASSERT_TRUE(station->answerAlarm({0, stored[0].seq, "工具摩耗", "再測定", "", "station-2", 0})) << station->lastError();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return alarms->topLevelItem(0)->text(4).startsWith(QStringLiteral("工具摩耗 / 再測定（")); }, 3000));
    EXPECT_LT(clock.elapsed(), 1500);
    ASSERT_EQ(alarms->topLevelItem(0)->childCount(), 1);
    EXPECT_TRUE(alarms->topLevelItem(0)->child(0)->text(4).startsWith(QStringLiteral("その他：刃先欠け")));

    // The engineer gives the product a cause list of its own: the editor
    // starts from the plant's list, and only the changed list is stored.
    bool saved = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* d = form->findChild<ReasonListsDialog*>(QStringLiteral("dlgReasonLists"));
        if (saved || !d || !d->isVisible())
            return;
        EXPECT_EQ(d->product(), kShaft.product);
        EXPECT_EQ(d->causes(), (std::vector<std::string>{"工具摩耗", "材料ロット"}));
        d->findChild<QPlainTextEdit*>(QStringLiteral("editCauses"))->appendPlainText(QStringLiteral("刃先欠け"));
        saved = true;
        d->accept();
    });
    poll.start(20);
    Ctl<QAction>(form, "menuReasonLists")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return saved; }, 3000));
    ReasonList causes, actions, plantCauses, plantActions;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return station->reasonLists(kShaft.product, causes, actions) && causes.entries.size() == 3; }, 3000));
    EXPECT_EQ(causes.product, kShaft.product);
    EXPECT_EQ(actions.product, "");
    ASSERT_TRUE(station->reasonLists("", plantCauses, plantActions));
    EXPECT_EQ(plantCauses.entries.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Engines, AlarmWindowTest, ::testing::Values(test::Engine::Sqlite, test::Engine::Postgres),
                         test::EngineName);

// An inspector's window offers the lists' command disabled, saying why.
TEST_F(AlarmWindowTest, InspectorMayNotKeepTheLists)
{
    const StoreLocation admin = prepare(test::Engine::Postgres);
    StoreLocation where = admin;
    where.user = "alarm_inspector_" + std::to_string(getpid());
    ASSERT_EQ(test::Exec(admin, {"DROP ROLE IF EXISTS " + where.user,
                                 "CREATE ROLE " + where.user + " LOGIN IN ROLE trevolo_inspector"}),
              "");
    pointAt(where);
    std::string error, whyNot;
    const auto store = PlantStore::open(where, error);
    ASSERT_TRUE(store) << error;
    ASSERT_FALSE(store->mayEngineer(whyNot));
    ASSERT_FALSE(whyNot.empty());
    open();
    auto* lists = Ctl<QAction>(form, "menuReasonLists");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !lists->isEnabled(); }, 3000));
    EXPECT_EQ(lists->toolTip().toStdString(), whyNot);
    EXPECT_EQ(lists->statusTip().toStdString(), whyNot);
}

}  // namespace
}  // namespace trevolo::testing
