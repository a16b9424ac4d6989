#include "head_office_settings.h"

#include <cctype>

#include "settings_file.h"

namespace {

std::filesystem::path Beside(const std::filesystem::path &folder, const std::string &name) {
    if (name.empty()) return {};
    const std::filesystem::path path(name);
    return path.is_absolute() ? path : folder / path;
}

}  // namespace

bool HeadOfficeSettings::Read(const std::filesystem::path &file, HeadOfficeSettings &settings,
                              std::vector<std::string> &problems) {
    SettingsFile ini(file);
    if (!ini.Load()) {
        problems.push_back("cannot read " + file.string() +
                           ": write head office's broker settings there (see voxa-hq(1)), or "
                           "name another file with --config FILE");
        return false;
    }
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const auto value = [&ini](const char *key) { return ini.ReadString("HeadOffice", key, ""); };
    settings.brokerUrl = value("Broker");
    if (const auto address = FleetSettings::ParseBroker(settings.brokerUrl)) {
        settings.broker = *address;
    } else {
        problems.push_back("[HeadOffice] Broker=" + settings.brokerUrl + " in " + file.string() +
                           " is not an address such as mqtts://broker.example.com:8883");
    }
    if (!value("User").empty()) settings.user = value("User");
    settings.passwordFile = Beside(folder, value("PasswordFile"));
    if (settings.passwordFile.empty()) {
        problems.push_back("[HeadOffice] PasswordFile= in " + file.string() +
                           " is not set: name the file with head office's broker password");
    }
    settings.caFile = Beside(folder, value("CaFile"));
    settings.certFile = Beside(folder, value("CertFile"));
    settings.keyFile = Beside(folder, value("KeyFile"));
    std::string verify = value("VerifyBroker");
    for (char &c : verify) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    settings.verifyBroker = verify != "no";
    if (settings.broker.tls && settings.verifyBroker && settings.caFile.empty()) {
        problems.push_back("[HeadOffice] CaFile= in " + file.string() +
                           " is not set: name the certificate of the broker's authority");
    }
    return problems.empty();
}
