#include "exchange/report_layout.h"

#include <algorithm>
#include <cstdio>

#include "model/comtype.h"
#include "model/number.h"

namespace trevolo {

std::string ControlChartTemplate(int chartKind)
{
    switch (chartKind) {
    case ChartXbarS:
        return "XbarS.xls";
    case ChartXRs:
        return "X-Rs.xls";
    default:
        return "XbarR.xls";
    }
}

std::array<std::string, 4> TemplateFileNames()
{
    return {ControlChartTemplate(ChartXbarR), ControlChartTemplate(ChartXbarS), ControlChartTemplate(ChartXRs),
            kHistogramTemplate};
}

std::string ReportCopyName(const std::tm& local, std::string_view templateName)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d_", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return stamp + std::string(templateName);
}

std::filesystem::path FreeReportPath(const std::filesystem::path& folder, const std::string& name,
                                     const std::function<bool(const std::filesystem::path&)>& taken)
{
    std::filesystem::path first = folder / name;
    if (!taken(first))
        return first;
    const std::filesystem::path n(name);
    const std::string stem = n.stem().string();
    const std::string ext = n.extension().string();
    for (int k = 2;; ++k) {
        std::filesystem::path p = folder / (stem + "(" + std::to_string(k) + ")" + ext);
        if (!taken(p))
            return p;
    }
}

double ControlChartWidth(int lotCountSetting)
{
    return lotCountSetting < 100 ? 1280.0 : lotCountSetting * 12.8;
}

int ChartSpreadColumn(int chartKind)
{
    return chartKind == ChartXbarS ? 6 : 5;
}

std::array<double, 9> ChartLineValues(const ControlChartData& data)
{
    std::array<double, 9> v{};
    for (size_t i = 0; i < data.xLines.size(); ++i)
        v[i] = StrToFloat(data.xLines[i].value);
    for (size_t i = 0; i < data.spreadLines.size(); ++i)
        v[7 + i] = StrToFloat(data.spreadLines[i].value);
    return v;
}

CellBlock ChartLabelColumn(const ControlChartData& data)
{
    CellBlock b(data.lotRows(), 1);
    for (int r = 0; r < data.lotRows(); ++r)
        b.at(r, 0) = data.labels[static_cast<size_t>(r)];
    return b;
}

CellBlock ChartNumberColumn(const std::vector<std::string>& texts)
{
    CellBlock b(static_cast<int>(texts.size()), 1);
    for (size_t r = 0; r < texts.size(); ++r)
        b.at(static_cast<int>(r), 0) = NumberOrText(texts[r]);
    return b;
}

CellBlock HistogramBlock(const HistogramData& data)
{
    CellBlock b(std::max(0, data.lots), std::max(0, data.n));
    int out = 0;
    for (int lot = 0; lot < b.rows; ++lot) {
        if (!data.enabled(lot))
            continue;
        for (int c = 0; c < b.cols; ++c)
            b.at(out, c) = NumberOrText(data.value(lot, c));
        ++out;
    }
    return b;
}

int HistogramClasses(int classes)
{
    return std::clamp(classes, kMinClasses, kMaxClasses);
}

}  // namespace trevolo
