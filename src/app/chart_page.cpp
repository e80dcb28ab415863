#include "app/chart_page.h"

#include <QAccessible>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QCategoryAxis>
#include <QCursor>
#include <QFileInfo>
#include <QImage>
#include <QAreaSeries>
#include <QLineSeries>
#include <QMenu>
#include <QPainter>
#include <QPdfWriter>
#include <QScatterSeries>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "app/capability_panel.h"
#include "app/chart_labels.h"
#include "app/stringgrid.h"
#include "app/prompts.h"
#include "exchange/report_layout.h"
#include "model/comtype.h"
#include "model/number.h"
#include "store/qt_text.h"

namespace trevolo {

namespace {

// The pen of a line: the centre solid green, ±3σ red, ±2σ orange
// dash-dotted, ±1σ grey dotted, the specification limits dashed purple.
QPen LinePen(const LevelLine& l)
{
    switch (l.kind) {
    case LevelLine::Kind::Centre:
        return QPen(QColor(0, 140, 0), 1.5);
    case LevelLine::Kind::Spec:
        return QPen(QColor(140, 0, 160), 1.5, Qt::DashLine);
    case LevelLine::Kind::Control:
        break;
    }
    switch (l.field) {
    case LimitUcl3:
    case LimitLcl3:
    case LimitRsUcl3:
        return QPen(QColor(220, 0, 0), 1.5);
    case LimitUcl2:
    case LimitLcl2:
    case LimitRsUcl2:
        return QPen(QColor(230, 130, 0), 1.2, Qt::DashDotLine);
    default:
        return QPen(QColor(120, 120, 120), 1.2, Qt::DotLine);
    }
}

// A line's label: its name and its value, control lines at four decimals
// and the specification limits at the sheet's; `between` parts them.
LineLabels::Line LineLabel(const LevelLine& l, int decimals, QChar between = QLatin1Char(' '))
{
    const int places = l.kind == LevelLine::Kind::Spec ? decimals : 4;
    return {ToQString(l.name) + between + ToQString(FormatFixed(l.value, places)), LinePen(l).color(), l.value};
}

// A level line drawn from one end to the other while it is shown, its label
// added to `labels`; false when hidden.
bool DrawLevelLine(QLineSeries* s, const LevelLine& l, QPointF from, QPointF to, std::vector<LineLabels::Line>& labels,
                   int decimals, QChar between = QLatin1Char(' '))
{
    s->setName(ToQString(l.name));
    s->setVisible(l.shown);
    if (!l.shown) {
        s->clear();
        return false;
    }
    s->setPen(LinePen(l));
    s->replace(QList<QPointF>{from, to});
    labels.push_back(LineLabel(l, decimals, between));
    return true;
}

// A level line drawn as steps: each point's lot at its own value of the
// line, from half a lot before it to half a lot after, so a revision of the
// limits shows where it took effect. The label keeps the line's value now.
bool DrawStepLine(QLineSeries* s, const LevelLine& l, const std::vector<ChartPoint>& points, double left, double right,
                  std::vector<LineLabels::Line>& labels, int decimals)
{
    if (!DrawLevelLine(s, l, {left, l.value}, {right, l.value}, labels, decimals))
        return false;
    QList<QPointF> steps;
    steps.reserve(static_cast<qsizetype>(2 * points.size()));
    for (size_t i = 0; i < points.size() && i < l.steps.size(); ++i) {
        const double x = points[i].calcRow;
        steps << QPointF(i == 0 ? left : x - 0.5, l.steps[i])
              << QPointF(i + 1 == points.size() ? right : x + 0.5, l.steps[i]);
    }
    s->replace(steps);
    return true;
}

// The marker of a lot with notes: a small pennant on a staff standing up
// and to the right of the point, so the point itself stays visible. A
// scatter marker is drawn centred on its point, so the image is twice the
// flag's size with the flag in its upper right quarter.
QImage FlagImage()
{
    constexpr int kSide = 30;
    QImage img(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.drawLine(QPointF(kSide / 2.0 + 2, kSide / 2.0 - 2), QPointF(kSide / 2.0 + 2, 1));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 170, 0));
    p.drawPolygon(QPolygonF({QPointF(kSide / 2.0 + 2, 1), QPointF(kSide - 2, 4.5), QPointF(kSide / 2.0 + 2, 8)}));
    return img;
}

void Attach(QChart* chart, QAbstractSeries* s, QAbstractAxis* x, QAbstractAxis* y)
{
    chart->addSeries(s);
    s->attachAxis(x);
    s->attachAxis(y);
}

QChart* NewChart(const QString& title)
{
    auto* c = new QChart;
    c->setTitle(title);
    c->legend()->hide();
    c->setMargins(QMargins(4, 4, 4, 4));
    c->setBackgroundRoundness(0);
    return c;
}

bool FileTaken(const std::filesystem::path& p)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(p, ec));
}

}  // namespace

