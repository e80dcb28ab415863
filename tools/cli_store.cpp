#include "cli_store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>

#include "cli_files.h"
#include "cli_judge.h"
#include "cli_watch.h"
#include "document/judgment_chain.h"
#include "exchange/layout_reader.h"
#include "model/commatext.h"
#include "model/number.h"
#include "store/lot_ledger.h"
#include "store/outbox.h"
#include "store/plant_store.h"
#include "store/store_commands.h"
#include "store/store_schema.h"

namespace trevolo::cli {

namespace {

int Fail(std::ostream& err, const std::string& message)
{
    err << "trevolo-cli: " << message << "\n";
    return kExitUnusable;
}

// A worksheet whose used area is larger is refused with its size: it is read
// in one block, and no sheet of lots comes near it.
constexpr std::int64_t kMaxWorksheetCells = 5'000'000;

// One sheet of a file as it goes into the store.
struct PushSheet {
    Characteristic characteristic;
    Specification specification;
    std::vector<SheetLot> lots;
    std::int32_t rows = 0;  // rows from the first lot's row to the last lot's
};

// Reads a file for the store: every sheet must be of the exchange layout,
// every value a number. False with the sheet of a workbook, the row and the
// column of the first fault.
bool ReadPushFile(const std::string& path, WorkbookReader& workbooks, std::vector<PushSheet>& sheets,
                  std::string& error)
{
    const LoadedRows loaded = IsWorkbookName(path) ? workbooks.loadRows(path, kMaxWorksheetCells) : LoadCsvRows(path);
    if (!loaded.error.empty()) {
        error = loaded.error;
        return false;
    }
    const bool workbook = IsWorkbookName(path);
    for (size_t i = 0; i < loaded.sheets.size(); ++i) {
        const std::vector<CsvRow>& rows = loaded.sheets[i];
        // An empty worksheet of a workbook holds nothing to store.
        if (workbook && std::all_of(rows.begin(), rows.end(), [](const CsvRow& r) {
                return std::all_of(r.begin(), r.end(), [](const std::string& c) { return IsBlank(c); });
            }))
            continue;
        LayoutSheet read;
        LayoutFault fault;
        if (!ReadLayoutRows(rows, read, fault)) {
            error = (workbook ? "シート" + std::to_string(i + 1) + " " : std::string()) +
                    std::to_string(fault.line) + " 行目" +
                    (fault.column > 0 ? " " + std::to_string(fault.column) + " 列目" : std::string()) + ": " +
                    fault.reason;
            return false;
        }
        const auto& h = read.header;
        PushSheet sheet{{h[0], h[1], h[2], h[3]}, {h[4], h[5], h[6], h[7], h[8]}, {}, 0};
        int decimals = 0;
        TryStrToInt(h[6], decimals);
        for (LayoutLot& l : read.lots) {
            // A value is kept as the sheet shows it ("10" and "10.0" as
            // "10.000" for 3 decimals), so a workbook and a CSV file of the
            // same lots agree with each other and with the window; a value
            // with more digits than that keeps them.
            for (std::string& v : l.values) {
                double value = 0, back = 0;
                if (v.empty() || !TryStrToFloat(v, value))
                    continue;
                std::string shown = FormatFixed(value, decimals);
                if (TryStrToFloat(shown, back) && back == value)
                    v = std::move(shown);
            }
            // As the window publishes: a lot is a row holding a value.
            if (std::all_of(l.values.begin(), l.values.end(), [](const std::string& v) { return v.empty(); }))
                continue;
            SheetLot lot;
            lot.label = l.label;
            lot.values = CommaTextJoin(l.values);
            lot.valueCount = static_cast<std::int32_t>(l.values.size());
            lot.row = l.line - 5;
            sheet.rows = lot.row + 1;
            sheet.lots.push_back(std::move(lot));
        }
        sheets.push_back(std::move(sheet));
    }
    if (sheets.empty()) {
        error = "シートがすべて空です。";
        return false;
    }
    return true;
}

// Stores the sheets of one file in one transaction, each lot by the ledger
// rule against what the station already stored: unchanged lots are skipped,
// changed ones correct the stored lot, lots no longer in the file stay.
bool PushFile(PlantStore& store, const std::string& path, const std::vector<PushSheet>& sheets,
              const Publisher& me, std::int64_t now, std::ostream& out, std::ostream& err)
{
    // The ledger of each characteristic, kept across the sheets of the
    // file so a second sheet of it corrects what the first one sent.
    std::map<std::vector<std::string>, LotLedger> ledgers;
    std::vector<LotBatch> batches;
    std::vector<std::string> lines;
    size_t planned = 0;
    for (size_t i = 0; i < sheets.size(); ++i) {
        const PushSheet& sheet = sheets[i];
        const Characteristic& c = sheet.characteristic;
        const std::vector<std::string> key = {c.product, c.process, c.machine, c.item};
        auto it = ledgers.find(key);
        if (it == ledgers.end()) {
            std::vector<StoredLot> stored;
            if (!store.stationLots(c, me.station, stored)) {
                err << "trevolo-cli: " << path << ": " << store.lastError() << "\n";
                return false;
            }
            std::int32_t rows = 0;
            for (const PushSheet& s : sheets)
                if (s.characteristic == c)
                    rows = std::max(rows, s.rows);
            it = ledgers.emplace(key, LedgerOfStoredLots(c, me.station, stored, rows)).first;
        }
        LotBatch batch{c, sheet.specification, {}};
        size_t corrections = 0;
        for (PlannedLot& p : PlanLots(c, sheet.lots, me, now, it->second)) {
            corrections += p.lot.supersedes.empty() ? 0 : 1;
            batch.lots.push_back(std::move(p.lot));
        }
        const size_t unchanged = sheet.lots.size() - batch.lots.size();
        std::string line = path + ": シート" + std::to_string(i + 1) + " 「" + c.item + "」 " +
                           std::to_string(batch.lots.size()) + " ロットを登録しました";
        std::vector<std::string> notes;
        if (corrections > 0)
            notes.push_back("うち訂正 " + std::to_string(corrections) + " ロット");
        if (unchanged > 0)
            notes.push_back(std::to_string(unchanged) + " ロットは登録済み");
        if (!notes.empty())
            line += " (" + notes.front() + (notes.size() > 1 ? "、" + notes.back() : std::string()) + ")";
        lines.push_back(line + "。");
        planned += batch.lots.size();
        if (!batch.lots.empty())
            batches.push_back(std::move(batch));
    }
    int inserted = 0;
    if (!batches.empty() && !store.publish(batches, &inserted)) {
        err << "trevolo-cli: " << path << ": " << store.lastError() << " このファイルのロットは登録していません。\n";
        return false;
    }
    for (const std::string& line : lines)
        out << line << "\n";
    if (static_cast<size_t>(inserted) < planned)
        out << path << ": " << planned - static_cast<size_t>(inserted) << " ロットは同じIDで登録済みでした。\n";
    return true;
}

// The lots of each characteristic of the files, in the files' order, with
// the specification of the first sheet that names it.
struct CharacteristicLots {
    Characteristic characteristic;
    LotHistory lots;
};

std::vector<CharacteristicLots> LotsByCharacteristic(const std::vector<std::vector<PushSheet>>& files)
{
    std::vector<CharacteristicLots> all;
    for (const std::vector<PushSheet>& sheets : files) {
        for (const PushSheet& sheet : sheets) {
            auto it = std::find_if(all.begin(), all.end(),
                                   [&](const CharacteristicLots& c) { return c.characteristic == sheet.characteristic; });
            if (it == all.end()) {
                all.push_back({sheet.characteristic, {}});
                it = all.end() - 1;
                it->lots.specification = sheet.specification;
            }
            for (const SheetLot& l : sheet.lots) {
                StoredLot lot;
                lot.label = l.label;
                lot.enabled = l.enabled;
                lot.values = l.values;
                lot.valueCount = l.valueCount;
                it->lots.lots.push_back(std::move(lot));
            }
        }
    }
    return all;
}

// The chart kind whose limits the store's rules judge a characteristic's
// lots against: the second chart its rule settings name; by default R, which
// a sheet of one value a lot shows as Rs.
int ChartKindOf(const RuleSetting& setting)
{
    return setting.spread == "S" ? ChartXbarS : setting.spread == "Rs" ? ChartXRs : ChartXbarR;
}

// The limit set pushed with the lots of each characteristic: the typed
// limits, or the limits the judgment computes from the pushed lots (the
// newest that fit a sheet) by the asked method, for the chart of the
// characteristic's rule settings. False with the reason when the store
// cannot tell those settings or a characteristic's lots give no limits.
bool LimitSetsOf(PlantStore& store, const std::vector<std::vector<PushSheet>>& files, const StoreOptions& o,
                 const std::optional<std::array<std::string, kLimitFields>>& typed, const Publisher& me,
                 std::int64_t from, std::vector<std::pair<Characteristic, LimitSet>>& sets, std::string& error)
{
    ChainSettings settings;
    settings.limitMethod = o.limitMethod == "coefficient" ? LimitCoefficient : LimitThreeSigma;
    for (CharacteristicLots& c : LotsByCharacteristic(files)) {
        LimitSet set;
        set.setBy = me.operatorName;
        set.effectiveFrom = from;
        if (typed) {
            set.method = kLimitTexts[LimitTyped];
            set.values = *typed;
        } else {
            set.method = kLimitTexts[settings.limitMethod];
            RuleSetting rules;
            if (!store.ruleSetting(c.characteristic, rules)) {
                error = store.lastError();
                return false;
            }
            settings.chartIndex = ChartKindOf(rules);
            const SheetJudgment j =
                JudgeSheet(SheetFromHistory(c.characteristic, c.lots), settings, nullptr);
            set.values = j.limits;
            if (std::all_of(set.values.begin(), set.values.end(), [](const std::string& v) { return IsBlank(v); })) {
                error = "「" + c.characteristic.item + "」のロットから管理限界を計算できません。";
                for (const SessionMessage& m : j.messages)
                    error += " " + m.text;
                return false;
            }
        }
        sets.emplace_back(c.characteristic, std::move(set));
    }
    return true;
}

// Sends the limit sets, each in a transaction of its own; a set equal to the
// one last stored for its characteristic (method and lines) is not sent
// again. sent counts the sets stored.
bool PublishLimitSets(PlantStore& store, const std::vector<std::pair<Characteristic, LimitSet>>& sets,
                      int& sent, std::ostream& out, std::ostream& err)
{
    for (const auto& [c, set] : sets) {
        std::vector<LimitSet> stored;
        if (!store.limitHistory(c, stored)) {
            err << "trevolo-cli: " << store.lastError() << "\n";
            return false;
        }
        if (!stored.empty() && stored.back().method == set.method && stored.back().values == set.values) {
            out << "「" << c.item << "」の管理限界 (" << set.method << ") は登録済みです。\n";
            continue;
        }
        if (!store.publishLimits(c, set)) {
            err << "trevolo-cli: 「" << c.item << "」: " << store.lastError() << "\n";
            return false;
        }
        ++sent;
        out << "「" << c.item << "」の管理限界 (" << set.method << ") を登録しました。\n";
    }
    return true;
}

int Push(PlantStore& store, const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    Publisher me = CurrentPublisher();
    if (!o.station.empty())
        me.station = o.station;
    // The limits file and every file of lots are read and checked before
    // anything is stored, so a refused file leaves the store as it was.
    std::optional<std::array<std::string, kLimitFields>> typed;
    if (!o.limitsFile.empty()) {
        std::array<std::string, kLimitFields> limits;
        std::string why;
        if (!LoadTypedLimits(o.limitsFile, limits, why)) {
            err << "trevolo-cli: " << why << "\n";
            err << "trevolo-cli: ファイルに誤りがあるため、何も登録していません。\n";
            return kExitUnusable;
        }
        typed = std::move(limits);
    }
    WorkbookReader workbooks;
    std::vector<std::vector<PushSheet>> files(o.files.size());
    for (size_t f = 0; f < o.files.size(); ++f) {
        std::string why;
        if (!CheckReadable(o.files[f], why) || !ReadPushFile(o.files[f], workbooks, files[f], why)) {
            err << "trevolo-cli: " << o.files[f] << ": " << why << "\n";
            err << "trevolo-cli: ファイルに誤りがあるため、何も登録していません。\n";
            return kExitUnusable;
        }
    }
    // A limit set goes first and is in force from the publishing time of
    // the first pushed lot, so the rules judge these lots against it.
    std::int64_t now = StationNowMillis();
    if (typed || !o.limitMethod.empty()) {
        std::vector<std::pair<Characteristic, LimitSet>> sets;
        std::string why;
        if (!LimitSetsOf(store, files, o, typed, me, now, sets, why)) {
            err << "trevolo-cli: " << why << "\n";
            err << "trevolo-cli: 何も登録していません。\n";
            return kExitUnusable;
        }
        int sent = 0;
        if (!PublishLimitSets(store, sets, sent, out, err)) {
            err << "trevolo-cli: " << (sent == 0 ? "何も登録していません。" : "ロットは登録していません。") << "\n";
            return kExitUnusable;
        }
    }
    for (size_t f = 0; f < o.files.size(); ++f) {
        // Later files are published later, never before the first.
        now = std::max(now, StationNowMillis());
        if (!PushFile(store, o.files[f], files[f], me, now, out, err)) {
            if (f > 0)
                err << "trevolo-cli: それより前のファイルは登録済みです。\n";
            return kExitUnusable;
        }
    }
    return 0;
}

Characteristic NamedCharacteristic(const StoreOptions& o)
{
    return {o.characteristic[0], o.characteristic[1], o.characteristic[2], o.characteristic[3]};
}

// The id of the characteristic named by --characteristic; false with the
// reason told when the store cannot say or never stored it.
bool FindNamedCharacteristic(PlantStore& store, const StoreOptions& o, std::int64_t& id, std::ostream& err)
{
    if (!store.characteristicId(NamedCharacteristic(o), id)) {
        Fail(err, store.lastError());
        return false;
    }
    if (id == 0) {
        Fail(err, "指定の特性はデータベースにありません: " + CommaTextJoin(o.characteristic));
        return false;
    }
    return true;
}

int Alarms(PlantStore& store, const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    std::int64_t cid = 0;
    if (!o.characteristic.empty() && !FindNamedCharacteristic(store, o, cid, err))
        return kExitUnusable;
    std::vector<Alarm> alarms;
    if (!store.alarms(cid, o.open, 0, alarms))
        return Fail(err, store.lastError());
    std::map<std::int64_t, WatchContext> contexts;
    for (const Alarm& a : alarms)
        if (!contexts.count(a.characteristicId) &&
            !ReadWatchContext(store, a.characteristicId, a.characteristic, contexts[a.characteristicId]))
            return Fail(err, store.lastError());
    if (o.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const Alarm& a : alarms)
            list.push_back(AlarmJson(a, contexts[a.characteristicId]));
        out << nlohmann::ordered_json{{"alarms", std::move(list)}}.dump(1, ' ', false,
                                                                      nlohmann::json::error_handler_t::replace)
            << "\n";
        return 0;
    }
    for (const Alarm& a : alarms)
        WriteAlarmText(out, a, contexts[a.characteristicId]);
    const auto open = std::count_if(alarms.begin(), alarms.end(), [](const Alarm& a) { return a.open(); });
    out << "アラーム " << alarms.size() << " 件 (未対応 " << open << " 件)\n";
    return 0;
}

int Notes(PlantStore& store, const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    std::int64_t cid = 0;
    if (!FindNamedCharacteristic(store, o, cid, err))
        return kExitUnusable;
    std::vector<LotNote> notes;
    WatchContext context;
    if (!store.notes(cid, notes) || !ReadWatchContext(store, cid, NamedCharacteristic(o), context))
        return Fail(err, store.lastError());
    if (o.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const LotNote& n : notes)
            list.push_back(NoteJson(n, context));
        out << nlohmann::ordered_json{{"characteristic", CharacteristicJson(context.characteristic)},
                                      {"notes", std::move(list)}}
                   .dump(1, ' ', false, nlohmann::json::error_handler_t::replace)
            << "\n";
        return 0;
    }
    for (const LotNote& n : notes)
        WriteNoteText(out, n, context);
    out << "メモ " << notes.size() << " 件\n";
    return 0;
}

