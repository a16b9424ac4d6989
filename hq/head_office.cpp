#include "head_office.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "file_io.h"
#include "fleet_topics.h"
#include "iso_time.h"
#include "mosquitto_link.h"
#include "price_change.h"
#include "site_alert.h"

namespace {

constexpr std::chrono::seconds kConnectLimit{15};
// Retained states come right after the subscription is granted; this much quiet ends them.
constexpr std::chrono::milliseconds kQuiet{700};
constexpr std::chrono::milliseconds kSlice{50};

std::string Prices(const std::map<int, std::string> &prices) {
    std::string text;
    for (const auto &[line, price] : prices)
        text += (text.empty() ? "" : " ") + std::to_string(line) + "=" + price;
    return text.empty() ? "-" : text;
}

std::string LinesOf(const ChangeResult &result) {
    std::string text;
    for (const ChangeResult::Line &line : result.lines) {
        text += (text.empty() ? "" : " ") + std::to_string(line.line) + "=" + line.price + " " +
                line.outcome;
        if (!line.shown.empty() && line.shown != line.price) text += " (shows " + line.shown + ")";
    }
    return text;
}

std::string Condition(const SiteState &state) {
    if (!state.answering) return "no answer";
    if (state.memory) return "memory must be loaded";
    if (state.failure) return "failure";
    return "ok";
}

}  // namespace

HeadOffice::HeadOffice(HeadOfficeSettings settings, std::string password, std::ostream &out,
                       std::ostream &err)
    : m_settings(std::move(settings)), m_password(std::move(password)), m_out(out), m_err(err) {}

HeadOffice::~HeadOffice() {
    // The handler of the last command holds references into its frame, which is gone.
    m_onMessage = nullptr;
    if (m_link) m_link->Close();
    std::fill(m_password.begin(), m_password.end(), '\0');
}

std::string HeadOffice::NewId(const char *prefix, std::time_t now) {
    std::tm fields{};
    gmtime_r(&now, &fields);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec);
    std::random_device random;
    char tail[16];
    std::snprintf(tail, sizeof tail, "%06x", random() & 0xFFFFFFu);
    return std::string(prefix) + "-" + stamp + "-" + tail;
}

bool HeadOffice::Connect(const std::vector<std::string> &topics) {
    m_link = std::make_unique<MosquittoLink>();
    MosquittoLink::Settings settings;
    settings.host = m_settings.broker.host;
    settings.port = m_settings.broker.port;
    settings.tls = m_settings.broker.tls;
    settings.caFile = m_settings.caFile;
    settings.certFile = m_settings.certFile;
    settings.keyFile = m_settings.keyFile;
    settings.verifyBroker = m_settings.verifyBroker;
    char host[64] = {};
    gethostname(host, sizeof host - 1);
    settings.clientId = "voxa-hq-" + std::string(host) + "-" + std::to_string(getpid());
    settings.user = m_settings.user;
    settings.password = m_password;
    settings.cleanSession = true;
    MosquittoLink::Handlers handlers;
    // The handlers outlive this call (a reconnection calls them again): they hold only
    // this object and copies.
    handlers.connected = [this, topics] {
        m_pendingSubscriptions = static_cast<int>(topics.size());
        for (const std::string &topic : topics) m_link->Subscribe(topic);
    };
    handlers.disconnected = [this](const std::string &why) { m_problem = why; };
    handlers.subscribed = [this] {
        if (--m_pendingSubscriptions <= 0) m_subscribed = true;
        m_lastMessage = std::chrono::steady_clock::now();
    };
    handlers.message = [this](const std::string &topic, const std::string &payload) {
        m_lastMessage = std::chrono::steady_clock::now();
        if (m_onMessage) m_onMessage(topic, payload);
    };
    handlers.delivered = [this](int id) { m_delivered.push_back(id); };
    std::string problem;
    if (!m_link->Open(settings, handlers, problem)) {
        m_err << "voxa-hq: " << problem << '\n';
        return false;
    }
    if (!PumpUntil([this] { return m_subscribed; }, kConnectLimit)) {
        m_err << "voxa-hq: no connection to the broker " << m_settings.brokerUrl << " within "
              << kConnectLimit.count() << " s" << (m_problem.empty() ? "" : ": " + m_problem)
              << '\n';
        return false;
    }
    return true;
}

