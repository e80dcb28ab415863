// The store's lots in the window, on the test server's PostgreSQL and on an SQLite file: notes, limit revisions
// and the plant's alarms, the lists closed to an inspector; the store's worker, and a server that does not answer.
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScatterSeries>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

#include "app/alarm_controller.h"
#include "app/alarm_dialogs.h"
#include "app/limit_revision.h"
#include "app/notes_controller.h"
#include "app/plant_store_view.h"
#include "app/store_worker.h"
#include "app_fixture.h"
#include "document/judgment_chain.h"
#include "store/lot_ledger.h"
#include "store/plant_store.h"
#include "store/store_commands.h"
#include "store_test_support.h"

namespace trevolo::testing {
namespace {

const Characteristic kShaft{"シャフト", "旋削", "NC-3", "外径"};

void PointAt(QSettings& settings, const StoreLocation& where)
{
    const std::pair<const char*, QVariant> keys[] = {{"Host", QString::fromStdString(where.host)},
                                                     {"Port", where.port},
                                                     {"Database", QString::fromStdString(where.database)},
                                                     {"User", QString::fromStdString(where.user)},
                                                     {"SslMode", QStringLiteral("disable")}};
    for (const auto& [key, value] : keys)
        settings.setValue(QStringLiteral("PlantStore/") + QLatin1String(key), value);
}

// Runs once the next modal dialog or popup of type W is open. Polled from whichever event loop runs: a dialog that
// waits for the store opens only after the store has answered.
template <class W>
void WhenShown(std::function<void(W*)> act)
{
    auto* poll = new QTimer;
    QDeadlineTimer deadline(3000);
    QObject::connect(poll, &QTimer::timeout, [poll, act, deadline] {
        QWidget* top = QApplication::activePopupWidget();
        W* w = qobject_cast<W*>(top ? top : QApplication::activeModalWidget());
        if (!w && !deadline.hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        ASSERT_NE(w, nullptr);
        act(w);
    });
    poll->start(5);
}

class NotesWindowTest : public MainFormTest, public ::testing::WithParamInterface<test::Engine> {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        // The embedded store and the outbox live in the user's data folder: the test's own.
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
        where = GetParam() == test::Engine::Sqlite ? DefaultStoreLocation() : test::FreshStore(GetParam(), dir);
        std::string error;
        ASSERT_TRUE(PlantStore::open(where, error)->init()) << error;
    }
    void TearDown() override
    {
        MainFormTest::TearDown();
        dataHome_.isEmpty() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", dataHome_);
    }

    // The window on the store, as the given login on PostgreSQL.
    PlantStoreView& openOn(const std::string& user)
    {
        StoreLocation as = where;
        as.user = user.empty() ? where.user : user;
        if (where.engine == StoreEngine::Postgres)
            PointAt(*settings, as);
        open();
        view().setOutboxPath(dir.filePath(QStringLiteral("outbox.sqlite")).toStdString());
        return view();
    }

    PlantStoreView& view() { return *form->findChild<PlantStoreView*>(QStringLiteral("plantStore")); }

    // The shaft's three lots in control typed with their limits, under the header fields given in their order.
    SheetSession& typeShaft(const std::vector<std::string>& header)
    {
        SheetSession& s = form->session();
        for (size_t f = 0; f < header.size(); ++f)
            s.setHeaderText(static_cast<HeaderField>(f), header[f]);
        s.edits().paste({0, 1, 0, 1}, "10.01\t9.99\n10.02\t10.00\n9.98\t10.01\n");
        s.typeLimits({"10.05", "10.03", "10.02", "9.95", "9.97", "9.98", "10.00", "0.02", "0.05"});
        return s;
    }

    // The shaft's lots with a unit, decimals and the item's limits, published and judged.
    void publishShaft()
    {
        SheetSession& s =
            typeShaft({kShaft.product, kShaft.process, kShaft.machine, kShaft.item, "mm", "3", "10.100", "9.900"});
        for (int line = 0; line < kVisibleLimitLines; ++line)
            s.setLineAutomatic(line, true);
        view().publish(false);
        judge();
    }

    // The SPC judgment (with the statistics the charts draw), limits kept.
    void judge()
    {
        EXPECT_TRUE(JudgmentRunner(form->session()).spc(form->workbook().options).spcJudged);
        form->setCurrentPage(3);
        QApplication::processEvents();
    }

    ChartPage& charts() { return *form->findChild<ChartPage*>(); }

    // The X chart's points drawn as "メモ" (flags) or "異常" (marked).
    QScatterSeries* drawn(const char* name)
    {
        for (QAbstractSeries* s : charts().view(ChartPage::XChart)->chart()->series())
            if (s->name() == QString::fromUtf8(name))
                return qobject_cast<QScatterSeries*>(s);
        return nullptr;
    }

    // Right-clicks a view's viewport; act sees the menu that opens.
    static void rightClick(QAbstractScrollArea* area, QPoint at, std::function<void(QMenu*)> act)
    {
        WhenShown<QMenu>([act](QMenu* m) {
            act(m);
            m->close();
        });
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, area->viewport()->mapToGlobal(at));
        QApplication::sendEvent(area->viewport(), &e);
        QApplication::processEvents();
    }

