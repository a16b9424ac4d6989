// The agent's way to the sign, through the price update, on the simulated controller.
#include "controller_station.h"

#include <gtest/gtest.h>

#include <sstream>

#include "command_code.h"
#include "file_contents.h"
#include "price_log_file.h"
#include "simulated_site.h"
#include "temporary_folder.h"

namespace {

int Code(CommandCode code) {
    return ToByte(code);
}

class ControllerStationTest : public ::testing::Test {
protected:
    ControllerStationTest() {
        WriteWholeFile(m_folder.Path() / "voxa.ini", "[Tags]\ntag0=Regular\ntag1=Plus\n");
        station.SetClock([] { return std::time_t{1796709600}; });
    }

    void Settings(const std::string &text) { WriteWholeFile(m_folder.Path() / "voxa.ini", text); }

    PriceChange Change(std::map<int, std::string> lines, bool confirm = false) const {
        PriceChange change;
        change.id = "c1";
        change.author = "j.smith";
        change.prices = std::move(lines);
        change.confirm = confirm;
        return change;
    }

    int SetPriceFrames() const {
        int count = 0;
        for (const int code : site.SentCodes()) count += code == Code(CommandCode::SetLinePrice);
        return count;
    }

    std::vector<PriceLogFile::Entry> LogEntries() const {
        PriceLogFile file(m_folder.Path(), "test");
        file.Prepare();
        std::vector<PriceLogFile::Entry> entries;
        std::string reason;
        EXPECT_TRUE(file.Read(entries, reason)) << reason;
        return entries;
    }

    TemporaryFolder m_folder{"voxa-controller-station"};
    SimulatedSite site;
    ControllerModel::State &state = site.model.Current();
    std::ostringstream log;
    ControllerStation station{site.platform, m_folder.Path(), log};
};

TEST_F(ControllerStationTest, AppliesEveryPriceAndLogsItForHeadOfficeAndTheAuthor) {
    const SignStation::Applied applied = station.Apply(Change({{1, "3.459"}, {2, "3.659"}}));
    EXPECT_EQ(applied.outcome, "sent") << applied.reason;
    EXPECT_EQ(state.lines[0].price, "3.459");
    EXPECT_EQ(state.lines[1].price, "3.659");
    ASSERT_EQ(applied.lines.size(), 2u);
    EXPECT_EQ(applied.lines[0].outcome, "sent");
    EXPECT_EQ(applied.lines[0].at, 1796709600);
    const auto entries = LogEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].source, "head-office");
    EXPECT_EQ(entries[0].user, "j.smith");
    EXPECT_EQ(entries[0].tag, "Regular");
    EXPECT_EQ(entries[0].oldPrice, "3.499");
    EXPECT_EQ(entries[0].newPrice, "3.459");
    EXPECT_EQ(entries[1].outcome, "sent");
}

TEST_F(ControllerStationTest, ConfirmReadsEveryPriceBackAndReportsWhatTheSignShows) {
    const SignStation::Applied applied = station.Apply(Change({{1, "3.459"}}, true));
    EXPECT_EQ(applied.outcome, "confirmed");
    EXPECT_EQ(applied.lines[0].shown, "3.459");
    EXPECT_EQ(LogEntries()[0].outcome, "confirmed");
}

TEST_F(ControllerStationTest, SiteThatAsksForReadBackGetsItWhateverHeadOfficeSays) {
    Settings("[Update]\nConfirm=Yes\n");
    EXPECT_EQ(station.Apply(Change({{1, "3.459"}})).outcome, "confirmed");
}

TEST_F(ControllerStationTest, SignShowingAnotherPriceFailsTheChangeAndSaysWhatItShows) {
    site.controller.Faults().manglePrice = true;
    const SignStation::Applied applied = station.Apply(Change({{1, "3.459"}, {2, "3.659"}}, true));
    EXPECT_EQ(applied.outcome, "failed");
    EXPECT_EQ(applied.lines[0].outcome, "mismatch");
    EXPECT_EQ(applied.lines[0].shown, "4.459");
    EXPECT_EQ(applied.lines[1].outcome, "not sent");
    EXPECT_NE(applied.reason.find("the sign shows 4.459"), std::string::npos) << applied.reason;
    EXPECT_EQ(SetPriceFrames(), 1);
}

struct RefusedCase {
    const char *name;
    const char *settings;
    std::map<int, std::string> prices;
    const char *reason;
    const char *lineOutcome;
};

class ControllerStationRefuses : public ControllerStationTest,
                                 public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(ControllerStationRefuses, AndSendsNothing) {
    Settings(GetParam().settings);
    const SignStation::Applied applied = station.Apply(Change(GetParam().prices));
    EXPECT_EQ(applied.outcome, "rejected");
    EXPECT_NE(applied.reason.find(GetParam().reason), std::string::npos) << applied.reason;
    EXPECT_EQ(SetPriceFrames(), 0);
    EXPECT_EQ(state.lines[0].price, "3.499");
    bool found = false;
    for (const auto &line : applied.lines) found = found || line.outcome == GetParam().lineOutcome;
    EXPECT_TRUE(found);
}

