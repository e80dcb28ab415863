// The rule options: the check made before storing, and the usual values.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>

#include "spc/rule_options.h"

namespace trevolo {
namespace {

struct ValidationCase {
    const char* name;
    std::function<void(RuleOptions&)> change;
    std::optional<int> wrongList;
};

void PrintTo(const ValidationCase& c, std::ostream* os)
{
    *os << c.name;
}

class RuleOptionsValidation : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(RuleOptionsValidation, NamesTheListToCorrect)
{
    RuleOptions o = RuleOptions::Defaults();
    GetParam().change(o);
    EXPECT_EQ(ValidateRuleOptions(o), GetParam().wrongList);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RuleOptionsValidation,
    ::testing::Values(
        ValidationCase{"defaults", [](RuleOptions&) {}, std::nullopt},
        ValidationCase{"block_shorter_than_hits_5",
                       [](RuleOptions& o) { o.beyond2SigmaBlock = 3, o.beyond2SigmaHits = 4; }, ListBeyond2SigmaBlock},
        ValidationCase{"block_equal_to_hits_5", [](RuleOptions& o) { o.beyond2SigmaBlock = 4, o.beyond2SigmaHits = 4; },
                       std::nullopt},
        ValidationCase{"block_shorter_than_hits_6",
                       [](RuleOptions& o) { o.beyond1SigmaBlock = 5, o.beyond1SigmaHits = 6; }, ListBeyond1SigmaBlock},
        // Rule 5 is checked before rule 6.
        ValidationCase{"both_pairs_wrong",
                       [](RuleOptions& o) {
                           o.beyond2SigmaBlock = 3, o.beyond2SigmaHits = 6;
                           o.beyond1SigmaBlock = 5, o.beyond1SigmaHits = 8;
                       },
                       ListBeyond2SigmaBlock},
        // A value no list offers (a list without selection) comes first.
        ValidationCase{"not_an_item",
                       [](RuleOptions& o) {
                           o.within1SigmaRun = 0;
                           o.beyond2SigmaBlock = 3, o.beyond2SigmaHits = 6;
                       },
                       ListWithin1SigmaRun},
        ValidationCase{"out_of_list_even_if_ordered", [](RuleOptions& o) { o.sameSideRun = 12; }, ListSameSideRun},
        // A switched-off rule keeps its value and is checked all the same.
        ValidationCase{"off_rule_still_checked",
                       [](RuleOptions& o) {
                           o.beyond2Sigma = false;
                           o.beyond2SigmaBlock = 3, o.beyond2SigmaHits = 5;
                       },
                       ListBeyond2SigmaBlock}),
    [](const ::testing::TestParamInfo<ValidationCase>& info) { return std::string(info.param.name); });

TEST(RuleOptions, UsualValuesAreItemsOfTheirLists)
{
    const RuleOptions d = RuleOptions::Defaults();
    for (int list = 0; list < kRuleListCount; ++list)
        EXPECT_GE(RuleListItemIndex(list, RuleListValue(d, list)), 0) << kRuleLists[list].control;
    EXPECT_FALSE(ValidateRuleOptions(d));
    EXPECT_EQ(RuleListItemIndex(ListAlternatingRun, 14), 2);
    EXPECT_EQ(RuleListItemIndex(ListAlternatingRun, 11), -1);
}

TEST(RuleOptions, DefaultValuesKeepTheSwitches)
{
    RuleOptions o;  // zero-filled, every rule off
    o.trend = true;
    const RuleOptions r = WithDefaultRuleValues(o);
    const RuleOptions d = RuleOptions::Defaults();
    for (int rule = 1; rule <= 8; ++rule)
        EXPECT_EQ(r.check(rule), rule == 3) << rule;
    for (int list = 0; list < kRuleListCount; ++list)
        EXPECT_EQ(RuleListValue(r, list), RuleListValue(d, list)) << kRuleLists[list].control;
}

}  // namespace
}  // namespace trevolo
