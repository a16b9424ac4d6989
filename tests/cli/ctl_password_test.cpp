// voxa-ctl's password subcommands with the password on standard input, against the
// simulated controller on virtual time; and the prompt on a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "command_line_client.h"
#include "controller_endpoint.h"
#include "password_reader.h"
#include "secret_text.h"
#include "sign_system.h"
#include "sim_link_platform.h"
#include "stream_console.h"

namespace {

using namespace std::chrono_literals;
using Words = std::vector<std::string>;
using Outcome = PasswordReader::Outcome;

// The text bytes of a password request, from byte 3 to the first NUL.
std::string FrameText(const CommandFrame &frame) {
    std::string text;
    for (std::size_t i = 3; i <= kLastDataIndex && frame[i] != 0; ++i) text += char(frame[i]);
    return text;
}

class CtlPasswordInput : public ::testing::Test {
protected:
    CtlPasswordInput() {
        console.Attach(&system);
        system.SetDiagnosticStream(err);
        system.SetPortName("COM1");
    }

    // Runs the subcommand with input on its standard input, a pipe closed after it.
    int Run(const Words &words, const std::string &input) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        EXPECT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
        ::close(fds[1]);
        client.Passwords().SetInput(fds[0]);
        const int status = client.RunSubcommand(system, words);
        ::close(fds[0]);
        return status;
    }

    // The texts of the password requests the controller took, in order.
    std::vector<std::string> SentTexts() const {
        std::vector<std::string> texts;
        for (const CommandFrame &frame : controller.Requests()) texts.push_back(FrameText(frame));
        return texts;
    }

    ControllerEndpoint controller;
    ControllerModel::State &state = controller.Model().Current();
    SimLinkPlatform platform{controller};
    std::ostringstream out;
    std::ostringstream err;
    StreamConsole console{err};
    SignSystem system{platform, console};
    CommandLineClient client{out, err};
};

struct InputCase {
    const char *name;
    Words words;
    std::string input;
    int status;
    std::optional<std::string> sent;  // the text that went out; none when nothing did
    std::string err;
};

void PrintTo(const InputCase &c, std::ostream *os) {
    *os << c.name;
}

class CtlPasswordLines : public CtlPasswordInput,
                         public ::testing::WithParamInterface<InputCase> {};

TEST_P(CtlPasswordLines, OneLineOfStandardInputIsThePassword) {
    const InputCase &c = GetParam();
    state.password = "";  // so that a verification of the empty password is accepted
    EXPECT_EQ(Run(c.words, c.input), c.status) << err.str();
    EXPECT_EQ(SentTexts(), c.sent ? Words{*c.sent} : Words{});
    EXPECT_EQ(err.str(), c.err);
    if (c.sent && c.words[0] == "change-password") {
        EXPECT_EQ(state.password, *c.sent);
    }
}

const std::string k17 = "seventeen bytes!!";
const std::string kTooLong = k17 + "?";
// Nine letters of two bytes each: nine characters, but eighteen bytes in the frame.
const std::string kEighteenBytes =
    "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";