    // Whether the alarm bar comes to count this many open alarms.
    bool barSays(int open)
    {
        auto* bar = Ctl<QPushButton>(form, "alarmBar");
        const QString want = QStringLiteral("未対応のアラーム %1 件").arg(open);
        return QTest::qWaitFor([&] { return (bar->isVisible() ? bar->text() : QString()) == want; }, 3000);
    }

    static QAction* item(QMenu* m, const char* name) { return m->findChild<QAction*>(QLatin1String(name)); }

    StoreLocation where;
    const QByteArray dataHome_ = qgetenv("XDG_DATA_HOME");
};

TEST_P(NotesWindowTest, NoteFromTheXChartIsStoredFlaggedAndTold)
{
    openOn({});
    publishShaft();
    ASSERT_EQ(charts().data().x.points.size(), 3u);
    EXPECT_EQ(drawn("メモ")->count(), 0);

    // The X chart's point of lot 2, right-clicked: "メモを追加", typed, OK.
    QChartView* xView = charts().view(ChartPage::XChart);
    // A copy: the page makes its chart data again as the events are handled.
    const ChartPoint second = charts().data().x.points[1];
    QAbstractSeries* path = xView->chart()->series().front();
    const QPointF place = xView->chart()->mapToPosition({double(second.calcRow), second.value}, path);
    const QPoint at = xView->mapFromScene(xView->chart()->mapToScene(place));
    rightClick(xView, at, [](QMenu* m) {
        QAction* add = item(m, "popMenuAddNote");
        ASSERT_NE(add, nullptr);
        EXPECT_TRUE(add->isEnabled());
        WhenShown<QDialog>([](QDialog* d) {
            d->findChild<QPlainTextEdit*>(QStringLiteral("memoNote"))->setPlainText(QStringLiteral("工具交換"));
            d->findChild<QPushButton*>(QStringLiteral("btnNoteOk"))->click();
        });
        add->trigger();
    });

    // Stored for that lot, with the server's word on who and when.
    std::string error;
    auto store = PlantStore::open(where, error);
    std::int64_t cid = 0;
    std::vector<LotNote> notes;
    ASSERT_TRUE(store && store->characteristicId(kShaft, cid)) << error;
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->notes(cid, notes) && !notes.empty(); }, 3000));
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].lotId, view().storedLotId(2));
    EXPECT_EQ(notes[0].text, "工具交換");
    EXPECT_TRUE(!notes[0].writtenBy.empty() && notes[0].writtenAt > 0);

    // A flag on the point, its text on hover, and the lot label's tooltip.
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawn("メモ")->count() == 1; }, 2000));
    EXPECT_EQ(drawn("メモ")->at(0), QPointF(second.calcRow, second.value));
    EXPECT_TRUE(charts().pointToolTip(ChartPage::XChart, second.calcRow).contains(QStringLiteral("メモ: 工具交換（")));
    auto* lots = Ctl<TplStringGrid>(form, "gridCtrl");
    const QRect label = lots->visualRect(lots->model()->index(1, 0));
    QHelpEvent help(QEvent::ToolTip, label.center(), lots->viewport()->mapToGlobal(label.center()));
    QApplication::sendEvent(lots->viewport(), &help);
    EXPECT_EQ(QToolTip::text().toStdString(), NoteText(notes[0]));
    QToolTip::hideText();

    // The store's alarm at the lot is marked as the sheet's rule marks are.
    StoreOverlay o = form->session().storeOverlay();
    o.alarmMarks = {{}, {"X②"}};
    form->session().setStoreOverlay(o);
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawn("異常")->count() == 1; }, 2000));

    // The lot table's row with no stored lot offers the item disabled.
    rightClick(lots, lots->visualRect(lots->model()->index(4, 0)).center(), [](QMenu* m) {
        ASSERT_NE(item(m, "popMenuAddNote"), nullptr);
        EXPECT_FALSE(item(m, "popMenuAddNote")->isEnabled());
    });
}

