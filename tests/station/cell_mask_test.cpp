#include "cell_mask.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::u16string kPriceMask = u"[0-9].[0-9][0-9]9";
const std::u16string kDigits = u"I0123456789";

// One cell as the tests write it: "L." for a literal full stop, "I0123" for an input cell.
std::vector<std::u16string> DescribeCells(const CellMask &mask) {
    std::vector<std::u16string> cells;
    for (int cell = 0; cell < mask.Count(); ++cell) {
        const CellMask::Cell *at = mask.At(cell);
        cells.push_back((at->literal ? u"L" : u"I") + at->allowed);
    }
    return cells;
}

CellMask Parsed(std::u16string_view mask) {
    std::optional<CellMask> parsed = CellMask::Parse(mask);
    EXPECT_TRUE(parsed.has_value()) << ::testing::PrintToString(std::u16string(mask));
    return parsed.value_or(CellMask());
}

std::u16string Repeated(std::u16string_view text, int times) {
    std::u16string repeated;
    for (int i = 0; i < times; ++i) repeated += text;
    return repeated;
}

}  // namespace

// ---- Grammar ----

TEST(CellMask, ParsesMaskIntoCells) {
    const struct {
        const char *name;
        std::u16string mask;
        std::vector<std::u16string> cells;
        std::u16string shown;  // laid out with no value
    } kCases[] = {
        {"price", kPriceMask, {kDigits, u"L.", kDigits, kDigits, u"L9"}, u"_.__9"},
        {"digit or point", u"[0-9.]", {kDigits + u"."}, u"_"},
        {"unknown format", u"ERROR", {u"LE", u"LR", u"LR", u"LO", u"LR"}, u"ERROR"},
        {"hyphen and backslash outside a set", u"-\\", {u"L-", u"L\\"}, u"-\\"},
        {"escaped hyphen", u"[\\-9]", {u"I-9"}, u"_"},
        {"escaped backslash", u"[a\\\\]", {u"Ia\\"}, u"_"},
        {"escaped plain character", u"[\\q]", {u"Iq"}, u"_"},
        {"reversed range", u"[9-0]", {u"I"}, u"_"},
        {"empty set", u"[]", {u"I"}, u"_"},
        {"chained ranges", u"[a-c-e]", {u"Iabcde"}, u"_"},
        {"range ending in backslash", u"[Z-\\\\]", {u"IZ[\\"}, u"_"},
        {"open range at close", u"[0-]", {u"I0-"}, u"_"},
        {"open range after digits", u"[0-9-]", {kDigits + u"-"}, u"_"},
        {"open escape at close", u"[a\\]", {u"Ia\\"}, u"_"},
        {"signed bytes make an accented end reversed", u"[a-\u00e9]", {u"I"}, u"_"},
        {"accented range", u"[\u00e0-\u00e2]", {u"I\u00e0\u00e1\u00e2"}, u"_"},
        {"empty mask", u"", {}, u""},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        const CellMask mask = Parsed(c.mask);
        EXPECT_EQ(DescribeCells(mask), c.cells);
        EXPECT_EQ(mask.Count(), static_cast<int>(c.cells.size()));
        EXPECT_EQ(mask.Layout(u""), c.shown);
    }
}

TEST(CellMask, RefusesHyphenStartingSetAndTooManyCells) {
    const struct {
        const char *name;
        std::u16string mask;
    } kCases[] = {
        {"hyphen starts set", u"[-9]"},
        {"hyphen starts later set", u"[0-9].[-9]"},
        // The escape used up as a range's end does not carry into the next set.
        {"escape does not leak", u"[!-\\\\][-9]"},
        {"257 literals", std::u16string(257, u'x')},
        {"257 input cells", Repeated(u"[0-9]", 257)},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(CellMask::CheckBrackets(c.mask));
        EXPECT_FALSE(CellMask::Parse(c.mask).has_value());
    }
}

TEST(CellMask, AcceptsMaskOfMaxCells) {
    const CellMask mask = Parsed(std::u16string(CellMask::kMaxPositions - 1, u'x') + u"[0-9]");
    EXPECT_EQ(mask.Count(), CellMask::kMaxPositions);
    EXPECT_EQ(mask.EndOfInput(), CellMask::kMaxPositions);
}

TEST(CellMask, ChecksBrackets) {
    const struct {
        const char *name;
        std::u16string mask;
        bool wellFormed;
    } kCases[] = {
        {"empty", u"", true},          {"price", kPriceMask, true},
        {"empty set", u"[]", true},    {"backslash does not escape a bracket", u"[\\]]", false},
        {"nested", u"[[0-9]]", false}, {"unclosed", u"[0-9", false},
        {"unopened", u"0-9]", false},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CellMask::CheckBrackets(c.mask), c.wellFormed);
    }
}

TEST(CellMask, ExpandsRange) {
    const struct {
        const char *name;
        std::u16string start;
        std::u16string end;
        std::u16string range;
    } kCases[] = {
        {"digits", u"0", u"9", u"0123456789"},
        {"one character", u"a", u"a", u"a"},
        {"reversed", u"9", u"0", u""},
        {"start too long", u"ab", u"c", u""},
        {"end empty", u"a", u"", u""},
        {"across the sign of a byte", u"\u00ff", u"\x01", std::u16string(u"\u00ff\0\x01", 3)},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CellMask::ExpandRange(c.start, c.end), c.range);
    }
}

