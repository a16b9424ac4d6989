#pragma once

class ProgressLine;
class SubcommandTable;

// voxa-ctl: the controller's whole memory to an image file and back, with the transfer the
// workstation uses. The blocks counted on the progress line, when there is one (standard
// error is a terminal). A load that went through says that VOXA must be restarted; any
// block that did not go through makes the run fail.
namespace NvramSubcommands {

inline constexpr const char *kRestartNotice =
    "VOXA must be restarted to comply with NVRAM changes.";

void AddTo(SubcommandTable &table, ProgressLine *progress);

}  // namespace NvramSubcommands
