#include "ccsim_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

std::optional<CcsimOptions> Parse(const Args &args) {
    std::string error;
    auto options = CcsimOptions::Parse(args, error);
    EXPECT_EQ(options.has_value(), error.empty()) << error;
    return options;
}

TEST(CcsimOptions, DefaultsServeAHealthySite) {
    const auto options = Parse({});
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->device.empty());
    EXPECT_TRUE(options->link.empty());
    EXPECT_FALSE(options->trace);
    EXPECT_FALSE(options->faults.silent);
    EXPECT_FALSE(options->lines);
    EXPECT_FALSE(options->ccStatus);
}

TEST(CcsimOptions, EveryOptionReachesItsField) {
    const auto options = Parse({"--device",
                                "/dev/ttyS1",
                                "--trace",
                                "--silent",
                                "--nak-rate",
                                "0.25",
                                "--nak-at",
                                "0,5,21",
                                "--junk-answer-at=3",
                                "--stop-after",
                                "10",
                                "--corrupt-checksum",
                                "--reply-code=7",
                                "--junk",
                                "4",
                                "--status",
                                "9:3",
                                "--sign-test-fails",
                                "--mangle-price",
                                "--lines",
                                "12",
                                "--nvram-size=100",
                                "--password",
                                "night shift",
                                "--seed",
                                "42",
                                "--cc-status",
                                "7",
                                "--status-command",
                                "36",
                                "--report-nvram-size=4096",
                                "--paced",
                                "--reply-delay",
                                "0",
                                "--unplug-after=30"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->device, "/dev/ttyS1");
    EXPECT_TRUE(options->trace);
    const FaultPlan &f = options->faults;
    EXPECT_TRUE(f.silent);
    EXPECT_DOUBLE_EQ(f.nakRate, 0.25);
    EXPECT_EQ(f.nakAt, (std::set<int>{0, 5, 21}));
    EXPECT_EQ(f.junkAnswerAt, (std::set<int>{3}));
    EXPECT_EQ(f.stopAfterReplyByte, 10);
    EXPECT_TRUE(f.corruptChecksum);
    EXPECT_EQ(f.replyCode, 7);
    EXPECT_EQ(f.junkBeforeSync, 4);
    EXPECT_EQ(f.forcedStatus, 9);
    EXPECT_EQ(f.forcedStatusCount, 3);
    EXPECT_TRUE(f.signTestFails);
    EXPECT_TRUE(f.manglePrice);
    EXPECT_EQ(options->lines, 12);
    EXPECT_EQ(options->nvramSize, 100u);
    EXPECT_EQ(options->password, "night shift");
    EXPECT_EQ(options->seed, 42u);
    EXPECT_EQ(options->ccStatus, 7);
    EXPECT_EQ(f.forcedStatusCommand, 36);
    EXPECT_EQ(f.reportedNvramSize, 4096);
    EXPECT_TRUE(options->paced);
    EXPECT_EQ(options->replyDelayMs, 0);
    EXPECT_EQ(f.unplugAfterBytes, 30);
}

TEST(CcsimOptions, StatusWithoutCountIsForEveryReply) {
    const auto options = Parse({"--status", "6"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->faults.forcedStatus, 6);
    EXPECT_EQ(options->faults.forcedStatusCount, -1);
    const auto update = Parse({"--nvram-update"});
    ASSERT_TRUE(update);
    EXPECT_EQ(update->ccStatus, 5);
}

TEST(CcsimOptions, HelpIsAnOption) {
    for (const char *help : {"--help", "-h"}) {
        const auto options = Parse({help});
        ASSERT_TRUE(options);
        EXPECT_TRUE(options->help);
    }
    EXPECT_NE(CcsimOptions::Usage().find("--nak-at LIST"), std::string::npos);
}

TEST(CcsimOptions, BadArgumentsAreRefusedWithAReason) {
    const Args bad[] = {
        {"--bogus"},
        {"extra"},
        {"--lines"},
        {"--lines", "256"},
        {"--lines", "-1"},
        {"--lines", "6x"},
        {"--lines", ""},
        {"--nvram-size", "65536"},
        {"--nak-rate", "1.5"},
        {"--nak-rate", "-0.1"},
        {"--nak-rate", "nan"},
        {"--nak-rate", "0.5x"},
        {"--nak-at", "22"},
        {"--nak-at", "1,,2"},
        {"--nak-at", ""},
        {"--junk-answer-at", "a"},
        {"--stop-after", "22"},
        {"--junk", "1001"},
        {"--status", "0"},
        {"--status", "256"},
        {"--reply-code", "256"},
        {"--status", "9:0"},
        {"--status", "9:"},
        {"--cc-status", "300"},
        {"--status-command", "0"},
        {"--status-command", "45"},
        {"--report-nvram-size", "65536"},
        {"--reply-delay", "-1"},
        {"--reply-delay", "60001"},
        {"--reply-delay", "5ms"},
        {"--unplug-after", "0"},
        {"--unplug-after", "x"},
        {"--paced=yes"},
        {"--password", std::string(18, 'p')},
        {"--seed", "4294967296"},
        {"--trace=yes"},
        {"--device", ""},
        {"--device", "/dev/ttyS0", "--link", "/tmp/cc"},
    };
    for (const Args &args : bad) {
        std::string error;
        EXPECT_FALSE(CcsimOptions::Parse(args, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(CcsimOptions, ApplyToSetsUpTheEndpoint) {
    const auto options =
        Parse({"--lines", "3", "--nvram-size", "64", "--password", "abc", "--nvram-update",
               "--nak-at", "4", "--seed", "9", "--reply-delay", "40"});
    ASSERT_TRUE(options);
    ControllerEndpoint endpoint;
    options->ApplyTo(endpoint);
    const ControllerModel::State &state = endpoint.Model().Current();
    EXPECT_EQ(state.lineCount, 3);
    EXPECT_EQ(state.nvram, ControllerModel::InitialNvram(64));
    EXPECT_EQ(state.password, "abc");
    EXPECT_EQ(state.ccStatus.codes[2], 5);
    EXPECT_EQ(endpoint.Faults().nakAt, (std::set<int>{4}));
    EXPECT_EQ(endpoint.ReplyDelay(), ControllerEndpoint::Millis{40});

    // Without the option the controller keeps its own pace.
    ControllerEndpoint plain;
    Parse({})->ApplyTo(plain);
    EXPECT_EQ(plain.ReplyDelay(), ControllerEndpoint::kReplyDelay);
}

}  // namespace
