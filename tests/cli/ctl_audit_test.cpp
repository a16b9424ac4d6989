// voxa-ctl and the station's records: each setter leaves exactly one row in voxa-events.csv,
// a forced price is marked with its question, verify-logs finds an edit, and history prints
// prices and changes together, filtered by kind.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "command_line_client.h"
#include "csv_text.h"
#include "ctl_in_process_fixture.h"
#include "event_log_file.h"
#include "exit_status.h"
#include "file_contents.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using Words = std::vector<std::string>;
using Json = nlohmann::json;

std::chrono::system_clock::time_point StandingClock() {
    using namespace std::chrono;
    return sys_days{year{2026} / 12 / 7} + hours{9};
}

class CtlAudit : public CtlInProcess {
protected:
    CtlAudit() : CtlInProcess(StandingClock) {
        system.SetLineTag(0, "Regular");
        client.PriceSetup().logFolder = m_dir;
    }

    int Run(const Words &words) { return client.RunSubcommand(system, words); }
    std::vector<EventLogFile::Entry> Events() const {
        std::vector<EventLogFile::Entry> entries;
        std::string reason;
        EventLogFile(m_dir, "test")
            .ReadEach([&](EventLogFile::Entry &&e) { entries.push_back(std::move(e)); }, reason);
        return entries;
    }

    TemporaryFolder m_folder{"voxa-ctl-audit"};
    const fs::path m_dir = m_folder.Path();
    CommandLineClient client{out, err};
};

struct Setter {
    const char *name;
    Words words;
    const char *what;
    const char *after;
};

class CtlSetter : public CtlAudit, public ::testing::WithParamInterface<Setter> {};

// voxa-ctl sets without reading first (a set stays one transaction): no value before.
TEST_P(CtlSetter, LeavesExactlyOneRow) {
    ASSERT_EQ(Run(GetParam().words), ExitStatus::kOk) << err.str();
    const std::vector<EventLogFile::Entry> events = Events();
    ASSERT_EQ(events.size(), 1u) << ReadWholeFile(m_dir / "voxa-events.csv");
    EXPECT_EQ(events[0].source, "voxa-ctl");
    EXPECT_EQ(events[0].what, GetParam().what);
    EXPECT_EQ(events[0].before, "");
    EXPECT_EQ(events[0].after, GetParam().after);
    EXPECT_EQ(events[0].outcome, "done");
}

INSTANTIATE_TEST_SUITE_P(
    Setters, CtlSetter,
    ::testing::Values(
        Setter{"ManualLevel", {"set-manual-level", "0", "3"}, "manual level (face 0)", "3"},
        Setter{"IntensityMode",
               {"set-intensity-mode", "1", "2"},
               "intensity mode (face 1)",
               "time of day"},
        Setter{"FaceLevel", {"set-face-level", "0", "1", "4"}, "face level (face 0, slot 1)", "4"},
        Setter{
            "SwitchTime", {"set-switch-time", "0", "1", "7:05 PM"}, "switch time (1)", "7:05 PM"},
        Setter{"DutyCycle", {"set-duty-cycle", "2", "40"}, "duty cycle (level 2)", "40"},
        Setter{"OnOffTime", {"set-on-off-time", "0", "6:30 AM"}, "on/off time (0)", "6:30 AM"},
        Setter{"OnOffTimer", {"set-on-off-timer-switch", "on"}, "on/off timer", "on"},
        Setter{"Date", {"set-date", "12/7/2026"}, "date", "12/7/2026"},
        Setter{"Time", {"set-time", "9:15:00 AM"}, "time", "9:15:00 AM"},
        Setter{"DaylightSaving", {"set-daylight-saving", "off"}, "daylight saving", "off"},
        Setter{"FailLog", {"clear-fail-log"}, "fail log cleared", ""},
        Setter{"ResetLog", {"clear-reset-log"}, "reset log cleared", ""},
        Setter{"SignTest", {"start-sign-test"}, "sign test", "started"}),
    [](const ::testing::TestParamInfo<Setter> &info) { return info.param.name; });

