#include "command_line_client.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>

#include "command_code.h"
#include "device_map.h"
#include "settings_file.h"
#include "sign_system.h"
#include "status_handler.h"
#include "stream_console.h"
#include "system_link_platform.h"

namespace {

using Words = std::vector<std::string>;

struct Subcommand {
    const char *arguments;
    std::size_t minWords;  // arguments after the subcommand's name
    std::size_t maxWords;
    std::function<int(SignSystem &, const Words &, std::ostream &, std::ostream &)> run;
};

std::string Join(const Words &words, std::size_t from) {
    std::string text;
    for (std::size_t i = from; i < words.size(); ++i) {
        if (!text.empty()) text += ' ';
        text += words[i];
    }
    return text;
}

std::string FormatTime(int hour, int minute, const std::string &ampm) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d %s", hour, minute, ampm.c_str());
    return text;
}

const char *OnOff(bool on) {
    return on ? "on" : "off";
}

int Bad(std::ostream &err, const std::string &what) {
    err << "voxa-ctl: " << what << '\n';
    return CommandLineClient::kUsage;
}

const std::map<std::string, Subcommand> &Subcommands() {
    using C = CommandLineClient;
    static const std::
        map<std::string, Subcommand>
            table =
                {
                    {"get-number-of-lines",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          out << s.GetNumberOfLines() << '\n';
                          return C::kOk;
                      }}},
                    {"read-line-formats",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          s.GetNumberOfLines();
                          s.ReadLineFormats();
                          for (int line = 1; line <= s.InstalledLineCount(); ++line)
                              out << line << ' ' << s.GetLineFormat(line) << '\n';
                          return C::kOk;
                      }}},
                    {"read-face-masks",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          s.GetNumberOfLines();
                          s.ReadFaceMasks();
                          for (int n = 0; n < s.InstalledLineCount(); ++n) {
                              char mask[8];
                              std::snprintf(mask, sizeof mask, "0x%02x", s.GetFaceMask(n));
                              out << n + 1 << ' ' << mask << '\n';
                          }
                          return C::kOk;
                      }}},
                    {"get-line-price",
                     {"LINE", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                          const auto line = C::ParseNumber(w[0], 1, SignSystem::kMaxLines);
                          if (!line) return Bad(err, "LINE must be 1 to 8");
                          out << s.GetLinePrice(*line) << '\n';
                          return C::kOk;
                      }}},
                    {"set-line-price",
                     {"LINE PRICE", 2, 2,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto line = C::ParseNumber(w[0], 1, SignSystem::kMaxLines);
                          if (!line) return Bad(err, "LINE must be 1 to 8");
                          // Checked against the line's format as the controller reports it, the way
                          // Send Update checks it.
                          s.GetNumberOfLines();
                          s.ReadLineFormats();
                          if (s.FailedTransactionCount() > 0) return C::kTransactionFailed;
                          if (*line > s.InstalledLineCount()) {
                              err << "voxa-ctl: line " << *line << " is not installed\n";
                              return C::kRefused;
                          }
                          if (!s.PriceCheck(w[1], *line)) {
                              err << "voxa-ctl: Error: Bad Value, Price #" << *line << " (format "
                                  << s.GetLineFormat(*line) << ")\n";
                              return C::kRefused;
                          }
                          s.SetLinePrice(*line, w[1]);
                          return C::kOk;
                      }}},
                    {"change-password",
                     {"NEW-PASSWORD", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          // The frame would cut a longer one without a word, and the
                          // controller would keep a password nobody typed.
                          constexpr std::size_t kLongest = FrameBuilder::kTextRoomFromByte3 - 1;
                          if (w[0].size() > kLongest)
                              return Bad(err, "NEW-PASSWORD must be at most " +
                                                  std::to_string(kLongest) + " characters");
                          s.ChangePassword(w[0]);
                          return C::kOk;
                      }}},
                    {"verify-password",
                     {"PASSWORD", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                          // Cut by the frame, a longer one could be accepted as a password
                          // nobody has.
                          constexpr std::size_t kLongest = FrameBuilder::kTextRoomFromByte3 - 1;
                          if (w[0].size() > kLongest)
                              return Bad(err, "PASSWORD must be at most " +
                                                  std::to_string(kLongest) + " characters");
                          const bool accepted = s.VerifyPassword(w[0]);
                          out << (accepted ? "accepted" : "rejected") << '\n';
                          return accepted ? C::kOk : C::kRefused;
                      }}},
                    {"set-daylight-saving",
                     {"on|off", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto on = C::ParseSwitch(w[0]);
                          if (!on) return Bad(err, "expected on or off");
                          s.SetDaylightSaving(*on);
                          return C::kOk;
                      }}},
                    {"get-daylight-saving",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          out << OnOff(s.GetDaylightSaving()) << '\n';
                          return C::kOk;
                      }}},
                    {"set-time",
                     {"H:MM:SS AM|PM", 1, 2,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto time = C::ParseTime(Join(w, 0), true);
                          if (!time) return Bad(err, "expected a time such as 12:30:05 PM");
                          s.SetTime(*time);
                          return C::kOk;
                      }}},
                    {"get-time",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          const TimeRecord t = s.GetTime();
                          char text[32];
                          std::snprintf(text, sizeof text, "%d:%02d:%02d %s", t.hour, t.minute,
                                        t.second, t.ampm.c_str());
                          out << text << '\n';
                          return C::kOk;
                      }}},
                    {"set-date",
                     {"M/D/YYYY", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto date = C::ParseDate(w[0]);
                          if (!date) return Bad(err, "expected a date such as 6/7/2002");
                          s.SetDate(*date);
                          return C::kOk;
                      }}},
                    {"get-date",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          const DateRecord d = s.GetDate();
                          out << d.month << '/' << d.day << '/' << d.year << '\n';
                          return C::kOk;
                      }}},
                    {"clear-reset-log",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &, std::ostream &) {
                          s.ClearResetLog();
                          return C::kOk;
                      }}},
                    {"get-reset-count",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          out << s.GetResetCount() << '\n';
                          return C::kOk;
                      }}},
                    {"clear-fail-log",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &, std::ostream &) {
                          s.ClearFailLog();
                          return C::kOk;
                      }}},
                    {"get-fail-log",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          out << s.GetFailLog() << '\n';
                          return C::kOk;
                      }}},
                    {"start-sign-test",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &, std::ostream &) {
                          s.StartSignTest();
                          return C::kOk;
                      }}},
                    {"stop-sign-test",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          s.RunTransaction(s.Builder().StopSignTest());
                          out << s.SignTestResultText() << '\n';
                          return C::kOk;
                      }}},
                    {"set-on-off-time",
                     {"INDEX H:MM AM|PM", 2, 3,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto index = C::ParseNumber(w[0], 0, 1);
                          const auto time = C::ParseTime(Join(w, 1), false);
                          if (!index || !time)
                              return Bad(err,
                                         "expected INDEX (1 on, 0 off) and a time such as 7:05 AM");
                          s.SetOnOffTime(*index, {time->hour, time->minute, time->ampm});
                          return C::kOk;
                      }}},
                    {"get-on-off-time",
                     {"INDEX", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                          const auto index = C::ParseNumber(w[0], 0, 1);
                          if (!index) return Bad(err, "INDEX must be 1 (on) or 0 (off)");
                          const ShortTimeRecord t = s.GetOnOffTime(*index);
                          out << FormatTime(t.hour, t.minute, t.ampm) << '\n';
                          return C::kOk;
                      }}},
                    {"set-on-off-timer-switch",
                     {"on|off", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto on = C::ParseSwitch(w[0]);
                          if (!on) return Bad(err, "expected on or off");
                          s.SetOnOffTimerSwitch(*on);
                          return C::kOk;
                      }}},
                    {"get-on-off-timer-switch",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          out << OnOff(s.GetOnOffTimerSwitch()) << '\n';
                          return C::kOk;
                      }}},
                    {"set-duty-cycle",
                     {"LEVEL PERCENT", 2, 2,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto level = C::ParseNumber(w[0], 1, 5);
                          const auto percent = C::ParseNumber(w[1], 0, 255);
                          if (!level || !percent)
                              return Bad(err, "expected LEVEL 1 to 5 and PERCENT");
                          s.SetDutyCycle(*level, *percent);
                          return C::kOk;
                      }}},
                    {"get-duty-cycle",
                     {"LEVEL", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                          const auto level = C::ParseNumber(w[0], 1, 5);
                          if (!level) return Bad(err, "LEVEL must be 1 to 5");
                          out << s.GetDutyCycle(*level) << '\n';
                          return C::kOk;
                      }}},
                    {"set-switch-time",
                     {"FACE INDEX H:MM AM|PM", 3, 4,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto face = C::ParseNumber(w[0], 0, 7);
                          const auto index = C::ParseNumber(w[1], 1, 2);
                          const auto time = C::ParseTime(Join(w, 2), false);
                          if (!face || !index || !time)
                              return Bad(
                                  err,
                                  "expected FACE 0 to 7, INDEX 1 or 2 and a time such as 7:05 AM");
                          s.SetSwitchTime(*face, *index, {time->hour, time->minute, time->ampm});
                          return C::kOk;
                      }}},
                    {"get-switch-time",
                     {"FACE INDEX", 2, 2,
                      [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                          const auto face = C::ParseNumber(w[0], 0, 7);
                          const auto index = C::ParseNumber(w[1], 1, 2);
                          if (!face || !index)
                              return Bad(err, "expected FACE 0 to 7 and INDEX 1 or 2");
                          const ShortTimeRecord t = s.GetSwitchTime(*face, *index);
                          out << FormatTime(t.hour, t.minute, t.ampm) << '\n';
                          return C::kOk;
                      }}},
                    {"set-face-level",
                     {"FACE SLOT LEVEL", 3, 3,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto face = C::ParseNumber(w[0], 0, 7);
                          const auto slot = C::ParseNumber(w[1], 0, 1);
                          const auto level = C::ParseNumber(w[2], 1, 5);
                          if (!face || !slot || !level)
                              return Bad(err, "expected FACE 0 to 7, SLOT 0 or 1 and LEVEL 1 to 5");
                          s.SetFaceLevel(*face, *slot, *level);
                          return C::kOk;
                      }}},
                    {"get-face-level",
                     {"FACE SLOT", 2, 2,
                      [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                          const auto face = C::ParseNumber(w[0], 0, 7);
                          const auto slot = C::ParseNumber(w[1], 0, 1);
                          if (!face || !slot)
                              return Bad(err, "expected FACE 0 to 7 and SLOT 0 or 1");
                          out << s.GetFaceLevel(*face, *slot) << '\n';
                          return C::kOk;
                      }}},
                    {"set-manual-level",
                     {"FACE LEVEL", 2, 2,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto face = C::ParseNumber(w[0], 0, 7);
                          const auto level = C::ParseNumber(w[1], 1, 5);
                          if (!face || !level)
                              return Bad(err, "expected FACE 0 to 7 and LEVEL 1 to 5");
                          s.SetManualLevel(*face, *level);
                          return C::kOk;
                      }}},
                    {"get-manual-level",
                     {"FACE", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                          const auto face = C::ParseNumber(w[0], 0, 7);
                          if (!face) return Bad(err, "FACE must be 0 to 7");
                          out << s.GetManualLevel(*face) << '\n';
                          return C::kOk;
                      }}},
                    {"get-intensity-mode",
                     {"FACE", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                          const auto face = C::ParseNumber(w[0], 0, 7);
                          if (!face) return Bad(err, "FACE must be 0 to 7");
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
                          return C::kOk;
                      }}},
                    {"set-intensity-mode",
                     {"FACE MODE(1 Manual, 2 Time of Day, 3 Light Sensor)", 2, 2,
                      [](SignSystem &s, const Words &w, std::ostream &, std::ostream &err) {
                          const auto face = C::ParseNumber(w[0], 0, 7);
                          const auto mode = C::ParseNumber(w[1], 1, 3);
                          if (!face || !mode)
                              return Bad(err, "expected FACE 0 to 7 and MODE 1 to 3");
                          s.SetIntensityMode(*face, *mode);
                          return C::kOk;
                      }}},
                    {"get-cc-status",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          const bool nvramUpdate = s.GetCcStatus();
                          out << s.CcStatusText() << '\n';
                          if (nvramUpdate) out << "NVRAM must be updated\n";
                          return C::kOk;
                      }}},
                    {"get-cc-software-part-number",
                     {"", 0, 0,
                      [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                          out << s.GetCcSoftwarePartNumber() << '\n';
                          return C::kOk;
                      }}},
                    {"test-open",
                     {"COMn", 1, 1,
                      [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
                          if (!w[0].starts_with("COM") ||
                              !C::ParseNumber(w[0].substr(3), 1, C::kHighestPort))
                              return Bad(err, "COMn must be COM1 to COM" +
                                                  std::to_string(C::kHighestPort));
                          const bool opened = s.TestOpen(w[0]);
                          out << (opened ? "opened" : "failed") << '\n';
                          if (!opened) err << "voxa-ctl: " << s.LinkProblem() << '\n';
                          return opened ? C::kOk : C::kTransactionFailed;
                      }}},
                };
    return table;
}

}  // namespace

