#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "fleet_settings.h"

// Head office's side of the broker, from voxa-hq.ini (or the file --config names):
//
//   [HeadOffice]
//   Broker=mqtts://broker.example.com:8883
//   User=hq
//   PasswordFile=hq-password
//   CaFile=fleet-ca.crt
//   CertFile=        (optional client certificate and its key)
//   KeyFile=
//   VerifyBroker=Yes
//
// Files named without a folder are beside the settings file.
struct HeadOfficeSettings {
    static constexpr const char *kDefaultFile = "voxa-hq.ini";

    std::string brokerUrl;
    FleetSettings::BrokerAddress broker;
    std::string user = "hq";
    std::filesystem::path passwordFile;
    std::filesystem::path caFile;
    std::filesystem::path certFile;
    std::filesystem::path keyFile;
    bool verifyBroker = true;

    // False with one text per problem when the file cannot be read or a value is missing
    // or does not parse.
    static bool Read(const std::filesystem::path &file, HeadOfficeSettings &settings,
                     std::vector<std::string> &problems);
};