ChartPage::ChartPage(SheetSession& session, ChartHost& host, Tables tables, QWidget* parent)
    : QWidget(parent), session_(session), host_(host), tables_(tables)
{
    setObjectName(QStringLiteral("TabSheet4"));
    setAccessibleName(QStringLiteral("管理図表示"));
    createControlPane(xPane_, 9);
    createControlPane(spreadPane_, 4);
    createHistogram();
    xPane_.view->setObjectName(QStringLiteral("chartX"));
    spreadPane_.view->setObjectName(QStringLiteral("chartSpread"));
    histView_->setObjectName(QStringLiteral("chartHistogram"));

    auto* controls = new QSplitter(Qt::Vertical);
    controls->addWidget(xPane_.view);
    controls->addWidget(spreadPane_.view);
    controls->setStretchFactor(0, 3);
    controls->setStretchFactor(1, 2);
    // The capability study of the same values stands beside the histogram,
    // over the page's whole height: stacked under it, its rows would not fit
    // at the window's default size.
    capability_ = new CapabilityPanel(session_, this);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(controls);
    split->addWidget(histView_);
    split->addWidget(capability_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setStretchFactor(2, 0);
    split->setCollapsible(2, false);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(2, 2, 2, 2);
    v->addWidget(split);

    const std::pair<QChartView*, Which> views[] = {
        {xPane_.view, XChart}, {spreadPane_.view, SpreadChart}, {histView_, HistogramChart}};
    for (auto [view, which] : views) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, w = which](const QPoint& pos) { contextMenu(w, pos); });
    }

    // A row made current in a table highlights its lot's point.
    auto follow = [this](StringGrid* g, bool lotRows) {
        connect(g->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this, lotRows](const QModelIndex& now) {
                    if (!now.isValid())
                        return;
                    if (lotRows)
                        highlightLotRow(now.row() + 1);
                    else
                        highlightRow(now.row() + 1);
                });
    };
    follow(tables_.values, true);
    follow(tables_.lots, true);
    follow(tables_.calc, false);
    follow(tables_.spc, false);

    session_.addListener(this);
}

ChartPage::~ChartPage()
{
    session_.removeListener(this);
}

