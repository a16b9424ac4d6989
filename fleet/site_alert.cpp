#include "site_alert.h"

#include "iso_time.h"

nlohmann::ordered_json SiteAlert::ToJson() const {
    nlohmann::ordered_json json;
    json["site"] = site;
    json["time"] = IsoTime::Format(time);
    json["kind"] = kind;
    json["text"] = text;
    return json;
}

std::optional<SiteAlert> SiteAlert::FromJson(const nlohmann::json &json) {
    if (!json.is_object()) return std::nullopt;
    const auto text = [&json](const char *key) {
        const auto found = json.find(key);
        return found != json.end() && found->is_string() ? found->get<std::string>() : "";
    };
    SiteAlert alert;
    alert.site = text("site");
    alert.kind = text("kind");
    alert.text = text("text");
    alert.time = IsoTime::Parse(text("time")).value_or(0);
    if (alert.kind.empty()) return std::nullopt;
    return alert;
}