std::optional<int> CommandLineClient::ParseNumber(const std::string &text, int low, int high) {
    int value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> CommandLineClient::ParseSwitch(const std::string &text) {
    if (text == "on") return true;
    if (text == "off") return false;
    return std::nullopt;
}

std::optional<TimeRecord> CommandLineClient::ParseTime(const std::string &text, bool withSeconds) {
    std::istringstream in(text);
    std::string clock;
    std::string ampm;
    std::string extra;
    if (!(in >> clock >> ampm) || (in >> extra)) return std::nullopt;
    for (char &c : ampm) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ampm != "AM" && ampm != "PM") return std::nullopt;

    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t colon; (colon = clock.find(':', start)) != std::string::npos;
         start = colon + 1) {
        parts.push_back(clock.substr(start, colon - start));
    }
    parts.push_back(clock.substr(start));
    const bool secondsGiven = parts.size() == 3;
    if (parts.size() != 2 && !(withSeconds && secondsGiven)) return std::nullopt;
    if (parts[1].size() != 2 || (secondsGiven && parts[2].size() != 2)) return std::nullopt;

    const auto hour = ParseNumber(parts[0], 1, 12);
    const auto minute = ParseNumber(parts[1], 0, 59);
    const auto second = secondsGiven ? ParseNumber(parts[2], 0, 59) : std::optional<int>(0);
    if (!hour || !minute || !second) return std::nullopt;
    return TimeRecord{*hour, *minute, *second, ampm};
}

