#include "command_line_client.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>

#include "arguments.h"
#include "clock_subcommands.h"
#include "command_code.h"
#include "device_map.h"
#include "exit_status.h"
#include "intensity_subcommands.h"
#include "log_and_test_subcommands.h"
#include "nvram_subcommands.h"
#include "on_off_timer_subcommands.h"
#include "password_and_port_subcommands.h"
#include "price_change_subcommands.h"
#include "price_subcommands.h"
#include "progress_line.h"
#include "report_subcommands.h"
#include "settings_binding.h"
#include "settings_file.h"
#include "sign_system.h"
#include "status_handler.h"
#include "stream_console.h"
#include "system_link_platform.h"
#include "voxa_version.h"

namespace {

using Words = std::vector<std::string>;

}  // namespace

CommandLineClient::CommandLineClient(std::ostream &out, std::ostream &err, bool progressOnErr)
    : m_out(out), m_err(err) {
    if (progressOnErr) m_progress = std::make_unique<ProgressLine>(err);
    PriceSubcommands::AddTo(m_table);
    PriceChangeSubcommands::AddTo(m_table, m_priceSetup);
    ReportSubcommands::AddTo(m_table);
    ClockSubcommands::AddTo(m_table);
    OnOffTimerSubcommands::AddTo(m_table);
    IntensitySubcommands::AddTo(m_table);
    LogAndTestSubcommands::AddTo(m_table);
    PasswordAndPortSubcommands::AddTo(m_table, m_passwords);
    NvramSubcommands::AddTo(m_table, m_progress.get());
}

CommandLineClient::~CommandLineClient() = default;

void CommandLineClient::PrintHelp(std::ostream &stream) const {
    stream << "Usage: voxa-ctl [--port COMn] [--device PATH] [--wait SECONDS | --no-wait]\n"
              "                SUBCOMMAND [ARGUMENTS]\n"
              "       voxa-ctl --help | --version\n"
              "\n"
              "Runs one operation on the sign controller and prints its values, one per line.\n"
              "The port is --port, else Port of [Communications] in ./voxa.ini, else COM1;\n"
              "--device PATH serves that port from PATH, else [Devices] of ./voxa.ini, else\n"
              "/dev/ttyS{n-1}. Controller messages go to standard error.\n"
              "\n"
              "While another program (the workstation, another voxa-ctl) is in the middle of\n"
              "a transaction on the same line, voxa-ctl waits for it: up to 60 seconds, or\n"
              "--wait SECONDS; --no-wait fails at once. The line is locked with a lock file\n"
              "in /run/lock named after the device (LCK..ttyUSB0).\n"
              "\n"
              "Exit status: 0 done; 1 a transaction failed (no answer, a port that does not\n"
              "open, a line kept busy by another program, checksum, a controller status, a\n"
              "reply for another command) or an NVRAM image file could not be read or\n"
              "written, or a price the controller did not confirm; 2 bad usage; 3 refused\n"
              "before anything was sent (a price that does not fit its line's format or,\n"
              "without --force, the limits of [Limits] in ./voxa.ini, a line that is not\n"
              "installed, a rejected password). Every failure says why on standard error.\n"
              "\n"
              "Every price change attempt is logged in ./voxa-prices.csv (price-history\n"
              "prints it). --confirm, or Confirm=Yes in [Update] of ./voxa.ini, reads each\n"
              "price back after sending it.\n"
              "\n"
              "Subcommands:\n";
    for (const auto &[name, subcommand] : m_table.All()) {
        stream << "  " << name;
        if (*subcommand.arguments != '\0') stream << ' ' << subcommand.arguments;
        stream << '\n';
    }
    stream << "\nTimes are written 12:30:05 PM or 7:05 AM, dates 6/7/2002, switches on or off.\n"
              "NVRAM images are raw copies of the controller's memory; a load that went\n"
              "through asks for VOXA to be restarted. A new image file is readable by its\n"
              "owner only, since the memory holds the system password. price-history takes\n"
              "--since dates as 2026-12-07 or 12/7/2026. report --json prints one JSON\n"
              "object (its keys are listed in the README).\n"
              "\n"
              "Passwords (at most 17 bytes): with - or without the argument, verify-password\n"
              "and change-password read the password from standard input, one line without\n"
              "its line end, as a script or cron job gives it:\n"
              "  voxa-ctl verify-password - < password-file\n"
              "On a terminal they ask for it with echo off, a new password twice (exit\n"
              "status 3 when the two differ):\n"
              "  voxa-ctl change-password\n"
              "A PASSWORD given as an argument also works, but every user of this machine\n"
              "can see it (ps, /proc), and it stays in shell history and crontabs.\n";
}

