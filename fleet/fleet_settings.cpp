#include "fleet_settings.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file_io.h"
#include "settings_file.h"

namespace {

constexpr const char *kSection = "Fleet";

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::optional<double> PositiveNumber(const std::string &text) {
    if (text.empty()) return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end == text.c_str() || *end != '\0' || !(value > 0) || value > 525600)
        return std::nullopt;
    return value;
}

std::filesystem::path Beside(const std::filesystem::path &folder, const std::string &name) {
    if (name.empty()) return {};
    const std::filesystem::path path(name);
    return path.is_absolute() ? path : folder / path;
}

std::string ErrnoText(const char *operation, const char *call, int error) {
    return std::string(operation) + ": " + call + " failed: (" + std::to_string(error) + ") " +
           std::strerror(error);
}

}  // namespace

std::optional<FleetSettings::BrokerAddress> FleetSettings::ParseBroker(const std::string &url) {
    BrokerAddress address;
    std::string rest;
    if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
    } else if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
        address.tls = false;
        address.port = 1883;
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    const std::size_t colon = rest.rfind(':');
    if (colon != std::string::npos && rest.find(']', colon) == std::string::npos) {
        const std::string port = rest.substr(colon + 1);
        if (port.empty() || port.size() > 5) return std::nullopt;
        for (const char c : port) {
            if (std::isdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
        }
        address.port = std::stoi(port);
        if (address.port < 1 || address.port > 65535) return std::nullopt;
        rest.resize(colon);
    }
    if (rest.size() > 2 && rest.front() == '[' && rest.back() == ']')
        rest = rest.substr(1, rest.size() - 2);
    if (rest.empty() || rest.find_first_of("/@ ") != std::string::npos) return std::nullopt;
    address.host = rest;
    return address;
}

bool FleetSettings::ValidSite(const std::string &site) {
    if (site.empty() || site.size() > 64) return false;
    for (const char c : site) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '-' && c != '_' && c != '.')
            return false;
    }
    return true;
}

FleetSettings FleetSettings::Read(const SettingsFile &file, const std::filesystem::path &folder,
                                  std::vector<std::string> &problems) {
    FleetSettings s;
    const auto value = [&file](const char *key) { return file.ReadString(kSection, key, ""); };
    s.brokerUrl = value("Broker");
    if (s.brokerUrl.empty()) {
        problems.push_back(
            "[Fleet] Broker= is not set: write the broker's address, such as "
            "mqtts://broker.example.com:8883.");
    } else if (const auto address = ParseBroker(s.brokerUrl)) {
        s.broker = *address;
    } else {
        problems.push_back("[Fleet] Broker=" + s.brokerUrl +
                           " is not an address such as mqtts://broker.example.com:8883.");
    }
    s.site = value("Site");
    if (!ValidSite(s.site)) {
        problems.push_back("[Fleet] Site=" + s.site +
                           " is not a site id (1 to 64 letters, digits, '-', '_' or '.').");
    }
    s.user = value("User");
    if (s.user.empty()) s.user = s.site;
    const std::string password = value("PasswordFile");
    if (password.empty()) {
        problems.push_back(
            "[Fleet] PasswordFile= is not set: name the file that holds this site's broker "
            "password (mode 600).");
    }
    s.passwordFile = Beside(folder, password);
    s.caFile = Beside(folder, value("CaFile"));
    s.certFile = Beside(folder, value("CertFile"));
    s.keyFile = Beside(folder, value("KeyFile"));
    if (s.certFile.empty() != s.keyFile.empty()) {
        problems.push_back("[Fleet] CertFile= and KeyFile= go together: set both or neither.");
    }
    const std::string verify = Lower(value("VerifyBroker"));
    if (verify == "no") {
        s.verifyBroker = false;
    } else if (!verify.empty() && verify != "yes") {
        problems.push_back("[Fleet] VerifyBroker=" + value("VerifyBroker") +
                           " is neither Yes nor No.");
    }
    if (s.broker.tls && s.verifyBroker && s.caFile.empty()) {
        problems.push_back(
            "[Fleet] CaFile= is not set: name the certificate of the authority that signed the "
            "broker's certificate.");
    }
    const auto number = [&](const char *key, double &target) {
        const std::string text = value(key);
        if (text.empty()) return;
        if (const auto parsed = PositiveNumber(text)) {
            target = *parsed;
        } else {
            problems.push_back(std::string("[Fleet] ") + key + "=" + text +
                               " is not a number of minutes above 0.");
        }
    };
    number("PollMinutes", s.pollMinutes);
    number("MaxLateMinutes", s.maxLateMinutes);
    return s;
}

bool FleetSettings::ReadPassword(const std::filesystem::path &path, std::string &password,
                                 std::string &reason) {
    const std::string name = path.string();
    const int fd = FileIo::Open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = ErrnoText(("ReadPassword(" + name + ")").c_str(), "open()", errno);
        return false;
    }
    struct stat status {};
    if (FileIo::Status(fd, status) != 0) {
        reason = ErrnoText(("ReadPassword(" + name + ")").c_str(), "fstat()", errno);
        FileIo::Close(fd);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        reason = "ReadPassword(" + name + "): not a regular file";
        FileIo::Close(fd);
        return false;
    }
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        reason = "the password file " + name + " may be read by others (mode " + mode +
                 "): make it private with chmod 600 " + name;
        FileIo::Close(fd);
        return false;
    }
    std::string bytes(4096, '\0');
    const ssize_t count = FileIo::ReadAt(fd, bytes.data(), bytes.size(), 0);
    const int error = errno;
    FileIo::Close(fd);
    if (count < 0) {
        reason = ErrnoText(("ReadPassword(" + name + ")").c_str(), "pread()", error);
        return false;
    }
    bytes.resize(static_cast<std::size_t>(count));
    const std::size_t end = bytes.find_first_of("\r\n");
    password = bytes.substr(0, end);
    if (password.empty()) {
        reason = "the password file " + name + " is empty: write the site's password in it";
        return false;
    }
    return true;
}