// Shows a characteristic's rule settings, or with --set stores new ones
// (an engineer's right) read over those in force.
int Rules(PlantStore& store, const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    const Characteristic characteristic = NamedCharacteristic(o);
    RuleSetting setting;
    bool stored = false;
    if (!store.ruleSetting(characteristic, setting, &stored))
        return Fail(err, store.lastError());
    if (!o.rulesFile.empty()) {
        std::string text, error;
        if (!CheckReadable(o.rulesFile, error) || !ReadWholeFile(o.rulesFile, text, error) ||
            !ReadRuleSettingJson(text, setting, error))
            return Fail(err, "--set " + o.rulesFile + ": " + error);
        if (!store.setRuleSetting(characteristic, setting) ||
            !store.ruleSetting(characteristic, setting, &stored))
            return Fail(err, store.lastError() + " 何も登録していません。");
        out << "「" << characteristic.item << "」の判定ルールを登録しました。\n";
    }
    if (o.json)
        out << RuleSettingJson(characteristic, setting, stored).dump(1, ' ', false,
                                                                      nlohmann::json::error_handler_t::replace)
            << "\n";
    else
        WriteRuleSettingText(out, setting, stored);
    return 0;
}

// Writes the notes and the alarms with their answers of an exported
// characteristic beside its lots.
int ExportWatches(PlantStore& store, const StoreOptions& o, std::int64_t cid, std::ostream& out, std::ostream& err)
{
    std::vector<LotNote> notes;
    std::vector<Alarm> alarms;
    WatchContext context;
    if (!store.notes(cid, notes) || !store.alarms(cid, false, 0, alarms) ||
        !ReadWatchContext(store, cid, NamedCharacteristic(o), context))
        return Fail(err, store.lastError());
    const std::string notesFile = BesideExport(o.output, "notes");
    if (!WriteNotesCsv(notesFile, notes, context))
        return Fail(err, notesFile + ": ファイルに書き込めません。");
    out << notesFile << ": メモ " << notes.size() << " 件を書き出しました。\n";
    const std::string alarmsFile = BesideExport(o.output, "alarms");
    if (!WriteAlarmsCsv(alarmsFile, alarms, context))
        return Fail(err, alarmsFile + ": ファイルに書き込めません。");
    size_t answers = 0;
    for (const Alarm& a : alarms)
        answers += a.answers.size();
    out << alarmsFile << ": アラーム " << alarms.size() << " 件 (対応 " << answers << " 件) を書き出しました。\n";
    return 0;
}

