#include "device_access.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

constexpr unsigned kGroupReadWrite = 0060;
constexpr unsigned kOthersReadWrite = 0006;

bool Grants(unsigned mode, unsigned readWrite) {
    return (mode & readWrite) == readWrite;
}

std::vector<std::string> Split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

}  // namespace

DeviceAccess::DeviceAccess(std::string root) : m_root(std::move(root)), m_user(CurrentUser()) {}

std::string DeviceAccess::JoinCommand(const std::string &group) {
    return "sudo usermod -aG " + group + " $USER";
}

DeviceAccess::Need DeviceAccess::Check(const std::string &device) const {
    const std::optional<Node> node = Stat(device);
    // The superuser opens anything; an owner's and a member's rights are the mode's, and
    // joining a group would change neither.
    if (!node || m_user.uid == 0 || node->uid == m_user.uid ||
        std::count(m_user.groups.begin(), m_user.groups.end(), node->gid) != 0 ||
        Grants(node->mode, kOthersReadWrite) || !Grants(node->mode, kGroupReadWrite)) {
        return {};
    }
    Need need;
    if (const std::optional<Group> group = FindGroup(node->gid)) {
        need.group = group->name;
        need.joined = !m_user.name.empty() &&
                      std::count(group->members.begin(), group->members.end(), m_user.name) != 0;
    } else {
        // usermod takes a group's number as well as its name.
        need.group = std::to_string(node->gid);
    }
    return need;
}

std::optional<DeviceAccess::Group> DeviceAccess::FindGroup(unsigned gid) const {
    // name:password:gid:member,member
    std::ifstream in(m_root + "/etc/group");
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> fields = Split(line, ':');
        if (fields.size() < 4 || fields[2] != std::to_string(gid)) continue;
        Group group;
        group.name = fields[0];
        if (!fields[3].empty()) group.members = Split(fields[3], ',');
        return group;
    }
    return std::nullopt;
}
