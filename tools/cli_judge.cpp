#include "cli_judge.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include "cli_files.h"
#include "model/number.h"
#include "spc/rule_engine.h"
#include "stats/typed_limits.h"

namespace trevolo::cli {

namespace {

const char* VerdictOrEmpty(Verdict v)
{
    return VerdictText(v);
}

const char* ShownVerdict(Verdict v)
{
    return v == Verdict::None ? "－" : VerdictText(v);
}

// A number of the capability study, or null where it was not computed.
nlohmann::ordered_json Number(bool computed, double v)
{
    return computed ? nlohmann::ordered_json(v) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json IndexSetJson(const CapabilitySide& side, const CapabilityIndexSet& s)
{
    using json = nlohmann::ordered_json;
    json o;
    o["sigma"] = Number(s.computed, s.sigma);
    o[side.cp] = Number(s.computed, s.cp);
    o[side.cpk] = Number(s.computed, s.cpk);
    o[std::string(side.cp) + "_lower"] = Number(s.computed, s.cpLower);
    o[std::string(side.cpk) + "_lower"] = Number(s.computed, s.cpkLower);
    // The degrees of freedom of σ in both bounds.
    o["dof"] = Number(s.computed, s.dof);
    o["verdict"] = s.computed ? json(s.verdict) : json(nullptr);
    o["note"] = s.computed ? json(nullptr) : json(s.why);
    return o;
}

// "群内: σ 0.00979  Cp 1.703 (95%下限 1.520)  Cpk ... 工程能力あり（95%信頼）"
std::string IndexSetText(const CapabilitySide& side, const CapabilityIndexSet& s)
{
    std::string t = std::string(side.title) + ": ";
    if (!s.computed)
        return t + s.why;
    t += "σ " + FormatFixed(s.sigma, 5) + "  " + side.cpTitle + " " + FormatFixed(s.cp, 3) + " (95%下限 " +
         FormatFixed(s.cpLower, 3) + ")  " + side.cpkTitle + " " + FormatFixed(s.cpk, 3) + " (95%下限 " +
         FormatFixed(s.cpkLower, 3) + ")  " + s.verdict;
    return t;
}

}  // namespace

nlohmann::ordered_json CapabilityJson(const CapabilityStudy& c)
{
    using json = nlohmann::ordered_json;
    json o;
    o["values"] = c.values;
    o["mean"] = Number(c.values > 0 && c.why.empty(), c.mean);
    o["note"] = c.why.empty() ? json(nullptr) : json(c.why);
    o["within"] = IndexSetJson(kWithinSide, c.within);
    o["overall"] = IndexSetJson(kOverallSide, c.overall);
    return o;
}

nlohmann::ordered_json SheetJson(int sheet, const SheetJudgment& j)
{
    using json = nlohmann::ordered_json;
    json s;
    s["sheet"] = sheet;
    s["label"] = j.label;
    s["lots"] = j.lots;
    s["n"] = j.n;
    s["chart"] = kChartNames[static_cast<size_t>(std::clamp(j.chartKind, 0, 2))];
    json messages = json::array();
    for (const SessionMessage& m : j.messages)
        messages.push_back(m.text);
    s["messages"] = std::move(messages);
    s["error"] = j.error ? json(*j.error) : json(nullptr);
    json limits = json::object();
    for (int i = 0; i < kLimitFields; ++i)
        limits[kLimitFieldNames[static_cast<size_t>(i)]] = j.limits[static_cast<size_t>(i)];
    s["limits"] = std::move(limits);

    json marked = json::array();
    for (const CellPos& p : j.marked)
        marked.push_back(json::array({p.row, p.col}));
    s["spec"] = json{{"verdict", VerdictOrEmpty(j.spec)}, {"marked", std::move(marked)}};

    json calcRows = json::array();
    for (const CalcRow& row : j.calcRows)
        calcRows.push_back(json(row));
    s["calc"] = json{{"rows", std::move(calcRows)}, {"verdict", VerdictOrEmpty(j.calc)}};

    json spcRows = json::array();
    for (const SpcRow& row : j.spcRows)
        spcRows.push_back(json(row));
    s["spc"] = json{{"rows", std::move(spcRows)}, {"verdict", VerdictOrEmpty(j.spc)}};
    s["capability"] = CapabilityJson(j.capability);
    return s;
}

namespace {

// The heading of a sheet, its messages and its three verdicts.
void WriteSheetHeading(std::ostream& out, const std::string& file, int sheet, const SheetJudgment& j)
{
    out << "== " << file << "  シート" << sheet << "  「" << j.label << "」  " << j.lots << "ロット × n=" << j.n << "  "
        << kChartTexts[std::clamp(j.chartKind, 0, 2)] << "\n";
    for (const SessionMessage& m : j.messages) {
        const bool warning = m.kind == SessionMessage::Kind::Warning;
        out << "  [" << (warning ? "警告メッセージ" : "ガイドメッセージ") << "] " << m.text << "\n";
    }
    if (j.error)
        out << "  [エラー] " << *j.error << "\n";
    out << "  規格判定: " << ShownVerdict(j.spec) << "   不良率判定: " << ShownVerdict(j.calc)
        << "   SPC異常判定: " << ShownVerdict(j.spc) << "\n";
}

// The control limits of both sides, when any was set.
void WriteLimits(std::ostream& out, const SheetJudgment& j)
{
    const auto& l = j.limits;
    if (std::none_of(l.begin(), l.end(), [](const std::string& t) { return !t.empty(); }))
        return;
    out << "  管理限界値 X: 平均値 " << l[LimitXcl] << "  ＋３σ " << l[LimitUcl3] << "  ＋２σ " << l[LimitUcl2]
        << "  ＋１σ " << l[LimitUcl1] << "  －１σ " << l[LimitLcl1] << "  －２σ " << l[LimitLcl2] << "  －３σ "
        << l[LimitLcl3] << "\n";
    out << "  管理限界値 " << SpreadSideName(j.chartKind) << ": 平均値 " << l[LimitRcl] << "  ＋３σ "
        << l[LimitRsUcl3] << "  ＋２σ " << l[LimitRsUcl2] << "  ＋１σ " << l[LimitRsUcl1] << "\n";
}

// The label of a lot by its table row (from 1); empty past the labels.
std::string LotLabel(const SheetJudgment& j, int row)
{
    const size_t i = static_cast<size_t>(row - 1);
    return i < j.lotLabels.size() ? j.lotLabels[i] : std::string();
}

// Values outside the specification, lot by lot.
void WriteMarkedValues(std::ostream& out, const SheetJudgment& j)
{
    if (j.marked.empty())
        return;
    out << "  規格外の値:";
    int lastRow = -1;
    for (const CellPos& p : j.marked) {
        if (p.row != lastRow) {
            out << (lastRow < 0 ? " " : "; ") << LotLabel(j, p.row) << " ";
            lastRow = p.row;
        } else {
            out << ",";
        }
        out << "N" << p.col + 1;
    }
    out << "\n";
}

// Rows of the statistics table whose index lies below the threshold.
void WriteCalcFailures(std::ostream& out, const SheetJudgment& j)
{
    std::string calcList;
    for (const CalcRow& row : j.calcRows) {
        if (row[CalcVerdict] != kVerdictNg)
            continue;
        if (!calcList.empty())
            calcList += "; ";
        calcList += row[CalcLot] + " (CP " + row[CalcCp] + ", CPK " + row[CalcCpk] + ")";
    }
    if (!calcList.empty())
        out << "  不良率判定 ×: " << calcList << "\n";
}

// The titles of the rules that marked a lot of the SPC table, comma-separated.
std::string MarkedRules(const SpcRow& row, int chartKind)
{
    std::string rules;
    bool first = true;
    for (int c = 1; c <= 16; ++c) {
        if (row[static_cast<size_t>(c)] != kSpcMarkAbnormal)
            continue;
        if (!first)
            rules += ",";
        rules += SpcColumnTitle(c, chartKind);
        first = false;
    }
    return rules;
}

// Lots with an abnormal SPC result and the rules that marked them.
void WriteSpcAbnormalities(std::ostream& out, const SheetJudgment& j)
{
    std::string spcList;
    for (const SpcRow& row : j.spcRows) {
        if (row[kSpcVerdictColumn] != kSpcVerdictAbnormal)
            continue;
        if (!spcList.empty())
            spcList += "; ";
        spcList += row[0] + " (" + MarkedRules(row, j.chartKind) + ")";
    }
    if (!spcList.empty())
        out << "  SPC異常: " << spcList << "\n";
}

// The capability study: both index sets, or why it was not made.
void WriteCapability(std::ostream& out, const CapabilityStudy& c)
{
    if (!c.why.empty()) {
        out << "  工程能力: " << c.why << "\n";
    } else {
        out << "  工程能力 " << IndexSetText(kWithinSide, c.within) << "\n";
        out << "  工程能力 " << IndexSetText(kOverallSide, c.overall) << "\n";
    }
}

}  // namespace

void WriteSheetText(std::ostream& out, const std::string& file, int sheet, const SheetJudgment& j)
{
    WriteSheetHeading(out, file, sheet, j);
    WriteLimits(out, j);
    WriteMarkedValues(out, j);
    WriteCalcFailures(out, j);
    WriteSpcAbnormalities(out, j);
    WriteCapability(out, j.capability);
}

namespace {

// A part of the report: its text and, for a file that could not be read,
// the line for the error stream.
struct Piece {
    std::string out;
    std::string err;
};

// The report in pieces, written in the order they were added however late a
// piece is finished: text known when the file is listed goes in at once, a
// sheet's part when a worker has judged it. Whatever is finished at the
// front is written at once, so the error lines keep the files' order too.
class OrderedReport {
public:
    OrderedReport(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    void add(std::string text)
    {
        const std::lock_guard lock(mutex_);
        pieces_.emplace_back(Piece{std::move(text), {}});
        writeReady();
    }
    size_t reserve()
    {
        const std::lock_guard lock(mutex_);
        pieces_.emplace_back();
        return written_ + pieces_.size() - 1;
    }
    void fill(size_t piece, Piece text)
    {
        const std::lock_guard lock(mutex_);
        pieces_[piece - written_] = std::move(text);
        writeReady();
    }

private:
    void writeReady()
    {
        while (!pieces_.empty() && pieces_.front()) {
            out_ << pieces_.front()->out;
            err_ << pieces_.front()->err;
            pieces_.pop_front();
            ++written_;
        }
    }

    std::ostream& out_;
    std::ostream& err_;
    std::mutex mutex_;
    std::deque<std::optional<Piece>> pieces_;
    size_t written_ = 0;
};

// Work for a thread of the pool: a sheet of a workbook already read, or a
// CSV file, which the worker reads itself so that reading runs on every
// core and each sheet lives on one thread only.
struct SheetJob {
    size_t piece = 0;
    std::optional<SheetRecord> record;  // none: read the CSV file
    std::string file;
    int number = 0;
    bool firstInFile = false;
};

// The jobs handed from the lister to the workers. At most capacity wait, so
// the program holds about one sheet per worker besides the workbook being
// read.
class JobQueue {
public:
    explicit JobQueue(size_t capacity) : capacity_(capacity) {}

