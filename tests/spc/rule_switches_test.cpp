// The command-line notation of the SPC rule options.
#include <gtest/gtest.h>

#include "spc/rule_switches.h"

namespace trevolo {
namespace {

struct GoodCase {
    const char* text;
    const char* normalised;  // FormatRuleSpec of the result
};

TEST(RuleSpec, ReadsTheRulesSwitchedOnWithTheirValues)
{
    const GoodCase cases[] = {
        {"1,2:9,3:6,4:14,5:3/2,6:5/4,7:15,8:8", kDefaultRuleSpec},
        {"1,2,3,4,5,6,7,8", kDefaultRuleSpec},  // no value: the usual one
        {" 8:10 , 1 ", "1,8:10"},               // any order, blanks around items
        {"2:7,3:4,4:12", "2:7,3:4,4:12"},       // lowest items of the lists
        {"2:11,3:8,4:16,7:17,8:10", "2:11,3:8,4:16,7:17,8:10"},
        {"5:4/4,6:9/8", "5:4/4,6:9/8"},  // a block as long as its hit count
        {"5:7/2", "5:7/2"},
        {"", ""},  // every rule off
        {"   ", ""},
    };
    for (const GoodCase& c : cases) {
        RuleOptions o;
        std::string error;
        ASSERT_TRUE(ParseRuleSpec(c.text, o, error)) << c.text << ": " << error;
        EXPECT_EQ(FormatRuleSpec(o), c.normalised) << c.text;
        EXPECT_TRUE(error.empty());
    }
}

struct BadCase {
    const char* text;
    const char* message;  // part of the message
};

TEST(RuleSpec, RefusesWhatTheDialogDoesNotOffer)
{
    const BadCase cases[] = {
        {"2:12", "rule 2: \"12\" is not one of 7, 8, 9, 10, 11"},
        {"3:3", "rule 3: \"3\" is not one of 4, 5, 6, 7, 8"},
        {"4:17", "is not one of 12, 13, 14, 15, 16"},
        {"7:12", "is not one of 13, 14, 15, 16, 17"},
        {"8:x", "rule 8: \"x\" is not one of 6, 7, 8, 9, 10"},
        {"2:9.0", "rule 2: \"9.0\""},
        {"2:", "rule 2: \"\" is not one of"},
        {"5:8/2", "rule 5: \"8\" is not one of 3, 4, 5, 6, 7"},
        {"5:3/7", "rule 5 (hit count): \"7\" is not one of 2, 3, 4, 5, 6"},
        {"6:5/9", "rule 6 (hit count)"},
        {"5:3/4", "rule 5: the block length 3 is smaller than the hit count 4"},
        {"6:5/6", "rule 6: the block length 5 is smaller than the hit count 6"},
        {"5:3", "rule 5 takes a block length and a hit count, e.g. \"5:3/2\""},
        {"6:5/4/4", "rule 6 takes a block length and a hit count"},
        {"2:9/3", "rule 2 takes one run length, e.g. \"2:9\""},
        {"1:3", "rule 1 takes no value"},
        {"9", "a rule is a number from 1 to 8"},
        {"0:3", "a rule is a number from 1 to 8"},
        {"x", "a rule is a number from 1 to 8"},
        {"1,1", "rule 1 is named twice"},
        {"2:9,2:10", "rule 2 is named twice"},
        {"1,,2", "empty item"},
        {"1,", "empty item"},
        {",", "empty item"},
    };
    for (const BadCase& c : cases) {
        RuleOptions o = RuleOptions::Defaults();
        o.sameSideRun = 11;  // must survive a refused text
        std::string error;
        EXPECT_FALSE(ParseRuleSpec(c.text, o, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " gave: " << error;
        EXPECT_EQ(o.sameSideRun, 11) << c.text;
    }
}

TEST(RuleSpec, WritingAndReadingBackGivesTheSameOptions)
{
    RuleOptions o = RuleOptions::Defaults();
    o.alternating = false;
    o.sameSideRun = 7;
    o.beyond1SigmaBlock = 9;
    o.beyond1SigmaHits = 8;
    const std::string text = FormatRuleSpec(o);
    EXPECT_EQ(text, "1,2:7,3:6,5:3/2,6:9/8,7:15,8:8");
    RuleOptions back;
    std::string error;
    ASSERT_TRUE(ParseRuleSpec(text, back, error)) << error;
    o.alternatingRun = RuleOptions::Defaults().alternatingRun;
    EXPECT_EQ(back, o);
}

}  // namespace
}  // namespace trevolo
