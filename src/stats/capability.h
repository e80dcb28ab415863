#pragma once
// Per-lot statistics and process capability: the rows of the statistics
// table (n, maximum, minimum, mean, range or moving range, standard
// deviation, Cp, Cpk, verdict) for every enabled lot that has values, the
// total row, and the verdict against the Cp or Cpk threshold. The command
// handler runs the specification judgment first, clears the table, writes
// these rows, sets the panel and the marking flag; this file only computes.
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/comtype.h"
#include "stats/lot_table.h"

namespace trevolo {

// Columns of the statistics table.
enum CalcColumn : int {
    CalcLot = 0,    // lot number, "＊トータル" in the total row
    CalcN = 1,      // "%d"
    CalcMax = 2,    // "%.5f"
    CalcMin = 3,    // "%.5f"
    CalcMean = 4,   // "%.5f"
    CalcRange = 5,  // "%.5f": range, or moving range for the X-Rs chart
    CalcStdev = 6,  // "%.5f"
    CalcCp = 7,     // "%.3f"
    CalcCpk = 8,    // "%.3f"
    CalcVerdict = 9,
    kCalcColumns = 10,
};

inline constexpr const char* kTotalLabel = "＊トータル";
inline constexpr const char* kVerdictOk = "○異常なし";
inline constexpr const char* kVerdictNg = "×異常あり";
inline constexpr const char* kVerdictOff = "－";

using CalcRow = std::array<std::string, kCalcColumns>;

// Statistics of an array of values. The sums run in long double.
struct ValueStats {
    int n = 0;
    double max = 0;
    double min = 0;
    long double sum = 0;
    long double mean = 0;
    // Sum of the squared deviations from the mean.
    long double ss = 0;
    // Sample standard deviation (divisor n - 1); 0 for fewer than two values.
    // Taken from the deviations from the mean, which equals
    // sqrt((Σx² − (Σx)²/n) / (n − 1)) without its cancellation on values far
    // from zero.
    long double stdev = 0;
};
ValueStats ComputeStats(std::span<const double> values) noexcept;

// The statistics of all values of several arrays, from the statistics of
// each: the deviations are pooled as Σ ss_i + Σ n_i (mean_i − mean)², so the
// values need not be gathered or read again.
class PooledStats {
public:
    void add(const ValueStats& part);
    ValueStats result() const noexcept;

private:
    struct Part {
        int n;
        long double mean;
        long double ss;
    };
    std::vector<Part> parts_;
    ValueStats total_;
};

// Cp and Cpk for a mean and standard deviation (s > 0) against the limits of
// a kind: two-sided (U−L)/6s and the smaller of (U−m)/3s and (m−L)/3s; upper
// only (U−m)/3s for both; lower only (m−L)/3s for both.
struct CapabilityIndices {
    double cp = 0;
    double cpk = 0;
};
CapabilityIndices ComputeIndices(int specKind, double upper, double lower, long double mean,
                                 long double stdev) noexcept;

struct CapabilityInput {
    int chartKind = ChartXbarR;    // the control chart kind (ChartKind)
    int specKind = SpecTolerance;  // the specification kind (SpecKind)
    std::string_view upper;        // the upper specification limit, as typed
    std::string_view lower;        // the lower specification limit, as typed
    bool thresholdOn = true;       // whether the capability threshold is judged
    int thresholdIndex = 1;        // the index judged: 0 Cp, 1 Cpk
    std::string_view threshold;    // the capability threshold, as typed
};

// A lot row has STDEV, Cp and Cpk when it has two or more values that are
// not all equal (none on the X-Rs chart). On the XbarS chart a lot of two or
// more equal values shows STDEV 0.00000 without indices, since its S is 0;
// a lot with a single value has no STDEV on any chart.
struct CapabilityResult {
    // Rows from table row 1: the lot rows, then the total row when at least
    // one lot row was written and no measured value stopped the run. The
    // command empties rows 1 .. 1000 first and writes these.
    std::vector<CalcRow> rows;
    int lotRows = 0;
    // The row count the table takes (header, lot rows, total row), or 0 to
    // leave the count as it is (no lot row, or a measured value stopped it).
    int tableRows = 0;
    // The total row holds its statistics: more than one value in all enabled
    // lots. Otherwise the total row keeps only its label and the verdict
    // column, the panel and the column widths stay as they were.
    bool totalComputed = false;
    // The panel's new verdict; None leaves the capability
    // verdict as it was. Set only when
    // the verdict step finished, which is also when the table's columns are
    // widened to their contents.
    Verdict panel = Verdict::None;
    // The text that stopped the run. A measured value stops it before the
    // failing lot's row is written (rows holds the lots before it); the
    // threshold stops it at the first row with an index to judge (rows before
    // it keep their verdicts). rows is still written by the command.
    std::optional<ConvertFailure> error;
};

CapabilityResult ComputeCapability(const LotSource& lots, const CapabilityInput& in);

// Paint-time red marking of a statistics cell (row 0 and column 0 are the
// header): a Cp (with "CP" chosen) or Cpk (with "CPK") cell below the
// threshold while the capability marking flag is set and the threshold
// judgment is on; any cell whose text begins with "×". A text or threshold
// that is not a number gives no mark.
struct CalcMarking {
    bool flag = false;           // capability marking flag
    bool thresholdOn = true;     // whether the capability threshold is judged
    int thresholdIndex = 1;      // the index judged: 0 Cp, 1 Cpk
    std::string_view threshold;  // the capability threshold, as typed
};
bool CalcCellIsRed(int col, int row, std::string_view text, const CalcMarking& marking) noexcept;

}  // namespace trevolo
