#pragma once

#include <ctime>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

// One message on voxa/<site>/results: what became of a change at the site.
//
//   {"id": "c-...", "site": "station-0042", "outcome": "confirmed", "final": true,
//    "reason": "", "author": "j.smith", "receivedAt": "...", "effectiveAt": "...",
//    "appliedAt": "...", "lines": [{"line": 1, "price": "3.459", "outcome": "confirmed",
//    "shown": "3.459", "at": "..."}]}
//
// A change waiting for its time is answered at once with "scheduled" (final false); every
// change gets exactly one final result. A duplicate delivery is answered with the earlier
// result again, marked "duplicate": true.
struct ChangeResult {
    // The change's outcomes.
    static constexpr const char *kConfirmed = "confirmed";      // every price read back
    static constexpr const char *kSent = "sent";                // every price taken
    static constexpr const char *kFailed = "failed";            // a price did not go through
    static constexpr const char *kRejected = "rejected";        // refused: nothing was sent
    static constexpr const char *kExpired = "expired";          // too late: nothing was sent
    static constexpr const char *kSuperseded = "superseded";    // a later change took over
    static constexpr const char *kCancelled = "cancelled";      // cancelled while waiting
    static constexpr const char *kInterrupted = "interrupted";  // the agent stopped mid-way
    static constexpr const char *kScheduled = "scheduled";      // waiting for its time
    // A line's outcomes beyond the price log's words ("sent", "confirmed", "mismatch", ...).
    static constexpr const char *kNotSent = "not sent";

    struct Line {
        int line = 0;
        std::string price;
        std::string outcome;
        std::string shown;  // what the sign reports, when it was read back
        std::time_t at = 0;
    };

    std::string id;
    std::string site;
    std::string outcome;
    bool final = true;
    bool duplicate = false;
    std::string reason;
    std::string author;
    std::time_t receivedAt = 0;
    std::time_t effectiveAt = 0;
    std::time_t appliedAt = 0;  // 0: never applied
    std::vector<Line> lines;

    // True for an outcome that means the sign shows what head office sent.
    static bool Succeeded(const std::string &outcome);

    nlohmann::ordered_json ToJson() const;
    std::string Payload() const { return ToJson().dump(); }
    static std::optional<ChangeResult> FromJson(const nlohmann::json &json);
};
