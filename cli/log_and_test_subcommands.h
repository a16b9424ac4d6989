#pragma once

class SubcommandTable;

// voxa-ctl: The controller's logs, the sign test in two halves, its status and its software part
// number.
namespace LogAndTestSubcommands {

void AddTo(SubcommandTable &table);

}  // namespace LogAndTestSubcommands