INSTANTIATE_TEST_SUITE_P(
    Lines, CtlPasswordLines,
    ::testing::Values(
        InputCase{"Dash", {"verify-password", "-"}, "voxa\n", 3, "voxa", ""},
        InputCase{"NoArgument", {"change-password"}, "voxa\n", 0, "voxa", ""},
        InputCase{"NoLineEnd", {"change-password", "-"}, "voxa", 0, "voxa", ""},
        InputCase{"CrLf", {"change-password", "-"}, "voxa\r\n", 0, "voxa", ""},
        InputCase{"CrInside", {"change-password", "-"}, "vo\rxa\n", 0, "vo\rxa", ""},
        InputCase{"LastCrWithoutLf", {"change-password", "-"}, "voxa\r", 0, "voxa\r", ""},
        InputCase{
            "BlanksKept", {"change-password", "-"}, " night shift \n", 0, " night shift ", ""},
        InputCase{"FirstLineOnly", {"change-password", "-"}, "first\nsecond\n", 0, "first", ""},
        InputCase{"EmptyLine", {"verify-password", "-"}, "\n", 0, "", ""},
        InputCase{"Longest", {"change-password", "-"}, k17 + "\n", 0, k17, ""},
        InputCase{"LongestCrLf", {"change-password", "-"}, k17 + "\r\n", 0, k17, ""},
        InputCase{"TooLong",
                  {"change-password", "-"},
                  kTooLong + "\n",
                  2,
                  std::nullopt,
                  "voxa-ctl: NEW-PASSWORD must be at most 17 characters\n"},
        InputCase{"TooLongWithoutLineEnd",
                  {"verify-password"},
                  kTooLong,
                  2,
                  std::nullopt,
                  "voxa-ctl: PASSWORD must be at most 17 characters\n"},
        InputCase{"EighteenBytes",
                  {"change-password", "-"},
                  kEighteenBytes + "\n",
                  2,
                  std::nullopt,
                  "voxa-ctl: NEW-PASSWORD must be at most 17 characters\n"},
        InputCase{"NulByte",
                  {"change-password", "-"},
                  std::string("ab\0cd\n", 6),
                  2,
                  std::nullopt,
                  "voxa-ctl: NEW-PASSWORD must not hold a NUL byte\n"},
        InputCase{"NoInput",
                  {"verify-password", "-"},
                  "",
                  2,
                  std::nullopt,
                  "voxa-ctl: no PASSWORD: standard input ended before a line (see voxa-ctl "
                  "--help)\n"},
        InputCase{"ArgumentStillWorks", {"change-password", "noon"}, "ignored\n", 0, "noon", ""},
        InputCase{"LongArgument",
                  {"verify-password", kTooLong},
                  "",
                  2,
                  std::nullopt,
                  "voxa-ctl: PASSWORD must be at most 17 characters\n"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(CtlPasswordInput, VerificationFromStandardInputIsAcceptedOrRejected) {
    EXPECT_EQ(Run({"verify-password", "-"}, "voxa\n"), CommandLineClient::kOk);
    EXPECT_EQ(out.str(), "accepted\n");
    EXPECT_EQ(Run({"verify-password"}, "Voxa\n"), CommandLineClient::kRefused);
    EXPECT_EQ(out.str(), "accepted\nrejected\n");
}

TEST_F(CtlPasswordInput, InputThatCannotBeReadIsNamedWithItsReason) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    client.Passwords().SetInput(fds[1]);  // open for writing only
    EXPECT_EQ(client.RunSubcommand(system, {"verify-password", "-"}), CommandLineClient::kUsage);
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(err.str(),
              "voxa-ctl: PASSWORD could not be read: read() failed: (9) Bad file descriptor\n");
    EXPECT_TRUE(controller.Requests().empty());
}

// ---- The prompt on a terminal ----

class PasswordPrompt : public ::testing::Test {
protected:
    void SetUp() override {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_master, 0);
        ASSERT_EQ(::grantpt(m_master), 0);
        ASSERT_EQ(::unlockpt(m_master), 0);
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
        ASSERT_GE(m_slave, 0);
        reader.SetInput(m_slave);
    }
    void TearDown() override {
        if (m_reading.valid() && m_reading.wait_for(0s) != std::future_status::ready) {
            // A hang-up ends a read still waiting, so the thread can end.
            ::close(m_master);
            m_master = -1;
        }
        if (m_reading.valid()) m_reading.wait();
        if (m_master >= 0) ::close(m_master);
        if (m_slave >= 0) ::close(m_slave);
    }

    bool EchoOn() const {
        termios attributes{};
        EXPECT_EQ(::tcgetattr(m_slave, &attributes), 0);
        return (attributes.c_lflag & ECHO) != 0;
    }

    void StartReading(const std::string &prompt, const std::string &confirm = {}) {
        m_reading = std::async(std::launch::async,
                               [=, this] { return reader.Read(password, prompt, confirm); });
    }
    // What the terminal shows, up to and including text; empty when it does not come.
    std::string ShownUntil(const std::string &text) {
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (m_shown.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd watch{m_master, POLLIN, 0};
            if (::poll(&watch, 1, 100) != 1) continue;
            char buffer[256];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) m_shown.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t at = m_shown.find(text);
        if (at == std::string::npos) return {};
        std::string shown = m_shown.substr(0, at + text.size());
        m_shown.erase(0, at + text.size());
        return shown;
    }
    void Type(const std::string &keys) {
        ASSERT_EQ(::write(m_master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    Outcome Result() {
        EXPECT_EQ(m_reading.wait_for(5s), std::future_status::ready);
        return m_reading.get();
    }

    PasswordReader reader;
    SecretText password;
    int m_master = -1;
    int m_slave = -1;
    std::future<Outcome> m_reading;
    std::string m_shown;
};

TEST_F(PasswordPrompt, TypedWithEchoOffWhichComesBackAfterwards) {
    ASSERT_TRUE(EchoOn());
    StartReading("Password: ");
    ASSERT_EQ(ShownUntil("Password: "), "Password: ");
    EXPECT_FALSE(EchoOn());
    // The line can still be edited: DEL takes back the x.
    Type(
        "voxx\x7f"
        "a\n");
    EXPECT_EQ(Result(), Outcome::Read);
    EXPECT_EQ(password.Text(), "voxa");
    // Only the line end the silent Enter did not show.
    EXPECT_EQ(ShownUntil("\n"), "\r\n");
    EXPECT_TRUE(EchoOn());
}

struct PromptCase {
    const char *name;
    std::string first;
    std::string second;
    Outcome outcome;
};

void PrintTo(const PromptCase &c, std::ostream *os) {
    *os << c.name;
}

class PasswordPromptTwice : public PasswordPrompt,
                            public ::testing::WithParamInterface<PromptCase> {};

TEST_P(PasswordPromptTwice, NewPasswordMustBeTypedTheSameTwice) {
    const PromptCase &c = GetParam();
    StartReading("New password: ", "Verify new password: ");
    ASSERT_FALSE(ShownUntil("New password: ").empty());
    Type(c.first);
    if (!c.second.empty()) {
        ASSERT_FALSE(ShownUntil("Verify new password: ").empty());
        EXPECT_FALSE(EchoOn());
        Type(c.second);
    }
    EXPECT_EQ(Result(), c.outcome);
    EXPECT_EQ(password.Text(), c.outcome == Outcome::Read ? "Night Shift" : "");
    EXPECT_TRUE(EchoOn());
}

INSTANTIATE_TEST_SUITE_P(
    Typed, PasswordPromptTwice,
    ::testing::Values(
        PromptCase{"Same", "Night Shift\n", "Night Shift\n", Outcome::Read},
        PromptCase{"CaseDiffers", "Night Shift\n", "night shift\n", Outcome::Mismatch},
        PromptCase{"SecondLonger", "Night Shift\n", "Night Shift \n", Outcome::Mismatch},
        PromptCase{"TooLongIsNotAskedAgain", "eighteen bytes!!!!\n", "", Outcome::TooLong},
        // Ctrl+D on an empty line.
        PromptCase{"EndOfInput", "\x04", "", Outcome::NoInput},
        PromptCase{"EndOfInputAtTheSecond", "Night Shift\n", "\x04", Outcome::NoInput}),
    [](const auto &row) { return std::string(row.param.name); });

}  // namespace
