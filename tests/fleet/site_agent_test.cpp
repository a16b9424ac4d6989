#include "site_agent.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "change_store.h"
#include "fake_message_link.h"
#include "fleet_topics.h"
#include "iso_time.h"
#include "scripted_station.h"
#include "site_alert.h"
#include "temporary_folder.h"

namespace {

const std::string kSite = "site-7";

class SiteAgentTest : public ::testing::Test {
protected:
    SiteAgentTest() { Restart(); }

    // A new agent on the same store file, as after the program was started again.
    void Restart() {
        agent.reset();
        store = std::make_unique<ChangeStore>(m_folder.Path() / ChangeStore::kFileName);
        std::string problem;
        ASSERT_TRUE(store->Load(problem)) << problem;
        SiteAgent::Options options{kSite, 5, 60, "9.9"};
        agent = std::make_unique<SiteAgent>(options, *store, station, link, log);
        agent->SetClock([this] { return now; });
        ASSERT_TRUE(agent->Start(problem)) << problem;
        agent->Connected();
    }

    std::string Change(const std::string &id, const std::map<int, std::string> &prices,
                       long issuedFromNow = 0, long effectiveFromNow = 0,
                       const std::string &author = "j.smith") const {
        PriceChange change;
        change.id = id;
        change.author = author;
        change.issuedAt = now + issuedFromNow;
        change.effectiveAt = now + effectiveFromNow;
        change.prices = prices;
        return change.ToJson().dump();
    }

    void Deliver(const std::string &payload) {
        agent->Received(FleetTopics::Changes(kSite), payload);
    }

    std::vector<ChangeResult> Results() const {
        std::vector<ChangeResult> results;
        for (const auto &message : link.On(FleetTopics::Results(kSite))) {
            results.push_back(*ChangeResult::FromJson(nlohmann::json::parse(message.payload)));
        }
        return results;
    }
    // The final results for one id, in order.
    std::vector<ChangeResult> FinalResults(const std::string &id) const {
        std::vector<ChangeResult> found;
        for (const ChangeResult &result : Results()) {
            if (result.id == id && result.final) found.push_back(result);
        }
        return found;
    }
    std::vector<SiteAlert> Alerts() const {
        std::vector<SiteAlert> alerts;
        for (const auto &message : link.On(FleetTopics::Alerts(kSite)))
            alerts.push_back(*SiteAlert::FromJson(nlohmann::json::parse(message.payload)));
        return alerts;
    }
    SiteState LastState() const {
        const auto states = link.On(FleetTopics::State(kSite));
        return *SiteState::FromJson(nlohmann::json::parse(states.back().payload));
    }
    // Acknowledges every message published so far, as the broker does.
    void AcknowledgeAll() {
        for (const auto &message : link.published) agent->Delivered(message.id);
    }

    TemporaryFolder m_folder{"voxa-site-agent"};
    std::time_t now = *IsoTime::Parse("2026-12-08T06:00:00Z");
    ScriptedStation station;
    FakeMessageLink link;
    std::ostringstream log;
    std::unique_ptr<ChangeStore> store;
    std::unique_ptr<SiteAgent> agent;
};

TEST_F(SiteAgentTest, SubscribesToItsOwnChangesOnConnecting) {
    ASSERT_EQ(link.subscriptions.size(), 1u);
    EXPECT_EQ(link.subscriptions[0], "voxa/site-7/changes");
    ASSERT_FALSE(link.On(FleetTopics::State(kSite)).empty());
    EXPECT_TRUE(link.On(FleetTopics::State(kSite)).back().retain);
    EXPECT_TRUE(LastState().online);
}

TEST_F(SiteAgentTest, AppliesAChangeDueNowAndAnswersWithItsResult) {
    Deliver(Change("c1", {{1, "3.459"}, {2, "3.659"}}));
    ASSERT_EQ(station.applied.size(), 1u);
    EXPECT_EQ(station.applied[0].prices.at(2), "3.659");
    const auto results = FinalResults("c1");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, "confirmed");
    EXPECT_EQ(results[0].site, kSite);
    EXPECT_EQ(results[0].author, "j.smith");
    ASSERT_EQ(results[0].lines.size(), 2u);
    EXPECT_EQ(results[0].lines[0].shown, "3.459");
    const SiteState state = LastState();
    EXPECT_EQ(state.lastChangeId, "c1");
    EXPECT_EQ(state.lastChangeOutcome, "confirmed");
    EXPECT_EQ(state.prices.at(1), "3.459");
}

