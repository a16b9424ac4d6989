#pragma once

#include <string>
#include <vector>

#include "device_access.h"

class DeviceMap;

// Which of the port names COM1 to COM9 this machine can offer, found without opening or
// reconfiguring any port: only the file system is looked at.
//
// A name is listed when its device exists: its [Devices] entry when it has one, otherwise
// the built-in UART /dev/ttyS{n-1}, and that only when the kernel reports a real UART
// behind it (many machines have ttyS nodes with no hardware). USB serial adapters under
// /dev/serial/by-id that no name maps yet are offered under the first free numbers; a
// number whose [Devices] entry points at a missing device stays reserved for it.
//
// Every path is read below a root folder, "/" when running; tests build a fake tree.
class PortDiscovery {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 9;

    struct Port {
        int number = 0;      // the port name is "COM<number>"
        std::string device;  // the path the workstation opens
        std::string maker;   // for a USB adapter, as its USB descriptors give them
        std::string product;
        bool offered = false;       // a USB adapter without a [Devices] entry yet
        DeviceAccess::Need access;  // a group this user must join to open the device
        bool operator==(const Port &) const = default;
    };

    explicit PortDiscovery(std::string root = "/") : m_root(root), m_access(std::move(root)) {}

    // The user whose access to each device is told; this process's user by default.
    void SetUser(DeviceAccess::User user) { m_access.SetUser(std::move(user)); }

    // The ports in number order.
    std::vector<Port> Ports(const DeviceMap &devices) const;

    const std::string &Root() const { return m_root; }

    // The link under /dev/serial/by-id that leads to a port's device, which stays the same
    // whichever order adapters are plugged in (the device itself when it is such a link);
    // empty when there is none, as for a built-in UART.
    std::string StablePath(const Port &port) const;

private:
    // The operating system's half: what the file system says about a device.
    // Whether path (absolute, read below the root) exists, following links.
    bool Exists(const std::string &path) const;
    // path with every link followed, as an absolute path below the root; empty when it
    // does not resolve.
    std::string Resolve(const std::string &path) const;
    // Whether the kernel reports a real UART behind the tty of that name ("ttyS0").
    bool IsRealUart(const std::string &ttyName) const;
    // The links in /dev/serial/by-id, as absolute paths, sorted.
    std::vector<std::string> UsbAdapterLinks() const;
    // Maker and product of the USB device behind the tty of that name ("ttyUSB0"); both
    // stay empty when it is not a USB device.
    void DescribeUsb(const std::string &ttyName, std::string &maker, std::string &product) const;

    void Describe(Port &port) const;

    std::string m_root;
    DeviceAccess m_access;
};
