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
