#include "bench_options.h"

#include <charconv>
#include <map>

namespace {

constexpr int kMostRuns = 100;
constexpr int kLongestReplyDelayMs = 60000;
constexpr int kLongestIdleSeconds = 3600;
constexpr int kMostFleetSites = 120;

bool ParseInteger(const std::string &text, int low, int high, int &value) {
    int parsed = 0;
    const char *end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, parsed);
    if (text.empty() || ec != std::errc() || at != end || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseWork(const std::string &text, std::set<BenchOptions::Work> &work) {
    using W = BenchOptions::Work;
    static const std::map<std::string, W> kNames{{"transaction", W::Transaction},
                                                 {"startup", W::StartUp},
                                                 {"nvram", W::NvramSave},
                                                 {"workstation", W::Workstation}};
    std::set<W> chosen;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const auto name = kNames.find(text.substr(start, comma - start));
        if (name == kNames.end()) return false;
        chosen.insert(name->second);
        start = comma + 1;
    }
    work = std::move(chosen);
    return true;
}

}  // namespace

std::string BenchOptions::Usage() {
    return "Usage: voxa-bench [OPTION]...\n"
           "Measures the workstation's protocol code and the workstation itself against\n"
           "voxa-ccsim on a new pseudo-terminal, and sets each time beside the floor the\n"
           "protocol allows for the same work (docs/performance.md explains it).\n"
           "\n"
           "  --runs N           runs of each measurement, 1-100; the median is shown\n"
           "                     (default 3)\n"
           "  --paced            the simulator paces every byte at 9600 baud (1.0417 ms),\n"
           "                     both ways, so the floor includes the time on the wire\n"
           "  --reply-delay MS   the simulator's time to its reply, 0-60000 ms (default 0:\n"
           "                     an instant controller, so all that is left is the\n"
           "                     workstation's own)\n"
           "  --idle-seconds S   how long the workstation's idle CPU is measured, 1-3600\n"
           "                     (default 30)\n"
           "  --measure LIST     which work, comma-separated: transaction, startup, nvram,\n"
           "                     workstation (default all)\n"
           "  --ccsim PATH       the simulator to run (default the one built beside)\n"
           "  --voxa PATH        the workstation to run (default the one built beside)\n"
           "  --fleet N          instead: a Mosquitto broker, N simulators and N agents\n"
           "                     (1-120); one change with read-back pushed to one site,\n"
           "                     then to all N, timed until every result is in\n"
           "  --agent PATH       the agent to run (default the one built beside)\n"
           "  --help             show this text\n"
           "\n"
           "The whole run takes about 5 minutes (7 with --paced), most of it the NVRAM\n"
           "save. Ctrl+C stops it and every program it started.\n";
}

std::optional<BenchOptions> BenchOptions::Parse(const std::vector<std::string> &args,
                                                BenchOptions defaults, std::string &error) {
    BenchOptions options = std::move(defaults);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &name = args[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--paced") {
            options.paced = true;
            continue;
        }
        static const std::set<std::string> kValued{"--runs",    "--reply-delay", "--idle-seconds",
                                                   "--measure", "--ccsim",       "--voxa",
                                                   "--fleet",   "--agent"};
        if (kValued.count(name) == 0) {
            error = "unknown option '" + name + "'";
            return std::nullopt;
        }
        if (i + 1 == args.size()) {
            error = "option '" + name + "' needs a value";
            return std::nullopt;
        }
        const std::string &value = args[++i];
        int number = 0;
        bool good = true;
        if (name == "--runs") {
            good = ParseInteger(value, 1, kMostRuns, options.runs);
        } else if (name == "--reply-delay") {
            good = ParseInteger(value, 0, kLongestReplyDelayMs, number);
            options.replyDelay = std::chrono::milliseconds(number);
        } else if (name == "--idle-seconds") {
            good = ParseInteger(value, 1, kLongestIdleSeconds, number);
            options.idleTime = std::chrono::seconds(number);
        } else if (name == "--measure") {
            good = ParseWork(value, options.work);
        } else if (name == "--fleet") {
            good = ParseInteger(value, 1, kMostFleetSites, options.fleetSites);
        } else if (name == "--agent") {
            good = !value.empty();
            options.agentPath = value;
        } else {
            good = !value.empty();
            (name == "--ccsim" ? options.ccsimPath : options.voxaPath) = value;
        }
        if (!good) {
            error = "invalid value '" + value + "' for option '" + name + "'";
            return std::nullopt;
        }
    }
    return options;
}
