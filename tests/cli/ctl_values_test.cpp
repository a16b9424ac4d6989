// voxa-ctl's values in this process against the simulated controller: what --json gives for
// texts, numbers and modes, the report's conditions that need a person, sync-clock around
// midnight, list-ports over a laid-out device tree, and the help of every subcommand.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "command_code.h"
#include "command_line_client.h"
#include "ctl_in_process_fixture.h"
#include "exit_status.h"
#include "fake_device_tree.h"
#include "subcommand_table.h"

namespace {

using Json = nlohmann::json;
using Words = std::vector<std::string>;

class CtlValues : public CtlInProcess {
protected:
    int Run(const Words &words) { return client.RunSubcommand(system, words); }
    Json RunJson(Words words, int status = ExitStatus::kOk) {
        out.str("");
        words.push_back("--json");
        EXPECT_EQ(Run(words), status) << err.str();
        const Json json = Json::parse(out.str(), nullptr, false);
        EXPECT_FALSE(json.is_discarded()) << out.str();
        return json;
    }

    CommandLineClient client{out, err};
};

TEST_F(CtlValues, TextsLoseControlCharactersAndTrailingBlanksButKeepTheirBytes) {
    state.partNumber = "LV-CC\x01 5.10  ";
    EXPECT_EQ(RunJson({"get-cc-software-part-number"}), (Json{{"part_number", "LV-CC 5.10"}}));

    // The status report's text starts with its condition code itself, a control character.
    controller.Faults().ccStatusCode = ControllerStatus::kNvramMustBeUpdated;
    const Json status = RunJson({"get-cc-status"});
    EXPECT_EQ(status["status"], "LDFS:0100 5 NVRAM INVALID");
    EXPECT_EQ(status["condition"], 5);
    EXPECT_EQ(status["nvram_update"], true);
    EXPECT_EQ(status["failure"], true);
    const std::string raw = "LDFS:0100 5 \x05NVRAM INVALID";
    EXPECT_EQ(status["status_bytes"], Json(std::vector<int>(raw.begin(), raw.end())));
    // The human output stays as it was.
    out.str("");
    EXPECT_EQ(Run({"get-cc-status"}), ExitStatus::kOk);
    EXPECT_EQ(out.str(), raw + "\nNVRAM must be updated\n");
}

TEST_F(CtlValues, NumbersAreNumbersAndTheModeIsBothNumberAndName) {
    state.resetCount = 7;
    state.faces[6].mode = 2;
    state.faces[2].mode = 7;  // outside 1 to 3: Manual, as the workstation shows it
    EXPECT_EQ(RunJson({"get-reset-count"}), (Json{{"reset_count", 7}}));
    EXPECT_EQ(RunJson({"get-intensity-mode", "6"}), (Json{{"face", 6},
                                                          {"intensity_mode", 2},
                                                          {"intensity_mode_name", "Time of Day"},
                                                          {"reported_mode", 2}}));
    const Json odd = RunJson({"get-intensity-mode", "2"});
    EXPECT_EQ(odd["intensity_mode"], 1);
    EXPECT_EQ(odd["intensity_mode_name"], "Manual");
    EXPECT_EQ(odd["reported_mode"], 7);
    state.switchTimes[0] = {12, 5, false};
    EXPECT_EQ(RunJson({"get-switch-time", "3", "1"}),
              (Json{{"face", 3}, {"index", 1}, {"time", "00:05"}, {"hour", 0}, {"minute", 5}}));
    state.failLog = {{0x00, 0x10, 0x02}, "LAMP FACE 2 "};
    const Json log = RunJson({"get-fail-log"});
    EXPECT_EQ(log["fail_log"], "LDFS:0010 2 LAMP FACE 2");
    EXPECT_EQ(log["condition"], 2);
    EXPECT_EQ(log["failure"], true);
}

// Options may stand anywhere after the subcommand, take "=", and "--" ends them.
TEST_F(CtlValues, SubcommandOptionsTakeEveryForm) {
    EXPECT_EQ(Run({"get-line-price", "--json", "2"}), ExitStatus::kOk) << err.str();
    EXPECT_EQ(Json::parse(out.str()), (Json{{"line", 2}, {"price", state.lines[1].price}}));
    out.str("");
    EXPECT_EQ(Run({"set-line-price", "1", "3.459", "--confirm"}), ExitStatus::kOk) << err.str();
    EXPECT_EQ(RequestCodes().back(), ToByte(CommandCode::GetLinePrice));
    controller.ClearRequests();
    EXPECT_EQ(Run({"price-history", "--line=2", "--since=2026-12-07"}), ExitStatus::kOk)
        << err.str();
    for (const Words &words :
         {Words{"get-line-price", "--", "--json"}, Words{"get-line-price", "--json=yes", "1"},
          Words{"get-line-price", "1", "--since", "2026-12-07"}}) {
        err.str("");
        out.str("");
        EXPECT_EQ(Run(words), ExitStatus::kUsage) << words[1];
        EXPECT_EQ(out.str(), "");
    }
    EXPECT_TRUE(controller.Requests().empty());
}

// A condition that needs a person fails the report after printing it, naming each.
TEST_F(CtlValues, ReportFailsOnWhatNeedsAPerson) {
    state.ccStatus = ControllerModel::ConditionReport(3);
    state.failLog = {{0x00, 0x10, 0x02}, "LAMP FACE 2"};
    const Json report = RunJson({"report"}, ExitStatus::kTransactionFailed);
    EXPECT_EQ(report["failure"], true);
    EXPECT_EQ(report["fail_log"], "LDFS:0010 2 LAMP FACE 2");
    EXPECT_EQ(report["needs_attention"].size(), 2u);
    EXPECT_EQ(err.str(),
              "voxa-ctl: the controller reports a failure in its status (LDFS:0100 3 CC FAULT): "
              "see get-fail-log, or call the supervisor\n"
              "voxa-ctl: the controller's fail log holds a failure (LDFS:0010 2 LAMP FACE 2): see "
              "to it, then clear-fail-log\n");

    err.str("");
    state.ccStatus = {};
    state.failLog = {};
    EXPECT_EQ(RunJson({"report"})["needs_attention"], Json::array());
    EXPECT_EQ(err.str(), "");
}

// ---- sync-clock ----------------------------------------------------------------------

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

class CtlSyncClock : public CtlValues {
protected:
    CtlSyncClock() {
        client.PcClock().now = [this] { return m_now; };
        client.PcClock().sleep = [this](std::chrono::milliseconds pause) {
            m_slept += pause;
            m_now += static_cast<std::time_t>((pause.count() + 999) / 1000);
        };
    }
    // The date and time requests, as Set date and Set time carry them.
    std::vector<int> Sent(CommandCode code) const {
        for (const CommandFrame &request : controller.Requests()) {
            if (request.Code() == ToByte(code))
                return {request[3], request[4], request[5], request[6]};
        }
        return {};
    }

