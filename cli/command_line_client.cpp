#include "command_line_client.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>

#include "arguments.h"
#include "audit_subcommands.h"
#include "clock_subcommands.h"
#include "command_code.h"
#include "device_map.h"
#include "event_log_file.h"
#include "exit_status.h"
#include "intensity_subcommands.h"
#include "line_hold.h"
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
using T = SubcommandTable;

const std::vector<Arguments::Option> kProgramOptions{
    {"--help", false}, {"--version", false}, {"--port", true}, {"--device", true},
    {"--wait", true},  {"--no-wait", false}, {"--json", false}};

// "-h" is --help wherever --help is taken: before "--".
Words WithLongHelp(Words words) {
    for (std::string &word : words) {
        if (word == "--") break;
        if (word == "-h") word = "--help";
    }
    return words;
}

}  // namespace

CommandLineClient::CommandLineClient(std::ostream &out, std::ostream &err, bool progressOnErr)
    : m_out(out), m_err(err) {
    if (progressOnErr) m_progress = std::make_unique<ProgressLine>(err);
    PriceSubcommands::AddTo(m_table);
    PriceChangeSubcommands::AddTo(m_table, m_priceSetup);
    ReportSubcommands::AddTo(m_table);
    ClockSubcommands::AddTo(m_table, m_pcClock);
    OnOffTimerSubcommands::AddTo(m_table);
    IntensitySubcommands::AddTo(m_table);
    LogAndTestSubcommands::AddTo(m_table);
    PasswordAndPortSubcommands::AddTo(m_table, m_passwords, m_portSetup);
    NvramSubcommands::AddTo(m_table, m_progress.get());
    AuditSubcommands::AddTo(m_table, m_priceSetup);
}

CommandLineClient::~CommandLineClient() = default;

