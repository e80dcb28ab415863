#include "board/board_watch.h"

#include <QEventLoop>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>
#include <algorithm>
#include <map>

#include "store/plant_store.h"

namespace trevolo {

namespace {

constexpr int kCheckSqliteMs = 500;
constexpr int kCheckServerMs = 1000;
const char* const kChannels[] = {"trevolo_lots", "trevolo_watch"};

// What each watched table's new rows are told as, in the order of the
// marks.
const char* const kWhat[] = {"lot", "alarm", "answer", "note", "limits", "limits", "limits", "lists"};

// The newest arrival number of each watched table.
const char* const kMarksQuery =
    "SELECT (SELECT COALESCE(MAX(seq), 0) FROM lot), (SELECT COALESCE(MAX(seq), 0) FROM alarm), "
    "(SELECT COALESCE(MAX(seq), 0) FROM alarm_answer), (SELECT COALESCE(MAX(seq), 0) FROM lot_note), "
    "(SELECT COALESCE(MAX(seq), 0) FROM limit_set), (SELECT COALESCE(MAX(seq), 0) FROM limit_revision), "
    "(SELECT COALESCE(MAX(seq), 0) FROM rule_setting), (SELECT COALESCE(MAX(seq), 0) FROM reason_list)";

// The rows stored after the marks %1..%8: table, characteristic, newest
// arrival number. The marks are the watcher's own numbers.
const char* const kChangesQuery =
    "SELECT 0, characteristic_id, MAX(seq) FROM lot WHERE seq > %1 GROUP BY characteristic_id "
    "UNION ALL SELECT 1, characteristic_id, MAX(seq) FROM alarm WHERE seq > %2 GROUP BY characteristic_id "
    "UNION ALL SELECT 2, l.characteristic_id, MAX(a.seq) FROM alarm_answer a JOIN alarm l ON l.seq = a.alarm_seq "
    "WHERE a.seq > %3 GROUP BY l.characteristic_id "
    "UNION ALL SELECT 3, characteristic_id, MAX(seq) FROM lot_note WHERE seq > %4 GROUP BY characteristic_id "
    "UNION ALL SELECT 4, characteristic_id, MAX(seq) FROM limit_set WHERE seq > %5 GROUP BY characteristic_id "
    "UNION ALL SELECT 5, s.characteristic_id, MAX(r.seq) FROM limit_revision r JOIN limit_set s ON s.seq = "
    "r.limit_set_seq WHERE r.seq > %6 GROUP BY s.characteristic_id "
    "UNION ALL SELECT 6, characteristic_id, MAX(seq) FROM rule_setting WHERE seq > %7 GROUP BY characteristic_id "
    "UNION ALL SELECT 7, 0, seq FROM reason_list WHERE seq > %8";

}  // namespace

BoardWatch::BoardWatch(StoreLocation where, ChangeHandler onChanges, StoreHandler onStore)
    : where_(std::move(where)), onChanges_(std::move(onChanges)), onStore_(std::move(onStore))
{
}

BoardWatch::~BoardWatch()
{
    stop();
}

int BoardWatch::checkIntervalMs() const
{
    return where_.engine == StoreEngine::Postgres ? kCheckServerMs : kCheckSqliteMs;
}

void BoardWatch::start()
{
    if (thread_.joinable())
        return;
    {
        std::lock_guard lock(loopMutex_);
        stopping_ = false;
        looked_ = false;
    }
    thread_ = std::thread([this] { run(); });
    // What is stored from now on is told: the first look at the store is
    // over before the board serves its first page.
    std::unique_lock lock(loopMutex_);
    firstLook_.wait(lock, [this] { return looked_ || stopping_; });
}

void BoardWatch::stop()
{
    {
        std::lock_guard lock(loopMutex_);
        stopping_ = true;
        if (loop_)
            QMetaObject::invokeMethod(loop_, &QEventLoop::quit, Qt::QueuedConnection);
    }
    if (thread_.joinable())
        thread_.join();
}

void BoardWatch::run()
{
    QEventLoop loop;
    QObject context;
    context_ = &context;
    QTimer timer(&context);
    timer.setInterval(checkIntervalMs());
    QObject::connect(&timer, &QTimer::timeout, &context, [this, &loop] {
        // Posted quits are lost once the application object is gone; the
        // flag is looked at on every tick all the same.
        {
            std::lock_guard lock(loopMutex_);
            if (stopping_) {
                loop.quit();
                return;
            }
        }
        if (store_ || connect())
            check();
    });
    {
        std::lock_guard lock(loopMutex_);
        if (stopping_)
            return;
        loop_ = &loop;
    }
    if (connect())
        check();
    {
        std::lock_guard lock(loopMutex_);
        looked_ = true;
    }
    firstLook_.notify_all();
    timer.start();
    loop.exec();
    {
        std::lock_guard lock(loopMutex_);
        loop_ = nullptr;
    }
    store_.reset();
    context_ = nullptr;
}

bool BoardWatch::connect()
{
    std::string error;
    store_ = PlantStore::open(where_, error);
    if (!store_) {
        lost();
        return false;
    }
    if (where_.engine == StoreEngine::Postgres) {
        QSqlDriver* driver = store_->database().driver();
        // Notices come in bursts (one per characteristic a station
        // published to): one check answers them all.
        QObject::connect(driver, &QSqlDriver::notification, context_, [this] {
            if (checkQueued_)
                return;
            checkQueued_ = true;
            QTimer::singleShot(0, context_, [this] {
                checkQueued_ = false;
                if (store_)
                    check();
            });
        });
        for (const char* channel : kChannels)
            if (!driver->subscribeToNotification(QString::fromLatin1(channel))) {
                lost();
                return false;
            }
    }
    // The first connection starts from what the store holds now; after a
    // loss the marks stay, so the next check tells what was stored meanwhile.
    if (!marks_) {
        QSqlQuery q(store_->database());
        if (!q.exec(QString::fromLatin1(kMarksQuery)) || !q.next()) {
            lost();
            return false;
        }
        Marks m{};
        for (std::size_t i = 0; i < kTables; ++i)
            m[i] = q.value(static_cast<int>(i)).toLongLong();
        marks_ = m;
    }
    return true;
}

void BoardWatch::lost()
{
    store_.reset();
    if (up_ != false) {
        up_ = false;
        if (onStore_)
            onStore_(false);
    }
}

void BoardWatch::check()
{
    Marks& m = *marks_;
    QString sql = QString::fromLatin1(kChangesQuery);
    for (std::int64_t mark : m)
        sql = sql.arg(mark);
    std::vector<BoardChange> changes;
    {
        QSqlQuery q(store_->database());
        if (!q.exec(sql)) {
            lost();
            return;
        }
        // One change per characteristic and kind, however many rows.
        std::map<std::pair<std::size_t, std::int64_t>, bool> seen;
        while (q.next()) {
            const auto table = static_cast<std::size_t>(q.value(0).toInt());
            const std::int64_t c = q.value(1).toLongLong();
            if (table >= kTables)
                continue;
            m[table] = std::max<std::int64_t>(m[table], q.value(2).toLongLong());
            // Revisions and rule settings are told as their limits.
            const std::size_t kind = table == 5 || table == 6 ? 4 : table;
            if (!seen.emplace(std::pair{kind, c}, true).second)
                continue;
            changes.push_back({c, kWhat[table]});
        }
    }
    if (up_ != true) {
        up_ = true;
        if (onStore_)
            onStore_(true);
    }
    if (!changes.empty() && onChanges_)
        onChanges_(changes);
}

}  // namespace trevolo