    std::time_t m_now = 0;
    std::chrono::milliseconds m_slept{0};
};

TEST_F(CtlSyncClock, SetsTheSwitchTheDateAndTheTimeFromThePcAndPrintsThem) {
    m_now = LocalTime(2026, 12, 7, 19, 5, 30);
    std::tm local{};
    localtime_r(&m_now, &local);
    EXPECT_EQ(Run({"sync-clock"}), ExitStatus::kOk) << err.str();
    EXPECT_EQ(RequestCodes(), (std::vector<int>{6, 11, 8}));
    EXPECT_EQ(controller.Requests()[0][3], local.tm_isdst > 0 ? 1 : 0);
    EXPECT_EQ(Sent(CommandCode::SetDate), (std::vector<int>{12, 7, 26, 20}));
    EXPECT_EQ(Sent(CommandCode::SetTime), (std::vector<int>{0x80 | 7, 5, 30, 0}));
    EXPECT_EQ(out.str(),
              std::string("12/7/2026\n7:05:30 PM\n") + (local.tm_isdst > 0 ? "on" : "off") + "\n");
    EXPECT_EQ(m_slept, std::chrono::milliseconds::zero());
}

// A date taken just before midnight and a time taken just after would set the controller a
// day back: close to midnight, sync-clock waits for the new day first.
TEST_F(CtlSyncClock, WaitsForTheNewDayCloseToMidnight) {
    m_now = LocalTime(2026, 12, 31, 23, 59, 57);
    const Json set = RunJson({"sync-clock"});
    EXPECT_GT(m_slept, std::chrono::seconds(3));
    EXPECT_LT(m_slept, ClockSubcommands::kMidnightMargin + std::chrono::seconds(1));
    EXPECT_EQ(Sent(CommandCode::SetDate), (std::vector<int>{1, 1, 27, 20}));
    // The time is read again once the date is sent.
    EXPECT_EQ(Sent(CommandCode::SetTime), (std::vector<int>{12, 0, 1, 0}));
    EXPECT_EQ(set["date"], "2027-01-01");
    EXPECT_EQ(set["time"], "00:00:01");
}

// ---- list-ports ----------------------------------------------------------------------

TEST_F(CtlValues, ListPortsShowsWhatThePortDialogFinds) {
    FakeDeviceTree tree;
    tree.AddUart(0, 4);
    tree.AddUsbAdapter("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "ttyUSB0", "FTDI",
                       "FT232R USB UART");
    client.PortSetup().root = tree.Root();
    EXPECT_EQ(Run({"list-ports"}), ExitStatus::kOk) << err.str();
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    EXPECT_EQ(out.str(),
              "COM1\t/dev/ttyS0\t-\tbuilt-in serial port\n"
              "COM2\t" +
                  byId + "\t" + byId +
                  "\tFTDI FT232R USB UART (new adapter, not yet in voxa.ini)\n");
    const Json ports = RunJson({"list-ports"})["ports"];
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0]["port"], "COM1");
    EXPECT_TRUE(ports[0]["by_id"].is_null());
    EXPECT_EQ(ports[1]["by_id"], byId);
    EXPECT_EQ(ports[1]["new_adapter"], true);
    EXPECT_TRUE(controller.Requests().empty());

    // Mapped in voxa.ini by its tty, the adapter keeps its stable path.
    client.PortSetup().devices.Set(3, "/dev/ttyUSB0");
    EXPECT_EQ(RunJson({"list-ports"})["ports"][1], (Json{{"port", "COM3"},
                                                         {"device", "/dev/ttyUSB0"},
                                                         {"by_id", byId},
                                                         {"description", "FTDI FT232R USB UART"},
                                                         {"new_adapter", false},
                                                         {"group_needed", nullptr},
                                                         {"log_in_again", false}}));
}

