#include <gtest/gtest.h>

#include "model/number.h"

using namespace trevolo;

TEST(Number, ConvertsDecimalTextsAndRefusesEverythingElse)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"1.5", true, 1.5},  {" 2 ", true, 2},    {"-5", true, -5},          {"+3.25", true, 3.25}, {"1.", true, 1},
        {".5", true, 0.5},   {"1e3", true, 1000}, {"-1.2E-2", true, -0.012}, {"\t7\r\n", true, 7},  {"", false, 0},
        {"   ", false, 0},   {"-", false, 0},     {".", false, 0},           {"1.2-", false, 0},    {"--5", false, 0},
        {"1.2.3", false, 0}, {"abc", false, 0},   {"inf", false, 0},         {"nan", false, 0},     {"0x10", false, 0},
        {"1e", false, 0},    {"1e999", false, 0}, {"1,5", false, 0},         {"１", false, 0},
    };
    for (const auto& c : cases) {
        double v = -99;
        EXPECT_EQ(TryStrToFloat(c.text, v), c.ok) << c.text;
        if (c.ok)
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
}

TEST(Number, ErrorNamesTheOffendingText)
{
    try {
        StrToFloat("1.2-");
        FAIL() << "no error";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "'1.2-' は浮動小数点数ではありません");
        EXPECT_EQ(e.text(), "1.2-");
    }
}

TEST(Number, FixedFormatRoundsLikePrintf)
{
    struct Case {
        double v;
        int d;
        const char* text;
    } cases[] = {
        {1.2, 3, "1.200"},      {12.3456, 2, "12.35"}, {2.5, 0, "2"},         {3.5, 0, "4"},
        {-0.0001, 3, "-0.000"}, {0.1235, 3, "0.123"},  {1e6, 1, "1000000.0"}, {-7.25, 1, "-7.2"},
    };
    for (const auto& c : cases) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", c.d, c.v);
        EXPECT_EQ(FormatFixed(c.v, c.d), buf);
        EXPECT_EQ(FormatFixed(c.v, c.d), c.text);
    }
}

TEST(Number, WholeNumbers)
{
    int v = 0;
    EXPECT_TRUE(TryStrToInt(" 42 ", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(TryStrToInt("-3", v));
    EXPECT_EQ(v, -3);
    EXPECT_FALSE(TryStrToInt("abc", v));
    EXPECT_FALSE(TryStrToInt("1.0", v));
    EXPECT_FALSE(TryStrToInt("", v));
    EXPECT_FALSE(TryStrToInt("99999999999", v));
    EXPECT_FALSE(TryStrToInt("+-7", v));  // one sign only
    EXPECT_FALSE(TryStrToInt("++7", v));
    EXPECT_TRUE(TryStrToInt("+7", v));
    EXPECT_EQ(v, 7);
}
