#pragma once

#include <ctime>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

// One message on voxa/<site>/alerts: the controller's condition changed for the worse, or
// recovered.
//
//   {"site": "station-0042", "time": "2026-12-08T06:05:00Z", "kind": "no answer",
//    "text": "the controller does not answer on COM1 (/dev/ttyUSB0)"}
struct SiteAlert {
    static constexpr const char *kFailure = "failure";      // the failure flag rose
    static constexpr const char *kNoAnswer = "no answer";   // the controller stopped answering
    static constexpr const char *kMemory = "memory";        // its memory must be loaded
    static constexpr const char *kRecovered = "recovered";  // all of those are over

    std::string site;
    std::time_t time = 0;
    std::string kind;
    std::string text;

    nlohmann::ordered_json ToJson() const;
    std::string Payload() const { return ToJson().dump(); }
    static std::optional<SiteAlert> FromJson(const nlohmann::json &json);
};