TEST_P(NotesWindowTest, RevisionStepsTheXChartsLines)
{
    openOn({});
    publishShaft();
    auto* revise = form->findChild<QAction*>(QStringLiteral("menuSettingLimitRevision"));
    ASSERT_NE(revise, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return revise->isEnabled(); }, 2000)) << revise->toolTip().toStdString();

    // Three-sigma limits from lots 1..3; the count of lots they flag is told by its rule, and the reason is required.
    QString flagged;
    WhenShown<QDialog>([&flagged](QDialog* d) {
        auto* ok = d->findChild<QPushButton*>(QStringLiteral("btnReviseLimits"));
        EXPECT_FALSE(ok->isEnabled());
        flagged = d->findChild<QLabel*>(QStringLiteral("lblRevisionFlagged"))->text();
        d->findChild<QLineEdit*>(QStringLiteral("editRevisionReason"))->setText(QStringLiteral("工具更新"));
        EXPECT_TRUE(ok->isEnabled());
        ok->click();
    });
    revise->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !flagged.isEmpty(); }, 3000));
    EXPECT_EQ(flagged.toStdString(),
              "基準の 3 ロットのうち、改訂案で異常となるロット: 0 件（ルール①: X管理図の±3σ線、R管理図の＋3σ線の外）");
    std::string error;
    auto store = PlantStore::open(where, error);
    std::vector<LimitSet> sets;
    ASSERT_TRUE(store) << error;
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->limitHistory(kShaft, sets) && sets.size() > 1; }, 3000));
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[1].reason, "工具更新");
    const std::string ucl3 = sets[1].values[LimitUcl3];
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->session().limit(LimitUcl3) == ucl3; }, 3000));

    // A lot published after the revision is drawn against the new limits, the three before against theirs: a step.
    form->session().edits().paste({0, 4, 0, 4}, "10.00\t10.02\n");
    view().publish(false);
    judge();
    const double before = 10.05, after = std::stod(ucl3);
    const std::vector<double> steps{before, before, before, after};
    ASSERT_TRUE(QTest::qWaitFor([&] { return charts().data().x.lines[0].steps == steps; }, 2000));
    auto* line = qobject_cast<QLineSeries*>(charts().view(ChartPage::XChart)->chart()->series().front());
    ASSERT_EQ(line->count(), 8);
    EXPECT_EQ(line->at(5).y(), before);
    EXPECT_EQ(line->at(6).y(), after);
    EXPECT_EQ(line->at(6).x(), 3.5);
}

