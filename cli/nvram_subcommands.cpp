#include "nvram_subcommands.h"

#include <ostream>
#include <string>

#include "exit_status.h"
#include "nvram_transfer.h"
#include "progress_line.h"
#include "subcommand_table.h"

namespace {

using Call = SubcommandTable::Call;

NvramTransfer::Progress CountBlocks(ProgressLine *progress) {
    if (progress == nullptr) return {};
    return [progress](int done, int blocks) {
        // The block on its way, as the workstation names it; nothing while the size is
        // not known.
        if (blocks > 0) {
            progress->Show("Block " + std::to_string(done < blocks ? done + 1 : blocks) + " of " +
                           std::to_string(blocks));
        }
    };
}

// The exit status of a transfer; its reason, if any, goes to err.
int Verdict(const NvramTransfer::Result &result, std::ostream &err) {
    if (!result.message.empty()) err << "voxa-ctl: " << result.message << '\n';
    return result.outcome == NvramTransfer::Outcome::Complete ? ExitStatus::kOk
                                                              : ExitStatus::kTransactionFailed;
}

}  // namespace

void NvramSubcommands::AddTo(SubcommandTable &table, ProgressLine *progress) {
    table.Add("save-nvram-image",
              {.operands = "FILE",
               .summary = "Copies the controller's whole memory into FILE, byte for byte; FILE is\n"
                          "replaced only when every block arrived. A new file is readable by its\n"
                          "owner only.",
               .details = "  FILE    the image file to write (an existing one keeps its mode)\n",
               .minOperands = 1,
               .maxOperands = 1,
               .run = [progress](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                   const NvramTransfer::Result result =
                       NvramTransfer(s).Save(c.operands[0], CountBlocks(progress));
                   if (progress != nullptr) progress->End();
                   return Verdict(result, err);
               }});
    table.Add("load-nvram-image",
              {.operands = "FILE",
               .summary = "Sends an image saved by save-nvram-image back into the controller's\n"
                          "memory and prints that VOXA must be restarted.",
               .details = "  FILE    an image of at most 65536 bytes\n",
               .minOperands = 1,
               .maxOperands = 1,
               .run = [progress](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   const NvramTransfer::Result result =
                       NvramTransfer(s).Load(c.operands[0], CountBlocks(progress));
                   if (progress != nullptr) progress->End();
                   const int status = Verdict(result, err);
                   if (status == ExitStatus::kOk) out.text << kRestartNotice << '\n';
                   return status;
               }});
}
