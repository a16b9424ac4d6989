#include "clock_subcommands.h"

#include <cstdio>
#include <ostream>
#include <thread>

#include "arguments.h"
#include "exit_status.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Call = SubcommandTable::Call;
using Json = nlohmann::ordered_json;
using ClockSubcommands::PcClock;

constexpr const char *kTimeDetails =
    "  TIME    12:30:05 PM or 7:05 AM on the 12-hour dial, or 19:05:30 or 07:05 on the\n"
    "          24-hour clock; seconds may be left out (they are then 0)\n";
constexpr const char *kDateDetails =
    "  DATE    a real calendar date from 1900 to 9999: 12/7/2026 (month first) or\n"
    "          2026-12-07\n";
constexpr const char *kTimeUsage = "expected a time such as 12:30:05 PM or 19:05:30";
constexpr const char *kDateUsage =
    "expected a real date such as 6/7/2002 or 2002-06-07 (years 1900 to 9999)";

std::string DialTime(const TimeRecord &t) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d %s", t.hour, t.minute, t.second, t.ampm.c_str());
    return text;
}

std::string SlashDate(const DateRecord &d) {
    return std::to_string(d.month) + '/' + std::to_string(d.day) + '/' + std::to_string(d.year);
}

void PrintTime(const TimeRecord &t, Printed &out) {
    out.text << DialTime(t) << '\n';
    out.json["time"] = T::IsoTime(t.hour, t.minute, t.second, t.ampm);
    out.json["hour"] = T::Hour24(t.hour, t.ampm);
    out.json["minute"] = t.minute;
    out.json["second"] = t.second;
}

std::tm Local(std::time_t at) {
    std::tm local{};
    localtime_r(&at, &local);
    return local;
}

// Sets the controller's daylight-saving switch, date and time from the PC's local time.
int SyncClock(SignSystem &s, const PcClock &clock, Printed &out) {
    // The switch goes first: its transaction is the one that waits for the line, and
    // neither the date nor the time may be read from the clock before that wait is over.
    const bool daylightSaving = Local(clock.now()).tm_isdst > 0;
    s.SetDaylightSaving(daylightSaving);
    if (s.FailedTransactionCount() > 0) return ExitStatus::kTransactionFailed;

    std::tm now = Local(clock.now());
    const int toMidnight = 24 * 3600 - (now.tm_hour * 3600 + now.tm_min * 60 + now.tm_sec);
    if (toMidnight <= ClockSubcommands::kMidnightMargin.count()) {
        const auto pause = std::chrono::seconds(toMidnight) + std::chrono::milliseconds(100);
        if (clock.sleep) {
            clock.sleep(pause);
        } else {
            std::this_thread::sleep_for(pause);
        }
        now = Local(clock.now());
    }
    const DateRecord date{now.tm_mon + 1, now.tm_mday, now.tm_year + 1900};
    s.SetDate(date);
    if (s.FailedTransactionCount() > 0) return ExitStatus::kTransactionFailed;
    now = Local(clock.now());
    const TimeRecord time = TimeRecord::FromTwentyFourHour(now.tm_hour, now.tm_min, now.tm_sec);
    s.SetTime(time);

    out.text << SlashDate(date) << '\n'
             << DialTime(time) << '\n'
             << T::OnOff(daylightSaving) << '\n';
    out.json = {{"date", T::IsoDate(date.year, date.month, date.day)},
                {"time", T::IsoTime(time.hour, time.minute, time.second, time.ampm)},
                {"daylight_saving", daylightSaving}};
    return ExitStatus::kOk;
}

}  // namespace

void ClockSubcommands::AddTo(SubcommandTable &table, const PcClock &clock) {
    table.Add("get-time",
              {.summary = "Prints the controller's time on the 12-hour dial, such as 7:05:30 PM.",
               .json = R"({"time":"19:05:30","hour":19,"minute":5,"second":30})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   PrintTime(s.GetTime(), out);
                   return ExitStatus::kOk;
               }});
    table.Add("set-time", {.operands = "TIME",
                           .summary = "Sets the controller's time.",
                           .details = kTimeDetails,
                           .minOperands = 1,
                           .maxOperands = 2,
                           .run = [](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                               const auto time = Arguments::ParseTime(T::Join(c.operands, 0), true);
                               if (!time) return T::UsageError(err, kTimeUsage);
                               s.SetTime(*time);
                               return ExitStatus::kOk;
                           }});
    table.Add("get-date",
              {.summary = "Prints the controller's date, month first, such as 12/7/2026.",
               .json = R"({"date":"2026-12-07","year":2026,"month":12,"day":7})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   const DateRecord d = s.GetDate();
                   out.text << SlashDate(d) << '\n';
                   out.json = {{"date", T::IsoDate(d.year, d.month, d.day)},
                               {"year", d.year},
                               {"month", d.month},
                               {"day", d.day}};
                   return ExitStatus::kOk;
               }});
    table.Add("set-date", {.operands = "DATE",
                           .summary = "Sets the controller's date.",
                           .details = kDateDetails,
                           .minOperands = 1,
                           .maxOperands = 1,
                           .run = [](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                               const auto date = Arguments::ParseDate(c.operands[0]);
                               if (!date) return T::UsageError(err, kDateUsage);
                               s.SetDate(*date);
                               return ExitStatus::kOk;
                           }});
    table.Add("get-daylight-saving",
              {.summary = "Prints whether the controller keeps daylight saving time: on or off.",
               .json = R"({"daylight_saving":true})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   const bool on = s.GetDaylightSaving();
                   out.text << T::OnOff(on) << '\n';
                   out.json["daylight_saving"] = on;
                   return ExitStatus::kOk;
               }});
    table.Add("set-daylight-saving",
              {.operands = "on|off",
               .summary = "Switches the controller's daylight saving time on or off.",
               .minOperands = 1,
               .maxOperands = 1,
               .run = [](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                   const auto on = Arguments::ParseSwitch(c.operands[0]);
                   if (!on) return T::UsageError(err, "expected on or off");
                   s.SetDaylightSaving(*on);
                   return ExitStatus::kOk;
               }});
    table.Add("sync-clock",
              {.summary = "Sets the controller's date, time and daylight-saving switch from this\n"
                          "PC's local time in one run, and prints them as get-date, get-time and\n"
                          "get-daylight-saving would.",
               .json = R"({"date":"2026-12-07","time":"19:05:30","daylight_saving":false})",
               .run = [&clock](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   return SyncClock(s, clock, out);
               }});
}
