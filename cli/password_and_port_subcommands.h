#pragma once

class SubcommandTable;

// voxa-ctl: The system password (checked and changed by the controller) and the serial port.
class PasswordAndPortSubcommands {
public:
    static void AddTo(SubcommandTable &table);
};
