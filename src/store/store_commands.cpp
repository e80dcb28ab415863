#include "store/store_commands.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <pwd.h>
#include <unistd.h>
#include <unordered_map>

#include "document/judgment_chain.h"
#include "model/comfunction.h"
#include "model/commatext.h"
#include "model/number.h"
#include "store/lot_ledger.h"
#include "store/plant_store.h"

namespace trevolo {

Characteristic CharacteristicOf(const SheetRecord& sheet)
{
    return {sheet.product, sheet.process, sheet.machine, sheet.label};
}

Specification SpecificationOf(const SheetRecord& sheet)
{
    return {sheet.unit, sheet.specKindText, sheet.decimals, sheet.upperSpec, sheet.lowerSpec};
}

std::string SameValues(std::string_view values, int decimals)
{
    std::vector<std::string> cells = CommaTextSplit(values);
    for (std::string& c : cells) {
        double v = 0;
        if (TryStrToFloat(c, v))
            c = FormatFixed(v, decimals);
    }
    while (!cells.empty() && IsBlank(cells.back()))
        cells.pop_back();
    return CommaTextJoin(cells);
}

std::string SameLotContent(const std::string& label, bool enabled, std::string_view values, int decimals)
{
    return LotContentOf(label, enabled, SameValues(values, decimals));
}

std::vector<SheetLot> SheetLotsOf(const SheetRecord& sheet)
{
    const int decimals = ShownDecimals(sheet.decimals);
    std::vector<SheetLot> lots;
    const size_t rows = std::min(sheet.dataList.size(), static_cast<size_t>(std::max(sheet.lots, 0)));
    for (size_t r = 0; r < rows; ++r) {
        const DataLineParts parts = DataLineSplit(sheet.dataList[r]);
        std::vector<std::string> cells = CommaTextSplit(parts.values);
        if (sheet.n > 0 && cells.size() > static_cast<size_t>(sheet.n))
            cells.resize(static_cast<size_t>(sheet.n));
        if (std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return c.empty(); }))
            continue;
        SheetLot lot;
        lot.label = parts.label;
        lot.enabled = r >= sheet.checkList.size() || sheet.checkList[r] != "0";
        lot.values = CommaTextJoin(cells);
        lot.valueCount = static_cast<std::int32_t>(cells.size());
        lot.row = static_cast<std::int32_t>(r);
        if (r < sheet.storeRefs.size() &&
            DecodeStoredRef(sheet.storeRefs[r], lot.storedId, lot.storedOrderKey, lot.storedContent))
            lot.shownContent = SameLotContent(lot.label, lot.enabled, lot.values, decimals);
        lots.push_back(std::move(lot));
    }
    return lots;
}

SheetRecord SheetFromHistory(const Characteristic& characteristic, const LotHistory& history, int minLots)
{
    SheetRecord s;
    s.product = characteristic.product;
    s.process = characteristic.process;
    s.machine = characteristic.machine;
    s.label = characteristic.item;
    s.unit = history.specification.unit;
    s.specKindText = history.specification.kind;
    s.decimals = history.specification.decimals.empty() ? "3" : history.specification.decimals;
    s.upperSpec = history.specification.upper;
    s.lowerSpec = history.specification.lower;
    // The newest lots that fit a sheet.
    const size_t skip = history.lots.size() > static_cast<size_t>(kMaxLots) ? history.lots.size() - kMaxLots : 0;
    int n = kMinN;
    std::vector<std::vector<std::string>> cells;
    for (size_t i = skip; i < history.lots.size(); ++i) {
        cells.push_back(CommaTextSplit(history.lots[i].values));
        n = std::max(n, static_cast<int>(cells.back().size()));
    }
    n = std::min(n, kMaxN);
    s.n = n;
    s.lots = std::clamp(static_cast<int>(cells.size()), std::clamp(minLots, kMinLots, kMaxLots), kMaxLots);
    s.hasLists = true;
    const int decimals = ShownDecimals(s.decimals);
    for (size_t i = 0; i < cells.size(); ++i) {
        cells[i].resize(static_cast<size_t>(n));
        const StoredLot& lot = history.lots[skip + i];
        s.checkList.push_back(lot.enabled ? "1" : "0");
        s.dataList.push_back(DataLineJoin(lot.label, cells[i].data(), cells[i].size()));
        s.storeRefs.push_back(EncodeStoredRef(lot.id, lot.orderKey,
                                              SameLotContent(lot.label, lot.enabled, lot.values, decimals)));
    }
    return s;
}

