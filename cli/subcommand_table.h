#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "arguments.h"

class SignSystem;

// What a subcommand prints: the text a person reads, and the same values as one JSON object
// for --json. The client prints one of them, and only when the run went through.
struct Printed {
    std::ostringstream text;
    // Where a subcommand that streams writes its text as it comes, instead of text; null
    // for the others, and for a streaming one asked for JSON.
    std::ostream *stream = nullptr;
    std::ostream &Text() { return stream != nullptr ? *stream : text; }
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
};

// voxa-ctl's subcommands by name, each with its arguments, its help and what it does. The
// groups of subcommands (prices, clock, ...) add theirs; the client looks them up, takes
// their options and lists them.
class SubcommandTable {
public:
    using Words = std::vector<std::string>;
    // The subcommand's operands and the options given to it.
    using Call = Arguments::Parsed;
    // Runs with the call; values go to out, reasons to err. Every argument is checked
    // before anything is sent. Returns the exit status.
    using Action = std::function<int(SignSystem &, const Call &, Printed &out, std::ostream &err)>;

    struct Subcommand {
        // The operands and its own options as the usage shows them ("LINE PRICE [--confirm]").
        const char *operands = "";
        const char *summary = "";  // what it does, in a sentence
        // Each operand's and option's values, one line each ("FACE  0 to 7"); may be empty.
        std::string details;
        std::size_t minOperands = 0;
        std::size_t maxOperands = 0;
        std::vector<Arguments::Option> options;  // its own, besides --help and --json
        // An example of its --json object: the keys it prints, with values of their types.
        // Empty for a subcommand that prints no values, which takes no --json.
        const char *json = "";
        Action run;
        // False for the subcommands that never talk to the controller (price-history,
        // list-ports): no line is locked and no port setting is needed for them.
        bool usesLine = true;
        // Values go straight to standard output as they come, not held back until every
        // transaction went through: for a subcommand that asks the controller nothing and
        // may print more than fits in memory (the price history).
        bool streams = false;
    };

    void Add(const std::string &name, Subcommand subcommand);
    // Nothing when there is no such subcommand.
    const Subcommand *Find(const std::string &name) const;
    // Every subcommand in name order.
    const std::map<std::string, Subcommand> &All() const { return m_subcommands; }

    // "voxa-ctl get-face-level FACE SLOT [--json]".
    static std::string Usage(const std::string &name, const Subcommand &subcommand);
    // What voxa-ctl NAME --help prints.
    static void PrintHelp(const std::string &name, const Subcommand &subcommand,
                          std::ostream &stream);
    // Every option the subcommand takes: its own, --help, and --json when it prints values.
    static std::vector<Arguments::Option> OptionsOf(const Subcommand &subcommand);

    // What the groups share: a usage error told on err (returns the usage exit status),
    // words joined by blanks from index from, "on" or "off", a time such as "7:05 AM", and
    // a time and a date as JSON writes them ("19:05:30", "07:05", "2026-12-07").
    static int UsageError(std::ostream &err, const std::string &what);
    static std::string Join(const Words &words, std::size_t from);
    static const char *OnOff(bool on);
    static std::string ShortTime(int hour, int minute, const std::string &ampm);
    static std::string IsoTime(int hour12, int minute, int second, const std::string &ampm);
    static std::string IsoShortTime(int hour12, int minute, const std::string &ampm);
    static std::string IsoDate(int year, int month, int day);
    // The 24-hour hour of a time on the 12-hour dial: 12 AM is 0, 12 PM is 12.
    static int Hour24(int hour12, const std::string &ampm);
    // A controller's text for JSON: control characters removed and trailing blanks cut.
    static std::string CleanText(const std::string &text);
    // A text's bytes as numbers, for the raw text beside a cleaned one.
    static nlohmann::ordered_json Bytes(const std::string &text);

    // The exit statuses as the help lists them.
    static constexpr const char *kExitStatusText =
        "Exit status, the same for every subcommand:\n"
        "  0  done\n"
        "  1  a controller or line problem: no answer, a port that does not open, a line\n"
        "     another program kept busy for the whole wait, a controller status, a price\n"
        "     not confirmed, a condition of the controller that needs a person (report),\n"
        "     a file or the output that could not be written\n"
        "  2  bad usage: nothing was sent\n"
        "  3  refused by a check before anything was sent (a price that does not fit its\n"
        "     line or its limits, a line that is not installed), or a rejected password\n"
        "Every status other than 0 comes with its reason on standard error.\n";

private:
    std::map<std::string, Subcommand> m_subcommands;
};
