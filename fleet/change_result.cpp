#include "change_result.h"

#include "iso_time.h"

namespace {

std::string TimeOrEmpty(std::time_t time) {
    return time == 0 ? "" : IsoTime::Format(time);
}

std::time_t TimeOf(const nlohmann::json &json, const char *key) {
    const auto found = json.find(key);
    if (found == json.end() || !found->is_string()) return 0;
    return IsoTime::Parse(found->get<std::string>()).value_or(0);
}

std::string TextOf(const nlohmann::json &json, const char *key) {
    const auto found = json.find(key);
    return found != json.end() && found->is_string() ? found->get<std::string>() : "";
}

}  // namespace

bool ChangeResult::Succeeded(const std::string &outcome) {
    return outcome == kConfirmed || outcome == kSent;
}

nlohmann::ordered_json ChangeResult::ToJson() const {
    nlohmann::ordered_json json;
    json["id"] = id;
    json["site"] = site;
    json["outcome"] = outcome;
    json["final"] = final;
    if (duplicate) json["duplicate"] = true;
    json["reason"] = reason;
    json["author"] = author;
    json["receivedAt"] = TimeOrEmpty(receivedAt);
    json["effectiveAt"] = TimeOrEmpty(effectiveAt);
    json["appliedAt"] = TimeOrEmpty(appliedAt);
    json["lines"] = nlohmann::ordered_json::array();
    for (const Line &line : lines) {
        nlohmann::ordered_json entry;
        entry["line"] = line.line;
        entry["price"] = line.price;
        entry["outcome"] = line.outcome;
        entry["shown"] = line.shown;
        entry["at"] = TimeOrEmpty(line.at);
        json["lines"].push_back(entry);
    }
    return json;
}

std::optional<ChangeResult> ChangeResult::FromJson(const nlohmann::json &json) {
    if (!json.is_object() || !json.contains("id") || !json.contains("outcome")) return std::nullopt;
    ChangeResult result;
    result.id = TextOf(json, "id");
    result.site = TextOf(json, "site");
    result.outcome = TextOf(json, "outcome");
    result.final =
        !json.contains("final") || !json["final"].is_boolean() || json["final"].get<bool>();
    result.duplicate = json.contains("duplicate") && json["duplicate"].is_boolean() &&
                       json["duplicate"].get<bool>();
    result.reason = TextOf(json, "reason");
    result.author = TextOf(json, "author");
    result.receivedAt = TimeOf(json, "receivedAt");
    result.effectiveAt = TimeOf(json, "effectiveAt");
    result.appliedAt = TimeOf(json, "appliedAt");
    if (const auto lines = json.find("lines"); lines != json.end() && lines->is_array()) {
        for (const nlohmann::json &entry : *lines) {
            if (!entry.is_object()) continue;
            Line line;
            if (entry.contains("line") && entry["line"].is_number_integer())
                line.line = entry["line"].get<int>();
            line.price = TextOf(entry, "price");
            line.outcome = TextOf(entry, "outcome");
            line.shown = TextOf(entry, "shown");
            line.at = TimeOf(entry, "at");
            result.lines.push_back(line);
        }
    }
    return result;
}
