#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The site's limits on prices: a lowest and a highest price per line, and the largest
// change from the price the line shows now, in percent. A price outside them is not sent
// without a second thought: the workstation asks, voxa-ctl wants --force. Without limits
// nothing is asked.
class PriceLimits {
public:
    static constexpr int kLines = 8;

    struct Range {
        std::optional<double> lowest;
        std::optional<double> highest;
    };

    // Reads minN=, maxN= (N 1 to 8) and MaxChangePercent= through lookup, which gives a
    // key's value or nothing when the key is missing. A value that is not a price (or not
    // a percentage), or a lowest price above the highest, is never guessed at: that line's
    // range (or the change limit) is left out, and problems gets one text saying so.
    using Lookup = std::function<std::optional<std::string>(const std::string &key)>;
    static PriceLimits Read(const Lookup &lookup, std::vector<std::string> &problems);

    void SetRange(int line, Range range);
    void SetMaxChangePercent(std::optional<double> percent) { m_maxChangePercent = percent; }
    const Range &RangeOf(int line) const;
    std::optional<double> MaxChangePercent() const { return m_maxChangePercent; }
    bool Empty() const;

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
};
