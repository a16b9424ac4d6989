#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clock_subcommands.h"
#include "password_and_port_subcommands.h"
#include "password_reader.h"
#include "price_change_subcommands.h"
#include "subcommand_table.h"

class ProgressLine;
class SignSystem;

// voxa-ctl: one controller operation per run, for field engineers and scripts. Values
// go to standard output one per line, or as one JSON object with --json; the status
// handler's messages go to standard error. Its runs end with one of the ExitStatus values.
//
// The conventions are those of git or systemctl: options before the subcommand are the
// program's, options after it the subcommand's; every option also takes --name=value; "--"
// ends the options; voxa-ctl SUBCOMMAND --help prints that subcommand's usage, the range of
// each argument and the keys of its JSON. Every argument is checked before anything is
// sent: a bad one is a usage error.
class CommandLineClient {
public:
    using Words = std::vector<std::string>;

    // The longest --wait for a line another program holds: an hour.
    static constexpr int kLongestLineWaitSeconds = 3600;

    // With progressOnErr (standard error is a terminal), long runs count their blocks there.
    CommandLineClient(std::ostream &out, std::ostream &err, bool progressOnErr = false);
    ~CommandLineClient();

    // Runs with the program's arguments (without the program name), in the current
    // directory, whose ./voxa.ini supplies the port and the [Devices] map when present.
    int Run(const Words &arguments);

    // The same against a given sign system, after the program's options were taken: the
    // subcommand and its words.
    int RunSubcommand(SignSystem &system, const Words &words);

    void PrintHelp(std::ostream &stream) const;

    // The progress line on standard error, when there is one; a console writing to the
    // same stream ends it before each message.
    ProgressLine *Progress() const { return m_progress.get(); }
    // Where verify-password and change-password read a password not given as an
    // argument (standard input).
    PasswordReader &Passwords() { return m_passwords; }

    // The price log's folder and the price rules; Run() takes them from ./voxa.ini.
    PriceChangeSubcommands::Setup &PriceSetup() { return m_priceSetup; }
    // The [Devices] map and the device tree list-ports reads; Run() takes the map from
    // ./voxa.ini.
    PasswordAndPortSubcommands::PortSetup &PortSetup() { return m_portSetup; }
    // The PC's clock sync-clock reads.
    ClockSubcommands::PcClock &PcClock() { return m_pcClock; }

    // Tells Run() whether the program was asked to stop (a signal arrived).
    void SetStopCheck(std::function<bool()> stop) { m_stop = std::move(stop); }

private:
    // A subcommand with its words taken apart.
    struct Prepared {
        std::string name;
        const SubcommandTable::Subcommand *subcommand = nullptr;
        SubcommandTable::Call call;
    };

    // The subcommand the words name, with its options and operands checked; nothing, with
    // the exit status in status, for bad usage (told on standard error) or for a request
    // for the subcommand's help (printed).
    std::optional<Prepared> Prepare(const Words &words, int &status) const;
    // Runs a prepared subcommand: the line is held from its first transaction to its last,
    // and its values are printed when every transaction went through.
    int Execute(SignSystem &system, const Prepared &prepared);
    // Says on standard error why a run failed when the status handler said nothing.
    void ExplainQuietFailure(const SignSystem &system) const;

    std::ostream &m_out;
    std::ostream &m_err;
    std::unique_ptr<ProgressLine> m_progress;
    PasswordReader m_passwords;
    PriceChangeSubcommands::Setup m_priceSetup;
    PasswordAndPortSubcommands::PortSetup m_portSetup;
    ClockSubcommands::PcClock m_pcClock;
    SubcommandTable m_table;
    std::function<bool()> m_stop;
};