bool HeadOffice::PumpUntil(const std::function<bool()> &done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        m_link->Loop(kSlice);
    }
    return true;
}

void HeadOffice::GatherStates() {
    PumpUntil([this] { return std::chrono::steady_clock::now() - m_lastMessage >= kQuiet; },
              std::chrono::seconds(10));
}

void HeadOffice::KeepState(const std::string &topic, const std::string &payload) {
    std::string site;
    std::string kind;
    if (!FleetTopics::Split(topic, site, kind) || kind != "state") return;
    if (const auto state = SiteState::FromJson(nlohmann::json::parse(payload, nullptr, false)))
        m_states[site] = *state;
}

bool HeadOffice::AllKnownSites(std::vector<std::string> &sites) {
    GatherStates();
    sites = KnownSites();
    if (sites.empty()) {
        m_err << "voxa-hq: no site has reported to the broker yet: name the sites with "
                 "--site\n";
        return false;
    }
    return true;
}

std::vector<std::string> HeadOffice::KnownSites() const {
    std::vector<std::string> sites;
    for (const auto &[site, state] : m_states) sites.push_back(site);
    return sites;
}

bool HeadOffice::Send(const std::vector<std::string> &sites, const std::string &payload) {
    std::set<int> ids;
    for (const std::string &site : sites) {
        const auto id = m_link->Publish(FleetTopics::Changes(site), payload, false);
        if (!id) {
            m_err << "voxa-hq: could not hand the change for " << site << " to the broker"
                  << (m_problem.empty() ? "" : ": " + m_problem) << '\n';
            return false;
        }
        ids.insert(*id);
    }
    const bool taken = PumpUntil(
        [&] {
            for (const int id : m_delivered) ids.erase(id);
            m_delivered.clear();
            return ids.empty();
        },
        kConnectLimit);
    if (!taken) m_err << "voxa-hq: the broker did not acknowledge every change in time\n";
    return taken;
}

int HeadOffice::RunPush(const Push &push) {
    std::vector<std::string> topics = {"voxa/+/results"};
    if (push.all) topics.push_back("voxa/+/state");
    std::map<std::string, ChangeResult> results;
    m_onMessage = [this](const std::string &topic, const std::string &payload) {
        KeepState(topic, payload);
    };
    if (!Connect(topics)) return kFailed;
    std::vector<std::string> sites = push.sites;
    if (push.all && !AllKnownSites(sites)) return kFailed;
    const std::time_t now = std::time(nullptr);
    PriceChange change;
    change.id = NewId("c", now);
    change.author = push.author;
    change.issuedAt = now;
    change.effectiveAt = push.at.value_or(now);
    change.prices = push.prices;
    change.confirm = push.confirm;
    if (!push.json) {
        m_err << "voxa-hq: change " << change.id << " (" << Prices(change.prices) << ") to "
              << sites.size() << (sites.size() == 1 ? " site" : " sites");
        if (push.at) m_err << " for " << IsoTime::Format(*push.at);
        m_err << "; waiting up to " << push.timeout.count() << " s for the results\n";
        m_err.flush();
    }
    if (!Send(sites, change.ToJson().dump())) return kFailed;
    return Await(change.id, sites, push.at && *push.at > now, push.timeout, push.json);
}