TEST_F(CtlValues, ListPortsOnAMachineWithoutPortsSaysSo) {
    FakeDeviceTree tree;
    client.PortSetup().root = tree.Root();
    EXPECT_EQ(RunJson({"list-ports"}), (Json{{"ports", Json::array()}}));
    EXPECT_EQ(err.str(),
              "voxa-ctl: no serial port found: plug in the controller's cable or USB adapter\n");
}

// ---- Help ----------------------------------------------------------------------------

// Every subcommand answers --help with its usage, its arguments' ranges and the exit
// statuses, sending nothing; the usage line has no trailing blank.
TEST_F(CtlValues, EverySubcommandHasAHelpOfItsOwn) {
    std::ostringstream help;
    client.PrintHelp(help);
    std::istringstream lines(help.str().substr(help.str().find("\nSubcommands:\n") + 14));
    std::string line;
    int subcommands = 0;
    while (std::getline(lines, line) && !line.empty()) {
        std::istringstream words(line);
        std::string name;
        words >> name;
        out.str("");
        EXPECT_EQ(Run({name, "--help"}), ExitStatus::kOk) << name;
        const std::string text = out.str();
        const std::string usage = "Usage: voxa-ctl " + line.substr(2) + "\n\n";
        EXPECT_EQ(text.rfind(usage, 0), 0u) << text;
        EXPECT_NE(text.find(SubcommandTable::kExitStatusText), std::string::npos) << name;
        EXPECT_EQ(text.find(" \n"), std::string::npos) << name << ":\n" << text;
        // Whatever it takes, it says what each value may be.
        const std::string operands = line.substr(2 + name.size());
        const std::string explained = text.substr(usage.size());
        for (const char *word : {"LINE", "FACE", "SLOT", "INDEX", "LEVEL", "PERCENT", "TIME",
                                 "DATE", "COMn", "FILE"}) {
            const std::regex taken(std::string("(^|[ \\[])") + word + "([ \\]]|$)");
            if (std::regex_search(operands, taken)) {
                EXPECT_NE(explained.find(std::string(word) + " "), std::string::npos)
                    << name << " does not explain " << word;
            }
        }
        ++subcommands;
    }
    EXPECT_GE(subcommands, 38);
    EXPECT_TRUE(controller.Requests().empty());
    EXPECT_EQ(err.str(), "");
}

}  // namespace
