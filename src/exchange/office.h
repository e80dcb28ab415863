#pragma once
// The spreadsheet engine: LibreOffice Calc, a private instance started for
// one command and driven over its automation interface (UNO). This header
// is all the program sees of it; it names none of the office's own types.
//
// A command creates a SpreadsheetApp, works through the handles it gives
// (OfficeWorkbook, Worksheet, Range) and lets it go. Handles are cheap values; they
// stay usable until their workbook is closed or the application released.
// A failing call throws OfficeError (exchange/office_errors.h).
//
// A build without the office has the same front: there no office can be
// started, SpreadsheetApp::create gives nothing, and every command ends as
// it ends when the office does not start.
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/cellref.h"
#include "exchange/cellvalue.h"
#include "exchange/office_errors.h"

namespace trevolo {

// False in a build without the office. Commands that would check their
// input or copy files before starting an office ask first, so that there
// they end at once with kMsgOfficeNotStarted.
bool OfficeEngineBuilt() noexcept;

// The folder of the office program (soffice.bin, fundamentalrc). Set by
// SetOfficeProgramDir, else by the environment variable
// TREVOLO_OFFICE_PROGRAM, else /usr/lib/libreoffice/program.
std::string OfficeProgramDir();
// An empty text restores the default.
void SetOfficeProgramDir(std::string dir);

// True when a window can be shown (an X11 or Wayland display is set).
bool DisplayAvailable();

namespace office_detail {
struct Session;
struct Book;
}  // namespace office_detail

class Worksheet;
class Range;

// The look of one data series of a chart.
struct ChartSeriesStyle {
    int color = -1;        // 0xRRGGBB; -1 leaves the office's colour
    double lineWidth = 0;  // points; 0 leaves the default (line charts)
    bool markers = false;  // a symbol at every point (line charts)
};

// A chart drawn from blocks of cells, as templates lay them out. The first
// column of the first block gives the categories, the first row of every
// block the series names; every other column is one series.
struct ChartSpec {
    enum class Type { Line, Column };
    Type type = Type::Line;
    std::string name;                 // the object name a user sees
    int dataSheet = 0;                // worksheet of the blocks, from 1; 0 this one
    std::vector<std::string> blocks;  // A1 blocks, "A1:I1002"
    std::string title;
    std::string xAxisTitle;
    std::string yAxisTitle;
    double left = 10, top = 10, width = 480, height = 280;  // points
    std::vector<ChartSeriesStyle> series;                   // by series order
    int gapWidth = -1;                                      // column charts: gap between columns, percent
    int categoryRotation = 0;                               // degrees of the category labels
    bool legend = true;
};

// A block a chart draws from.
struct ChartBlock {
    int sheet = 1;        // from 1
    std::string address;  // absolute A1, "$A$1:$I$21"
    friend bool operator==(const ChartBlock&, const ChartBlock&) = default;
};

// What the instance is for, which decides how it ends.
enum class OfficeUse {
    // Import and export: hidden, headless; release closes every workbook
    // without saving and ends the office. The office also ends when this
    // program dies.
    Exchange,
    // Reports: started so it can be shown when a display is available; the
    // command hands it to the user with leaveOpenForUser(), then release
    // keeps it running, also after this program ends. Without that call
    // (a failed command) release ends it like an exchange instance.
    Report,
};

class OfficeWorkbook {
public:
    OfficeWorkbook() = default;

    int worksheetCount() const;
    // The i-th worksheet, i from 1.
    Worksheet worksheet(int index) const;

    // Writes the workbook to the file it came from.
    void save();
    // Writes the workbook to a new file, which it then belongs to; an
    // existing file is replaced. The format follows the extension: .xls
    // (Excel 97-2003), .ods, and .xlsx for .xlsx and any other name.
    void saveAs(const std::string& path);
    // Closes without saving and without asking.
    void close();
    bool isOpen() const noexcept;

    // Shows the workbook's window maximised and in front. Returns false
    // (and does nothing) when the instance has no display.
    bool show();

private:
    friend class SpreadsheetApp;
    explicit OfficeWorkbook(std::shared_ptr<office_detail::Book> b) : book_(std::move(b)) {}
    std::shared_ptr<office_detail::Book> book_;
};

class Worksheet {
public:
    Worksheet() = default;

    int index() const noexcept { return index_; }
    std::string name() const;
    void setName(std::string_view name);

    // A cell or the block between two corners, in A1 notation ("B5",
    // "$K$24"); the corners may come in any order. One text may also name a
    // block ("A5:CW1004").
    Range range(std::string_view a) const;
    Range range(std::string_view a, std::string_view b) const;

    // The bottom-right cell of the used area, the cell anything was ever
    // written to; (1, 1) for an empty worksheet.
    WorksheetPos usedEnd() const;

