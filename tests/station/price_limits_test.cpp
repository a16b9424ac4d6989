#include "price_limits.h"

#include <gtest/gtest.h>

#include <array>
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
                      "limited."}},
        BadLimitCase{{{"Order", "1<<2"}},
                     {"[Limits] Order=1<<2 is not a grade order (line numbers 1 to 8 joined by < "
                      "or <=, as in 1<2<3): the grade order is not checked."}}));

TEST(PriceLimits, ParsePriceTakesDigitsWithOneSeparator) {
    EXPECT_EQ(PriceLimits::ParsePrice("3.599"), 3.599);
    EXPECT_EQ(PriceLimits::ParsePrice("12,50"), 12.5);
    EXPECT_EQ(PriceLimits::ParsePrice("7"), 7.0);
    for (const char *bad : {"", ".", "1..2", "1.2,3", " 1", "1e3", "+1", "1_99"}) {
        EXPECT_FALSE(PriceLimits::ParsePrice(bad)) << bad;
    }
}

struct OrderTextCase {
    const char *text;
    // The order as written back, or nothing when the text is not a grade order.
    std::optional<std::string> order;
};

class PriceLimitsOrderText : public ::testing::TestWithParam<OrderTextCase> {};

TEST_P(PriceLimitsOrderText, ReadsOnlyLineNumbersJoinedByRelations) {
    const OrderTextCase &c = GetParam();
    std::vector<std::string> problems;
    const PriceLimits limits = ReadFrom({{"Order", c.text}}, problems);
    if (c.order) {
        EXPECT_TRUE(problems.empty()) << c.text;
        EXPECT_EQ(limits.OrderText(), *c.order) << c.text;
        EXPECT_FALSE(limits.Empty());
    } else {
        ASSERT_EQ(problems.size(), 1u) << c.text;
        EXPECT_NE(problems[0].find(std::string("Order=") + c.text + " is not a grade order"),
                  std::string::npos)
            << problems[0];
        EXPECT_TRUE(limits.Order().empty()) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PriceLimitsOrderText,
    ::testing::Values(OrderTextCase{"1<2<3", "1<2<3"}, OrderTextCase{"1<=2<3", "1<=2<3"},
                      OrderTextCase{" 3 < 1 <= 2 ", "3<1<=2"}, OrderTextCase{"8<1", "8<1"},
                      OrderTextCase{"1", std::nullopt}, OrderTextCase{"1<", std::nullopt},
                      OrderTextCase{"<1<2", std::nullopt}, OrderTextCase{"1<<2", std::nullopt},
                      OrderTextCase{"1>2", std::nullopt}, OrderTextCase{"1<9", std::nullopt},
                      OrderTextCase{"0<1", std::nullopt}, OrderTextCase{"1<12", std::nullopt},
                      OrderTextCase{"1<2<1", std::nullopt}, OrderTextCase{"1=<2", std::nullopt},
                      OrderTextCase{"1,2,3", std::nullopt}, OrderTextCase{"1 2", std::nullopt}));

using LinePrices = std::array<std::optional<std::string>, PriceLimits::kLines>;

struct OrderCase {
    const char *name;
    const char *order;
    LinePrices prices;
    std::optional<std::string> question;
};

void PrintTo(const OrderCase &c, std::ostream *os) {
    *os << c.name;
}

class PriceLimitsOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(PriceLimitsOrder, AsksOnlyWhenKnownPricesBreakTheOrder) {
    const OrderCase &c = GetParam();
    std::vector<std::string> problems;
    const PriceLimits limits = ReadFrom({{"Order", c.order}}, problems);
    ASSERT_TRUE(problems.empty());
    EXPECT_EQ(limits.OrderQuestion(c.prices), c.question);
    // The per-line question knows nothing of the order.
    EXPECT_EQ(limits.Question(1, "3.000", "9.999"), std::nullopt);
}

const std::string kOrderSendAnyway = ".\nSend anyway?";

INSTANTIATE_TEST_SUITE_P(
    Cases, PriceLimitsOrder,
    ::testing::Values(
        OrderCase{"InOrder", "1<2<3", {"3.459", "3.659", "3.859"}, std::nullopt},
        OrderCase{"EqualBreaksStrict",
                  "1<2<3",
                  {"3.459", "3.459", "3.859"},
                  "The grade order 1<2<3 is broken: Price #2 3.459 is not above Price #1 3.459" +
                      kOrderSendAnyway},
        OrderCase{"EqualKeepsNotAbove", "1<=2<3", {"3.459", "3.459", "3.859"}, std::nullopt},
        OrderCase{"BelowBreaksNotAbove",
                  "1<=2",
                  {"3.459", "3.449"},
                  "The grade order 1<=2 is broken: Price #2 3.449 is below Price #1 3.459" +
                      kOrderSendAnyway},
        OrderCase{"MistypedDigit",
                  "1<2<3",
                  {"3.459", "3.659", "2.859"},
                  "The grade order 1<2<3 is broken: Price #3 2.859 is not above Price #2 3.659" +
                      kOrderSendAnyway},
        OrderCase{"EveryBreakNamed",
                  "1<2<3",
                  {"3.859", "3.659", "3.459"},
                  "The grade order 1<2<3 is broken: Price #2 3.659 is not above Price #1 3.859; "
                  "Price #3 3.459 is not above Price #2 3.659" +
                      kOrderSendAnyway},
        OrderCase{"NumbersNotTexts", "1<2", {"9.999", "10.00"}, std::nullopt},
        OrderCase{"CommaPrices", "1<2", {"1,99", "2,01"}, std::nullopt},
        OrderCase{"UnknownPairNotJudged", "1<2", {"3.459", std::nullopt}, std::nullopt},
        OrderCase{"NotAPriceNotJudged", "1<2", {"3.459", "-.--"}, std::nullopt},
        OrderCase{"UnknownMiddleNeighboursCompared",
                  "1<=2<=3",
                  {"3.859", std::nullopt, "3.459"},
                  "The grade order 1<=2<=3 is broken: Price #3 3.459 is below Price #1 3.859" +
                      kOrderSendAnyway},
        OrderCase{"UnknownMiddleStrictWhenEitherStepIs",
                  "1<=2<3",
                  {"3.459", std::nullopt, "3.459"},
                  "The grade order 1<=2<3 is broken: Price #3 3.459 is not above Price #1 3.459" +
                      kOrderSendAnyway},
        OrderCase{"UnknownFirstLine", "1<2<3", {std::nullopt, "3.659", "3.859"}, std::nullopt},
        OrderCase{"LinesNotInstalledNotJudged", "1<2<7<8", {"3.459", "3.659"}, std::nullopt},
        OrderCase{"OrderOutOfLineNumbers",
                  "3<1",
                  {"3.459", std::nullopt, "3.659"},
                  "The grade order 3<1 is broken: Price #1 3.459 is not above Price #3 3.659" +
                      kOrderSendAnyway}),
    [](const ::testing::TestParamInfo<OrderCase> &param) { return param.param.name; });

TEST(PriceLimits, NoOrderAsksNothing) {
    std::vector<std::string> problems;
    const PriceLimits limits = ReadFrom({{"max1", "5.00"}}, problems);
    EXPECT_EQ(limits.OrderQuestion({"3.859", "3.659", "3.459"}), std::nullopt);
}

}  // namespace
