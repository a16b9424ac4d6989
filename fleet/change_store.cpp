#include "change_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "file_io.h"
#include "iso_time.h"

namespace {

constexpr int kFormat = 1;

}  // namespace

bool ChangeStore::Load(std::string &problem) {
    m_waiting.clear();
    m_handled.clear();
    m_outbox.clear();
    struct stat status {};
    if (FileIo::StatusOf(m_path.string(), status) != 0) {
        if (errno == ENOENT) return true;
        problem = "Load(" + m_path.string() + "): stat() failed: (" + std::to_string(errno) + ") " +
                  std::strerror(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        problem = "Load(" + m_path.string() + "): not a regular file";
        return false;
    }
    std::string bytes;
    if (!FileIo::ReadAll(m_path.string(), bytes)) {
        problem = "Load(" + m_path.string() + "): read() failed: (" + std::to_string(errno) + ") " +
                  std::strerror(errno);
        return false;
    }
    const nlohmann::json json = nlohmann::json::parse(bytes, nullptr, false);
    if (json.is_discarded() || !json.is_object() || !json.contains("format") ||
        json["format"] != kFormat) {
        problem = "Load(" + m_path.string() + "): not a store of the agent's (version " +
                  std::to_string(kFormat) + ")";
        return false;
    }
    if (const auto waiting = json.find("waiting"); waiting != json.end() && waiting->is_array()) {
        for (const nlohmann::json &entry : *waiting) {
            std::string reason;
            const auto change = entry.is_object() && entry.contains("change")
                                    ? PriceChange::FromJson(entry["change"], reason)
                                    : std::nullopt;
            if (!change) continue;
            Waiting item{*change, 0, false, ""};
            if (entry.contains("receivedAt") && entry["receivedAt"].is_string())
                item.receivedAt = IsoTime::Parse(entry["receivedAt"]).value_or(0);
            item.applying = entry.value("applying", false);
            item.note = entry.value("note", "");
            m_waiting.push_back(item);
        }
    }
    if (const auto handled = json.find("handled"); handled != json.end() && handled->is_array()) {
        for (const nlohmann::json &entry : *handled) {
            if (const auto result = ChangeResult::FromJson(entry)) m_handled.push_back(*result);
        }
    }
    if (const auto outbox = json.find("outbox"); outbox != json.end() && outbox->is_array()) {
        for (const nlohmann::json &entry : *outbox) {
            if (entry.is_object() && entry.contains("topic") && entry["topic"].is_string() &&
                entry.contains("payload") && entry["payload"].is_string()) {
                m_outbox.push_back({entry["topic"], entry["payload"]});
            }
        }
    }
    return true;
}

bool ChangeStore::Save(std::string &problem) {
    nlohmann::ordered_json json;
    json["format"] = kFormat;
    json["waiting"] = nlohmann::ordered_json::array();
    for (const Waiting &item : m_waiting) {
        json["waiting"].push_back({{"change", item.change.ToJson()},
                                   {"receivedAt", IsoTime::Format(item.receivedAt)},
                                   {"applying", item.applying},
                                   {"note", item.note}});
    }
    json["handled"] = nlohmann::ordered_json::array();
    for (const ChangeResult &result : m_handled) json["handled"].push_back(result.ToJson());
    json["outbox"] = nlohmann::ordered_json::array();
    for (const Outgoing &message : m_outbox) {
        json["outbox"].push_back({{"topic", message.topic}, {"payload", message.payload}});
    }
    const std::string text = json.dump(1) + "\n";
    if (const auto error = FileIo::ReplaceFile(m_path, text.data(), text.size(), 0600)) {
        problem = "Save(" + m_path.string() + "): " + error->call + " failed: (" +
                  std::to_string(error->error) + ") " + std::strerror(error->error);
        return false;
    }
    return true;
}

ChangeStore::Waiting *ChangeStore::FindWaiting(const std::string &id) {
    const auto found = std::find_if(m_waiting.begin(), m_waiting.end(),
                                    [&id](const Waiting &item) { return item.change.id == id; });
    return found == m_waiting.end() ? nullptr : &*found;
}

void ChangeStore::RemoveWaiting(const std::string &id) {
    std::erase_if(m_waiting, [&id](const Waiting &item) { return item.change.id == id; });
}

const ChangeResult *ChangeStore::Handled(const std::string &id) const {
    // Newest first: a duplicate is most likely a recent change.
    for (auto it = m_handled.rbegin(); it != m_handled.rend(); ++it) {
        if (it->id == id) return &*it;
    }
    return nullptr;
}

void ChangeStore::AddHandled(const ChangeResult &result) {
    m_handled.push_back(result);
    while (m_handled.size() > kHandledKept) m_handled.pop_front();
}
