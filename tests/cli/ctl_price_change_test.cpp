// voxa-ctl's price changes, price history and report: in process against the simulated
// controller, and through the real voxa-ctl against voxa-ccsim.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "command_code.h"
#include "command_line_client.h"
#include "csv_text.h"
#include "ctl_in_process_fixture.h"
#include "ctl_process_fixture.h"
#include "exit_status.h"
#include "file_contents.h"
#include "price_log_file.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using Words = std::vector<std::string>;

// The rows of a price log below its header.
std::vector<CsvText::Row> LogRows(const fs::path &path) {
    std::vector<CsvText::Row> rows = CsvText::Parse(ReadWholeFile(path));
    if (!rows.empty()) rows.erase(rows.begin());
    return rows;
}

using Json = nlohmann::json;

Json ParseJson(const std::string &text) {
    const Json json = Json::parse(text, nullptr, false);
    EXPECT_FALSE(json.is_discarded()) << text;
    EXPECT_TRUE(json.is_object()) << text;
    return json.is_object() ? json : Json::object();
}

std::vector<std::string> Keys(const Json &object) {
    std::vector<std::string> keys;
    for (const auto &[key, value] : object.items()) keys.push_back(key);
    return keys;
}

// The controller's wall clock stands still, so that a clock set is the clock read back
// however long a loaded machine takes between the two (a second boundary crossed meanwhile
// once made the report read one second more).
std::chrono::system_clock::time_point StandingClock() {
    using namespace std::chrono;
    return sys_days{year{2026} / 12 / 7} + hours{9};
}

class CtlPriceTest : public CtlInProcess {
protected:
    CtlPriceTest() : CtlInProcess(StandingClock) {
        system.SetLineTag(0, "Regular");
        system.SetLineTag(1, "Plus");
        client.PriceSetup().logFolder = m_dir;
    }

    int Run(const Words &words) { return client.RunSubcommand(system, words); }
    int SetsSent() const {
        const std::vector<int> codes = RequestCodes();
        return static_cast<int>(std::count(codes.begin(), codes.end(), 2));
    }
    std::vector<CsvText::Row> Log() const { return LogRows(m_dir / "voxa-prices.csv"); }
    void Limit(const std::string &percent) {
        client.PriceSetup().rules.limits.SetMaxChangePercent(std::stod(percent));
    }

    TemporaryFolder m_folder{"voxa-ctl-price"};
    const fs::path m_dir = m_folder.Path();
    CommandLineClient client{out, err};
};

TEST_F(CtlPriceTest, SetPricesSendsInLineOrderAndSaysWhichLinesWereSet) {
    EXPECT_EQ(Run({"set-prices", "3=3.789", "1=3.459"}), ExitStatus::kOk) << err.str();
    EXPECT_EQ(RequestCodes(), (std::vector<int>{34, 4, 1, 1, 1, 1, 1, 1, 3, 3, 2, 2}));
    EXPECT_EQ(controller.Requests()[10][3], 0);
    EXPECT_EQ(controller.Requests()[11][3], 2);
    EXPECT_EQ(out.str(), "1 3.459 sent\n3 3.789 sent\n");
    EXPECT_EQ(err.str(), "");
    const auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0][1], "voxa-ctl");
    EXPECT_EQ(log[0][4], "Regular");
    EXPECT_EQ(log[0][5], "3.499");
    EXPECT_EQ(log[1][3], "3");
    EXPECT_EQ(log[1][5], "3.799");
}

TEST_F(CtlPriceTest, SetPricesRefusesEverythingWhenOnePriceIsBad) {
    Limit("20");
    EXPECT_EQ(Run({"set-prices", "1=3.459", "2=3.55", "3=8.789", "4=2.9"}), ExitStatus::kRefused);
    EXPECT_EQ(SetsSent(), 0);
    EXPECT_EQ(err.str(),
              "voxa-ctl: Error: Bad Value, Price #2 (format 8.889)\n"
              "voxa-ctl: Price #3 changes from 3.799 to 8.789 (+131%): outside the limits in "
              "voxa.ini (--force sends it)\n"
              "voxa-ctl: Error: Bad Value, Price #4 (format 8.88)\n"
              "voxa-ctl: nothing was sent\n");
    EXPECT_EQ(out.str(), "");
    const auto log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0][3], "2");
    EXPECT_EQ(log[0][5], "3.599");
    EXPECT_EQ(log[0][7], "bad value");
    EXPECT_EQ(log[1][7], "outside limits");
    EXPECT_EQ(log[2][3], "4");
}

