// voxa-agent and voxa-hq as a chain meets them: a real Mosquitto with TLS, passwords and
// the ACL, voxa-ccsim on pseudo-terminals, the real programs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "change_result.h"
#include "file_contents.h"
#include "fleet_process_fixture.h"
#include "fleet_topics.h"
#include "iso_time.h"
#include "price_change.h"

namespace {

using namespace std::chrono_literals;

std::vector<ChangeResult> ResultsOf(const TestClient &client, const std::string &site) {
    std::vector<ChangeResult> results;
    for (const std::string &payload : client.On(FleetTopics::Results(site))) {
        if (auto result = ChangeResult::FromJson(nlohmann::json::parse(payload, nullptr, false)))
            results.push_back(*result);
    }
    return results;
}

std::string ChangePayload(const std::string &id, const std::map<int, std::string> &prices,
                          std::time_t effectiveAt = 0) {
    PriceChange change;
    change.id = id;
    change.author = "fleet-test";
    change.issuedAt = std::time(nullptr);
    change.effectiveAt = effectiveAt == 0 ? change.issuedAt : effectiveAt;
    change.prices = prices;
    return change.ToJson().dump();
}

TEST_F(FleetProcess, PushIsConfirmedByThreeSites) {
    for (const std::string &site : kSites) AddStation(site);
    for (const std::string &site : kSites) StartAgent(site);
    const HqRun run = Hq({"push", "--site", "north,south,east", "1=3.459", "2=3.659", "--confirm",
                          "--author", "j.smith", "--timeout", "40"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (const std::string &site : kSites) {
        EXPECT_NE(run.out.find(site), std::string::npos) << run.out;
        const auto rows = PriceRows(site);
        ASSERT_EQ(rows.size(), 2u) << site;
        EXPECT_EQ(rows[0].source, "head-office");
        EXPECT_EQ(rows[0].user, "j.smith");
        EXPECT_EQ(rows[0].tag, "Regular");
        EXPECT_EQ(rows[0].newPrice, "3.459");
        EXPECT_EQ(rows[1].outcome, "confirmed");
    }
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3) << run.out;
    EXPECT_NE(run.out.find("confirmed   1=3.459 confirmed 2=3.659 confirmed"), std::string::npos)
        << run.out;

    const HqRun status = Hq({"status", "--json"});
    ASSERT_EQ(status.status, 0) << status.err;
    const auto sites = nlohmann::json::parse(status.out);
    ASSERT_EQ(sites.size(), 3u);
    for (const auto &state : sites) {
        EXPECT_TRUE(state["online"].get<bool>());
        EXPECT_EQ(state["prices"]["1"], "3.459");
        EXPECT_EQ(state["lastChange"]["outcome"], "confirmed");
    }
}

TEST_F(FleetProcess, SiteOfflineDuringThePushGetsTheChangeWhenBack) {
    AddStation("north");
    StartAgent("north");  // the broker learns the site's session
    StopAgent("north");
    const HqRun missed = Hq({"push", "--site", "north", "1=3.459", "--timeout", "1"});
    EXPECT_EQ(missed.status, 4) << missed.out << missed.err;
    EXPECT_NE(missed.out.find("no answer"), std::string::npos) << missed.out;
    EXPECT_NE(missed.err.find("did not confirm: north"), std::string::npos) << missed.err;
    EXPECT_TRUE(PriceRows("north").empty());

    const HqRun offline = Hq({"status"});
    EXPECT_NE(offline.out.find("north  no  "), std::string::npos) << offline.out;

    StartAgent("north");
    ASSERT_TRUE(WaitForPriceRows("north", 1, 20s));
    EXPECT_EQ(PriceRows("north")[0].newPrice, "3.459");
}

TEST_F(FleetProcess, DuplicateDeliveryIsNotAppliedTwice) {
    AddStation("north");
    StartAgent("north");
    TestClient hq;
    ASSERT_TRUE(hq.Connect(*m_broker, "hq", {"voxa/+/results"})) << hq.problem;
    const std::string payload = ChangePayload("dup-1", {{1, "3.459"}});
    ASSERT_TRUE(hq.Publish(FleetTopics::Changes("north"), payload));
    ASSERT_TRUE(hq.WaitFor([&] { return ResultsOf(hq, "north").size() == 1; }, 30s));
    ASSERT_TRUE(hq.Publish(FleetTopics::Changes("north"), payload));
    ASSERT_TRUE(hq.WaitFor([&] { return ResultsOf(hq, "north").size() == 2; }, 30s));
    const auto results = ResultsOf(hq, "north");
    EXPECT_EQ(results[0].outcome, "sent");
    EXPECT_FALSE(results[0].duplicate);
    EXPECT_EQ(results[1].outcome, "sent");
    EXPECT_TRUE(results[1].duplicate);
    EXPECT_EQ(PriceRows("north").size(), 1u);
}

TEST_F(FleetProcess, ScheduledChangeSurvivesAnAgentRestartAndIsAppliedAtItsTime) {
    AddStation("north");
    StartAgent("north");
    const std::time_t at = std::time(nullptr) + 6;
    const HqRun run = Hq({"push", "--site", "north", "2=3.659", "--at", IsoTime::Format(at)});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("scheduled"), std::string::npos) << run.out;
    StopAgent("north");
    EXPECT_NE(ReadWholeFile(StationFolder("north") / "voxa-fleet.json").find("3.659"),
              std::string::npos);
    EXPECT_TRUE(PriceRows("north").empty());
    StartAgent("north");
    ASSERT_TRUE(WaitForPriceRows("north", 1, 30s));
    const auto row = PriceRows("north")[0];
    EXPECT_EQ(row.newPrice, "3.659");
    // Not before its time: the row's time (local, with its offset) is at or after it.
    const auto written = IsoTime::Parse(row.time);
    ASSERT_TRUE(written) << row.time;
    EXPECT_GE(*written, at);
}

TEST_F(FleetProcess, BrokerRestartMidRunLosesNoResult) {
    AddStation("north");
    StartAgent("north");
    // Head office's own session is kept, so the result waits for it at the broker.
    TestClient hq;
    ASSERT_TRUE(hq.Connect(*m_broker, "hq", {"voxa/north/results"}, false)) << hq.problem;
    // Time enough for the agent's first poll of the controller and the answer.
    const std::time_t at = std::time(nullptr) + 8;
    ASSERT_TRUE(
        hq.Publish(FleetTopics::Changes("north"), ChangePayload("r-1", {{1, "3.419"}}, at)));
    ASSERT_TRUE(hq.WaitFor([&] { return ResultsOf(hq, "north").size() == 1; }, 20s));
    ASSERT_EQ(ResultsOf(hq, "north")[0].outcome, "scheduled");
    m_broker->Stop();
    // The change is applied while the broker is away; its result waits at the agent.
    ASSERT_TRUE(WaitForPriceRows("north", 1, 30s));
    ASSERT_TRUE(m_broker->Start()) << m_broker->Problem();
    ASSERT_TRUE(hq.WaitFor(
        [&] {
            const auto results = ResultsOf(hq, "north");
            return results.size() >= 2 && results.back().final;
        },
        60s))
        << hq.problem << StopAgent("north");
    EXPECT_EQ(ResultsOf(hq, "north").back().outcome, "sent");
    // And the agent takes new changes again.
    const HqRun run = Hq({"push", "--site", "north", "1=3.399", "--timeout", "40"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
}

TEST_F(FleetProcess, AclKeepsASiteFromReadingAnotherSitesChanges) {
    TestClient south;
    ASSERT_TRUE(south.Connect(*m_broker, "south", {"voxa/south/changes"})) << south.problem;
    TestClient spy;
    ASSERT_TRUE(spy.Connect(*m_broker, "north", {"voxa/south/changes", "voxa/+/changes"}))
        << spy.problem;
    TestClient hq;
    ASSERT_TRUE(hq.Connect(*m_broker, "hq", {"voxa/+/results"})) << hq.problem;
    ASSERT_TRUE(hq.Publish(FleetTopics::Changes("south"), ChangePayload("acl-1", {{1, "1.00"}})));
    ASSERT_TRUE(south.WaitFor([&] { return !south.messages.empty(); }, 10s));
    // A site may not write another's results, nor changes for itself.
    ASSERT_TRUE(spy.Publish(FleetTopics::Results("south"), R"({"id":"forged","outcome":"sent"})"));
    ASSERT_TRUE(spy.Publish(FleetTopics::Changes("north"), ChangePayload("self", {{1, "0.01"}})));
    spy.WaitFor([] { return false; }, 500ms);
    hq.WaitFor([] { return false; }, 300ms);
    EXPECT_TRUE(spy.messages.empty());
    EXPECT_TRUE(hq.messages.empty());
    EXPECT_EQ(south.messages.size(), 1u);
}

TEST_F(FleetProcess, WrongPasswordIsRefused) {
    WriteWholeFile(m_broker->Folder() / "north.password", "not-the-password\n");
    TestClient north;
    EXPECT_FALSE(north.Connect(*m_broker, "north", {"voxa/north/changes"}));
    EXPECT_NE(north.problem.find("not authorised"), std::string::npos) << north.problem;
}

TEST_F(FleetProcess, AgentRefusesAPasswordFileOthersMayRead) {
    AddStation("north");
    const auto password = m_broker->Folder() / "north.password";
    ASSERT_EQ(chmod(password.c_str(), 0644), 0);
    ChildProcess agent(VOXA_AGENT_PATH, {"--folder", StationFolder("north").string()});
    EXPECT_EQ(agent.Finish(10s), 2);
    EXPECT_NE(agent.ErrText().find("chmod 600"), std::string::npos) << agent.ErrText();
    EXPECT_EQ(agent.ErrText().find(m_broker->Password("north")), std::string::npos);
}

TEST_F(FleetProcess, AgentVerifiesTheBrokersCertificate) {
    // The authority of another broker, which did not sign this one's certificate.
    const BrokerProcess other(m_folder.Path() / "other", {"north"});
    AddStation("north", "CaFile=" + (other.Folder() / "ca.crt").string() + "\n");
    ChildProcess agent(VOXA_AGENT_PATH, {"--folder", StationFolder("north").string()});
    std::this_thread::sleep_for(3s);
    agent.Terminate();
    EXPECT_EQ(agent.ErrText().find("voxa-agent: connected to"), std::string::npos)
        << agent.ErrText();
    EXPECT_NE(agent.ErrText().find("trying again"), std::string::npos) << agent.ErrText();
}

TEST_F(FleetProcess, WaitingChangeIsCancelled) {
    AddStation("north");
    StartAgent("north");
    const HqRun push = Hq({"push", "--site", "north", "1=3.459", "--at",
                           IsoTime::Format(std::time(nullptr) + 600), "--timeout", "30"});
    ASSERT_EQ(push.status, 0) << push.out << push.err;
    const std::size_t at = push.err.find("change c-");
    ASSERT_NE(at, std::string::npos) << push.err;
    const std::string id = push.err.substr(at + 7, push.err.find(' ', at + 7) - at - 7);
    const HqRun cancel = Hq({"cancel", id, "--site", "north", "--timeout", "30"});
    EXPECT_EQ(cancel.status, 0) << cancel.out << cancel.err;
    EXPECT_NE(cancel.out.find("cancelled"), std::string::npos) << cancel.out;
    const HqRun again = Hq({"cancel", id, "--site", "north", "--timeout", "30"});
    EXPECT_EQ(again.status, 4) << again.out << again.err;
    EXPECT_NE(again.out.find("no longer waiting: it was cancelled"), std::string::npos)
        << again.out;
    StopAgent("north");
    const auto store =
        nlohmann::json::parse(ReadWholeFile(StationFolder("north") / "voxa-fleet.json"));
    EXPECT_TRUE(store["waiting"].empty()) << store.dump();
    EXPECT_TRUE(PriceRows("north").empty());
}

TEST_F(FleetProcess, WatchHandsAnAlertToTheAlertCommand) {
    AddStation("north", "", {"--cc-status", "2"});
    const auto file = m_folder.Path() / "alert.json";
    ChildProcess watch(
        VOXA_HQ_PATH,
        {"--config", m_broker->HeadOfficeSettings().string(), "watch", "--count", "1", "--on-alert",
         "echo \"$VOXA_SITE $VOXA_ALERT_KIND\" > " + file.string() + "; cat >> " + file.string()});
    const auto told = watch.ReadErrorLine(15s);
    ASSERT_TRUE(told && told->find("watching") != std::string::npos) << watch.ErrText();
    StartAgent("north");
    ASSERT_EQ(watch.Finish(30s), 0) << watch.ErrText();
    EXPECT_NE(watch.OutText().find("north ALERT failure"), std::string::npos) << watch.OutText();
    const std::string text = ReadWholeFile(file);
    EXPECT_EQ(text.rfind("north failure\n", 0), 0u) << text;
    EXPECT_NE(text.find("\"kind\":\"failure\""), std::string::npos) << text;
}

}  // namespace
