#include "clock_subcommands.h"

#include <cstdio>
#include <ostream>

#include "arguments.h"
#include "exit_status.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Words = SubcommandTable::Words;

}  // namespace

void ClockSubcommands::AddTo(SubcommandTable &table) {
    table.Add("get-time",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   const TimeRecord t = s.GetTime();
                   char text[32];
                   std::snprintf(text, sizeof text, "%d:%02d:%02d %s", t.hour, t.minute, t.second,
                                 t.ampm.c_str());
                   out << text << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add("set-time", {"H:MM:SS AM|PM", 1, 2,
                           [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                               const auto time = Arguments::ParseTime(T::Join(w, 0), true);
                               if (!time)
                                   return T::UsageError(err, "expected a time such as 12:30:05 PM");
                               s.SetTime(*time);
                               return ExitStatus::kOk;
                           }});
    table.Add("get-date",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   const DateRecord d = s.GetDate();
                   out << d.month << '/' << d.day << '/' << d.year << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add("set-date", {"M/D/YYYY", 1, 1,
                           [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                               const auto date = Arguments::ParseDate(w[0]);
                               if (!date)
                                   return T::UsageError(err, "expected a date such as 6/7/2002");
                               s.SetDate(*date);
                               return ExitStatus::kOk;
                           }});
    table.Add("get-daylight-saving",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   out << T::OnOff(s.GetDaylightSaving()) << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add(
        "set-daylight-saving",
        {"on|off", 1, 1, [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
             const auto on = Arguments::ParseSwitch(w[0]);
             if (!on) return T::UsageError(err, "expected on or off");
             s.SetDaylightSaving(*on);
             return ExitStatus::kOk;
         }});
}
