#include "app/chart_labels.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGraphicsLineItem>
#include <QHash>
#include <QGraphicsSimpleTextItem>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace trevolo {

namespace {

// Qt Charts gives each axis label an equal share of the axis, less this
// padding on both sides, and cuts a label longer than its share.
constexpr double kAxisLabelPadding = 4;
// Room kept beside an axis label beyond its share's padding.
constexpr double kAxisLabelSpare = 8;
// The gap between the plot and a line's label, where its leader runs.
constexpr double kLeader = 12;
constexpr double kEdge = 4;
// The smallest text the labels shrink to where the chart is too low for them.
constexpr int kSmallestPixels = 9;

// The steps 1, 2, 5, 10, 20, 50, ... times `unit`, the first that gives at
// most `most` steps over `span`.
double NiceStep(double span, double most, double unit)
{
    if (!(span > 0) || !std::isfinite(span) || !(unit > 0))
        return unit;
    for (double power = unit;; power *= 10)
        for (double m : {1.0, 2.0, 5.0})
            if (span / (power * m) <= most * (1 + 1e-9))  // a span of whole steps, less rounding
                return power * m;
}

}  // namespace

std::vector<double> PlaceLabels(const std::vector<LabelSlot>& labels, double lo, double hi, double gap)
{
    std::vector<size_t> order(labels.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return labels[a].want < labels[b].want; });

    // Runs of labels that stand in each other's way, top to bottom. A run's
    // start is the mean of what its labels ask of it (`pull` / `count`),
    // kept within the bounds.
    struct Run {
        size_t first, count;
        double extent, pull, start;
    };
    std::vector<Run> runs;
    auto settle = [&](Run& r) { r.start = std::max(lo, std::min(r.pull / double(r.count), hi - r.extent)); };
    for (size_t k = 0; k < order.size(); ++k) {
        const LabelSlot& l = labels[order[k]];
        runs.push_back({k, 1, l.size, l.want - l.size / 2, 0});
        settle(runs.back());
        while (runs.size() > 1) {
            Run& prev = runs[runs.size() - 2];
            const Run& last = runs.back();
            if (prev.start + prev.extent + gap <= last.start)
                break;
            // The later run follows the earlier one: its labels ask for a
            // start that much before their own.
            const double offset = prev.extent + gap;
            prev.pull += last.pull - offset * double(last.count);
            prev.extent += gap + last.extent;
            prev.count += last.count;
            runs.pop_back();
            settle(runs.back());
        }
    }
    std::vector<double> centres(labels.size());
    for (const Run& r : runs) {
        double at = r.start;
        for (size_t k = r.first; k < r.first + r.count; ++k) {
            const LabelSlot& l = labels[order[k]];
            centres[order[k]] = at + l.size / 2;
            at += l.size + gap;
        }
    }
    return centres;
}

double AxisStep(double lo, double hi, int most, double finest)
{
    return NiceStep(hi - lo, std::max(most, 1), finest);
}

LineLabels::LineLabels(QChart* chart, QAbstractSeries* anchor, Side side)
    : QObject(chart), chart_(chart), anchor_(anchor), side_(side)
{
    connect(chart, &QChart::plotAreaChanged, this, &LineLabels::place);
    if (side_ == Top) {
        title_ = new QGraphicsSimpleTextItem(chart);
        title_->setFont(chart->titleFont());
        title_->setBrush(chart->titleBrush());
    }
}

void LineLabels::setTitle(const QString& title)
{
    chart_->setTitle(QString());
    title_->setText(title);
    place();
}

void LineLabels::setLines(const std::vector<Line>& lines)
{
    lines_ = lines;
    while (texts_.size() < lines_.size()) {
        texts_.push_back(new QGraphicsSimpleTextItem(chart_));
        leaders_.push_back(new QGraphicsLineItem(chart_));
        texts_.back()->setZValue(10);
        leaders_.back()->setZValue(10);
    }
    for (size_t i = 0; i < texts_.size(); ++i) {
        const bool shown = i < lines_.size();
        texts_[i]->setVisible(shown);
        leaders_[i]->setVisible(false);
        if (!shown)
            continue;
        texts_[i]->setText(lines_[i].text);
        texts_[i]->setBrush(lines_[i].colour);
        leaders_[i]->setPen(QPen(lines_[i].colour, 0.8));
    }
    fitted_ = false;
    place();
}

void LineLabels::fit()
{
    // The chart's text while the labels fit one above the other in a column
    // as high as the chart; smaller (down to kSmallestPixels) where it is too
    // low for them. Japanese text sets the height, so it is measured as drawn.
    QFont font = chart_->font();
    if (side_ == Right && !lines_.empty()) {
        const double room = chart_->size().height() - 2 * kEdge;
        QGraphicsSimpleTextItem probe;
        auto column = [&] {
            probe.setFont(font);
            double h = 0;
            for (const Line& l : lines_) {
                probe.setText(l.text);
                h += probe.boundingRect().height() + 1;
            }
            return h;
        };
        for (int pixels = QFontInfo(font).pixelSize(); pixels > kSmallestPixels && column() > room;)
            font.setPixelSize(--pixels);
    }
    if (fitted_ && font == font_)
        return;
    fitted_ = true;
    font_ = font;
    double widest = 0, tallest = 2 * QFontMetricsF(font).height();
    for (size_t i = 0; i < lines_.size(); ++i) {
        texts_[i]->setFont(font);
        widest = std::max(widest, texts_[i]->boundingRect().width());
        tallest = std::max(tallest, texts_[i]->boundingRect().height());
    }
    // The margin holds the widest label (above the plot, a band as high as
    // the tallest under the title); changing it lays the chart out again.
    QMargins m = chart_->margins();
    if (side_ == Right) {
        m.setRight(int(std::ceil(kLeader + widest + kEdge)));
    } else {
        const double title = std::max(title_->boundingRect().height(), QFontMetricsF(title_->font()).height());
        m.setTop(int(std::ceil(kEdge + title + kEdge + tallest + kLeader)));
    }
    if (m != chart_->margins())
        chart_->setMargins(m);
}

