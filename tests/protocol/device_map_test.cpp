#include "device_map.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ResolutionRow {
    std::string portName;
    std::string devicePath;
};

void PrintTo(const ResolutionRow &row, std::ostream *out) {
    *out << '"' << row.portName << '"';
}

class DeviceMapResolution : public ::testing::TestWithParam<ResolutionRow> {
protected:
    DeviceMapResolution() {
        m_devices.Set(3, "/dev/ttyUSB0");
        m_devices.Set(12, "/dev/serial/by-id/usb-adapter-port0");
    }

    DeviceMap m_devices;
};

TEST_P(DeviceMapResolution, ResolvesPortName) {
    EXPECT_EQ(m_devices.DevicePath(GetParam().portName), GetParam().devicePath);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceMap, DeviceMapResolution,
    ::testing::Values(ResolutionRow{"COM1", "/dev/ttyS0"}, ResolutionRow{"COM2", "/dev/ttyS1"},
                      ResolutionRow{"COM3", "/dev/ttyUSB0"}, ResolutionRow{"COM9", "/dev/ttyS8"},
                      ResolutionRow{"COM10", "/dev/ttyS9"},
                      ResolutionRow{"COM12", "/dev/serial/by-id/usb-adapter-port0"},
                      ResolutionRow{"COM255", "/dev/ttyS254"}, ResolutionRow{"XXX", ""},
                      ResolutionRow{"COM0", ""}, ResolutionRow{"COM", ""},
                      ResolutionRow{"COM1x", ""}, ResolutionRow{"", ""}, ResolutionRow{"COM01", ""},
                      ResolutionRow{"COM-1", ""}, ResolutionRow{"COM+1", ""},
                      ResolutionRow{"COM 1", ""}, ResolutionRow{"com1", ""},
                      ResolutionRow{"XCOM1", ""}, ResolutionRow{"COM99999999999999999999", ""},
                      ResolutionRow{"/dev/ttyS0", ""}));

TEST(DeviceMap, SetReplacesAndEmptyPathRemovesAnEntry) {
    DeviceMap devices;
    devices.Set(1, "/dev/ttyUSB0");
    devices.Set(1, "/dev/ttyACM0");
    EXPECT_EQ(devices.DevicePath("COM1"), "/dev/ttyACM0");
    devices.Set(1, "");
    EXPECT_EQ(devices.DevicePath("COM1"), "/dev/ttyS0");
}

TEST(DeviceMap, ClearRestoresTheBuiltInPorts) {
    DeviceMap devices;
    for (int port = 1; port <= 9; ++port) {
        devices.Set(port, "/dev/ttyUSB" + std::to_string(port));
    }
    EXPECT_EQ(devices.DevicePath("COM9"), "/dev/ttyUSB9");
    devices.Clear();
    for (int port = 1; port <= 9; ++port) {
        EXPECT_EQ(devices.DevicePath("COM" + std::to_string(port)),
                  "/dev/ttyS" + std::to_string(port - 1));
    }
}

TEST(DeviceMap, PortNumbersBelowOneAreIgnored) {
    DeviceMap devices;
    devices.Set(0, "/dev/ttyUSB0");
    devices.Set(-1, "/dev/ttyUSB1");
    EXPECT_EQ(devices.DevicePath("COM0"), "");
    EXPECT_EQ(devices.DevicePath("COM-1"), "");
    EXPECT_EQ(devices.DevicePath("COM1"), "/dev/ttyS0");
}

}  // namespace
