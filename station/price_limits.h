#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The site's limits on prices: a lowest and a highest price per line, the largest change
// from the price the line shows now, in percent, and the grade order (premium above
// regular, say: Order=1<2<3). A price outside them is not sent without a second thought:
// the workstation asks, voxa-ctl wants --force. Without limits nothing is asked.
class PriceLimits {
public:
    static constexpr int kLines = 8;
    // What each line shows (or will): prices[i] for line i+1, nothing when not known.
    using LinePrices = std::array<std::optional<std::string>, kLines>;

    struct Range {
        std::optional<double> lowest;
        std::optional<double> highest;
    };

    // One step of the grade order: line lower's price below line upper's (strict), or not
    // above it.
    struct OrderStep {
        int lower = 0;
        int upper = 0;
        bool strict = true;
    };

    // Reads minN=, maxN= (N 1 to 8), MaxChangePercent= and Order= through lookup, which
    // gives a key's value or nothing when the key is missing. A value that is not a price
    // (or not a percentage, or not a grade order), or a lowest price above the highest, is
    // never guessed at: that line's range (or the change limit, or the order) is left out,
    // and problems gets one text saying so.
    using Lookup = std::function<std::optional<std::string>(const std::string &key)>;
    static PriceLimits Read(const Lookup &lookup, std::vector<std::string> &problems);

    void SetRange(int line, Range range);
    void SetMaxChangePercent(std::optional<double> percent) { m_maxChangePercent = percent; }
    const Range &RangeOf(int line) const;
    std::optional<double> MaxChangePercent() const { return m_maxChangePercent; }
    bool Empty() const;

    // The grade order: line numbers 1 to 8, each at most once, joined by "<" (strictly
    // below) or "<=" (not above), blanks allowed around them: "1<2<3", "1 <= 2 < 3". Nothing
    // for any other text; an empty text is no order.
    static std::optional<std::vector<OrderStep>> ParseOrder(const std::string &text);
    void SetOrder(std::vector<OrderStep> order) { m_order = std::move(order); }
    const std::vector<OrderStep> &Order() const { return m_order; }
    // The order as voxa.ini writes it: "1<2<=3".
    std::string OrderText() const;

    // The steps of the order that prices break, where prices[i] is what line i+1 will show
    // after the set (the new price where it changes, else the known one; nothing when not
    // known, or not a price). A line whose price is not known is passed over: its
    // neighbours in the order are compared with each other, strictly when either step
    // between them is strict.
    std::vector<OrderStep> OrderBreaks(const LinePrices &prices) const;
    // The question to ask before such a set of prices goes out, naming every line and
    // price that breaks the order; nothing when they keep it or no order is set.
    std::optional<std::string> OrderQuestion(
        const std::array<std::optional<std::string>, kLines> &prices) const;

    // The question to ask before newPrice goes to line: when it lies outside the line's
    // range, or changes from oldPrice by more than the largest change. oldPrice is empty
    // when the line's price is not known, and then only the range applies. Nothing when
    // the price may go without asking.
    std::optional<std::string> Question(int line, const std::string &oldPrice,
                                        const std::string &newPrice) const;

    // A price text as a number: digits with at most one point or comma among them. Nothing
    // for any other text.
    static std::optional<double> ParsePrice(const std::string &text);

private:
    std::array<Range, kLines> m_ranges{};
    std::optional<double> m_maxChangePercent;
    std::vector<OrderStep> m_order;
};