int Export(PlantStore& store, const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    const Characteristic c = NamedCharacteristic(o);
    LotHistory h;
    if (!store.allLots(c, h))
        return Fail(err, store.lastError());
    if (h.characteristicId == 0)
        return Fail(err, "指定の特性はデータベースにありません: " + CommaTextJoin(o.characteristic));
    std::vector<LimitSet> limits;
    if (!store.limitHistory(c, limits))
        return Fail(err, store.lastError());
    std::ofstream f(o.output, std::ios::binary);
    if (!f)
        return Fail(err, o.output + ": ファイルに書き込めません。");
    f << CommaTextJoin({"品種名称", "工程名称", "装置名称", "項目名称", "測定単位", "規格種別", "小数桁数", "上限規格",
                        "下限規格"})
      << "\n"
      << CommaTextJoin({c.product, c.process, c.machine, c.item, h.specification.unit, h.specification.kind,
                        h.specification.decimals, h.specification.upper, h.specification.lower})
      << "\n"
      << CommaTextJoin({"ロットID", "ロット名", "有効", "ステーション", "作業者", "送信時刻", "受信時刻", "訂正元",
                        "管理限界", "測定値"})
      << "\n";
    for (const StoredLot& l : h.lots) {
        // The limit set in force when the lot was published: its method,
        // who set it and from when.
        const LimitSet* inForce = nullptr;
        for (const LimitSet& s : limits)
            if (s.effectiveFrom <= l.publishedAt)
                inForce = &s;
        const std::string limitText =
            inForce ? inForce->method + " " + inForce->setBy + " " + IsoTime(inForce->effectiveFrom) : "";
        std::string line = CommaTextJoin({l.id, l.label, l.enabled ? "1" : "0", l.station, l.operatorName,
                                          IsoTime(l.publishedAt), IsoTime(l.receivedAt), l.supersedes, limitText});
        line += "," + l.values;
        f << line << "\n";
    }
    f.close();
    if (!f)
        return Fail(err, o.output + ": ファイルに書き込めません。");
    out << o.output << ": " << h.lots.size() << " ロットを書き出しました。\n";
    return ExportWatches(store, o, h.characteristicId, out, err);
}

