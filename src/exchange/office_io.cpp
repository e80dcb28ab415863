// Workbooks, worksheets, ranges and charts in the office: what a command
// reads and writes through the handles of office.h, each call through the
// bridge's guard.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include <com/sun/star/awt/Rectangle.hpp>
#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XTopWindow2.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/chart/ChartSymbolType.hpp>
#include <com/sun/star/chart/X3DDisplay.hpp>
#include <com/sun/star/chart/XAxisXSupplier.hpp>
#include <com/sun/star/chart/XAxisYSupplier.hpp>
#include <com/sun/star/chart/XChartDocument.hpp>
#include <com/sun/star/chart/XDiagram.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/XEmbeddedObjectSupplier.hpp>
#include <com/sun/star/drawing/LineStyle.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/drawing/XShapeDescriptor.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/CellDeleteMode.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangeFormula.hpp>
#include <com/sun/star/sheet/XCellRangeMovement.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableChart.hpp>
#include <com/sun/star/table/XTableCharts.hpp>
#include <com/sun/star/table/XTableChartsSupplier.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>

#include "exchange/cellref.h"
#include "exchange/csv.h"
#include "exchange/office.h"
#include "exchange/office_bridge.h"

namespace trevolo {

using namespace office_detail;

// ---------------------------------------------------------------------------
// Finding things in a workbook

namespace {

constexpr const char* kChartClassId = "12dcae26-281f-416f-a234-c3086127382e";

// The import filter the office chose for a loaded document.
std::string FilterOf(const Reference<css::lang::XComponent>& doc)
{
    Reference<css::frame::XModel> model(doc, UNO_QUERY);
    if (!model.is())
        return {};
    const Sequence<css::beans::PropertyValue> args = model->getArgs();
    for (sal_Int32 i = 0; i < args.getLength(); ++i) {
        if (args[i].Name == "FilterName") {
            rtl::OUString name;
            args[i].Value >>= name;
            return S(name);
        }
    }
    return {};
}

// A worksheet's chart shapes in draw-page order.
//
// Right after a shape reference was let go, the draw page may hand out a
// stale copy of it for a moment, with no class, no persist name and no
// name (the release travels to the office on its own); such a shape is
// fetched again until the office gives the live one.
std::vector<Reference<css::drawing::XShape>> ChartShapes(const Book& book,
                                                         const Reference<css::sheet::XSpreadsheet>& sheet)
{
    std::vector<Reference<css::drawing::XShape>> charts;
    Reference<css::drawing::XDrawPageSupplier> dps(sheet, UNO_QUERY_THROW);
    Reference<css::container::XIndexAccess> page(dps->getDrawPage(), UNO_QUERY_THROW);
    const sal_Int32 n = page->getCount();
    for (sal_Int32 i = 0; i < n; ++i) {
        Reference<css::drawing::XShape> shape;
        rtl::OUString clsid;
        for (int attempt = 0;; ++attempt) {
            shape.set(page->getByIndex(i), UNO_QUERY);
            Reference<css::drawing::XShapeDescriptor> desc(shape, UNO_QUERY);
            if (!desc.is() || desc->getShapeType() != "com.sun.star.drawing.OLE2Shape")
                break;
            Reference<css::beans::XPropertySet> props(shape, UNO_QUERY);
            rtl::OUString persist;
            if (props.is()) {
                props->getPropertyValue("CLSID") >>= clsid;
                props->getPropertyValue("PersistName") >>= persist;
            }
            if (!persist.isEmpty() || attempt >= 100) {
                book.pin(shape);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (clsid.equalsIgnoreAsciiCaseAscii(kChartClassId))
            charts.push_back(shape);
    }
    return charts;
}

Reference<css::drawing::XShape> FindChart(const Book& book, const Reference<css::sheet::XSpreadsheet>& sheet,
                                          std::string_view name, int order)
{
    const auto charts = ChartShapes(book, sheet);
    const rtl::OUString wanted = U(name);
    for (const auto& c : charts) {
        Reference<css::container::XNamed> named(c, UNO_QUERY);
        if (named.is() && named->getName() == wanted)
            return c;
    }
    if (order >= 1 && order <= static_cast<int>(charts.size()))
        return charts[static_cast<size_t>(order - 1)];
    throw OfficeError("there is no chart \"" + std::string(name) + "\"");
}

css::table::CellRangeAddress Address(int sheet, int firstRow, int firstCol, int lastRow, int lastCol)
{
    css::table::CellRangeAddress a;
    a.Sheet = static_cast<sal_Int16>(sheet - 1);
    a.StartColumn = firstCol - 1;
    a.StartRow = firstRow - 1;
    a.EndColumn = lastCol - 1;
    a.EndRow = lastRow - 1;
    return a;
}

// A1 text of one cell or of a block "A1:B2".
bool ParseArea(std::string_view text, WorksheetPos& a, WorksheetPos& b)
{
    const size_t colon = text.find(':');
    auto first = ParseCellRef(text.substr(0, colon));
    if (!first)
        return false;
    a = b = *first;
    if (colon != std::string_view::npos) {
        auto second = ParseCellRef(text.substr(colon + 1));
        if (!second)
            return false;
        b = *second;
    }
    return true;
}

const std::shared_ptr<Book>& Need(const std::shared_ptr<Book>& b)
{
    if (!b || !b->open())
        throw OfficeError("the workbook is closed");
    return b;
}

}  // namespace

// ---------------------------------------------------------------------------
// SpreadsheetApp: workbooks

OfficeWorkbook SpreadsheetApp::addWorkbook()
{
    return Call("new workbook", [&] {
        if (!session_->desktop.is())
            throw OfficeLost();
        Reference<css::frame::XComponentLoader> loader(session_->desktop, UNO_QUERY_THROW);
        Reference<css::lang::XComponent> doc =
            loader->loadComponentFromURL("private:factory/scalc", "_blank", 0, Props({Prop("Hidden", Any(true))}));
        if (!doc.is())
            throw OfficeError("the spreadsheet application made no workbook");
        auto book = session_->adopt(doc);
        Reference<css::sheet::XSpreadsheets> sheets = book->spreadsheet()->getSheets();
        Reference<css::container::XIndexAccess> index(sheets, UNO_QUERY_THROW);
        const int want = session_->sheetsInNew;
        int count = index->getCount();
        for (int k = 1; count < want; ++k) {
            const rtl::OUString name = U("Sheet" + std::to_string(k));
            if (sheets->hasByName(name))
                continue;
            sheets->insertNewByName(name, static_cast<sal_Int16>(count));
            ++count;
        }
        while (count > want) {
            Reference<css::container::XNamed> last(index->getByIndex(count - 1), UNO_QUERY_THROW);
            sheets->removeByName(last->getName());
            --count;
        }
        return OfficeWorkbook(book);
    });
}

OfficeWorkbook SpreadsheetApp::openWorkbook(const std::string& path, bool readOnly)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw OfficeError("the file \"" + path + "\" does not exist");
    // The office takes an empty file for a new document of its extension.
    if (std::filesystem::file_size(path, ec) == 0 || ec)
        throw OfficeError("the file \"" + path + "\" is empty");
    return Call("open \"" + path + "\"", [&] {
        if (!session_->desktop.is())
            throw OfficeLost();
        Reference<css::frame::XComponentLoader> loader(session_->desktop, UNO_QUERY_THROW);
        // No macros, no links fetched: the file is data only.
        Reference<css::lang::XComponent> doc = loader->loadComponentFromURL(
            U(FileUrl(path)), "_blank", 0,
            Props({Prop("Hidden", Any(true)), Prop("ReadOnly", Any(readOnly)),
                   Prop("MacroExecutionMode", Any(sal_Int16(0))), Prop("UpdateDocMode", Any(sal_Int16(0)))}));
        if (!doc.is())
            throw OfficeError("the file could not be opened");
        // A file the office reads only through its text import (an empty
        // file, plain text, CSV under another name) is no workbook.
        Reference<css::sheet::XSpreadsheetDocument> ss(doc, UNO_QUERY);
        const std::string filter = ss.is() ? FilterOf(doc) : std::string();
        if (!ss.is() || filter.empty() || filter.starts_with("Text")) {
            Book other;
            other.doc = doc;
            other.close();
            throw OfficeError("the file is not a workbook" + (filter.empty() ? "" : " (" + filter + ")"));
        }
        return OfficeWorkbook(session_->adopt(doc));
    });
}

OfficeWorkbook SpreadsheetApp::openCsv(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw OfficeError("the file \"" + path + "\" cannot be read");
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    // The office takes an empty file for a new, empty worksheet.
    if (bytes.empty())
        throw OfficeError("the file \"" + path + "\" is empty");
    const int charset = DetectCsvCharset(bytes);
    return Call("open \"" + path + "\"", [&] {
        if (!session_->desktop.is())
            throw OfficeLost();
        Reference<css::frame::XComponentLoader> loader(session_->desktop, UNO_QUERY_THROW);
        Reference<css::lang::XComponent> doc =
            loader->loadComponentFromURL(U(FileUrl(path)), "_blank", 0,
                                         Props({Prop("Hidden", Any(true)), Prop("ReadOnly", Any(true)),
                                                Prop("FilterName", Any(rtl::OUString("Text - txt - csv (StarCalc)"))),
                                                Prop("FilterOptions", Any(U(CsvFilterOptions(charset)))),
                                                Prop("MacroExecutionMode", Any(sal_Int16(0)))}));
        if (!doc.is())
            throw OfficeError("the file could not be opened");
        return OfficeWorkbook(session_->adopt(doc));
    });
}

// ---------------------------------------------------------------------------
// Workbook

int OfficeWorkbook::worksheetCount() const
{
    return Call("worksheet count", [&] { return static_cast<int>(Need(book_)->sheets()->getCount()); });
}

Worksheet OfficeWorkbook::worksheet(int index) const
{
    Call("worksheet", [&] { Need(book_)->sheet(index); });
    return Worksheet(book_, index);
}

void OfficeWorkbook::save()
{
    Call("save", [&] {
        Reference<css::frame::XStorable> st(Need(book_)->doc, UNO_QUERY_THROW);
        if (!st->hasLocation())
            throw OfficeError("the workbook has no file yet");
        st->store();
    });
}

void OfficeWorkbook::saveAs(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    // The office would create a missing folder; a save must not invent one.
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(path, ec).parent_path();
    if (!std::filesystem::is_directory(folder, ec))
        throw OfficeError("the folder \"" + folder.string() + "\" does not exist");
    const char* filter = "Calc MS Excel 2007 XML";
    if (ext == ".xls")
        filter = "MS Excel 97";
    else if (ext == ".ods")
        filter = "calc8";
    RemoveStaleOwnLock(std::filesystem::absolute(path, ec));
    Call("save \"" + path + "\"", [&] {
        Reference<css::frame::XStorable> st(Need(book_)->doc, UNO_QUERY_THROW);
        st->storeAsURL(U(FileUrl(path)), Props({Prop("FilterName", Any(rtl::OUString::createFromAscii(filter))),
                                                Prop("Overwrite", Any(true))}));
    });
}

void OfficeWorkbook::close()
{
    if (book_)
        book_->close();
}

bool OfficeWorkbook::isOpen() const noexcept
{
    return book_ && book_->open();
}

bool OfficeWorkbook::show()
{
    if (!Need(book_)->canShow)
        return false;
    return Call("show", [&] {
        Reference<css::frame::XModel> model(book_->doc, UNO_QUERY_THROW);
        Reference<css::frame::XFrame> frame = model->getCurrentController()->getFrame();
        Reference<css::awt::XWindow> window = frame->getContainerWindow();
        window->setVisible(true);
        Reference<css::awt::XTopWindow2> top2(window, UNO_QUERY);
        if (top2.is())
            top2->setIsMaximized(true);
        Reference<css::awt::XTopWindow> top(window, UNO_QUERY);
        if (top.is())
            top->toFront();
        frame->activate();
        return true;
    });
}

// ---------------------------------------------------------------------------
// Worksheet

std::string Worksheet::name() const
{
    return Call("worksheet name", [&] {
        Reference<css::container::XNamed> n(Need(book_)->sheet(index_), UNO_QUERY_THROW);
        return S(n->getName());
    });
}

void Worksheet::setName(std::string_view name)
{
    Call("worksheet name", [&] {
        Reference<css::container::XNamed> n(Need(book_)->sheet(index_), UNO_QUERY_THROW);
        n->setName(U(name));
    });
}

Range Worksheet::range(std::string_view a) const
{
    WorksheetPos p, q;
    if (!ParseArea(a, p, q))
        throw OfficeError("\"" + std::string(a) + "\" is not a cell reference");
    Range r;
    r.book_ = book_;
    r.sheet_ = index_;
    r.firstRow_ = std::min(p.row, q.row);
    r.lastRow_ = std::max(p.row, q.row);
    r.firstCol_ = std::min(p.col, q.col);
    r.lastCol_ = std::max(p.col, q.col);
    return r;
}

Range Worksheet::range(std::string_view a, std::string_view b) const
{
    Range ra = range(a);
    Range rb = range(b);
    ra.firstRow_ = std::min(ra.firstRow_, rb.firstRow_);
    ra.firstCol_ = std::min(ra.firstCol_, rb.firstCol_);
    ra.lastRow_ = std::max(ra.lastRow_, rb.lastRow_);
    ra.lastCol_ = std::max(ra.lastCol_, rb.lastCol_);
    return ra;
}

WorksheetPos Worksheet::usedEnd() const
{
    return Call("used area", [&] {
        Reference<css::sheet::XSheetCellCursor> cursor = Need(book_)->sheet(index_)->createCursor();
        Reference<css::sheet::XUsedAreaCursor> used(cursor, UNO_QUERY_THROW);
        used->gotoEndOfUsedArea(false);
        Reference<css::sheet::XCellRangeAddressable> where(cursor, UNO_QUERY_THROW);
        const css::table::CellRangeAddress a = where->getRangeAddress();
        return WorksheetPos{a.EndRow + 1, a.EndColumn + 1};
    });
}

void Worksheet::setChartObjectWidth(std::string_view name, double points, int order)
{
    Call("chart width", [&] {
        Reference<css::drawing::XShape> chart = FindChart(*book_, Need(book_)->sheet(index_), name, order);
        css::awt::Size size = chart->getSize();
        size.Width = static_cast<sal_Int32>(std::lround(points * 2540.0 / 72.0));
        chart->setSize(size);
    });
}

double Worksheet::chartObjectWidth(std::string_view name, int order) const
{
    return Call("chart width", [&] {
        Reference<css::drawing::XShape> chart = FindChart(*book_, Need(book_)->sheet(index_), name, order);
        return chart->getSize().Width * 72.0 / 2540.0;
    });
}

int Worksheet::chartObjectCount() const
{
    return Call("charts", [&] { return static_cast<int>(ChartShapes(*book_, Need(book_)->sheet(index_)).size()); });
}

void Worksheet::addChart(std::string_view name, std::string_view first, std::string_view last)
{
    Range data = range(first, last);
    Call("add chart", [&] {
        auto sheet = Need(book_)->sheet(index_);
        Reference<css::table::XTableChartsSupplier> tcs(sheet, UNO_QUERY_THROW);
        Reference<css::table::XTableCharts> charts = tcs->getCharts();
        const size_t before = ChartShapes(*book_, sheet).size();
        css::awt::Rectangle rect(1000, 1000 + static_cast<sal_Int32>(before) * 8000, 10000, 7000);
        Sequence<css::table::CellRangeAddress> ranges(1);
        ranges[0] = Address(index_, data.firstRow_, data.firstCol_, data.lastRow_, data.lastCol_);
        // The object name inside the document; the name a user sees is the
        // shape's, set below.
        charts->addNewByName(U("trevolo-chart-" + std::to_string(before + 1)), rect, ranges, true, false);
        auto shapes = ChartShapes(*book_, sheet);
        if (shapes.size() <= before)
            throw OfficeError("the chart was not added");
        Reference<css::container::XNamed> named(shapes.back(), UNO_QUERY_THROW);
        named->setName(U(name));
    });
}

namespace {

// 1/100 mm of a length in points.
sal_Int32 Hmm(double points)
{
    return static_cast<sal_Int32>(std::lround(points * 2540.0 / 72.0));
}

// The table chart behind a chart shape: its persist name is the name the
// worksheet's chart collection knows it by.
Reference<css::table::XTableChart> TableChartOf(const Reference<css::sheet::XSpreadsheet>& sheet,
                                                const Reference<css::drawing::XShape>& shape)
{
    Reference<css::beans::XPropertySet> props(shape, UNO_QUERY_THROW);
    rtl::OUString persist;
    props->getPropertyValue("PersistName") >>= persist;
    Reference<css::table::XTableChartsSupplier> tcs(sheet, UNO_QUERY_THROW);
    Reference<css::table::XTableCharts> charts = tcs->getCharts();
    if (persist.isEmpty() || !charts->hasByName(persist))
        throw OfficeError("the chart has no data table");
    return Reference<css::table::XTableChart>(charts->getByName(persist), UNO_QUERY_THROW);
}

void StyleSeries(const Reference<css::beans::XPropertySet>& props, const ChartSeriesStyle& style, bool line)
{
    if (!props.is())
        return;
    if (style.color >= 0)
        props->setPropertyValue("Color", Any(static_cast<sal_Int32>(style.color)));
    if (!line)
        return;
    // A series of the old chart interface takes no line style until lines
    // are allowed for it.
    props->setPropertyValue("Lines", Any(true));
    if (style.lineWidth > 0)
        props->setPropertyValue("LineWidth", Any(Hmm(style.lineWidth)));
    props->setPropertyValue("LineStyle", Any(css::drawing::LineStyle_SOLID));
    props->setPropertyValue("SymbolType",
                            Any(style.markers ? css::chart::ChartSymbolType::AUTO : css::chart::ChartSymbolType::NONE));
}

// The first object name from the worksheet's chart count on that no chart
// of the worksheet holds yet.
rtl::OUString FreeChartObjectName(const Reference<css::table::XTableCharts>& charts, size_t before)
{
    rtl::OUString object;
    for (size_t k = before + 1;; ++k) {
        object = U("trevolo-chart-" + std::to_string(k));
        if (!charts->hasByName(object))
            return object;
    }
}

// Gives the chart document a line or a bar diagram.
Reference<css::chart::XDiagram> SetChartDiagram(const Reference<css::chart::XChartDocument>& doc, bool line)
{
    Reference<css::lang::XMultiServiceFactory> factory(doc, UNO_QUERY_THROW);
    Reference<css::chart::XDiagram> diagram(
        factory->createInstance(line ? rtl::OUString("com.sun.star.chart.LineDiagram")
                                     : rtl::OUString("com.sun.star.chart.BarDiagram")),
        UNO_QUERY_THROW);
    doc->setDiagram(diagram);
    return diagram;
}

// The chart's main title, shown only when there is one, and its legend.
void SetChartTitle(const Reference<css::chart::XChartDocument>& doc, const ChartSpec& spec)
{
    Reference<css::beans::XPropertySet> docProps(doc, UNO_QUERY_THROW);
    docProps->setPropertyValue("HasMainTitle", Any(!spec.title.empty()));
    if (!spec.title.empty()) {
        Reference<css::beans::XPropertySet> title(doc->getTitle(), UNO_QUERY_THROW);
        title->setPropertyValue("String", Any(U(spec.title)));
    }
    docProps->setPropertyValue("HasLegend", Any(spec.legend));
}

// The diagram's own look: upright columns or lines, which axis titles it
// shows, and a white plot area as on a printed chart.
void StyleDiagram(const Reference<css::chart::XDiagram>& diagram, const ChartSpec& spec, bool line)
{
    Reference<css::beans::XPropertySet> diagramProps(diagram, UNO_QUERY_THROW);
    if (!line)
        diagramProps->setPropertyValue("Vertical", Any(false));  // upright columns
    else
        diagramProps->setPropertyValue("Lines", Any(true));
    diagramProps->setPropertyValue("HasXAxisTitle", Any(!spec.xAxisTitle.empty()));
    diagramProps->setPropertyValue("HasYAxisTitle", Any(!spec.yAxisTitle.empty()));
    Reference<css::chart::X3DDisplay> display(diagram, UNO_QUERY);
    if (display.is() && display->getWall().is())
        display->getWall()->setPropertyValue("FillColor", Any(static_cast<sal_Int32>(0xFFFFFF)));
}

// The axes' titles, the rotation of the category labels and the gap
// between columns.
void StyleAxes(const Reference<css::chart::XDiagram>& diagram, const ChartSpec& spec, bool line)
{
    Reference<css::chart::XAxisXSupplier> xs(diagram, UNO_QUERY_THROW);
    if (!spec.xAxisTitle.empty()) {
        Reference<css::beans::XPropertySet> t(xs->getXAxisTitle(), UNO_QUERY_THROW);
        t->setPropertyValue("String", Any(U(spec.xAxisTitle)));
    }
    if (!spec.yAxisTitle.empty()) {
        Reference<css::chart::XAxisYSupplier> ys(diagram, UNO_QUERY_THROW);
        Reference<css::beans::XPropertySet> t(ys->getYAxisTitle(), UNO_QUERY_THROW);
        t->setPropertyValue("String", Any(U(spec.yAxisTitle)));
    }
    Reference<css::beans::XPropertySet> xAxis = xs->getXAxis();
    if (xAxis.is() && spec.categoryRotation != 0)
        xAxis->setPropertyValue("TextRotation", Any(static_cast<sal_Int32>(spec.categoryRotation * 100)));
    // The gap belongs to the axis the columns stand on, the value axis.
    Reference<css::chart::XAxisYSupplier> ys(diagram, UNO_QUERY);
    if (!line && spec.gapWidth >= 0 && ys.is() && ys->getYAxis().is())
        ys->getYAxis()->setPropertyValue("GapWidth", Any(static_cast<sal_Int32>(spec.gapWidth)));
}

}  // namespace

void Worksheet::addChart(const ChartSpec& spec)
{
    const int dataSheet = spec.dataSheet > 0 ? spec.dataSheet : index_;
    if (spec.blocks.empty())
        throw OfficeError("a chart needs a block of data");
    Sequence<css::table::CellRangeAddress> ranges(static_cast<sal_Int32>(spec.blocks.size()));
    for (size_t i = 0; i < spec.blocks.size(); ++i) {
        Range r = range(spec.blocks[i]);
        ranges[static_cast<sal_Int32>(i)] = Address(dataSheet, r.firstRow_, r.firstCol_, r.lastRow_, r.lastCol_);
    }
    Call("add chart", [&] {
        auto book = Need(book_);
        book->sheet(dataSheet);  // throws when there is no such worksheet
        auto sheet = book->sheet(index_);
        Reference<css::table::XTableChartsSupplier> tcs(sheet, UNO_QUERY_THROW);
        Reference<css::table::XTableCharts> charts = tcs->getCharts();
        const size_t before = ChartShapes(*book_, sheet).size();
        const rtl::OUString object = FreeChartObjectName(charts, before);
        const css::awt::Rectangle rect(Hmm(spec.left), Hmm(spec.top), Hmm(spec.width), Hmm(spec.height));
        charts->addNewByName(object, rect, ranges, true, true);
        Reference<css::table::XTableChart> table(charts->getByName(object), UNO_QUERY_THROW);
        Reference<css::document::XEmbeddedObjectSupplier> eos(table, UNO_QUERY_THROW);
        Reference<css::chart::XChartDocument> doc(eos->getEmbeddedObject(), UNO_QUERY_THROW);
        const bool line = spec.type == ChartSpec::Type::Line;
        Reference<css::chart::XDiagram> diagram = SetChartDiagram(doc, line);
        SetChartTitle(doc, spec);
        StyleDiagram(diagram, spec, line);
        StyleAxes(diagram, spec, line);
        for (size_t i = 0; i < spec.series.size(); ++i)
            StyleSeries(diagram->getDataRowProperties(static_cast<sal_Int32>(i)), spec.series[i], line);

        auto shapes = ChartShapes(*book_, sheet);
        if (shapes.size() <= before)
            throw OfficeError("the chart was not added");
        Reference<css::container::XNamed> named(shapes.back(), UNO_QUERY_THROW);
        named->setName(U(spec.name));
    });
}

std::vector<ChartBlock> Worksheet::chartBlocks(std::string_view name, int order) const
{
    return Call("chart data", [&] {
        auto sheet = Need(book_)->sheet(index_);
        Reference<css::table::XTableChart> table = TableChartOf(sheet, FindChart(*book_, sheet, name, order));
        const Sequence<css::table::CellRangeAddress> ranges = table->getRanges();
        std::vector<ChartBlock> out;
        for (sal_Int32 i = 0; i < ranges.getLength(); ++i) {
            const auto& a = ranges[i];
            out.push_back({a.Sheet + 1, RowColToCell(a.StartRow + 1, a.StartColumn + 1) + ":" +
                                            RowColToCell(a.EndRow + 1, a.EndColumn + 1)});
        }
        return out;
    });
}

// ---------------------------------------------------------------------------
// Range

namespace {

Reference<css::table::XCellRange> CellRangeOf(const std::shared_ptr<Book>& book, int sheet, int r0, int c0, int r1,
                                              int c1)
{
    // A worksheet is a cell range: no query, which would be a round trip.
    const Reference<css::sheet::XSpreadsheet> ws = Need(book)->sheet(sheet);
    const Reference<css::table::XCellRange> all(ws.get());
    return all->getCellRangeByPosition(c0 - 1, r0 - 1, c1 - 1, r1 - 1);
}

Any ToAny(const CellValue& v)
{
    if (const auto* d = std::get_if<double>(&v))
        return Any(*d);
    return Any(U(std::get<std::string>(v)));
}

CellValue FromAny(const Any& a)
{
    double d = 0;
    if (a >>= d)
        return d;
    rtl::OUString s;
    if (a >>= s)
        return S(s);
    return std::string();
}

}  // namespace

std::string Range::address() const
{
    std::string a = RowColToCell(firstRow_, firstCol_);
    if (firstRow_ != lastRow_ || firstCol_ != lastCol_)
        a += ":" + RowColToCell(lastRow_, lastCol_);
    return a;
}

CellValue Range::value() const
{
    return Call("read " + address(), [&] {
        Reference<css::sheet::XCellRangeData> data(
            CellRangeOf(book_, sheet_, firstRow_, firstCol_, firstRow_, firstCol_), UNO_QUERY_THROW);
        const Sequence<Sequence<Any>> rows = data->getDataArray();
        if (rows.getLength() < 1 || rows[0].getLength() < 1)
            return CellValue(std::string());
        return FromAny(rows[0][0]);
    });
}

CellBlock Range::values() const
{
    return Call("read " + address(), [&] {
        Reference<css::sheet::XCellRangeData> data(CellRangeOf(book_, sheet_, firstRow_, firstCol_, lastRow_, lastCol_),
                                                   UNO_QUERY_THROW);
        const Sequence<Sequence<Any>> rows = data->getDataArray();
        CellBlock block(rows.getLength(), rows.getLength() > 0 ? rows[0].getLength() : 0);
        for (sal_Int32 r = 0; r < rows.getLength(); ++r) {
            const Sequence<Any>& row = rows[r];
            const Any* cells = row.getConstArray();
            for (sal_Int32 c = 0; c < row.getLength() && c < block.cols; ++c)
                block.at(r, c) = FromAny(cells[c]);
        }
        return block;
    });
}

void Range::setValue(const CellValue& v)
{
    CellBlock block(rows(), cols());
    std::fill(block.cells.begin(), block.cells.end(), v);
    setValues(block);
}

void Range::setValues(const CellBlock& block)
{
    if (block.rows != rows() || block.cols != cols())
        throw OfficeError("a block of " + std::to_string(block.rows) + " x " + std::to_string(block.cols) +
                          " does not fit " + address());
    Call("write " + address(), [&] {
        Reference<css::sheet::XCellRangeData> data(CellRangeOf(book_, sheet_, firstRow_, firstCol_, lastRow_, lastCol_),
                                                   UNO_QUERY_THROW);
        Sequence<Sequence<Any>> rowsSeq(block.rows);
        Sequence<Any>* outRows = rowsSeq.getArray();
        for (int r = 0; r < block.rows; ++r) {
            Sequence<Any> row(block.cols);
            Any* cells = row.getArray();
            for (int c = 0; c < block.cols; ++c)
                cells[c] = ToAny(block.at(r, c));
            outRows[r] = row;
        }
        data->setDataArray(rowsSeq);
    });
}

void Range::setNumberFormatLocal(std::string_view format)
{
    Call("number format of " + address(), [&] {
        Reference<css::util::XNumberFormats> formats = Need(book_)->numberFormats();
        const css::lang::Locale japanese("ja", "JP", "");
        const rtl::OUString code = U(format);
        sal_Int32 key = formats->queryKey(code, japanese, false);
        if (key == -1)
            key = formats->addNew(code, japanese);
        Reference<css::beans::XPropertySet> props(CellRangeOf(book_, sheet_, firstRow_, firstCol_, lastRow_, lastCol_),
                                                  UNO_QUERY_THROW);
        props->setPropertyValue("NumberFormat", Any(key));
    });
}

std::string Range::numberFormatLocal() const
{
    return Call("number format of " + address(), [&] {
        Reference<css::beans::XPropertySet> props(
            CellRangeOf(book_, sheet_, firstRow_, firstCol_, firstRow_, firstCol_), UNO_QUERY_THROW);
        sal_Int32 key = 0;
        props->getPropertyValue("NumberFormat") >>= key;
        Reference<css::beans::XPropertySet> fmt = Need(book_)->numberFormats()->getByKey(key);
        rtl::OUString code;
        fmt->getPropertyValue("FormatString") >>= code;
        return S(code);
    });
}

void Range::setFormulas(const CellBlock& block)
{
    if (block.rows != rows() || block.cols != cols())
        throw OfficeError("a block of " + std::to_string(block.rows) + " x " + std::to_string(block.cols) +
                          " does not fit " + address());
    Call("write " + address(), [&] {
        Reference<css::sheet::XCellRangeFormula> cells(
            CellRangeOf(book_, sheet_, firstRow_, firstCol_, lastRow_, lastCol_), UNO_QUERY_THROW);
        Sequence<Sequence<rtl::OUString>> rowsSeq(block.rows);
        Sequence<rtl::OUString>* outRows = rowsSeq.getArray();
        for (int r = 0; r < block.rows; ++r) {
            Sequence<rtl::OUString> row(block.cols);
            rtl::OUString* out = row.getArray();
            for (int c = 0; c < block.cols; ++c) {
                const CellValue& v = block.at(r, c);
                if (const auto* d = std::get_if<double>(&v)) {
                    char buf[32];
                    const auto res = std::to_chars(buf, buf + sizeof buf, *d);
                    out[c] = U(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
                } else {
                    out[c] = U(std::get<std::string>(v));
                }
            }
            outRows[r] = row;
        }
        cells->setFormulaArray(rowsSeq);
    });
}

std::string Range::formula() const
{
    return Call("read " + address(), [&] {
        Reference<css::sheet::XCellRangeFormula> cells(
            CellRangeOf(book_, sheet_, firstRow_, firstCol_, firstRow_, firstCol_), UNO_QUERY_THROW);
        const Sequence<Sequence<rtl::OUString>> rows = cells->getFormulaArray();
        if (rows.getLength() < 1 || rows[0].getLength() < 1)
            return std::string();
        return S(rows[0][0]);
    });
}

void Range::setColumnWidth(double points)
{
    Call("column width of " + address(), [&] {
        Reference<css::table::XColumnRowRange> cr(CellRangeOf(book_, sheet_, firstRow_, firstCol_, lastRow_, lastCol_),
                                                  UNO_QUERY_THROW);
        Reference<css::beans::XPropertySet> columns(cr->getColumns(), UNO_QUERY_THROW);
        columns->setPropertyValue("Width", Any(Hmm(points)));
    });
}

void Range::deleteShiftUp()
{
    Call("delete " + address(), [&] {
        Reference<css::sheet::XCellRangeMovement> move(Need(book_)->sheet(sheet_), UNO_QUERY_THROW);
        move->removeRange(Address(sheet_, firstRow_, firstCol_, lastRow_, lastCol_), css::sheet::CellDeleteMode_UP);
    });
}

}  // namespace trevolo