StoreLocation DefaultStoreLocation()
{
    StoreLocation where;
    where.engine = StoreEngine::Sqlite;
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    where.path = (dir + QStringLiteral("/plant.sqlite")).toStdString();
    return where;
}

std::string DefaultOutboxPath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    return (dir + QStringLiteral("/outbox.sqlite")).toStdString();
}

Publisher CurrentPublisher()
{
    Publisher p;
    p.station = QSysInfo::machineHostName().toStdString();
    for (const char* name : {"USER", "LOGNAME", "USERNAME"}) {
        if (const char* v = std::getenv(name); v && *v) {
            p.operatorName = v;
            break;
        }
    }
    if (p.operatorName.empty()) {
        if (const passwd* pw = getpwuid(geteuid()))
            p.operatorName = pw->pw_name;
    }
    return p;
}

std::string PendingLotsText(std::int64_t lots)
{
    return "未送信 " + std::to_string(lots) + " ロット";
}

namespace {

void Finish(Outbox& outbox, const StoreLocation& where, PublishReport& report)
{
    std::string error;
    ForwardCounts counts;
    report.reached = ForwardOutbox(outbox, where, &report.sent, error, &counts);
    report.waiting = std::max<std::int64_t>(outbox.pending(), 0);
    report.added = counts.added;
    report.corrected = counts.corrected;
    report.already += counts.already;
    if (report.reached)
        report.message = "工場データベースへ送信しました。\n新規 " + std::to_string(report.added) + " ロット、訂正 " +
                         std::to_string(report.corrected) + " ロット、登録済み " + std::to_string(report.already) +
                         " ロット、" + PendingLotsText(report.waiting);
    else
        report.message = error + "\n" + PendingLotsText(report.waiting) + "は接続が戻ると送信されます。";
}

}  // namespace

std::string MissingCharacteristicText(const SheetArray& sheets)
{
    std::string text;
    for (const SheetRecord& sheet : sheets) {
        if (SheetLotsOf(sheet).empty())
            continue;
        const std::pair<const std::string*, const char*> fields[] = {{&sheet.product, "品種名称"},
                                                                     {&sheet.process, "工程名称"},
                                                                     {&sheet.machine, "装置名称"},
                                                                     {&sheet.label, "項目名称"}};
        std::string missing;
        for (const auto& [value, name] : fields)
            if (IsBlank(*value))
                missing += (missing.empty() ? "「" : "」・「") + std::string(name);
        if (!missing.empty())
            text += "シート「" + (IsBlank(sheet.label) ? std::string("(無題)") : sheet.label) + "」の" + missing +
                    "」が入力されていません。\n";
    }
    if (!text.empty())
        text += "品種・工程・装置・項目を入力してから送信してください。何も送信していません。";
    return text;
}

bool PublishSheets(const SheetArray& sheets, const std::vector<std::string>& scopes, const StoreLocation& where,
                   const std::string& outboxPath, const Publisher& publisher, PublishReport& report,
                   const std::function<void(int, int)>& progress)
{
    report = PublishReport{};
    report.message = MissingCharacteristicText(sheets);
    if (!report.message.empty()) {
        report.waiting = std::max<std::int64_t>(WaitingLots(outboxPath), 0);
        return false;
    }
    std::string error;
    std::unique_ptr<Outbox> outbox = Outbox::open(outboxPath, error);
    if (!outbox) {
        report.message = error;
        return false;
    }
    const int total = static_cast<int>(sheets.size());
    for (int i = 0; i < total; ++i) {
        const SheetRecord& sheet = sheets[static_cast<size_t>(i)];
        const std::string scope = static_cast<size_t>(i) < scopes.size() ? scopes[static_cast<size_t>(i)] : "";
        int queued = 0;
        const std::vector<SheetLot> lots = SheetLotsOf(sheet);
        if (!outbox->queue(CharacteristicOf(sheet), SpecificationOf(sheet), scope, lots, publisher, &queued)) {
            report.message = outbox->lastError();
            return false;
        }
        report.queued += queued;
        report.already += static_cast<std::int64_t>(lots.size()) - queued;
        if (progress)
            progress(i + 1, total);
    }
    Finish(*outbox, where, report);
    return true;
}

