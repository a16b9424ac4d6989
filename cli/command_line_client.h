#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "password_reader.h"
#include "price_change_subcommands.h"
#include "subcommand_table.h"

class ProgressLine;
class SignSystem;

// voxa-ctl: one controller operation per run, for field engineers and scripts. Values
// go to standard output one per line; the status handler's messages go to standard error.
// Its runs end with one of the ExitStatus values.
class CommandLineClient {
public:
    // The longest --wait for a line another program holds: an hour.
    static constexpr int kLongestLineWaitSeconds = 3600;

    // With progressOnErr (standard error is a terminal), long runs count their blocks there.
    CommandLineClient(std::ostream &out, std::ostream &err, bool progressOnErr = false);
    ~CommandLineClient();

    // Runs with the program's arguments (without the program name), in the current
    // directory, whose ./voxa.ini supplies the port and the [Devices] map when present.
    int Run(const std::vector<std::string> &arguments);

    // The same against a given sign system, after the options were taken: the subcommand
    // and its arguments.
    int RunSubcommand(SignSystem &system, const std::vector<std::string> &words);

    void PrintHelp(std::ostream &stream) const;

    // The progress line on standard error, when there is one; a console writing to the
    // same stream ends it before each message.
    ProgressLine *Progress() const { return m_progress.get(); }
    // Where verify-password and change-password read a password not given as an
    // argument (standard input).
    PasswordReader &Passwords() { return m_passwords; }

    // The price log's folder and the price rules; Run() takes them from ./voxa.ini.
    PriceChangeSubcommands::Setup &PriceSetup() { return m_priceSetup; }

    // Tells Run() whether the program was asked to stop (a signal arrived).
    void SetStopCheck(std::function<bool()> stop) { m_stop = std::move(stop); }

private:
    // Says on standard error why a run failed when the status handler said nothing.
    void ExplainQuietFailure(const SignSystem &system) const;

    std::ostream &m_out;
    std::ostream &m_err;
    std::unique_ptr<ProgressLine> m_progress;
    PasswordReader m_passwords;
    PriceChangeSubcommands::Setup m_priceSetup;
    SubcommandTable m_table;
    std::function<bool()> m_stop;
};
