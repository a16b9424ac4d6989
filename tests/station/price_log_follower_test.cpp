// Following the price log: the changes other programs make, read as they are appended,
// without the workstation's own, lines cut short or still sending, and a log that moves.
#include "price_log_follower.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using Change = PriceLogFollower::Change;

constexpr std::time_t kStart = 1796212800;

PriceAttempt Attempt(int line, const std::string &newPrice, PriceOutcome outcome) {
    return PriceAttempt{line, "Regular", "3.499", newPrice, outcome, false, ""};
}

class PriceLogFollowerTest : public ::testing::Test {
protected:
    PriceLogFollowerTest() {
        m_own.SetClock([] { return kStart; });
        m_own.SetUser("op");
    }

    // Another program's log in the same folder, writing at the moment given.
    std::unique_ptr<PriceLogFile> Other(const std::string &source, std::time_t when = kStart) {
        auto log = std::make_unique<PriceLogFile>(m_dir, source);
        log->SetClock([when] { return when; });
        log->SetUser("hq");
        log->Prepare();
        return log;
    }

    std::vector<Change> Poll() {
        std::string notice;
        std::vector<Change> changes = m_follower.Poll(notice);
        m_notices.push_back(notice);
        return changes;
    }

    static std::vector<std::string> Prices(const std::vector<Change> &changes) {
        std::vector<std::string> prices;
        for (const Change &c : changes) prices.push_back(std::to_string(c.line) + "=" + c.price);
        return prices;
    }

    void AppendRaw(const std::string &text, const fs::path &name = "voxa-prices.csv") {
        std::ofstream(m_dir / name, std::ios::binary | std::ios::app) << text;
    }

    TemporaryFolder m_folder{"price-log-follower"};
    const fs::path m_dir = m_folder.Path();
    PriceLogFile m_own{m_dir, "workstation"};
    PriceLogFollower m_follower{m_own};
    std::vector<std::string> m_notices;
};

TEST_F(PriceLogFollowerTest, TakesThePricesOthersPutOnTheSignAndNothingElse) {
    const auto ctl = Other("voxa-ctl");
    ctl->Append(Attempt(1, "3.399", PriceOutcome::Sent));  // before following began
    m_follower.Start(kStart);
    EXPECT_TRUE(Poll().empty());

    const auto agent = Other("head-office");
    agent->SetUser("alice");
    ctl->Append(Attempt(2, "3.559", PriceOutcome::Sent));
    agent->Append(Attempt(3, "3.759", PriceOutcome::Confirmed));
    for (const PriceOutcome outcome :
         {PriceOutcome::Refused, PriceOutcome::NoAnswer, PriceOutcome::BadValue,
          PriceOutcome::OutsideLimits, PriceOutcome::Mismatch, PriceOutcome::NotConfirmed,
          PriceOutcome::Unknown}) {
        ctl->Append(Attempt(4, "9.999", outcome));
    }
    const std::vector<Change> changes = Poll();
    EXPECT_EQ(Prices(changes), (std::vector<std::string>{"2=3.559", "3=3.759"}));
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].source, "head-office");
    EXPECT_EQ(changes[1].user, "alice");
    EXPECT_EQ(changes[1].time, PriceLogFile::TimeText(kStart));
    // Each change is handed on once.
    EXPECT_TRUE(Poll().empty());
    EXPECT_TRUE(m_follower.Problem().empty());
}

TEST_F(PriceLogFollowerTest, OwnLinesAreNotChanges) {
    m_follower.Start(kStart);
    m_own.Append(Attempt(1, "3.399", PriceOutcome::Sent));
    ASSERT_TRUE(m_own.Begin(Attempt(2, "3.559", PriceOutcome::Sending)));
    ASSERT_TRUE(m_own.Complete(PriceOutcome::Confirmed));
    // Another workstation in the same folder is another program.
    Other("workstation")->Append(Attempt(3, "3.759", PriceOutcome::Sent));
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"3=3.759"}));
}

TEST_F(PriceLogFollowerTest, ALineCutShortIsReadOnceWhole) {
    m_follower.Start(kStart);
    PriceLogFile::Entry entry{
        PriceLogFile::TimeText(kStart), "voxa-ctl", "hq", "2", "Plus", "3.599", "3.559", "sent", ""};
    const std::string line = PriceLogFile::LineOf(entry);
    Other("voxa-ctl")->Append(Attempt(1, "3.399", PriceOutcome::Sent));
    for (const std::size_t cut :
         {std::size_t{0}, std::size_t{5}, line.size() - 3, line.size() - 1}) {
        SCOPED_TRACE(cut);
        AppendRaw(line.substr(0, cut));
        EXPECT_EQ(Prices(Poll()),
                  cut == 0 ? std::vector<std::string>{"1=3.399"} : std::vector<std::string>{});
        // The rest of the line comes later.
        fs::resize_file(m_dir / "voxa-prices.csv", fs::file_size(m_dir / "voxa-prices.csv") - cut);
    }
    AppendRaw(line);
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"2=3.559"}));
    EXPECT_TRUE(Poll().empty());
}