struct UsageCase {
    Words words;
    std::string message;
};

void PrintTo(const UsageCase &c, std::ostream *os) {
    for (const std::string &word : c.words) *os << word << ' ';
}

class CtlPriceUsage : public CtlPriceTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CtlPriceUsage, SendsAndLogsNothing) {
    EXPECT_EQ(Run(GetParam().words), ExitStatus::kUsage);
    EXPECT_EQ(err.str(), "voxa-ctl: " + GetParam().message + "\n");
    EXPECT_TRUE(controller.Requests().empty());
    EXPECT_FALSE(fs::exists(m_dir / "voxa-prices.csv"));
}

INSTANTIATE_TEST_SUITE_P(
    Words, CtlPriceUsage,
    ::testing::Values(
        UsageCase{{"set-prices", "1=3.459", "2=3.559", "1=3.449"},
                  "line 1 is given more than once"},
        UsageCase{{"set-prices", "1=3.459", "9=1.00"},
                  "expected LINE=PRICE with LINE 1 to 8, not \"9=1.00\""},
        UsageCase{{"set-prices", "1:3.459"},
                  "expected LINE=PRICE with LINE 1 to 8, not \"1:3.459\""},
        UsageCase{{"set-prices", "=3.459"}, "expected LINE=PRICE with LINE 1 to 8, not \"=3.459\""},
        UsageCase{{"set-prices", "1="}, "expected LINE=PRICE with LINE 1 to 8, not \"1=\""},
        UsageCase{{"set-prices", "--confirm"},
                  "usage: voxa-ctl set-prices LINE=PRICE... [--confirm] [--force] [--json]"},
        UsageCase{{"set-prices", "--quick", "1=3.459"},
                  "unknown option --quick (see voxa-ctl set-prices --help)"},
        UsageCase{{"set-line-price", "--confirm", "1"},
                  "usage: voxa-ctl set-line-price LINE PRICE [--confirm] [--force]"},
        UsageCase{{"price-history", "--since", "yesterday"},
                  "--since needs a date such as 2026-12-07"},
        UsageCase{{"price-history", "--line", "0"}, "--line needs a line from 1 to 8"},
        UsageCase{{"report", "--xml"}, "unknown option --xml (see voxa-ctl report --help)"},
        UsageCase{{"report", "now"}, "usage: voxa-ctl report [--json]"},
        UsageCase{{"price-history", "--since", "2/30/2026"},
                  "--since needs a date such as 2026-12-07"}));

TEST_F(CtlPriceTest, ConfirmCatchesAControllerThatStoresAnotherText) {
    controller.Faults().manglePrice = true;
    EXPECT_EQ(Run({"set-line-price", "--confirm", "2", "3.559"}), ExitStatus::kTransactionFailed);
    EXPECT_EQ(err.str(), "voxa-ctl: Error: Sign Shows 4.559, Price #2 (sent 3.559)\n");
    EXPECT_EQ(RequestCodes().back(), ToByte(CommandCode::GetLinePrice));
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0][7], "mismatch");
}

TEST_F(CtlPriceTest, SetPricesStopsAtTheFirstLineNotConfirmed) {
    // Line 1 has no free digit, so the controller keeps it right; line 2 it gets wrong.
    state.lines[0] = {"9.99", "9.99", 0x03};
    controller.Faults().manglePrice = true;
    EXPECT_EQ(Run({"set-prices", "--confirm", "1=9.99", "2=3.559", "3=3.789"}),
              ExitStatus::kTransactionFailed);
    EXPECT_EQ(SetsSent(), 2);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(),
              "voxa-ctl: Error: Sign Shows 4.559, Price #2 (sent 3.559)\n"
              "voxa-ctl: set before the failure: 1=9.99; not set: 2=3.559 3=3.789\n");
    const auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0][7], "confirmed");
    EXPECT_EQ(log[1][7], "mismatch");
}

