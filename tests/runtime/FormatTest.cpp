#include <gtest/gtest.h>

#include <cerrno>

#include "runtime/Format.h"

namespace folioray {
namespace {

class FormatNumberTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string comma = ",";
        SetGroupSeparatorOverride(&comma);
    }
    void TearDown() override { SetGroupSeparatorOverride(nullptr); }
};

struct NumberCase {
    double value;
    const char* pattern;
    const char* expected;
};

TEST_F(FormatNumberTest, Patterns) {
    const NumberCase cases[] = {
        {2480, "#####0", "2480"},
        {123456, "#####0", "123456"},  // patterns are minimum widths
        {0, "#####0", "0"},
        {3508, "#######0", "3508"},
        {412345, "###,###,###,###,##0", "412,345"},
        {999, "###,###,###,###,##0", "999"},
        {1000, "###,###,###,###,##0", "1,000"},
        {2147483647, "###,###,###,###,##0", "2,147,483,647"},
        {0.2490234375, "###,###,##0", "0"},
        {1024, "###,###,##0", "1,024"},
        {500, "###,###,##0", "500"},
        {0.5, "###,###,##0", "0"},  // halves to even
        {1.5, "###,###,##0", "2"},
        {2.5, "##0", "2"},
        {25.5, "##0", "26"},
        {48.828125, "##0", "49"},
        {100, "##0", "100"},
        {-1234.4, "###,###,##0", "-1,234"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatNumber(c.value, c.pattern), c.expected) << c.value << " with " << c.pattern;
    }
}

TEST_F(FormatNumberTest, UsesTheGroupSeparator) {
    const std::string dot = ".";
    SetGroupSeparatorOverride(&dot);
    EXPECT_EQ(FormatNumber(1234567, "###,###,##0"), "1.234.567");
}

TEST(RoundHalfEvenTest, TiesGoToEven) {
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(RoundHalfEven(-0.5), -0.0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(RoundHalfEven(2.4999), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5001), 3.0);
}

TEST(FormatDateTimeTest, DayWithoutZeroAndTwoDigitTime) {
    std::tm t{};
    t.tm_mday = 4;
    t.tm_mon = 10;
    t.tm_year = 102;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    EXPECT_EQ(FormatDateTime(t), "4-Nov-2002 09:05:07");
    t.tm_mday = 28;
    t.tm_mon = 0;
    t.tm_year = 126;
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 0;
    EXPECT_EQ(FormatDateTime(t), "28-Jan-2026 23:59:00");
}

}  // namespace
}  // namespace folioray