// The outcome of a line that was the last one comes in with the line shortened; that of a
// line that others wrote after comes in in place.
TEST_F(PriceLogFollowerTest, ALineStillSendingIsTakenOnceItsOutcomeIsIn) {
    m_follower.Start(kStart);
    const auto ctl = Other("voxa-ctl");
    ASSERT_TRUE(ctl->Begin(Attempt(1, "3.399", PriceOutcome::Sending)));
    EXPECT_TRUE(Poll().empty());
    ASSERT_TRUE(ctl->Complete(PriceOutcome::Confirmed));
    Other("voxa-ctl")->Append(Attempt(2, "3.559", PriceOutcome::Sent));
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"1=3.399", "2=3.559"}));

    ASSERT_TRUE(ctl->Begin(Attempt(3, "3.759", PriceOutcome::Sending)));
    EXPECT_TRUE(Poll().empty());
    Other("head-office")->Append(Attempt(4, "2.19", PriceOutcome::Refused));
    EXPECT_TRUE(Poll().empty());
    ASSERT_TRUE(ctl->Complete(PriceOutcome::Sent));
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"3=3.759"}));
    EXPECT_TRUE(Poll().empty());

    // One that fails is no change.
    ASSERT_TRUE(ctl->Begin(Attempt(5, "12.60", PriceOutcome::Sending)));
    EXPECT_TRUE(Poll().empty());
    ASSERT_TRUE(ctl->Complete(PriceOutcome::NoAnswer));
    EXPECT_TRUE(Poll().empty());
}

TEST_F(PriceLogFollowerTest, ALateOutcomeDoesNotUndoALaterChange) {
    m_follower.Start(kStart);
    const auto ctl = Other("voxa-ctl");
    ASSERT_TRUE(ctl->Begin(Attempt(2, "3.559", PriceOutcome::Sending)));
    Other("head-office")->Append(Attempt(2, "3.579", PriceOutcome::Sent));
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"2=3.579"}));
    ASSERT_TRUE(ctl->Complete(PriceOutcome::Sent));
    EXPECT_TRUE(Poll().empty());
}

TEST_F(PriceLogFollowerTest, ALastLineSendingAtTheStartIsWatched) {
    const auto ctl = Other("voxa-ctl");
    ctl->Append(Attempt(1, "3.399", PriceOutcome::Sent));
    ASSERT_TRUE(ctl->Begin(Attempt(2, "3.559", PriceOutcome::Sending)));
    m_follower.Start(kStart);
    EXPECT_TRUE(Poll().empty());
    ASSERT_TRUE(ctl->Complete(PriceOutcome::Sent));
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"2=3.559"}));
}

// A log grown by megabytes is read once, and after that only what is added.
TEST_F(PriceLogFollowerTest, AGrowingLogCostsNoReread) {
    const auto ctl = Other("voxa-ctl");
    PriceLogFile::Entry entry{PriceLogFile::TimeText(kStart),
                              "voxa-ctl",
                              "hq",
                              "4",
                              "Diesel",
                              "3.499",
                              "3.459",
                              "refused", ""};
    std::string block;
    while (block.size() < 1024 * 1024) block += PriceLogFile::LineOf(entry);
    ctl->Append(Attempt(1, "3.399", PriceOutcome::Sent));
    for (int i = 0; i < 4; ++i) AppendRaw(block);
    m_follower.Start(kStart);
    EXPECT_TRUE(Poll().empty());
    EXPECT_EQ(m_follower.BytesRead(), 0);

    for (int i = 0; i < 2; ++i) AppendRaw(block);
    ctl->Append(Attempt(2, "3.559", PriceOutcome::Sent));
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"2=3.559"}));
    const std::int64_t grown = m_follower.BytesRead();
    EXPECT_GE(grown, 2 * static_cast<std::int64_t>(block.size()));
    EXPECT_LT(grown, 2 * static_cast<std::int64_t>(block.size()) + 1024);

    ctl->Append(Attempt(3, "3.759", PriceOutcome::Sent));
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"3=3.759"}));
    EXPECT_LT(m_follower.BytesRead() - grown, 1024);
    EXPECT_TRUE(Poll().empty());
    EXPECT_LT(m_follower.BytesRead() - grown, 1024);
}

