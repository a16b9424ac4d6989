// The operating system's half of the device access check: the device's inode and the
// identity of this process. Nothing is opened.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "device_access.h"

DeviceAccess::User DeviceAccess::CurrentUser() {
    User user;
    user.uid = ::geteuid();
    if (const passwd *entry = ::getpwuid(user.uid); entry != nullptr && entry->pw_name) {
        user.name = entry->pw_name;
    }
    user.groups.push_back(::getegid());
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<std::size_t>(count));
        const int got = ::getgroups(count, groups.data());
        for (int i = 0; i < got; ++i) user.groups.push_back(groups[static_cast<std::size_t>(i)]);
    }
    return user;
}

std::optional<DeviceAccess::Node> DeviceAccess::Stat(const std::string &device) const {
    const std::string path = m_root == "/" ? device : m_root + device;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return Node{status.st_uid, status.st_gid, static_cast<unsigned>(status.st_mode & 07777)};
}
