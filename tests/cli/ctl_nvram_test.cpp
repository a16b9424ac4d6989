// voxa-ctl's NVRAM image subcommands against the simulated controller on virtual time.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "command_line_client.h"
#include "ctl_in_process_fixture.h"
#include "exit_status.h"
#include "file_contents.h"
#include "sign_system.h"
#include "stream_console.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const std::string kNotSaved =
    "voxa-ctl: NVRAM image not saved: the Central Controller did not deliver every block.\n";

class CtlNvramTest : public CtlInProcess {
protected:
    CtlNvramTest() { console.SetProgressLine(nullptr); }

    int Run(CommandLineClient &client, const std::vector<std::string> &words) {
        return client.RunSubcommand(system, words);
    }
    std::string PathOf(const std::string &name) const { return (folder / name).string(); }

    TemporaryFolder scratch{"voxa-ctl-nvram"};
    const fs::path folder = scratch.Path();
};

TEST_F(CtlNvramTest, SaveAndLoadRoundTripQuietlyWithoutATerminal) {
    controller.Model().ResetNvram(48);
    CommandLineClient client(out, err);
    EXPECT_EQ(Run(client, {"save-nvram-image", PathOf("a.nvr")}), ExitStatus::kOk);
    EXPECT_EQ(ReadFileBytes(PathOf("a.nvr")), ControllerModel::InitialNvram(48));
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "");

    state.nvram.assign(48, 0);
    EXPECT_EQ(Run(client, {"load-nvram-image", PathOf("a.nvr")}), ExitStatus::kOk);
    EXPECT_EQ(state.nvram, ControllerModel::InitialNvram(48));
    EXPECT_EQ(out.str(), "VOXA must be restarted to comply with NVRAM changes.\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CtlNvramTest, ProgressCountsTheBlocksOnOneLineOfATerminal) {
    controller.Model().ResetNvram(40);
    CommandLineClient client(out, err, true);
    EXPECT_EQ(Run(client, {"save-nvram-image", PathOf("a.nvr")}), ExitStatus::kOk);
    EXPECT_EQ(err.str(), "\rBlock 1 of 3\rBlock 2 of 3\rBlock 3 of 3\n");
    EXPECT_EQ(out.str(), "");
}

TEST_F(CtlNvramTest, MessageDuringTheTransferStartsOnALineOfItsOwn) {
    controller.Model().ResetNvram(32);
    WriteFileBytes(PathOf("long.nvr"), Bytes(48, 7));
    CommandLineClient client(out, err, true);
    StreamConsole terminal(err);
    // The console of a run whose standard error is a terminal shares its progress line.
    SignSystem shown(platform, terminal);
    terminal.Attach(&shown);
    shown.SetPortName("COM1");
    shown.SetDiagnosticStream(err);
    terminal.SetProgressLine(client.Progress());
    EXPECT_EQ(client.RunSubcommand(shown, {"load-nvram-image", PathOf("long.nvr")}),
              ExitStatus::kTransactionFailed);
    EXPECT_EQ(err.str(),
              "\rBlock 1 of 3\rBlock 2 of 3\rBlock 3 of 3\n"
              "voxa-ctl: NVRAM Address Invalid, Aborting Transfer\n");
    // No restart notice: not every block went through.
    EXPECT_EQ(out.str(), "");
}

TEST_F(CtlNvramTest, SilentControllerFailsTheSaveAndKeepsTheOldImage) {
    WriteFileBytes(PathOf("good.nvr"), Bytes(32, 0x42));
    controller.Faults().silent = true;
    CommandLineClient client(out, err);
    EXPECT_EQ(Run(client, {"save-nvram-image", PathOf("good.nvr")}),
              ExitStatus::kTransactionFailed);
    EXPECT_EQ(ReadFileBytes(PathOf("good.nvr")), Bytes(32, 0x42));
    EXPECT_NE(err.str().find(kNotSaved), std::string::npos) << err.str();
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(CtlNvramTest, FilesThatCannotBeLoadedAreRefusedBeforeAnyCommand) {
    WriteFileBytes(PathOf("big.nvr"), Bytes(65537, 1));
    const struct {
        std::string file;
        std::string said;
    } cases[] = {
        {PathOf("big.nvr"), "voxa-ctl: NVRAM image file is larger than 65536 bytes.\n"},
        {PathOf("none.nvr"), "voxa-ctl: NVRAM image not loaded: cannot read " + PathOf("none.nvr") +
                                 " (No such file or directory).\n"},
    };
    for (const auto &c : cases) {
        err.str("");
        CommandLineClient client(out, err);
        EXPECT_EQ(Run(client, {"load-nvram-image", c.file}), ExitStatus::kTransactionFailed);
        EXPECT_EQ(err.str(), c.said);
    }
    EXPECT_TRUE(controller.Requests().empty());
    EXPECT_EQ(out.str(), "");
}

TEST_F(CtlNvramTest, FileIsTheOneArgument) {
    CommandLineClient client(out, err);
    for (const std::vector<std::string> &words :
         {std::vector<std::string>{"save-nvram-image"},
          std::vector<std::string>{"load-nvram-image", "a.nvr", "b.nvr"}}) {
        err.str("");
        EXPECT_EQ(Run(client, words), ExitStatus::kUsage);
        EXPECT_EQ(err.str(), "voxa-ctl: usage: voxa-ctl " + words[0] + " FILE\n");
    }
    EXPECT_TRUE(controller.Requests().empty());
}

}  // namespace
