#pragma once
// What keeps the charts of the page "管理図表示" readable: the labels of the
// level lines in a margin beside the plot, apart from each other, and axis
// steps whose labels fit whole.
#include <QColor>
#include <QFont>
#include <QObject>
#include <QString>
#include <vector>

class QAbstractSeries;
class QCategoryAxis;
class QChart;
class QGraphicsLineItem;
class QGraphicsSimpleTextItem;
class QValueAxis;

namespace trevolo {

// A label along a column (or a row) of labels: the centre its line asks for
// and its extent along the column.
struct LabelSlot {
    double want = 0;
    double size = 0;
};

// The centres of the labels, in the order given: no two closer than their
// half extents and `gap` together, each as near to the centre it asks for as
// the others allow (labels in each other's way share the move), all within
// [lo, hi] when they fit together there; when they do not, they are stacked
// from lo.
std::vector<double> PlaceLabels(const std::vector<LabelSlot>& labels, double lo, double hi, double gap = 1);

// The step of an axis over [lo, hi]: 1, 2 or 5 times a power of ten, never
// finer than `finest`, with at most `most` steps when a step of that kind
// allows it.
double AxisStep(double lo, double hi, int most, double finest);

// The labels of a chart's level lines. Horizontal lines (the control
// charts') have theirs in the chart's right margin, level with the line;
// vertical lines (the histogram's) in a band between the title and the plot,
// so the band draws the title itself. A label that had to move off its line
// is joined to it by a thin leader. The labels are placed again whenever the
// plot area changes.
class LineLabels : public QObject {
public:
    enum Side { Right, Top };
    struct Line {
        QString text;
        QColor colour;
        double value = 0;
    };
    // `anchor` is a series on the chart's axes, through which values map to
    // positions.
    LineLabels(QChart* chart, QAbstractSeries* anchor, Side side);

    // The title over a band of vertical lines' labels.
    void setTitle(const QString& title);
    void setLines(const std::vector<Line>& lines);

private:
    // The labels' text size and the margin that holds them.
    void fit();
    void place();

    QChart* chart_;
    QAbstractSeries* anchor_;
    Side side_;
    std::vector<Line> lines_;
    std::vector<QGraphicsSimpleTextItem*> texts_;
    std::vector<QGraphicsLineItem*> leaders_;
    QGraphicsSimpleTextItem* title_ = nullptr;
    QFont font_;
    bool fitted_ = false;
};

// Ticks of a value axis at a whole step (whole numbers for a count axis,
// `decimals` = 0) whose labels, written with that many decimals, fit whole
// into `pixels` along the axis.
void FitValueAxis(QValueAxis* axis, double pixels, int decimals, Qt::Orientation along);

// The lot numbers along a control chart's axis of `pixels`: every lot's when
// they fit, otherwise every 2nd, 5th, 10th, ... lot's, so that none is cut.
// `rows` are the lots' positions on the axis.
void FitLotLabels(QCategoryAxis* axis, const std::vector<QString>& labels, const std::vector<int>& rows, double pixels);

}  // namespace trevolo
