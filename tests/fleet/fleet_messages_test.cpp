#include <gtest/gtest.h>

#include "change_result.h"
#include "fleet_topics.h"
#include "iso_time.h"
#include "price_change.h"
#include "site_alert.h"
#include "site_state.h"

namespace {

struct TimeCase {
    const char *text;
    std::optional<std::time_t> utc;
};

class IsoTimeParse : public ::testing::TestWithParam<TimeCase> {};

TEST_P(IsoTimeParse, ReadsUtcOffsetsAndRefusesTheRest) {
    EXPECT_EQ(IsoTime::Parse(GetParam().text), GetParam().utc) << GetParam().text;
}

// 2026-12-08T06:00:00Z is 1796709600.
INSTANTIATE_TEST_SUITE_P(Texts, IsoTimeParse,
                         ::testing::Values(TimeCase{"2026-12-08T06:00:00Z", 1796709600},
                                           TimeCase{"2026-12-08T07:00:00+01:00", 1796709600},
                                           TimeCase{"2026-12-08T01:30:00-04:30", 1796709600},
                                           TimeCase{"2026-12-08T06:00:00.250Z", 1796709600},
                                           TimeCase{"2026-12-08t06:00:00z", 1796709600},
                                           TimeCase{"2026-12-08T06:00:00", std::nullopt},
                                           TimeCase{"2026-12-08", std::nullopt},
                                           TimeCase{"2026-02-30T06:00:00Z", std::nullopt},
                                           TimeCase{"2026-13-08T06:00:00Z", std::nullopt},
                                           TimeCase{"2026-12-08T24:00:00Z", std::nullopt},
                                           TimeCase{"2026-12-08T06:00:00+1:00", std::nullopt},
                                           TimeCase{"2026-12-08T06:00:00Zjunk", std::nullopt},
                                           TimeCase{"2026-12-08T06:00:00.Z", std::nullopt},
                                           TimeCase{"", std::nullopt}));

TEST(IsoTime, FormatsUtcToTheSecond) {
    EXPECT_EQ(IsoTime::Format(1796709600), "2026-12-08T06:00:00Z");
    EXPECT_EQ(IsoTime::Parse(IsoTime::Format(1796709661)), 1796709661);
}

TEST(PriceChange, RoundTripsThroughJson) {
    PriceChange change;
    change.id = "c1";
    change.author = "j.smith";
    change.issuedAt = 1796709600;
    change.effectiveAt = 1796710200;
    change.prices = {{1, "3.459"}, {8, "1.00"}};
    change.confirm = true;
    std::string id;
    std::string reason;
    const auto back = PriceChange::Parse(change.ToJson().dump(), id, reason);
    ASSERT_TRUE(back) << reason;
    EXPECT_EQ(back->id, "c1");
    EXPECT_EQ(back->effectiveAt, 1796710200);
    EXPECT_EQ(back->prices, change.prices);
    EXPECT_TRUE(back->confirm);
    EXPECT_FALSE(back->IsCancel());
}

TEST(PriceChange, WithoutEffectiveTimeTakesEffectWhenIssued) {
    std::string id;
    std::string reason;
    const auto change = PriceChange::Parse(
        R"({"id":"c1","author":"a","issuedAt":"2026-12-08T06:00:00Z","prices":{"2":"3.1"}})", id,
        reason);
    ASSERT_TRUE(change) << reason;
    EXPECT_EQ(change->effectiveAt, change->issuedAt);
    EXPECT_FALSE(change->confirm);
}

TEST(PriceChange, RefusesControlCharactersAndOverlongIds) {
    std::string id;
    std::string reason;
    EXPECT_FALSE(PriceChange::Parse(
        R"({"id":"c\n1","author":"a","issuedAt":"2026-12-08T06:00:00Z","prices":{"2":"3"}})", id,
        reason));
    EXPECT_TRUE(id.empty());
    const std::string longId(129, 'a');
    EXPECT_FALSE(PriceChange::Parse(
        R"({"id":")" + longId +
            R"(","author":"a","issuedAt":"2026-12-08T06:00:00Z","prices":{"2":"3"}})",
        id, reason));
    EXPECT_FALSE(PriceChange::Parse(
        R"({"id":"c1","author":"a","issuedAt":"2026-12-08T06:00:00Z","prices":{"2":"3\u0007"}})",
        id, reason));
    EXPECT_EQ(id, "c1");
}

TEST(ChangeResult, RoundTripsThroughJson) {
    ChangeResult result;
    result.id = "c1";
    result.site = "s";
    result.outcome = "failed";
    result.final = true;
    result.duplicate = true;
    result.reason = "why";
    result.appliedAt = 1796709600;
    result.lines = {{1, "3.459", "mismatch", "3.458", 1796709601}};
    const auto back = ChangeResult::FromJson(nlohmann::json::parse(result.Payload()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->outcome, "failed");
    EXPECT_TRUE(back->duplicate);
    EXPECT_EQ(back->appliedAt, 1796709600);
    ASSERT_EQ(back->lines.size(), 1u);
    EXPECT_EQ(back->lines[0].shown, "3.458");
    EXPECT_EQ(back->lines[0].at, 1796709601);
    EXPECT_EQ(back->receivedAt, 0);
}

TEST(SiteState, RoundTripsThroughJson) {
    SiteState state;
    state.site = "s";
    state.online = false;
    state.prices = {{1, "3.459"}};
    state.tags = {{1, "Regular"}};
    state.answering = false;
    state.memory = true;
    state.waiting = {"c1", "c2"};
    state.clockOffsetSeconds = 900;
    const auto back = SiteState::FromJson(nlohmann::json::parse(state.Payload()));
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->online);
    EXPECT_EQ(back->prices, state.prices);
    EXPECT_FALSE(back->answering);
    EXPECT_TRUE(back->memory);
    EXPECT_EQ(back->waiting, state.waiting);
    EXPECT_EQ(back->clockOffsetSeconds, 900);
}

TEST(SiteAlert, RoundTripsThroughJson) {
    const SiteAlert alert{"s", 1796709600, SiteAlert::kMemory, "load it"};
    const auto back = SiteAlert::FromJson(nlohmann::json::parse(alert.Payload()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, "memory");
    EXPECT_EQ(back->time, 1796709600);
    EXPECT_FALSE(SiteAlert::FromJson(nlohmann::json::parse("{}")));
}

TEST(FleetTopics, SplitsOnlyTopicsOfTheFleet) {
    std::string site;
    std::string kind;
    EXPECT_TRUE(FleetTopics::Split(FleetTopics::Alerts("s-1"), site, kind));
    EXPECT_EQ(site, "s-1");
    EXPECT_EQ(kind, "alerts");
    EXPECT_FALSE(FleetTopics::Split("voxa//state", site, kind));
    EXPECT_FALSE(FleetTopics::Split("other/s/state", site, kind));
    EXPECT_FALSE(FleetTopics::Split("voxa/s/state/x", site, kind));
}

}  // namespace