std::optional<DateRecord> CommandLineClient::ParseDate(const std::string &text) {
    const std::size_t first = text.find('/');
    const std::size_t second = first == std::string::npos ? first : text.find('/', first + 1);
    if (second == std::string::npos) return std::nullopt;
    const auto month = ParseNumber(text.substr(0, first), 1, 12);
    const auto day = ParseNumber(text.substr(first + 1, second - first - 1), 1, 31);
    const auto year = ParseNumber(text.substr(second + 1), 1900, 9999);
    if (!month || !day || !year) return std::nullopt;
    return DateRecord{*month, *day, *year};
}

void CommandLineClient::PrintHelp(std::ostream &stream) const {
    stream << "Usage: voxa-ctl [--port COMn] [--device PATH] SUBCOMMAND [ARGUMENTS]\n"
              "\n"
              "Runs one operation on the sign controller and prints its values, one per line.\n"
              "The port is --port, else Port of [Communications] in ./voxa.ini, else COM1;\n"
              "--device PATH serves that port from PATH, else [Devices] of ./voxa.ini, else\n"
              "/dev/ttyS{n-1}. Controller messages go to standard error.\n"
              "\n"
              "Exit status: 0 done; 1 a transaction failed (no answer, a port that does not\n"
              "open, checksum, a controller status, a reply for another command); 2 bad\n"
              "usage; 3 refused (a price that does not fit its line's format, a line that is\n"
              "not installed, a rejected password). Every failure says why on standard error.\n"
              "\n"
              "Subcommands:\n";
    for (const auto &[name, subcommand] : Subcommands()) {
        stream << "  " << name;
        if (*subcommand.arguments != '\0') stream << ' ' << subcommand.arguments;
        stream << '\n';
    }
    stream << "\nTimes are written 12:30:05 PM or 7:05 AM, dates 6/7/2002, switches on or off.\n";
}

