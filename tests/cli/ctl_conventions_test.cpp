// voxa-ctl's conventions through the real program against voxa-ccsim: the argument checks
// that hold before anything is sent (seen in the simulator's trace), output that cannot be
// written, --json of every subcommand parsed back against the keys its help documents, and
// sync-clock read back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ctl_process_fixture.h"
#include "exit_status.h"
#include "file_contents.h"
#include "price_log_file.h"

extern char **environ;

namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
using Words = std::vector<std::string>;

constexpr const char *kLinkWord = "{link}";

Words WithLink(Words args, const std::string &link) {
    for (std::string &word : args) {
        for (std::size_t at = word.find(kLinkWord); at != std::string::npos;
             at = word.find(kLinkWord)) {
            word.replace(at, std::char_traits<char>::length(kLinkWord), link);
        }
    }
    return args;
}

std::string Joined(const Words &words) {
    std::string text;
    for (const std::string &word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// ---- Arguments ---------------------------------------------------------------------------

struct ArgumentCase {
    Words args;  // after --device and the simulator's line
    int status;
    std::string err;       // part of standard error; empty: nothing on it
    std::string out = {};  // part of standard output; empty: nothing on it
};

// Every row that is not done (status 0 or 3) sends nothing: the trace of the whole table
// holds exactly the requests of the rows that are.
TEST_F(CtlProcess, ArgumentsAreCheckedBeforeAnythingIsSent) {
    StartSimulator({"--lines", "2", "--trace"});
    const int usage = ExitStatus::kUsage;
    const std::vector<ArgumentCase> cases = {
        {{"--port", "COM0", "get-time"}, usage, "--port needs a port name COMn from COM1 to COM9"},
        {{"--port", "COM10", "get-time"}, usage, "not \"COM10\""},
        {{"--port=com1", "get-time"}, usage, "--port needs a port name COMn"},
        {{"--device", "dev/ttyUSB0", "get-time"}, usage, "--device needs an absolute path"},
        {{"--device=", "get-time"}, usage, "--device needs a value"},
        {{"--no-wait", "--wait", "5", "get-time"},
         usage,
         "--wait and --no-wait exclude each other"},
        {{"--wait=soon", "get-time"}, usage, "--wait needs a number of seconds from 0 to 3600"},
        {{"--no-wait=1", "get-time"}, usage, "--no-wait takes no value"},
        {{"--colour", "get-time"}, usage, "unknown option --colour (see voxa-ctl --help)"},
        {{"get-time", "--bogus"}, usage, "unknown option --bogus (see voxa-ctl get-time --help)"},
        {{"get-time", "now"}, usage, "usage: voxa-ctl get-time [--json]\n"},
        {{"set-duty-cycle", "1", "101"}, usage, "PERCENT 0 to 100"},
        {{"set-duty-cycle", "6", "50"}, usage, "LEVEL 1 to 5"},
        {{"set-manual-level", "8", "3"}, usage, "FACE 0 to 7"},
        {{"set-face-level", "0", "2", "3"}, usage, "SLOT 0 or 1"},
        {{"get-switch-time", "0", "3"}, usage, "INDEX 1 or 2"},
        {{"get-on-off-time", "2"}, usage, "INDEX must be 1 (on) or 0 (off)"},
        {{"set-intensity-mode", "0", "4"}, usage, "MODE 1 to 3"},
        {{"get-line-price", "9"}, usage, "LINE must be 1 to 8"},
        {{"set-date", "2/31/2026"}, usage, "expected a real date"},
        {{"set-date", "2026-02-30"}, usage, "expected a real date"},
        {{"set-time", "24:00"}, usage, "expected a time such as 12:30:05 PM or 19:05:30"},
        {{"set-on-off-time", "1", "13:05", "PM"}, usage, "7:05 AM"},
        {{"price-history", "--since", "2/30/2026"}, usage, "--since needs a date"},
        {{"price-history", "--line=9"}, usage, "--line needs a line from 1 to 8"},
        {{"set-line-price", "--confirm=yes", "1", "3.459"}, usage, "--confirm takes no value"},
        {{"set-prices", "1=3.459", "1=3.449"}, usage, "line 1 is given more than once"},
        {{"load-nvram-image", "--json", "image.nvr"}, usage, "unknown option --json"},
        {{"--json", "set-time", "19:05:30"}, usage, "unknown option --json"},
        {{"test-open", "COM10"}, usage, "COMn must be COM1 to COM9"},
        {{"sync-clock", "now"}, usage, "usage: voxa-ctl sync-clock [--json]"},
        {{"no-such-thing"}, usage, "unknown subcommand \"no-such-thing\""},
        // Help is printed and nothing else is done.
        {{"get-time", "--help"}, ExitStatus::kOk, "", "Usage: voxa-ctl get-time [--json]\n"},
        {{"set-face-level", "-h"}, ExitStatus::kOk, "", "SLOT    1 (the day level"},
        {{"get-switch-time", "--help"}, ExitStatus::kOk, "", "INDEX   1 or 2"},
        // What goes through: "--" ends the options, values may follow "=", and the time and
        // date take the 24-hour clock and ISO 8601.
        {{"--", "get-line-price", "1"}, ExitStatus::kOk, "", "3.499\n"},
        {{"--json", "get-line-price", "2"},
         ExitStatus::kOk,
         "",
         "{\"line\":2,\"price\":\"3.599\"}\n"},
        {{"--port=COM1", "--device={link}", "get-number-of-lines"}, ExitStatus::kOk, "", "2\n"},
        {{"set-time", "19:05:30"}, ExitStatus::kOk, "", ""},
        {{"set-date", "2026-12-07"}, ExitStatus::kOk, "", ""},
        // A password that starts like an option, after "--": sent, and rejected.
        {{"verify-password", "--", "--voxa"}, ExitStatus::kRefused, "", "rejected\n"},
    };
    for (const ArgumentCase &c : cases) {
        Words args{"--device", LinkPath()};
        const Words own = WithLink(c.args, LinkPath());
        args.insert(args.end(), own.begin(), own.end());
        const CtlRun run = RunCtl(args, m_dir);
        SCOPED_TRACE(Joined(c.args));
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.err.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.err.find("voxa-ctl: "), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        }
        if (c.out.empty()) {
            EXPECT_EQ(run.out, "");
        } else {
            EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
        }
    }
    ASSERT_EQ(m_sim->Terminate(), 0);
    EXPECT_EQ(TracedRequests(m_sim->ErrText()), (std::vector<int>{3, 3, 4, 8, 11, 33}))
        << m_sim->ErrText();
}

// ---- Output that cannot be written -------------------------------------------------------

struct OutputCase {
    Words args;
    const char *redirect;  // as the shell writes it
    std::string err;       // part of standard error; empty: nothing on it
};

TEST_F(CtlProcess, OutputThatCannotBeWrittenFailsTheRun) {
    StartSimulator({"--lines", "2"});
    const std::string full =
        "voxa-ctl: cannot write to standard output: write() failed: (28) No space left on device\n";
    const std::vector<OutputCase> cases = {
        {{"--help"}, ">/dev/full", full},
        {{"--version"}, ">/dev/full", full},
        {{"get-time", "--help"}, ">/dev/full", full},
        {{"price-history"}, ">/dev/full", full},
        {{"--device", LinkPath(), "get-number-of-lines", "--json"}, ">/dev/full", full},
        // A closed standard output is not taken by the first file the program opens.
        {{"--device", LinkPath(), "get-number-of-lines"}, ">&-", "(9) Bad file descriptor\n"},
        // A message that cannot be written fails the run too, whatever it said.
        {{"get-line-price", "9"}, "2>/dev/full", ""},
    };
    for (const OutputCase &c : cases) {
        Words args{"-c", std::string("exec \"$0\" \"$@\" ") + c.redirect, VOXA_CTL_PATH};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ChildProcess shell("/bin/sh", args, m_dir);
        SCOPED_TRACE(Joined(c.args) + " " + c.redirect);
        EXPECT_EQ(shell.Finish(20s), ExitStatus::kTransactionFailed) << shell.ErrText();
        if (c.err.empty()) {
            EXPECT_EQ(shell.ErrText(), "");
        } else {
            EXPECT_NE(shell.ErrText().find(c.err), std::string::npos) << shell.ErrText();
        }
    }
}

// A reader that had enough and closed the pipe: the run ends as by SIGPIPE, without a
// message, also when SIGPIPE was ignored by the program that started it.
TEST(CtlOutput, AClosedPipeEndsTheRunAsByItsSignal) {
    TemporaryFolder folder{"voxa-ctl-pipe"};
    const std::string errPath = (folder.Path() / "err").string();
    for (const bool ignored : {false, true}) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        ::close(pipeFds[0]);  // the reader is gone before anything is written
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::string program = VOXA_CTL_PATH;
        std::string help = "--help";
        char *argv[] = {const_cast<char *>(program.c_str()), help.data(), nullptr};
        struct sigaction before {};
        if (ignored) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            ::sigaction(SIGPIPE, &ignore, &before);
        }
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
        if (ignored) ::sigaction(SIGPIPE, &before, nullptr);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        ASSERT_EQ(spawned, 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE)
            << "ignored " << ignored << ", status " << status;
        EXPECT_EQ(ReadWholeFile(errPath), "") << "ignored " << ignored;
    }
}