TEST_F(SiteAgentTest, ScheduledChangeWaitsForItsTime) {
    Deliver(Change("c1", {{1, "3.459"}}, 0, 600));
    EXPECT_TRUE(station.applied.empty());
    ASSERT_EQ(Results().size(), 1u);
    EXPECT_EQ(Results()[0].outcome, "scheduled");
    EXPECT_FALSE(Results()[0].final);
    EXPECT_EQ(LastState().waiting, std::vector<std::string>{"c1"});
    now += 599;
    agent->Tick();
    EXPECT_TRUE(station.applied.empty());
    now += 1;
    agent->Tick();
    ASSERT_EQ(station.applied.size(), 1u);
    EXPECT_EQ(FinalResults("c1").size(), 1u);
    EXPECT_TRUE(LastState().waiting.empty());
}

TEST_F(SiteAgentTest, ScheduledChangeSurvivesARestart) {
    Deliver(Change("c1", {{1, "3.459"}}, 0, 600));
    Restart();
    EXPECT_TRUE(station.applied.empty());
    now += 600;
    agent->Tick();
    ASSERT_EQ(station.applied.size(), 1u);
    EXPECT_EQ(station.applied[0].id, "c1");
}

TEST_F(SiteAgentTest, DuplicateDeliveryIsAnsweredWithTheEarlierResultAndNotApplied) {
    const std::string payload = Change("c1", {{1, "3.459"}});
    Deliver(payload);
    Deliver(payload);
    AcknowledgeAll();
    Restart();
    Deliver(payload);
    EXPECT_EQ(station.applied.size(), 1u);
    const auto results = FinalResults("c1");
    ASSERT_EQ(results.size(), 3u);
    EXPECT_FALSE(results[0].duplicate);
    EXPECT_TRUE(results[1].duplicate);
    EXPECT_TRUE(results[2].duplicate);
    EXPECT_EQ(results[2].outcome, "confirmed");
}

TEST_F(SiteAgentTest, DuplicateOfAWaitingChangeIsNotQueuedTwice) {
    const std::string payload = Change("c1", {{1, "3.459"}}, 0, 600);
    Deliver(payload);
    Deliver(payload);
    EXPECT_EQ(store->WaitingChanges().size(), 1u);
    now += 600;
    agent->Tick();
    agent->Tick();
    EXPECT_EQ(station.applied.size(), 1u);
}

TEST_F(SiteAgentTest, ChangeOlderThanMaxLateIsExpiredAndNotSent) {
    Deliver(Change("c1", {{1, "3.459"}}, -3700, -3601));
    EXPECT_TRUE(station.applied.empty());
    const auto results = FinalResults("c1");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, "expired");
    EXPECT_NE(results[0].reason.find("MaxLateMinutes"), std::string::npos);
}

TEST_F(SiteAgentTest, LateChangeWithinMaxLateIsAppliedAtOnce) {
    Deliver(Change("c1", {{1, "3.459"}}, -3600, -3600));
    EXPECT_EQ(station.applied.size(), 1u);
}

TEST_F(SiteAgentTest, ChangeWaitingPastMaxLateWhileStoppedExpires) {
    Deliver(Change("c1", {{1, "3.459"}}, 0, 600));
    now += 600 + 3601;
    Restart();
    agent->Tick();
    EXPECT_TRUE(station.applied.empty());
    ASSERT_EQ(FinalResults("c1").size(), 1u);
    EXPECT_EQ(FinalResults("c1")[0].outcome, "expired");
}

