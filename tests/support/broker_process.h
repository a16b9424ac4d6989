#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

// A Mosquitto broker of the test's own, set up by scripts/fleet-broker (TLS, a password per
// site and for head office, the ACL) in a folder and listening on a free localhost port.
// It can be stopped and started again on the same port with the sessions it kept.
class BrokerProcess {
public:
    // Sets the broker up in folder for the sites; Problem() says what failed.
    BrokerProcess(std::filesystem::path folder, std::vector<std::string> sites);
    ~BrokerProcess();
    BrokerProcess(const BrokerProcess &) = delete;
    BrokerProcess &operator=(const BrokerProcess &) = delete;

    // Starts the broker and waits until it takes connections; false with Problem() set.
    // Started again after Stop(), it keeps its port.
    bool Start();
    // Ends it as a service manager would (SIGTERM), so it saves its sessions.
    void Stop();

    int Port() const { return m_port; }
    const std::filesystem::path &Folder() const { return m_folder; }
    // voxa-hq's settings file, and the [Fleet] section for a site's voxa.ini.
    std::filesystem::path HeadOfficeSettings() const { return m_folder / "voxa-hq.ini"; }
    std::string FleetSection(const std::string &site) const;
    std::string Password(const std::string &user) const;
    const std::string &Problem() const { return m_problem; }
    // What the broker wrote, once stopped.
    const std::string &Log() const { return m_log; }

    // A port on localhost that nothing listens on just now.
    static int FreePort();

private:
    // Runs scripts/fleet-broker for a new free port.
    void SetUp();
    bool StartOnce();

    std::filesystem::path m_folder;
    std::vector<std::string> m_sites;
    int m_port = 0;
    bool m_started = false;  // once: a start after that keeps the port
    std::unique_ptr<ChildProcess> m_broker;
    std::string m_problem;
    std::string m_log;
};
