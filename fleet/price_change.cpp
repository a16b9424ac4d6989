#include "price_change.h"

#include <cctype>

#include "iso_time.h"

namespace {

bool PrintableText(const std::string &text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return true;
}

}  // namespace

nlohmann::ordered_json PriceChange::ToJson() const {
    nlohmann::ordered_json json;
    json["id"] = id;
    json["author"] = author;
    json["issuedAt"] = IsoTime::Format(issuedAt);
    if (IsCancel()) {
        json["cancel"] = cancel;
        return json;
    }
    json["effectiveAt"] = IsoTime::Format(effectiveAt);
    json["prices"] = nlohmann::ordered_json::object();
    for (const auto &[line, price] : prices) json["prices"][std::to_string(line)] = price;
    if (confirm) json["confirm"] = true;
    return json;
}

std::optional<PriceChange> PriceChange::Parse(const std::string &payload, std::string &id,
                                              std::string &reason) {
    id.clear();
    const nlohmann::json json = nlohmann::json::parse(payload, nullptr, false);
    if (json.is_discarded()) {
        reason = "not valid JSON";
        return std::nullopt;
    }
    if (json.is_object()) {
        const auto found = json.find("id");
        if (found != json.end() && found->is_string() && !found->get<std::string>().empty() &&
            found->get<std::string>().size() <= kMaxIdLength &&
            PrintableText(found->get<std::string>())) {
            id = found->get<std::string>();
        }
    }
    return FromJson(json, reason);
}

std::optional<PriceChange> PriceChange::FromJson(const nlohmann::json &json, std::string &reason) {
    if (!json.is_object()) {
        reason = "not a JSON object";
        return std::nullopt;
    }
    const auto text = [&json](const char *key) -> std::optional<std::string> {
        const auto found = json.find(key);
        if (found == json.end() || !found->is_string()) return std::nullopt;
        return found->get<std::string>();
    };
    PriceChange change;
    const auto id = text("id");
    if (!id || id->empty()) {
        reason = "no id";
        return std::nullopt;
    }
    if (id->size() > kMaxIdLength || !PrintableText(*id)) {
        reason = "the id is longer than 128 characters or holds control characters";
        return std::nullopt;
    }
    change.id = *id;
    const auto author = text("author");
    if (!author || author->empty() || !PrintableText(*author)) {
        reason = "no author";
        return std::nullopt;
    }
    change.author = *author;
    const auto issued = text("issuedAt");
    const auto issuedAt = issued ? IsoTime::Parse(*issued) : std::nullopt;
    if (!issuedAt) {
        reason = "issuedAt is not a time such as 2026-12-08T06:00:00Z";
        return std::nullopt;
    }
    change.issuedAt = *issuedAt;
    if (json.contains("cancel")) {
        const auto cancel = text("cancel");
        if (!cancel || cancel->empty()) {
            reason = "cancel does not name a change";
            return std::nullopt;
        }
        change.cancel = *cancel;
        return change;
    }
    change.effectiveAt = change.issuedAt;
    if (json.contains("effectiveAt")) {
        const auto effective = text("effectiveAt");
        const auto effectiveAt = effective ? IsoTime::Parse(*effective) : std::nullopt;
        if (!effectiveAt) {
            reason = "effectiveAt is not a time such as 2026-12-08T06:00:00Z";
            return std::nullopt;
        }
        change.effectiveAt = *effectiveAt;
    }
    if (json.contains("confirm")) {
        if (!json["confirm"].is_boolean()) {
            reason = "confirm is neither true nor false";
            return std::nullopt;
        }
        change.confirm = json["confirm"].get<bool>();
    }
    const auto prices = json.find("prices");
    if (prices == json.end() || !prices->is_object() || prices->empty()) {
        reason = "no prices";
        return std::nullopt;
    }
    for (const auto &[key, value] : prices->items()) {
        if (key.size() != 1 || key[0] < '1' || key[0] > '0' + kLines) {
            reason = "line \"" + key + "\" is not a line from 1 to 8";
            return std::nullopt;
        }
        if (!value.is_string() || value.get<std::string>().empty() ||
            value.get<std::string>().size() > kMaxPriceLength ||
            !PrintableText(value.get<std::string>())) {
            reason = "the price of line " + key + " is not a text of 1 to 32 characters";
            return std::nullopt;
        }
        change.prices[key[0] - '0'] = value.get<std::string>();
    }
    return change;
}