// ---- Positions ----

TEST(CellMask, FindsInputPos) {
    const struct {
        const char *name;
        int index;
        bool forward;
        int cell;
    } kCases[] = {
        // [0-9].[0-9][0-9]9: input cells 0, 2 and 3.
        {"forward on input", 0, true, 0},         {"forward over literal", 1, true, 2},
        {"forward past last input", 4, true, -1}, {"forward at count", 5, true, -1},
        {"forward before start", -1, true, -1},   {"backward on input", 3, false, 3},
        {"backward over literal", 1, false, 0},   {"backward from trailing literal", 4, false, 3},
        {"backward before start", -1, false, -1}, {"backward at count", 5, false, -1},
    };
    const CellMask mask = Parsed(kPriceMask);
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        const auto direction =
            c.forward ? CellMask::Direction::Forward : CellMask::Direction::Backward;
        EXPECT_EQ(mask.FindInputPos(c.index, direction), c.cell);
    }
}

TEST(CellMask, EndOfInputAndNextPosition) {
    const CellMask price = Parsed(kPriceMask);
    EXPECT_EQ(price.EndOfInput(), 4);
    // After each cell of the price: over the point, then onto the trailing 9 and past it.
    const int next[] = {2, 2, 3, 4, 5};
    for (int cell = 0; cell < price.Count(); ++cell) {
        EXPECT_EQ(price.NextPosition(cell), next[cell]) << "after cell " << cell;
    }
    EXPECT_EQ(Parsed(u"ERROR").EndOfInput(), 0);
    EXPECT_EQ(Parsed(u"").EndOfInput(), 0);
    EXPECT_EQ(CellMask().EndOfInput(), 0);
}

TEST(CellMask, CellsOutsideTheMaskAreNone) {
    const CellMask price = Parsed(kPriceMask);
    EXPECT_EQ(price.At(-1), nullptr);
    EXPECT_EQ(price.At(price.Count()), nullptr);
    EXPECT_EQ(CellMask().At(0), nullptr);
    EXPECT_EQ(CellMask().FindInputPos(0, CellMask::Direction::Forward), -1);
    // A literal cell takes its own character and nothing else.
    ASSERT_NE(price.At(4), nullptr);
    EXPECT_TRUE(price.At(4)->Accepts(u'9'));
    EXPECT_FALSE(price.At(4)->Accepts(u'8'));
}

// ---- Values ----

TEST(CellMask, LaysOutValue) {
    const struct {
        const char *name;
        std::u16string mask;
        std::u16string value;
        std::u16string shown;
    } kCases[] = {
        {"refused character uses its cell", u"[0-9][0-9][0-9]", u"7x5", u"7_5"},
        {"empty value", kPriceMask, u"", u"_.__9"},
        {"literals kept", kPriceMask, u"123", u"1.239"},
        {"short value", kPriceMask, u"1", u"1.__9"},
        {"left over ignored", kPriceMask, u"12345", u"1.239"},
        {"fill character is refused", u"[0-9.].[0-9][0-9]9", u"_5_", u"_.5_9"},
        {"no input cells", u"ERROR", u"12", u"ERROR"},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Parsed(c.mask).Layout(c.value), c.shown);
    }
}

TEST(CellMask, ReadsValueOfInputCells) {
    const struct {
        const char *name;
        std::u16string mask;
        std::u16string shown;
        std::u16string value;
    } kCases[] = {
        {"fill left out", u"[0-9.].[0-9][0-9]9", u"_.5_9", u"5"},
        {"full price", kPriceMask, u"3.459", u"345"},
        {"short text", u"[0-9][0-9].[0-9][0-9]", u"12", u"12__"},
        {"empty text", u"[0-9][0-9].[0-9][0-9]", u"", u"____"},
        {"literal cells skipped whatever they show", kPriceMask, u"1x23y", u"123"},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Parsed(c.mask).ValueOf(c.shown), c.value);
    }
}

TEST(CellMask, BlankKeepsLiteralsAndFillsInputCells) {
    const struct {
        int start;
        int end;
        std::u16string blank;
    } kCases[] = {
        {0, 5, u"_.__9"},
        {1, 3, u"._"},
        {4, 5, u"9"},
        {3, 3, u""},
        // Only cells of the mask: an owner's text may run past them.
        {2, 99, u"__9"},
        {5, 6, u""},
        {-1, 1, u"_"},
    };
    const CellMask price = Parsed(kPriceMask);
    for (const auto &c : kCases) {
        EXPECT_EQ(price.Blank(c.start, c.end), c.blank) << c.start << " to " << c.end;
    }
}

// ---- Price formats ----

TEST(CellMask, MaskForPriceFormat) {
    const struct {
        std::u16string format;
        std::u16string mask;
    } kCases[] = {
        {u"8.889", u"[0-9.].[0-9][0-9]9"},
        {u"88.89", u"[0-9][0-9].[0-9]9"},
        {u"8,889", u"[0-9],[0-9][0-9]9"},
        {u"8", u"[0-9]"},
        {u".8", u".[0-9]"},
        {u"8x", u"[0-9]ERROR"},
        {u"", u""},
    };
    for (const auto &c : kCases) {
        EXPECT_EQ(CellMask::MaskForPriceFormat(c.format), c.mask)
            << ::testing::PrintToString(c.format);
    }
}
