// The file-system half of port discovery, on Linux: device nodes, the udev links under
// /dev/serial/by-id and what sysfs says about each tty. Nothing here opens a device: an
// open would raise DTR on some adapters and reset what is attached to them.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "port_discovery.h"

namespace fs = std::filesystem;

namespace {

// How far up from a tty's device the USB device that carries its descriptors may lie
// (tty, interface, device, with room for a hub port in between).
constexpr int kUsbLevels = 4;

std::string FirstLine(const fs::path &file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

}  // namespace

bool PortDiscovery::Exists(const std::string &path) const {
    std::error_code error;
    return fs::exists(fs::path(m_root) / fs::path(path).relative_path(), error);
}

std::string PortDiscovery::Resolve(const std::string &path) const {
    std::error_code error;
    const fs::path root = fs::weakly_canonical(fs::path(m_root), error);
    if (error) return {};
    const fs::path full = fs::canonical(root / fs::path(path).relative_path(), error);
    if (error) return {};
    const fs::path below = full.lexically_relative(root);
    if (below.empty() || *below.begin() == "..") return {};
    return "/" + below.generic_string();
}

bool PortDiscovery::IsRealUart(const std::string &ttyName) const {
    // 0 is PORT_UNKNOWN: the driver found no UART at that address.
    const std::string type = FirstLine(fs::path(m_root) / "sys/class/tty" / ttyName / "type");
    return !type.empty() && type != "0";
}

std::vector<std::string> PortDiscovery::UsbAdapterLinks() const {
    std::vector<std::string> links;
    std::error_code error;
    for (fs::directory_iterator entry(fs::path(m_root) / "dev/serial/by-id", error), end;
         !error && entry != end; entry.increment(error)) {
        links.push_back("/dev/serial/by-id/" + entry->path().filename().string());
    }
    std::sort(links.begin(), links.end());
    return links;
}

void PortDiscovery::DescribeUsb(const std::string &ttyName, std::string &maker,
                                std::string &product) const {
    std::error_code error;
    fs::path device = fs::canonical(fs::path(m_root) / "sys/class/tty" / ttyName / "device", error);
    if (error) return;
    for (int level = 0; level < kUsbLevels && device.has_relative_path(); ++level) {
        // The USB device (not its interface) holds the descriptors.
        if (fs::exists(device / "idVendor", error)) {
            maker = FirstLine(device / "manufacturer");
            product = FirstLine(device / "product");
            return;
        }
        device = device.parent_path();
    }
}