    void push(SheetJob job)
    {
        std::unique_lock lock(mutex_);
        space_.wait(lock, [this] { return jobs_.size() < capacity_; });
        jobs_.push_back(std::move(job));
        ready_.notify_one();
    }
    void close()
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        ready_.notify_all();
    }
    std::optional<SheetJob> pop()
    {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return closed_ || !jobs_.empty(); });
        if (jobs_.empty())
            return std::nullopt;
        SheetJob job = std::move(jobs_.front());
        jobs_.pop_front();
        space_.notify_one();
        return job;
    }

private:
    const size_t capacity_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable space_;
    std::deque<SheetJob> jobs_;
    bool closed_ = false;
};

std::string Dump(const nlohmann::ordered_json& v)
{
    return v.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// The reason a file read without error still cannot be judged: the asked
// worksheet is not in it.
std::string MissingSheet(int sheet, size_t sheets)
{
    if (sheet <= static_cast<int>(sheets))
        return {};
    return "ワークシート " + std::to_string(sheet) + " がありません（ファイルのワークシートは " +
           std::to_string(sheets) + " 枚です）。";
}

// The piece of a file that could not be read: its error line, and in JSON
// the end of the file's object with the reason.
Piece UnreadableFile(const std::string& file, const std::string& error, bool json)
{
    return {json ? "], \"error\": " + Dump(nlohmann::ordered_json(error)) + "}" : std::string(),
            "trevolo-cli: " + file + ": " + error + "\n"};
}

// One run of the batch judgment: a lister that reads the files in their
// order and hands their sheets to a pool of workers, each judging a sheet at
// a time into its reserved piece of the report.
class JudgeRun {
public:
    JudgeRun(const JudgeOptions& options, std::ostream& out, std::ostream& err)
        : options_(options),
          report_(out, err),
          workers_(options.jobs > 0 ? options.jobs : std::max(1, static_cast<int>(std::thread::hardware_concurrency()))),
          queue_(static_cast<size_t>(workers_))
    {
    }

    // Judges every file; the first failure of a worker is thrown again here
    // once every worker has stopped.
    void run()
    {
        std::vector<std::thread> pool;
        for (int w = 0; w < workers_; ++w)
            pool.emplace_back([this] { work(); });
        auto stopWorkers = [&] {
            queue_.close();
            for (std::thread& t : pool)
                t.join();
        };
        try {
            listFiles();
        } catch (...) {
            stopWorkers();
            throw;
        }
        stopWorkers();
        if (firstFailure_)
            std::rethrow_exception(firstFailure_);
    }

    // Closes the report with the JSON's end or the readable total; returns
    // the exit status.
    int finish()
    {
        if (options_.json) {
            report_.add("\n]}\n");
        } else {
            std::string total = "判定 " + std::to_string(sheets_) + " シート: 合格 " + std::to_string(passed_) +
                                ", 不合格 " + std::to_string(failed_) + ", 判定未完了 " + std::to_string(unfinished_);
            if (unreadable_)
                total += " (読めないファイルあり)";
            report_.add(total + "\n");
        }
        if (unreadable_)
            return kExitUnusable;
        return passed_ == sheets_ ? kExitPassed : kExitFailed;
    }

private:
    // Judges a sheet, counts its outcome and returns its part of the report.
    std::string judge(const SheetRecord& record, const SheetJob& job)
    {
        const SheetJudgment j = JudgeSheet(record, options_.settings, options_.limits ? &*options_.limits : nullptr);
        ++sheets_;
        if (j.passed())
            ++passed_;
        else if (j.spec == Verdict::Fail || j.calc == Verdict::Fail || j.spc == Verdict::Fail)
            ++failed_;
        else
            ++unfinished_;
        if (options_.json)
            return (job.firstInFile ? "\n" : ",\n") + Dump(SheetJson(job.number, j));
        std::ostringstream part;
        WriteSheetText(part, job.file, job.number, j);
        return std::move(part).str();
    }

    // A CSV file holds one sheet; its piece closes the file's JSON object.
    Piece judgeCsvFile(const SheetJob& job)
    {
        LoadedFile loaded = LoadCsvFile(job.file);
        if (loaded.error.empty())
            loaded.error = MissingSheet(options_.sheet, loaded.sheets.size());
        if (!loaded.error.empty()) {
            unreadable_ = true;
            return UnreadableFile(job.file, loaded.error, options_.json);
        }
        Piece piece;
        if (options_.sheet == 0 || options_.sheet == 1)
            piece.out = judge(loaded.sheets.front(), job);
        if (options_.json)
            piece.out += "]}";
        return piece;
    }

    // Each worker judges a job at a time and writes its part; a failure
    // leaves the piece empty and is kept for the lister.
    void work()
    {
        while (std::optional<SheetJob> job = queue_.pop()) {
            try {
                if (job->record) {
                    SheetRecord record = std::move(*job->record);
                    job->record.reset();
                    report_.fill(job->piece, {judge(record, *job), {}});
                } else {
                    report_.fill(job->piece, judgeCsvFile(*job));
                }
            } catch (...) {
                const std::lock_guard lock(failure_);
                if (!firstFailure_)
                    firstFailure_ = std::current_exception();
                report_.fill(job->piece, {});
            }
        }
    }

    // The files are listed here in their order; workbooks are read here too,
    // through the one spreadsheet engine of the run.
    void listFiles()
    {
        if (options_.json)
            report_.add("{\"files\": [");
        bool firstFile = true;
        for (const std::string& file : options_.files) {
            if (options_.json) {
                report_.add((firstFile ? "\n" : ",\n") + std::string("{\"file\": ") +
                            Dump(nlohmann::ordered_json(file)) + ", \"sheets\": [");
                firstFile = false;
            }
            if (IsWorkbookName(file))
                listWorkbook(file);
            else
                queue_.push({report_.reserve(), std::nullopt, file, 1, true});
        }
    }

    // Reads a workbook and hands each of its asked sheets to the workers.
    void listWorkbook(const std::string& file)
    {
        LoadedFile loaded = workbooks_.load(file);
        if (loaded.error.empty())
            loaded.error = MissingSheet(options_.sheet, loaded.sheets.size());
        if (!loaded.error.empty()) {
            unreadable_ = true;
            report_.fill(report_.reserve(), UnreadableFile(file, loaded.error, options_.json));
            return;
        }
        bool firstSheet = true;
        for (size_t i = 0; i < loaded.sheets.size(); ++i) {
            const int number = static_cast<int>(i) + 1;
            if (options_.sheet != 0 && number != options_.sheet)
                continue;
            // The record moves to its worker: a large workbook need not
            // stay in memory twice.
            queue_.push({report_.reserve(), std::move(loaded.sheets[i]), file, number, firstSheet});
            firstSheet = false;
        }
        if (options_.json)
            report_.add("]}");
    }

    const JudgeOptions& options_;
    WorkbookReader workbooks_;
    std::atomic<bool> unreadable_ = false;
    std::atomic<int> sheets_ = 0, passed_ = 0, failed_ = 0, unfinished_ = 0;
    OrderedReport report_;
    const int workers_;
    JobQueue queue_;
    std::mutex failure_;
    std::exception_ptr firstFailure_;
};

}  // namespace

int RunJudge(const JudgeOptions& options, std::ostream& out, std::ostream& err)
{
    JudgeRun run(options, out, err);
    run.run();
    const int status = run.finish();
    out.flush();
    return status;
}

}  // namespace trevolo::cli