TEST_P(NotesWindowTest, RevisionIsTheEngineersOnly)
{
    // On the server, a login that is an inspector only.
    StoreLocation inspector = where;
    if (where.engine == StoreEngine::Postgres) {
        inspector.user = "inspector" + std::to_string(getpid());
        const std::string role = "CREATE ROLE " + inspector.user + " LOGIN IN ROLE trevolo_inspector";
        ASSERT_EQ(test::Exec(where, {"DO $$ BEGIN " + role + "; EXCEPTION WHEN duplicate_object THEN NULL; END $$"}),
                  "");
    }
    openOn(inspector.user);
    auto* revise = form->findChild<QAction*>(QStringLiteral("menuSettingLimitRevision"));
    ASSERT_NE(revise, nullptr);
    // A sheet the store does not hold has nothing to revise.
    EXPECT_FALSE(revise->isEnabled());
    EXPECT_EQ(revise->toolTip().toStdString(), "工場データベースのシートで使えます。");

    publishShaft();
    std::string error, whyNot;
    const auto store = PlantStore::open(inspector, error);
    ASSERT_TRUE(store) << error;
    const bool engineer = store->mayEngineer(whyNot);
    // The embedded store has no roles: whoever runs the program may.
    EXPECT_EQ(engineer, where.engine == StoreEngine::Sqlite);
    EXPECT_EQ(whyNot.empty(), engineer);
    const std::string tip = engineer ? "管理限界の改訂" : whyNot;
    EXPECT_TRUE(QTest::qWaitFor([&] { return revise->toolTip().toStdString() == tip; }, 2000));
    EXPECT_EQ(revise->toolTip().toStdString(), tip);
    EXPECT_EQ(revise->isEnabled(), engineer);
    // Nor may an inspector keep the cause and action lists: the command says why.
    if (!engineer) {
        auto* lists = Ctl<QAction>(form, "menuReasonLists");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !lists->isEnabled(); }, 3000));
        EXPECT_EQ(lists->toolTip().toStdString(), whyNot);
        EXPECT_EQ(lists->statusTip().toStdString(), whyNot);
    }
}

// A server on a local port that takes connections and never answers: a client connecting to it waits out its
// connection timeout. Port 0 takes a free port.
class SilentServer {
public:
    explicit SilentServer(std::uint16_t at) : fd_(socket(AF_INET, SOCK_STREAM, 0))
    {
        const int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET, a.sin_addr.s_addr = htonl(INADDR_LOOPBACK), a.sin_port = htons(at);
        socklen_t size = sizeof a;
        listening = bind(fd_, reinterpret_cast<sockaddr*>(&a), size) == 0 && listen(fd_, 16) == 0 &&
                    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) == 0 &&
                    fcntl(fd_, F_SETFL, O_NONBLOCK) == 0;
        port = ntohs(a.sin_port);
    }
    // Closing ends the connections taken: their clients stop waiting.
    ~SilentServer()
    {
        for (int c : taken_)
            close(c);
        close(fd_);
    }
    int connections()
    {
        for (int c; (c = accept(fd_, nullptr, nullptr)) >= 0;)
            taken_.push_back(c);
        return static_cast<int>(taken_.size());
    }
    StoreLocation location() const
    {
        StoreLocation where;
        where.engine = StoreEngine::Postgres, where.host = "127.0.0.1", where.port = port;
        where.database = "trevolo", where.user = "nobody", where.sslmode = "disable";
        return where;
    }

    bool listening = false;
    std::uint16_t port = 0;

private:
    int fd_;
    std::vector<int> taken_;
};

// A store whose server takes connections and never answers: showing a stored sheet and a change told by the store
// leave the window's event loop running, as the alarm bar, the notes and the revision read on the store's worker.
TEST_F(MainFormTest, StoreThatDoesNotAnswerLeavesTheWindowResponsive)
{
    // A port nothing listens on, until the silent server takes it.
    auto probe = std::make_unique<SilentServer>(0);
    ASSERT_TRUE(probe->listening);
    PointAt(*settings, probe->location());
    const std::uint16_t port = probe->port;
    probe.reset();

    const auto showStoredSheet = [this] {
        SheetRecord& sheet = form->workbook().sheets[1];
        sheet.product = kShaft.product, sheet.process = kShaft.process, sheet.machine = kShaft.machine;
        sheet.label = kShaft.item, sheet.storeRefs = {"lot-1"};
        selectTab(1);
    };
    for (const bool toldOfChange : {false, true}) {
        SCOPED_TRACE(toldOfChange ? "the store told of a change" : "a stored sheet shown");
        open();
        if (toldOfChange) {
            // Shown while nothing listens, refused at once: the readings end quickly.
            showStoredSheet();
            QTest::qWait(300);
        }
        auto silent = std::make_unique<SilentServer>(port);
        ASSERT_TRUE(silent->listening);

        // The longest gap between the ticks of a timer on the window's thread.
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        clock.start();
        tick.start(10);
        if (toldOfChange)
            emit form->findChild<PlantStoreView*>(QStringLiteral("plantStore"))->storeChanged();
        else
            showStoredSheet();
        QTest::qWait(1000);
        EXPECT_GT(silent->connections(), 0);
        // Far below the connection timeout (5 s) a read on this thread would wait.
        EXPECT_LT(longest, 1000);
        // Closing the connections ends the readings waiting on them.
        silent.reset();
        form.reset();
    }
}