int CommandLineClient::RunSubcommand(SignSystem &system, const std::vector<std::string> &words) {
    if (words.empty()) {
        PrintHelp(m_err);
        return kUsage;
    }
    const auto found = Subcommands().find(words[0]);
    if (found == Subcommands().end()) {
        m_err << "voxa-ctl: unknown subcommand \"" << words[0] << "\" (see voxa-ctl --help)\n";
        return kUsage;
    }
    const Subcommand &subcommand = found->second;
    const Words arguments(words.begin() + 1, words.end());
    if (arguments.size() < subcommand.minWords || arguments.size() > subcommand.maxWords) {
        m_err << "voxa-ctl: usage: voxa-ctl " << words[0] << ' ' << subcommand.arguments << '\n';
        return kUsage;
    }
    // Values are held back until every transaction has succeeded: a failed one leaves the
    // previous value (or the one the sign system starts with) in place, and a script must
    // not take that for the controller's answer. A failure also outranks the subcommand's
    // own verdict: a password check that got no answer was not rejected.
    system.SetStrictTransactions(true);
    std::ostringstream values;
    const int result = subcommand.run(system, arguments, values, m_err);
    if (system.FailedTransactionCount() > 0) {
        ExplainQuietFailure(system);
        return kTransactionFailed;
    }
    m_out << values.str();
    m_out.flush();
    return result;
}

