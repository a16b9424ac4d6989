#include "settings_binding.h"

#include <cctype>
#include <cstdio>

#include "device_map.h"
#include "settings_file.h"
#include "sign_system.h"

namespace {

std::string Key(const char *pattern, int index) {
    char key[16];
    std::snprintf(key, sizeof key, pattern, index);
    return key;
}

constexpr std::size_t kLabelLength = 12;  // "Last Update:"

}  // namespace

std::string SettingsBinding::Load(const SettingsFile &file, SignSystem &system,
                                  DeviceMap &devices) {
    for (int i = 0; i < SignSystem::kMaxLines; ++i) {
        system.SetLineTag(i, file.ReadString("Tags", Key("tag%d", i), kMissing));
    }
    const std::string lastUpdate =
        "Last Update:\n" + file.ReadString("UpdateStatus", "lastmsg", kMissing);
    for (int i = 0; i < SignSystem::kFaces; ++i) {
        system.SetFaceTag(i, file.ReadString("FaceTags", Key("face%d", i), kMissing));
    }
    system.SetPortName(file.ReadString("Communications", "Port", kMissing));
    system.SetShowPortDialog(file.ReadString("Communications", "ShowStartup", kMissing) == "Yes");

    devices.Clear();
    for (int n = 1; n <= kDevicePorts; ++n) {
        const std::string path = file.ReadString("Devices", Key("COM%d", n), "");
        if (!path.empty()) devices.Set(n, path);
    }
    return lastUpdate;
}

void SettingsBinding::Save(SettingsFile &file, const SignSystem &system,
                           const std::string &lastUpdateText) {
    for (int i = 0; i < SignSystem::kMaxLines; ++i) {
        file.WriteString("Tags", Key("tag%d", i), system.GetLineTag(i));
    }
    if (const auto lastMessage = LastMessageFromField(lastUpdateText)) {
        file.WriteString("UpdateStatus", "lastmsg", *lastMessage);
    }
    for (int i = 0; i < SignSystem::kFaces; ++i) {
        file.WriteString("FaceTags", Key("face%d", i), system.GetFaceTag(i));
    }
    // A name that is no port (no port was ever chosen) is not written: the file keeps
    // what it had, and the next start asks for the port again.
    if (DeviceMap::IsPortName(system.GetPortName())) {
        file.WriteString("Communications", "Port", system.GetPortName());
    }
    file.WriteString("Communications", "ShowStartup", system.ShowPortDialog() ? "Yes" : "No");
}

SettingsBinding::PriceRules SettingsBinding::LoadPriceRules(const SettingsFile &file) {
    PriceRules rules;
    // Read without a default: a missing key and an empty value are both "not set".
    const auto value = [&file](const char *section, const std::string &key) {
        std::string text = file.ReadString(section, key, "");
        return text.empty() ? std::nullopt : std::optional<std::string>(std::move(text));
    };
    if (const auto confirm = value("Update", "Confirm")) {
        std::string word = *confirm;
        for (char &c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        rules.confirm = word == "yes";
        if (word != "yes" && word != "no") {
            rules.problems.push_back("[Update] Confirm=" + *confirm +
                                     " is neither Yes nor No: prices are not read back.");
        }
    }
    rules.limits = PriceLimits::Read(
        [&value](const std::string &key) { return value("Limits", key); }, rules.problems);
    return rules;
}

void SettingsBinding::SaveDevices(SettingsFile &file, const DeviceMap &devices) {
    for (const auto &[number, path] : devices.Entries()) {
        if (number <= kDevicePorts) file.WriteString("Devices", Key("COM%d", number), path);
    }
}

std::optional<std::string> SettingsBinding::LastMessageFromField(const std::string &fieldText) {
    const std::size_t label = fieldText.find("e:\n");
    if (label == std::string::npos || label == 0) {
        return std::nullopt;
    }
    std::string rest =
        fieldText.size() > kLabelLength ? fieldText.substr(kLabelLength) : std::string();
    const std::size_t first = rest.find_first_not_of(" \t\r\n\v\f");
    return first == std::string::npos ? std::string() : rest.substr(first);
}
