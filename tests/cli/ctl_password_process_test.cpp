// The real voxa-ctl against voxa-ccsim with the password kept off the command line: on a
// pipe, as a script or cron job gives it, and typed at the prompt on a terminal of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ctl_process_fixture.h"
#include "exit_status.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Stars(std::size_t count) {
    std::string stars;
    for (std::size_t i = 0; i < count; ++i) stars += " **";
    return stars;
}

// A program with a pseudo-terminal as its controlling terminal and its standard input,
// output and error, as a person at a shell runs it. The test keeps the terminal's other
// end, and a descriptor of the program's end to look at its settings.
class TerminalRun {
public:
    TerminalRun(const std::string &path, std::vector<std::string> args) {
        args.insert(args.begin(), path);
        std::vector<char *> argv;
        for (std::string &arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        m_pid = ::forkpty(&m_master, nullptr, nullptr, nullptr);
        if (m_pid == 0) {
            ::execv(path.c_str(), argv.data());
            ::_exit(127);
        }
        if (m_pid > 0) m_terminal = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
    }
    ~TerminalRun() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait(5s);
        }
        if (m_terminal >= 0) ::close(m_terminal);
        if (m_master >= 0) ::close(m_master);
    }

    bool Started() const { return m_pid > 0 && m_terminal >= 0; }
    pid_t Pid() const { return m_pid; }

    bool EchoOn() const {
        termios attributes{};
        EXPECT_EQ(::tcgetattr(m_terminal, &attributes), 0);
        return (attributes.c_lflag & ECHO) != 0;
    }
    void Type(const std::string &keys) {
        ASSERT_EQ(::write(m_master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    // Waits until the terminal has shown text; false when it does not within the limit.
    bool Shows(const std::string &text, std::chrono::milliseconds limit = 10s) {
        const auto end = Clock::now() + limit;
        while (m_shown.find(text) == std::string::npos && Clock::now() < end) Drain(100);
        return m_shown.find(text) != std::string::npos;
    }
    // The exit status (128 + the signal when a signal ended it), or none at the limit.
    std::optional<int> Wait(std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                Drain(0);
                m_signalled = WIFSIGNALED(status);
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            Drain(20);
        }
        return std::nullopt;
    }
    // Whether a signal ended it (rather than an exit with a status of 128 or more).
    bool Signalled() const { return m_signalled; }
    const std::string &Shown() const { return m_shown; }

private:
    void Drain(int waitMs) {
        pollfd watch{m_master, POLLIN, 0};
        while (::poll(&watch, 1, waitMs) == 1 && (watch.revents & POLLIN) != 0) {
            char buffer[512];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0) return;
            m_shown.append(buffer, static_cast<std::size_t>(n));
            waitMs = 0;
        }
    }

    pid_t m_pid = -1;
    int m_master = -1;
    int m_terminal = -1;
    bool m_signalled = false;
    std::string m_shown;
};

class CtlPasswordProcess : public CtlProcess {
protected:
    CtlRun Ctl(const std::vector<std::string> &args, const std::string &input) {
        std::vector<std::string> all{"--device", LinkPath()};
        all.insert(all.end(), args.begin(), args.end());
        return RunCtl(all, {}, 20s, input);
    }
    std::unique_ptr<TerminalRun> OnTerminal(const std::vector<std::string> &args) {
        std::vector<std::string> all{"--device", LinkPath()};
        all.insert(all.end(), args.begin(), args.end());
        auto run = std::make_unique<TerminalRun>(VOXA_CTL_PATH, all);
        EXPECT_TRUE(run->Started());
        return run;
    }
    // The simulator's trace, once it has ended.
    std::string Trace() {
        EXPECT_EQ(m_sim->Terminate(), 0);
        return m_sim->ErrText();
    }
};

