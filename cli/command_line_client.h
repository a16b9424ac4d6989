#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "password_reader.h"
#include "price_change_subcommands.h"
#include "subcommand_table.h"
#include "time_records.h"

class ProgressLine;
class SignSystem;

// voxa-ctl: one controller operation per run, for field engineers and scripts. Values
// go to standard output one per line; the status handler's messages go to standard error.
class CommandLineClient {
public:
    // Exit statuses.
    static constexpr int kOk = 0;
    static constexpr int kTransactionFailed = 1;  // no sync, checksum, or a controller status
    static constexpr int kUsage = 2;
    // A price that does not fit its line or its limits, a rejected password.
    static constexpr int kRefused = 3;
    // The longest --wait for a line another program holds: an hour.
    static constexpr int kLongestLineWaitSeconds = 3600;

    // Ports the workstation offers: COM1 to COM9.
    static constexpr int kHighestPort = 9;

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

    // "12:30:05 PM" or "7:05 AM" (seconds optional when allowed); AM/PM in any case.
    static std::optional<TimeRecord> ParseTime(const std::string &text, bool withSeconds);
    // "6/7/2002".
    static std::optional<DateRecord> ParseDate(const std::string &text);
    static std::optional<int> ParseNumber(const std::string &text, int low, int high);
    static std::optional<bool> ParseSwitch(const std::string &text);

private:
    // Says on standard error why a run failed when the status handler said nothing.
    void ExplainQuietFailure(const SignSystem &system) const;

    std::ostream &m_out;
    std::ostream &m_err;
    std::unique_ptr<ProgressLine> m_progress;
    PasswordReader m_passwords;
    PriceChangeSubcommands::Setup m_priceSetup;
    SubcommandTable m_table;
};
