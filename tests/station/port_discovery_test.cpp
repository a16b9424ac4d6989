#include "port_discovery.h"

#include <gtest/gtest.h>

#include "device_map.h"
#include "fake_device_tree.h"

namespace {

using Port = PortDiscovery::Port;

Port Listed(int number, const std::string &device, bool offered = false,
            const std::string &maker = "", const std::string &product = "") {
    Port port;
    port.number = number;
    port.device = device;
    port.maker = maker;
    port.product = product;
    port.offered = offered;
    return port;
}

class PortDiscoveryTest : public ::testing::Test {
protected:
    std::vector<Port> Ports() const { return PortDiscovery(tree.Root()).Ports(devices); }

    FakeDeviceTree tree;
    DeviceMap devices;
};

TEST_F(PortDiscoveryTest, NothingFoundOnABareMachine) {
    EXPECT_TRUE(Ports().empty());
}

TEST_F(PortDiscoveryTest, BuiltInUartsOnlyWhereTheKernelFoundOne) {
    tree.AddUart(0, 4);  // a 16550A
    tree.AddUart(1, 0);  // a node with no UART behind it
    tree.AddUart(3, 4);
    tree.AddDevice("/dev/ttyS4");  // no sysfs entry at all
    EXPECT_EQ(Ports(), (std::vector<Port>{Listed(1, "/dev/ttyS0"), Listed(4, "/dev/ttyS3")}));
}

TEST_F(PortDiscoveryTest, DevicesEntryStandsForItsNameWhenItsDeviceExists) {
    tree.AddUart(0, 4);
    tree.AddDevice("/tmp/cc-line");
    devices.Set(1, "/tmp/cc-line");
    devices.Set(2, "/dev/ttyUSB7");  // unplugged
    EXPECT_EQ(Ports(), std::vector<Port>{Listed(1, "/tmp/cc-line")});
}

TEST_F(PortDiscoveryTest, NewUsbAdaptersAreOfferedUnderTheFirstFreeNumbers) {
    tree.AddUart(0, 4);
    tree.AddUart(2, 4);
    tree.AddUsbAdapter("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "ttyUSB0", "FTDI",
                       "FT232R USB UART");
    tree.AddUsbAdapter("usb-Prolific_USB-Serial_Controller-if00-port0", "ttyUSB1",
                       "Prolific Technology Inc.", "USB-Serial Controller");
    // COM2 is kept for an adapter that is unplugged just now.
    devices.Set(2, "/dev/serial/by-id/usb-Missing-if00-port0");
    EXPECT_EQ(Ports(),
              (std::vector<Port>{
                  Listed(1, "/dev/ttyS0"), Listed(3, "/dev/ttyS2"),
                  Listed(4, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", true,
                         "FTDI", "FT232R USB UART"),
                  Listed(5, "/dev/serial/by-id/usb-Prolific_USB-Serial_Controller-if00-port0", true,
                         "Prolific Technology Inc.", "USB-Serial Controller")}));
}

TEST_F(PortDiscoveryTest, AdapterMappedByAnyOfItsPathsIsNotOfferedAgain) {
    tree.AddUsbAdapter("usb-FTDI_A-if00-port0", "ttyUSB0", "FTDI", "FT232R USB UART");
    tree.AddUsbAdapter("usb-FTDI_B-if00-port0", "ttyUSB1", "FTDI", "FT232R USB UART");
    devices.Set(3, "/dev/ttyUSB0");
    devices.Set(1, "/dev/serial/by-id/usb-FTDI_B-if00-port0");
    // Mapped adapters are listed under their names, with what they are.
    EXPECT_EQ(Ports(),
              (std::vector<Port>{Listed(1, "/dev/serial/by-id/usb-FTDI_B-if00-port0", false, "FTDI",
                                        "FT232R USB UART"),
                                 Listed(3, "/dev/ttyUSB0", false, "FTDI", "FT232R USB UART")}));
}

TEST_F(PortDiscoveryTest, NoMoreThanNineNames) {
    for (int i = 0; i < 4; ++i) tree.AddUart(i, 4);
    for (int i = 0; i < 7; ++i) {
        tree.AddUsbAdapter("usb-Adapter_" + std::to_string(i) + "-if00-port0",
                           "ttyUSB" + std::to_string(i), "Maker", "Cable");
    }
    const std::vector<Port> ports = Ports();
    ASSERT_EQ(ports.size(), 9u);
    EXPECT_EQ(ports.back().number, 9);
    EXPECT_EQ(ports.back().device, "/dev/serial/by-id/usb-Adapter_4-if00-port0");
}

TEST_F(PortDiscoveryTest, StablePathIsTheByIdLinkOfTheDevice) {
    tree.AddUart(0, 4);
    tree.AddUsbAdapter("usb-FTDI_A-if00-port0", "ttyUSB0", "FTDI", "FT232R USB UART");
    tree.AddUsbAdapter("usb-FTDI_B-if00-port0", "ttyUSB1", "FTDI", "FT232R USB UART");
    devices.Set(3, "/dev/ttyUSB1");
    const PortDiscovery discovery(tree.Root());
    std::vector<std::string> stable;
    for (const Port &port : discovery.Ports(devices)) stable.push_back(discovery.StablePath(port));
    // COM1 the UART, COM2 the new adapter A (by its link), COM3 adapter B mapped by its tty.
    EXPECT_EQ(stable, (std::vector<std::string>{"", "/dev/serial/by-id/usb-FTDI_A-if00-port0",
                                                "/dev/serial/by-id/usb-FTDI_B-if00-port0"}));
}

}  // namespace