void LineLabels::place()
{
    fit();
    const QRectF plot = chart_->plotArea();
    const QRectF all = chart_->rect();
    if (title_)
        title_->setPos(all.center().x() - title_->boundingRect().width() / 2, kEdge);
    if (plot.isEmpty() || lines_.empty())
        return;
    std::vector<LabelSlot> wanted;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const QPointF at = chart_->mapToPosition(QPointF(lines_[i].value, lines_[i].value), anchor_);
        const QRectF r = texts_[i]->boundingRect();
        wanted.push_back(side_ == Right ? LabelSlot{at.y(), r.height()} : LabelSlot{at.x(), r.width()});
    }
    // The right margin from the chart's top to its bottom: the title is laid
    // out within the margins, never above it. The band above the plot
    // across the chart's width.
    const std::vector<double> at = side_ == Right ? PlaceLabels(wanted, all.top() + kEdge, all.bottom() - kEdge, 1)
                                                  : PlaceLabels(wanted, all.left() + kEdge, all.right() - kEdge, 1);
    for (size_t i = 0; i < lines_.size(); ++i) {
        const QRectF r = texts_[i]->boundingRect();
        const bool moved = std::abs(at[i] - wanted[i].want) > 0.5;
        if (side_ == Right) {
            texts_[i]->setPos(plot.right() + kLeader, at[i] - r.height() / 2);
            leaders_[i]->setLine(plot.right() + 1, wanted[i].want, plot.right() + kLeader - 1, at[i]);
        } else {
            texts_[i]->setPos(at[i] - r.width() / 2, plot.top() - kLeader - r.height());
            leaders_[i]->setLine(wanted[i].want, plot.top() - 1, at[i], plot.top() - kLeader + 1);
        }
        leaders_[i]->setVisible(moved);
    }
}

void FitValueAxis(QValueAxis* axis, double pixels, int decimals, Qt::Orientation along)
{
    const QFontMetricsF fm(axis->labelsFont());
    const char* const formats[] = {"%.0f", "%.1f", "%.2f", "%.3f", "%.4f", "%.5f"};
    decimals = std::clamp(decimals, 0, 5);
    // A label narrower than "..." makes Qt Charts cut an upright axis title:
    // the labels of a vertical axis are padded.
    const QString format = QLatin1String(formats[decimals]) +
                           (along == Qt::Vertical ? QStringLiteral("&nbsp;&nbsp;") : QString());
    double extent = fm.height();
    if (along == Qt::Horizontal)
        for (double v : {axis->min(), axis->max()})
            extent = std::max(extent, fm.horizontalAdvance(QString::asprintf(formats[decimals], v)));
    // A step that fits k times into the span gives at most k + 1 ticks.
    const double ticks = std::floor(pixels / (extent + 2 * kAxisLabelPadding + kAxisLabelSpare));
    const double step = NiceStep(axis->max() - axis->min(), std::max(1.0, ticks - 0.001), std::pow(10.0, -decimals));
    const double anchor = std::ceil(axis->min() / step) * step;
    if (axis->labelFormat() != format)
        axis->setLabelFormat(format);
    if (axis->tickType() != QValueAxis::TicksDynamic)
        axis->setTickType(QValueAxis::TicksDynamic);
    if (axis->tickInterval() != step)
        axis->setTickInterval(step);
    if (axis->tickAnchor() != anchor)
        axis->setTickAnchor(anchor);
}

void FitLotLabels(QCategoryAxis* axis, const std::vector<QString>& labels, const std::vector<int>& rows, double pixels)
{
    const QFontMetricsF fm(axis->labelsFont());
    // A thousand lot numbers are measured character by character: each
    // character's advance once, plus a pixel for what kerning may add.
    QHash<QChar, double> advance;
    double widest = 0;
    for (const QString& l : labels) {
        double w = 1;
        for (QChar c : l) {
            auto a = advance.constFind(c);
            if (a == advance.cend())
                a = advance.insert(c, fm.horizontalAdvance(c));
            w += *a;
        }
        widest = std::max(widest, w);
    }
    // Each label's share is the axis divided by one more than the labels.
    const double most = std::max(1.0, std::floor(pixels / (widest + 2 * kAxisLabelPadding + kAxisLabelSpare)) - 1);
    const size_t step = size_t(NiceStep(double(labels.size()), most, 1));

    QStringList want;
    std::vector<int> at;
    for (size_t i = 0; i < labels.size(); i += step)
        if (!want.contains(labels[i])) {
            want << labels[i];
            at.push_back(rows[i]);
        }
    bool same = want == axis->categoriesLabels();
    for (qsizetype i = 0; same && i < want.size(); ++i)
        same = axis->endValue(want[i]) == at[size_t(i)];
    if (same)
        return;
    for (const QString& l : axis->categoriesLabels())
        axis->remove(l);
    for (qsizetype i = 0; i < want.size(); ++i)
        axis->append(want[i], at[size_t(i)]);
}

}  // namespace trevolo