// Reading changes nothing: no row.
TEST_F(CtlAudit, AGetterLeavesNoRow) {
    ASSERT_EQ(Run({"get-manual-level", "0"}), ExitStatus::kOk) << err.str();
    EXPECT_TRUE(Events().empty());
    EXPECT_FALSE(fs::exists(m_dir / "voxa-events.csv"));
}

TEST_F(CtlAudit, AForcedPriceIsMarkedWithItsQuestion) {
    client.PriceSetup().rules.limits.SetMaxChangePercent(10);
    ASSERT_EQ(Run({"set-line-price", "1", "3.459"}), ExitStatus::kOk) << err.str();
    ASSERT_EQ(Run({"set-line-price", "1", "5.999"}), ExitStatus::kRefused);
    ASSERT_EQ(Run({"set-line-price", "1", "5.999", "--force"}), ExitStatus::kOk) << err.str();
    const std::vector<CsvText::Row> rows = CsvText::Parse(ReadWholeFile(m_dir / "voxa-prices.csv"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][7], "sent");
    EXPECT_EQ(rows[1][8], "");
    EXPECT_EQ(rows[2][7], "outside limits");
    EXPECT_NE(rows[2][8].find("Send anyway?"), std::string::npos) << rows[2][8];
    EXPECT_EQ(rows[3][7], "sent (forced)");
    EXPECT_EQ(rows[3][8], rows[2][8]);
}

TEST_F(CtlAudit, VerifyLogsFindsAnEditAndNamesTheLine) {
    ASSERT_EQ(Run({"set-line-price", "1", "3.459"}), ExitStatus::kOk) << err.str();
    ASSERT_EQ(Run({"set-manual-level", "0", "3"}), ExitStatus::kOk) << err.str();
    ASSERT_EQ(Run({"set-manual-level", "0", "4"}), ExitStatus::kOk) << err.str();
    out.str("");
    ASSERT_EQ(Run({"verify-logs"}), ExitStatus::kOk) << err.str();
    EXPECT_NE(out.str().find("voxa-events.csv: 2 rows; the chain holds"), std::string::npos)
        << out.str();
    // A level changed with a text editor.
    std::string text = ReadWholeFile(m_dir / "voxa-events.csv");
    text.replace(text.find(",,3,done,"), 9, ",,5,done,");
    WriteWholeFile(m_dir / "voxa-events.csv", text);
    out.str("");
    err.str("");
    EXPECT_EQ(Run({"verify-logs", "--json"}), ExitStatus::kTransactionFailed);
    EXPECT_NE(err.str().find("a log does not fit its chain"), std::string::npos) << err.str();
}

TEST_F(CtlAudit, HistoryPrintsPricesAndChangesByKind) {
    ASSERT_EQ(Run({"set-line-price", "1", "3.459"}), ExitStatus::kOk) << err.str();
    ASSERT_EQ(Run({"set-manual-level", "0", "3"}), ExitStatus::kOk) << err.str();
    ASSERT_EQ(Run({"set-date", "12/7/2026"}), ExitStatus::kOk) << err.str();
    out.str("");
    ASSERT_EQ(Run({"history"}), ExitStatus::kOk) << err.str();
    const std::vector<CsvText::Row> rows = CsvText::Parse(out.str());
    ASSERT_EQ(rows.size(), 4u) << out.str();
    EXPECT_EQ(rows[0][1], "kind");
    EXPECT_EQ(rows[1][1], "price");
    EXPECT_EQ(rows[1][4], "line 1 price (Regular)");
    EXPECT_EQ(rows[2][1], "intensity");
    EXPECT_EQ(rows[3][1], "clock");

    out.str("");
    ASSERT_EQ(Run({"history", "--kind", "clock,price", "--json"}), ExitStatus::kOk) << err.str();
    const Json json = Json::parse(out.str());
    ASSERT_EQ(json["entries"].size(), 2u) << out.str();
    EXPECT_EQ(json["entries"][0]["line"], 1);
    EXPECT_EQ(json["entries"][1]["what"], "date");
    EXPECT_TRUE(json["entries"][1]["line"].is_null());

    err.str("");
    EXPECT_EQ(Run({"history", "--kind", "weather"}), ExitStatus::kUsage);
    EXPECT_NE(err.str().find("--kind takes price, password"), std::string::npos);
}

}  // namespace