// Qt's own warnings ("QSqlQuery::exec: database not open") are English
// lines about what the tool already tells in its own words: they are kept
// off standard error unless TREVOLO_QT_MESSAGES is set.
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    static const bool show = qEnvironmentVariableIsSet("TREVOLO_QT_MESSAGES");
    if (show || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string s;
    for (const std::string& n : names)
        s += (s.empty() ? "" : "、") + n;
    return s;
}

int Init(PlantStore& store, const StoreLocation& where, const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    if (o.roles) {
        std::vector<std::string> created;
        bool granted = false;
        if (!store.createRoles(created, granted))
            return Fail(err, store.lastError());
        if (created.empty())
            out << where.text() << ": ロールはそろっています (trevolo_inspector、trevolo_engineer、trevolo_auditor)。\n";
        else
            out << where.text() << ": ロール " << JoinNames(created) << " を作成しました。\n";
        if (granted)
            out << "各ロールに権限を付与しました。\n";
        return 0;
    }
    int applied = 0;
    std::vector<std::string> missing;
    if (!store.init(&applied, &missing))
        return Fail(err, store.lastError());
    if (applied > 0)
        out << where.text() << ": データベースを準備しました (版 " << StoreSchemaVersion() << ")。\n";
    else
        out << where.text() << ": データベースは最新です (版 " << StoreSchemaVersion() << ")。\n";
    if (!missing.empty())
        out << "ロール " << JoinNames(missing)
            << " がまだありません。スーパーユーザーか CREATEROLE 権限のあるログインで trevolo-cli store init --roles "
               "--db URL を実行し、そのあとこのコマンドをもう一度実行してください。\n";
    return 0;
}

