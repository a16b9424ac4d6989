#include "hq_command.h"

#include <ctime>
#include <optional>
#include <ostream>

#include "fleet_settings.h"
#include "head_office.h"
#include "head_office_settings.h"
#include "iso_time.h"
#include "price_log_file.h"
#include "voxa_version.h"

namespace {

constexpr int kLongestTimeout = 86400;

int Usage(std::ostream &err, const std::string &problem) {
    err << "voxa-hq: " << problem << " (see voxa-hq --help)\n";
    return HeadOffice::kUsage;
}

std::optional<int> Number(const std::string &text, int lowest, int highest) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    const int value = std::stoi(text);
    if (value < lowest || value > highest) return std::nullopt;
    return value;
}

// "a,b,c" added to sites; false for an empty or malformed id.
bool AddSites(const std::string &list, std::vector<std::string> &sites) {
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = list.find(',', at);
        const std::string site = list.substr(at, comma == std::string::npos ? comma : comma - at);
        if (!FleetSettings::ValidSite(site)) return false;
        sites.push_back(site);
        if (comma == std::string::npos) return true;
        at = comma + 1;
    }
}

}  // namespace

void HqCommand::PrintHelp(std::ostream &out) {
    out << "Usage: voxa-hq [--config FILE] COMMAND ...\n"
           "\n"
           "Head office's side of the stations' price signs, through the MQTT broker.\n"
           "\n"
           "  push (--site SITE[,SITE...] | --all) LINE=PRICE... [--at TIME] [--confirm]\n"
           "       [--author NAME] [--timeout SECONDS] [--json]\n"
           "      send new prices and wait for each site's result; TIME is UTC or with its\n"
           "      offset, such as 2026-12-08T06:00:00Z (a change for later is confirmed as\n"
           "      scheduled); --confirm has every price read back from the sign\n"
           "  status [--site SITE[,SITE...]] [--json]\n"
           "      one line per site: online, prices, last change and its outcome, controller\n"
           "  watch [--on-alert COMMAND] [--count N] [--json]\n"
           "      results and alerts as they come; COMMAND runs through /bin/sh for each\n"
           "      alert with VOXA_SITE, VOXA_ALERT_KIND, VOXA_ALERT_TEXT, VOXA_ALERT_TIME set\n"
           "      and the alert's JSON on its standard input\n"
           "  cancel ID (--site SITE[,SITE...] | --all) [--timeout SECONDS] [--json]\n"
           "      cancel a change that is still waiting for its time\n"
           "\n"
           "  --config FILE   the settings (default ./voxa-hq.ini, section [HeadOffice])\n"
           "  --help, --version\n"
           "\n"
           "Exit status: 0 done (every site confirmed), 1 the broker could not be used,\n"
           "2 bad arguments or settings, 4 a site refused, failed or did not answer in time.\n";
}