// ---- JSON --------------------------------------------------------------------------------

// Whether a value printed has the shape of the documented example: the same keys, each of
// the same type or null, arrays compared by their first elements.
void ExpectShape(const Json &documented, const Json &printed, const std::string &where) {
    if (printed.is_null()) return;
    if (documented.is_number()) {
        EXPECT_TRUE(printed.is_number()) << where << ": " << printed;
        return;
    }
    ASSERT_EQ(documented.type_name(), std::string(printed.type_name())) << where << ": " << printed;
    if (documented.is_object()) {
        std::set<std::string> documentedKeys;
        std::set<std::string> printedKeys;
        for (const auto &[key, value] : documented.items()) documentedKeys.insert(key);
        for (const auto &[key, value] : printed.items()) printedKeys.insert(key);
        EXPECT_EQ(printedKeys, documentedKeys) << where;
        for (const auto &[key, value] : documented.items()) {
            if (printed.contains(key)) ExpectShape(value, printed[key], where + "." + key);
        }
    } else if (documented.is_array() && !documented.empty() && !printed.empty()) {
        for (std::size_t i = 0; i < printed.size(); ++i)
            ExpectShape(documented[0], printed[i], where + "[" + std::to_string(i) + "]");
    }
}

// The subcommands whose line in voxa-ctl --help offers --json.
std::set<std::string> JsonSubcommands() {
    const CtlRun help = RunCtl({"--help"});
    std::set<std::string> names;
    std::istringstream in(help.out.substr(help.out.find("\nSubcommands:\n")));
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    while (std::getline(in, line) && !line.empty()) {
        if (line.find("[--json]") == std::string::npos) continue;
        std::istringstream words(line);
        std::string name;
        words >> name;
        names.insert(name);
    }
    return names;
}

