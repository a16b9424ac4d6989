// The POSIX half of the price log: who and when.
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "price_log_file.h"

std::string PriceLogFile::TimeText(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[40];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0) return {};
    // strftime writes the offset as +0100; ISO 8601's extended form wants +01:00.
    std::string iso = text;
    if (iso.size() >= 5) iso.insert(iso.size() - 2, ":");
    return iso;
}

std::string PriceLogFile::ProcessUser() {
    const uid_t uid = ::getuid();
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd *found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr && *found->pw_name != '\0') {
        return found->pw_name;
    }
    if (const char *user = std::getenv("USER"); user != nullptr && *user != '\0') return user;
    return std::to_string(uid);
}
