#include "price_log.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr std::array<std::pair<PriceOutcome, const char *>, 10> kNames{{
    {PriceOutcome::Sent, "sent"},
    {PriceOutcome::Confirmed, "confirmed"},
    {PriceOutcome::Mismatch, "mismatch"},
    {PriceOutcome::NotConfirmed, "not confirmed"},
    {PriceOutcome::Refused, "refused"},
    {PriceOutcome::NoAnswer, "no answer"},
    {PriceOutcome::BadValue, "bad value"},
    {PriceOutcome::OutsideLimits, "outside limits"},
    {PriceOutcome::Sending, "sending"},
    {PriceOutcome::Unknown, "unknown"},
}};

}  // namespace

std::size_t LongestPriceOutcomeName() {
    std::size_t longest = 0;
    for (const auto &[value, name] : kNames)
        longest = std::max(longest, std::string_view(name).size());
    return longest;
}

std::optional<PriceOutcome> PriceOutcomeNamed(std::string_view name) {
    for (const auto &[value, known] : kNames) {
        if (name == known) return value;
    }
    return std::nullopt;
}

const char *PriceOutcomeName(PriceOutcome outcome) {
    for (const auto &[value, name] : kNames) {
        if (value == outcome) return name;
    }
    return "";
}

std::string PriceOutcomeText(PriceOutcome outcome, bool forced) {
    return std::string(PriceOutcomeName(outcome)) + (forced ? kForcedMark : "");
}

std::optional<PriceOutcome> PriceOutcomeOfText(std::string_view text) {
    const std::string_view mark = kForcedMark;
    if (text.size() > mark.size() && text.substr(text.size() - mark.size()) == mark)
        text.remove_suffix(mark.size());
    return PriceOutcomeNamed(text);
}
