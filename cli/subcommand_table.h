#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

class SignSystem;

// voxa-ctl's subcommands by name, each with its arguments and what it does. The groups of
// subcommands (prices, clock, ...) add theirs; the client looks them up and lists them.
class SubcommandTable {
public:
    using Words = std::vector<std::string>;
    // Runs with the arguments after the subcommand's name; values go to out, reasons to
    // err. Returns the exit status.
    using Action =
        std::function<int(SignSystem &, const Words &, std::ostream &out, std::ostream &err)>;

    struct Subcommand {
        const char *arguments;  // as the usage shows them
        std::size_t minWords;   // arguments after the subcommand's name
        std::size_t maxWords;
        Action run;
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

    // What the groups share: a usage error told on err (returns the usage exit status),
    // words joined by blanks from index from, "on" or "off", and a time such as "7:05 AM".
    static int UsageError(std::ostream &err, const std::string &what);
    static std::string Join(const Words &words, std::size_t from);
    static const char *OnOff(bool on);
    static std::string ShortTime(int hour, int minute, const std::string &ampm);

private:
    std::map<std::string, Subcommand> m_subcommands;
};
