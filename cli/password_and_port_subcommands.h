#pragma once

class PasswordReader;
class SubcommandTable;

// voxa-ctl: The system password (checked and changed by the controller) and the serial port.
// A password comes from reader when its argument is "-" or left out.
namespace PasswordAndPortSubcommands {

void AddTo(SubcommandTable &table, PasswordReader &reader);

}  // namespace PasswordAndPortSubcommands