void CommandLineClient::PrintHelp(std::ostream &stream) const {
    stream << "Usage: voxa-ctl [--port COMn] [--device PATH] [--wait SECONDS | --no-wait]\n"
              "                SUBCOMMAND [ARGUMENTS] [--json]\n"
              "       voxa-ctl SUBCOMMAND --help\n"
              "       voxa-ctl --help | --version\n"
              "\n"
              "Runs one operation on the sign controller and prints its values, one per line,\n"
              "or with --json as one JSON object on one line. Values are printed only when\n"
              "every exchange of the run went through; controller messages go to standard\n"
              "error.\n"
              "\n"
              "Options before the subcommand are voxa-ctl's, options after it the\n"
              "subcommand's (--json may stand on either side); each also takes the form\n"
              "--port=COM2, and -- ends the options.\n"
              "voxa-ctl SUBCOMMAND --help shows a subcommand's arguments with their ranges and\n"
              "the keys of its --json object. Every argument is checked as the workstation\n"
              "checks it before anything is sent.\n"
              "\n"
              "  --port COMn     the port, COM1 to COM9; else Port of [Communications] in\n"
              "                  ./voxa.ini, else COM1\n"
              "  --device PATH   the device behind the port, an absolute path; else the\n"
              "                  port's entry in [Devices] of ./voxa.ini, else /dev/ttyS{n-1}\n"
              "  --wait SECONDS  how long to wait for a line that another program (the\n"
              "                  workstation, another voxa-ctl) is using: 0 to 3600, 60 when\n"
              "                  not given\n"
              "  --no-wait       fail at once when the line is in use (as --wait 0)\n"
              "\n"
              "Programs that wait for the line are served in the order they began to wait,\n"
              "and a run keeps the line from its first exchange to its last, so that no other\n"
              "program's command lands in the middle of it. A waiting run says on standard\n"
              "error what holds the line and what it is doing. The line is locked with a lock\n"
              "file in /run/lock named after the device (LCK..ttyUSB0).\n"
              "\n"
           << T::kExitStatusText
           << "\n"
              "Every price change attempt is logged in ./voxa-prices.csv (price-history\n"
              "prints it). --confirm, or Confirm=Yes in [Update] of ./voxa.ini, reads each\n"
              "price back after sending it.\n"
              "\n"
              "Subcommands:\n";
    for (const auto &[name, subcommand] : m_table.All()) {
        stream << "  " << T::Usage(name, subcommand).substr(std::string("voxa-ctl ").size())
               << '\n';
    }
    stream << "\nTimes are written 12:30:05 PM, 7:05 AM, 19:05:30 or 07:05, dates 12/7/2026 or\n"
              "2026-12-07 (real calendar dates only), switches on or off. Lines are 1 to 8,\n"
              "faces 0 to 7, intensity levels 1 to 5, duty cycles 0 to 100 percent.\n"
              "NVRAM images are raw copies of the controller's memory; a load that went\n"
              "through asks for VOXA to be restarted. A new image file is readable by its\n"
              "owner only, since the memory holds the system password. The keys of every\n"
              "--json object are listed in man voxa-ctl.\n"
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

std::optional<CommandLineClient::Prepared> CommandLineClient::Prepare(const Words &words,
                                                                      int &status) const {
    status = ExitStatus::kUsage;
    if (words.empty()) {
        PrintHelp(m_err);
        return std::nullopt;
    }
    Prepared prepared;
    prepared.name = words[0];
    prepared.subcommand = m_table.Find(words[0]);
    if (prepared.subcommand == nullptr) {
        T::UsageError(m_err, "unknown subcommand \"" + words[0] + "\" (see voxa-ctl --help)");
        return std::nullopt;
    }
    const T::Subcommand &subcommand = *prepared.subcommand;
    std::string problem;
    if (!Arguments::TakeOptions(WithLongHelp(Words(words.begin() + 1, words.end())),
                                T::OptionsOf(subcommand), false, prepared.call, problem)) {
        T::UsageError(m_err, problem + " (see voxa-ctl " + prepared.name + " --help)");
        return std::nullopt;
    }
    if (prepared.call.Has("--help")) {
        T::PrintHelp(prepared.name, subcommand, m_out);
        m_out.flush();
        status = ExitStatus::kOk;
        return std::nullopt;
    }
    const std::size_t count = prepared.call.operands.size();
    if (count < subcommand.minOperands || count > subcommand.maxOperands) {
        T::UsageError(m_err, "usage: " + T::Usage(prepared.name, subcommand));
        return std::nullopt;
    }
    return prepared;
}

int CommandLineClient::Execute(SignSystem &system, const Prepared &prepared) {
    // Values are held back until every transaction has succeeded: a failed one leaves the
    // previous value (or the one the sign system starts with) in place, and a script must
    // not take that for the controller's answer. A failure also outranks the subcommand's
    // own verdict: a password check that got no answer was not rejected.
    system.SetStrictTransactions(true);
    Printed printed;
    // A subcommand that streams writes its text straight out as it comes (a log of any
    // size then costs no memory); its JSON is still one object, printed at the end.
    const bool streams = prepared.subcommand->streams && !prepared.call.Has("--json");
    if (streams) printed.stream = &m_out;
    int result = ExitStatus::kOk;
    // Every supervisor change the run makes goes to the event log beside voxa.ini.
    std::optional<EventLogFile> events;
    if (m_priceSetup.logFolder && prepared.subcommand->usesLine) {
        events.emplace(*m_priceSetup.logFolder, "voxa-ctl");
        system.SetJournal(&*events);
    }
    {
        // The whole run keeps the line, so that another program's command cannot land
        // between two of its exchanges (a price's check and its sending, say). It is taken
        // with the first exchange: a run refused before it sends anything never holds it.
        LineHold hold(system, "running " + prepared.name);
        result = prepared.subcommand->run(system, prepared.call, printed, m_err);
    }
    if (events) {
        system.SetJournal(nullptr);
        if (const std::string notice = events->TakeNotice(); !notice.empty())
            m_err << "voxa-ctl: " << notice << '\n';
        // The change itself went through (or not) all the same.
        if (!events->Problem().empty())
            m_err << "voxa-ctl: supervisor change not logged: " << events->Problem() << '\n';
    }
    if (system.FailedTransactionCount() > 0) {
        ExplainQuietFailure(system);
        return ExitStatus::kTransactionFailed;
    }
    if (prepared.call.Has("--json")) {
        // Nothing is printed for a run that printed no values (refused, or bad usage).
        if (!printed.json.empty()) {
            m_out << printed.json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                  << '\n';
        }
    } else {
        m_out << printed.text.str();
    }
    m_out.flush();
    return result;
}

int CommandLineClient::RunSubcommand(SignSystem &system, const Words &words) {
    int status = ExitStatus::kOk;
    const std::optional<Prepared> prepared = Prepare(words, status);
    return prepared ? Execute(system, *prepared) : status;
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

int CommandLineClient::Run(const Words &arguments) {
    Arguments::Parsed options;
    std::string problem;
    if (!Arguments::TakeOptions(WithLongHelp(arguments), kProgramOptions, true, options, problem)) {
        return T::UsageError(m_err, problem + " (see voxa-ctl --help)");
    }
    if (options.Has("--help")) {
        PrintHelp(m_out);
        m_out.flush();
        return ExitStatus::kOk;
    }
    if (options.Has("--version")) {
        m_out << "voxa-ctl " << kVoxaVersion << '\n';
        m_out.flush();
        return ExitStatus::kOk;
    }
    // An empty value is a mistake (an unset variable in a script), not a wish for the
    // default.
    for (const char *name : {"--port", "--device", "--wait"}) {
        if (const std::string *value = options.Value(name); value != nullptr && value->empty())
            return T::UsageError(m_err, std::string(name) + " needs a value (see voxa-ctl --help)");
    }
    const std::string *givenPort = options.Value("--port");
    if (givenPort != nullptr && !Arguments::ParsePort(*givenPort))
        return T::UsageError(
            m_err, "--port needs a port name COMn from COM1 to COM9, not \"" + *givenPort + "\"");
    const std::string *device = options.Value("--device");
    if (device != nullptr && device->front() != '/')
        return T::UsageError(
            m_err, "--device needs an absolute path such as /dev/ttyUSB0, not \"" + *device + "\"");
    if (options.Has("--wait") && options.Has("--no-wait"))
        return T::UsageError(m_err, "--wait and --no-wait exclude each other");
    std::chrono::milliseconds lineWait = SystemLinkPlatform::kLineWait;
    if (options.Has("--no-wait")) lineWait = std::chrono::milliseconds::zero();
    if (const std::string *wait = options.Value("--wait")) {
        const auto seconds = Arguments::ParseNumber(*wait, 0, kLongestLineWaitSeconds);
        if (!seconds)
            return T::UsageError(m_err, "--wait needs a number of seconds from 0 to " +
                                            std::to_string(kLongestLineWaitSeconds));
        lineWait = std::chrono::seconds(*seconds);
    }

    // --json before the subcommand is the subcommand's, as if given after it.
    Words words = options.operands;
    if (options.Has("--json") && !words.empty()) words.insert(words.begin() + 1, "--json");
    int status = ExitStatus::kOk;
    const std::optional<Prepared> prepared = Prepare(words, status);
    if (!prepared) return status;

    SettingsFile settings("./voxa.ini");
    settings.Load();
    if (settings.Unreadable()) {
        // Run with the defaults instead, and a script could reach another port than the
        // one the workstation uses.
        std::string unreadable = settings.LastError();
        while (!unreadable.empty() && unreadable.back() == '\n') unreadable.pop_back();
        m_err << "voxa-ctl: " << unreadable << "; nothing was sent\n";
        return ExitStatus::kTransactionFailed;
    }
    const std::string port =
        givenPort != nullptr ? *givenPort : settings.ReadString("Communications", "Port", "COM1");
    DeviceMap &devices = m_portSetup.devices;
    for (int n = 1; n <= Arguments::kHighestPort; ++n) {
        const std::string path = settings.ReadString("Devices", "COM" + std::to_string(n), "");
        if (!path.empty()) devices.Set(n, path);
    }
    const std::optional<int> number = Arguments::ParsePort(port);
    if (number && device != nullptr) devices.Set(*number, *device);
    if (prepared->subcommand->usesLine) {
        if (!number)
            return T::UsageError(m_err, "Port=" + port +
                                            " in [Communications] of ./voxa.ini is not COM1 to "
                                            "COM9 (--port COMn chooses another)");
        const std::string path = devices.DevicePath(port);
        if (path.empty() || path.front() != '/')
            return T::UsageError(m_err, port + "=" + path +
                                            " in [Devices] of ./voxa.ini is not an absolute path "
                                            "(--device PATH gives one)");
    }

    SystemLinkPlatform platform(devices);
    platform.SetLineWait(lineWait);
    // What holds the line is told once when the wait begins, and on a terminal kept up to
    // date on the progress line while the wait lasts.
    bool told = false;
    const long waitSeconds = std::chrono::duration_cast<std::chrono::seconds>(lineWait).count();
    platform.SetWaitNotice([&](const std::string &text) {
        if (!told) {
            if (m_progress) m_progress->End();
            m_err << "voxa-ctl: " << text << "; waiting up to " << waitSeconds
                  << " s for it (--wait SECONDS sets how long)\n";
            m_err.flush();
            told = true;
        } else if (m_progress) {
            m_progress->Show("waiting: " + text);
        }
    });
    platform.SetWaitingHook([this](bool waiting) {
        if (!waiting && m_progress) m_progress->End();
    });
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
    return Execute(system, *prepared);
}
