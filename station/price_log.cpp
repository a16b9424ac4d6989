#include "price_log.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<PriceOutcome, const char *>, 8> kNames{{
    {PriceOutcome::Sent, "sent"},
    {PriceOutcome::Confirmed, "confirmed"},
    {PriceOutcome::Mismatch, "mismatch"},
    {PriceOutcome::NotConfirmed, "not confirmed"},
    {PriceOutcome::Refused, "refused"},
    {PriceOutcome::NoAnswer, "no answer"},
    {PriceOutcome::BadValue, "bad value"},
    {PriceOutcome::OutsideLimits, "outside limits"},
}};

}  // namespace

const char *PriceOutcomeName(PriceOutcome outcome) {
    for (const auto &[value, name] : kNames) {
        if (value == outcome) return name;
    }
    return "";
}