TEST_F(CtlPriceTest, ConfirmYesInVoxaIniReadsBackWithoutTheOption) {
    client.PriceSetup().rules.confirm = true;
    EXPECT_EQ(Run({"set-prices", "1=3.459"}), ExitStatus::kOk);
    EXPECT_EQ(out.str(), "1 3.459 confirmed\n");
    EXPECT_EQ(RequestCodes().back(), ToByte(CommandCode::GetLinePrice));
}

TEST_F(CtlPriceTest, APriceOutsideTheLimitsNeedsForce) {
    Limit("20");
    EXPECT_EQ(Run({"set-line-price", "1", "8.599"}), ExitStatus::kRefused);
    EXPECT_EQ(err.str(),
              "voxa-ctl: Price #1 changes from 3.499 to 8.599 (+146%): outside the limits in "
              "voxa.ini (--force sends it)\n");
    EXPECT_EQ(SetsSent(), 0);
    err.str("");
    EXPECT_EQ(Run({"set-line-price", "--force", "1", "8.599"}), ExitStatus::kOk);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(state.lines[0].price, "8.599");
    const auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0][7], "outside limits");
    // Sent although it broke a limit: marked, with the question it would have been asked.
    EXPECT_EQ(log[1][7], "sent (forced)");
    EXPECT_EQ(log[1][8], log[0][8]);
}

// The grade order holds the new prices against the others the controller shows now, lines
// not installed are not judged, and nothing goes out without --force.
TEST_F(CtlPriceTest, APriceThatBreaksTheGradeOrderNeedsForce) {
    client.PriceSetup().rules.limits.SetOrder(*PriceLimits::ParseOrder("1<2<=3<7"));
    EXPECT_EQ(Run({"set-line-price", "2", "3.399"}), ExitStatus::kRefused);
    EXPECT_EQ(err.str(),
              "voxa-ctl: The grade order 1<2<=3<7 is broken: Price #2 3.399 is not above Price "
              "#1 3.499: against [Limits] Order in voxa.ini (--force sends it)\n");
    EXPECT_EQ(SetsSent(), 0);
    err.str("");
    EXPECT_EQ(Run({"set-prices", "2=3.899", "3=3.859"}), ExitStatus::kRefused);
    EXPECT_EQ(err.str(),
              "voxa-ctl: The grade order 1<2<=3<7 is broken: Price #3 3.859 is below Price #2 "
              "3.899: against [Limits] Order in voxa.ini (--force sends it)\n"
              "voxa-ctl: nothing was sent\n");
    EXPECT_EQ(SetsSent(), 0);
    err.str("");
    // Lines 2 and 3 moved together keep the order.
    EXPECT_EQ(Run({"set-prices", "2=3.899", "3=3.899"}), ExitStatus::kOk) << err.str();
    EXPECT_EQ(Run({"set-line-price", "--force", "2", "3.399"}), ExitStatus::kOk) << err.str();
    EXPECT_EQ(state.lines[1].price, "3.399");
    const auto log = Log();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0][3], "2");
    EXPECT_EQ(log[0][7], "outside limits");
    // Both lines of the broken step were held back.
    EXPECT_EQ(log[1][3], "2");
    EXPECT_EQ(log[2][3], "3");
    EXPECT_EQ(log[2][7], "outside limits");
    EXPECT_EQ(log[5][6], "3.399");
    // Sent against the order: marked as forced, with the order's question kept.
    EXPECT_EQ(log[5][7], "sent (forced)");
    EXPECT_NE(log[5][8].find("The grade order"), std::string::npos) << log[5][8];
}

TEST_F(CtlPriceTest, BadLimitsAreToldAndNotUsed) {
    client.PriceSetup().rules.problems = {
        "[Limits] max1=abc is not a price: line 1 has no limits."};
    EXPECT_EQ(Run({"set-line-price", "1", "8.599"}), ExitStatus::kOk);
    EXPECT_EQ(err.str(), "voxa-ctl: [Limits] max1=abc is not a price: line 1 has no limits.\n");
}