int Checkpoint(PlantStore& store, const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    trevolo::Checkpoint c;
    if (!store.checkpoint(o.keyFile, c))
        return Fail(err, store.lastError());
    out << "監査記録 " << c.auditRows << " 件 (番号 " << c.head.auditSeq << " まで) の検査点を登録しました。"
        << "次の行はデータベースの外にも保管してください。\n"
        << CheckpointText(c) << "\n";
    return 0;
}

int Verify(PlantStore& store, const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    VerifyOptions options;
    std::string error;
    if (!o.publicKey.empty() && !ReadPublicKey(o.publicKey, options.publicKey, error))
        return Fail(err, "--public-key: " + error);
    for (const std::string& file : o.checkpointFiles) {
        std::string text;
        if (!CheckReadable(file, error) || !ReadWholeFile(file, text, error))
            return Fail(err, "--checkpoint " + file + ": " + error);
        if (!ParseCheckpoints(text, options.checkpoints, error))
            return Fail(err, "--checkpoint " + file + ": " + error);
    }
    if (!o.outboxes.empty()) {
        std::string storeId;
        if (!store.storeId(storeId))
            return Fail(err, store.lastError());
        for (const std::string& file : o.outboxes) {
            if (!CheckReadable(file, error))
                return Fail(err, "--station-heads " + file + ": " + error);
            std::unique_ptr<Outbox> outbox = Outbox::open(file, error);
            std::vector<ChainHead> heads;
            if (!outbox || !outbox->keptHeads(storeId, heads))
                return Fail(err, "--station-heads " + file + ": " + (outbox ? outbox->lastError() : error));
            options.stationHeads.insert(options.stationHeads.end(), heads.begin(), heads.end());
        }
    }
    AuditReport report;
    if (!store.verify(report, options))
        return Fail(err, store.lastError());
    for (const std::string& p : report.problems)
        out << p << "\n";
    std::string against;
    if (report.checkpointsChecked > 0)
        against += "検査点 " + std::to_string(report.checkpointsChecked) + " 件";
    if (report.headsChecked > 0)
        against += (against.empty() ? "" : "、") + std::string("ステーションの記録 ") +
                   std::to_string(report.headsChecked) + " 件";
    if (!against.empty())
        against = " (" + against + "と照合)";
    if (!report.intact()) {
        out << "監査記録 " << report.rowsChecked << " 件を確認し" << against << "、" << report.problems.size()
            << " 件の不一致が見つかりました。\n";
        return 1;
    }
    out << "監査記録 " << report.rowsChecked << " 件を確認しました" << against << "。改ざんはありません。\n";
    return 0;
}

}  // namespace

