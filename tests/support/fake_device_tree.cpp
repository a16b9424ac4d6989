#include "fake_device_tree.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path &file, const std::string &text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// A relative link, as udev and sysfs make them, so the tree can live anywhere.
void Link(const fs::path &link, const fs::path &target) {
    fs::create_directories(link.parent_path());
    fs::create_symlink(target.lexically_relative(link.parent_path()), link);
}

}  // namespace

std::string FakeDeviceTree::Below(const std::string &path) const {
    return (fs::path(m_root) / fs::path(path).relative_path()).string();
}

void FakeDeviceTree::AddUart(int index, int type) {
    const std::string name = "ttyS" + std::to_string(index);
    AddDevice("/dev/" + name);
    const fs::path device = Below("/sys/devices/platform/serial8250/tty/" + name);
    Write(device / "type", std::to_string(type) + "\n");
    Link(Below("/sys/class/tty/" + name), device);
}

void FakeDeviceTree::AddUsbAdapter(const std::string &byIdName, const std::string &ttyName,
                                   const std::string &maker, const std::string &product) {
    AddDevice("/dev/" + ttyName);
    Link(Below("/dev/serial/by-id/" + byIdName), Below("/dev/" + ttyName));
    const std::string port = "1-" + std::to_string(++m_usbPorts);
    const fs::path usbDevice = Below("/sys/devices/pci0000:00/0000:00:14.0/usb1/" + port);
    Write(usbDevice / "idVendor", "0403\n");
    Write(usbDevice / "manufacturer", maker + "\n");
    Write(usbDevice / "product", product + "\n");
    const fs::path tty = usbDevice / (port + ":1.0") / ttyName;
    fs::create_directories(tty / "tty" / ttyName);
    Link(Below("/sys/class/tty/" + ttyName), tty / "tty" / ttyName);
    Link(tty / "tty" / ttyName / "device", tty);
}

void FakeDeviceTree::AddDevice(const std::string &path) {
    Write(Below(path), "");
}
