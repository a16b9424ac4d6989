#include "on_off_timer_subcommands.h"

#include <ostream>

#include "arguments.h"
#include "exit_status.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Words = SubcommandTable::Words;

}  // namespace

void OnOffTimerSubcommands::AddTo(SubcommandTable &table) {
    table.Add(
        "get-on-off-time",
        {"INDEX", 1, 1, [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
             const auto index = Arguments::ParseNumber(w[0], 0, 1);
             if (!index) return T::UsageError(err, "INDEX must be 1 (on) or 0 (off)");
             const ShortTimeRecord t = s.GetOnOffTime(*index);
             out << T::ShortTime(t.hour, t.minute, t.ampm) << '\n';
             return ExitStatus::kOk;
         }});
    table.Add("set-on-off-time",
              {"INDEX H:MM AM|PM", 2, 3,
               [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                   const auto index = Arguments::ParseNumber(w[0], 0, 1);
                   const auto time = Arguments::ParseTime(T::Join(w, 1), false);
                   if (!index || !time)
                       return T::UsageError(
                           err, "expected INDEX (1 on, 0 off) and a time such as 7:05 AM");
                   s.SetOnOffTime(*index, {time->hour, time->minute, time->ampm});
                   return ExitStatus::kOk;
               }});
    table.Add("get-on-off-timer-switch",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   out << T::OnOff(s.GetOnOffTimerSwitch()) << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add(
        "set-on-off-timer-switch",
        {"on|off", 1, 1, [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
             const auto on = Arguments::ParseSwitch(w[0]);
             if (!on) return T::UsageError(err, "expected on or off");
             s.SetOnOffTimerSwitch(*on);
             return ExitStatus::kOk;
         }});
}
