#include "bench_options.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;
using W = BenchOptions::Work;

BenchOptions Defaults() {
    BenchOptions defaults;
    defaults.ccsimPath = "/build/voxa-ccsim";
    defaults.voxaPath = "/build/voxa";
    return defaults;
}

TEST(BenchOptions, DefaultsMeasureEverythingThreeTimesWithAnInstantController) {
    std::string error;
    const auto options = BenchOptions::Parse({}, Defaults(), error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->runs, 3);
    EXPECT_FALSE(options->paced);
    EXPECT_EQ(options->replyDelay.count(), 0);
    EXPECT_EQ(options->idleTime.count(), 30);
    EXPECT_EQ(options->work,
              (std::set<W>{W::Transaction, W::StartUp, W::NvramSave, W::Workstation}));
    EXPECT_EQ(options->ccsimPath, "/build/voxa-ccsim");
    EXPECT_EQ(options->voxaPath, "/build/voxa");
}

TEST(BenchOptions, EveryOptionReachesItsField) {
    std::string error;
    const auto options = BenchOptions::Parse(
        {"--runs", "5", "--paced", "--reply-delay", "5", "--idle-seconds", "10", "--measure",
         "nvram,transaction", "--ccsim", "/opt/ccsim", "--voxa", "/opt/voxa"},
        Defaults(), error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->runs, 5);
    EXPECT_TRUE(options->paced);
    EXPECT_EQ(options->replyDelay.count(), 5);
    EXPECT_EQ(options->idleTime.count(), 10);
    EXPECT_EQ(options->work, (std::set<W>{W::NvramSave, W::Transaction}));
    EXPECT_EQ(options->ccsimPath, "/opt/ccsim");
    EXPECT_EQ(options->voxaPath, "/opt/voxa");
    EXPECT_FALSE(options->help);
}

TEST(BenchOptions, BadArgumentsAreRefusedWithAReason) {
    const Args bad[] = {
        {"--runs", "0"},
        {"--runs", "101"},
        {"--runs", "3x"},
        {"--runs"},
        {"--reply-delay", "-1"},
        {"--reply-delay", "60001"},
        {"--idle-seconds", "0"},
        {"--measure", ""},
        {"--measure", "startup,"},
        {"--measure", "all"},
        {"--ccsim", ""},
        {"--voxa", ""},
        {"--fast"},
        {"extra"},
    };
    for (const Args &args : bad) {
        std::string error;
        EXPECT_FALSE(BenchOptions::Parse(args, Defaults(), error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

}  // namespace

TEST(BenchOptions, FleetTakesItsSitesAndTheAgent) {
    std::string error;
    const auto options =
        BenchOptions::Parse({"--fleet", "100", "--agent", "/opt/voxa-agent"}, Defaults(), error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->fleetSites, 100);
    EXPECT_EQ(options->agentPath, "/opt/voxa-agent");
    EXPECT_EQ(Defaults().fleetSites, 0);
    for (const Args &args : {Args{"--fleet", "0"}, Args{"--fleet", "121"}, Args{"--fleet"},
                             Args{"--fleet", "ten"}, Args{"--agent", ""}}) {
        EXPECT_FALSE(BenchOptions::Parse(args, Defaults(), error)) << args[0] << ' ' << args.size();
        EXPECT_FALSE(error.empty());
    }
}