void ChartPage::createControlPane(Pane& p, int lineCount)
{
    p.chart = NewChart(QString());
    // Room on the right for the lines' labels until they are drawn.
    p.chart->setMargins(QMargins(4, 4, 110, 4));
    p.x = new QCategoryAxis;
    p.x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    p.x->setTitleText(QStringLiteral("ﾛｯﾄ№"));
    p.y = new QValueAxis;
    p.chart->addAxis(p.x, Qt::AlignBottom);
    p.chart->addAxis(p.y, Qt::AlignLeft);

    for (int i = 0; i < lineCount; ++i) {
        auto* l = new QLineSeries;
        Attach(p.chart, l, p.x, p.y);
        p.lines.push_back(l);
    }
    p.path = new QLineSeries;
    p.path->setPen(QPen(QColor(0, 70, 180), 1.2));
    Attach(p.chart, p.path, p.x, p.y);
    auto scatter = [&](QColor fill, qreal size) {
        auto* s = new QScatterSeries;
        s->setMarkerSize(size);
        s->setColor(fill);
        s->setBorderColor(fill.darker(130));
        Attach(p.chart, s, p.x, p.y);
        connect(s, &QScatterSeries::clicked, this, &ChartPage::pointClicked);
        return s;
    };
    p.plain = scatter(QColor(0, 70, 180), 7);
    p.marked = scatter(QColor(230, 0, 0), 9);
    p.marked->setName(QStringLiteral("異常"));
    p.current = scatter(QColor(255, 230, 0), 13);
    p.current->setBorderColor(Qt::black);
    p.flagged = new QScatterSeries;
    p.flagged->setName(QStringLiteral("メモ"));
    p.flagged->setMarkerSize(30);
    p.flagged->setBrush(QBrush(FlagImage()));
    p.flagged->setPen(Qt::NoPen);
    Attach(p.chart, p.flagged, p.x, p.y);
    connect(p.flagged, &QScatterSeries::clicked, this, &ChartPage::pointClicked);
    connect(p.path, &QLineSeries::clicked, this, &ChartPage::pointClicked);

    const bool isX = &p == &xPane_;
    for (QScatterSeries* s : {p.plain, p.marked, p.current, p.flagged})
        connect(s, &QScatterSeries::hovered, this, [this, isX](const QPointF& pt, bool on) {
            pointHovered(isX ? xPane_ : spreadPane_, isX ? data_.x : data_.spread, pt, on);
        });

    p.labels = new LineLabels(p.chart, p.path, LineLabels::Right);
    connect(p.chart, &QChart::plotAreaChanged, this, [this, &p, isX] { fitAxes(p, isX ? data_.x : data_.spread); });

    p.view = new QChartView(p.chart);
    p.view->setRenderHint(QPainter::Antialiasing);
    // Both control charts fit the page of the smallest window.
    p.view->setMinimumSize(320, 100);
}

void ChartPage::createHistogram()
{
    histChart_ = NewChart(QStringLiteral("ヒストグラム"));
    histX_ = new QValueAxis;
    histY_ = new QValueAxis;
    histY_->setTitleText(QStringLiteral("度数"));
    histChart_->addAxis(histX_, Qt::AlignBottom);
    histChart_->addAxis(histY_, Qt::AlignLeft);
    // The bars are one area under an outline that steps over every class.
    histBars_ = new QLineSeries(this);
    histArea_ = new QAreaSeries(histBars_);
    histArea_->setBrush(QColor(110, 160, 230));
    histArea_->setPen(QPen(QColor(0, 50, 140), 1));
    Attach(histChart_, histArea_, histX_, histY_);
    histCurve_ = new QLineSeries;
    histCurve_->setPen(QPen(QColor(220, 0, 0), 1.5));
    Attach(histChart_, histCurve_, histX_, histY_);
    histMean_ = new QLineSeries;
    histMean_->setPen(QPen(QColor(0, 140, 0), 1.5));
    Attach(histChart_, histMean_, histX_, histY_);
    for (int i = 0; i < 2; ++i) {
        auto* s = new QLineSeries;
        Attach(histChart_, s, histX_, histY_);
        histSpec_.push_back(s);
    }
    histLabels_ = new LineLabels(histChart_, histCurve_, LineLabels::Top);
    connect(histChart_, &QChart::plotAreaChanged, this, &ChartPage::fitHistogramAxes);
    histLabels_->setTitle(QStringLiteral("ヒストグラム"));
    histView_ = new QChartView(histChart_);
    histView_->setRenderHint(QPainter::Antialiasing);
    histView_->setMinimumSize(240, 160);
    histView_->setAccessibleName(QStringLiteral("ヒストグラム"));
}

QChartView* ChartPage::view(Which w) const
{
    switch (w) {
    case XChart:
        return xPane_.view;
    case SpreadChart:
        return spreadPane_.view;
    case HistogramChart:
        break;
    }
    return histView_;
}

