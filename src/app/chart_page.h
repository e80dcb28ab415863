#pragma once
// The page "管理図表示": the shown sheet's X chart, its R, S or Rs chart and
// the histogram, drawn with Qt Charts from the chart data of the session.
// The page listens to the session and redraws once after a burst of
// changes, only while it is visible (and when it is shown again). A click on
// a point makes that lot's row current in the four tables; a row made
// current in a table highlights its point. Each chart's context menu saves
// it as PNG, SVG or PDF into "Save Files" or copies it to the clipboard.
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "document/chart_data.h"

class QChart;
class QChartView;
class QCategoryAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QAreaSeries;
class QMenu;

namespace trevolo {

class LineLabels;

class StringGrid;
class TplStringGrid;

// What the chart page needs from the window around it.
class ChartHost {
public:
    virtual ~ChartHost() = default;
    // The folder "Save Files" the charts are saved into.
    virtual QString saveFilesDir() const = 0;
};

class ChartPage : public QWidget, public SessionListener {
    Q_OBJECT
public:
    // The four tables of the shown sheet, whose current rows the page
    // follows and sets.
    struct Tables {
        TplStringGrid* lots;
        StringGrid* values;
        StringGrid* calc;
        StringGrid* spc;
    };
    // Draws the charts of session, whose changes it follows.
    ChartPage(SheetSession& session, ChartHost& host, Tables tables, QWidget* parent);
    ~ChartPage() override;

    enum Which { XChart = 0, SpreadChart = 1, HistogramChart = 2 };

    void sessionChanged(unsigned what, int col, int row) override;

    // Redraws every chart from the session now.
    void refresh();
    // A change is waiting to be drawn.
    bool dirty() const { return dirty_; }
    const ChartData& data() const { return data_; }
    QChartView* view(Which w) const;

    // The point drawn as the current lot (index into the points of the
    // control charts), or -1.
    int highlighted() const { return highlighted_; }
    // As a click on a point of a control chart: the lot's row becomes
    // current in the measurement, lot, statistics and SPC tables.
    void selectPoint(int index);
    // The text of a point (lot, value, marks) as its tooltip shows it.
    QString pointToolTip(Which w, int index) const;

    // The control chart's point nearest to a place of its view (view
    // coordinates), within a few pixels; null when none is.
    const ChartPoint* pointAt(Which w, const QPoint& pos);
    // Adds items to the context menu of a point of the X chart (lotRow: the
    // point's lot row); the menu's own items follow them.
    void setPointMenu(std::function<void(QMenu& menu, int lotRow)> extend) { pointMenu_ = std::move(extend); }

    // Saves a chart as "png", "svg" or "pdf" into "Save Files" under a
    // time-stamped name (a counter when the name is taken); the file written,
    // or an empty text when it could not be written (a warning is shown).
    QString save(Which w, const QString& format);
    // Puts a chart on the clipboard as an image.
    void copyToClipboard(Which w);

protected:
    void showEvent(QShowEvent* e) override;

private:
    struct Pane {
        QChart* chart = nullptr;
        QChartView* view = nullptr;
        QValueAxis* y = nullptr;
        QCategoryAxis* x = nullptr;
        QLineSeries* path = nullptr;
        QScatterSeries* plain = nullptr;
        QScatterSeries* marked = nullptr;
        QScatterSeries* current = nullptr;
        // A small flag beside each lot with notes; hovering it shows them.
        QScatterSeries* flagged = nullptr;
        std::vector<QLineSeries*> lines;
        LineLabels* labels = nullptr;
    };
    void createControlPane(Pane& p, int lineCount);
    void createHistogram();
    void drawControl(Pane& p, const ControlChart& c);
    void drawHistogram(const Histogram& h);
    // Axis steps and lot labels that fit the plot as it is laid out now.
    void fitAxes(Pane& p, const ControlChart& c);
    void fitHistogramAxes();
    void drawHighlight();
    void describe(QChartView* view, const ControlChart& c) const;
    void scheduleRefresh();
    void highlightRow(int calcRow);
    void highlightLotRow(int lotRow);
    void pointClicked(const QPointF& p);
    void pointHovered(const Pane& pane, const ControlChart& c, const QPointF& p, bool on);
    void contextMenu(Which w, const QPoint& pos);
    QString fileBase(Which w) const;

    SheetSession& session_;
    ChartHost& host_;
    Tables tables_;
    ChartData data_;
    Pane xPane_;
    Pane spreadPane_;
    QChart* histChart_ = nullptr;
    QChartView* histView_ = nullptr;
    QValueAxis* histX_ = nullptr;
    QValueAxis* histY_ = nullptr;
    QLineSeries* histBars_ = nullptr;
    QAreaSeries* histArea_ = nullptr;
    QLineSeries* histCurve_ = nullptr;
    QLineSeries* histMean_ = nullptr;
    std::vector<QLineSeries*> histSpec_;
    LineLabels* histLabels_ = nullptr;
    // The sheet's decimals, for the value axes and the specification limits.
    int decimals_ = 3;
    bool dirty_ = true;
    bool scheduled_ = false;
    // The capability study beside the histogram, drawn with the charts.
    class CapabilityPanel* capability_ = nullptr;
    int highlighted_ = -1;
    std::function<void(QMenu&, int)> pointMenu_;
    // The lot row made current while the page was hidden and not drawn.
    int pendingLotRow_ = -1;
};

}  // namespace trevolo
