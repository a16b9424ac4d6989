#include "device_map.h"

#include <charconv>
#include <string_view>
#include <utility>

namespace {

constexpr std::string_view kPortPrefix = "COM";
constexpr std::string_view kBuiltInUartPrefix = "/dev/ttyS";

// The n of "COMn", or 0 when the name is not of that form. "COM01" is refused: the
// workstation spells its names "COM%d", so a leading zero means the name came from
// somewhere else.
int PortNumber(std::string_view portName) {
    if (!portName.starts_with(kPortPrefix)) {
        return 0;
    }
    const std::string_view digits = portName.substr(kPortPrefix.size());
    if (digits.empty() || digits.front() < '1' || digits.front() > '9') {
        return 0;
    }
    int number = 0;
    const char *end = digits.data() + digits.size();
    const auto [next, error] = std::from_chars(digits.data(), end, number);
    if (error != std::errc() || next != end) {
        return 0;
    }
    return number;
}

}  // namespace

void DeviceMap::Set(int portNumber, std::string path) {
    if (portNumber < 1) {
        return;
    }
    if (path.empty()) {
        m_paths.erase(portNumber);
        return;
    }
    m_paths[portNumber] = std::move(path);
}

void DeviceMap::Clear() {
    m_paths.clear();
}

bool DeviceMap::IsPortName(const std::string &portName) {
    return PortNumber(portName) > 0;
}

std::string DeviceMap::DevicePath(const std::string &portName) const {
    const int number = PortNumber(portName);
    if (number < 1) {
        return {};
    }
    if (const auto entry = m_paths.find(number); entry != m_paths.end()) {
        return entry->second;
    }
    return std::string(kBuiltInUartPrefix) + std::to_string(number - 1);
}
