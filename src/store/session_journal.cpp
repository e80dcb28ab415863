#include "store/session_journal.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QCoreApplication>
#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "model/cellstore.h"
#include "model/sheetio.h"
#include "store/sql_journal_store.h"

namespace trevolo {

namespace {

// Texts are written with their length in front ("<length>:<bytes>"), so any
// byte, a line break or a comma included, comes back as it was.
void Put(std::string& out, std::string_view s)
{
    out += std::to_string(s.size());
    out += ':';
    out += s;
}

void PutInt(std::string& out, long long v)
{
    Put(out, std::to_string(v));
}

bool Get(std::string_view& in, std::string& s)
{
    const size_t colon = in.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    size_t len = 0;
    const auto [end, ec] = std::from_chars(in.data(), in.data() + colon, len);
    if (ec != std::errc() || end != in.data() + colon || len > in.size() - colon - 1)
        return false;
    s.assign(in.substr(colon + 1, len));
    in.remove_prefix(colon + 1 + len);
    return true;
}

bool GetInt(std::string_view& in, long long& v)
{
    std::string s;
    if (!Get(in, s))
        return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size();
}

constexpr std::string_view kSheetTag = "trevolo-sheet-1";
constexpr std::string_view kHeaderTag = "trevolo-header-1";

bool GetList(std::string_view& in, std::vector<std::string>& list)
{
    long long count = 0;
    if (!GetInt(in, count) || count < 0 || count > kMaxLots)
        return false;
    list.resize(static_cast<size_t>(count));
    for (std::string& s : list)
        if (!Get(in, s))
            return false;
    return true;
}

}  // namespace

std::string EncodeSheet(const SheetRecord& s)
{
    std::string out;
    size_t size = 256;
    for (const std::string& l : s.dataList)
        size += l.size() + 8;
    out.reserve(size + s.checkList.size() * 4);
    Put(out, kSheetTag);
    for (const std::string* t : {&s.product, &s.process, &s.machine, &s.label, &s.unit, &s.specKindText, &s.decimals,
                                 &s.upperSpec, &s.lowerSpec})
        Put(out, *t);
    PutInt(out, s.lots);
    PutInt(out, s.n);
    PutInt(out, s.hasLists ? 1 : 0);
    PutInt(out, static_cast<long long>(s.checkList.size()));
    for (const std::string& l : s.checkList)
        Put(out, l);
    PutInt(out, static_cast<long long>(s.dataList.size()));
    for (const std::string& l : s.dataList)
        Put(out, l);
    // The stored lots of a sheet opened from the plant store follow; a sheet
    // without them is written as before.
    if (!s.storeRefs.empty()) {
        PutInt(out, static_cast<long long>(s.storeRefs.size()));
        for (const std::string& l : s.storeRefs)
            Put(out, l);
    }
    return out;
}

std::optional<SheetRecord> DecodeSheet(const std::string& text)
{
    std::string_view in = text;
    std::string tag;
    if (!Get(in, tag) || tag != kSheetTag)
        return std::nullopt;
    SheetRecord s;
    for (std::string* t : {&s.product, &s.process, &s.machine, &s.label, &s.unit, &s.specKindText, &s.decimals,
                           &s.upperSpec, &s.lowerSpec})
        if (!Get(in, *t))
            return std::nullopt;
    long long row = 0, col = 0, lists = 0;
    if (!GetInt(in, row) || !GetInt(in, col) || !GetInt(in, lists) || row < 0 || row > kMaxLots || col < 0 ||
        col > kMaxN)
        return std::nullopt;
    s.lots = static_cast<std::int32_t>(row);
    s.n = static_cast<std::int32_t>(col);
    s.hasLists = lists != 0;
    if (!GetList(in, s.checkList) || !GetList(in, s.dataList) || (!in.empty() && !GetList(in, s.storeRefs)) ||
        !in.empty())
        return std::nullopt;
    return s;
}

std::string EncodeHeader(const SheetHeader& h)
{
    std::string out;
    Put(out, kHeaderTag);
    for (const std::string* t : {&h.product, &h.process, &h.machine, &h.label, &h.unit})
        Put(out, *t);
    Put(out, SpecKindText(IndexOf(h.specKind)));
    for (const std::string* t : {&h.decimals, &h.upper, &h.lower})
        Put(out, *t);
    return out;
}

bool ApplyHeader(const std::string& text, SheetRecord& s)
{
    std::string_view in = text;
    std::string tag;
    std::array<std::string, 9> t;
    if (!Get(in, tag) || tag != kHeaderTag)
        return false;
    for (std::string& f : t)
        if (!Get(in, f))
            return false;
    if (!in.empty())
        return false;
    s.product = std::move(t[0]);
    s.process = std::move(t[1]);
    s.machine = std::move(t[2]);
    s.label = std::move(t[3]);
    s.unit = std::move(t[4]);
    s.specKindText = std::move(t[5]);
    s.decimals = std::move(t[6]);
    s.upperSpec = std::move(t[7]);
    s.lowerSpec = std::move(t[8]);
    return true;
}

std::optional<RecoveredWorkbook> ComposeWorkbook(const JournalContent& c)
{
    RecoveredWorkbook w;
    if (c.sheetCount <= 0)
        return w;
    const int count = std::min(c.sheetCount, kMaxSheets);
    w.sheets.resize(static_cast<size_t>(count));
    w.shown = c.shown >= 0 && c.shown < count ? c.shown : -1;
    for (const auto& [index, text] : c.sheets) {
        if (index < 0 || index >= count)
            continue;
        std::optional<SheetRecord> s = DecodeSheet(text);
        if (!s)
            return std::nullopt;
        w.sheets[static_cast<size_t>(index)] = std::move(*s);
    }

    // The edits of each sheet, in the order they were written, on the tables
    // of its latest record.
    std::map<int, std::vector<const JournalEntry*>> bySheet;
    for (const JournalEntry& e : c.entries)
        if (e.sheet >= 0 && e.sheet < count && w.sheets[static_cast<size_t>(e.sheet)].hasLists)
            bySheet[e.sheet].push_back(&e);
    for (const auto& [index, edits] : bySheet) {
        SheetRecord& s = w.sheets[static_cast<size_t>(index)];
        const int lots = std::clamp<int>(s.lots, 0, kMaxLots);
        const int n = std::clamp<int>(s.n, 0, kMaxN);
        CellStore ctrl(2), edit(kMaxN), calc(1), spc(1);
        LoadListsToTables(s, n, ctrl, edit, calc, spc);
        for (const JournalEntry* e : edits) {
            if (e->kind == JournalEdit::Header) {
                if (!ApplyHeader(e->text, s))
                    return std::nullopt;
                continue;
            }
            if (e->row < 1 || e->row > lots)
                continue;
            switch (e->kind) {
            case JournalEdit::Value:
                if (e->col >= 0 && e->col < n)
                    edit.setText(e->col, e->row, e->text);
                break;
            case JournalEdit::LotLabel:
                ctrl.setText(0, e->row, e->text);
                break;
            case JournalEdit::LotSwitch:
                ctrl.setFlag(1, e->row, e->text == "1");
                break;
            case JournalEdit::Header:
                break;
            }
        }
        StoreTablesToSheet(ctrl, edit, lots, n, s);
    }
    return w;
}

// ---- SessionJournal ----

SessionJournal::SessionJournal(std::unique_ptr<JournalStore> store, SheetSession& session)
    : store_(std::move(store)), session_(session)
{
    session_.addListener(this);
}

SessionJournal::~SessionJournal()
{
    session_.removeListener(this);
    if (inTransaction_)
        store_->rollback();
}

void SessionJournal::fail()
{
    if (failed_)
        return;
    failed_ = true;
    const std::string why = store_->lastError();
    if (inTransaction_)
        store_->rollback();
    inTransaction_ = false;
    shownPending_ = false;
    if (onFailure)
        onFailure(why);
}

bool SessionJournal::ensureTransaction()
{
    written_ = true;
    if (inTransaction_)
        return true;
    if (!store_->begin()) {
        fail();
        return false;
    }
    inTransaction_ = true;
    return true;
}

void SessionJournal::writeEntry(JournalEntry e)
{
    if (depth_ > 0 && !ensureTransaction())
        return;
    if (!store_->putEntry(e))
        fail();
    written_ = true;
}

void SessionJournal::writeShownRecord()
{
    shownPending_ = false;
    const int shown = shownSheet ? shownSheet() : -1;
    if (shown < 0 || failed_)
        return;
    SheetRecord record;
    session_.store(record);
    record.hasLists = true;
    const bool own = depth_ == 0;
    if (!ensureTransaction())
        return;
    if (!store_->putSheet(shown, EncodeSheet(record)) ||
        !store_->putWorkbook(sheetCount ? sheetCount() : shown + 1, shown)) {
        fail();
        return;
    }
    current_ = shown;
    lots_ = session_.lots();
    n_ = session_.columns();
    if (own) {
        inTransaction_ = false;
        if (!store_->commit())
            fail();
    }
}

void SessionJournal::sessionChanged(unsigned what, int col, int row)
{
    if (failed_)
        return;
    const int shown = shownSheet ? shownSheet() : -1;
    if (shown < 0)
        return;
    // Another sheet is being shown: until its record is written, what the
    // tables and fields go through belongs to no sheet's edits.
    // The dimensions change the record; the result tables' shapes do not.
    const bool resized = (what & ChangedShape) && (session_.lots() != lots_ || session_.columns() != n_);
    if (shown != current_ || (what & ChangedSheet) || resized)
        shownPending_ = true;
    if (what & (ChangedValues | ChangedLots)) {
        if (col < 0 || row < 1) {
            shownPending_ = true;
        } else if (!shownPending_) {
            // One cell: one small row (a pending record will hold it anyway).
            JournalEntry e;
            e.sheet = shown;
            e.col = col;
            e.row = row;
            if (what & ChangedValues) {
                e.kind = JournalEdit::Value;
                e.text = session_.valueCells().text(col, row);
            } else if (col == 0) {
                e.kind = JournalEdit::LotLabel;
                e.text = session_.lotCells().text(0, row);
            } else {
                e.kind = JournalEdit::LotSwitch;
                e.text = session_.lotCells().flag(1, row) ? "1" : "0";
            }
            writeEntry(std::move(e));
        }
    }
    if ((what & ChangedHeader) && !shownPending_) {
        JournalEntry e;
        e.sheet = shown;
        e.kind = JournalEdit::Header;
        e.text = EncodeHeader(session_.header());
        writeEntry(std::move(e));
    }
    if (shownPending_ && depth_ == 0)
        writeShownRecord();
}

void SessionJournal::syncIfWritten()
{
    if (!written_ || failed_ || depth_ > 0)
        return;
    written_ = false;
    if (!store_->sync())
        fail();
}

void SessionJournal::writeShownNow()
{
    if (shownPending_ && !failed_)
        writeShownRecord();
}

void SessionJournal::beginBatch()
{
    ++depth_;
}

void SessionJournal::endBatch()
{
    if (depth_ <= 0 || --depth_ > 0)
        return;
    if (failed_)
        return;
    // The command is over: the shown sheet as it now stands, then the commit.
    depth_ = 1;
    if (shownPending_)
        writeShownRecord();
    depth_ = 0;
    if (inTransaction_) {
        inTransaction_ = false;
        if (!store_->commit())
            fail();
    }
}

void SessionJournal::writeSheets(const SheetArray& sheets, int first, int last)
{
    if (failed_)
        return;
    const int count = static_cast<int>(sheets.size());
    if (last < 0 || last > count)
        last = count;
    const bool own = depth_ == 0;
    if (!ensureTransaction())
        return;
    for (int i = std::max(first, 0); i < last; ++i)
        if (!store_->putSheet(i, EncodeSheet(sheets[static_cast<size_t>(i)]))) {
            fail();
            return;
        }
    const int shown = shownSheet ? shownSheet() : -1;
    if (!store_->putWorkbook(count, shown)) {
        fail();
        return;
    }
    if (own) {
        inTransaction_ = false;
        if (!store_->commit())
            fail();
    }
}

void SessionJournal::writeWorkbook(const SheetArray& sheets)
{
    JournalBatch batch(this);
    writeSheets(sheets, 0);
    shownPending_ = true;
}

// ---- JournalFile ----

namespace {

constexpr const char* kPrefix = "trevolo-";
constexpr const char* kSuffix = ".journal";

QString LockPath(const QString& path)
{
    return path + QStringLiteral(".lock");
}

// The engine keeps its log and index beside the journal under these names.
const QStringList& EngineSuffixes()
{
    static const QStringList s{QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")};
    return s;
}

// The journals this process holds: after a restart, this process may have
// the number of the copy that left a journal, and its lock then names a
// running process; only a journal held here is really in use.
std::set<QString>& HeldHere()
{
    static std::set<QString> held;
    return held;
}

}  // namespace

JournalFile::JournalFile(QString path, std::unique_ptr<QLockFile> lock) : path_(std::move(path)), lock_(std::move(lock))
{
    HeldHere().insert(path_);
}

JournalFile::~JournalFile()
{
    HeldHere().erase(path_);
}

std::unique_ptr<JournalFile> JournalFile::create(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return nullptr;
    const QString base = QDir(folder).filePath(QString::fromLatin1(kPrefix) +
                                               QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') +
                                               QString::number(QDateTime::currentMSecsSinceEpoch()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = base + (attempt ? QLatin1Char('-') + QString::number(attempt) : QString()) +
                             QString::fromLatin1(kSuffix);
        if (QFileInfo::exists(path))
            continue;
        auto lock = std::make_unique<QLockFile>(LockPath(path));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            continue;
        if (QFileInfo::exists(path))  // made between the look and the lock
            continue;
        return std::unique_ptr<JournalFile>(new JournalFile(path, std::move(lock)));
    }
    return nullptr;
}

std::vector<std::unique_ptr<JournalFile>> JournalFile::claimLeft(const QString& folder)
{
    std::vector<std::unique_ptr<JournalFile>> left;
    const QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList(
        {QString::fromLatin1(kPrefix) + QLatin1Char('*') + QString::fromLatin1(kSuffix)}, QDir::Files, QDir::Time);
    for (const QFileInfo& f : files) {
        auto lock = std::make_unique<QLockFile>(LockPath(f.absoluteFilePath()));
        // Only the lock of a copy that no longer runs can be taken: a running
        // copy holds its own.
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) {
            qint64 pid = 0;
            QString host, app;
            if (HeldHere().count(f.absoluteFilePath()) || lock->error() != QLockFile::LockFailedError ||
                !lock->getLockInfo(&pid, &host, &app) || pid != QCoreApplication::applicationPid() ||
                !lock->removeStaleLockFile() || !lock->tryLock(0))
                continue;
        }
        left.push_back(std::unique_ptr<JournalFile>(new JournalFile(f.absoluteFilePath(), std::move(lock))));
    }
    return left;
}

std::optional<RecoveredWorkbook> JournalFile::recover(std::string* error) const
{
    std::string why;
    auto store = SqlJournalStore::openFile(path_, true, &why);
    JournalContent content;
    if (store && !store->read(content))
        why = store->lastError();
    else if (store) {
        store->close();
        std::optional<RecoveredWorkbook> w = ComposeWorkbook(content);
        if (w)
            return w;
        why = "a sheet record of the journal is incomplete";
    }
    if (error)
        *error = why;
    return std::nullopt;
}

void JournalFile::remove()
{
    for (const QString& s : EngineSuffixes())
        QFile::remove(path_ + s);
    if (lock_)
        lock_->unlock();
    lock_.reset();
}

QString JournalFile::setAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target;
    for (int attempt = 0; attempt < 100; ++attempt) {
        target = path_ + QStringLiteral(".broken-") + stamp +
                 (attempt ? QLatin1Char('-') + QString::number(attempt) : QString());
        if (!QFileInfo::exists(target))
            break;
    }
    if (!QFile::rename(path_, target))
        return QString();
    for (const QString& s : EngineSuffixes())
        if (!s.isEmpty() && QFileInfo::exists(path_ + s))
            QFile::rename(path_ + s, target + s);
    if (lock_)
        lock_->unlock();
    lock_.reset();
    return target;
}

void JournalFile::abandon()
{
    if (lock_)
        lock_->unlock();
    lock_.reset();
}

}  // namespace trevolo
