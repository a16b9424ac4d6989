#include "password_and_port_subcommands.h"

#include <ostream>

#include "arguments.h"
#include "core_dumps.h"
#include "exit_status.h"
#include "password_reader.h"
#include "secret_text.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Words = SubcommandTable::Words;
using Outcome = PasswordReader::Outcome;

const std::string kLongestText = std::to_string(PasswordReader::kLongest);

// The password of a subcommand into password: its argument, or from standard input when
// the argument is "-" or left out. Returns kOk, or the exit status after saying why.
// Nothing is sent in either case before this returns.
int TakePassword(PasswordReader &reader, const Words &w, const std::string &name,
                 const std::string &prompt, const std::string &confirmPrompt, SecretText &password,
                 std::ostream &err) {
    // From here to the end of the run a password is in memory (and in the arguments, when
    // given there): no core dump may write it out.
    if (std::string problem; !CoreDumps::Forbid(problem)) {
        err << "voxa-ctl: " << problem << '\n';
        return ExitStatus::kTransactionFailed;
    }
    if (!w.empty() && w[0] != "-") {
        // Cut by the frame, a longer one could be accepted as a password nobody has, or
        // kept by the controller as one nobody typed.
        if (w[0].size() > PasswordReader::kLongest)
            return T::UsageError(err, name + " must be at most " + kLongestText + " characters");
        password.Assign(w[0]);
        return ExitStatus::kOk;
    }
    switch (reader.Read(password, prompt, confirmPrompt)) {
        case Outcome::Read:
            return ExitStatus::kOk;
        case Outcome::NoInput:
            return T::UsageError(err, "no " + name +
                                          ": standard input ended before a line (see voxa-ctl "
                                          "--help)");
        case Outcome::TooLong:
            return T::UsageError(err, name + " must be at most " + kLongestText + " characters");
        case Outcome::NulByte:
            return T::UsageError(err, name + " must not hold a NUL byte");
        case Outcome::Unreadable:
            return T::UsageError(err, name + " could not be read: " + reader.Problem());
        case Outcome::Mismatch: {
            // The password dialog's own message, one prefixed line for each of its lines.
            std::string text = SignSystem::kPasswordsDoNotMatchText;
            for (std::size_t end; (end = text.find('\n')) != std::string::npos;
                 text.erase(0, end + 1)) {
                err << "voxa-ctl: " << text.substr(0, end) << '\n';
            }
            return ExitStatus::kRefused;
        }
        case Outcome::Interrupted:
            break;
    }
    return T::UsageError(err, name + " not given: interrupted");
}

}  // namespace

void PasswordAndPortSubcommands::AddTo(SubcommandTable &table, PasswordReader &reader) {
    table.Add("verify-password",
              {"[- | PASSWORD]", 0, 1,
               [&reader](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                   SecretText password;
                   const int taken =
                       TakePassword(reader, w, "PASSWORD", "Password: ", {}, password, err);
                   if (taken != ExitStatus::kOk) return taken;
                   const bool accepted = s.VerifyPassword(password.Text());
                   out << (accepted ? "accepted" : "rejected") << '\n';
                   return accepted ? ExitStatus::kOk : ExitStatus::kRefused;
               }});
    table.Add("change-password",
              {"[- | NEW-PASSWORD]", 0, 1,
               [&reader](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                   SecretText password;
                   const int taken =
                       TakePassword(reader, w, "NEW-PASSWORD",
                                    "New password: ", "Verify new password: ", password, err);
                   if (taken != ExitStatus::kOk) return taken;
                   s.ChangePassword(password.Text());
                   return ExitStatus::kOk;
               }});
    table.Add(
        "test-open",
        {"COMn", 1, 1, [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
             if (!w[0].starts_with("COM") ||
                 !Arguments::ParseNumber(w[0].substr(3), 1, Arguments::kHighestPort))
                 return T::UsageError(
                     err, "COMn must be COM1 to COM" + std::to_string(Arguments::kHighestPort));
             const bool opened = s.TestOpen(w[0]);
             out << (opened ? "opened" : "failed") << '\n';
             if (!opened) err << "voxa-ctl: " << s.LinkProblem() << '\n';
             return opened ? ExitStatus::kOk : ExitStatus::kTransactionFailed;
         }});
}