TEST_F(SiteAgentTest, LaterChangeSupersedesAWaitingEarlierOne) {
    Deliver(Change("c1", {{1, "3.459"}}, 0, 600));
    Deliver(Change("c2", {{1, "3.479"}}, 10, 300));
    ASSERT_EQ(FinalResults("c1").size(), 1u);
    EXPECT_EQ(FinalResults("c1")[0].outcome, "superseded");
    EXPECT_NE(FinalResults("c1")[0].reason.find("c2"), std::string::npos);
    now += 600;
    agent->Tick();
    ASSERT_EQ(station.applied.size(), 1u);
    EXPECT_EQ(station.applied[0].id, "c2");
}

TEST_F(SiteAgentTest, SupersedingTakesOnlyTheSharedLines) {
    Deliver(Change("c1", {{1, "3.459"}, {2, "3.659"}}, 0, 600));
    Deliver(Change("c2", {{1, "3.479"}}, 10, 300));
    EXPECT_TRUE(FinalResults("c1").empty());
    now += 600;
    agent->Tick();
    ASSERT_EQ(station.applied.size(), 2u);
    EXPECT_EQ(station.applied[0].id, "c2");
    EXPECT_EQ(station.applied[1].prices, (std::map<int, std::string>{{2, "3.659"}}));
    ASSERT_EQ(FinalResults("c1").size(), 1u);
    EXPECT_NE(FinalResults("c1")[0].reason.find("line 1 superseded by c2"), std::string::npos);
}

TEST_F(SiteAgentTest, EarlierIssuedChangeArrivingLateLosesToTheWaitingOne) {
    Deliver(Change("c2", {{1, "3.479"}}, 0, 600));
    Deliver(Change("c1", {{1, "3.459"}}, -60, 300));
    ASSERT_EQ(FinalResults("c1").size(), 1u);
    EXPECT_EQ(FinalResults("c1")[0].outcome, "superseded");
    now += 600;
    agent->Tick();
    ASSERT_EQ(station.applied.size(), 1u);
    EXPECT_EQ(station.applied[0].id, "c2");
}

TEST_F(SiteAgentTest, CancelRemovesAWaitingChange) {
    Deliver(Change("c1", {{1, "3.459"}}, 0, 600));
    Deliver(R"({"id":"x1","author":"boss","issuedAt":"2026-12-08T06:00:00Z","cancel":"c1"})");
    ASSERT_EQ(FinalResults("c1").size(), 1u);
    EXPECT_EQ(FinalResults("c1")[0].outcome, "cancelled");
    ASSERT_EQ(FinalResults("x1").size(), 1u);
    EXPECT_EQ(FinalResults("x1")[0].outcome, "cancelled");
    now += 600;
    agent->Tick();
    EXPECT_TRUE(station.applied.empty());
}

TEST_F(SiteAgentTest, CancelOfAChangeAlreadyAppliedIsRefused) {
    Deliver(Change("c1", {{1, "3.459"}}));
    Deliver(R"({"id":"x1","author":"boss","issuedAt":"2026-12-08T06:00:00Z","cancel":"c1"})");
    Deliver(R"({"id":"x2","author":"boss","issuedAt":"2026-12-08T06:00:00Z","cancel":"c9"})");
    ASSERT_EQ(FinalResults("x1").size(), 1u);
    EXPECT_EQ(FinalResults("x1")[0].outcome, "rejected");
    EXPECT_NE(FinalResults("x1")[0].reason.find("confirmed"), std::string::npos);
    EXPECT_EQ(FinalResults("x2")[0].outcome, "rejected");
    EXPECT_EQ(station.applied.size(), 1u);
}

struct BadChange {
    const char *payload;
    const char *id;
    const char *reason;
};

class SiteAgentBadChange : public SiteAgentTest, public ::testing::WithParamInterface<BadChange> {};

