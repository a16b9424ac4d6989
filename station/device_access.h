#pragma once

#include <optional>
#include <string>
#include <vector>

// Whether this user can open a serial device, and when a group is what stands in the
// way, which one: the device's group grants read and write, and the user is not in it.
// Debian gives serial devices to the group dialout, and a user joins it with usermod; the
// change reaches a session only at the next log-in, so a group file that already lists
// the user means that a new log-in is all that is missing.
//
// Only the file system is read (the device's owner, group and mode, and /etc/group),
// below a root folder, "/" when running; tests build a fake tree and name their own user.
class DeviceAccess {
public:
    struct User {
        unsigned uid = 0;
        std::string name;
        std::vector<unsigned> groups;  // the groups this process runs with
    };

    // What the user has to do about one device.
    struct Need {
        std::string group;    // the group to join; empty when no group would help
        bool joined = false;  // the group file lists the user already: a new log-in is missing
        bool operator==(const Need &) const = default;
    };

    explicit DeviceAccess(std::string root = "/");

    // The user this process runs as.
    static User CurrentUser();
    void SetUser(User user) { m_user = std::move(user); }

    // Nothing to do for a device that is missing, open to this user already, or closed
    // to the group as well.
    Need Check(const std::string &device) const;

    // The command that adds the user to the group, as typed in a terminal.
    static std::string JoinCommand(const std::string &group);

private:
    struct Node {
        unsigned uid = 0;
        unsigned gid = 0;
        unsigned mode = 0;  // permission bits
    };
    struct Group {
        std::string name;
        std::vector<std::string> members;
    };

    // The operating system's half: the device's owner, group and mode, links followed.
    std::optional<Node> Stat(const std::string &device) const;
    // The group of that id in the group file below the root.
    std::optional<Group> FindGroup(unsigned gid) const;

    std::string m_root;
    User m_user;
};