TEST_F(CtlPasswordProcess, PasswordOnAPipeTravelsExactlyAsGiven) {
    StartSimulator({"--trace-secrets"});
    const CtlRun verify = Ctl({"verify-password", "-"}, "voxa\n");
    EXPECT_EQ(verify.status, ExitStatus::kOk) << verify.err;
    EXPECT_EQ(verify.out, "accepted\n");

    const CtlRun change = Ctl({"change-password", "-"}, " Night Shift 7\r\n");
    EXPECT_EQ(change.status, ExitStatus::kOk) << change.err;
    EXPECT_EQ(change.out + change.err, "");

    // Without an argument and without a terminal, standard input is read as well.
    const CtlRun again = Ctl({"verify-password"}, " Night Shift 7");
    EXPECT_EQ(again.status, ExitStatus::kOk) << again.err;
    const CtlRun old = Ctl({"verify-password", "-"}, "voxa\n");
    EXPECT_EQ(old.status, ExitStatus::kRefused);
    EXPECT_EQ(old.out, "rejected\n");

    const std::string trace = Trace();
    EXPECT_NE(trace.find("WS->CC Verify password (33): D6 19 21" + Hex("voxa") + " 00"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("WS->CC Change password (5): D6 19 05" + Hex(" Night Shift 7") + " 00"),
              std::string::npos)
        << trace;
}

TEST_F(CtlPasswordProcess, TraceAfterAVerifyAndAChangeHoldsNoPasswordText) {
    StartSimulator({"--trace"});
    const std::vector<CtlRun> runs{Ctl({"verify-password", "-"}, "voxa\n"),
                                   Ctl({"change-password", "-"}, "Sunrise 42\n"),
                                   Ctl({"verify-password"}, "Sunrise 42\n")};
    std::string written;
    for (const CtlRun &run : runs) {
        EXPECT_EQ(run.status, ExitStatus::kOk) << run.err;
        written += run.out + run.err;
    }
    const std::string trace = Trace();
    // The length still shows, so a field engineer sees that a text went out.
    EXPECT_NE(trace.find("WS->CC Verify password (33): D6 19 21" + Stars(4) + " 00"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("WS->CC Change password (5): D6 19 05" + Stars(10) + " 00"),
              std::string::npos)
        << trace;
    for (const std::string &secret : {std::string("voxa"), std::string("Sunrise 42")}) {
        for (const std::string &text : {secret, Hex(secret)}) {
            EXPECT_EQ(trace.find(text), std::string::npos) << trace;
            EXPECT_EQ(written.find(text), std::string::npos) << written;
        }
    }
}

// What is typed at each prompt, and what the run shows and sends.
struct Typing {
    const char *name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> prompted;  // prompt, keys typed at it
    int status;
    std::string shownAfter;  // after the last prompt
    std::optional<std::string> sent;
};

void PrintTo(const Typing &c, std::ostream *os) {
    *os << c.name;
}

class CtlPromptTyped : public CtlPasswordProcess, public ::testing::WithParamInterface<Typing> {};

TEST_P(CtlPromptTyped, TakesThePasswordWithEchoOffAndGivesTheTerminalBack) {
    const Typing &c = GetParam();
    StartSimulator({"--trace-secrets"});
    const auto run = OnTerminal(c.args);
    std::string shown;
    for (const auto &[prompt, keys] : c.prompted) {
        ASSERT_TRUE(run->Shows(shown + prompt)) << run->Shown();
        EXPECT_FALSE(run->EchoOn());
        run->Type(keys);
        shown += prompt + "\r\n";
    }
    EXPECT_EQ(run->Wait(20s), c.status) << run->Shown();
    EXPECT_EQ(run->Shown(), shown + c.shownAfter);
    EXPECT_TRUE(run->EchoOn());

    const std::string trace = Trace();
    if (c.sent) {
        const int code = c.args[0] == "verify-password" ? 0x21 : 0x05;
        char head[16];
        std::snprintf(head, sizeof head, "D6 19 %02X", code);
        EXPECT_NE(trace.find(head + Hex(*c.sent) + " 00"), std::string::npos) << trace;
    } else {
        EXPECT_EQ(trace.find("WS->CC"), std::string::npos) << trace;
    }
}

const std::pair<std::string, std::string> kNew{"New password: ", "Sunrise 42\n"};

INSTANTIATE_TEST_SUITE_P(
    Typed, CtlPromptTyped,
    ::testing::Values(
        // DEL still takes back a key: the line is edited as usual, only not shown.
        Typing{"Verify",
               {"verify-password"},
               {{"Password: ",
                 "voxx\x7f"
                 "a\n"}},
               0,
               "accepted\r\n",
               "voxa"},
        Typing{"VerifyWithDash",
               {"verify-password", "-"},
               {{"Password: ", "voxa\n"}},
               0,
               "accepted\r\n",
               "voxa"},
        Typing{"Change",
               {"change-password"},
               {kNew, {"Verify new password: ", "Sunrise 42\n"}},
               0,
               "",
               "Sunrise 42"},
        Typing{"ChangeTypedDifferently",
               {"change-password", "-"},
               {kNew, {"Verify new password: ", "sunrise 42\n"}},
               3,
               "voxa-ctl: Passwords do not match.\r\nvoxa-ctl: System Password NOT changed.\r\n",
               std::nullopt},
        Typing{"TooLongIsNotAskedAgain",
               {"change-password"},
               {{"New password: ", "eighteen bytes!!!!\n"}},
               2,
               "voxa-ctl: NEW-PASSWORD must be at most 17 characters\r\n",
               std::nullopt},
        // Ctrl+D on an empty line.
        Typing{"EndOfInput",
               {"verify-password"},
               {{"Password: ", "\x04"}},
               2,
               "voxa-ctl: no PASSWORD: standard input ended before a line (see voxa-ctl "
               "--help)\r\n",
               std::nullopt}),
    [](const auto &row) { return std::string(row.param.name); });

// voxa-ctl --device /dev/tty: the person's own terminal is refused as a line to the
// controller, at once, and left as it was (echo and line editing on), not raw.
TEST_F(CtlPasswordProcess, TheTerminalItRunsInIsNoControllerLine) {
    const auto run = OnTerminal({"--device", "/dev/tty", "get-number-of-lines"});
    EXPECT_EQ(run->Wait(10s), ExitStatus::kTransactionFailed) << run->Shown();
    EXPECT_NE(run->Shown().find("Open(): /dev/tty: this is the terminal this program runs in, "
                                "not a line to the Central Controller"),
              std::string::npos)
        << run->Shown();
    EXPECT_TRUE(run->EchoOn());
}

struct Interruption {
    const char *name;
    int signal;        // sent with kill(), or
    const char *keys;  // typed
};

void PrintTo(const Interruption &c, std::ostream *os) {
    *os << c.name;
}

class CtlPromptInterrupted : public CtlPasswordProcess,
                             public ::testing::WithParamInterface<Interruption> {};

TEST_P(CtlPromptInterrupted, EndsAsTheSignalSaysWithTheTerminalRestored) {
    const Interruption &c = GetParam();
    StartSimulator({"--trace"});
    const auto run = OnTerminal({"change-password"});
    ASSERT_TRUE(run->Shows("New password: "));
    run->Type("Sunr");
    ASSERT_FALSE(run->EchoOn());
    if (c.keys != nullptr) {
        run->Type(c.keys);
    } else {
        ASSERT_EQ(::kill(run->Pid(), c.signal), 0);
    }
    EXPECT_EQ(run->Wait(10s), 128 + c.signal) << run->Shown();
    EXPECT_TRUE(run->Signalled());
    EXPECT_TRUE(run->EchoOn());
    EXPECT_EQ(run->Shown().find("Sunr"), std::string::npos) << run->Shown();
    EXPECT_EQ(Trace().find("WS->CC"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Ways, CtlPromptInterrupted,
                         ::testing::Values(Interruption{"CtrlC", SIGINT, "\x03"},
                                           Interruption{"SigInt", SIGINT, nullptr},
                                           Interruption{"SigTerm", SIGTERM, nullptr},
                                           Interruption{"SigHup", SIGHUP, nullptr}),
                         [](const auto &row) { return std::string(row.param.name); });

}  // namespace
