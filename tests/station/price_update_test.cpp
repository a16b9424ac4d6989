// The price update shared by Send Update and voxa-ctl, against the simulated controller.
#include "price_update.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "command_code.h"
#include "simulated_site.h"
#include "startup_reads.h"

namespace {

class RecordingLog : public PriceLog {
public:
    bool Append(const PriceAttempt &attempt) override {
        attempts.push_back(attempt);
        return true;
    }
    bool Begin(const PriceAttempt &attempt) override {
        if (onBegin) onBegin();
        attempts.push_back(attempt);
        pending = true;
        return true;
    }
    bool Complete(PriceOutcome outcome) override {
        EXPECT_TRUE(pending);
        pending = false;
        attempts.back().outcome = outcome;
        return true;
    }
    std::vector<PriceAttempt> attempts;
    bool pending = false;
    std::function<void()> onBegin;
};

int Code(CommandCode code) {
    return ToByte(code);
}

class PriceUpdateTest : public ::testing::Test {
protected:
    PriceUpdateTest() {
        site.system.SetLineTag(0, "Regular, \"unleaded\"");
        update.SetKnownPrice(1, "3.499");
    }

    SimulatedSite site;
    ControllerModel::State &state = site.model.Current();
    RecordingLog log;
    PriceUpdate update{site.system, &log};
};

TEST_F(PriceUpdateTest, WithoutConfirmationASendIsOneSetLinePrice) {
    const PriceUpdate::Result result = update.Send(1, "3.459");
    EXPECT_EQ(result.outcome, PriceOutcome::Sent);
    EXPECT_EQ(site.SentCodes(), std::vector<int>{Code(CommandCode::SetLinePrice)});
    ASSERT_EQ(log.attempts.size(), 1u);
    const PriceAttempt &a = log.attempts[0];
    EXPECT_EQ(a.line, 1);
    EXPECT_EQ(a.tag, "Regular, \"unleaded\"");
    EXPECT_EQ(a.oldPrice, "3.499");
    EXPECT_EQ(a.newPrice, "3.459");
    EXPECT_EQ(a.outcome, PriceOutcome::Sent);
    // The next change is measured from the price sent.
    EXPECT_EQ(update.KnownPrice(1), "3.459");
}

struct SendCase {
    const char *name;
    bool confirm;
    std::function<void(FaultPlan &)> fault;
    PriceOutcome outcome;
    std::vector<int> codes;
    // What the line is known to show afterwards.
    std::optional<std::string> known;
};

void PrintTo(const SendCase &c, std::ostream *os) {
    *os << c.name;
}

class PriceUpdateSend : public PriceUpdateTest, public ::testing::WithParamInterface<SendCase> {};

TEST_P(PriceUpdateSend, RecordsWhatBecameOfThePrice) {
    const SendCase &c = GetParam();
    c.fault(site.controller.Faults());
    update.SetConfirm(c.confirm);
    const PriceUpdate::Result result = update.Send(1, "3.459");
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(site.SentCodes(), c.codes);
    ASSERT_EQ(log.attempts.size(), 1u);
    EXPECT_EQ(log.attempts[0].outcome, c.outcome);
    EXPECT_EQ(log.attempts[0].oldPrice, "3.499");
    EXPECT_EQ(update.KnownPrice(1), c.known);
    if (c.outcome == PriceOutcome::Mismatch) {
        EXPECT_EQ(result.shown, "4.459");
    }
}

const std::vector<int> kSet{2};
const std::vector<int> kSetAndRead{2, 3};

INSTANTIATE_TEST_SUITE_P(
    Faults, PriceUpdateSend,
    ::testing::Values(
        SendCase{"Confirmed", true, [](FaultPlan &) {}, PriceOutcome::Confirmed, kSetAndRead,
                 "3.459"},
        SendCase{"ControllerStoresAnotherText", true, [](FaultPlan &f) { f.manglePrice = true; },
                 PriceOutcome::Mismatch, kSetAndRead, "4.459"},
        SendCase{"MangledButNotReadBack", false, [](FaultPlan &f) { f.manglePrice = true; },
                 PriceOutcome::Sent, kSet, "3.459"},
        SendCase{"ReadBackRefused", true,
                 [](FaultPlan &f) {
                     f.forcedStatus = ControllerStatus::kInvalidLine;
                     f.forcedStatusCount = 1;
                     f.forcedStatusCommand = ToByte(CommandCode::GetLinePrice);
                 },
                 PriceOutcome::NotConfirmed, kSetAndRead, "3.459"},
        SendCase{"SetRefused", true,
                 [](FaultPlan &f) {
                     f.forcedStatus = ControllerStatus::kInvalidLine;
                     f.forcedStatusCount = 1;
                 },
                 PriceOutcome::Refused, kSet, "3.499"},
        SendCase{"NothingAnswers",
                 true,
                 [](FaultPlan &f) { f.silent = true; },
                 PriceOutcome::NoAnswer,
                 {},
                 "3.499"},
        // Every byte refused: the request never got through whole.
        SendCase{"NakStorm",
                 false,
                 [](FaultPlan &f) { f.nakRate = 1.0; },
                 PriceOutcome::NoAnswer,
                 {},
                 "3.499"},
        // The controller took the request whole and said status 0, but the
        // line was cut in the middle of the reply: it may well show 3.459.
        SendCase{"ReplyCutAfterTheStatus", false, [](FaultPlan &f) { f.stopAfterReplyByte = 5; },
                 PriceOutcome::Unknown, kSet, std::nullopt},
        // A checksum failure answered by a quiet resend, which the controller
        // takes without anyone reading its reply.
        SendCase{"QuietResendTakenUnread", false,
                 [](FaultPlan &f) {
                     f.forcedStatus = ControllerStatus::kChecksumFailure;
                     f.forcedStatusCount = 1;
                 },
                 PriceOutcome::Unknown, std::vector<int>{2, 2}, std::nullopt}),
    [](const ::testing::TestParamInfo<SendCase> &param) { return param.param.name; });

// The attempt is on record before the first byte of the price goes out, so that a program
// killed while the controller takes it leaves a line behind.
TEST_F(PriceUpdateTest, ThePriceIsOnRecordBeforeItGoesOut) {
    std::vector<int> sentAtBegin{-1};
    log.onBegin = [&] { sentAtBegin = site.SentCodes(); };
    EXPECT_EQ(update.Send(1, "3.459").outcome, PriceOutcome::Sent);
    EXPECT_EQ(sentAtBegin, std::vector<int>{});
    ASSERT_EQ(log.attempts.size(), 1u);
    EXPECT_FALSE(log.pending);
    EXPECT_EQ(log.attempts[0].outcome, PriceOutcome::Sent);
}

TEST_F(PriceUpdateTest, ABadValueIsRecordedAndNothingIsSent) {
    EXPECT_FALSE(update.CheckFormat(1, "3.45_"));
    EXPECT_TRUE(update.CheckFormat(1, "3.459"));
    EXPECT_TRUE(site.SentCodes().empty());
    ASSERT_EQ(log.attempts.size(), 1u);
    EXPECT_EQ(log.attempts[0].outcome, PriceOutcome::BadValue);
    EXPECT_EQ(log.attempts[0].newPrice, "3.45_");
}

TEST_F(PriceUpdateTest, LimitsAreMeasuredFromTheKnownPriceAndAHoldBackIsRecorded) {
    PriceLimits limits;
    limits.SetMaxChangePercent(10);
    update.SetLimits(limits);
    EXPECT_FALSE(update.LimitQuestion(1, "3.799"));
    EXPECT_EQ(update.LimitQuestion(1, "8.599"),
              "Price #1 changes from 3.499 to 8.599 (+146%).\nSend anyway?");
    update.HoldBack(1, "8.599");
    EXPECT_TRUE(site.SentCodes().empty());
    ASSERT_EQ(log.attempts.size(), 1u);
    EXPECT_EQ(log.attempts[0].outcome, PriceOutcome::OutsideLimits);
    EXPECT_EQ(update.KnownPrice(1), "3.499");
}

TEST(StartupReads, APriceThatWasNotAnsweredIsNotKnown) {
    SimulatedSite site;
    site.model.Current().lineCount = 3;
    site.controller.Faults().forcedStatus = ControllerStatus::kInvalidLine;
    site.controller.Faults().forcedStatusCount = 1;
    site.controller.Faults().forcedStatusCommand = ToByte(CommandCode::GetLinePrice);
    StartupReads reads(site.system);
    EXPECT_FALSE(reads.ReadStatus());
    EXPECT_EQ(reads.ReadLinesAndFormats(), 3);
    reads.ReadFaceMasks();
    reads.ReadPrices();
    EXPECT_EQ(site.SentCodes(), (std::vector<int>{34, 4, 1, 1, 1, 32, 32, 32, 3, 3, 3}));
    // The first read failed: it left nothing behind that could pass for line 1's price.
    EXPECT_EQ(reads.Price(1), std::nullopt);
    EXPECT_EQ(reads.Price(2), site.model.Current().lines[1].price);
    EXPECT_EQ(reads.Price(3), site.model.Current().lines[2].price);
    EXPECT_EQ(reads.Price(4), std::nullopt);
}

}  // namespace
