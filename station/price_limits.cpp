#include "price_limits.h"

#include <cmath>
#include <cstdio>
#include <tuple>

namespace {

const PriceLimits::Range kNoRange{};

bool IsLine(int line) {
    return line >= 1 && line <= PriceLimits::kLines;
}

std::string Setting(const std::string &key, const std::string &value) {
    return "[Limits] " + key + "=" + value;
}

}  // namespace

std::optional<double> PriceLimits::ParsePrice(const std::string &text) {
    double whole = 0;
    double fraction = 0;
    double scale = 1;
    int digits = 0;
    bool separator = false;
    for (const char c : text) {
        if (c == '.' || c == ',') {
            if (separator) return std::nullopt;
            separator = true;
        } else if (c >= '0' && c <= '9') {
            ++digits;
            if (separator) {
                scale /= 10;
                fraction += (c - '0') * scale;
            } else {
                whole = whole * 10 + (c - '0');
            }
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) return std::nullopt;
    return whole + fraction;
}

PriceLimits PriceLimits::Read(const Lookup &lookup, std::vector<std::string> &problems) {
    PriceLimits limits;
    for (int line = 1; line <= kLines; ++line) {
        const std::string minKey = "min" + std::to_string(line);
        const std::string maxKey = "max" + std::to_string(line);
        const std::optional<std::string> minText = lookup(minKey);
        const std::optional<std::string> maxText = lookup(maxKey);
        Range range;
        bool usable = true;
        for (const auto &[key, text, bound] : {std::tuple{minKey, minText, &range.lowest},
                                               std::tuple{maxKey, maxText, &range.highest}}) {
            if (!text) continue;
            *bound = ParsePrice(*text);
            if (!*bound) {
                problems.push_back(Setting(key, *text) + " is not a price: line " +
                                   std::to_string(line) + " has no limits.");
                usable = false;
            }
        }
        if (usable && range.lowest && range.highest && *range.lowest > *range.highest) {
            problems.push_back(Setting(minKey, *minText) + " is above " + maxKey + "=" + *maxText +
                               ": line " + std::to_string(line) + " has no limits.");
            usable = false;
        }
        if (usable) limits.SetRange(line, range);
    }
    if (const auto percent = lookup("MaxChangePercent")) {
        // A percentage is written like a price: digits with at most one point.
        limits.m_maxChangePercent = ParsePrice(*percent);
        if (!limits.m_maxChangePercent) {
            problems.push_back(Setting("MaxChangePercent", *percent) +
                               " is not a percentage: price changes are not limited.");
        }
    }
    if (const auto order = lookup("Order")) {
        if (const auto steps = ParseOrder(*order)) {
            limits.m_order = *steps;
        } else {
            problems.push_back(Setting("Order", *order) +
                               " is not a grade order (line numbers 1 to 8 joined by < or <=, "
                               "as in 1<2<3): the grade order is not checked.");
        }
    }
    return limits;
}

void PriceLimits::SetRange(int line, Range range) {
    if (IsLine(line)) m_ranges[line - 1] = range;
}

const PriceLimits::Range &PriceLimits::RangeOf(int line) const {
    return IsLine(line) ? m_ranges[line - 1] : kNoRange;
}

bool PriceLimits::Empty() const {
    if (m_maxChangePercent || !m_order.empty()) return false;
    for (const Range &range : m_ranges) {
        if (range.lowest || range.highest) return false;
    }
    return true;
}

std::optional<std::string> PriceLimits::Question(int line, const std::string &oldPrice,
                                                 const std::string &newPrice) const {
    const std::optional<double> price = ParsePrice(newPrice);
    if (!price) return std::nullopt;
    const Range &range = RangeOf(line);
    const bool outside =
        (range.lowest && *price < *range.lowest) || (range.highest && *price > *range.highest);

    // A change is measured from a price the line is known to show; from nothing, or from
    // zero, it has no size.
    const std::optional<double> old = oldPrice.empty() ? std::nullopt : ParsePrice(oldPrice);
    std::optional<double> change;
    if (old && *old > 0) change = (*price - *old) / *old * 100;
    const bool tooFar = change && m_maxChangePercent && std::fabs(*change) > *m_maxChangePercent;
    if (!outside && !tooFar) return std::nullopt;

    std::string text = "Price #" + std::to_string(line) + " changes ";
    if (old) text += "from " + oldPrice + " ";
    text += "to " + newPrice;
    if (change) {
        char percent[32];
        std::snprintf(percent, sizeof percent, " (%+.0f%%)", *change);
        text += percent;
    }
    return text + ".\nSend anyway?";
}

std::optional<std::vector<PriceLimits::OrderStep>> PriceLimits::ParseOrder(
    const std::string &text) {
    std::vector<OrderStep> steps;
    std::array<bool, kLines> named{};
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    };
    // Alternately a line number and a relation, starting and ending with a line.
    int previous = 0;
    bool strict = true;
    for (;;) {
        skipBlanks();
        if (at >= text.size() || text[at] < '1' || text[at] > '8') return std::nullopt;
        const int line = text[at++] - '0';
        if (at < text.size() && text[at] >= '0' && text[at] <= '9') return std::nullopt;
        if (named[line - 1]) return std::nullopt;
        named[line - 1] = true;
        if (previous != 0) steps.push_back(OrderStep{previous, line, strict});
        previous = line;
        skipBlanks();
        if (at >= text.size()) break;
        if (text[at] != '<') return std::nullopt;
        ++at;
        strict = !(at < text.size() && text[at] == '=');
        if (!strict) ++at;
    }
    // A single line orders nothing: that is a slip, not an order.
    if (steps.empty()) return std::nullopt;
    return steps;
}

