// Control limits typed as JSON for the batch judgment.
#include <gtest/gtest.h>

#include "stats/typed_limits.h"

namespace trevolo {
namespace {

using Texts = std::array<std::string, kLimitFields>;

TEST(TypedLimits, FieldsShowTypedNumbersWithFourDecimals)
{
    Texts t;
    std::string error;
    ASSERT_TRUE(ParseTypedLimits(R"({"editUcl3": "10.3", "editLcl3": "-2", "editXcl": " 10 ",
                                     "editRcl": "1e-1", "editRsUcl1": "0.00005", "editRsUcl2": ""})",
                                 t, error))
        << error;
    EXPECT_EQ(t[LimitUcl3], "10.3000");
    EXPECT_EQ(t[LimitLcl3], "-2.0000");
    EXPECT_EQ(t[LimitXcl], "10.0000");
    EXPECT_EQ(t[LimitRcl], "0.1000");
    EXPECT_EQ(t[LimitRsUcl1], "0.0001");  // "%.4f" of the nearest double to 0.00005
    EXPECT_EQ(t[LimitRsUcl2], "");
    // Fields not named stay empty.
    EXPECT_EQ(t[LimitUcl2], "");
    EXPECT_EQ(t[LimitRsUcl3], "");
}

// The hidden +2σ and +1σ lines of the R/S/Rs side follow a typed centre
// line C and +3σ line U3 at C + 2(U3 − C)/3 and C + (U3 − C)/3.
TEST(TypedLimits, HiddenLinesFollowTheTypedDispersionLines)
{
    struct Case {
        const char* rcl;
        const char* rsUcl3;
        bool derived;
        const char* ucl2;
        const char* ucl1;
    };
    const Case cases[] = {
        {"3.0000", "9.0000", true, "7.0000", "5.0000"},
        // The three-sigma lines of lots (1, 3), (2, 6): C 3, s 2.1602469,
        // computed C + 2s 7.3205 and C + s 5.1602; from the shown texts the same.
        {"3.0000", "9.4807", true, "7.3205", "5.1602"},
        {"2", "1", true, "1.3333", "1.6667"},  // a +3σ line below the centre is taken as typed
        {"0", "0", true, "0.0000", "0.0000"},
        {"", "9.0000", false, "", ""},
        {"3.0000", " ", false, "", ""},
        {"3.0000", "1.2-", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string ucl2 = "old";
        std::string ucl1 = "old";
        EXPECT_EQ(HiddenRsLines(c.rcl, c.rsUcl3, ucl2, ucl1), c.derived) << c.rcl << " " << c.rsUcl3;
        EXPECT_EQ(ucl2, c.derived ? c.ucl2 : "old") << c.rcl << " " << c.rsUcl3;
        EXPECT_EQ(ucl1, c.derived ? c.ucl1 : "old") << c.rcl << " " << c.rsUcl3;
    }

    // After one line is computed: the computed hidden lines while the
    // R/S/Rs fields show the computed lines, else the lines that go with the
    // fields; with a field blank, the computed ones.
    Texts computed;
    computed[LimitRcl] = "3.0000";
    computed[LimitRsUcl3] = "9.4807";
    computed[LimitRsUcl2] = "7.3205";
    computed[LimitRsUcl1] = "5.1602";
    const char* const after[][4] = {
        {"3.0000", "9.4807", "7.3205", "5.1602"},
        {"3.0000", "6.0000", "5.0000", "4.0000"},
        {"", "6.0000", "7.3205", "5.1602"},
    };
    for (const auto& a : after) {
        std::string ucl2;
        std::string ucl1;
        HiddenRsLinesAfterOneLine(a[0], a[1], computed, ucl2, ucl1);
        EXPECT_EQ(ucl2, a[2]) << a[0] << " " << a[1];
        EXPECT_EQ(ucl1, a[3]) << a[0] << " " << a[1];
    }

    // Typed limits that leave the hidden lines out get them the same way;
    // lines that are named are kept as written, even when blank.
    struct File {
        const char* json;
        const char* ucl2;
        const char* ucl1;
    };
    const File files[] = {
        {R"({"editRcl": "3", "editRsUcl3": "9"})", "7.0000", "5.0000"},
        {R"({"editRcl": "3", "editRsUcl3": "9", "editRsUcl2": "8"})", "8.0000", "5.0000"},
        {R"({"editRcl": "3", "editRsUcl3": "9", "editRsUcl2": "", "editRsUcl1": "4"})", "", "4.0000"},
        {R"({"editRcl": "3"})", "", ""},
    };
    for (const File& f : files) {
        Texts t;
        std::string error;
        ASSERT_TRUE(ParseTypedLimits(f.json, t, error)) << error;
        EXPECT_EQ(t[LimitRsUcl2], f.ucl2) << f.json;
        EXPECT_EQ(t[LimitRsUcl1], f.ucl1) << f.json;
    }
}

TEST(TypedLimits, RefusesFaultyFilesSayingWhy)
{
    struct Case {
        const char* json;
        const char* message;
    };
    const Case cases[] = {
        {"", "not valid JSON"},
        {"{\"editUcl3\": \"1\"", "not valid JSON"},
        {"[\"1\"]", "must be a JSON object"},
        {"\"10\"", "must be a JSON object"},
        {"{\"editUcl4\": \"1\"}", "\"editUcl4\" is not a limit field (the fields are editUcl3, editUcl2"},
        {"{\"editUcl3\": 10.5}", "editUcl3: the value must be a text"},
        {"{\"editXcl\": null}", "editXcl: the value must be a text"},
        {"{\"editLcl1\": \"abc\"}", "editLcl1: \"abc\" is not a number"},
        {"{\"editRcl\": \"1,5\"}", "editRcl: \"1,5\" is not a number"},
        {"{\"editRcl\": \"-\"}", "is not a number"},
    };
    for (const Case& c : cases) {
        Texts t;
        t[LimitXcl] = "kept";
        std::string error;
        EXPECT_FALSE(ParseTypedLimits(c.json, t, error)) << c.json;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.json << " gave: " << error;
        EXPECT_EQ(t[LimitXcl], "kept");
    }
}

}  // namespace
}  // namespace trevolo
