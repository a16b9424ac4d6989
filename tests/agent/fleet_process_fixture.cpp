#include "fleet_process_fixture.h"

#include <thread>

#include "file_contents.h"
#include "fleet_topics.h"

using namespace std::chrono_literals;

bool TestClient::Connect(const BrokerProcess &broker, const std::string &user,
                         const std::vector<std::string> &topics, bool cleanSession) {
    MosquittoLink::Settings settings;
    settings.host = "localhost";
    settings.port = broker.Port();
    settings.caFile = broker.Folder() / "ca.crt";
    settings.clientId = "test-" + user + "-" + std::to_string(getpid());
    settings.user = user;
    settings.password = broker.Password(user);
    settings.cleanSession = cleanSession;
    MosquittoLink::Handlers handlers;
    const int wanted = static_cast<int>(topics.size());
    handlers.connected = [this, topics] {
        for (const std::string &topic : topics) link.Subscribe(topic);
    };
    handlers.subscribed = [this] { ++m_subscribed; };
    handlers.disconnected = [this](const std::string &why) { problem = why; };
    handlers.message = [this](const std::string &topic, const std::string &payload) {
        messages.push_back({topic, payload});
    };
    handlers.delivered = [this](int id) { m_delivered.push_back(id); };
    if (!link.Open(settings, handlers, problem)) return false;
    // A refusal ends the wait at once; the broker is on this machine and answers fast.
    return WaitFor(
               [&] { return (link.IsConnected() && m_subscribed >= wanted) || !problem.empty(); },
               10s) &&
           link.IsConnected();
}

bool TestClient::WaitFor(const std::function<bool()> &done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        link.Loop(20ms);
    }
    return true;
}

bool TestClient::Publish(const std::string &topic, const std::string &payload) {
    const auto id = link.Publish(topic, payload, false);
    if (!id) return false;
    return WaitFor(
        [&] { return std::find(m_delivered.begin(), m_delivered.end(), *id) != m_delivered.end(); },
        10s);
}

std::vector<std::string> TestClient::On(const std::string &topic) const {
    std::vector<std::string> found;
    for (const Message &message : messages) {
        if (message.topic == topic) found.push_back(message.payload);
    }
    return found;
}

void FleetProcess::SetUp() {
    m_broker = std::make_unique<BrokerProcess>(m_folder.Path() / "broker", kSites);
    ASSERT_TRUE(m_broker->Start()) << m_broker->Problem();
}

void FleetProcess::AddStation(const std::string &site, const std::string &extraFleetLines,
                              const std::vector<std::string> &simulatorOptions) {
    const std::filesystem::path folder = StationFolder(site);
    std::filesystem::create_directories(folder);
    const std::string line = (folder / "cc-line").string();
    // Two lines keep each change to a handful of transactions.
    std::vector<std::string> args = {"--lines", "2", "--link", line};
    args.insert(args.end(), simulatorOptions.begin(), simulatorOptions.end());
    auto simulator = std::make_unique<ChildProcess>(VOXA_CCSIM_PATH, args);
    const auto announcement = simulator->ReadLine(5s);
    ASSERT_TRUE(announcement && announcement->find("listening") != std::string::npos)
        << "voxa-ccsim did not announce its line";
    // The first of two equal keys counts: the extra lines go first in the section.
    std::string fleet = m_broker->FleetSection(site);
    fleet.insert(fleet.find('\n') + 1, extraFleetLines + "PollMinutes=60\n");
    WriteWholeFile(folder / "voxa.ini", "[Devices]\nCOM1=" + line +
                                            "\n\n[Tags]\ntag0=Regular\ntag1=Premium\n\n" + fleet);
    m_stations[site].simulator = std::move(simulator);
}

void FleetProcess::StartAgent(const std::string &site) {
    Station &station = m_stations[site];
    station.agent = std::make_unique<ChildProcess>(
        VOXA_AGENT_PATH, std::vector<std::string>{"--folder", StationFolder(site).string()});
    ASSERT_TRUE(station.agent->Started());
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < end) {
        const auto line = station.agent->ReadErrorLine(1s);
        if (line && line->rfind("voxa-agent: connected to", 0) == 0) return;
    }
    FAIL() << "voxa-agent for " << site << " did not connect: " << station.agent->ErrText();
}

std::string FleetProcess::StopAgent(const std::string &site) {
    Station &station = m_stations[site];
    if (!station.agent) return {};
    station.agent->Terminate();
    std::string text = station.agent->ErrText();
    station.agent.reset();
    return text;
}

HqRun FleetProcess::Hq(std::vector<std::string> args, std::chrono::milliseconds limit) {
    args.insert(args.begin(), {"--config", m_broker->HeadOfficeSettings().string()});
    ChildProcess hq(VOXA_HQ_PATH, args);
    HqRun run;
    run.status = hq.Finish(limit);
    run.out = hq.OutText();
    run.err = hq.ErrText();
    return run;
}

std::vector<PriceLogFile::Entry> FleetProcess::PriceRows(const std::string &site) const {
    PriceLogFile log(StationFolder(site), "test");
    log.Prepare();
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    log.Read(entries, reason);
    return entries;
}

bool FleetProcess::WaitForPriceRows(const std::string &site, std::size_t count,
                                    std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (PriceRows(site).size() < count) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}