void CommandLineClient::ExplainQuietFailure(const SignSystem &system) const {
    // The communication failures the controller reports (statuses 6 to 10) are answered
    // with a quiet resend of the request, whose reply is never read: the workstation shows
    // nothing until the fourth in a row, so nothing else here would say why the run
    // failed. A counter still running shows that the last one was resent quietly.
    const int status = system.LastOutcome();
    if (status < ControllerStatus::kChecksumFailure ||
        status > ControllerStatus::kTransmitTimeoutFailure ||
        system.FailureCounter(status - ControllerStatus::kChecksumFailure) == 0) {
        return;
    }
    m_err << "voxa-ctl: " << StatusHandler::MessageFor(status, 0) << " (controller status "
          << status << "): the request was resent, and the resend got no confirmation\n";
    m_err.flush();
}

int CommandLineClient::Run(const std::vector<std::string> &arguments) {
    std::optional<std::string> givenPort;
    std::optional<std::string> device;
    std::size_t next = 0;
    for (; next < arguments.size(); ++next) {
        const std::string &word = arguments[next];
        if (word == "--help" || word == "-h") {
            PrintHelp(m_out);
            return kOk;
        }
        if ((word == "--port" || word == "--device") && next + 1 < arguments.size()) {
            const std::string &value = arguments[++next];
            // An empty value is a mistake (an unset variable in a script), not a wish for
            // the default port.
            if (value.empty()) return Bad(m_err, word + " needs a value (see voxa-ctl --help)");
            (word == "--port" ? givenPort : device) = value;
        } else if (word.rfind("--", 0) == 0) {
            return Bad(m_err, "unknown or incomplete option " + word + " (see voxa-ctl --help)");
        } else {
            break;
        }
    }

    SettingsFile settings("./voxa.ini");
    settings.Load();
    const std::string port =
        givenPort ? *givenPort : settings.ReadString("Communications", "Port", "COM1");
    DeviceMap devices;
    for (int n = 1; n <= kHighestPort; ++n) {
        const std::string path = settings.ReadString("Devices", "COM" + std::to_string(n), "");
        if (!path.empty()) devices.Set(n, path);
    }
    if (device) {
        const auto number =
            port.rfind("COM", 0) == 0 ? ParseNumber(port.substr(3), 1, 255) : std::nullopt;
        if (!number) return Bad(m_err, "--device needs a port of the form COMn");
        devices.Set(*number, *device);
    }

    SystemLinkPlatform platform(devices);
    StreamConsole console(m_err);
    SignSystem system(platform, console);
    console.Attach(&system);
    system.SetDiagnosticStream(m_err);
    system.SetPortName(port);
    return RunSubcommand(system,
                         Words(arguments.begin() + static_cast<long>(next), arguments.end()));
}
