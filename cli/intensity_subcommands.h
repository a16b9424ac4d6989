#pragma once

class SubcommandTable;

// voxa-ctl: Brightness: each face's intensity mode, its manual level, its two levels and the
// switch times of the time-of-day mode, and the duty cycle of each level.
namespace IntensitySubcommands {

void AddTo(SubcommandTable &table);

}  // namespace IntensitySubcommands
