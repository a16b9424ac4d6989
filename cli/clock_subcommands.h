#pragma once

class SubcommandTable;

// voxa-ctl: The controller's clock: time, date and the daylight-saving switch.
class ClockSubcommands {
public:
    static void AddTo(SubcommandTable &table);
};