// The example object of a subcommand's --help.
Json DocumentedJson(const std::string &subcommand) {
    const CtlRun help = RunCtl({subcommand, "--help"});
    const std::string marker = "with these keys:\n";
    const std::size_t at = help.out.find(marker);
    if (at == std::string::npos) return Json();
    const std::size_t start = at + marker.size();
    const std::string line = help.out.substr(start, help.out.find('\n', start) - start);
    return Json::parse(line, nullptr, false);
}

struct JsonCase {
    Words args;  // the subcommand first
    int status = ExitStatus::kOk;
};

TEST_F(CtlProcess, EveryJsonIsOneObjectOfItsDocumentedKeys) {
    WriteWholeFile(m_dir + "/voxa-prices.csv",
                   std::string(PriceLogFile::kHeader) +
                       "\n2026-12-07T10:00:00+01:00,voxa-ctl,pos,1,Regular,3.459,3.449,sent\n");
    const std::vector<JsonCase> cases = {
        {{"get-number-of-lines"}},
        {{"read-line-formats"}},
        {{"read-face-masks"}},
        {{"get-line-price", "1"}},
        {{"set-prices", "2=3.559"}},
        {{"price-history"}},
        // The simulated controller's fail log holds a failure, which needs a person.
        {{"report"}, ExitStatus::kTransactionFailed},
        {{"get-time"}},
        {{"get-date"}},
        {{"get-daylight-saving"}},
        {{"sync-clock"}},
        {{"get-on-off-time", "1"}},
        {{"get-on-off-timer-switch"}},
        {{"get-intensity-mode", "0"}},
        {{"get-manual-level", "0"}},
        {{"get-face-level", "0", "1"}},
        {{"get-switch-time", "0", "1"}},
        {{"get-duty-cycle", "1"}},
        {{"get-reset-count"}},
        {{"get-fail-log"}},
        {{"stop-sign-test"}},
        {{"get-cc-status"}},
        {{"get-cc-software-part-number"}},
        {{"verify-password", "voxa"}},
        {{"test-open", "COM1"}},
        {{"list-ports"}},
        {{"verify-logs"}},
        {{"history"}},
    };
    std::set<std::string> covered;
    for (const JsonCase &c : cases) covered.insert(c.args[0]);
    EXPECT_EQ(covered, JsonSubcommands());

    // Each case on a line and a simulator of its own, several at once.
    struct Outcome {
        std::string problem;
        CtlRun run;
    };
    std::vector<Outcome> outcomes(cases.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < cases.size(); i = next++) {
            const std::string line = m_dir + "/json" + std::to_string(i);
            const auto sim = StartLinkedSimulator({"--lines", "2"}, line, outcomes[i].problem);
            if (!sim) continue;
            Words args{"--device", line};
            args.insert(args.end(), cases[i].args.begin(), cases[i].args.end());
            args.push_back("--json");
            outcomes[i].run = RunCtl(args, m_dir, 60s);
        }
    };
    std::vector<std::thread> workers;
    for (int w = 0; w < 6; ++w) workers.emplace_back(work);
    for (std::thread &worker : workers) worker.join();

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const JsonCase &c = cases[i];
        const CtlRun &run = outcomes[i].run;
        SCOPED_TRACE(Joined(c.args));
        ASSERT_EQ(outcomes[i].problem, "");
        EXPECT_EQ(run.status, c.status) << run.err;
        // One object on one line.
        ASSERT_FALSE(run.out.empty());
        EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
        const Json printed = Json::parse(run.out, nullptr, false);
        ASSERT_FALSE(printed.is_discarded()) << run.out;
        const Json documented = DocumentedJson(c.args[0]);
        ASSERT_TRUE(documented.is_object()) << c.args[0] << " --help documents no JSON";
        ExpectShape(documented, printed, c.args[0]);
    }
}

