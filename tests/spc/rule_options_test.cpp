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
    std::function<void(Struct_Options&)> change;
    std::optional<int> wrongList;
};

void PrintTo(const ValidationCase& c, std::ostream* os)
{
    *os << c.name;
}

class RuleOptionsValidation : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(RuleOptionsValidation, NamesTheListToCorrect)
{
    Struct_Options o = Struct_Options::Defaults();
    GetParam().change(o);
    EXPECT_EQ(ValidateRuleOptions(o), GetParam().wrongList);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RuleOptionsValidation,
    ::testing::Values(ValidationCase{"defaults", [](Struct_Options&) {}, std::nullopt},
                      ValidationCase{"block_shorter_than_hits_5",
                                     [](Struct_Options& o) { o.Chk5Comp1 = 3, o.Chk5Comp2 = 4; }, ListChk5Comp1},
                      ValidationCase{"block_equal_to_hits_5",
                                     [](Struct_Options& o) { o.Chk5Comp1 = 4, o.Chk5Comp2 = 4; }, std::nullopt},
                      ValidationCase{"block_shorter_than_hits_6",
                                     [](Struct_Options& o) { o.Chk6Comp1 = 5, o.Chk6Comp2 = 6; }, ListChk6Comp1},
                      // Rule 5 is checked before rule 6.
                      ValidationCase{"both_pairs_wrong",
                                     [](Struct_Options& o) {
                                         o.Chk5Comp1 = 3, o.Chk5Comp2 = 6;
                                         o.Chk6Comp1 = 5, o.Chk6Comp2 = 8;
                                     },
                                     ListChk5Comp1},
                      // A value no list offers (a list without selection) comes first.
                      ValidationCase{"not_an_item",
                                     [](Struct_Options& o) {
                                         o.Chk7Comp1 = 0;
                                         o.Chk5Comp1 = 3, o.Chk5Comp2 = 6;
                                     },
                                     ListChk7Comp1},
                      ValidationCase{"out_of_list_even_if_ordered", [](Struct_Options& o) { o.Chk2Comp1 = 12; },
                                     ListChk2Comp1},
                      // A switched-off rule keeps its value and is checked all the same.
                      ValidationCase{"off_rule_still_checked",
                                     [](Struct_Options& o) {
                                         o.Check5 = false;
                                         o.Chk5Comp1 = 3, o.Chk5Comp2 = 5;
                                     },
                                     ListChk5Comp1}),
    [](const ::testing::TestParamInfo<ValidationCase>& info) { return std::string(info.param.name); });

TEST(RuleOptions, UsualValuesAreItemsOfTheirLists)
{
    const Struct_Options d = Struct_Options::Defaults();
    for (int list = 0; list < kRuleListCount; ++list)
        EXPECT_GE(RuleListItemIndex(list, RuleListValue(d, list)), 0) << kRuleLists[list].control;
    EXPECT_FALSE(ValidateRuleOptions(d));
    EXPECT_EQ(RuleListItemIndex(ListChk4Comp1, 14), 2);
    EXPECT_EQ(RuleListItemIndex(ListChk4Comp1, 11), -1);
}

TEST(RuleOptions, DefaultValuesKeepTheSwitches)
{
    Struct_Options o;  // zero-filled, every rule off
    o.Check3 = true;
    const Struct_Options r = WithDefaultRuleValues(o);
    const Struct_Options d = Struct_Options::Defaults();
    for (int rule = 1; rule <= 8; ++rule)
        EXPECT_EQ(r.check(rule), rule == 3) << rule;
    for (int list = 0; list < kRuleListCount; ++list)
        EXPECT_EQ(RuleListValue(r, list), RuleListValue(d, list)) << kRuleLists[list].control;
}

}  // namespace
}  // namespace trevolo