// The store's worker: jobs queued behind a failing attempt to connect take its answer rather than each waiting for
// the server again, a result for a part of the window that is gone is dropped, and a later job connects again.
TEST(StoreWorker, QueuedJobsTakeTheFailedConnectionsAnswer)
{
    auto silent = std::make_unique<SilentServer>(0);
    ASSERT_TRUE(silent->listening);
    const std::uint16_t port = silent->port;
    const std::function<std::string(StoreConnection&)> open = [where = silent->location()](StoreConnection& c) {
        std::string error;
        c.open(where, error);
        return error;
    };
    StoreWorker worker;
    QObject window;
    auto gone = std::make_unique<QObject>();
    std::vector<std::string> errors;
    int toGone = 0;
    const auto told = [&errors](std::string e) { errors.push_back(e); };
    worker.post<std::string>(&window, open, told);
    worker.post<std::string>(gone.get(), open, [&toGone](std::string) { ++toGone; });
    worker.post<std::string>(&window, open, told);
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent->connections() > 0; }, 2000));
    gone.reset();
    // The server goes away: the attempt waiting on it fails at once.
    silent.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return errors.size() == 2; }, 3000));
    EXPECT_FALSE(errors[0].empty());
    EXPECT_EQ(errors[1], errors[0]);
    EXPECT_EQ(toGone, 0);

    silent = std::make_unique<SilentServer>(port);
    worker.post<std::string>(&window, open, told);
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent->connections() > 0; }, 2000));
    silent.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return errors.size() == 3; }, 3000));
}

