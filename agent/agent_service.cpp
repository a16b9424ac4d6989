#include "agent_service.h"

#include <unistd.h>

#include <ostream>
#include <string>
#include <vector>

#include "change_store.h"
#include "controller_station.h"
#include "device_map.h"
#include "fleet_settings.h"
#include "fleet_topics.h"
#include "mosquitto_link.h"
#include "settings_file.h"
#include "site_agent.h"
#include "system_link_platform.h"
#include "voxa_version.h"

namespace {

constexpr std::chrono::milliseconds kLoopSlice{200};
constexpr std::chrono::seconds kFirstConnection{5};

}  // namespace

int AgentService::Run(const std::atomic<bool> &stop) {
    SettingsFile settingsFile(m_folder / "voxa.ini");
    if (!settingsFile.Load()) {
        m_log << "voxa-agent: cannot read " << (m_folder / "voxa.ini").string()
              << ": run voxa-agent in the station's VOXA folder (--folder DIR names it)"
              << std::endl;
        return kBadSettings;
    }
    std::vector<std::string> problems;
    const FleetSettings fleet = FleetSettings::Read(settingsFile, m_folder, problems);
    for (const std::string &problem : problems) m_log << "voxa-agent: " << problem << std::endl;
    if (!problems.empty()) return kBadSettings;
    std::string password;
    std::string reason;
    if (!FleetSettings::ReadPassword(fleet.passwordFile, password, reason)) {
        m_log << "voxa-agent: " << reason << std::endl;
        return kBadSettings;
    }
    if (!fleet.broker.tls) {
        m_log << "voxa-agent: the broker " << fleet.brokerUrl
              << " is reached without TLS: the password goes over the network in the clear"
              << std::endl;
    } else if (!fleet.verifyBroker) {
        m_log << "voxa-agent: the broker's certificate is not checked ([Fleet] VerifyBroker=No)"
              << std::endl;
    }

    ChangeStore store(m_folder / ChangeStore::kFileName);
    if (!store.Load(reason)) {
        m_log << "voxa-agent: " << reason << ": move it aside to start without the changes it holds"
              << std::endl;
        return kFailed;
    }

    DeviceMap devices;
    for (int n = 1; n <= 9; ++n) {
        const std::string path = settingsFile.ReadString("Devices", "COM" + std::to_string(n), "");
        if (!path.empty()) devices.Set(n, path);
    }
    SystemLinkPlatform platform(devices);
    ControllerStation station(platform, m_folder, m_log);
    station.SetLineWaitHook(
        [&platform](std::chrono::milliseconds wait) { platform.SetLineWait(wait); });

    MosquittoLink link;
    SiteAgent::Options options{fleet.site, fleet.pollMinutes, fleet.maxLateMinutes, kVoxaVersion};
    SiteAgent agent(options, store, station, link, m_log);
    if (!agent.Start(reason)) {
        m_log << "voxa-agent: " << reason << std::endl;
        return kFailed;
    }

    MosquittoLink::Settings settings;
    settings.host = fleet.broker.host;
    settings.port = fleet.broker.port;
    settings.tls = fleet.broker.tls;
    settings.caFile = fleet.caFile;
    settings.certFile = fleet.certFile;
    settings.keyFile = fleet.keyFile;
    settings.verifyBroker = fleet.verifyBroker;
    settings.clientId = "voxa-agent-" + fleet.site;
    settings.user = fleet.user;
    settings.password = password;
    std::fill(password.begin(), password.end(), '\0');
    settings.cleanSession = false;
    settings.willTopic = FleetTopics::State(fleet.site);
    settings.willPayload = agent.OfflineState().Payload();
    MosquittoLink::Handlers handlers;
    handlers.connected = [&] {
        m_log << "voxa-agent: connected to " << fleet.brokerUrl << " as " << fleet.user
              << " for site " << fleet.site << std::endl;
        agent.Connected();
    };
    handlers.disconnected = [&](const std::string &why) {
        m_log << "voxa-agent: " << why << "; trying again" << std::endl;
        link.SetWill(FleetTopics::State(fleet.site), agent.OfflineState().Payload());
    };
    handlers.message = [&](const std::string &topic, const std::string &payload) {
        agent.Received(topic, payload);
    };
    handlers.delivered = [&](int id) { agent.Delivered(id); };
    if (!link.Open(settings, handlers, reason)) {
        m_log << "voxa-agent: " << reason << std::endl;
        return kBadSettings;
    }
    m_log << "voxa-agent: serving site " << fleet.site << " from " << m_folder.string() << " on "
          << station.PortName() << std::endl;
    // The connection first, so that the first poll of the controller (some seconds) does
    // not keep the broker's acknowledgement waiting.
    const auto connectBy = std::chrono::steady_clock::now() + kFirstConnection;
    while (!stop.load() && !link.IsConnected() && std::chrono::steady_clock::now() < connectBy)
        link.Loop(kLoopSlice);
    while (!stop.load()) {
        link.Loop(kLoopSlice);
        if (stop.load()) break;
        agent.Tick();
    }
    if (link.IsConnected()) {
        link.Publish(FleetTopics::State(fleet.site), agent.OfflineState().Payload(), true);
        link.Loop(kLoopSlice);
    }
    link.Close();
    m_log << "voxa-agent: stopped" << std::endl;
    return kStopped;
}