// ---- The clock ---------------------------------------------------------------------------

// A POSIX time zone whose daylight saving time is in force now, in one hemisphere or the
// other, so that the flag sync-clock sends is on whatever the date.
std::string ZoneKeepingDaylightSavingNow() {
    for (const char *zone : {"CET-1CEST,M3.5.0,M10.5.0/3", "AEST-10AEDT,M10.1.0,M4.1.0/3"}) {
        const char *before = std::getenv("TZ");
        const std::string saved = before == nullptr ? "" : before;
        ::setenv("TZ", zone, 1);
        ::tzset();
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        if (before == nullptr) {
            ::unsetenv("TZ");
        } else {
            ::setenv("TZ", saved.c_str(), 1);
        }
        ::tzset();
        if (local.tm_isdst > 0) return zone;
    }
    return {};
}

// This PC's local time in a zone, as the controller should read after sync-clock.
std::tm LocalIn(const std::string &zone, std::time_t at) {
    const char *before = std::getenv("TZ");
    const std::string saved = before == nullptr ? "" : before;
    ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
    std::tm local{};
    localtime_r(&at, &local);
    if (before == nullptr) {
        ::unsetenv("TZ");
    } else {
        ::setenv("TZ", saved.c_str(), 1);
    }
    ::tzset();
    return local;
}

TEST_F(CtlProcess, SyncClockSetsWhatGetDateAndGetTimeReadBack) {
    StartSimulator({"--lines", "2"});
    const std::string zone = ZoneKeepingDaylightSavingNow();
    ASSERT_FALSE(zone.empty());
    const auto ctl = [&](const Words &words) {
        Words args{"TZ=" + zone, VOXA_CTL_PATH, "--device", LinkPath()};
        args.insert(args.end(), words.begin(), words.end());
        ChildProcess child("/usr/bin/env", args, m_dir);
        CtlRun run;
        run.status = child.Finish(20s);
        run.out = child.OutText();
        run.err = child.ErrText();
        return run;
    };
    const CtlRun sync = ctl({"sync-clock", "--json"});
    ASSERT_EQ(sync.status, ExitStatus::kOk) << sync.err;
    const Json set = Json::parse(sync.out, nullptr, false);
    EXPECT_EQ(set["daylight_saving"], true) << sync.out;

    const CtlRun date = ctl({"get-date", "--json"});
    const CtlRun time = ctl({"get-time", "--json"});
    const CtlRun saving = ctl({"get-daylight-saving"});
    const std::time_t now = std::time(nullptr);
    ASSERT_EQ(date.status, ExitStatus::kOk) << date.err;
    ASSERT_EQ(time.status, ExitStatus::kOk) << time.err;
    EXPECT_EQ(saving.out, "on\n");
    EXPECT_EQ(Json::parse(date.out, nullptr, false)["date"], set["date"]);
    // The controller's clock ran on since: the time read back lies between the time set
    // and now, as this PC tells them in that zone.
    const Json read = Json::parse(time.out, nullptr, false);
    const std::tm local = LocalIn(zone, now);
    const int readSeconds =
        read["hour"].get<int>() * 3600 + read["minute"].get<int>() * 60 + read["second"].get<int>();
    const int nowSeconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    const int behind = (nowSeconds - readSeconds + 86400 + 43200) % 86400 - 43200;
    EXPECT_GE(behind, -2) << time.out;
    EXPECT_LE(behind, 10) << time.out << " at " << local.tm_hour << ":" << local.tm_min << ":"
                          << local.tm_sec;
}

}  // namespace
