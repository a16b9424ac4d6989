#pragma once

class SubcommandTable;

// voxa-ctl: The controller's clock: time, date and the daylight-saving switch.
namespace ClockSubcommands {

void AddTo(SubcommandTable &table);

}  // namespace ClockSubcommands
