#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "broker_process.h"
#include "child_process.h"
#include "mosquitto_link.h"
#include "price_log_file.h"
#include "temporary_folder.h"

// A client of the test's own on the broker, as head office or as a site would be.
class TestClient {
public:
    struct Message {
        std::string topic;
        std::string payload;
    };

    // Connects as user with its password and subscribes to the topics; false when the
    // broker did not take it within a few seconds.
    bool Connect(const BrokerProcess &broker, const std::string &user,
                 const std::vector<std::string> &topics, bool cleanSession = true);
    // Works the connection until done() or the limit.
    bool WaitFor(const std::function<bool()> &done, std::chrono::milliseconds limit);
    // Publishes and waits for the broker's acknowledgement.
    bool Publish(const std::string &topic, const std::string &payload);
    // The messages received on topic.
    std::vector<std::string> On(const std::string &topic) const;

    std::vector<Message> messages;
    MosquittoLink link;
    std::string problem;

private:
    int m_subscribed = 0;
    std::vector<int> m_delivered;
};

// One run of voxa-hq to its end.
struct HqRun {
    std::optional<int> status;
    std::string out;
    std::string err;
};

// A broker with three sites, and for each site on demand a station folder with voxa-ccsim
// on a pseudo-terminal and voxa-agent serving it.
class FleetProcess : public ::testing::Test {
protected:
    static inline const std::vector<std::string> kSites = {"north", "south", "east"};

    void SetUp() override;

    // The station's folder with its voxa.ini and its simulated controller; the extra lines
    // go into voxa.ini's [Fleet] section, before (and so over) the broker's own.
    void AddStation(const std::string &site, const std::string &extraFleetLines = "",
                    const std::vector<std::string> &simulatorOptions = {});
    // Starts the station's agent and waits until it is connected to the broker.
    void StartAgent(const std::string &site);
    // Stops it with SIGTERM, as systemd does, and returns what it wrote.
    std::string StopAgent(const std::string &site);

    HqRun Hq(std::vector<std::string> args,
             std::chrono::milliseconds limit = std::chrono::seconds(60));

    std::filesystem::path StationFolder(const std::string &site) const {
        return m_folder.Path() / site;
    }
    // The rows of the station's price log.
    std::vector<PriceLogFile::Entry> PriceRows(const std::string &site) const;
    // Waits until the station's price log has count rows.
    bool WaitForPriceRows(const std::string &site, std::size_t count,
                          std::chrono::milliseconds limit);

    TemporaryFolder m_folder{"voxa-fleet-test"};
    std::unique_ptr<BrokerProcess> m_broker;
    struct Station {
        std::unique_ptr<ChildProcess> simulator;
        std::unique_ptr<ChildProcess> agent;
    };
    std::map<std::string, Station> m_stations;
};
