// Notes and limit revisions of stored lots through the window, on the test
// server's PostgreSQL and on an SQLite file; the store's worker they share
// with the alarm bar, and the window on a server that does not answer.
#include <QAction>
#include <QChart>
#include <QChartView>
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
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/limit_revision.h"
#include "app/notes_controller.h"
#include "app/plant_store_view.h"
#include "app/store_worker.h"
#include "app_fixture.h"
#include "document/judgment_chain.h"
#include "store/plant_store.h"
#include "store/store_commands.h"
#include "store_test_support.h"

namespace trevolo::testing {
namespace {

const Characteristic kShaft{"シャフト", "旋削", "NC-3", "外径"};

// Runs once the next modal dialog or popup of type W is open. Polled from
// whichever event loop runs: a dialog that waits for the store opens only
// after the store has answered.
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
        // The embedded store is the default file under the data folder.
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
        where = GetParam() == test::Engine::Sqlite ? DefaultStoreLocation() : test::FreshStore(GetParam(), dir);
        std::string error;
        ASSERT_TRUE(PlantStore::open(where, error)->init()) << error;
    }
    void TearDown() override
    {
        MainFormTest::TearDown();
        qunsetenv("XDG_DATA_HOME");
    }

    // The window on the store, as the given login on PostgreSQL.
    PlantStoreView& openOn(const std::string& user)
    {
        if (where.engine == StoreEngine::Postgres) {
            const std::pair<const char*, QVariant> keys[] = {
                {"Host", QString::fromStdString(where.host)},
                {"Port", where.port},
                {"Database", QString::fromStdString(where.database)},
                {"User", QString::fromStdString(user.empty() ? where.user : user)},
                {"SslMode", QStringLiteral("disable")}};
            for (const auto& [key, value] : keys)
                settings->setValue(QStringLiteral("PlantStore/") + QLatin1String(key), value);
        }
        open();
        auto* view = form->findChild<PlantStoreView*>(QStringLiteral("plantStore"));
        view->setOutboxPath(dir.filePath(QStringLiteral("outbox.sqlite")).toStdString());
        return *view;
    }

    // The shaft's three lots typed with their limits, published and judged.
    void publishShaft()
    {
        SheetSession& s = form->session();
        // The header fields in their order, the decimals as they are.
        const std::string texts[] = {kShaft.product, kShaft.process, kShaft.machine, kShaft.item, "mm", "3",
                                     "10.100",       "9.900"};
        for (size_t f = 0; f < std::size(texts); ++f)
            s.setHeaderText(static_cast<HeaderField>(f), texts[f]);
        s.edits().paste({0, 1, 0, 1}, "10.01\t9.99\n10.02\t10.00\n9.98\t10.01\n");
        s.typeLimits({"10.05", "10.03", "10.02", "9.95", "9.97", "9.98", "10.00", "0.02", "0.05"});
        for (int line = 0; line < kVisibleLimitLines; ++line)
            s.setLineAutomatic(line, true);
        form->findChild<PlantStoreView*>(QStringLiteral("plantStore"))->publish(false);
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
    QScatterSeries* drawn(const QString& name)
    {
        for (QAbstractSeries* s : charts().view(ChartPage::XChart)->chart()->series())
            if (s->name() == name)
                return qobject_cast<QScatterSeries*>(s);
        return nullptr;
    }
    int flags() { return drawn(QStringLiteral("メモ"))->count(); }

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

    static QAction* item(QMenu* m, const char* name) { return m->findChild<QAction*>(QLatin1String(name)); }

    StoreLocation where;
};

TEST_P(NotesWindowTest, NoteFromTheXChartIsStoredFlaggedAndTold)
{
    openOn({});
    publishShaft();
    ASSERT_EQ(charts().data().x.points.size(), 3u);
    EXPECT_EQ(flags(), 0);

    // The X chart's point of lot 2, right-clicked: "メモを追加", typed, OK.
    QChartView* xView = charts().view(ChartPage::XChart);
    const ChartPoint& second = charts().data().x.points[1];
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
    EXPECT_EQ(notes[0].lotId, form->findChild<PlantStoreView*>()->storedLotId(2));
    EXPECT_EQ(notes[0].text, "工具交換");
    EXPECT_TRUE(!notes[0].writtenBy.empty() && notes[0].writtenAt > 0);

    // A flag on the point, its text on hover, and the lot label's tooltip.
    ASSERT_TRUE(QTest::qWaitFor([&] { return flags() == 1; }, 2000));
    EXPECT_EQ(drawn(QStringLiteral("メモ"))->at(0), QPointF(second.calcRow, second.value));
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawn(QStringLiteral("異常"))->count() == 1; }, 2000));

    // The lot table's row with no stored lot offers the item disabled.
    const QRect empty = lots->visualRect(lots->model()->index(4, 0));
    rightClick(lots, empty.center(), [](QMenu* m) {
        ASSERT_NE(item(m, "popMenuAddNote"), nullptr);
        EXPECT_FALSE(item(m, "popMenuAddNote")->isEnabled());
    });
}

