#include "log_and_test_subcommands.h"

#include <ostream>

#include "exit_status.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Words = SubcommandTable::Words;

}  // namespace

void LogAndTestSubcommands::AddTo(SubcommandTable &table) {
    table.Add("get-reset-count",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   out << s.GetResetCount() << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add("clear-reset-log",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &, std::ostream &) {
                   s.ClearResetLog();
                   return ExitStatus::kOk;
               }});
    table.Add("get-fail-log",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   out << s.GetFailLog() << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add("clear-fail-log",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &, std::ostream &) {
                   s.ClearFailLog();
                   return ExitStatus::kOk;
               }});
    table.Add("start-sign-test",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &, std::ostream &) {
                   s.StartSignTest();
                   return ExitStatus::kOk;
               }});
    table.Add("stop-sign-test",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   s.RunTransaction(s.Builder().StopSignTest());
                   out << s.SignTestResultText() << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add("get-cc-status",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   const bool nvramUpdate = s.GetCcStatus();
                   out << s.CcStatusText() << '\n';
                   if (nvramUpdate) out << "NVRAM must be updated\n";
                   return ExitStatus::kOk;
               }});
    table.Add("get-cc-software-part-number",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   out << s.GetCcSoftwarePartNumber() << '\n';
                   return ExitStatus::kOk;
               }});
}
