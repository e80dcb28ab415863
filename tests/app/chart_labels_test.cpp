// Where the charts' line labels go and the steps of their value axes.
#include <gtest/gtest.h>

#include "app/chart_labels.h"

namespace trevolo {
namespace {

TEST(ChartLabelsTest, LabelsMoveApartAsLittleAsTheyCanWithinTheirBounds)
{
    struct Case {
        const char* what;
        std::vector<LabelSlot> labels;
        double lo, hi, gap;
        std::vector<double> centres;
    } cases[] = {
        {"none", {}, 0, 100, 1, {}},
        {"apart stay", {{10, 10}, {40, 10}}, 0, 100, 1, {10, 40}},
        {"two in the way share the move", {{50, 10}, {52, 10}}, 0, 100, 0, {46, 56}},
        {"equal wants stack about them", {{50, 10}, {50, 10}, {50, 10}}, 0, 100, 0, {40, 50, 60}},
        {"the gap parts them", {{50, 10}, {50, 10}}, 0, 100, 2, {44, 56}},
        {"pushed off the top bound", {{0, 10}, {2, 10}}, 0, 100, 0, {5, 15}},
        {"pushed off the bottom bound, order kept", {{100, 10}, {98, 10}}, 0, 100, 0, {95, 85}},
        {"a run that grows takes in the one above", {{10, 10}, {20, 10}, {21, 10}}, 0, 100, 0, {7, 17, 27}},
        {"too many for the bounds stack from lo", {{50, 10}, {50, 10}, {50, 10}}, 0, 20, 0, {5, 15, 25}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<double> got = PlaceLabels(c.labels, c.lo, c.hi, c.gap);
        ASSERT_EQ(got.size(), c.centres.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.centres[i], 1e-9) << i;
    }
}

TEST(ChartLabelsTest, AxisStepsAreWholeAndNoFinerThanTheDecimals)
{
    struct Case {
        double lo, hi;
        int most;
        double finest, step;
    } cases[] = {
        {9.95, 10.05, 2, 0.001, 0.05}, {0, 37, 5, 1, 10}, {0, 3, 10, 1, 1}, {10, 10, 5, 0.01, 0.01},
        {0, 0.0004, 10, 0.001, 0.001},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(AxisStep(c.lo, c.hi, c.most, c.finest), c.step, 1e-12) << c.lo << ".." << c.hi;
}

}  // namespace
}  // namespace trevolo