int HeadOffice::Await(const std::string &id, const std::vector<std::string> &sites,
                      bool scheduledIsEnough, std::chrono::seconds timeout, bool json) {
    std::map<std::string, ChangeResult> results;
    const std::set<std::string> wanted(sites.begin(), sites.end());
    m_onMessage = [&](const std::string &topic, const std::string &payload) {
        std::string site;
        std::string kind;
        if (!FleetTopics::Split(topic, site, kind) || kind != "results" || !wanted.contains(site))
            return;
        const auto result = ChangeResult::FromJson(nlohmann::json::parse(payload, nullptr, false));
        if (!result || result->id != id) return;
        const auto earlier = results.find(site);
        if (earlier != results.end() && earlier->second.final) return;
        if (!result->final && !scheduledIsEnough) {
            results[site] = *result;
            return;
        }
        results[site] = *result;
        if (!json) {
            m_out << std::left << std::setw(16) << site << ' ' << std::setw(11) << result->outcome
                  << ' ' << LinesOf(*result)
                  << (result->reason.empty() ? "" : "  " + result->reason)
                  << (result->duplicate ? "  (answered before)" : "") << '\n';
            m_out.flush();
        }
    };
    const auto answered = [&] {
        for (const std::string &site : sites) {
            const auto found = results.find(site);
            if (found == results.end()) return false;
            if (!found->second.final && !scheduledIsEnough) return false;
        }
        return true;
    };
    PumpUntil(answered, timeout);
    int status = kOk;
    std::vector<std::string> failed;
    nlohmann::ordered_json report;
    report["id"] = id;
    report["sites"] = nlohmann::ordered_json::array();
    for (const std::string &site : sites) {
        const auto found = results.find(site);
        const bool have = found != results.end() && (found->second.final || scheduledIsEnough);
        const bool good = have && (ChangeResult::Succeeded(found->second.outcome) ||
                                   found->second.outcome == ChangeResult::kScheduled ||
                                   found->second.outcome == ChangeResult::kCancelled);
        if (!good) failed.push_back(site);
        nlohmann::ordered_json entry;
        entry["site"] = site;
        if (have) {
            entry["outcome"] = found->second.outcome;
            entry["result"] = found->second.ToJson();
        } else {
            entry["outcome"] = "no answer";
            if (!json) {
                m_out << std::left << std::setw(16) << site << ' ' << std::setw(11) << "no answer"
                      << " within " << timeout.count()
                      << " s (the broker keeps the change for the site until it is back)\n";
            }
        }
        report["sites"].push_back(entry);
    }
    if (json) m_out << report.dump() << '\n';
    m_out.flush();
    if (!failed.empty()) {
        status = kNotConfirmed;
        std::string names;
        for (const std::string &site : failed) names += (names.empty() ? "" : ", ") + site;
        m_err << "voxa-hq: " << failed.size() << " of " << sites.size()
              << (sites.size() == 1 ? " site" : " sites") << " did not confirm: " << names << '\n';
    }
    return status;
}

int HeadOffice::RunStatus(const std::vector<std::string> &sites, bool json) {
    m_onMessage = [this](const std::string &topic, const std::string &payload) {
        KeepState(topic, payload);
    };
    if (!Connect({"voxa/+/state"})) return kFailed;
    GatherStates();
    std::vector<std::string> shown = sites.empty() ? KnownSites() : sites;
    nlohmann::ordered_json report = nlohmann::ordered_json::array();
    // The table's rows first, so that each column is as wide as its widest cell.
    std::vector<std::vector<std::string>> rows = {
        {"SITE", "ONLINE", "PRICES", "LAST CHANGE", "OUTCOME", "CONTROLLER"}};
    int missing = 0;
    for (const std::string &site : shown) {
        const auto found = m_states.find(site);
        if (found == m_states.end()) {
            ++missing;
            report.push_back({{"site", site}, {"online", false}, {"known", false}});
            rows.push_back({site, "-", "-", "-", "-", "never reported"});
            continue;
        }
        const SiteState &state = found->second;
        report.push_back(state.ToJson());
        std::string controller = Condition(state);
        if (state.clockOffsetSeconds != 0)
            controller += ", clock " + std::to_string(state.clockOffsetSeconds) + " s behind";
        if (!state.waiting.empty())
            controller += ", " + std::to_string(state.waiting.size()) + " waiting";
        rows.push_back({site, state.online ? "yes" : "no", Prices(state.prices),
                        state.lastChangeId.empty() ? "-" : state.lastChangeId,
                        state.lastChangeOutcome.empty() ? "-" : state.lastChangeOutcome,
                        controller});
    }
    if (!json) {
        std::vector<std::size_t> widths(rows[0].size(), 0);
        for (const auto &row : rows) {
            for (std::size_t i = 0; i < row.size(); ++i)
                widths[i] = std::max(widths[i], row[i].size());
        }
        for (const auto &row : rows) {
            std::string line;
            for (std::size_t i = 0; i < row.size(); ++i) {
                line += row[i];
                if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
            }
            m_out << line << '\n';
        }
    }
    if (json) m_out << report.dump() << '\n';
    m_out.flush();
    if (shown.empty() && !json) m_err << "voxa-hq: no site has reported to the broker yet\n";
    return missing > 0 ? kNotConfirmed : kOk;
}

