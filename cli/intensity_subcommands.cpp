#include "intensity_subcommands.h"

#include <ostream>

#include "arguments.h"
#include "exit_status.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Call = SubcommandTable::Call;

constexpr const char *kFace = "  FACE    0 to 7\n";
constexpr const char *kSlot =
    "  SLOT    1 (the day level of the light sensor, and the level from switch time 1)\n"
    "          or 0 (the night level, and the level from switch time 2)\n";
constexpr const char *kLevel = "  LEVEL   1 to 5 (5 brightest)\n";
constexpr const char *kIndex =
    "  INDEX   1 or 2: switch time 1 starts slot 1's level, switch time 2 slot 0's\n";
constexpr const char *kShortTime =
    "  TIME    7:05 AM on the 12-hour dial or 19:05 on the 24-hour clock\n";

std::optional<int> Face(const std::string &text) {
    return Arguments::ParseNumber(text, 0, SignSystem::kFaces - 1);
}
std::optional<int> Level(const std::string &text) {
    return Arguments::ParseNumber(text, 1, 5);
}

const char *ModeName(IntensityMode mode) {
    switch (mode) {
        case IntensityMode::TimeOfDay:
            return "Time of Day";
        case IntensityMode::LightSensor:
            return "Light Sensor";
        case IntensityMode::Manual:
            break;
    }
    return "Manual";
}

// The number set-intensity-mode takes for a mode.
int ModeNumber(IntensityMode mode) {
    switch (mode) {
        case IntensityMode::TimeOfDay:
            return 2;
        case IntensityMode::LightSensor:
            return 3;
        case IntensityMode::Manual:
            break;
    }
    return 1;
}

}  // namespace