TEST_P(NotesWindowTest, RevisionStepsTheXChartsLines)
{
    PlantStoreView& view = openOn({});
    publishShaft();
    auto* revise = form->findChild<QAction*>(QStringLiteral("menuSettingLimitRevision"));
    ASSERT_NE(revise, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return revise->isEnabled(); }, 2000)) << revise->toolTip().toStdString();

    // Three-sigma limits from lots 1..3; the count of lots they flag is
    // told by its rule, and the reason is required.
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

    // A lot published after the revision is drawn against the new limits,
    // the three before against theirs: a step in the line.
    form->session().edits().paste({0, 4, 0, 4}, "10.00\t10.02\n");
    view.publish(false);
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
    const bool engineer = PlantStore::open(inspector, error)->mayEngineer(whyNot);
    // The embedded store has no roles: whoever runs the program may.
    EXPECT_EQ(engineer, where.engine == StoreEngine::Sqlite);
    EXPECT_EQ(whyNot.empty(), engineer);
    const std::string tip = engineer ? "管理限界の改訂" : whyNot;
    EXPECT_TRUE(QTest::qWaitFor([&] { return revise->toolTip().toStdString() == tip; }, 2000));
    EXPECT_EQ(revise->toolTip().toStdString(), tip);
    EXPECT_EQ(revise->isEnabled(), engineer);
}

// A server on a local port that takes connections and never answers: a
// client connecting to it waits out its connection timeout. Port 0 takes a
// free port.
class SilentServer {
public:
    explicit SilentServer(std::uint16_t port)
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        socklen_t size = sizeof a;
        listening_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), size) == 0 && listen(fd_, 16) == 0 &&
                     getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) == 0 &&
                     fcntl(fd_, F_SETFL, O_NONBLOCK) == 0;
        port_ = ntohs(a.sin_port);
    }
    // Closing ends the connections taken: their clients stop waiting.
    ~SilentServer()
    {
        for (int c : taken_)
            close(c);
        close(fd_);
    }
    bool listening() const { return listening_; }
    std::uint16_t port() const { return port_; }
    // How many clients connected so far.
    int connections()
    {
        for (int c; (c = accept(fd_, nullptr, nullptr)) >= 0;)
            taken_.push_back(c);
        return static_cast<int>(taken_.size());
    }

private:
    int fd_ = -1;
    bool listening_ = false;
    std::uint16_t port_ = 0;
    std::vector<int> taken_;
};

// The window on a store whose server takes connections and never answers:
// showing a stored sheet and a change told by the store leave the window's
// event loop running, as the alarm bar, the notes and the revision read on
// the store's worker.
TEST_F(MainFormTest, StoreThatDoesNotAnswerLeavesTheWindowResponsive)
{
    // A port nothing listens on, until the silent server takes it.
    std::uint16_t port = 0;
    {
        SilentServer probe(0);
        ASSERT_TRUE(probe.listening());
        port = probe.port();
    }
    const std::pair<const char*, QVariant> keys[] = {{"Host", QStringLiteral("127.0.0.1")},
                                                     {"Port", port},
                                                     {"Database", QStringLiteral("trevolo")},
                                                     {"User", QStringLiteral("nobody")},
                                                     {"SslMode", QStringLiteral("disable")}};
    for (const auto& [key, value] : keys)
        settings->setValue(QStringLiteral("PlantStore/") + QLatin1String(key), value);

    // Sheet 2 as one opened from the store.
    const auto showStoredSheet = [this] {
        SheetRecord& sheet = form->workbook().sheets[1];
        sheet.product = kShaft.product, sheet.process = kShaft.process, sheet.machine = kShaft.machine;
        sheet.label = kShaft.item;
        sheet.storeRefs = {"lot-1"};
        selectTab(1);
    };
    const struct {
        const char* what;
        bool shownBefore;  // the sheet shown while nothing listened yet
    } cases[] = {{"a stored sheet shown", false}, {"the store told of a change", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open();
        if (c.shownBefore) {
            // Refused at once: the readings end quickly.
            showStoredSheet();
            QTest::qWait(300);
        }
        auto silent = std::make_unique<SilentServer>(port);
        ASSERT_TRUE(silent->listening());

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
        if (c.shownBefore)
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

// The store's worker: jobs queued behind an attempt to connect that fails
// take its answer rather than each waiting for the server again, a result
// for a part of the window that is gone is dropped, and a job posted after
// the failure connects again.
TEST(StoreWorker, QueuedJobsTakeTheFailedConnectionsAnswer)
{
    auto silent = std::make_unique<SilentServer>(0);
    ASSERT_TRUE(silent->listening());
    const std::uint16_t port = silent->port();
    StoreLocation where;
    where.engine = StoreEngine::Postgres;
    where.host = "127.0.0.1", where.port = port, where.database = "trevolo", where.user = "nobody";
    where.sslmode = "disable";
    const std::function<std::string(StoreConnection&)> open = [where](StoreConnection& c) {
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

// Rule ① over a baseline: a mean beyond ±3σ or a spread above the spread
// chart's +3σ flags the lot once; a switched-off lot and blank lines flag
// nothing. Lines: X 9.5..10.5, spread +3σ 0.4.
TEST(LimitRevision, CountsTheBaselinesLotsOutsideThreeSigma)
{
    std::array<std::string, kLimitFields> lines{}, blank{};
    lines[LimitUcl3] = "10.5", lines[LimitLcl3] = "9.5", lines[LimitRsUcl3] = "0.4";
    // Lot 2's mean is above; lot 3 has R 0.5 and S 0.35. In the singles,
    // lot 3 is above with a moving range of 0.5 and lot 4's is 0.5.
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

}  // namespace
}  // namespace trevolo::testing