    // Embedded charts. A chart is found by its object name; a workbook in
    // the legacy .xls format keeps no names, so where no chart bears the
    // name the chart at position order (from 1, in the worksheet's order)
    // is taken instead. Width in points. Throws when there is no such chart.
    void setChartObjectWidth(std::string_view name, double points, int order = 0);
    double chartObjectWidth(std::string_view name, int order = 0) const;
    int chartObjectCount() const;
    // Adds a chart of the given block (for templates and tests).
    void addChart(std::string_view name, std::string_view first, std::string_view last);
    // Adds a chart as described (for templates).
    void addChart(const ChartSpec& spec);
    // The blocks a chart draws from (found as setChartObjectWidth finds it).
    std::vector<ChartBlock> chartBlocks(std::string_view name, int order = 0) const;

private:
    friend class OfficeWorkbook;
    Worksheet(std::shared_ptr<office_detail::Book> b, int index) : book_(std::move(b)), index_(index) {}
    std::shared_ptr<office_detail::Book> book_;
    int index_ = 0;  // from 1
};

class Range {
public:
    Range() = default;

    int rows() const noexcept { return lastRow_ - firstRow_ + 1; }
    int cols() const noexcept { return lastCol_ - firstCol_ + 1; }
    // The absolute A1 address, "$A$5:$CW$1004" or "$B$2" for one cell.
    std::string address() const;

    // The top-left cell.
    CellValue value() const;
    // Every cell, in one call.
    CellBlock values() const;
    // One value into every cell of the range.
    void setValue(const CellValue& v);
    // A block into the range in one call; the block must have the range's
    // size. Texts stay texts ("007" is not a number); empty texts clear.
    void setValues(const CellBlock& block);

    // The display format, written in Japanese-locale syntax ("0.000_ ").
    void setNumberFormatLocal(std::string_view format);
    std::string numberFormatLocal() const;

    // Removes the cells; the cells below move up.
    void deleteShiftUp();

    // Formulas into the range in one call; the block must have the range's
    // size. A text starting with "=" is a formula in the office's English
    // notation with ";" between arguments ("=AVERAGE(A1:A5)",
    // "=$'データ'.A1"); any other text is taken as typed; numbers as numbers.
    void setFormulas(const CellBlock& block);
    // The formula of the top-left cell in that notation; its content as
    // typed when it holds no formula.
    std::string formula() const;
    // Width of the range's columns, in points.
    void setColumnWidth(double points);

private:
    friend class Worksheet;
    std::shared_ptr<office_detail::Book> book_;
    int sheet_ = 0;                                                // from 1
    int firstRow_ = 1, firstCol_ = 1, lastRow_ = 1, lastCol_ = 1;  // from 1
};

class SpreadsheetApp {
public:
    // Starts a new private instance of the office, never a running one.
    // Returns nothing when the office is not installed or does not start;
    // nothing is thrown.
    static std::unique_ptr<SpreadsheetApp> create(OfficeUse use = OfficeUse::Exchange);

    // Release (see OfficeUse).
    ~SpreadsheetApp();
    SpreadsheetApp(const SpreadsheetApp&) = delete;
    SpreadsheetApp& operator=(const SpreadsheetApp&) = delete;

    OfficeUse use() const noexcept;
    // The office process.
    int processId() const noexcept;
    // True when the instance can show windows (a report instance on a display).
    bool canShow() const noexcept;
    // True while the office runs and, with a timeout, answers a call within
    // it. An office that does not answer in time is taken for hung and
    // killed, so that nothing waits on it any more.
    bool responds(std::chrono::milliseconds timeout = std::chrono::milliseconds(0)) noexcept;

    // The number of worksheets the next new workbook gets (at least 1).
    void setSheetsInNewWorkbook(int n);
    int sheetsInNewWorkbook() const noexcept;

    // A new workbook.
    OfficeWorkbook addWorkbook();
    // Opens a workbook file (.xls, .xlsx, .ods). A file that is not a
    // spreadsheet throws. readOnly leaves the file and its folder untouched.
    OfficeWorkbook openWorkbook(const std::string& path, bool readOnly = false);
    // Opens a CSV file of the exchange layout, in the encoding DetectCsvCharset
    // gives for its bytes.
    OfficeWorkbook openCsv(const std::string& path);

    // For a report: keep the office running for the user after release.
    // False (and nothing kept) when the instance cannot show its windows.
    bool leaveOpenForUser();

    // Closes every workbook without saving and ends the office.
    void quit();

private:
    explicit SpreadsheetApp(std::shared_ptr<office_detail::Session> s);
    std::shared_ptr<office_detail::Session> session_;
};

}  // namespace trevolo