TEST_F(CtlPriceTest, PriceHistoryPrintsTheLogFiltered) {
    std::ofstream(m_dir / "voxa-prices.csv")
        << PriceLogFile::kHeader << '\n'
        << "2026-12-05T08:00:00+01:00,workstation,anna,1,Regular,3.499,3.459,sent\n"
        << "2026-12-06T09:00:00+01:00,voxa-ctl,pos,2,\"Plus, \"\"A\"\"\",3.599,3.559,sent\n"
        << "2026-12-07T10:00:00+01:00,voxa-ctl,pos,1,Regular,3.459,3.449,confirmed\n";
    EXPECT_EQ(Run({"price-history", "--since", "12/6/2026"}), ExitStatus::kOk);
    EXPECT_EQ(out.str(), std::string(PriceLogFile::kHeader) +
                             "\n2026-12-06T09:00:00+01:00,voxa-ctl,pos,2,\"Plus, \"\"A\"\"\","
                             "3.599,3.559,sent\n"
                             "2026-12-07T10:00:00+01:00,voxa-ctl,pos,1,Regular,3.459,3.449,"
                             "confirmed\n");
    out.str("");
    EXPECT_EQ(Run({"price-history", "--line", "1", "--since", "2026-12-06"}), ExitStatus::kOk);
    EXPECT_EQ(out.str(), std::string(PriceLogFile::kHeader) +
                             "\n2026-12-07T10:00:00+01:00,voxa-ctl,pos,1,Regular,3.459,3.449,"
                             "confirmed\n");
    EXPECT_TRUE(controller.Requests().empty());
}

TEST_F(CtlPriceTest, ReportJsonHoldsTheInstallationUnderStableKeys) {
    state.lineCount = 3;
    state.lines[1].faceMask = 0x05;
    state.failLog = {};
    controller.Model().SetClock({2026, 12, 7, 0, 5, 9});
    system.SetLineTag(0, "Reg \"A\\B\"\t");
    EXPECT_EQ(Run({"report", "--json"}), ExitStatus::kOk) << err.str();
    EXPECT_EQ(RequestCodes(), (std::vector<int>{34, 4, 1, 1, 1, 32, 32, 32, 3, 3, 3, 10, 9, 15}));
    const Json report = ParseJson(out.str());
    EXPECT_EQ(Keys(report), (std::vector<std::string>{"date", "fail_log", "failure", "line_count",
                                                      "lines", "needs_attention", "nvram_update",
                                                      "status", "status_bytes", "time"}));
    EXPECT_EQ(report["line_count"], 3);
    EXPECT_EQ(report["nvram_update"], false);
    EXPECT_TRUE(report["status"].is_string());
    EXPECT_EQ(report["date"], "2026-12-07");
    EXPECT_EQ(report["time"], "00:05:09");
    EXPECT_EQ(report["needs_attention"], Json::array());
    const Json &lines = report["lines"];
    ASSERT_EQ(lines.size(), 3u);
    const Json &second = lines[1];
    EXPECT_EQ(Keys(second),
              (std::vector<std::string>{"face_mask", "faces", "format", "line", "price", "tag"}));
    EXPECT_EQ(second["line"], 2);
    EXPECT_EQ(second["price"], state.lines[1].price);
    EXPECT_EQ(second["format"], state.lines[1].format);
    EXPECT_EQ(second["face_mask"], 5);
    EXPECT_EQ(second["faces"], (Json{0, 2}));
    EXPECT_EQ(lines[0]["tag"], "Reg \"A\\B\"\t");
}

// A memory that must be loaded needs a person: the report is printed, and the run fails
// saying why.
TEST_F(CtlPriceTest, ReportStopsAtAControllerThatWantsItsMemory) {
    state.ccStatus = ControllerModel::ConditionReport(ControllerStatus::kNvramMustBeUpdated);
    EXPECT_EQ(Run({"report", "--json"}), ExitStatus::kTransactionFailed) << err.str();
    EXPECT_EQ(RequestCodes(), std::vector<int>{34});
    const Json report = ParseJson(out.str());
    EXPECT_EQ(report["nvram_update"], true);
    EXPECT_TRUE(report["line_count"].is_null());
    EXPECT_TRUE(report["lines"].empty());
    EXPECT_TRUE(report["time"].is_null());
    EXPECT_EQ(report["needs_attention"].size(), 1u);
    EXPECT_EQ(err.str(),
              "voxa-ctl: the controller says its memory (NVRAM) must be loaded: load an image with "
              "load-nvram-image, or call the supervisor\n");
}