// A file not ours in the log's place: the log moves on to voxa-prices-1.csv as it would at
// its next line, and that file is followed from its start, taking what was written since
// following began.
TEST_F(PriceLogFollowerTest, FollowsTheLogToTheFileItMovesTo) {
    Other("voxa-ctl", kStart - 600)->Append(Attempt(1, "3.399", PriceOutcome::Sent));
    m_follower.Start(kStart);
    {
        // An earlier row in the file the log will move to.
        std::ofstream(m_dir / "voxa-prices-1.csv", std::ios::binary)
            << PriceLogFile::kHeader << '\n';
        PriceLogFile::Entry old{
            PriceLogFile::TimeText(kStart - 600), "voxa-ctl", "hq", "5", "", "", "1.00", "sent", ""};
        AppendRaw(PriceLogFile::LineOf(old), "voxa-prices-1.csv");
    }
    fs::remove(m_dir / "voxa-prices.csv");
    std::ofstream(m_dir / "voxa-prices.csv", std::ios::binary) << "someone else's notes\n";
    const auto ctl = Other("voxa-ctl", kStart + 5);
    ctl->Append(Attempt(2, "3.559", PriceOutcome::Sent));
    ASSERT_EQ(ctl->Path().filename(), "voxa-prices-1.csv");

    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"2=3.559"}));
    EXPECT_EQ(m_own.Path().filename(), "voxa-prices-1.csv");
    EXPECT_NE(m_notices.back().find("voxa-prices-1.csv"), std::string::npos) << m_notices.back();
    ctl->Append(Attempt(3, "3.759", PriceOutcome::Sent));
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"3=3.759"}));
    EXPECT_EQ(m_notices.back(), "");
}

// A log moved aside and started again by the same name is followed from its start too.
TEST_F(PriceLogFollowerTest, AReplacedLogIsFollowedFromItsStart) {
    const auto ctl = Other("voxa-ctl");
    ctl->Append(Attempt(1, "3.399", PriceOutcome::Sent));
    ctl->Append(Attempt(1, "3.389", PriceOutcome::Sent));
    m_follower.Start(kStart);
    fs::rename(m_dir / "voxa-prices.csv", m_dir / "voxa-prices.old");
    ctl->Append(Attempt(2, "3.559", PriceOutcome::Sent));
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"2=3.559"}));
    EXPECT_TRUE(Poll().empty());
}

TEST_F(PriceLogFollowerTest, ALogNotWrittenYetHasNoChangesUntilItIs) {
    m_follower.Start(kStart);
    EXPECT_TRUE(Poll().empty());
    // Whatever its clock says: the file holds nothing from before following began.
    Other("voxa-ctl", kStart - 3600)->Append(Attempt(6, "19.99", PriceOutcome::Sent));
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"6=19.99"}));
}

TEST_F(PriceLogFollowerTest, DamagedLinesAreNoChanges) {
    Other("voxa-ctl")->Append(Attempt(1, "3.399", PriceOutcome::Sent));
    m_follower.Start(kStart);
    AppendRaw("garbage without commas\n" + PriceLogFile::TimeText(kStart) +
              ",voxa-ctl,hq,9,,,1.00,sent\n,voxa-ctl,hq,2,,,1.00,sent\n\n");
    Other("voxa-ctl")->Append(Attempt(2, "3.559", PriceOutcome::Sent));
    // A line with no time is still a change while the same file is followed.
    EXPECT_EQ(Prices(Poll()), (std::vector<std::string>{"2=1.00", "2=3.559"}));
}

struct TimeCase {
    const char *text;
    std::optional<std::time_t> time;
};

class PriceLogFollowerTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(PriceLogFollowerTime, ReadsTheLogsTimesWithTheirOffset) {
    EXPECT_EQ(PriceLogFollower::TimeOf(GetParam().text), GetParam().time) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, PriceLogFollowerTime,
                         ::testing::Values(TimeCase{"2026-12-07T12:00:00+00:00", 1796644800},
                                           TimeCase{"2026-12-07T13:00:00+01:00", 1796644800},
                                           TimeCase{"2026-12-07T06:30:00-05:30", 1796644800},
                                           TimeCase{"2026-12-07T12:00:00", std::nullopt},
                                           TimeCase{"2026-12-07 12:00:00+00:00", std::nullopt},
                                           TimeCase{"2026-12-07T12:00:00+00:00x", std::nullopt},
                                           TimeCase{"", std::nullopt}));

TEST(PriceLogFollower, OwnTimeTextReadsBack) {
    EXPECT_EQ(PriceLogFollower::TimeOf(PriceLogFile::TimeText(kStart)), kStart);
}

TEST(PriceLogFollower, TakenOutcomes) {
    for (const char *taken : {"sent", "confirmed", "sent (forced)", "confirmed (forced)"})
        EXPECT_TRUE(PriceLogFollower::TakenOutcome(taken)) << taken;
    for (const char *other : {"sending", "refused", "mismatch", "unknown", "sentx", "damaged", ""})
        EXPECT_FALSE(PriceLogFollower::TakenOutcome(other)) << other;
}

}  // namespace
