#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_program.h"

class MosquittoLink;

// The fleet on one machine: a Mosquitto broker set up by scripts/fleet-broker (TLS,
// passwords, the ACL), and for each site voxa-ccsim on a pseudo-terminal and voxa-agent
// in a station folder of its own. Head office's side is a broker client in the bench,
// which pushes one change and times it until every site's result is in.
class FleetBench {
public:
    using Nanos = std::chrono::nanoseconds;

    struct Programs {
        std::string ccsim;
        std::string agent;
        std::string brokerScript;
    };

    // The change's transactions at one site, with the read-back, on the simulator's six
    // lines: the number of lines, six formats, the line's price, Set line price and the
    // read-back.
    static constexpr int kChangeTransactions = 10;
    static constexpr std::size_t kMaxSites = 120;

    FleetBench(Programs programs, std::string folder, int sites);
    ~FleetBench();
    FleetBench(const FleetBench &) = delete;
    FleetBench &operator=(const FleetBench &) = delete;

    // Sets everything up and waits until every agent reports its site online; false with
    // the reason in error.
    bool Start(std::string &error);
    // Pushes one change to the first `sites` sites and returns the time from the push to
    // the last final result; nothing (error set) when a site did not confirm in time.
    std::optional<Nanos> Push(int sites, const std::string &price, std::string &error);

private:
    std::string Site(int index) const;
    void Pump(std::chrono::milliseconds slice);

    Programs m_programs;
    std::string m_folder;
    int m_sites;
    int m_port = 0;
    ChildProgram m_broker;
    std::vector<std::unique_ptr<ChildProgram>> m_simulators;
    std::vector<std::unique_ptr<ChildProgram>> m_agents;
    std::unique_ptr<MosquittoLink> m_link;
    struct Received {
        std::string topic;
        std::string payload;
    };
    std::vector<Received> m_received;
    bool m_subscribed = false;
    std::vector<int> m_delivered;
};
