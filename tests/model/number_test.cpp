#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>

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

// The quick conversion must give the general one's answer to the bit, for
// the plain texts it takes itself and for every text it hands on.
TEST(Number, QuickConversionGivesTheGeneralConversionsValue)
{
    auto same = [](const std::string& t, bool plain) {
        double quick = -99, general = -99;
        int decimals = 0;
        EXPECT_EQ(TryPlainDecimal(t, quick, decimals), plain) << t;
        EXPECT_EQ(TryStrToFloatQuick(t, quick), TryStrToFloat(t, general)) << t;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(quick), std::bit_cast<std::uint64_t>(general)) << t;
    };
    for (const char* t : {"10.123", "9.995", "0", "-0", "-0.000", "00.50", "-12.3456789", "999999999999999",
                          "0.00000000000001", "1.23456789012345"})
        same(t, true);
    for (const char* t : {"1234567890123456", "0.000000000000001", "1.", ".5", "+1.5", " 1.5", "1.5 ", "1e3", "-", "",
                          "１", "1,5", "--1", "1.2.3", "-.5"})
        same(t, false);
    // Values as a measuring machine writes them, 0 to 7 decimals.
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> value(-2000.0, 2000.0);
    for (int i = 0; i < 20000; ++i)
        same(FormatFixed(value(rng), i % 8), true);
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
