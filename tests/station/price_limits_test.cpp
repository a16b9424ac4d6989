#include "price_limits.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

PriceLimits ReadFrom(const std::map<std::string, std::string> &values,
                     std::vector<std::string> &problems) {
    return PriceLimits::Read(
        [&values](const std::string &key) -> std::optional<std::string> {
            const auto found = values.find(key);
            if (found == values.end()) return std::nullopt;
            return found->second;
        },
        problems);
}

struct QuestionCase {
    const char *name;
    std::map<std::string, std::string> limits;
    const char *oldPrice;
    const char *newPrice;
    std::optional<std::string> question;
};

void PrintTo(const QuestionCase &c, std::ostream *os) {
    *os << c.name;
}

class PriceLimitsQuestion : public ::testing::TestWithParam<QuestionCase> {};

TEST_P(PriceLimitsQuestion, AsksOnlyOutsideTheLimits) {
    const QuestionCase &c = GetParam();
    std::vector<std::string> problems;
    const PriceLimits limits = ReadFrom(c.limits, problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(limits.Question(2, c.oldPrice, c.newPrice), c.question);
}

const std::string kSendAnyway = ".\nSend anyway?";

INSTANTIATE_TEST_SUITE_P(
    Cases, PriceLimitsQuestion,
    ::testing::Values(
        QuestionCase{"NoLimitsNeverAsk", {}, "3.599", "8.599", std::nullopt},
        QuestionCase{"ChangeAboveThePercentage",
                     {{"MaxChangePercent", "20"}},
                     "3.599",
                     "8.599",
                     "Price #2 changes from 3.599 to 8.599 (+139%)" + kSendAnyway},
        QuestionCase{"FallAboveThePercentage",
                     {{"MaxChangePercent", "20"}},
                     "3.599",
                     "2.599",
                     "Price #2 changes from 3.599 to 2.599 (-28%)" + kSendAnyway},
        QuestionCase{"ChangeWithinThePercentage",
                     {{"MaxChangePercent", "20"}},
                     "3.599",
                     "3.999",
                     std::nullopt},
        QuestionCase{"ChangeExactlyThePercentageGoes",
                     {{"MaxChangePercent", "25"}},
                     "2.00",
                     "2.50",
                     std::nullopt},
        QuestionCase{
            "UnknownOldPriceHasNoChange", {{"MaxChangePercent", "1"}}, "", "8.599", std::nullopt},
        QuestionCase{
            "ZeroOldPriceHasNoChange", {{"MaxChangePercent", "1"}}, "0.000", "8.599", std::nullopt},
        QuestionCase{"AboveTheHighest",
                     {{"max2", "5.00"}},
                     "3.599",
                     "5.009",
                     "Price #2 changes from 3.599 to 5.009 (+39%)" + kSendAnyway},
        QuestionCase{"BelowTheLowestWithUnknownOldPrice",
                     {{"min2", "2"}},
                     "",
                     "1.999",
                     "Price #2 changes to 1.999" + kSendAnyway},
        QuestionCase{"OnTheLimitsGoes",
                     {{"min2", "1.999"}, {"max2", "5,009"}},
                     "3.599",
                     "5.009",
                     std::nullopt},
        // A minimum equal to its maximum fixes the price: usable, not a broken limit.
        QuestionCase{"MinimumEqualToMaximumLetsThatPriceGo",
                     {{"min2", "3.599"}, {"max2", "3.599"}},
                     "3.499",
                     "3.599",
                     std::nullopt},
        QuestionCase{"MinimumEqualToMaximumHoldsAnyOther",
                     {{"min2", "3.599"}, {"max2", "3.599"}},
                     "3.599",
                     "3.609",
                     "Price #2 changes from 3.599 to 3.609 (+0%)" + kSendAnyway},
        QuestionCase{"AnotherLinesLimitsDoNotApply",
                     {{"max1", "1.00"}, {"min3", "9"}},
                     "3.599",
                     "5.009",
                     std::nullopt},
        QuestionCase{"CommaPricesCompareAsNumbers",
                     {{"max2", "2.00"}},
                     "1,99",
                     "2,01",
                     "Price #2 changes from 1,99 to 2,01 (+1%)" + kSendAnyway}),
    [](const ::testing::TestParamInfo<QuestionCase> &param) { return param.param.name; });

struct BadLimitCase {
    std::map<std::string, std::string> values;
    std::vector<std::string> problems;
};

class PriceLimitsBadValues : public ::testing::TestWithParam<BadLimitCase> {};

// A value that does not parse is never guessed at: the line (or the change limit) has no
// limits, the other lines keep theirs, and each fault is told once.
TEST_P(PriceLimitsBadValues, AreToldAndLeaveTheirLineWithoutLimits) {
    std::map<std::string, std::string> values = GetParam().values;
    values["max4"] = "2.50";
    std::vector<std::string> problems;
    const PriceLimits limits = ReadFrom(values, problems);
    EXPECT_EQ(problems, GetParam().problems);
    EXPECT_FALSE(limits.RangeOf(1).lowest);
    EXPECT_FALSE(limits.RangeOf(1).highest);
    EXPECT_EQ(limits.RangeOf(4).highest, 2.5);
    EXPECT_TRUE(limits.Question(1, "1.000", "9.999") == std::nullopt);
    EXPECT_TRUE(limits.Question(4, "", "2.51").has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PriceLimitsBadValues,
    ::testing::Values(
        BadLimitCase{{{"max1", "abc"}, {"min1", "1.00"}},
                     {"[Limits] max1=abc is not a price: line 1 has no limits."}},
        BadLimitCase{{{"min1", "-1"}}, {"[Limits] min1=-1 is not a price: line 1 has no limits."}},
        BadLimitCase{{{"min1", "5.00"}, {"max1", "4.00"}},
                     {"[Limits] min1=5.00 is above max1=4.00: line 1 has no limits."}},
        BadLimitCase{{{"max1", "1.2.3"}, {"MaxChangePercent", "ten"}},
                     {"[Limits] max1=1.2.3 is not a price: line 1 has no limits.",
                      "[Limits] MaxChangePercent=ten is not a percentage: price changes are not "
                      "limited."}}));

TEST(PriceLimits, ParsePriceTakesDigitsWithOneSeparator) {
    EXPECT_EQ(PriceLimits::ParsePrice("3.599"), 3.599);
    EXPECT_EQ(PriceLimits::ParsePrice("12,50"), 12.5);
    EXPECT_EQ(PriceLimits::ParsePrice("7"), 7.0);
    for (const char *bad : {"", ".", "1..2", "1.2,3", " 1", "1e3", "+1", "1_99"}) {
        EXPECT_FALSE(PriceLimits::ParsePrice(bad)) << bad;
    }
}

}  // namespace
