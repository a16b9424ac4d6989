#include "status_handler.h"

#include <gtest/gtest.h>

#include <string>

#include "simulated_site.h"

namespace {

using namespace std::chrono_literals;

CommandFrame StatusReply(int code, int status) {
    CommandFrame frame;
    frame[0] = kSyncByte1;
    frame[1] = kSyncByte2;
    frame[2] = static_cast<std::uint8_t>(code);
    frame[3] = static_cast<std::uint8_t>(status);
    frame.StoreChecksum();
    return frame;
}

class StatusHandlerTest : public ::testing::Test {
protected:
    SimulatedSite site;
    SignSystem &system = site.system;
    RecordingConsole &console = site.console;
};

struct FixedMessage {
    int status;
    const char *text;
};

class StatusHandlerMessages : public StatusHandlerTest,
                              public ::testing::WithParamInterface<FixedMessage> {};

TEST_P(StatusHandlerMessages, ShowsItsFixedTextOnce) {
    const FixedMessage row = GetParam();
    system.GetNumberOfLines();
    site.platform.ClearEvents();
    system.Decode(StatusReply(4, row.status));
    EXPECT_EQ(console.messages, std::vector<std::string>{row.text});
    EXPECT_FALSE(system.FailureFlag());
    EXPECT_TRUE(site.SentFrames().empty());
    // Statuses outside the set the workstation knows (24 is one) also get a console line.
    EXPECT_EQ(site.diagnostics.str(),
              row.status == 24 ? "CC RETURNED UNKNOWN ERROR CONDITION.\n" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatusHandlerMessages,
    ::testing::Values(
        FixedMessage{11, "Central Controller Glitch!\nReboot Central Controller and Restart VOXA."},
        FixedMessage{12, "Central Controller: Invalid Line Number"},
        FixedMessage{13, "Central Controller: Invalid Face Number"},
        FixedMessage{14, "Central Controller: Invalid Line Configuration"},
        FixedMessage{15, "Central Controller: Format Mismatch"},
        FixedMessage{16, "Central Controller: Invalid Number of Digits"},
        FixedMessage{18, "Central Controller: Duty Cycle Out of Range"},
        FixedMessage{20, "Central Controller: Intensity Mode Error"},
        FixedMessage{21, "Central Controller: Intensity Mode Error"},
        FixedMessage{24, "VOXA sent cc an unknown command."},
        FixedMessage{3, "CC sent VOXA an unknown status.\nCmd Code: 04 Status:03"},
        FixedMessage{4, "CC sent VOXA an unknown status.\nCmd Code: 04 Status:04"}));

TEST_F(StatusHandlerTest, CodesOutsideTheKnownSetAlsoWriteTheConsoleLine) {
    system.GetNumberOfLines();
    for (int status : {2, 23, 25, 200}) {
        site.diagnostics.str("");
        system.Decode(StatusReply(4, status));
        EXPECT_EQ(site.diagnostics.str(), "CC RETURNED UNKNOWN ERROR CONDITION.\n") << status;
    }
    EXPECT_EQ(console.messages.back(), "CC sent VOXA an unknown status.\nCmd Code: 04 Status:c8");
}

TEST_F(StatusHandlerTest, NoSyncNamesTheLastSentCommandInTwosComplement) {
    site.controller.Faults().silent = true;
    system.GetCcStatus();
    EXPECT_EQ(
        console.messages,
        std::vector<std::string>{"CC sent VOXA an unknown status.\nCmd Code: 22 Status:ffffffff"});
    EXPECT_NE(site.diagnostics.str().find("CC RETURNED UNKNOWN ERROR CONDITION."),
              std::string::npos);
}

TEST_F(StatusHandlerTest, ChecksumProblemShowsUnknownStatusWithoutConsoleLine) {
    site.controller.Faults().corruptChecksum = true;
    system.GetNumberOfLines();
    EXPECT_EQ(
        console.messages,
        std::vector<std::string>{"CC sent VOXA an unknown status.\nCmd Code: 04 Status:fffffffd"});
    EXPECT_EQ(site.diagnostics.str(), "");
}

TEST_F(StatusHandlerTest, ThreeQuietResendsThenTheMessageOnTheFourth) {
    const CommandFrame request = system.Builder().SetLinePrice(1, "3.499");
    system.RunTransaction(request);
    site.platform.ClearEvents();
    for (int i = 1; i <= 3; ++i) {
        system.Decode(StatusReply(2, 6));
        EXPECT_EQ(system.FailureCounter(0), i);
    }
    EXPECT_TRUE(console.messages.empty());
    EXPECT_FALSE(system.FailureFlag());
    const auto resent = site.SentFrames();
    ASSERT_EQ(resent.size(), 3u);
    for (const auto &frame : resent) EXPECT_EQ(frame, request);

    system.Decode(StatusReply(2, 6));
    EXPECT_EQ(console.messages, std::vector<std::string>{"Checksum Failure"});
    EXPECT_TRUE(system.FailureFlag());
    EXPECT_EQ(system.FailureCounter(0), 0);
    EXPECT_EQ(site.SentFrames().size(), 3u);
}

TEST_F(StatusHandlerTest, EachFailureStatusHasItsOwnCounterAndText) {
    const char *texts[] = {"Checksum Failure", "Excessive Receive Failure",
                           "Excessive Transmit Failure", "Receive Timeout Failure",
                           "Transmit Timeout Failure"};
    for (int status = 6; status <= 10; ++status) {
        for (int i = 0; i < 4; ++i) system.Decode(StatusReply(2, status));
        EXPECT_EQ(console.messages.back(), texts[status - 6]);
    }
    EXPECT_EQ(console.messages.size(), 5u);
}

TEST_F(StatusHandlerTest, AnAcknowledgementBetweenFailuresStartsTheCountAgain) {
    system.Decode(StatusReply(2, 7));
    system.Decode(StatusReply(2, 7));
    system.Decode(StatusReply(2, 0));
    for (int i = 0; i < 3; ++i) system.Decode(StatusReply(2, 7));
    EXPECT_TRUE(console.messages.empty());
    EXPECT_EQ(system.FailureCounter(1), 3);
}

TEST_F(StatusHandlerTest, ControllerRetriesForcedByTheSimulatorEndInTheMessage) {
    site.controller.Faults().forcedStatus = 9;
    site.controller.Faults().forcedStatusCount = -1;
    system.SetLinePrice(1, "3.499");
    // The transaction's reply and the replies to the three resends are never read: the
    // resends are quiet, so only the one status is seen.
    EXPECT_TRUE(console.messages.empty());
    EXPECT_EQ(system.FailureCounter(3), 1);
    for (int i = 0; i < 3; ++i) system.SetLinePrice(1, "3.499");
    EXPECT_EQ(console.messages, std::vector<std::string>{"Receive Timeout Failure"});
}

TEST_F(StatusHandlerTest, UpdateProblemsRefreshTheStatusWithoutReceiving) {
    for (int status : {17, 19}) {
        site.platform.ClearEvents();
        system.Decode(StatusReply(2, status));
        EXPECT_EQ(site.SentCodes(), std::vector<int>{34});
        // One open, the 22 request bytes each answered, and no reply taken.
        int reads = 0;
        for (const auto &event : site.platform.Events())
            reads += event.kind == SimLinkPlatform::LineEvent::Kind::Read ? 1 : 0;
        EXPECT_EQ(reads, 22);
        EXPECT_EQ(site.platform.CountEvents(SimLinkPlatform::LineEvent::Kind::Open), 1);
    }
    EXPECT_EQ(console.messages,
              (std::vector<std::string>{"Central Controller: Line Update Problem",
                                        "Central Controller: Face Update Problem"}));
}

TEST_F(StatusHandlerTest, InvalidNvramAddressSetsTheFailureFlag) {
    system.Decode(StatusReply(36, 22));
    EXPECT_EQ(console.messages,
              std::vector<std::string>{"NVRAM Address Invalid, Aborting Transfer"});
    EXPECT_TRUE(system.FailureFlag());
}

const char *const kNvramText =
    "Central Controller Has Reported That NVRAM Must Be Updated.\nIf Needed, Contact Supervisor or "
    "Lumivane for "
    "Assistance.";

TEST_F(StatusHandlerTest, NvramStatusAnsweredNoEndsTheProgram) {
    system.Decode(StatusReply(34, 5));
    EXPECT_EQ(console.messages, std::vector<std::string>{kNvramText});
    EXPECT_EQ(console.questions, std::vector<std::string>{"Update NVRAM?"});
    EXPECT_EQ(console.nvramLoads, 0);
    EXPECT_EQ(console.endRequests, 1);
    EXPECT_TRUE(system.ProgramEndRequested());
}

TEST_F(StatusHandlerTest, NvramLoadWithNoFileChosenEndsTheProgram) {
    console.answerYes = true;
    system.Decode(StatusReply(34, 5));
    EXPECT_EQ(console.nvramLoads, 1);
    EXPECT_EQ(console.endRequests, 1);
}

TEST_F(StatusHandlerTest, OfferIsMadeOnceThenTheStatusIsOnlyWaitedOut) {
    console.answerYes = true;
    console.nvramFileChosen = true;
    system.Decode(StatusReply(34, 5));
    EXPECT_EQ(console.nvramLoads, 1);
    EXPECT_EQ(console.endRequests, 0);
    EXPECT_TRUE(system.NvramOfferMade());

    system.Decode(StatusReply(34, 5));
    EXPECT_EQ(console.messages.size(), 1u);
    EXPECT_EQ(console.questions.size(), 1u);
    EXPECT_EQ(console.waits, std::vector<std::chrono::milliseconds>{2000ms});
}

TEST_F(StatusHandlerTest, NothingIsSentOnceTheProgramEndIsRequested) {
    system.Decode(StatusReply(34, 5));
    ASSERT_TRUE(system.ProgramEndRequested());
    site.platform.ClearEvents();
    system.GetNumberOfLines();
    system.SetLinePrice(1, "3.499");
    EXPECT_TRUE(site.platform.Events().empty());
    EXPECT_EQ(console.endRequests, 1);
}

}  // namespace