// Rule ① over a baseline: a mean beyond ±3σ or a spread above the spread chart's +3σ flags the lot once; a
// switched-off lot and blank lines flag nothing. Lines: X 9.5..10.5, spread +3σ 0.4.
TEST(LimitRevision, CountsTheBaselinesLotsOutsideThreeSigma)
{
    std::array<std::string, kLimitFields> lines{}, blank{};
    lines[LimitUcl3] = "10.5", lines[LimitLcl3] = "9.5", lines[LimitRsUcl3] = "0.4";
    // Lot 2's mean is above; lot 3 has R 0.5 and S 0.35. Singles: lot 3 is above, lots 3 and 4 move by 0.5.
    const LotTable pairs({{"1", true, {"10", "10.2"}},
                          {"2", true, {"10.6", "10.7"}},
                          {"3", true, {"9.8", "10.3"}},
                          {"4", false, {"20", "20"}}});
    const LotTable singles({{"1", true, {"10"}}, {"2", true, {"10.3"}}, {"3", true, {"10.8"}}, {"4", true, {"10.3"}}});
    EXPECT_EQ(CountOutsideThreeSigma(pairs, ChartXbarR, lines), 2);
    EXPECT_EQ(CountOutsideThreeSigma(pairs, ChartXbarS, lines), 1);
    EXPECT_EQ(CountOutsideThreeSigma(singles, ChartXRs, lines), 2);
    EXPECT_EQ(CountOutsideThreeSigma(pairs, ChartXbarR, blank), 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, NotesWindowTest, ::testing::Values(test::Engine::Postgres, test::Engine::Sqlite),
                         test::EngineName);

// The words and marks of alarms: each rule's run lengths go where its caption leaves room, in order; spread as set.
TEST(AlarmWords, RuleTextsAndMarks)
{
    RuleOptions o = RuleOptions::Defaults();
    o.sameSideRun = 7, o.beyond2SigmaBlock = 4, o.beyond2SigmaHits = 3;
    const struct {
        int rule, side;
        const char *spread, *mark, *text;
    } cases[] = {{1, 0, "R", "X①", "X ①1点が管理限界線(3シグマ)を超えている"},
                 {2, 1, "Rs", "Rs②", "Rs ②7点が中心値に対して同じ側にある"},
                 {5, 0, "R", "X⑤", "X ⑤連続する4点中、3点が > 2シグマ"},
                 {8, 1, "S", "S⑧", "S ⑧連続する8点が > 1シグマ"},
                 {9, 0, "R", "X?", "X?"}};
    for (const auto& c : cases) {
        EXPECT_EQ(AlarmMark(c.rule, c.side, c.spread), c.mark);
        EXPECT_EQ(AlarmRuleText(c.rule, c.side, c.spread, o), c.text);
    }
    EXPECT_EQ(AnswerCause("工具摩耗", "x"), "工具摩耗");
    EXPECT_EQ(AnswerCause(kOtherCause, " 刃先欠け "), "その他：刃先欠け");
    EXPECT_EQ(AnswerCause(kOtherCause, "  "), "");
}

class AlarmWindowTest : public NotesWindowTest {};

TEST_P(AlarmWindowTest, AnotherStationsAlarmIsShownMarkedAndAnswered)
{
    std::string error;
    const auto station = PlantStore::open(where, error);  // the other station
    ASSERT_TRUE(station) << error;
    ASSERT_TRUE(station->setReasonList({ReasonList::Kind::Cause, "", {"工具摩耗", "材料ロット"}, {}, 0}) &&
                station->setReasonList({ReasonList::Kind::Action, "", {"工具交換", "再測定"}, {}, 0}))
        << station->lastError();
    PlantStoreView& view = openOn({});

    // This station publishes its lots: the sheet is followed, each row naming the lot stored from it.
    SheetSession& s = typeShaft({kShaft.product, kShaft.process, kShaft.machine, kShaft.item});
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

    // Another station's lot far above the limit starts an alarm: counted within moments of its publishing.
    StoredLot high;
    high.id = NewLotId(), high.label = "B1", high.values = "10.30,10.31", high.valueCount = 2;
    high.station = "station-2", high.operatorName = "inspector", high.publishedAt = StationNowMillis();
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
    const auto rowMarks = [&]() -> std::optional<std::vector<std::string>> {
        const auto& m = s.storeOverlay().alarmMarks;
        return m.size() >= static_cast<size_t>(row) ? std::optional(m[static_cast<size_t>(row - 1)]) : std::nullopt;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowMarks().has_value(); }, 3000));
    EXPECT_EQ(*rowMarks(), std::vector<std::string>{"X①"});
    // Corrected by its station, the lot keeps its row and the mark.
    StoredLot fixed = high;
    fixed.id = NewLotId(), fixed.supersedes = high.id, fixed.values = "10.29,10.31";
    ASSERT_TRUE(station->publish(LotBatch{kShaft, {}, {fixed}})) << station->lastError();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.rowOfStoredLot(fixed.id) == row; }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowMarks() == std::vector<std::string>{"X①"}; }, 3000));

    // Answered through the list: a cause of its own under "その他", an action from the list and a comment.
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
    EXPECT_TRUE(
        alarms->topLevelItem(0)->text(4).startsWith(QStringLiteral("その他：刃先欠け / 工具交換 / B1 再測定済み")));

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

    // Another station's later answer shows within moments, the window's own under it in its history.
    clock.restart();
    ASSERT_TRUE(station->answerAlarm({0, stored[0].seq, "工具摩耗", "再測定", "", "station-2", 0}))
        << station->lastError();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return alarms->topLevelItem(0)->text(4).startsWith(QStringLiteral("工具摩耗 / 再測定（")); }, 3000));
    EXPECT_LT(clock.elapsed(), 1500);
    ASSERT_EQ(alarms->topLevelItem(0)->childCount(), 1);
    EXPECT_TRUE(alarms->topLevelItem(0)->child(0)->text(4).startsWith(QStringLiteral("その他：刃先欠け")));

    // The product's own cause list: the editor starts from the plant's list, only the changed list is stored.
    bool saved = false;
    WhenShown<ReasonListsDialog>([&](ReasonListsDialog* d) {
        EXPECT_EQ(d->product(), kShaft.product);
        EXPECT_EQ(d->causes(), (std::vector<std::string>{"工具摩耗", "材料ロット"}));
        d->findChild<QPlainTextEdit*>(QStringLiteral("editCauses"))->appendPlainText(QStringLiteral("刃先欠け"));
        saved = true;
        d->accept();
    });
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

}  // namespace
}  // namespace trevolo::testing