INSTANTIATE_TEST_SUITE_P(Changes, ControllerStationRefuses,
                         ::testing::Values(RefusedCase{"BadFormat",
                                                       "",
                                                       {{1, "3.459"}, {2, "34.59"}},
                                                       "does not fit its format 8.889",
                                                       "bad value"},
                                           RefusedCase{"AboveTheHighest",
                                                       "[Limits]\nmax2=4.000\n",
                                                       {{1, "3.459"}, {2, "4.159"}},
                                                       "line 2 is outside the limits",
                                                       "outside limits"},
                                           RefusedCase{"TooLargeAChange",
                                                       "[Limits]\nMaxChangePercent=10\n",
                                                       {{1, "1.459"}},
                                                       "line 1 is outside the limits",
                                                       "outside limits"},
                                           // Line 1 is not in the change: its price on
                                           // the sign is what line 2 is held against.
                                           RefusedCase{"BreaksTheGradeOrder",
                                                       "[Limits]\nOrder=1<2\n",
                                                       {{2, "3.399"}},
                                                       "The grade order 1<2 is broken",
                                                       "outside limits"},
                                           RefusedCase{"LineNotInstalled",
                                                       "",
                                                       {{1, "3.459"}, {7, "1.25"}},
                                                       "line 7 is not installed",
                                                       "not sent"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ControllerStationTest, RefusalsAreInThePriceLog) {
    Settings("[Limits]\nmax1=3.000\n");
    station.Apply(Change({{1, "3.459"}}));
    const auto entries = LogEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].outcome, "outside limits");
    EXPECT_EQ(entries[0].source, "head-office");
}

// A set that moves both lines keeps the order and goes; the one that breaks it is on record
// as held back with the order's question.
TEST_F(ControllerStationTest, GradeOrderJudgesTheWholeSet) {
    Settings("[Limits]\nOrder=1<2\n");
    EXPECT_EQ(station.Apply(Change({{1, "3.299"}, {2, "3.399"}})).outcome, "sent");
    EXPECT_EQ(station.Apply(Change({{1, "3.499"}})).outcome, "rejected");
    EXPECT_EQ(state.lines[0].price, "3.299");
    const auto entries = LogEntries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].outcome, "outside limits");
    EXPECT_NE(entries[2].question.find("The grade order 1<2 is broken"), std::string::npos)
        << entries[2].question;
}

TEST_F(ControllerStationTest, SilentControllerFailsTheChange) {
    site.controller.Faults().silent = true;
    const SignStation::Applied applied = station.Apply(Change({{1, "3.459"}}));
    EXPECT_EQ(applied.outcome, "failed");
    EXPECT_FALSE(applied.reason.empty());
    EXPECT_EQ(applied.lines[0].outcome, "not sent");
}

TEST_F(ControllerStationTest, ReadGivesStatusPricesAndTags) {
    const auto reading = station.Read();
    ASSERT_TRUE(reading);
    EXPECT_TRUE(reading->answering);
    EXPECT_FALSE(reading->failure);
    EXPECT_FALSE(reading->memory);
    ASSERT_EQ(reading->prices.size(), 6u);
    EXPECT_EQ(reading->prices.at(6), "19.99");
    EXPECT_EQ(reading->tags.at(2), "Plus");
}

TEST_F(ControllerStationTest, ReadOfASilentControllerSaysItDoesNotAnswer) {
    site.controller.Faults().silent = true;
    const auto reading = station.Read();
    ASSERT_TRUE(reading);
    EXPECT_FALSE(reading->answering);
    EXPECT_TRUE(reading->prices.empty());
}

TEST_F(ControllerStationTest, ReadSeesAFailureAndAMemoryToLoad) {
    site.controller.Faults().ccStatusCode = 2;
    auto reading = station.Read();
    ASSERT_TRUE(reading);
    EXPECT_TRUE(reading->answering);
    EXPECT_TRUE(reading->failure);
    EXPECT_FALSE(reading->memory);
    site.controller.Faults().ccStatusCode = 5;
    reading = station.Read();
    ASSERT_TRUE(reading);
    EXPECT_TRUE(reading->memory);
    EXPECT_TRUE(reading->prices.empty());
}

// The line as another program holds it: every transaction finds it busy.
class HeldLine : public LinkPlatform {
public:
    explicit HeldLine(LinkPlatform &inner) : m_inner(inner) {}
    std::unique_ptr<SerialLine> NewLine() override { return m_inner.NewLine(); }
    void Pause(std::chrono::milliseconds duration) override { m_inner.Pause(duration); }
    bool BeginTransaction(const std::string &, std::string &problem) override {
        problem = "COM1 (/dev/ttyUSB0) is busy: voxa (PID 42) is sending prices";
        return false;
    }

private:
    LinkPlatform &m_inner;
};

TEST_F(ControllerStationTest, ReadGivesWayToAnotherProgramHoldingTheLine) {
    HeldLine held(site.platform);
    ControllerStation waiting(held, m_folder.Path(), log);
    std::vector<std::chrono::milliseconds> waits;
    waiting.SetLineWaitHook([&waits](std::chrono::milliseconds wait) { waits.push_back(wait); });
    EXPECT_FALSE(waiting.Read());
    EXPECT_TRUE(site.SentCodes().empty());
    const SignStation::Applied applied = waiting.Apply(Change({{1, "3.459"}}));
    EXPECT_EQ(applied.outcome, "failed");
    EXPECT_NE(applied.reason.find("is busy"), std::string::npos) << applied.reason;
    EXPECT_EQ(waits, (std::vector<std::chrono::milliseconds>{ControllerStation::kPollLineWait,
                                                             ControllerStation::kChangeLineWait}));
}

}  // namespace
