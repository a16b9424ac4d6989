#include "port_discovery.h"

#include <algorithm>
#include <set>

#include "device_map.h"

namespace {

std::string BuiltInUart(int number) {
    return "ttyS" + std::to_string(number - 1);
}

std::string LastName(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void PortDiscovery::Describe(Port &port) const {
    const std::string resolved = Resolve(port.device);
    if (!resolved.empty()) DescribeUsb(LastName(resolved), port.maker, port.product);
}

std::vector<PortDiscovery::Port> PortDiscovery::Ports(const DeviceMap &devices) const {
    std::vector<Port> ports;
    std::set<int> taken;
    // Every device a name already means, links followed, so that an adapter mapped by any
    // of its paths (by-id, by-path or /dev/ttyUSB0) is not offered a second time.
    std::set<std::string> mapped;
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        const auto entry = devices.Entries().find(n);
        if (entry != devices.Entries().end()) {
            taken.insert(n);
            const std::string resolved = Resolve(entry->second);
            if (resolved.empty()) continue;
            mapped.insert(resolved);
            Port port;
            port.number = n;
            port.device = entry->second;
            Describe(port);
            ports.push_back(port);
        } else if (Exists("/dev/" + BuiltInUart(n)) && IsRealUart(BuiltInUart(n))) {
            taken.insert(n);
            Port port;
            port.number = n;
            port.device = "/dev/" + BuiltInUart(n);
            ports.push_back(port);
        }
    }

    int next = kFirstPort;
    for (const std::string &link : UsbAdapterLinks()) {
        const std::string resolved = Resolve(link);
        if (resolved.empty() || !mapped.insert(resolved).second) continue;
        while (next <= kLastPort && taken.count(next) != 0) ++next;
        if (next > kLastPort) break;
        taken.insert(next);
        Port port;
        port.number = next;
        port.device = link;
        port.offered = true;
        Describe(port);
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const Port &a, const Port &b) { return a.number < b.number; });
    for (Port &port : ports) port.access = m_access.Check(port.device);
    return ports;
}

std::string PortDiscovery::StablePath(const Port &port) const {
    if (port.device.rfind("/dev/serial/by-id/", 0) == 0) return port.device;
    const std::string resolved = Resolve(port.device);
    if (resolved.empty()) return {};
    for (const std::string &link : UsbAdapterLinks()) {
        if (Resolve(link) == resolved) return link;
    }
    return {};
}
