#pragma once

#include <map>
#include <string>

// Where each port name of the form "COMn" lives on this machine. The workstation names
// its ports the way the controller's installers know them; an installation whose
// adapter is not the n-th built-in UART (a USB adapter, say) maps the name here.
class DeviceMap {
public:
    // Maps "COM<portNumber>" to the device path. An empty path removes the entry, so the
    // name falls back to its built-in UART; port numbers below 1 are ignored.
    void Set(int portNumber, std::string path);
    void Clear();

    // The device path of "COMn" (n a positive decimal number without leading zeros): its
    // entry, or else the n-th built-in UART /dev/ttyS{n-1}. Any other name gives an empty
    // path, so that no caller ever opens a name relative to the working directory.
    std::string DevicePath(const std::string &portName) const;
    // Whether the name is of the form "COMn": one that names a port, not the "XXX" a
    // settings file without a port gives.
    static bool IsPortName(const std::string &portName);
    // The entries, by port number.
    const std::map<int, std::string> &Entries() const { return m_paths; }

private:
    std::map<int, std::string> m_paths;
};
