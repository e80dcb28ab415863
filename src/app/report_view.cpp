// The report commands of the main window: the judgment result output
// ("判定結果出力"), the control chart ("管理図作成") and the histogram
// ("ﾋｽﾄｸﾞﾗﾑ作成"). Each runs the whole judgment chain first and stops
// silently when it gives no capability verdict; then it gathers the tables
// and the limit panel as shown and hands them to the report writer of the
// exchange core, behind the busy frame. Errors reach the general error box.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>

#include "app/mainform.h"
#include "app/paths.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "document/chart_data.h"
#include "entry/tolerance_judgment.h"
#include "exchange/layout.h"
#include "exchange/messages.h"
#include "exchange/report_layout.h"
#include "exchange/reports.h"
#include "model/number.h"

namespace trevolo {

namespace {

constexpr const char* kBusyReport = "Excelに統計データを展開しています。";

std::string S(const QString& q)
{
    return q.toStdString();
}

// After the busy frame is closed, the window handles what piled up while the
// command worked. Declared before the frame, so it runs after it ends.
struct ProcessPendingOnExit {
    ~ProcessPendingOnExit() { QApplication::processEvents(); }
};

// The rows of a table other than the measurement table, as shown.
TableView ShownTable(const StringGrid& grid)
{
    const CellStore& cells = grid.cells();
    TableView t;
    t.rows = grid.RowCount();
    t.cols = grid.ColCount();
    t.cell = [&cells](int col, int row) { return std::string(cells.text(col, row)); };
    return t;
}

ReportPlace Place(const TMainForm& f)
{
    ReportPlace p;
    p.formFiles = S(FormFilesDir());
    p.saveFiles = S(f.saveFilesDir());
    p.time = LocalTimeNow();
    return p;
}

}  // namespace

bool TMainForm::runJudgmentChain()
{
    btnSpcJudgClick();
    return session_.specVerdict != Verdict::None && session_.calcVerdict != Verdict::None;
}

void TMainForm::btnExcelClick()
{
    if (!CheckRequiredFields()) {
        Prompts::current().message(this, QString::fromUtf8(kGuideCaption), QString::fromUtf8(kMsgRequiredMissing));
        return;
    }
    if (!runJudgmentChain())
        return;
    ProcessPendingOnExit pending;
    BusyFrame busy(SplashForm, QString::fromUtf8(kBusyXlsSave));

    // The header rows come from the sheet's record, which the judgment has
    // just stored; with no tab selected, from the fields as they stand.
    Struct_Sheet record;
    const int tab = selectedTab();
    if (tab >= 0 && tab < static_cast<int>(Sheets.size())) {
        record = Sheets[static_cast<size_t>(tab)];
    } else {
        session_.store(record);
    }

    const CellStore& ctrl = session_.lotCells();
    const CellStore& edit = session_.valueCells();
    EditTableView view;
    view.lots = session_.lots();
    view.n = session_.columns();
    view.label = [&ctrl](int row) { return std::string(ctrl.text(0, row)); };
    view.enabled = [&ctrl](int row) { return ctrl.flag(1, row); };
    view.value = [&edit](int col, int row) { return std::string(edit.text(col, row)); };

    ResultTables tables;
    for (int i = 0; i < 3 && i < pageInput->count(); ++i)
        tables.names[static_cast<size_t>(i)] = S(pageInput->tabText(i));
    tables.edit = BuildEditBlock(view, record.Keta);
    tables.calc = BuildCalcBlock(ShownTable(*gridCalc));
    tables.spc = BuildSpcBlock(ShownTable(*gridSpc));
    MakeJudgmentResult(record, tables, Place(*this));
}

void TMainForm::btnControlChartClick()
{
    if (!runJudgmentChain())
        return;
    ProcessPendingOnExit pending;
    BusyFrame busy(SplashForm, QString::fromUtf8(kBusyReport));

    ControlChartData data;
    data.chartKind = session_.chartKind;
    data.lotCountSetting = spinRow->value();
    // The statistics table: title row, one row per lot that took part, the
    // total row last.
    const CellStore& calc = session_.calcCells();
    const int spread = ChartSpreadColumn(data.chartKind);
    for (int row = 1; row <= session_.calcRowCount() - 2; ++row) {
        data.labels.emplace_back(calc.text(kChartLabelColumn, row));
        data.means.emplace_back(calc.text(kChartMeanColumn, row));
        data.spreads.emplace_back(calc.text(spread, row));
    }
    // The X lines from the top down, then the R/S/Rs centre and +3σ lines,
    // each with its name.
    const int lines[9] = {LimitUcl3, LimitUcl2, LimitUcl1, LimitXcl, LimitLcl1, LimitLcl2, LimitLcl3, LimitRcl, LimitRsUcl3};
    auto line = [this](int l) {
        return ChartLine{session_.lineNames[static_cast<size_t>(l)], session_.limits[static_cast<size_t>(l)]};
    };
    for (size_t i = 0; i < 7; ++i)
        data.xLines[i] = line(lines[i]);
    for (size_t i = 0; i < 2; ++i)
        data.spreadLines[i] = line(lines[7 + i]);

    MakeControlChartReport(data, Place(*this));
}

void TMainForm::btnHistogramClick()
{
    if (!runJudgmentChain())
        return;
    ProcessPendingOnExit pending;
    BusyFrame busy(SplashForm, QString::fromUtf8(kBusyReport));

    const CellStore& ctrl = session_.lotCells();
    const CellStore& edit = session_.valueCells();
    HistogramData data;
    data.lots = session_.lots();
    data.n = session_.columns();
    data.enabled = [&ctrl](int lot) { return ctrl.flag(1, lot + 1); };
    data.value = [&edit](int lot, int col) { return std::string(edit.text(col, lot + 1)); };
    data.keta = session_.header.keta;
    data.classes = HistogramClassCount(session_.histogramClasses, kMinHistogramClasses);

    MakeHistogramReport(data, Place(*this));
}

}  // namespace trevolo
