#pragma once

#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

// One message on voxa/<site>/changes: a set of new prices from head office, or the cancel
// of a change that is still waiting.
//
//   {"id": "c-20261208-0600-a1", "author": "j.smith",
//    "issuedAt": "2026-12-08T05:58:00Z", "effectiveAt": "2026-12-08T06:00:00Z",
//    "prices": {"1": "3.459", "2": "3.659"}, "confirm": true}
//   {"id": "x-20261208-0559-b2", "author": "j.smith", "issuedAt": "...", "cancel": "c-..."}
//
// effectiveAt may be left out (at once); confirm asks for the read-back of every price
// whatever the site's own [Update] Confirm says.
struct PriceChange {
    static constexpr int kLines = 8;
    static constexpr std::size_t kMaxIdLength = 128;
    static constexpr std::size_t kMaxPriceLength = 32;

    std::string id;
    std::string author;
    std::time_t issuedAt = 0;
    std::time_t effectiveAt = 0;
    std::map<int, std::string> prices;  // line 1-8 to its new price
    bool confirm = false;
    // The id of the change to cancel; empty for a change of prices.
    std::string cancel;

    bool IsCancel() const { return !cancel.empty(); }

    nlohmann::ordered_json ToJson() const;

    // Reads a message. On failure gives the reason, and id is set when the message had a
    // usable id, so that the refusal can name the change.
    static std::optional<PriceChange> Parse(const std::string &payload, std::string &id,
                                            std::string &reason);
    static std::optional<PriceChange> FromJson(const nlohmann::json &json, std::string &reason);
};