std::string PriceLimits::OrderText() const {
    std::string text;
    for (const OrderStep &step : m_order) {
        if (text.empty()) text = std::to_string(step.lower);
        text += (step.strict ? "<" : "<=") + std::to_string(step.upper);
    }
    return text;
}

std::vector<PriceLimits::OrderStep> PriceLimits::OrderBreaks(const LinePrices &prices) const {
    std::vector<OrderStep> breaks;
    const auto priceOf = [&prices](int line) -> std::optional<double> {
        const std::optional<std::string> &text = prices[line - 1];
        return text ? ParsePrice(*text) : std::nullopt;
    };
    // The last line of the order with a known price, and whether the steps since it were
    // all "<=".
    int known = 0;
    bool strict = false;
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        const OrderStep &step = m_order[i];
        if (i == 0 && priceOf(step.lower)) known = step.lower;
        strict = strict || step.strict;
        if (!priceOf(step.upper)) continue;
        if (known != 0) {
            const double lower = *priceOf(known);
            const double upper = *priceOf(step.upper);
            if (strict ? !(lower < upper) : !(lower <= upper)) {
                breaks.push_back(OrderStep{known, step.upper, strict});
            }
        }
        known = step.upper;
        strict = false;
    }
    return breaks;
}

std::optional<std::string> PriceLimits::OrderQuestion(
    const std::array<std::optional<std::string>, kLines> &prices) const {
    const std::vector<OrderStep> breaks = OrderBreaks(prices);
    if (breaks.empty()) return std::nullopt;
    std::string text = "The grade order " + OrderText() + " is broken: ";
    for (std::size_t i = 0; i < breaks.size(); ++i) {
        const OrderStep &step = breaks[i];
        if (i > 0) text += "; ";
        text += "Price #" + std::to_string(step.upper) + " " + *prices[step.upper - 1] +
                (step.strict ? " is not above " : " is below ") + "Price #" +
                std::to_string(step.lower) + " " + *prices[step.lower - 1];
    }
    return text + ".\nSend anyway?";
}
