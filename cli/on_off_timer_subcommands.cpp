#include "on_off_timer_subcommands.h"

#include <ostream>

#include "arguments.h"
#include "exit_status.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Call = SubcommandTable::Call;

constexpr const char *kIndex = "  INDEX   1 (the sign-on time) or 0 (the sign-off time)\n";

}  // namespace

void OnOffTimerSubcommands::AddTo(SubcommandTable &table) {
    table.Add("get-on-off-time",
              {.operands = "INDEX",
               .summary = "Prints the time the signs are switched on or off each day.",
               .details = kIndex,
               .minOperands = 1,
               .maxOperands = 1,
               .json = R"({"index":1,"time":"05:30","hour":5,"minute":30})",
               .run = [](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   const auto index = Arguments::ParseNumber(c.operands[0], 0, 1);
                   if (!index) return T::UsageError(err, "INDEX must be 1 (on) or 0 (off)");
                   const ShortTimeRecord t = s.GetOnOffTime(*index);
                   out.text << T::ShortTime(t.hour, t.minute, t.ampm) << '\n';
                   out.json = {{"index", *index},
                               {"time", T::IsoShortTime(t.hour, t.minute, t.ampm)},
                               {"hour", T::Hour24(t.hour, t.ampm)},
                               {"minute", t.minute}};
                   return ExitStatus::kOk;
               }});
    table.Add("set-on-off-time",
              {.operands = "INDEX TIME",
               .summary = "Sets the time the signs are switched on or off each day.",
               .details = std::string(kIndex) +
                          "  TIME    7:05 AM on the 12-hour dial or 19:05 on the 24-hour clock\n",
               .minOperands = 2,
               .maxOperands = 3,
               .run = [](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                   const auto index = Arguments::ParseNumber(c.operands[0], 0, 1);
                   const auto time = Arguments::ParseTime(T::Join(c.operands, 1), false);
                   if (!index || !time)
                       return T::UsageError(
                           err, "expected INDEX (1 on, 0 off) and a time such as 7:05 AM");
                   s.SetOnOffTime(*index, {time->hour, time->minute, time->ampm});
                   return ExitStatus::kOk;
               }});
    table.Add("get-on-off-timer-switch",
              {.summary = "Prints whether the signs are switched on and off at those times: on or\n"
                          "off.",
               .json = R"({"on_off_timer":true})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   const bool on = s.GetOnOffTimerSwitch();
                   out.text << T::OnOff(on) << '\n';
                   out.json["on_off_timer"] = on;
                   return ExitStatus::kOk;
               }});
    table.Add("set-on-off-timer-switch",
              {.operands = "on|off",
               .summary = "Switches the sign on/off timer on or off.",
               .minOperands = 1,
               .maxOperands = 1,
               .run = [](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                   const auto on = Arguments::ParseSwitch(c.operands[0]);
                   if (!on) return T::UsageError(err, "expected on or off");
                   s.SetOnOffTimerSwitch(*on);
                   return ExitStatus::kOk;
               }});
}
