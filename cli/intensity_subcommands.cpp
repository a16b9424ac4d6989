#include "intensity_subcommands.h"

#include <ostream>

#include "arguments.h"
#include "exit_status.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Words = SubcommandTable::Words;

}  // namespace

void IntensitySubcommands::AddTo(SubcommandTable &table) {
    table.Add(
        "get-intensity-mode",
        {"FACE", 1, 1, [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
             const auto face = Arguments::ParseNumber(w[0], 0, 7);
             if (!face) return T::UsageError(err, "FACE must be 0 to 7");
             switch (s.GetIntensityMode(*face)) {
                 case IntensityMode::Manual:
                     out << "Manual\n";
                     break;
                 case IntensityMode::TimeOfDay:
                     out << "Time of Day\n";
                     break;
                 case IntensityMode::LightSensor:
                     out << "Light Sensor\n";
                     break;
             }
             return ExitStatus::kOk;
         }});
    table.Add("set-intensity-mode",
              {"FACE MODE(1 Manual, 2 Time of Day, 3 Light Sensor)", 2, 2,
               [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                   const auto face = Arguments::ParseNumber(w[0], 0, 7);
                   const auto mode = Arguments::ParseNumber(w[1], 1, 3);
                   if (!face || !mode)
                       return T::UsageError(err, "expected FACE 0 to 7 and MODE 1 to 3");
                   s.SetIntensityMode(*face, *mode);
                   return ExitStatus::kOk;
               }});
    table.Add(
        "get-manual-level",
        {"FACE", 1, 1, [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
             const auto face = Arguments::ParseNumber(w[0], 0, 7);
             if (!face) return T::UsageError(err, "FACE must be 0 to 7");
             out << s.GetManualLevel(*face) << '\n';
             return ExitStatus::kOk;
         }});
    table.Add(
        "set-manual-level",
        {"FACE LEVEL", 2, 2, [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
             const auto face = Arguments::ParseNumber(w[0], 0, 7);
             const auto level = Arguments::ParseNumber(w[1], 1, 5);
             if (!face || !level)
                 return T::UsageError(err, "expected FACE 0 to 7 and LEVEL 1 to 5");
             s.SetManualLevel(*face, *level);
             return ExitStatus::kOk;
         }});
    table.Add("get-face-level",
              {"FACE SLOT", 2, 2,
               [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                   const auto face = Arguments::ParseNumber(w[0], 0, 7);
                   const auto slot = Arguments::ParseNumber(w[1], 0, 1);
                   if (!face || !slot)
                       return T::UsageError(err, "expected FACE 0 to 7 and SLOT 0 or 1");
                   out << s.GetFaceLevel(*face, *slot) << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add("set-face-level",
              {"FACE SLOT LEVEL", 3, 3,
               [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                   const auto face = Arguments::ParseNumber(w[0], 0, 7);
                   const auto slot = Arguments::ParseNumber(w[1], 0, 1);
                   const auto level = Arguments::ParseNumber(w[2], 1, 5);
                   if (!face || !slot || !level)
                       return T::UsageError(err,
                                            "expected FACE 0 to 7, SLOT 0 or 1 and LEVEL 1 to 5");
                   s.SetFaceLevel(*face, *slot, *level);
                   return ExitStatus::kOk;
               }});
    table.Add("get-switch-time",
              {"FACE INDEX", 2, 2,
               [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                   const auto face = Arguments::ParseNumber(w[0], 0, 7);
                   const auto index = Arguments::ParseNumber(w[1], 1, 2);
                   if (!face || !index)
                       return T::UsageError(err, "expected FACE 0 to 7 and INDEX 1 or 2");
                   const ShortTimeRecord t = s.GetSwitchTime(*face, *index);
                   out << T::ShortTime(t.hour, t.minute, t.ampm) << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add("set-switch-time",
              {"FACE INDEX H:MM AM|PM", 3, 4,
               [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                   const auto face = Arguments::ParseNumber(w[0], 0, 7);
                   const auto index = Arguments::ParseNumber(w[1], 1, 2);
                   const auto time = Arguments::ParseTime(T::Join(w, 2), false);
                   if (!face || !index || !time)
                       return T::UsageError(
                           err, "expected FACE 0 to 7, INDEX 1 or 2 and a time such as 7:05 AM");
                   s.SetSwitchTime(*face, *index, {time->hour, time->minute, time->ampm});
                   return ExitStatus::kOk;
               }});
    table.Add(
        "get-duty-cycle",
        {"LEVEL", 1, 1, [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
             const auto level = Arguments::ParseNumber(w[0], 1, 5);
             if (!level) return T::UsageError(err, "LEVEL must be 1 to 5");
             out << s.GetDutyCycle(*level) << '\n';
             return ExitStatus::kOk;
         }});
    table.Add("set-duty-cycle",
              {"LEVEL PERCENT", 2, 2,
               [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                   const auto level = Arguments::ParseNumber(w[0], 1, 5);
                   const auto percent = Arguments::ParseNumber(w[1], 0, 255);
                   if (!level || !percent)
                       return T::UsageError(err, "expected LEVEL 1 to 5 and PERCENT");
                   s.SetDutyCycle(*level, *percent);
                   return ExitStatus::kOk;
               }});
}
