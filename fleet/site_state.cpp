#include "site_state.h"

#include "iso_time.h"

namespace {

std::string TimeOrEmpty(std::time_t time) {
    return time == 0 ? "" : IsoTime::Format(time);
}

std::string TextIn(const nlohmann::json &json, const char *key) {
    const auto found = json.find(key);
    return found != json.end() && found->is_string() ? found->get<std::string>() : "";
}

bool FlagIn(const nlohmann::json &json, const char *key, bool otherwise) {
    const auto found = json.find(key);
    return found != json.end() && found->is_boolean() ? found->get<bool>() : otherwise;
}

std::map<int, std::string> LinesIn(const nlohmann::json &json, const char *key) {
    std::map<int, std::string> lines;
    const auto found = json.find(key);
    if (found == json.end() || !found->is_object()) return lines;
    for (const auto &[name, value] : found->items()) {
        if (name.size() == 1 && name[0] >= '1' && name[0] <= '8' && value.is_string())
            lines[name[0] - '0'] = value.get<std::string>();
    }
    return lines;
}

}  // namespace

nlohmann::ordered_json SiteState::ToJson() const {
    nlohmann::ordered_json json;
    json["site"] = site;
    json["online"] = online;
    json["time"] = TimeOrEmpty(time);
    json["agentVersion"] = agentVersion;
    json["prices"] = nlohmann::ordered_json::object();
    for (const auto &[line, price] : prices) json["prices"][std::to_string(line)] = price;
    json["tags"] = nlohmann::ordered_json::object();
    for (const auto &[line, tag] : tags) json["tags"][std::to_string(line)] = tag;
    json["readAt"] = TimeOrEmpty(readAt);
    json["controller"] = {
        {"answering", answering}, {"failure", failure}, {"memory", memory}, {"status", status}};
    json["lastChange"] = {
        {"id", lastChangeId}, {"outcome", lastChangeOutcome}, {"at", TimeOrEmpty(lastChangeAt)}};
    json["waiting"] = waiting;
    json["clockOffsetSeconds"] = clockOffsetSeconds;
    return json;
}

std::optional<SiteState> SiteState::FromJson(const nlohmann::json &json) {
    if (!json.is_object() || !json.contains("site")) return std::nullopt;
    SiteState state;
    state.site = TextIn(json, "site");
    state.online = FlagIn(json, "online", false);
    state.time = IsoTime::Parse(TextIn(json, "time")).value_or(0);
    state.agentVersion = TextIn(json, "agentVersion");
    state.prices = LinesIn(json, "prices");
    state.tags = LinesIn(json, "tags");
    state.readAt = IsoTime::Parse(TextIn(json, "readAt")).value_or(0);
    if (const auto controller = json.find("controller");
        controller != json.end() && controller->is_object()) {
        state.answering = FlagIn(*controller, "answering", true);
        state.failure = FlagIn(*controller, "failure", false);
        state.memory = FlagIn(*controller, "memory", false);
        state.status = TextIn(*controller, "status");
    }
    if (const auto change = json.find("lastChange"); change != json.end() && change->is_object()) {
        state.lastChangeId = TextIn(*change, "id");
        state.lastChangeOutcome = TextIn(*change, "outcome");
        state.lastChangeAt = IsoTime::Parse(TextIn(*change, "at")).value_or(0);
    }
    if (const auto waiting = json.find("waiting"); waiting != json.end() && waiting->is_array()) {
        for (const auto &id : *waiting) {
            if (id.is_string()) state.waiting.push_back(id.get<std::string>());
        }
    }
    if (const auto offset = json.find("clockOffsetSeconds");
        offset != json.end() && offset->is_number_integer()) {
        state.clockOffsetSeconds = offset->get<long>();
    }
    return state;
}
