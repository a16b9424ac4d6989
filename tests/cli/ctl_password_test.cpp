// voxa-ctl's password subcommands with the password on standard input, against the
// simulated controller on virtual time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "command_line_client.h"
#include "ctl_in_process_fixture.h"
#include "exit_status.h"

namespace {

using Words = std::vector<std::string>;

// The text bytes of a password request, from byte 3 to the first NUL.
std::string FrameText(const CommandFrame &frame) {
    std::string text;
    for (std::size_t i = 3; i <= kLastDataIndex && frame[i] != 0; ++i) text += char(frame[i]);
    return text;
}

class CtlPasswordInput : public CtlInProcess {
protected:
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
        InputCase{"ArgumentStillWorks", {"change-password", "noon"}, "ignored\n", 0, "noon", ""}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(CtlPasswordInput, InputThatCannotBeReadIsNamedWithItsReason) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    client.Passwords().SetInput(fds[1]);  // open for writing only
    EXPECT_EQ(client.RunSubcommand(system, {"verify-password", "-"}), ExitStatus::kUsage);
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(err.str(),
              "voxa-ctl: PASSWORD could not be read: read() failed: (9) Bad file descriptor\n");
    EXPECT_TRUE(controller.Requests().empty());
}

}  // namespace
