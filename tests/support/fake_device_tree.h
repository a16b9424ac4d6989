#pragma once

#include <string>

#include "temporary_folder.h"

// A folder laid out like the parts of a Linux root that port discovery reads: device
// nodes (plain files here), the udev links under /dev/serial/by-id, and sysfs entries with
// a UART type or a USB device's descriptors. Removed again with the object.
class FakeDeviceTree {
public:
    const std::string &Root() const { return m_root; }
    // The real path of a path below the root.
    std::string Below(const std::string &path) const;

    // A built-in UART /dev/ttyS<index>, with the type sysfs reports (0: no UART there).
    void AddUart(int index, int type);
    // A USB serial adapter /dev/<ttyName> with its by-id link and its descriptors.
    void AddUsbAdapter(const std::string &byIdName, const std::string &ttyName,
                       const std::string &maker, const std::string &product);
    // Any other device node, such as a pseudo-terminal's link.
    void AddDevice(const std::string &path);

private:
    TemporaryFolder m_folder{"voxa-devices"};
    const std::string m_root = m_folder.Path().string();
    int m_usbPorts = 0;
};