int CommandLineClient::RunSubcommand(SignSystem &system, const std::vector<std::string> &words) {
    if (words.empty()) {
        PrintHelp(m_err);
        return ExitStatus::kUsage;
    }
    const SubcommandTable::Subcommand *found = m_table.Find(words[0]);
    if (found == nullptr) {
        m_err << "voxa-ctl: unknown subcommand \"" << words[0] << "\" (see voxa-ctl --help)\n";
        return ExitStatus::kUsage;
    }
    const SubcommandTable::Subcommand &subcommand = *found;
    const Words arguments(words.begin() + 1, words.end());
    if (arguments.size() < subcommand.minWords || arguments.size() > subcommand.maxWords) {
        m_err << "voxa-ctl: usage: voxa-ctl " << words[0] << ' ' << subcommand.arguments << '\n';
        return ExitStatus::kUsage;
    }
    // Values are held back until every transaction has succeeded: a failed one leaves the
    // previous value (or the one the sign system starts with) in place, and a script must
    // not take that for the controller's answer. A failure also outranks the subcommand's
    // own verdict: a password check that got no answer was not rejected.
    system.SetStrictTransactions(true);
    if (subcommand.streams) {
        const int result = subcommand.run(system, arguments, m_out, m_err);
        m_out.flush();
        return result;
    }
    std::ostringstream values;
    const int result = subcommand.run(system, arguments, values, m_err);
    if (system.FailedTransactionCount() > 0) {
        ExplainQuietFailure(system);
        return ExitStatus::kTransactionFailed;
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
    std::chrono::milliseconds lineWait = SystemLinkPlatform::kLineWait;
    std::size_t next = 0;
    for (; next < arguments.size(); ++next) {
        const std::string &word = arguments[next];
        if (word == "--help" || word == "-h") {
            PrintHelp(m_out);
            return ExitStatus::kOk;
        }
        if (word == "--version") {
            m_out << "voxa-ctl " << kVoxaVersion << '\n';
            return ExitStatus::kOk;
        }
        if ((word == "--port" || word == "--device") && next + 1 < arguments.size()) {
            const std::string &value = arguments[++next];
            // An empty value is a mistake (an unset variable in a script), not a wish for
            // the default port.
            if (value.empty())
                return SubcommandTable::UsageError(m_err,
                                                   word + " needs a value (see voxa-ctl --help)");
            (word == "--port" ? givenPort : device) = value;
        } else if (word == "--no-wait") {
            lineWait = std::chrono::milliseconds::zero();
        } else if (word == "--wait" && next + 1 < arguments.size()) {
            const auto seconds =
                Arguments::ParseNumber(arguments[++next], 0, kLongestLineWaitSeconds);
            if (!seconds)
                return SubcommandTable::UsageError(m_err,
                                                   "--wait needs a number of seconds from 0 to " +
                                                       std::to_string(kLongestLineWaitSeconds));
            lineWait = std::chrono::seconds(*seconds);
        } else if (word.rfind("--", 0) == 0) {
            return SubcommandTable::UsageError(
                m_err, "unknown or incomplete option " + word + " (see voxa-ctl --help)");
        } else {
            break;
        }
    }

    SettingsFile settings("./voxa.ini");
    settings.Load();
    if (settings.Unreadable()) {
        // Run with the defaults instead, and a script could reach another port than the
        // one the workstation uses.
        std::string problem = settings.LastError();
        while (!problem.empty() && problem.back() == '\n') problem.pop_back();
        m_err << "voxa-ctl: " << problem << "; nothing was sent\n";
        return ExitStatus::kTransactionFailed;
    }
    const std::string port =
        givenPort ? *givenPort : settings.ReadString("Communications", "Port", "COM1");
    DeviceMap devices;
    for (int n = 1; n <= Arguments::kHighestPort; ++n) {
        const std::string path = settings.ReadString("Devices", "COM" + std::to_string(n), "");
        if (!path.empty()) devices.Set(n, path);
    }
    if (device) {
        const auto number = port.rfind("COM", 0) == 0
                                ? Arguments::ParseNumber(port.substr(3), 1, 255)
                                : std::nullopt;
        if (!number)
            return SubcommandTable::UsageError(m_err, "--device needs a port of the form COMn");
        devices.Set(*number, *device);
    }

    SystemLinkPlatform platform(devices);
    platform.SetLineWait(lineWait);
    if (m_stop) platform.SetStopCheck(m_stop);
    StreamConsole console(m_err);
    console.SetProgressLine(m_progress.get());
    SignSystem system(platform, console);
    console.Attach(&system);
    system.SetDiagnosticStream(m_err);
    system.SetPortName(port);
    // The line tags, for the price log and the report, as the workstation names the lines.
    for (int i = 0; i < SignSystem::kMaxLines; ++i) {
        system.SetLineTag(
            i, settings.ReadString("Tags", "tag" + std::to_string(i), SettingsBinding::kMissing));
    }
    m_priceSetup.logFolder = ".";
    m_priceSetup.rules = SettingsBinding::LoadPriceRules(settings);
    return RunSubcommand(system,
                         Words(arguments.begin() + static_cast<long>(next), arguments.end()));
}
