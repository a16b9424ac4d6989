// Every fault the line and the controller can show, through the real voxa-ctl and the real
// serial port code against voxa-ccsim on a pseudo-terminal: each run ends within the time
// the protocol allows for it, says what happened on standard error, prints no value and
// exits with its status. Each case has a line and a simulator of its own, so the cases run
// side by side and the slow ones (a controller that never answers costs about 27 s) cost
// their time once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ctl_process_fixture.h"
#include "exit_status.h"

namespace {

using namespace std::chrono_literals;

// Transactions that take their time on the line: every exchange of the 500 ms read limit
// that finds nothing costs its full limit.
constexpr auto kExchange = 500ms;
// A silent line: four unanswered request bytes, then fifty unanswered waits for the sync
// byte of 500 ms and a 10 ms pause each.
constexpr auto kNoAnswer = 4 * kExchange + 50 * (kExchange + 10ms);
// Start-up of the programs, the healthy exchanges and a loaded machine's delays.
constexpr auto kSlack = 8s;
// Cases running at once: they wait on their lines, and two cores are plenty for that.
constexpr int kWorkers = 8;

// "{line}" in an expected text stands for the case's own line.
constexpr const char *kLine = "{line}";

const std::string kUnknownCondition = "CC RETURNED UNKNOWN ERROR CONDITION.\n";

std::string Unknown(const std::string &status) {
    return "voxa-ctl: CC sent VOXA an unknown status.\nvoxa-ctl: Cmd Code: 04 Status:" + status +
           "\n";
}

const std::string kNoAnswerText =
    "voxa-ctl: no answer from the Central Controller on {line}; check that it is switched on "
    "and connected to this port\n";

struct FaultCase {
    std::string name;
    std::vector<std::string> simulator;  // voxa-ccsim's options
    std::vector<std::string> ctl;        // the subcommand and its arguments
    int status;
    std::string out;
    std::string err;  // the whole of standard error
    std::chrono::milliseconds bound;
};

std::vector<FaultCase> Cases() {
    const std::vector<std::string> lines{"get-number-of-lines"};
    std::vector<FaultCase> cases = {
        // The slow ones first, so that they overlap the rest.
        {"silent controller",
         {"--silent"},
         {"read-line-formats"},
         ExitStatus::kTransactionFailed,
         "",
         kUnknownCondition + Unknown("ffffffff") + kNoAnswerText,
         kNoAnswer + kSlack},
        // Every byte refused: the fourth NAK ends the send; no reply follows. The controller
        // answered, so the message says it refused, not that it is silent.
        {"NAK storm",
         {"--nak-rate", "1"},
         lines,
         ExitStatus::kTransactionFailed,
         "",
         kUnknownCondition + Unknown("ffffffff") +
             "voxa-ctl: the Central Controller on {line} refused the request's bytes (4 NAKs); "
             "noise on the line or a wrong line speed spoils them: check the cable, and that "
             "the controller's port runs at 9600 baud, 8 data bits, no parity, 1 stop bit\n",
         kNoAnswer + kSlack},
        // Three refusals in one frame are put right by repeating the byte.
        {"three NAKs in a frame",
         {"--nak-at", "0,7,21", "--lines", "5"},
         lines,
         ExitStatus::kOk,
         "5\n",
         "",
         kExchange + kSlack},
        {"stray answers to request bytes",
         {"--junk-answer-at", "1,2,3,4,5", "--lines", "5"},
         lines,
         ExitStatus::kOk,
         "5\n",
         "",
         kExchange + kSlack},
        {"junk before sync",
         {"--junk", "10", "--lines", "5"},
         lines,
         ExitStatus::kOk,
         "5\n",
         "",
         kExchange + kSlack},
        {"bad checksum",
         {"--corrupt-checksum"},
         lines,
         ExitStatus::kTransactionFailed,
         "",
         Unknown("fffffffd"),
         kExchange + kSlack},
        {"reply for another command",
         {"--reply-code", "7"},
         lines,
         ExitStatus::kTransactionFailed,
         "",
         "voxa-ctl: The controller answered command 4 with a reply for command 7; the reply "
         "was not used.\n",
         kExchange + kSlack},
        // The bare acknowledgement for a request that asks for data: no value came.
        {"reply that carries no data",
         {"--reply-code", "38"},
         lines,
         ExitStatus::kTransactionFailed,
         "",
         "voxa-ctl: The controller's reply to command 4 carried no data; no value was read.\n",
         kExchange + kSlack},
        {"reply with no command code",
         {"--reply-code", "0"},
         lines,
         ExitStatus::kTransactionFailed,
         "",
         "voxa-ctl: The controller answered command 4 with a reply for command 0; the reply "
         "was not used.\n",
         kExchange + kSlack},
        // The NVRAM update asked for in the controller's status report rather than as the
        // status of a reply (status 5 below): reported, not a failure.
        {"Get CC status reports condition 5",
         {"--nvram-update"},
         {"get-cc-status"},
         ExitStatus::kOk,
         "LDFS:0100 5 \x05NVRAM INVALID\nNVRAM must be updated\n",
         "",
         kExchange + kSlack},
        // The cable pulled in the middle of the request: the port hangs up, and the device
        // is gone when the reply is waited for.
        {"unplug during the request",
         {"--unplug-after", "10"},
         lines,
         ExitStatus::kTransactionFailed,
         "",
         kUnknownCondition + Unknown("ffffffff") +
             "voxa-ctl: Open(): {line}: not found; check that the cable or adapter is plugged "
             "in and that the port setting names this device (open() failed: (2) No such file "
             "or directory)\n",
         kExchange + kSlack},
        {"unplug during the reply",
         {"--unplug-after", "30"},
         lines,
         ExitStatus::kTransactionFailed,
         "",
         Unknown("fffffffd") +
             "voxa-ctl: the line to the Central Controller on {line} hung up in the middle of "
             "the reply; check that the cable or adapter is plugged in\n",
         kExchange + kSlack},
    };

    // The reply cut after byte k: the missing bytes are taken as ACKs, each after its full
    // read limit, and the checksum fails.
    for (const int k : {0, 1, 2, 10, 19, 20}) {
        cases.push_back({"reply cut after byte " + std::to_string(k),
                         {"--stop-after", std::to_string(k)},
                         lines,
                         ExitStatus::kTransactionFailed,
                         "",
                         Unknown("fffffffd"),
                         (22 - k) * kExchange + kSlack});
    }
    // Every status the controller can send; the command is not carried out. Status 5 asks
    // for the NVRAM update, which voxa-ctl declines.
    struct StatusRow {
        int status;
        std::string err;
    };
    const std::vector<StatusRow> statuses = {
        {1, Unknown("01")},
        {2, kUnknownCondition + Unknown("02")},
        {3, Unknown("03")},
        {4, Unknown("04")},
        {5,
         "voxa-ctl: Central Controller Has Reported That NVRAM Must Be Updated.\n"
         "voxa-ctl: If Needed, Contact Supervisor or Lumivane for Assistance.\n"
         "voxa-ctl: Update NVRAM? No\n"},
        {6,
         "voxa-ctl: Checksum Failure (controller status 6): the request was resent, and the "
         "resend got no confirmation\n"},
        {7,
         "voxa-ctl: Excessive Receive Failure (controller status 7): the request was resent, "
         "and the resend got no confirmation\n"},
        {8,
         "voxa-ctl: Excessive Transmit Failure (controller status 8): the request was resent, "
         "and the resend got no confirmation\n"},
        {9,
         "voxa-ctl: Receive Timeout Failure (controller status 9): the request was resent, and "
         "the resend got no confirmation\n"},
        {10,
         "voxa-ctl: Transmit Timeout Failure (controller status 10): the request was resent, "
         "and the resend got no confirmation\n"},
        {11,
         "voxa-ctl: Central Controller Glitch!\n"
         "voxa-ctl: Reboot Central Controller and Restart VOXA.\n"},
        {12, "voxa-ctl: Central Controller: Invalid Line Number\n"},
        {13, "voxa-ctl: Central Controller: Invalid Face Number\n"},
        {14, "voxa-ctl: Central Controller: Invalid Line Configuration\n"},
        {15, "voxa-ctl: Central Controller: Format Mismatch\n"},
        {16, "voxa-ctl: Central Controller: Invalid Number of Digits\n"},
        {17, "voxa-ctl: Central Controller: Line Update Problem\n"},
        {18, "voxa-ctl: Central Controller: Duty Cycle Out of Range\n"},
        {19, "voxa-ctl: Central Controller: Face Update Problem\n"},
        {20, "voxa-ctl: Central Controller: Intensity Mode Error\n"},
        {21, "voxa-ctl: Central Controller: Intensity Mode Error\n"},
        {22, "voxa-ctl: NVRAM Address Invalid, Aborting Transfer\n"},
        {23, kUnknownCondition + Unknown("17")},
        {24, kUnknownCondition + "voxa-ctl: VOXA sent cc an unknown command.\n"},
        {25, kUnknownCondition + Unknown("19")},
        {255, kUnknownCondition + Unknown("ff")},
    };
    for (const StatusRow &row : statuses) {
        cases.push_back({"status " + std::to_string(row.status),
                         {"--status", std::to_string(row.status)},
                         lines,
                         ExitStatus::kTransactionFailed,
                         "",
                         row.err,
                         kExchange + kSlack});
    }
    return cases;
}

std::string WithLine(std::string text, const std::string &line) {
    for (std::size_t at = text.find(kLine); at != std::string::npos; at = text.find(kLine, at)) {
        text.replace(at, std::char_traits<char>::length(kLine), line);
        at += line.size();
    }
    return text;
}

// Standard error without the notices of a wait for the line. A case's simulator can be given
// the pseudo-terminal number another case's unplugged line had, while that case's voxa-ctl
// still holds the lock named after it; the later case then waits its turn and says so.
std::string WithoutWaitNotices(const std::string &err) {
    std::string kept;
    std::size_t start = 0;
    while (start < err.size()) {
        const std::size_t end = std::min(err.find('\n', start), err.size() - 1) + 1;
        const std::string line = err.substr(start, end - start);
        if (line.find("s for it (--wait SECONDS sets how long)") == std::string::npos) kept += line;
        start = end;
    }
    return kept;
}

struct Outcome {
    std::string problem;  // the case could not be set up
    std::string line;
    CtlRun run;
};

TEST_F(CtlProcess, FaultMatrixEndsInTimeWithItsMessageAndStatus) {
    const std::vector<FaultCase> cases = Cases();
    std::vector<Outcome> outcomes(cases.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < cases.size(); i = next++) {
            const FaultCase &c = cases[i];
            Outcome &o = outcomes[i];
            o.line = m_dir + "/line" + std::to_string(i);
            const auto sim = StartLinkedSimulator(c.simulator, o.line, o.problem);
            if (!sim) continue;
            std::vector<std::string> args{"--device", o.line};
            args.insert(args.end(), c.ctl.begin(), c.ctl.end());
            // Twice the bound before the run counts as hung and is killed.
            o.run = RunCtl(args, m_dir, 2 * c.bound);
        }
    };
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) workers.emplace_back(work);
    for (std::thread &worker : workers) worker.join();

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const FaultCase &c = cases[i];
        const Outcome &o = outcomes[i];
        SCOPED_TRACE(c.name);
        if (!o.problem.empty() || !o.run.status) {
            ADD_FAILURE() << (o.problem.empty() ? "still running after " +
                                                      std::to_string(2 * c.bound.count()) + " ms"
                                                : o.problem);
            continue;
        }
        EXPECT_EQ(*o.run.status, c.status) << o.run.err;
        EXPECT_EQ(o.run.out, c.out);
        EXPECT_EQ(WithoutWaitNotices(o.run.err), WithLine(c.err, o.line));
        EXPECT_LT(o.run.took, c.bound);
    }
}

}  // namespace
