// The alarm bar, the list of alarms with their answers, the answer dialog,
// the cause and action lists and the alarm marks on the charts.
#include "app/alarm_controller.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <map>
#include <set>

#include "app/alarm_dialogs.h"
#include "app/prompts.h"
#include "app/store_worker.h"
#include "app/stored_sheet.h"
#include "document/sheet_session.h"
#include "store/plant_store.h"
#include "store/qt_text.h"
#include "store/store_commands.h"

namespace trevolo {

// What one reading of the store found for the followed characteristic.
struct AlarmController::Snapshot {
    std::optional<Characteristic> characteristic;
    std::vector<Alarm> alarms;
    std::map<std::string, std::string> labels;  // lot id → label
    // A corrected lot's id → the id of the lot correcting it.
    std::map<std::string, std::string> correctedBy;
    RuleOptions options = RuleOptions::Defaults();
    std::string spread = "R";  // the spread chart's name: "R", "S" or "Rs"
    ReasonList causes, actions;
    // Whether the role may keep the lists; unknown while no store was read.
    std::optional<bool> mayEngineer;
    std::string whyNot;
    std::string error;
};

// The labels of the followed characteristic's lots, read on from the last
// lot seen: a store's lots are never rewritten, so each reading asks only
// for those that arrived since.
struct AlarmController::Labels {
    std::string where;     // the store they were read from
    std::int64_t of = -1;  // the characteristic's id
    std::int64_t lastSeq = 0;
    int lastValueCount = 0;
    std::map<std::string, std::string> labels;
    std::map<std::string, std::string> correctedBy;

