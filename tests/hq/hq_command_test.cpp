#include "hq_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "file_contents.h"
#include "head_office.h"
#include "temporary_folder.h"

namespace {

struct UsageCase {
    std::vector<std::string> args;
    const char *problem;
};

class HqUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(HqUsage, IsRefusedWithStatus2BeforeAnySettingIsRead) {
    std::ostringstream out;
    std::ostringstream err;
    const std::atomic<bool> stop{false};
    std::vector<std::string> args = {"--config", "/nonexistent/voxa-hq.ini"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    EXPECT_EQ(HqCommand::Run(args, out, err, stop), HeadOffice::kUsage);
    EXPECT_NE(err.str().find(GetParam().problem), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find("cannot read"), std::string::npos) << err.str();
    EXPECT_TRUE(out.str().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, HqUsage,
    ::testing::Values(
        UsageCase{{}, "no command"}, UsageCase{{"send"}, "unknown command send"},
        UsageCase{{"push", "1=3.459"}, "either --site"},
        UsageCase{{"push", "--all", "--site", "a", "1=3.459"}, "either --site"},
        UsageCase{{"push", "--site", "a"}, "at least one LINE=PRICE"},
        UsageCase{{"push", "--site", "a/b", "1=3"}, "--site needs site ids"},
        UsageCase{{"push", "--site", "a,", "1=3"}, "--site needs site ids"},
        UsageCase{{"push", "--site", "a", "9=3"}, "line from 1 to 8"},
        UsageCase{{"push", "--site", "a", "1="}, "line from 1 to 8"},
        UsageCase{{"push", "--site", "a", "1=3", "1=4"}, "line 1 is given twice"},
        UsageCase{{"push", "--site", "a", "1=3", "--at", "tomorrow"}, "--at needs a time"},
        UsageCase{{"push", "--site", "a", "1=3", "--at", "2026-12-08T06:00:00"},
                  "--at needs a time"},
        UsageCase{{"push", "--site", "a", "1=3", "--timeout", "0"}, "--timeout needs"},
        UsageCase{{"push", "--site", "a", "1=3", "--on-alert", "x"}, "unexpected \"--on-alert\""},
        UsageCase{{"status", "--all"}, "unexpected \"--all\""},
        UsageCase{{"watch", "--count", "0"}, "--count needs"},
        UsageCase{{"watch", "--site", "a"}, "unexpected \"--site\""},
        UsageCase{{"cancel", "--site", "a"}, "the id of the change"},
        UsageCase{{"cancel", "c-1"}, "either --site"},
        UsageCase{{"--config"}, "--config needs a file"}));

TEST(HqCommand, MissingSettingsAreNamedWithWhatToDo) {
    std::ostringstream out;
    std::ostringstream err;
    const std::atomic<bool> stop{false};
    EXPECT_EQ(HqCommand::Run({"--config", "/nonexistent/voxa-hq.ini", "status"}, out, err, stop),
              HeadOffice::kUsage);
    EXPECT_NE(err.str().find("cannot read /nonexistent/voxa-hq.ini"), std::string::npos);
}

TEST(HqCommand, SettingsProblemsAreEachNamed) {
    TemporaryFolder folder("voxa-hq-settings");
    const auto file = folder.Path() / "voxa-hq.ini";
    WriteWholeFile(file, "[HeadOffice]\nBroker=tcp://x\n");
    std::ostringstream out;
    std::ostringstream err;
    const std::atomic<bool> stop{false};
    EXPECT_EQ(HqCommand::Run({"--config", file.string(), "status"}, out, err, stop),
              HeadOffice::kUsage);
    EXPECT_NE(err.str().find("Broker=tcp://x"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("PasswordFile="), std::string::npos) << err.str();
}

TEST(HqCommand, RefusesAPasswordFileOthersMayRead) {
    TemporaryFolder folder("voxa-hq-settings");
    const auto file = folder.Path() / "voxa-hq.ini";
    WriteWholeFile(file, "[HeadOffice]\nBroker=mqtts://localhost:1\nPasswordFile=pw\nCaFile=ca\n");
    WriteWholeFile(folder.Path() / "pw", "secret\n");
    ASSERT_EQ(chmod((folder.Path() / "pw").c_str(), 0644), 0);
    std::ostringstream out;
    std::ostringstream err;
    const std::atomic<bool> stop{false};
    EXPECT_EQ(HqCommand::Run({"--config", file.string(), "status"}, out, err, stop),
              HeadOffice::kUsage);
    EXPECT_NE(err.str().find("chmod 600"), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find("secret"), std::string::npos);
}

TEST(HqCommand, HelpAndVersion) {
    std::ostringstream out;
    std::ostringstream err;
    const std::atomic<bool> stop{false};
    EXPECT_EQ(HqCommand::Run({"--help"}, out, err, stop), 0);
    EXPECT_NE(out.str().find("push (--site"), std::string::npos);
    EXPECT_EQ(HqCommand::Run({"--version"}, out, err, stop), 0);
    EXPECT_NE(out.str().find("voxa-hq "), std::string::npos);
}

TEST(HeadOffice, ChangeIdsAreUniqueAndCarryTheirTime) {
    const std::string a = HeadOffice::NewId("c", 1796709600);
    const std::string b = HeadOffice::NewId("c", 1796709600);
    EXPECT_EQ(a.rfind("c-20261208-060000-", 0), 0u) << a;
    EXPECT_NE(a, b);
}

}  // namespace
