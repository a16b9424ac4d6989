#include "fleet_bench.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "change_result.h"
#include "child_guard.h"
#include "fleet_topics.h"
#include "mosquitto_link.h"
#include "price_change.h"
#include "site_state.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string ReadFile(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string MosquittoPath() {
    for (const char *path : {"/usr/sbin/mosquitto", "/usr/bin/mosquitto"}) {
        if (access(path, X_OK) == 0) return path;
    }
    return {};
}

}  // namespace

FleetBench::FleetBench(Programs programs, std::string folder, int sites)
    : m_programs(std::move(programs)), m_folder(std::move(folder)), m_sites(sites) {}

FleetBench::~FleetBench() {
    if (m_link) m_link->Close();
    for (auto &agent : m_agents) agent->Stop();
    for (auto &simulator : m_simulators) simulator->Stop();
    m_broker.Stop();
}

std::string FleetBench::Site(int index) const {
    char name[16];
    std::snprintf(name, sizeof name, "site-%03d", index + 1);
    return name;
}

void FleetBench::Pump(std::chrono::milliseconds slice) {
    m_link->Loop(slice);
}

bool FleetBench::Start(std::string &error) {
    const std::string brokerFolder = m_folder + "/broker";
    ChildProgram::Launch setup{
        m_programs.brokerScript, {brokerFolder, "auto"}, "", {}, m_folder + "/broker-setup.log"};
    for (int i = 0; i < m_sites; ++i) setup.args.push_back(Site(i));
    ChildProgram script;
    if (!script.Start(setup, error)) return false;
    while (script.Running()) std::this_thread::sleep_for(20ms);
    if (script.ExitStatus() != 0) {
        error = "scripts/fleet-broker failed: " + ReadFile(setup.outputFile);
        return false;
    }
    m_port = std::stoi(ReadFile(setup.outputFile));
    const std::string mosquitto = MosquittoPath();
    if (mosquitto.empty()) {
        error = "mosquitto is not installed (scripts/setup installs it)\n";
        return false;
    }
    if (!m_broker.Start(
            {mosquitto, {"-c", brokerFolder + "/mosquitto.conf"}, "", {}, m_folder + "/broker.log"},
            error) ||
        !ChildGuard::Add(m_broker.Pid())) {
        return false;
    }

    for (int i = 0; i < m_sites; ++i) {
        const std::string station = m_folder + "/" + Site(i);
        std::filesystem::create_directories(station);
        auto simulator = std::make_unique<ChildProgram>();
        if (!simulator->Start({m_programs.ccsim,
                               {"--link", station + "/cc-line"},
                               "",
                               {},
                               station + "/ccsim.log"},
                              error)) {
            return false;
        }
        ChildGuard::Add(simulator->Pid());
        m_simulators.push_back(std::move(simulator));
        std::ofstream(station + "/voxa.ini")
            << "[Devices]\nCOM1=" << station << "/cc-line\n\n[Tags]\ntag0=Regular\n\n"
            << ReadFile(brokerFolder + "/" + Site(i) + ".fleet") << "PollMinutes=600\n";
    }
    for (int i = 0; i < m_sites; ++i) {
        const std::string station = m_folder + "/" + Site(i);
        for (int step = 0; step < 250 && !std::filesystem::exists(station + "/cc-line"); ++step)
            std::this_thread::sleep_for(20ms);
        auto agent = std::make_unique<ChildProgram>();
        if (!agent->Start({m_programs.agent, {"--folder", station}, "", {}, station + "/agent.log"},
                          error)) {
            return false;
        }
        ChildGuard::Add(agent->Pid());
        m_agents.push_back(std::move(agent));
    }

    m_link = std::make_unique<MosquittoLink>();
    MosquittoLink::Settings settings;
    settings.host = "localhost";
    settings.port = m_port;
    settings.caFile = brokerFolder + "/ca.crt";
    settings.clientId = "voxa-bench-hq";
    settings.user = "hq";
    std::string password = ReadFile(brokerFolder + "/hq.password");
    while (!password.empty() && password.back() == '\n') password.pop_back();
    settings.password = password;
    MosquittoLink::Handlers handlers;
    handlers.connected = [this] {
        m_link->Subscribe("voxa/+/results");
        m_link->Subscribe("voxa/+/state");
    };
    handlers.subscribed = [this] { m_subscribed = true; };
    handlers.message = [this](const std::string &topic, const std::string &payload) {
        m_received.push_back({topic, payload});
    };
    handlers.delivered = [this](int id) { m_delivered.push_back(id); };
    if (!m_link->Open(settings, handlers, error)) return false;

    // Every agent online, its first reading of the controller done.
    std::set<std::string> ready;
    const auto end = Clock::now() + 180s;
    while (static_cast<int>(ready.size()) < m_sites) {
        if (ChildGuard::StopSignal() != 0) return false;
        if (Clock::now() >= end) {
            error = std::to_string(ready.size()) + " of " + std::to_string(m_sites) +
                    " agents reported their site within 180 s (see " + m_folder + ")\n";
            return false;
        }
        Pump(50ms);
        for (const Received &message : m_received) {
            std::string site;
            std::string kind;
            if (!FleetTopics::Split(message.topic, site, kind) || kind != "state") continue;
            const auto state =
                SiteState::FromJson(nlohmann::json::parse(message.payload, nullptr, false));
            if (state && state->online && state->readAt != 0) ready.insert(site);
        }
        m_received.clear();
    }
    return true;
}

std::optional<FleetBench::Nanos> FleetBench::Push(int sites, const std::string &price,
                                                  std::string &error) {
    PriceChange change;
    static int counter = 0;
    change.id = "bench-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    change.author = "voxa-bench";
    change.issuedAt = std::time(nullptr);
    change.effectiveAt = change.issuedAt;
    change.prices = {{1, price}};
    change.confirm = true;
    const std::string payload = change.ToJson().dump();
    m_received.clear();
    const auto start = Clock::now();
    for (int i = 0; i < sites; ++i) {
        if (!m_link->Publish(FleetTopics::Changes(Site(i)), payload, false)) {
            error = "the broker did not take the change for " + Site(i) + "\n";
            return std::nullopt;
        }
    }
    std::map<std::string, std::string> outcomes;
    const auto end = start + 120s;
    while (static_cast<int>(outcomes.size()) < sites) {
        if (ChildGuard::StopSignal() != 0) return std::nullopt;
        if (Clock::now() >= end) {
            error = std::to_string(outcomes.size()) + " of " + std::to_string(sites) +
                    " sites answered within 120 s (see " + m_folder + ")\n";
            return std::nullopt;
        }
        Pump(5ms);
        for (const Received &message : m_received) {
            std::string site;
            std::string kind;
            if (!FleetTopics::Split(message.topic, site, kind) || kind != "results") continue;
            const auto result =
                ChangeResult::FromJson(nlohmann::json::parse(message.payload, nullptr, false));
            if (result && result->id == change.id && result->final) {
                outcomes[site] =
                    result->outcome + (result->reason.empty() ? "" : " (" + result->reason + ")");
            }
        }
        m_received.clear();
    }
    const auto took = Clock::now() - start;
    for (const auto &[site, outcome] : outcomes) {
        if (outcome != ChangeResult::kConfirmed) {
            error = site + " answered " + outcome + " (see " + m_folder + "/" + site + ")\n";
            return std::nullopt;
        }
    }
    return std::chrono::duration_cast<Nanos>(took);
}