    bool read(PlantStore& store, const std::string& from, std::int64_t id)
    {
        if (of != id || where != from) {
            *this = Labels{};
            where = from;
            of = id;
        }
        if (id == 0)
            return true;
        std::vector<StoredLot> lots;
        if (!store.lotsAfter(id, lastSeq, lots))
            return false;
        for (const StoredLot& lot : lots) {
            labels[lot.id] = lot.label;
            if (!lot.supersedes.empty())
                correctedBy[lot.supersedes] = lot.id;
            lastSeq = std::max(lastSeq, lot.seq);
            lastValueCount = lot.valueCount;
        }
        return true;
    }
};

std::shared_ptr<AlarmController::Snapshot> AlarmController::read(StoreConnection& connection, Labels& cache,
                                                                 const StoreLocation& where,
                                                                 const std::optional<Characteristic>& c)
{
    auto s = std::make_shared<Snapshot>();
    s->characteristic = c;
    // An embedded store not made yet is not made by looking into it.
    if (where.engine == StoreEngine::Sqlite && !QFile::exists(ToQString(where.path)))
        return s;
    PlantStore* store = connection.open(where, s->error);
    if (!store)
        return s;
    std::string whyNot;
    s->mayEngineer = store->mayEngineer(whyNot);
    s->whyNot = whyNot;
    if (!c)
        return s;
    std::int64_t id = 0;
    RuleSetting setting;
    if (!store->characteristicId(*c, id) || !store->ruleSetting(*c, setting) ||
        !store->reasonLists(c->product, s->causes, s->actions) || !cache.read(*store, where.text(), id) ||
        (id != 0 && !store->alarms(id, false, 0, s->alarms))) {
        s->alarms.clear();
        // The labels read on from where they were may have missed some.
        cache = Labels{};
        s->error = connection.fail();
        return s;
    }
    s->options = setting.options;
    s->spread = !setting.spread.empty() ? setting.spread : cache.lastValueCount == 1 ? "Rs" : "R";
    s->labels = cache.labels;
    s->correctedBy = cache.correctedBy;
    return s;
}

namespace {

QString LotsText(const Alarm& a, const std::map<std::string, std::string>& labels)
{
    QStringList out;
    for (const std::string& id : a.lotIds) {
        auto at = labels.find(id);
        out << (at != labels.end() && !at->second.empty() ? ToQString(at->second) : QStringLiteral("?"));
    }
    return out.join(QStringLiteral(", "));
}

}  // namespace

AlarmController::AlarmController(StoredSheet& sheet, SheetSession& session, StoreWorker& worker, Parts parts,
                                 QObject* parent)
    : QObject(parent),
      sheet_(sheet),
      session_(session),
      window_(parts.window),
      worker_(worker),
      labels_(std::make_shared<Labels>())
{
    setObjectName(QStringLiteral("alarms"));
    bar_ = new QPushButton(window_);
    bar_->setObjectName(QStringLiteral("alarmBar"));
    bar_->setFlat(true);
    bar_->setAccessibleName(QStringLiteral("未対応のアラーム"));
    bar_->hide();
    connect(bar_, &QPushButton::clicked, this, &AlarmController::showList);

    reasonLists_ = parts.settingMenu->addAction(QStringLiteral("原因・処置リスト(&L)"));
    reasonLists_->setObjectName(QStringLiteral("menuReasonLists"));
    // The reason a command is disabled shows as its tooltip.
    parts.settingMenu->setToolTipsVisible(true);
    connect(reasonLists_, &QAction::triggered, this, &AlarmController::editReasonLists);

    snapshot_ = std::make_shared<Snapshot>();
    // The role's rights are known before the store first changes.
    QMetaObject::invokeMethod(this, &AlarmController::refresh, Qt::QueuedConnection);
}

AlarmController::~AlarmController() = default;

void AlarmController::refresh()
{
    // One reading at a time; a change told meanwhile reads again after it.
    if (loading_) {
        again_ = true;
        return;
    }
    loading_ = true;
    again_ = false;
    const StoreLocation where = sheet_.storeLocation();
    const std::optional<Characteristic> c = sheet_.storedCharacteristic();
    worker_.post<std::shared_ptr<Snapshot>>(
        this, [where, c, labels = labels_](StoreConnection& w) { return read(w, *labels, where, c); },
        [this](std::shared_ptr<Snapshot> s) { loaded(std::move(s)); });
}

void AlarmController::loaded(std::shared_ptr<Snapshot> s)
{
    loading_ = false;
    // Another sheet shown while the store was read: what was read is not
    // the shown sheet's.
    if (again_ || s->characteristic != sheet_.storedCharacteristic()) {
        refresh();
        return;
    }
    // A reading that failed keeps what was shown, and tells why on the bar.
    if (s->error.empty() || s->characteristic != snapshot_->characteristic)
        snapshot_ = s;
    else
        snapshot_->error = s->error;
    if (s->mayEngineer) {
        snapshot_->mayEngineer = s->mayEngineer;
        snapshot_->whyNot = s->whyNot;
    }
    showBar();
    showMarks();
    showRights();
    fillList();
}

int AlarmController::openCount() const
{
    return static_cast<int>(std::count_if(snapshot_->alarms.begin(), snapshot_->alarms.end(),
                                          [](const Alarm& a) { return a.open(); }));
}

void AlarmController::showBar()
{
    if (!snapshot_->characteristic) {
        bar_->hide();
        return;
    }
    const int open = openCount();
    bar_->setText(QStringLiteral("未対応のアラーム %1 件").arg(open));
    // Red while alarms wait; neutral (the list of answered ones still opens)
    // at none.
    bar_->setStyleSheet(open > 0 ? QStringLiteral("QPushButton { background: #c62828; color: white; font-weight: bold; "
                                                  "text-align: left; padding: 3px 8px; }")
                                 : QStringLiteral("QPushButton { text-align: left; padding: 3px 8px; }"));
    bar_->setToolTip(snapshot_->error.empty()
                         ? QString()
                         : QStringLiteral("工場データベースを読めません。") + ToQString(snapshot_->error));
    bar_->show();
}

void AlarmController::showMarks()
{
    // Only the alarm marks are this controller's: the rest of the overlay
    // stays as the other parts set it.
    std::vector<std::vector<std::string>> marks;
    if (snapshot_->characteristic && openCount() > 0) {
        std::map<std::string, int> rowOf;
        for (int row = 1; row <= session_.lots(); ++row)
            if (std::string id = sheet_.storedLotId(row); !id.empty())
                rowOf.emplace(std::move(id), row);
        for (const Alarm& a : snapshot_->alarms) {
            if (!a.open())
                continue;
            const std::string mark = AlarmMark(a.rule, a.side, snapshot_->spread);
            for (std::string id : a.lotIds) {
                // A lot corrected since shows as its correction.
                for (int hops = 0; hops < 100; ++hops) {
                    auto next = snapshot_->correctedBy.find(id);
                    if (next == snapshot_->correctedBy.end())
                        break;
                    id = next->second;
                }
                auto found = rowOf.find(id);
                if (found == rowOf.end())
                    continue;
                const int row = found->second;
                if (marks.size() < static_cast<size_t>(row))
                    marks.resize(static_cast<size_t>(row));
                std::vector<std::string>& at = marks[static_cast<size_t>(row - 1)];
                if (std::find(at.begin(), at.end(), mark) == at.end())
                    at.push_back(mark);
            }
        }
    }
    if (marks == session_.storeOverlay().alarmMarks)
        return;
    auto o = session_.storeOverlay();
    o.alarmMarks = std::move(marks);
    session_.setStoreOverlay(std::move(o));
}

void AlarmController::showRights()
{
    const bool may = snapshot_->mayEngineer.value_or(true);
    reasonLists_->setEnabled(may);
    const QString why = may ? QString() : ToQString(snapshot_->whyNot);
    reasonLists_->setToolTip(may ? reasonLists_->text() : why);
    reasonLists_->setStatusTip(why);
}

void AlarmController::fillList()
{
    if (!list_)
        return;
    std::vector<AlarmRow> rows;
    for (const Alarm& a : snapshot_->alarms)
        rows.push_back({a, ToQString(AlarmRuleText(a.rule, a.side, snapshot_->spread, snapshot_->options)),
                        LotsText(a, snapshot_->labels)});
    list_->setRows(rows);
    const Characteristic c = snapshot_->characteristic.value_or(Characteristic{});
    list_->setWindowTitle(QStringLiteral("アラーム一覧 - %1 %2 %3 %4")
                              .arg(ToQString(c.product), ToQString(c.process), ToQString(c.machine),
                                   ToQString(c.item)));
}

void AlarmController::showList()
{
    if (!list_) {
        list_ = new AlarmListDialog(window_);
        connect(list_, &AlarmListDialog::answerRequested, this, &AlarmController::answer);
    }
    fillList();
    list_->show();
    list_->raise();
    list_->activateWindow();
}

void AlarmController::answer(std::int64_t alarmSeq)
{
    auto found = std::find_if(snapshot_->alarms.begin(), snapshot_->alarms.end(),
                              [&](const Alarm& a) { return a.seq == alarmSeq; });
    if (found == snapshot_->alarms.end())
        return;
    const QString what = ToQString(AlarmRuleText(found->rule, found->side, snapshot_->spread, snapshot_->options)) +
                         QStringLiteral("\nロット: ") + LotsText(*found, snapshot_->labels);
    QWidget* parent = list_ && list_->isVisible() ? static_cast<QWidget*>(list_) : window_;
    AlarmAnswerDialog dialog(what, snapshot_->causes.entries, snapshot_->actions.entries, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    AlarmAnswer a = dialog.answer();
    a.alarmSeq = alarmSeq;
    // A server records its own word on who answered; the embedded engine
    // records the login name, as it does for lots.
    a.answeredBy = CurrentPublisher().operatorName;
    const StoreLocation where = sheet_.storeLocation();
    worker_.post<std::string>(
        this,
        [where, a](StoreConnection& w) {
            std::string error;
            PlantStore* store = w.open(where, error);
            if (store && !store->answerAlarm(a))
                error = w.fail();
            return error;
        },
        [this](std::string error) {
            if (!error.empty())
                tell("対応を記録できませんでした。" + error);
            refresh();
        });
}

void AlarmController::editReasonLists()
{
    if (!reasonLists_->isEnabled())
        return;
    struct Lists {
        std::vector<std::string> products;
        ReasonList causes, actions;
        std::string error;
    };
    const StoreLocation where = sheet_.storeLocation();
    const std::string product = sheet_.storedCharacteristic().value_or(Characteristic{}).product;
    auto readLists = [where](StoreConnection& w, const std::string& p, bool withProducts) {
        Lists l;
        PlantStore* store = w.open(where, l.error);
        if (!store)
            return l;
        std::vector<CharacteristicSummary> all;
        if ((withProducts && !store->characteristics("", all)) || !store->reasonLists(p, l.causes, l.actions)) {
            l.error = w.fail();
            return l;
        }
        std::set<std::string> products;
        for (const CharacteristicSummary& c : all)
            products.insert(c.characteristic.product);
        l.products.assign(products.begin(), products.end());
        return l;
    };
    const auto readFirst = [readLists, product](StoreConnection& w) { return readLists(w, product, true); };
    worker_.post<Lists>(this, readFirst, [this, readLists, where, product](Lists first) {
        if (!first.error.empty()) {
            tell(first.error);
            return;
        }
        ReasonListsDialog dialog(first.products, product, window_);
        // The lists as read for the product chosen, to store only what changed.
        auto shown = std::make_shared<std::pair<std::vector<std::string>, std::vector<std::string>>>(
            first.causes.entries, first.actions.entries);
        dialog.setLists(shown->first, shown->second);
        QPointer<ReasonListsDialog> guard(&dialog);
        connect(&dialog, &ReasonListsDialog::productChosen, this, [this, guard, shown, readLists](const QString& p) {
            worker_.post<Lists>(
                this, [readLists, p = p.toStdString()](StoreConnection& w) { return readLists(w, p, false); },
                [guard, shown](Lists l) {
                    if (!guard || !l.error.empty())
                        return;
                    *shown = {l.causes.entries, l.actions.entries};
                    guard->setLists(shown->first, shown->second);
                });
        });
        if (dialog.exec() != QDialog::Accepted)
            return;
        std::vector<ReasonList> changed;
        if (dialog.causes() != shown->first)
            changed.push_back({ReasonList::Kind::Cause, dialog.product(), dialog.causes(), {}, 0});
        if (dialog.actions() != shown->second)
            changed.push_back({ReasonList::Kind::Action, dialog.product(), dialog.actions(), {}, 0});
        if (changed.empty())
            return;
        worker_.post<std::string>(
            this,
            [where, changed](StoreConnection& w) {
                std::string error;
                PlantStore* store = w.open(where, error);
                for (size_t i = 0; store && error.empty() && i < changed.size(); ++i)
                    if (!store->setReasonList(changed[i]))
                        error = w.fail();
                return error;
            },
            [this](std::string error) {
                if (!error.empty())
                    tell("原因・処置リストを保存できませんでした。" + error);
                refresh();
            });
    });
}

void AlarmController::tell(const std::string& error)
{
    Prompts::current().message(window_, QString::fromUtf8(kWarningCaption), ToQString(error));
}

}  // namespace trevolo
