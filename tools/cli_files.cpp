#include "cli_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "exchange/csv_reader.h"
#include "exchange/messages.h"
#include "stats/typed_limits.h"

#ifdef TREVOLO_HAVE_OFFICE
#include "exchange/exchange.h"
#include "exchange/office.h"
#endif

namespace trevolo::cli {

namespace {

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Opens a file for reading, or says why it cannot be read.
FileHandle OpenForReading(const std::string& path, std::string& error)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = ReadFailureReason(EISDIR);
        return FileHandle(nullptr, &std::fclose);
    }
    FileHandle f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f)
        error = ReadFailureReason(errno);
    return f;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error)
{
    FileHandle f = OpenForReading(path, error);
    if (!f)
        return false;
    char buf[1 << 16];
    size_t got = 0;
    while ((got = std::fread(buf, 1, sizeof buf, f.get())) > 0)
        bytes.append(buf, got);
    if (std::ferror(f.get())) {
        error = ReadFailureReason(errno ? errno : EIO);
        return false;
    }
    return true;
}

bool LoadTypedLimits(const std::string& path, std::array<std::string, kLimitFields>& limits, std::string& error)
{
    std::string text;
    if (!ReadWholeFile(path, text, error)) {
        error = "--limits " + path + ": " + error;
        return false;
    }
    std::string why;
    if (!ParseTypedLimits(text, limits, why)) {
        error = "--limits " + path + ": 管理限界値の指定が正しくありません。(" + why + ")";
        return false;
    }
    return true;
}

bool CheckReadable(const std::string& path, std::string& error)
{
    return OpenForReading(path, error) != nullptr;
}

bool IsWorkbookName(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".xls" || ext == ".xlsx" || ext == ".ods";
}

LoadedFile LoadCsvFile(const std::string& path)
{
    LoadedFile f;
    std::string bytes;
    if (!ReadWholeFile(path, bytes, f.error))
        return f;
    // The spreadsheet application opens an empty file as nothing to import.
    if (bytes.empty()) {
        f.error = "ファイルが空です。";
        return f;
    }
    f.sheets.push_back(SheetFromCsvBytes(bytes));
    return f;
}

LoadedRows LoadCsvRows(const std::string& path)
{
    LoadedRows f;
    std::string bytes;
    if (!ReadWholeFile(path, bytes, f.error))
        return f;
    f.sheets.push_back(ParseCsvText(DecodeCsvBytes(bytes)));
    return f;
}

#ifdef TREVOLO_HAVE_OFFICE

struct WorkbookReader::Engine {
    std::unique_ptr<SpreadsheetApp> app;
    bool failed = false;

    // The engine, started at the first workbook of the run; null with the
    // reason when it cannot be started.
    SpreadsheetApp* started(std::string& error)
    {
        if (!app && !failed) {
            app = SpreadsheetApp::create(OfficeUse::Exchange);
            failed = !app;
        }
        if (!app)
            error = kMsgOfficeNotStarted;
        return app.get();
    }
};

WorkbookReader::WorkbookReader() : engine_(std::make_unique<Engine>()) {}
WorkbookReader::~WorkbookReader() = default;

LoadedFile WorkbookReader::load(const std::string& path)
{
    LoadedFile f;
    if (!OpenForReading(path, f.error))
        return f;
    SpreadsheetApp* app = engine_->started(f.error);
    if (!app)
        return f;
    ImportResult r = ImportWorkbookSheets(*app, true, std::filesystem::absolute(path).string());
    if (r.status != ImportResult::Status::Ok) {
        f.error = r.message.text;
        if (!r.detail.empty())
            f.error += " (" + r.detail + ")";
        return f;
    }
    f.sheets = std::move(r.sheets);
    return f;
}

LoadedRows WorkbookReader::loadRows(const std::string& path, std::int64_t maxCells)
{
    LoadedRows f;
    if (!OpenForReading(path, f.error))
        return f;
    SpreadsheetApp* app = engine_->started(f.error);
    if (!app)
        return f;
    WorkbookRows r = ReadWorkbookRows(*app, std::filesystem::absolute(path).string(), maxCells);
    if (!r.ok)
        f.error = r.error;
    else
        f.sheets = std::move(r.sheets);
    return f;
}

#else

struct WorkbookReader::Engine {};

constexpr const char* kNoEngineText =
    "このプログラムはExcelブックを読み込めません（表計算エンジンなしで作られています）。"
    "シートをCSVファイルで保存してから判定してください…。";

WorkbookReader::WorkbookReader() = default;
WorkbookReader::~WorkbookReader() = default;

LoadedFile WorkbookReader::load(const std::string& path)
{
    LoadedFile f;
    if (!OpenForReading(path, f.error))
        return f;
    f.error = kNoEngineText;
    return f;
}

LoadedRows WorkbookReader::loadRows(const std::string& path, std::int64_t)
{
    LoadedRows f;
    if (!OpenForReading(path, f.error))
        return f;
    f.error = kNoEngineText;
    return f;
}

#endif

}  // namespace trevolo::cli
