#include "cli_store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QUuid>
#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>

#include "cli_files.h"
#include "cli_judge.h"
#include "model/commatext.h"
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

// Lots loaded from files get ids made from what they are, so loading the
// same file again adds nothing.
std::string LoadedLotId(const std::string& station, const Characteristic& c, const SheetLot& lot)
{
    static const QUuid kNamespace(QStringLiteral("{7d0c2f4e-4a57-4b9e-9a6e-2f1c3e5d8b21}"));
    const std::string key = CommaTextJoin({station, c.product, c.process, c.machine, c.item, std::to_string(lot.row),
                                           lot.label, lot.enabled ? "1" : "0", lot.values});
    return QUuid::createUuidV5(kNamespace, QByteArray::fromStdString(key)).toString(QUuid::WithoutBraces).toStdString();
}

std::string IsoTime(std::int64_t ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs).toStdString();
}

int Push(PlantStore& store, const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    Publisher me = CurrentPublisher();
    if (!o.station.empty())
        me.station = o.station;
    WorkbookReader workbooks;
    int status = 0;
    for (const std::string& file : o.files) {
        std::string why;
        if (!CheckReadable(file, why)) {
            err << "trevolo-cli: " << file << ": " << why << "\n";
            status = kExitUnusable;
            continue;
        }
        const LoadedFile loaded = IsWorkbookName(file) ? workbooks.load(file) : LoadCsvFile(file);
        if (!loaded.error.empty()) {
            err << "trevolo-cli: " << file << ": " << loaded.error << "\n";
            status = kExitUnusable;
            continue;
        }
        for (size_t i = 0; i < loaded.sheets.size(); ++i) {
            const Struct_Sheet& sheet = loaded.sheets[i];
            LotBatch batch{CharacteristicOf(sheet), SpecificationOf(sheet), {}};
            const std::int64_t now = StationNowMillis();
            for (const SheetLot& l : SheetLotsOf(sheet)) {
                StoredLot lot;
                lot.id = LoadedLotId(me.station, batch.characteristic, l);
                lot.label = l.label;
                lot.enabled = l.enabled;
                lot.values = l.values;
                lot.valueCount = l.valueCount;
                lot.station = me.station;
                lot.operatorName = me.operatorName;
                lot.publishedAt = now;
                lot.orderKey = now * 1000 + l.row;
                batch.lots.push_back(std::move(lot));
            }
            int added = 0;
            if (!store.publish(batch, &added))
                return Fail(err, file + ": " + store.lastError());
            out << file << ": シート" << i + 1 << " 「" << sheet.Label << "」 " << added << " ロットを登録しました";
            if (added < static_cast<int>(batch.lots.size()))
                out << " (" << batch.lots.size() - static_cast<size_t>(added) << " ロットは登録済み)";
            out << "。\n";
        }
    }
    return status;
}

int Export(PlantStore& store, const StoreOptions& o, std::ostream& out, std::ostream& err)
{
    const Characteristic c{o.characteristic[0], o.characteristic[1], o.characteristic[2], o.characteristic[3]};
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
    return 0;
}

}  // namespace

namespace {

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
    if (o.action == "checkpoint")
        return Checkpoint(*store, o, out, err);
    return Verify(*store, o, out, err);
}

}  // namespace trevolo::cli