void ChartPage::sessionChanged(unsigned what, int, int)
{
    // The verdict panels and the red marking of the tables draw nothing here.
    if (!(what & ~unsigned(ChangedVerdicts | ChangedMarking)))
        return;
    dirty_ = true;
    scheduleRefresh();
}

void ChartPage::scheduleRefresh()
{
    // Showing a sheet sets every field, one notice each: draw once after them.
    if (scheduled_ || !isVisible())
        return;
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        scheduled_ = false;
        if (dirty_ && isVisible())
            refresh();
    });
}

void ChartPage::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (dirty_)
        refresh();
}

void ChartPage::refresh()
{
    dirty_ = false;
    data_ = BuildChartData(session_);
    decimals_ = 3;
    TryStrToInt(session_.header().decimals, decimals_);
    decimals_ = std::clamp(decimals_, 0, 5);
    drawControl(xPane_, data_.x);
    drawControl(spreadPane_, data_.spread);
    drawHistogram(data_.histogram);
    capability_->refresh();
    if (pendingLotRow_ > 0)
        highlightLotRow(pendingLotRow_);
    drawHighlight();
}

void ChartPage::drawControl(Pane& p, const ControlChart& c)
{
    p.chart->setTitle(ToQString(c.title));
    p.view->setAccessibleName(ToQString(c.title));

    QList<QPointF> all, plain, marked, flagged;
    all.reserve(static_cast<qsizetype>(c.points.size()));
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (const ChartPoint& pt : c.points) {
        const QPointF q(pt.calcRow, pt.value);
        all.push_back(q);
        // The store's alarms are marked as the sheet's own rule marks are.
        (pt.marks.empty() && pt.alarmMarks.empty() ? plain : marked).push_back(q);
        if (!pt.notes.empty())
            flagged.push_back(q);
        lo = std::min(lo, pt.value);
        hi = std::max(hi, pt.value);
    }
    p.path->replace(all);
    p.plain->replace(plain);
    p.marked->replace(marked);
    p.flagged->replace(flagged);

    // Lot rows run from 1; the axis spans every row of the statistics table.
    const int rows = c.points.empty() ? 1 : c.points.back().calcRow;
    const double left = 0.5, right = rows + 0.5;
    std::vector<LineLabels::Line> labels;
    for (size_t i = 0; i < p.lines.size() && i < c.lines.size(); ++i) {
        const LevelLine& l = c.lines[i];
        const bool drawn = l.steps.empty()
                               ? DrawLevelLine(p.lines[i], l, {left, l.value}, {right, l.value}, labels, decimals_)
                               : DrawStepLine(p.lines[i], l, c.points, left, right, labels, decimals_);
        if (!drawn)
            continue;
        lo = std::min(lo, l.value);
        hi = std::max(hi, l.value);
        for (double v : l.steps) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    if (lo > hi)
        lo = 0, hi = 1;
    const double pad = hi > lo ? (hi - lo) * 0.08 : std::max(1e-4, std::abs(hi) * 0.05);
    p.y->setRange(lo - pad, hi + pad);
    p.x->setRange(left, right);
    p.labels->setLines(labels);
    fitAxes(p, c);
    describe(p.view, c);
}

void ChartPage::fitAxes(Pane& p, const ControlChart& c)
{
    // Before the chart is first laid out, ticks for its smallest size: an
    // axis asks for the room of all its labels, and the page divides its
    // width after what the charts ask for.
    QRectF plot = p.chart->plotArea();
    if (plot.isEmpty())
        plot = QRectF(QPointF(), p.view->minimumSize());
    FitValueAxis(p.y, plot.height(), decimals_, Qt::Vertical);
    std::vector<QString> labels;
    std::vector<int> rows;
    for (const ChartPoint& pt : c.points) {
        labels.push_back(ToQString(pt.label));
        rows.push_back(pt.calcRow);
    }
    // A low chart leaves out the axis title, which the lot numbers need.
    p.x->setTitleVisible(p.chart->size().height() >= 220);
    FitLotLabels(p.x, labels, rows, plot.width());
}

void ChartPage::fitHistogramAxes()
{
    QRectF plot = histChart_->plotArea();
    if (plot.isEmpty())
        plot = QRectF(QPointF(), histView_->minimumSize());
    FitValueAxis(histX_, plot.width(), decimals_, Qt::Horizontal);
    // The counts are whole numbers.
    FitValueAxis(histY_, plot.height(), 0, Qt::Vertical);
}

void ChartPage::describe(QChartView* view, const ControlChart& c) const
{
    // The chart's points as a table for assistive technology: one line per
    // lot with its value, the rules that marked it (the store's alarms
    // after the sheet's own marks) and its notes.
    QString t = QStringLiteral("ﾛｯﾄ№\t値\t異常\tメモ\n");
    for (const ChartPoint& p : c.points) {
        t += ToQString(p.label) + QLatin1Char('\t') + ToQString(FormatFixed(p.value, 4)) + QLatin1Char('\t');
        QStringList marks;
        for (const std::string& m : p.marks)
            marks << ToQString(m);
        for (const std::string& m : p.alarmMarks)
            marks << QStringLiteral("アラーム") + ToQString(m);
        QStringList notes;
        for (const std::string& n : p.notes)
            notes << ToQString(n);
        t += marks.join(QLatin1Char(' ')) + QLatin1Char('\t') + notes.join(QStringLiteral(" / ")) + QLatin1Char('\n');
    }
    view->setAccessibleDescription(t);
}

void ChartPage::drawHistogram(const Histogram& h)
{
    QList<QPointF> outline;
    double left = HUGE_VAL, right = -HUGE_VAL, top = 1;
    for (const HistogramClass& c : h.classes) {
        outline << QPointF(c.from, 0) << QPointF(c.from, c.count) << QPointF(c.to, c.count) << QPointF(c.to, 0);
        left = std::min(left, c.from);
        right = std::max(right, c.to);
        top = std::max(top, double(c.count));
    }
    histBars_->replace(outline);
    QList<QPointF> curve;
    curve.reserve(static_cast<qsizetype>(h.curve.size()));
    for (auto [x, y] : h.curve) {
        curve.push_back({x, y});
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::max(top, y);
    }
    histCurve_->replace(curve);
    for (size_t i = 0; i < histSpec_.size() && i < h.specLimits.size(); ++i) {
        const LevelLine& l = h.specLimits[i];
        if (l.shown) {
            left = std::min(left, l.value);
            right = std::max(right, l.value);
        }
    }
    if (left > right)
        left = 0, right = 1;
    top *= 1.15;
    // The labels stand above the plot, name over value.
    std::vector<LineLabels::Line> labels;
    for (size_t i = 0; i < histSpec_.size() && i < h.specLimits.size(); ++i) {
        const LevelLine& l = h.specLimits[i];
        DrawLevelLine(histSpec_[i], l, {l.value, 0}, {l.value, top}, labels, decimals_, QLatin1Char('\n'));
    }
    const bool any = !h.values.empty();
    histMean_->setVisible(any);
    if (any) {
        LevelLine mean;
        mean.kind = LevelLine::Kind::Centre;
        mean.name = "平均値";
        mean.value = h.mean;
        labels.push_back(LineLabel(mean, decimals_, QLatin1Char('\n')));
        histMean_->replace(QList<QPointF>{{h.mean, 0}, {h.mean, top}});
    } else {
        histMean_->clear();
    }
    const double pad = (right - left) * 0.05;
    histX_->setRange(left - pad, right + pad);
    histY_->setRange(0, top);
    histLabels_->setTitle(QStringLiteral("ヒストグラム（区間数 %1）").arg(h.classCount));
    histLabels_->setLines(labels);
    fitHistogramAxes();

    QString t = QStringLiteral("区間\t度数\n");
    for (const HistogramClass& c : h.classes)
        t += ToQString(FormatFixed(c.from, 4)) + QStringLiteral(" - ") + ToQString(FormatFixed(c.to, 4)) +
             QLatin1Char('\t') + QString::number(c.count) + QLatin1Char('\n');
    t += QStringLiteral("平均値\t") + ToQString(FormatFixed(h.mean, 4)) + QStringLiteral("\n標準偏差\t") +
         ToQString(FormatFixed(h.stdev, 4)) + QLatin1Char('\n');
    histView_->setAccessibleDescription(t);
}

void ChartPage::drawHighlight()
{
    for (Pane* p : {&xPane_, &spreadPane_}) {
        const ControlChart& c = p == &xPane_ ? data_.x : data_.spread;
        QList<QPointF> at;
        for (const ChartPoint& pt : c.points)
            if (pt.calcRow == highlighted_)
                at.push_back({double(pt.calcRow), pt.value});
        p->current->replace(at);
    }
}

void ChartPage::highlightRow(int calcRow)
{
    if (highlighted_ == calcRow)
        return;
    highlighted_ = calcRow;
    pendingLotRow_ = -1;
    if (!dirty_)
        drawHighlight();
}

void ChartPage::highlightLotRow(int lotRow)
{
    // The measurement table's row names its lot; the statistics table holds
    // only the lots that took part, so the point is found by its label.
    if (dirty_ && !isVisible()) {
        // A hidden page draws nothing: the lot is found when it is drawn.
        pendingLotRow_ = lotRow;
        return;
    }
    pendingLotRow_ = -1;
    const std::string& label = session_.lotCells().text(0, lotRow);
    if (dirty_)
        refresh();
    for (const ChartPoint& p : data_.x.points)
        if (p.label == label) {
            highlightRow(p.calcRow);
            return;
        }
    highlightRow(-1);
}

void ChartPage::selectPoint(int calcRow)
{
    if (dirty_)
        refresh();
    const ChartPoint* point = nullptr;
    for (const ChartPoint& p : data_.x.points)
        if (p.calcRow == calcRow)
            point = &p;
    for (const ChartPoint& p : data_.spread.points)
        if (!point && p.calcRow == calcRow)
            point = &p;
    if (!point)
        return;
    const std::string label = point->label;
    // The statistics and SPC rows are the point's own; the measurement and
    // lot tables hold every lot, found by its label.
    auto keepColumn = [](StringGrid* g, int fallback) {
        const GridPos now = g->current();
        return now.col >= 0 ? now.col : fallback;
    };
    if (calcRow < tables_.calc->RowCount())
        tables_.calc->setCurrent({keepColumn(tables_.calc, 0), calcRow});
    if (calcRow < tables_.spc->RowCount())
        tables_.spc->setCurrent({keepColumn(tables_.spc, 0), calcRow});
    const SheetSession& s = session_;
    for (int row = 1; row <= s.lots(); ++row)
        if (s.lotCells().text(0, row) == label) {
            tables_.values->setCurrent({keepColumn(tables_.values, 0), row});
            tables_.lots->setCurrent({keepColumn(tables_.lots, 0), row});
            break;
        }
    highlightRow(calcRow);
}

void ChartPage::pointClicked(const QPointF& p)
{
    selectPoint(static_cast<int>(std::lround(p.x())));
}

QString ChartPage::pointToolTip(Which w, int calcRow) const
{
    const ControlChart& c = w == SpreadChart ? data_.spread : data_.x;
    for (const ChartPoint& p : c.points)
        if (p.calcRow == calcRow)
            return ToQString(PointText(p));
    return QString();
}

void ChartPage::pointHovered(const Pane& pane, const ControlChart&, const QPointF& p, bool on)
{
    if (!on) {
        QToolTip::hideText();
        return;
    }
    const QString t = pointToolTip(&pane == &xPane_ ? XChart : SpreadChart, static_cast<int>(std::lround(p.x())));
    if (!t.isEmpty())
        QToolTip::showText(QCursor::pos(), t, pane.view);
}

const ChartPoint* ChartPage::pointAt(Which w, const QPoint& pos)
{
    if (w == HistogramChart)
        return nullptr;
    if (dirty_)
        refresh();
    const Pane& pane = w == XChart ? xPane_ : spreadPane_;
    const ControlChart& c = w == XChart ? data_.x : data_.spread;
    const QPointF at = pane.chart->mapFromScene(pane.view->mapToScene(pos));
    const ChartPoint* nearest = nullptr;
    double best = 8.0 * 8.0;  // pixels, squared
    for (const ChartPoint& pt : c.points) {
        const QPointF d = pane.chart->mapToPosition(QPointF(pt.calcRow, pt.value), pane.path) - at;
        const double dist = d.x() * d.x() + d.y() * d.y();
        if (dist <= best) {
            best = dist;
            nearest = &pt;
        }
    }
    return nearest;
}

void ChartPage::contextMenu(Which w, const QPoint& pos)
{
    QMenu menu(this);
    if (w == XChart && pointMenu_) {
        if (const ChartPoint* pt = pointAt(w, pos)) {
            pointMenu_(menu, pt->lotRow);
            menu.addSeparator();
        }
    }
    menu.addAction(QStringLiteral("PNG形式で保存"), this, [this, w] { save(w, QStringLiteral("png")); });
    menu.addAction(QStringLiteral("SVG形式で保存"), this, [this, w] { save(w, QStringLiteral("svg")); });
    menu.addAction(QStringLiteral("PDF形式で保存"), this, [this, w] { save(w, QStringLiteral("pdf")); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("クリップボードにコピー"), this, [this, w] { copyToClipboard(w); });
    menu.exec(view(w)->mapToGlobal(pos));
}

QString ChartPage::fileBase(Which w) const
{
    switch (w) {
    case XChart:
        return QStringLiteral("XChart");
    case SpreadChart:
        return QString::fromUtf8(SpreadSideName(IndexOf(session_.chartKind()))) + QStringLiteral("Chart");
    case HistogramChart:
        break;
    }
    return QStringLiteral("HistogramChart");
}

QString ChartPage::save(Which w, const QString& format)
{
    if (dirty_)
        refresh();
    QChartView* v = view(w);
    // A page never shown has not laid its charts out: give them a size.
    if (!v->isVisible())
        v->resize(std::max(v->width(), 1000), std::max(v->height(), 420));

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string name = ReportCopyName(local, (fileBase(w) + QLatin1Char('.') + format).toStdString());
    const std::filesystem::path path =
        FreeReportPath(std::filesystem::path(host_.saveFilesDir().toStdString()), name, FileTaken);
    const QString file = QString::fromStdString(path.string());

    bool ok = false;
    if (format == QLatin1String("png")) {
        ok = v->grab().save(file, "PNG");
    } else if (format == QLatin1String("svg")) {
        QSvgGenerator gen;
        gen.setFileName(file);
        gen.setSize(v->size());
        gen.setViewBox(QRect(QPoint(0, 0), v->size()));
        gen.setTitle(v->accessibleName());
        QPainter painter;
        if (painter.begin(&gen)) {
            v->render(&painter);
            ok = painter.end();
        }
    } else if (format == QLatin1String("pdf")) {
        QPdfWriter pdf(file);
        pdf.setTitle(v->accessibleName());
        pdf.setPageSize(QPageSize(QSizeF(v->width(), v->height()), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(72);
        QPainter painter;
        if (painter.begin(&pdf)) {
            v->render(&painter);
            ok = painter.end();
        }
    }
    ok = ok && QFileInfo(file).size() > 0;
    if (!ok) {
        Prompts::current().message(this, QString::fromUtf8(kWarningCaption),
                                   QStringLiteral("管理図を保存できませんでした。\n") + file);
        return QString();
    }
    return file;
}

void ChartPage::copyToClipboard(Which w)
{
    if (dirty_)
        refresh();
    QApplication::clipboard()->setImage(view(w)->grab().toImage());
}

}  // namespace trevolo