int HqCommand::Run(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err,
                   const std::atomic<bool> &stop) {
    std::string config = HeadOfficeSettings::kDefaultFile;
    std::size_t at = 0;
    for (; at < arguments.size(); ++at) {
        const std::string &arg = arguments[at];
        if (arg == "--help" || arg == "-h") {
            PrintHelp(out);
            return HeadOffice::kOk;
        }
        if (arg == "--version") {
            out << "voxa-hq " << kVoxaVersion << '\n';
            return HeadOffice::kOk;
        }
        if (arg == "--config") {
            if (at + 1 >= arguments.size() || arguments[at + 1].empty())
                return Usage(err, "--config needs a file");
            config = arguments[++at];
            continue;
        }
        break;
    }
    if (at >= arguments.size()) return Usage(err, "no command: push, status, watch or cancel");
    const std::string command = arguments[at++];
    if (command != "push" && command != "status" && command != "watch" && command != "cancel")
        return Usage(err, "unknown command " + command);

    HeadOffice::Push push;
    push.author = PriceLogFile::ProcessUser();
    std::string onAlert;
    std::string cancelId;
    int count = 0;
    for (; at < arguments.size(); ++at) {
        const std::string &arg = arguments[at];
        const auto value = [&](std::string &target) {
            if (at + 1 >= arguments.size() || arguments[at + 1].empty()) return false;
            target = arguments[++at];
            return true;
        };
        std::string text;
        if (arg == "--json") {
            push.json = true;
        } else if (arg == "--all" && (command == "push" || command == "cancel")) {
            push.all = true;
        } else if (arg == "--site" && command != "watch") {
            if (!value(text) || !AddSites(text, push.sites))
                return Usage(err,
                             "--site needs site ids (letters, digits, '-', '_', '.'), "
                             "separated by commas");
        } else if (arg == "--at" && command == "push") {
            if (!value(text) || !IsoTime::Parse(text))
                return Usage(err,
                             "--at needs a time such as 2026-12-08T06:00:00Z or "
                             "2026-12-08T07:00:00+01:00");
            push.at = IsoTime::Parse(text);
        } else if (arg == "--confirm" && command == "push") {
            push.confirm = true;
        } else if (arg == "--author" && command == "push") {
            if (!value(push.author)) return Usage(err, "--author needs a name");
        } else if (arg == "--timeout" && (command == "push" || command == "cancel")) {
            const auto seconds = value(text) ? Number(text, 1, kLongestTimeout) : std::nullopt;
            if (!seconds)
                return Usage(err, "--timeout needs a number of seconds from 1 to " +
                                      std::to_string(kLongestTimeout));
            push.timeout = std::chrono::seconds(*seconds);
        } else if (arg == "--on-alert" && command == "watch") {
            if (!value(onAlert)) return Usage(err, "--on-alert needs a command");
        } else if (arg == "--count" && command == "watch") {
            const auto number = value(text) ? Number(text, 1, 1000000) : std::nullopt;
            if (!number) return Usage(err, "--count needs a number from 1");
            count = *number;
        } else if (command == "push" && arg.find('=') != std::string::npos && arg[0] != '-') {
            const std::size_t equals = arg.find('=');
            const auto line = Number(arg.substr(0, equals), 1, 8);
            const std::string price = arg.substr(equals + 1);
            if (!line || price.empty())
                return Usage(err, "\"" + arg + "\" is not LINE=PRICE with a line from 1 to 8");
            if (push.prices.contains(*line))
                return Usage(err, "line " + std::to_string(*line) + " is given twice");
            push.prices[*line] = price;
        } else if (command == "cancel" && cancelId.empty() && !arg.empty() && arg[0] != '-') {
            cancelId = arg;
        } else {
            return Usage(err, "unexpected \"" + arg + "\" for " + command);
        }
    }
    if (command == "push" || command == "cancel") {
        if (push.all == !push.sites.empty())
            return Usage(err, command + " needs either --site SITE[,SITE...] or --all");
    }
    if (command == "push" && push.prices.empty())
        return Usage(err, "push needs at least one LINE=PRICE, such as 1=3.459");
    if (command == "cancel" && cancelId.empty())
        return Usage(err, "cancel needs the id of the change to cancel");

    HeadOfficeSettings settings;
    std::vector<std::string> problems;
    if (!HeadOfficeSettings::Read(config, settings, problems)) {
        for (const std::string &problem : problems) err << "voxa-hq: " << problem << '\n';
        return HeadOffice::kUsage;
    }
    std::string password;
    std::string reason;
    if (!FleetSettings::ReadPassword(settings.passwordFile, password, reason)) {
        err << "voxa-hq: " << reason << '\n';
        return HeadOffice::kUsage;
    }
    HeadOffice office(settings, password, out, err);
    std::fill(password.begin(), password.end(), '\0');
    if (command == "push") return office.RunPush(push);
    if (command == "status") return office.RunStatus(push.sites, push.json);
    if (command == "watch") return office.RunWatch(onAlert, count, push.json, stop);
    return office.RunCancel(cancelId, push.sites, push.all, push.author, push.timeout, push.json);
}
