#pragma once

#include <string>

// The topics of one site. Head office writes changes (QoS 1) and reads the rest; the
// site's agent reads only its changes and writes only its results, state and alerts, so
// the broker's ACL can say exactly that.
namespace FleetTopics {

inline std::string Changes(const std::string &site) {
    return "voxa/" + site + "/changes";
}
inline std::string Results(const std::string &site) {
    return "voxa/" + site + "/results";
}
inline std::string State(const std::string &site) {
    return "voxa/" + site + "/state";
}
inline std::string Alerts(const std::string &site) {
    return "voxa/" + site + "/alerts";
}

// The site named by a topic "voxa/<site>/<kind>", and its kind; false for any other topic.
inline bool Split(const std::string &topic, std::string &site, std::string &kind) {
    if (topic.rfind("voxa/", 0) != 0) return false;
    const std::size_t slash = topic.find('/', 5);
    if (slash == std::string::npos || slash == 5) return false;
    site = topic.substr(5, slash - 5);
    kind = topic.substr(slash + 1);
    return !kind.empty() && kind.find('/') == std::string::npos;
}

}  // namespace FleetTopics