PublishReport ForwardWaiting(const StoreLocation& where, const std::string& outboxPath)
{
    PublishReport report;
    std::string error;
    std::unique_ptr<Outbox> outbox = Outbox::open(outboxPath, error);
    if (!outbox)
        report.message = error;
    else
        Finish(*outbox, where, report);
    return report;
}

std::int64_t WaitingLots(const std::string& outboxPath)
{
    if (!QFileInfo::exists(QString::fromStdString(outboxPath)))
        return 0;
    std::string error;
    std::unique_ptr<Outbox> outbox = Outbox::open(outboxPath, error);
    return outbox ? outbox->pending() : -1;
}

bool PublishLimitSet(const StoreLocation& where, const SheetRecord& sheet, const LimitSet& limits, std::string& error)
{
    std::unique_ptr<PlantStore> store = PlantStore::open(where, error);
    if (!store)
        return false;
    const Characteristic characteristic = CharacteristicOf(sheet);
    std::vector<LimitSet> history;
    if (!store->checkSchema() || !store->limitHistory(characteristic, history)) {
        error = store->lastError();
        return false;
    }
    // The set already in force (an engineer's revision the sheet shows, or
    // what another station sent) is not stored again: a copy would take the
    // revision's place in force without its reason.
    const LimitSet* inForce = LimitSetInForce(history, limits.effectiveFrom);
    if (inForce && inForce->method == limits.method && inForce->values == limits.values)
        return true;
    if (!store->publishLimits(characteristic, limits)) {
        error = store->lastError();
        return false;
    }
    return true;
}

bool ListCharacteristics(const StoreLocation& where, const std::string& search, std::vector<CharacteristicSummary>& out,
                         std::string& error)
{
    std::unique_ptr<PlantStore> store = PlantStore::open(where, error);
    if (!store)
        return false;
    if (!store->checkSchema() || !store->characteristics(search, out)) {
        error = store->lastError();
        return false;
    }
    return true;
}

bool OpenCharacteristic(const StoreLocation& where, const Characteristic& characteristic, SheetRecord& sheet,
                        LotHistory& history, std::string& error)
{
    std::unique_ptr<PlantStore> store = PlantStore::open(where, error);
    if (!store)
        return false;
    std::vector<LimitSet> revisions;
    if (!store->checkSchema() || !store->newestLots(characteristic, kMaxLots, history) ||
        !store->limitHistory(characteristic, revisions)) {
        error = store->lastError();
        return false;
    }
    // The limits shown are those in force now, also when they were revised
    // after the newest lot: the last of the history (oldest effective first)
    // that has taken effect.
    if (const LimitSet* now = LimitSetInForce(revisions, StationNowMillis())) {
        history.limits = *now;
        history.hasLimits = true;
    }
    sheet = SheetFromHistory(characteristic, history);
    return true;
}

void ApplyArrivals(LotHistory& history, const std::vector<StoredLot>& arrived, size_t maxLots)
{
    std::unordered_map<std::string, size_t> at;
    for (size_t i = 0; i < history.lots.size(); ++i)
        at[history.lots[i].id] = i;
    for (const StoredLot& lot : arrived) {
        history.lastSeq = std::max(history.lastSeq, lot.seq);
        auto it = lot.supersedes.empty() ? at.end() : at.find(lot.supersedes);
        if (it != at.end()) {
            history.lots[it->second] = lot;
            at[lot.id] = it->second;
            continue;
        }
        // Lots arrive mostly newest last; one that belongs earlier moves in.
        auto pos = std::upper_bound(history.lots.begin(), history.lots.end(), lot,
                                    [](const StoredLot& a, const StoredLot& b) { return a.orderKey < b.orderKey; });
        history.lots.insert(pos, lot);
        at.clear();
        for (size_t i = 0; i < history.lots.size(); ++i)
            at[history.lots[i].id] = i;
    }
    if (history.lots.size() > maxLots)
        history.lots.erase(history.lots.begin(), history.lots.end() - static_cast<std::ptrdiff_t>(maxLots));
}

}  // namespace trevolo