TEST_F(CtlPriceTest, ReportTextNamesEveryLine) {
    state.lineCount = 2;
    state.failLog = {};
    controller.Model().SetClock({2026, 12, 7, 14, 7, 31});
    EXPECT_EQ(Run({"report"}), ExitStatus::kOk) << err.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("Lines: 2\nLine 1: 3.499 (format 8.889, faces 0,1 = 0x03) Regular\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Controller clock: 12/7/2026 2:07:31 PM\n"), std::string::npos) << text;
}

// ---- The real voxa-ctl against voxa-ccsim ------------------------------------------------

class CtlPriceProcess : public CtlProcess {
protected:
    void WriteIni(const std::string &extra = "") {
        std::ofstream(m_dir + "/voxa.ini") << "[Tags]\ntag0=Regular\n[Communications]\nPort=COM1\n"
                                           << "[Devices]\nCOM1=" << LinkPath() << '\n'
                                           << extra;
    }
};

TEST_F(CtlPriceProcess, TheLogKeepsEveryRunAndConfirmationCatchesAMangledPrice) {
    StartSimulator({"--mangle-price"});
    WriteIni();
    const CtlRun mangled = RunCtl({"set-line-price", "--confirm", "1", "3.459"}, m_dir);
    EXPECT_EQ(mangled.status, ExitStatus::kTransactionFailed);
    EXPECT_EQ(mangled.err, "voxa-ctl: Error: Sign Shows 4.459, Price #1 (sent 3.459)\n");
    const std::string afterFirst = ReadWholeFile(m_dir + "/voxa-prices.csv");

    const CtlRun plain = RunCtl({"set-prices", "2=3.559"}, m_dir);
    EXPECT_EQ(plain.status, ExitStatus::kOk) << plain.err;
    EXPECT_EQ(plain.out, "2 3.559 sent\n");
    const std::string afterSecond = ReadWholeFile(m_dir + "/voxa-prices.csv");
    EXPECT_EQ(afterSecond.substr(0, afterFirst.size()), afterFirst);

    const auto rows = LogRows(m_dir + "/voxa-prices.csv");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][4], "Regular");
    EXPECT_EQ(rows[0][5], "3.499");
    EXPECT_EQ(rows[0][7], "mismatch");
    EXPECT_EQ(rows[1][2], PriceLogFile::ProcessUser());
    EXPECT_EQ(rows[1][7], "sent");

    const CtlRun history = RunCtl({"price-history", "--line", "1"}, m_dir);
    EXPECT_EQ(history.status, ExitStatus::kOk) << history.err;
    // The columns of price-history, without the question and the chain value.
    const CsvText::Row printed(rows[0].begin(), rows[0].begin() + 8);
    EXPECT_EQ(history.out, std::string(PriceLogFile::kHeader) + "\n" + CsvText::Line(printed));
}

TEST_F(CtlPriceProcess, ReportJsonThroughTheRealPort) {
    StartSimulator({"--lines", "2"});
    WriteIni("[Limits]\nmax1=oops\n");
    // The simulated controller starts with a failure in its log, which a report would
    // call for a person.
    ASSERT_EQ(RunCtl({"clear-fail-log"}, m_dir).status, ExitStatus::kOk);
    const CtlRun report = RunCtl({"report", "--json"}, m_dir);
    EXPECT_EQ(report.status, ExitStatus::kOk) << report.err;
    EXPECT_EQ(report.err, "");
    const Json json = ParseJson(report.out);
    EXPECT_EQ(json["line_count"], 2);
    EXPECT_EQ(json["lines"][0]["tag"], "Regular");
    EXPECT_EQ(json["lines"][1]["tag"], "XXX");

    // Bad limits are told by the commands that use them, and never guessed at.
    const CtlRun set = RunCtl({"set-line-price", "1", "9.999"}, m_dir);
    EXPECT_EQ(set.status, ExitStatus::kOk);
    EXPECT_EQ(set.err, "voxa-ctl: [Limits] max1=oops is not a price: line 1 has no limits.\n");
}

}  // namespace
