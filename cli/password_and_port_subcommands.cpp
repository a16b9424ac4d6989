#include "password_and_port_subcommands.h"

#include <ostream>

#include "command_line_client.h"
#include "frame_builder.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using C = CommandLineClient;
using T = SubcommandTable;
using Words = SubcommandTable::Words;

}  // namespace

void PasswordAndPortSubcommands::AddTo(SubcommandTable &table) {
    table.Add(
        "verify-password",
        {"PASSWORD", 1, 1, [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
             // Cut by the frame, a longer one could be accepted as a password
             // nobody has.
             constexpr std::size_t kLongest = FrameBuilder::kTextRoomFromByte3 - 1;
             if (w[0].size() > kLongest)
                 return T::UsageError(
                     err, "PASSWORD must be at most " + std::to_string(kLongest) + " characters");
             const bool accepted = s.VerifyPassword(w[0]);
             out << (accepted ? "accepted" : "rejected") << '\n';
             return accepted ? C::kOk : C::kRefused;
         }});
    table.Add("change-password",
              {"NEW-PASSWORD", 1, 1,
               [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                   // The frame would cut a longer one without a word, and the
                   // controller would keep a password nobody typed.
                   constexpr std::size_t kLongest = FrameBuilder::kTextRoomFromByte3 - 1;
                   if (w[0].size() > kLongest)
                       return T::UsageError(err, "NEW-PASSWORD must be at most " +
                                                     std::to_string(kLongest) + " characters");
                   s.ChangePassword(w[0]);
                   return C::kOk;
               }});
    table.Add(
        "test-open",
        {"COMn", 1, 1, [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
             if (!w[0].starts_with("COM") || !C::ParseNumber(w[0].substr(3), 1, C::kHighestPort))
                 return T::UsageError(err,
                                      "COMn must be COM1 to COM" + std::to_string(C::kHighestPort));
             const bool opened = s.TestOpen(w[0]);
             out << (opened ? "opened" : "failed") << '\n';
             if (!opened) err << "voxa-ctl: " << s.LinkProblem() << '\n';
             return opened ? C::kOk : C::kTransactionFailed;
         }});
}