TEST_P(SiteAgentBadChange, IsRefusedWithItsReasonAndNothingApplied) {
    Deliver(GetParam().payload);
    EXPECT_TRUE(station.applied.empty());
    const auto results = Results();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].id, GetParam().id);
    EXPECT_EQ(results[0].outcome, "rejected");
    EXPECT_NE(results[0].reason.find(GetParam().reason), std::string::npos) << results[0].reason;
    EXPECT_NE(results[0].reason.find("nothing was sent"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, SiteAgentBadChange,
    ::testing::Values(
        BadChange{"{not json", "", "not valid JSON"}, BadChange{"[1,2]", "", "not a JSON object"},
        BadChange{R"({"author":"a","issuedAt":"2026-12-08T06:00:00Z","prices":{"1":"1.1"}})", "",
                  "no id"},
        BadChange{R"({"id":"c1","issuedAt":"2026-12-08T06:00:00Z","prices":{"1":"1.1"}})", "c1",
                  "no author"},
        BadChange{R"({"id":"c1","author":"a","issuedAt":"today","prices":{"1":"1.1"}})", "c1",
                  "issuedAt"},
        BadChange{R"({"id":"c1","author":"a","issuedAt":"2026-12-08T06:00:00Z"})", "c1",
                  "no prices"},
        BadChange{
            R"({"id":"c1","author":"a","issuedAt":"2026-12-08T06:00:00Z","prices":{"9":"1.1"}})",
            "c1", "line \"9\""},
        BadChange{
            R"({"id":"c1","author":"a","issuedAt":"2026-12-08T06:00:00Z","prices":{"1":1.1}})",
            "c1", "price of line 1"},
        BadChange{
            R"({"id":"c1","author":"a","issuedAt":"2026-12-08T06:00:00Z","effectiveAt":"6am","prices":{"1":"1"}})",
            "c1", "effectiveAt"},
        BadChange{
            R"({"id":"c1","author":"a","issuedAt":"2026-12-08T06:00:00Z","confirm":"yes","prices":{"1":"1"}})",
            "c1", "confirm"}));

TEST_F(SiteAgentTest, RefusedChangeWithAnIdIsNotAppliedWhenItComesAgainMended) {
    Deliver(R"({"id":"c1","author":"a","issuedAt":"2026-12-08T06:00:00Z","prices":{"9":"1"}})");
    Deliver(Change("c1", {{1, "3.459"}}));
    EXPECT_TRUE(station.applied.empty());
    EXPECT_EQ(FinalResults("c1").back().outcome, "rejected");
}

TEST_F(SiteAgentTest, ResultsWaitWhileTheBrokerIsAwayAndGoOutOnReconnecting) {
    link.SetConnected(false);
    Deliver(Change("c1", {{1, "3.459"}}));
    EXPECT_EQ(station.applied.size(), 1u);
    EXPECT_TRUE(FinalResults("c1").empty());
    const std::size_t before = link.published.size();
    link.SetConnected(true);
    agent->Connected();
    ASSERT_GT(link.published.size(), before);
    EXPECT_EQ(FinalResults("c1").size(), 1u);
}

TEST_F(SiteAgentTest, UnacknowledgedResultsAreSentAgainAfterARestart) {
    link.SetConnected(false);
    Deliver(Change("c1", {{1, "3.459"}}));
    EXPECT_TRUE(FinalResults("c1").empty());
    link.SetConnected(true);
    Restart();
    EXPECT_EQ(FinalResults("c1").size(), 1u);
    AcknowledgeAll();
    EXPECT_TRUE(store->Outbox().empty());
    Restart();
    EXPECT_EQ(FinalResults("c1").size(), 1u);
}

TEST_F(SiteAgentTest, AcknowledgedResultsLeaveTheOutbox) {
    Deliver(Change("c1", {{1, "3.459"}}));
    EXPECT_FALSE(store->Outbox().empty());
    AcknowledgeAll();
    EXPECT_TRUE(store->Outbox().empty());
}

TEST_F(SiteAgentTest, ChangeInterruptedByAStopIsAnsweredAndNotSentAgain) {
    Deliver(Change("c1", {{1, "3.459"}}, 0, 600));
    store->WaitingChanges()[0].applying = true;
    std::string problem;
    ASSERT_TRUE(store->Save(problem)) << problem;
    Restart();
    now += 600;
    agent->Tick();
    EXPECT_TRUE(station.applied.empty());
    ASSERT_EQ(FinalResults("c1").size(), 1u);
    EXPECT_EQ(FinalResults("c1")[0].outcome, "interrupted");
    EXPECT_NE(FinalResults("c1")[0].reason.find("voxa-prices.csv"), std::string::npos);
}

TEST_F(SiteAgentTest, FailedApplicationIsReportedAsTheStationSaysIt) {
    station.answers.push_back({ChangeResult::kFailed,
                               "line 1: no answer; the lines after it were not sent",
                               {{1, "3.459", "no answer", "", now}}});
    Deliver(Change("c1", {{1, "3.459"}}));
    ASSERT_EQ(FinalResults("c1").size(), 1u);
    EXPECT_EQ(FinalResults("c1")[0].outcome, "failed");
    EXPECT_EQ(FinalResults("c1")[0].lines[0].outcome, "no answer");
}

TEST_F(SiteAgentTest, PollsAtStartAndEveryPollInterval) {
    agent->Tick();
    EXPECT_EQ(station.reads, 1);
    now += 299;
    agent->Tick();
    EXPECT_EQ(station.reads, 1);
    now += 1;
    agent->Tick();
    EXPECT_EQ(station.reads, 2);
}

TEST_F(SiteAgentTest, BusyLineIsPolledAgainSooner) {
    station.readings = {std::nullopt, SignStation::Reading{}};
    agent->Tick();
    now += SiteAgent::kBusyRetrySeconds;
    agent->Tick();
    EXPECT_EQ(station.reads, 2);
}

TEST_F(SiteAgentTest, AlertsWhenTheControllerFailsAndWhenItRecovers) {
    SignStation::Reading good;
    good.prices = {{1, "3.459"}};
    SignStation::Reading silent;
    silent.answering = false;
    silent.status = "no answer on COM1";
    SignStation::Reading failing;
    failing.failure = true;
    failing.status = "LDFS:0010";
    SignStation::Reading memory;
    memory.memory = true;
    station.readings = {good, silent, silent, good, failing, memory, good};
    for (int i = 0; i < 7; ++i) {
        agent->Tick();
        now += 300;
    }
    const auto alerts = Alerts();
    std::vector<std::string> kinds;
    for (const SiteAlert &alert : alerts) kinds.push_back(alert.kind);
    EXPECT_EQ(kinds, (std::vector<std::string>{"no answer", "recovered", "failure", "memory",
                                               "recovered"}));
    EXPECT_NE(alerts[0].text.find("no answer on COM1"), std::string::npos);
    EXPECT_EQ(alerts[0].site, kSite);
}

TEST_F(SiteAgentTest, StateCarriesThePricesAsRead) {
    SignStation::Reading reading;
    reading.prices = {{1, "3.459"}, {2, "3.659"}};
    reading.tags = {{1, "Regular"}};
    reading.status = "CC OK";
    station.readings = {reading};
    agent->Tick();
    const SiteState state = LastState();
    EXPECT_EQ(state.prices.at(2), "3.659");
    EXPECT_EQ(state.tags.at(1), "Regular");
    EXPECT_EQ(state.status, "CC OK");
    EXPECT_EQ(state.readAt, now);
    EXPECT_EQ(state.agentVersion, "9.9");
}

TEST_F(SiteAgentTest, ClockBehindHeadOfficeIsReportedInTheState) {
    Deliver(Change("c1", {{1, "3.459"}}, 900, 900));
    EXPECT_EQ(LastState().clockOffsetSeconds, 900);
    Deliver(Change("c2", {{2, "3.459"}}, 0, 0));
    EXPECT_EQ(LastState().clockOffsetSeconds, 0);
}

TEST_F(SiteAgentTest, OfflineStateIsTheStateMarkedOffline) {
    Deliver(Change("c1", {{1, "3.459"}}));
    const SiteState offline = agent->OfflineState();
    EXPECT_FALSE(offline.online);
    EXPECT_EQ(offline.lastChangeId, "c1");
}

TEST_F(SiteAgentTest, IgnoresMessagesOnOtherTopics) {
    agent->Received("voxa/site-8/changes", Change("c1", {{1, "3.459"}}));
    EXPECT_TRUE(station.applied.empty());
    EXPECT_TRUE(Results().empty());
}

}  // namespace