int RunStore(const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    qInstallMessageHandler(QuietQtMessages);
    // Qt's SQL drivers are plugins of a Qt application.
    std::unique_ptr<QCoreApplication> app;
    static int argc = 1;
    static char name[] = "trevolo-cli";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);

    StoreLocation where;
    std::string error;
    if (!StoreLocation::parse(o.db, where, error))
        return Fail(err, "--db: " + error);
    // Only init makes a new SQLite store; the other commands leave no file
    // behind for a mistyped name.
    if (where.engine == StoreEngine::Sqlite && o.action != "init" &&
        !QFileInfo::exists(QString::fromStdString(where.path)))
        return Fail(err, "--db: データベースファイルがありません: " + where.path);
    std::unique_ptr<PlantStore> store = PlantStore::open(where, error);
    if (!store)
        return Fail(err, error);
    if (o.action == "init")
        return Init(*store, where, o, out, err);
    if (!store->checkSchema())
        return Fail(err, store->lastError());
    if (o.action == "push")
        return Push(*store, o, out, err);
    if (o.action == "export")
        return Export(*store, o, out, err);
    if (o.action == "alarms")
        return Alarms(*store, o, out, err);
    if (o.action == "notes")
        return Notes(*store, o, out, err);
    if (o.action == "rules")
        return Rules(*store, o, out, err);
    if (o.action == "checkpoint")
        return Checkpoint(*store, o, out, err);
    return Verify(*store, o, out, err);
}

}  // namespace trevolo::cli
