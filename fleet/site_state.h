#pragma once

#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

// The retained message on voxa/<site>/state: the site as its agent last saw it. The agent's
// last will is the same message with online false, so the broker marks a site offline
// when its agent goes without saying goodbye.
//
//   {"site": "station-0042", "online": true, "time": "...", "agentVersion": "1.1",
//    "prices": {"1": "3.459"}, "tags": {"1": "Regular"}, "readAt": "...",
//    "controller": {"answering": true, "failure": false, "memory": false, "status": "..."},
//    "lastChange": {"id": "c-...", "outcome": "confirmed", "at": "..."},
//    "waiting": ["c-..."], "clockOffsetSeconds": 0}
struct SiteState {
    std::string site;
    bool online = true;
    std::time_t time = 0;
    std::string agentVersion;
    std::map<int, std::string> prices;
    std::map<int, std::string> tags;
    std::time_t readAt = 0;  // when the prices were read; 0: never
    bool answering = true;
    bool failure = false;
    bool memory = false;
    std::string status;
    std::string lastChangeId;
    std::string lastChangeOutcome;
    std::time_t lastChangeAt = 0;
    std::vector<std::string> waiting;
    // How far this station's clock is behind head office's, in seconds, as a change issued
    // "in the future" shows; 0 while nothing says it is off.
    long clockOffsetSeconds = 0;

    nlohmann::ordered_json ToJson() const;
    std::string Payload() const { return ToJson().dump(); }
    static std::optional<SiteState> FromJson(const nlohmann::json &json);
};
