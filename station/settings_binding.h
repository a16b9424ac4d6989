#pragma once

#include <optional>
#include <string>
#include <vector>

#include "price_limits.h"

class DeviceMap;
class SettingsFile;
class SignSystem;

// What the workstation keeps in its settings file and where each value goes: line tags,
// the last update, face tags, the port and the start-up switch, plus the [Devices] map
// of port names to device paths. Read once at start-up, written once at the end.
namespace SettingsBinding {

inline constexpr const char *kMissing = "XXX";
// What the tag field of a line that is not installed shows.
inline constexpr const char *kNotInstalledField = "not installed ................";
inline constexpr int kDevicePorts = 9;

// Fills the sign system and the device map, and returns the text for the last-update
// field ("Last Update:\n%s").
std::string Load(const SettingsFile &file, SignSystem &system, DeviceMap &devices);

// Writes the values in their order. Tags are written as the sign system stores them,
// never from what a window shows, so that they survive any number of runs unchanged.
// lastUpdateText is the last-update field as shown.
void Save(SettingsFile &file, const SignSystem &system, const std::string &lastUpdateText);

// Writes the [Devices] map, so a port the port dialog mapped is kept.
void SaveDevices(SettingsFile &file, const DeviceMap &devices);

// What the site asks of every price change: [Update] Confirm=Yes reads each price
// back; [Limits] holds the price limits. Values that do not parse are not used, and
// problems says so, one text each, for the program to report once.
struct PriceRules {
    bool confirm = false;
    PriceLimits limits;
    std::vector<std::string> problems;
};
PriceRules LoadPriceRules(const SettingsFile &file);

// The time of a "Last Update:\n%s" text; nothing for any other text (an error shown
// there), so that the value stored before stays.
std::optional<std::string> LastMessageFromField(const std::string &fieldText);

}  // namespace SettingsBinding
