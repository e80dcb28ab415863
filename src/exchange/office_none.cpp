// The engine of a build without the office. No office can be started:
// SpreadsheetApp::create gives nothing, so every command ends as it ends when
// the office does not start, with the same message. No handle here ever
// holds a workbook; a default one behaves as one whose workbook is closed.
#include "exchange/office.h"

// The worksheet a range lies on is read only by the calls of the real engine.
#ifdef __clang__
#pragma clang diagnostic ignored "-Wunused-private-field"
#endif

namespace trevolo {

namespace {

[[noreturn]] void Closed()
{
    throw OfficeError("the workbook is closed");
}

[[noreturn]] void NotStarted()
{
    throw OfficeError(kMsgOfficeNotStarted);
}

}  // namespace

bool OfficeEngineBuilt() noexcept
{
    return false;
}

// ---- the application: never created, so only create is ever called ----

std::unique_ptr<SpreadsheetApp> SpreadsheetApp::create(OfficeUse)
{
    return nullptr;
}

SpreadsheetApp::~SpreadsheetApp() = default;
OfficeUse SpreadsheetApp::use() const noexcept
{
    return OfficeUse::Exchange;
}
int SpreadsheetApp::processId() const noexcept
{
    return -1;
}
bool SpreadsheetApp::canShow() const noexcept
{
    return false;
}
bool SpreadsheetApp::responds(std::chrono::milliseconds) noexcept
{
    return false;
}
void SpreadsheetApp::setSheetsInNewWorkbook(int) {}
int SpreadsheetApp::sheetsInNewWorkbook() const noexcept
{
    return 1;
}
OfficeWorkbook SpreadsheetApp::addWorkbook()
{
    NotStarted();
}
OfficeWorkbook SpreadsheetApp::openWorkbook(const std::string&, bool)
{
    NotStarted();
}
OfficeWorkbook SpreadsheetApp::openCsv(const std::string&)
{
    NotStarted();
}
bool SpreadsheetApp::leaveOpenForUser()
{
    return false;
}
void SpreadsheetApp::quit() {}

// ---- the handles: always empty ----

int OfficeWorkbook::worksheetCount() const
{
    Closed();
}
Worksheet OfficeWorkbook::worksheet(int) const
{
    Closed();
}
void OfficeWorkbook::save()
{
    Closed();
}
void OfficeWorkbook::saveAs(const std::string&)
{
    Closed();
}
void OfficeWorkbook::close() {}
bool OfficeWorkbook::isOpen() const noexcept
{
    return false;
}
bool OfficeWorkbook::show()
{
    Closed();
}

std::string Worksheet::name() const
{
    Closed();
}
void Worksheet::setName(std::string_view)
{
    Closed();
}
Range Worksheet::range(std::string_view) const
{
    Closed();
}
Range Worksheet::range(std::string_view, std::string_view) const
{
    Closed();
}
WorksheetPos Worksheet::usedEnd() const
{
    Closed();
}
void Worksheet::setChartObjectWidth(std::string_view, double, int)
{
    Closed();
}
double Worksheet::chartObjectWidth(std::string_view, int) const
{
    Closed();
}
int Worksheet::chartObjectCount() const
{
    Closed();
}
void Worksheet::addChart(std::string_view, std::string_view, std::string_view)
{
    Closed();
}
void Worksheet::addChart(const ChartSpec&)
{
    Closed();
}
std::vector<ChartBlock> Worksheet::chartBlocks(std::string_view, int) const
{
    Closed();
}

std::string Range::address() const
{
    Closed();
}
CellValue Range::value() const
{
    Closed();
}
CellBlock Range::values() const
{
    Closed();
}
void Range::setValue(const CellValue&)
{
    Closed();
}
void Range::setValues(const CellBlock&)
{
    Closed();
}
void Range::setNumberFormatLocal(std::string_view)
{
    Closed();
}
std::string Range::numberFormatLocal() const
{
    Closed();
}
void Range::deleteShiftUp()
{
    Closed();
}
void Range::setFormulas(const CellBlock&)
{
    Closed();
}
std::string Range::formula() const
{
    Closed();
}
void Range::setColumnWidth(double)
{
    Closed();
}

}  // namespace trevolo
