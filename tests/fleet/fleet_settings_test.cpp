#include "fleet_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_contents.h"
#include "settings_file.h"
#include "temporary_folder.h"

namespace {

struct BrokerCase {
    const char *url;
    bool valid;
    const char *host;
    int port;
    bool tls;
};

class FleetBroker : public ::testing::TestWithParam<BrokerCase> {};

TEST_P(FleetBroker, AddressIsTakenApart) {
    const auto address = FleetSettings::ParseBroker(GetParam().url);
    ASSERT_EQ(address.has_value(), GetParam().valid) << GetParam().url;
    if (!address) return;
    EXPECT_EQ(address->host, GetParam().host);
    EXPECT_EQ(address->port, GetParam().port);
    EXPECT_EQ(address->tls, GetParam().tls);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, FleetBroker,
    ::testing::Values(
        BrokerCase{"mqtts://broker.example.com:8883", true, "broker.example.com", 8883, true},
        BrokerCase{"mqtts://broker.example.com", true, "broker.example.com", 8883, true},
        BrokerCase{"mqtt://10.0.0.1", true, "10.0.0.1", 1883, false},
        BrokerCase{"mqtts://[::1]:9000", true, "::1", 9000, true},
        BrokerCase{"mqtts://localhost:1/", true, "localhost", 1, true},
        BrokerCase{"http://broker:80", false, "", 0, false},
        BrokerCase{"broker:8883", false, "", 0, false},
        BrokerCase{"mqtts://:8883", false, "", 0, false},
        BrokerCase{"mqtts://broker:0", false, "", 0, false},
        BrokerCase{"mqtts://broker:65536", false, "", 0, false},
        BrokerCase{"mqtts://broker:88a", false, "", 0, false},
        BrokerCase{"mqtts://user@broker", false, "", 0, false}));

TEST(FleetSettings, SiteIdsThatFitATopicLevel) {
    EXPECT_TRUE(FleetSettings::ValidSite("station-0042"));
    EXPECT_TRUE(FleetSettings::ValidSite("a.b_c"));
    EXPECT_FALSE(FleetSettings::ValidSite(""));
    EXPECT_FALSE(FleetSettings::ValidSite("a/b"));
    EXPECT_FALSE(FleetSettings::ValidSite("+"));
    EXPECT_FALSE(FleetSettings::ValidSite("#"));
    EXPECT_FALSE(FleetSettings::ValidSite(std::string(65, 'a')));
}

FleetSettings ReadText(const std::string &text, std::vector<std::string> &problems) {
    SettingsFile file("/nonexistent/voxa.ini");
    file.LoadBytes(text);
    return FleetSettings::Read(file, "/srv/voxa", problems);
}

TEST(FleetSettings, ReadsTheSectionWithFilesBesideTheSettings) {
    std::vector<std::string> problems;
    const FleetSettings s = ReadText(
        "[Fleet]\nBroker=mqtts://b:8884\nSite=s-1\nPasswordFile=pw\nCaFile=/etc/ca.crt\n"
        "PollMinutes=0.5\nMaxLateMinutes=15\n",
        problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_EQ(s.broker.port, 8884);
    EXPECT_EQ(s.user, "s-1");
    EXPECT_EQ(s.passwordFile, "/srv/voxa/pw");
    EXPECT_EQ(s.caFile, "/etc/ca.crt");
    EXPECT_DOUBLE_EQ(s.pollMinutes, 0.5);
    EXPECT_DOUBLE_EQ(s.maxLateMinutes, 15);
    EXPECT_TRUE(s.verifyBroker);
}

struct SettingsProblem {
    const char *text;
    const char *problem;
};

class FleetSettingsProblem : public ::testing::TestWithParam<SettingsProblem> {};

TEST_P(FleetSettingsProblem, IsNamed) {
    std::vector<std::string> problems;
    ReadText(GetParam().text, problems);
    bool found = false;
    for (const std::string &problem : problems)
        found = found || problem.find(GetParam().problem) != std::string::npos;
    EXPECT_TRUE(found) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FleetSettingsProblem,
    ::testing::Values(SettingsProblem{"[Fleet]\n", "Broker= is not set"},
                      SettingsProblem{"[Fleet]\nBroker=tcp://x\n", "is not an address"},
                      SettingsProblem{"[Fleet]\nSite=a/b\n", "Site=a/b"},
                      SettingsProblem{"[Fleet]\nBroker=mqtts://b\nSite=s\n", "PasswordFile="},
                      SettingsProblem{"[Fleet]\nBroker=mqtts://b\nSite=s\nPasswordFile=p\n",
                                      "CaFile="},
                      SettingsProblem{"[Fleet]\nCertFile=c\n", "go together"},
                      SettingsProblem{"[Fleet]\nVerifyBroker=maybe\n", "VerifyBroker=maybe"},
                      SettingsProblem{"[Fleet]\nPollMinutes=0\n", "PollMinutes=0"},
                      SettingsProblem{"[Fleet]\nMaxLateMinutes=-5\n", "MaxLateMinutes=-5"},
                      SettingsProblem{"[Fleet]\nPollMinutes=5x\n", "PollMinutes=5x"}));

TEST(FleetSettings, NoCaFileNeededWhenTheBrokerIsNotVerified) {
    std::vector<std::string> problems;
    const FleetSettings s =
        ReadText("[Fleet]\nBroker=mqtts://b\nSite=s\nPasswordFile=pw\nVerifyBroker=No\n", problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_FALSE(s.verifyBroker);
}

TEST(FleetSettings, PasswordFileMustBePrivate) {
    TemporaryFolder folder("voxa-fleet-password");
    const auto path = folder.Path() / "pw";
    WriteWholeFile(path, "s3cret\nsecond line\n");
    std::string password;
    std::string reason;
    for (const mode_t mode : {0644, 0640, 0604, 0660}) {
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        EXPECT_FALSE(FleetSettings::ReadPassword(path, password, reason)) << std::oct << mode;
        EXPECT_NE(reason.find("chmod 600"), std::string::npos) << reason;
        EXPECT_EQ(reason.find("s3cret"), std::string::npos);
    }
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(FleetSettings::ReadPassword(path, password, reason)) << reason;
    EXPECT_EQ(password, "s3cret");
}

TEST(FleetSettings, PasswordFileRefusedWhenMissingEmptyOrALink) {
    TemporaryFolder folder("voxa-fleet-password");
    std::string password;
    std::string reason;
    EXPECT_FALSE(FleetSettings::ReadPassword(folder.Path() / "none", password, reason));
    EXPECT_NE(reason.find("open()"), std::string::npos);
    const auto empty = folder.Path() / "empty";
    WriteWholeFile(empty, "\n");
    ASSERT_EQ(chmod(empty.c_str(), 0600), 0);
    EXPECT_FALSE(FleetSettings::ReadPassword(empty, password, reason));
    EXPECT_NE(reason.find("empty"), std::string::npos);
    const auto link = folder.Path() / "link";
    ASSERT_EQ(symlink(empty.c_str(), link.c_str()), 0);
    EXPECT_FALSE(FleetSettings::ReadPassword(link, password, reason));
    EXPECT_FALSE(FleetSettings::ReadPassword(folder.Path(), password, reason));
}

}  // namespace
