#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class SettingsFile;

// The [Fleet] section of voxa.ini: how the station's agent reaches head office's broker.
//
//   [Fleet]
//   Broker=mqtts://broker.example.com:8883
//   Site=station-0042
//   User=station-0042
//   PasswordFile=fleet-password
//   CaFile=/etc/voxa/fleet-ca.crt
//   CertFile=          (optional client certificate and its key)
//   KeyFile=
//   VerifyBroker=Yes
//   PollMinutes=5
//   MaxLateMinutes=60
//
// Files named without a folder are beside voxa.ini.
struct FleetSettings {
    // The broker's address taken apart: mqtts:// (TLS, port 8883 by default) or mqtt://
    // (plain, port 1883).
    struct BrokerAddress {
        std::string host;
        int port = 8883;
        bool tls = true;
    };

    static constexpr double kDefaultPollMinutes = 5;
    static constexpr double kDefaultMaxLateMinutes = 60;

    std::string brokerUrl;
    BrokerAddress broker;
    std::string site;
    std::string user;
    std::filesystem::path passwordFile;
    std::filesystem::path caFile;
    std::filesystem::path certFile;
    std::filesystem::path keyFile;
    bool verifyBroker = true;
    double pollMinutes = kDefaultPollMinutes;
    double maxLateMinutes = kDefaultMaxLateMinutes;

    // Reads the section; every value that is missing where one is needed, or that does
    // not parse, adds one text to problems saying what to write instead.
    static FleetSettings Read(const SettingsFile &file, const std::filesystem::path &folder,
                              std::vector<std::string> &problems);

    static std::optional<BrokerAddress> ParseBroker(const std::string &url);
    // A site id is what a topic level may hold without trouble: letters, digits, '-', '_'
    // and '.', 1 to 64 of them.
    static bool ValidSite(const std::string &site);
    // Reads the first line of a password file, which must be a regular file of ours that
    // neither the group nor others may read; false with the reason otherwise. The reason
    // never holds the password.
    static bool ReadPassword(const std::filesystem::path &path, std::string &password,
                             std::string &reason);
};
