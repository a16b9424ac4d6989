#pragma once

class SubcommandTable;

// voxa-ctl: The daily sign on/off timer: the two times and the timer switch.
namespace OnOffTimerSubcommands {

void AddTo(SubcommandTable &table);

}  // namespace OnOffTimerSubcommands
