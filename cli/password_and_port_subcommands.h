#pragma once

#include <string>

#include "device_map.h"

class PasswordReader;
class SubcommandTable;

// voxa-ctl: The system password (checked and changed by the controller) and the serial
// ports: whether one opens, and which this PC has. A password comes from reader when its
// argument is "-" or left out.
namespace PasswordAndPortSubcommands {

// Where list-ports looks, as the port dialog does: the [Devices] map of voxa.ini, and the
// root of the device tree ("/"; tests lay out their own).
struct PortSetup {
    DeviceMap devices;
    std::string root = "/";
};

// The setup is read when a subcommand runs, not when it is added.
void AddTo(SubcommandTable &table, PasswordReader &reader, const PortSetup &ports);

}  // namespace PasswordAndPortSubcommands