void IntensitySubcommands::AddTo(SubcommandTable &table) {
    table.Add("get-intensity-mode",
              {.operands = "FACE",
               .summary = "Prints a face's intensity mode: Manual, Time of Day or Light Sensor\n"
                          "(a mode the controller reports outside 1 to 3 is Manual).",
               .details = kFace,
               .minOperands = 1,
               .maxOperands = 1,
               .json = R"({"face":0,"intensity_mode":2,"intensity_mode_name":"Time of Day",)"
                       R"("reported_mode":2})",
               .run = [](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   const auto face = Face(c.operands[0]);
                   if (!face) return T::UsageError(err, "FACE must be 0 to 7");
                   const IntensityMode mode = s.GetIntensityMode(*face);
                   out.text << ModeName(mode) << '\n';
                   out.json = {{"face", *face},
                               {"intensity_mode", ModeNumber(mode)},
                               {"intensity_mode_name", ModeName(mode)},
                               {"reported_mode", s.LastIntensityMode()}};
                   return ExitStatus::kOk;
               }});
    table.Add("set-intensity-mode",
              {.operands = "FACE MODE(1 Manual, 2 Time of Day, 3 Light Sensor)",
               .summary = "Sets a face's intensity mode.",
               .details = "  FACE    0 to 7\n"
                          "  MODE    1 Manual, 2 Time of Day, 3 Light Sensor\n",
               .minOperands = 2,
               .maxOperands = 2,
               .run = [](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                   const auto face = Face(c.operands[0]);
                   const auto mode = Arguments::ParseNumber(c.operands[1], 1, 3);
                   if (!face || !mode)
                       return T::UsageError(err, "expected FACE 0 to 7 and MODE 1 to 3");
                   s.SetIntensityMode(*face, *mode);
                   return ExitStatus::kOk;
               }});
    table.Add("get-manual-level",
              {.operands = "FACE",
               .summary = "Prints the level a face shows in the Manual mode.",
               .details = kFace,
               .minOperands = 1,
               .maxOperands = 1,
               .json = R"({"face":0,"manual_level":3})",
               .run = [](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   const auto face = Face(c.operands[0]);
                   if (!face) return T::UsageError(err, "FACE must be 0 to 7");
                   const int level = s.GetManualLevel(*face);
                   out.text << level << '\n';
                   out.json = {{"face", *face}, {"manual_level", level}};
                   return ExitStatus::kOk;
               }});
    table.Add("set-manual-level",
              {.operands = "FACE LEVEL",
               .summary = "Sets the level a face shows in the Manual mode.",
               .details = std::string(kFace) + kLevel,
               .minOperands = 2,
               .maxOperands = 2,
               .run = [](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                   const auto face = Face(c.operands[0]);
                   const auto level = Level(c.operands[1]);
                   if (!face || !level)
                       return T::UsageError(err, "expected FACE 0 to 7 and LEVEL 1 to 5");
                   s.SetManualLevel(*face, *level);
                   return ExitStatus::kOk;
               }});
    table.Add("get-face-level",
              {.operands = "FACE SLOT",
               .summary = "Prints the level a face keeps in a level slot.",
               .details = std::string(kFace) + kSlot,
               .minOperands = 2,
               .maxOperands = 2,
               .json = R"({"face":0,"slot":1,"level":5})",
               .run = [](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   const auto face = Face(c.operands[0]);
                   const auto slot = Arguments::ParseNumber(c.operands[1], 0, 1);
                   if (!face || !slot)
                       return T::UsageError(err, "expected FACE 0 to 7 and SLOT 0 or 1");
                   const int level = s.GetFaceLevel(*face, *slot);
                   out.text << level << '\n';
                   out.json = {{"face", *face}, {"slot", *slot}, {"level", level}};
                   return ExitStatus::kOk;
               }});
    table.Add("set-face-level",
              {.operands = "FACE SLOT LEVEL",
               .summary = "Sets the level a face keeps in a level slot.",
               .details = std::string(kFace) + kSlot + kLevel,
               .minOperands = 3,
               .maxOperands = 3,
               .run = [](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                   const auto face = Face(c.operands[0]);
                   const auto slot = Arguments::ParseNumber(c.operands[1], 0, 1);
                   const auto level = Level(c.operands[2]);
                   if (!face || !slot || !level)
                       return T::UsageError(err,
                                            "expected FACE 0 to 7, SLOT 0 or 1 and LEVEL 1 to 5");
                   s.SetFaceLevel(*face, *slot, *level);
                   return ExitStatus::kOk;
               }});
    table.Add("get-switch-time",
              {.operands = "FACE INDEX",
               .summary = "Prints a switch time of the Time of Day mode (the controller keeps\n"
                          "the two switch times for all faces; FACE is checked, not sent).",
               .details = std::string(kFace) + kIndex,
               .minOperands = 2,
               .maxOperands = 2,
               .json = R"({"face":0,"index":1,"time":"06:00","hour":6,"minute":0})",
               .run = [](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   const auto face = Face(c.operands[0]);
                   const auto index = Arguments::ParseNumber(c.operands[1], 1, 2);
                   if (!face || !index)
                       return T::UsageError(err, "expected FACE 0 to 7 and INDEX 1 or 2");
                   const ShortTimeRecord t = s.GetSwitchTime(*face, *index);
                   out.text << T::ShortTime(t.hour, t.minute, t.ampm) << '\n';
                   out.json = {{"face", *face},
                               {"index", *index},
                               {"time", T::IsoShortTime(t.hour, t.minute, t.ampm)},
                               {"hour", T::Hour24(t.hour, t.ampm)},
                               {"minute", t.minute}};
                   return ExitStatus::kOk;
               }});
    table.Add("set-switch-time",
              {.operands = "FACE INDEX TIME",
               .summary = "Sets a switch time of the Time of Day mode.",
               .details = std::string(kFace) + kIndex + kShortTime,
               .minOperands = 3,
               .maxOperands = 4,
               .run = [](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                   const auto face = Face(c.operands[0]);
                   const auto index = Arguments::ParseNumber(c.operands[1], 1, 2);
                   const auto time = Arguments::ParseTime(T::Join(c.operands, 2), false);
                   if (!face || !index || !time)
                       return T::UsageError(
                           err, "expected FACE 0 to 7, INDEX 1 or 2 and a time such as 7:05 AM");
                   s.SetSwitchTime(*face, *index, {time->hour, time->minute, time->ampm});
                   return ExitStatus::kOk;
               }});
    table.Add("get-duty-cycle",
              {.operands = "LEVEL",
               .summary = "Prints the duty cycle (the percentage of time the display is on) that\n"
                          "an intensity level stands for.",
               .details = kLevel,
               .minOperands = 1,
               .maxOperands = 1,
               .json = R"({"level":1,"duty_cycle":10})",
               .run = [](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   const auto level = Level(c.operands[0]);
                   if (!level) return T::UsageError(err, "LEVEL must be 1 to 5");
                   const int percent = s.GetDutyCycle(*level);
                   out.text << percent << '\n';
                   out.json = {{"level", *level}, {"duty_cycle", percent}};
                   return ExitStatus::kOk;
               }});
    table.Add("set-duty-cycle",
              {.operands = "LEVEL PERCENT",
               .summary = "Sets the duty cycle an intensity level stands for.",
               .details = std::string(kLevel) + "  PERCENT 0 to 100\n",
               .minOperands = 2,
               .maxOperands = 2,
               .run = [](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                   const auto level = Level(c.operands[0]);
                   // The duty cycle dialog's range: "Duty Cycle Out of Range!" above 100.
                   const auto percent = Arguments::ParseNumber(c.operands[1], 0, 100);
                   if (!level || !percent)
                       return T::UsageError(err, "expected LEVEL 1 to 5 and PERCENT 0 to 100");
                   s.SetDutyCycle(*level, *percent);
                   return ExitStatus::kOk;
               }});
}