int HeadOffice::RunWatch(const std::string &onAlert, int count, bool json,
                         const std::atomic<bool> &stop) {
    int seen = 0;
    m_onMessage = [&](const std::string &topic, const std::string &payload) {
        std::string site;
        std::string kind;
        if (!FleetTopics::Split(topic, site, kind)) return;
        const nlohmann::json parsed = nlohmann::json::parse(payload, nullptr, false);
        if (kind == "results") {
            const auto result = ChangeResult::FromJson(parsed);
            if (!result) return;
            ++seen;
            if (json) {
                m_out << nlohmann::ordered_json{{"site", site}, {"result", result->ToJson()}}.dump()
                      << '\n';
            } else {
                m_out << IsoTime::Format(std::time(nullptr)) << ' ' << site << " result "
                      << result->id << ' ' << result->outcome << ' ' << LinesOf(*result)
                      << (result->reason.empty() ? "" : "  " + result->reason) << '\n';
            }
        } else if (kind == "alerts") {
            const auto alert = SiteAlert::FromJson(parsed);
            if (!alert) return;
            ++seen;
            if (json) {
                m_out << nlohmann::ordered_json{{"site", site}, {"alert", alert->ToJson()}}.dump()
                      << '\n';
            } else {
                m_out << IsoTime::Format(alert->time) << ' ' << site << " ALERT " << alert->kind
                      << ": " << alert->text << '\n';
            }
            m_out.flush();
            if (!onAlert.empty()) RunAlertCommand(onAlert, alert->Payload());
        }
        m_out.flush();
    };
    if (!Connect({"voxa/+/results", "voxa/+/alerts"})) return kFailed;
    if (!json) {
        m_err << "voxa-hq: watching results and alerts of every site (Ctrl+C ends)\n";
        m_err.flush();
    }
    while (!stop.load() && (count <= 0 || seen < count)) m_link->Loop(kSlice * 4);
    return kOk;
}

void HeadOffice::RunAlertCommand(const std::string &command, const std::string &payload) const {
    const auto alert = SiteAlert::FromJson(nlohmann::json::parse(payload, nullptr, false));
    int input[2];
    if (pipe(input) != 0) {
        m_err << "voxa-hq: RunAlertCommand(): pipe() failed\n";
        return;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        m_err << "voxa-hq: RunAlertCommand(): fork() failed\n";
        FileIo::Close(input[0]);
        FileIo::Close(input[1]);
        return;
    }
    if (pid == 0) {
        dup2(input[0], STDIN_FILENO);
        close(input[0]);
        close(input[1]);
        if (alert) {
            setenv("VOXA_SITE", alert->site.c_str(), 1);
            setenv("VOXA_ALERT_KIND", alert->kind.c_str(), 1);
            setenv("VOXA_ALERT_TEXT", alert->text.c_str(), 1);
            setenv("VOXA_ALERT_TIME", IsoTime::Format(alert->time).c_str(), 1);
        }
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    FileIo::Close(input[0]);
    const std::string line = payload + "\n";
    FileIo::WriteAll(input[1], line.data(), line.size());
    FileIo::Close(input[1]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        m_err << "voxa-hq: the alert command failed (status "
              << (WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status))
              << "): " << command << '\n';
    }
}

int HeadOffice::RunCancel(const std::string &id, std::vector<std::string> sites, bool all,
                          const std::string &author, std::chrono::seconds timeout, bool json) {
    std::vector<std::string> topics = {"voxa/+/results"};
    if (all) topics.push_back("voxa/+/state");
    m_onMessage = [this](const std::string &topic, const std::string &payload) {
        KeepState(topic, payload);
    };
    if (!Connect(topics)) return kFailed;
    if (all && !AllKnownSites(sites)) return kFailed;
    const std::time_t now = std::time(nullptr);
    PriceChange cancel;
    cancel.id = NewId("x", now);
    cancel.author = author;
    cancel.issuedAt = now;
    cancel.cancel = id;
    if (!Send(sites, cancel.ToJson().dump())) return kFailed;
    return Await(cancel.id, sites, false, timeout, json);
}
