#include "nvram_transfer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "command_code.h"
#include "file_contents.h"
#include "recording_console.h"
#include "sign_system.h"
#include "sim_link_platform.h"
#include "forked_call.h"
#include "simulated_site.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Outcome = NvramTransfer::Outcome;

constexpr int kBegin = 39, kLoadComplete = 40, kSaveComplete = 41, kPrepare = 42, kEnd = 43;
constexpr int kSize = 35, kRead = 36, kWrite = 37;

Bytes Pattern(std::size_t size, int seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return bytes;
}

class NvramTransferTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string &name) const { return (folder / name).string(); }

    // Names in the folder, to see that nothing was left behind.
    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The address of every block request sent, in order.
    std::vector<int> BlockAddresses(int code) const {
        std::vector<int> addresses;
        for (const CommandFrame &frame : site.SentFrames())
            if (frame.Code() == code) addresses.push_back(frame[3] << 8 | frame[4]);
        return addresses;
    }

    SimulatedSite site;
    ControllerModel::State &controller = site.model.Current();
    NvramTransfer transfer{site.system};
    TemporaryFolder scratch{"voxa-nvram"};
    const fs::path folder = scratch.Path();
};

TEST_F(NvramTransferTest, SaveOfAHundredBytesWritesSevenWholeBlocks) {
    site.model.ResetNvram(100);
    const std::string path = PathOf("site.nvr");
    const NvramTransfer::Result result = transfer.Save(path);

    EXPECT_EQ(result.outcome, Outcome::Complete);
    EXPECT_EQ(result.blocksDone, 7);
    EXPECT_TRUE(result.message.empty());
    const Bytes image = ReadFileBytes(path);
    ASSERT_EQ(image.size(), 112u);
    // The last block is written whole, as the controller sent it past its size.
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 100), ControllerModel::InitialNvram(100));
    EXPECT_EQ(Bytes(image.begin() + 100, image.end()), Bytes(12, 0xFF));
    EXPECT_EQ(site.SentCodes(),
              (std::vector<int>{kBegin, kPrepare, kSize, kRead, kRead, kRead, kRead, kRead, kRead,
                                kRead, kEnd, kSaveComplete}));
    EXPECT_EQ(BlockAddresses(kRead), (std::vector<int>{0, 16, 32, 48, 64, 80, 96}));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"site.nvr"});
}

// A controller that reports no memory at all has nothing to save: a good image of that
// name is never replaced by an empty one, and no empty file is made.
TEST_F(NvramTransferTest, SaveOfAnEmptyMemoryLeavesAnOldImageAloneAndSaysSo) {
    site.model.ResetNvram(0);
    const std::string path = PathOf("good.nvr");
    WriteFileBytes(path, Pattern(2048, 1));
    const NvramTransfer::Result result = transfer.Save(path);
    EXPECT_EQ(result.outcome, Outcome::EmptyMemory);
    EXPECT_EQ(result.message,
              std::string(NvramTransfer::kEmptyMemoryText) + " " + path + " was left as it was.");
    EXPECT_EQ(ReadFileBytes(path), Pattern(2048, 1));
    EXPECT_EQ(site.SentCodes(), (std::vector<int>{kBegin, kPrepare, kSize, kEnd, kSaveComplete}));

    const NvramTransfer::Result fresh = transfer.Save(PathOf("new.nvr"));
    EXPECT_EQ(fresh.outcome, Outcome::EmptyMemory);
    EXPECT_EQ(fresh.message,
              std::string(NvramTransfer::kEmptyMemoryText) + " No file was written.");
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"good.nvr"});
}

TEST_F(NvramTransferTest, ProgressIsToldBeforeTheFirstCommandAndAfterEveryBlock) {
    site.model.ResetNvram(40);
    std::vector<std::pair<int, int>> calls;
    std::vector<std::size_t> requestsAtCall;
    const auto progress = [&](int done, int blocks) {
        calls.emplace_back(done, blocks);
        requestsAtCall.push_back(site.controller.Requests().size());
    };
    transfer.Save(PathOf("a.nvr"), progress);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 0}, {0, 3}, {1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(requestsAtCall.front(), 0u);

    calls.clear();
    requestsAtCall.clear();
    site.controller.ClearRequests();
    WriteFileBytes(PathOf("b.nvr"), Pattern(20, 3));
    transfer.Load(PathOf("b.nvr"), progress);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
    EXPECT_EQ(requestsAtCall.front(), 0u);
}

// Loading files of the sizes around a block: how many blocks go out and how the last one
// is completed.
struct LoadCase {
    std::size_t fileSize;
    int blocks;
};

class NvramLoadSizes : public NvramTransferTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(NvramLoadSizes, BlocksFromOffsetZeroAndTheLastPaddedWithFF) {
    const LoadCase c = GetParam();
    const Bytes file = Pattern(c.fileSize, 11);
    WriteFileBytes(PathOf("in.nvr"), file);
    const NvramTransfer::Result result = transfer.Load(PathOf("in.nvr"));

    EXPECT_EQ(result.outcome, Outcome::Complete);
    EXPECT_EQ(result.blocksDone, c.blocks);
    std::vector<int> codes{kBegin, kPrepare};
    codes.insert(codes.end(), static_cast<std::size_t>(c.blocks), kWrite);
    codes.insert(codes.end(), {kEnd, kLoadComplete});
    EXPECT_EQ(site.SentCodes(), codes);

    Bytes sent;
    for (const CommandFrame &frame : site.controller.Requests())
        if (frame.Code() == kWrite)
            sent.insert(sent.end(), frame.bytes.begin() + 5, frame.bytes.begin() + 21);
    Bytes expected = file;
    expected.resize(static_cast<std::size_t>(c.blocks) * 16, 0xFF);
    EXPECT_EQ(sent, expected);
    for (int i = 0; i < c.blocks; ++i) EXPECT_EQ(BlockAddresses(kWrite)[i], 16 * i);
}

INSTANTIATE_TEST_SUITE_P(AroundABlock, NvramLoadSizes,
                         ::testing::Values(LoadCase{0, 0}, LoadCase{15, 1}, LoadCase{16, 1},
                                           LoadCase{17, 2}, LoadCase{20, 2}, LoadCase{2048, 128}));

TEST_F(NvramTransferTest, BlockAddressesTravelHighByteFirst) {
    site.model.ResetNvram(0x2000);
    WriteFileBytes(PathOf("in.nvr"), Pattern(0x1240, 5));
    transfer.Load(PathOf("in.nvr"));
    const auto &requests = site.controller.Requests();
    const auto block = std::find_if(requests.begin(), requests.end(), [](const CommandFrame &f) {
        return f.Code() == kWrite && f[3] == 0x12 && f[4] == 0x30;
    });
    ASSERT_NE(block, requests.end());
    EXPECT_EQ((*block)[5], Pattern(0x1240, 5)[0x1230]);
    EXPECT_EQ(controller.nvram[0x1230], Pattern(0x1240, 5)[0x1230]);
}

TEST_F(NvramTransferTest, LargestImageGoesUpToTheLastAddressWithoutWrapping) {
    site.model.ResetNvram(ControllerModel::kMaxNvramSize);
    const Bytes file = Pattern(NvramTransfer::kLargestImage, 9);
    WriteFileBytes(PathOf("full.nvr"), file);
    const NvramTransfer::Result result = transfer.Load(PathOf("full.nvr"));
    EXPECT_EQ(result.outcome, Outcome::Complete);
    EXPECT_EQ(result.blocksDone, 4096);
    const std::vector<int> addresses = BlockAddresses(kWrite);
    EXPECT_EQ(addresses.back(), 0xFFF0);
    EXPECT_EQ(std::count(addresses.begin(), addresses.end(), 0), 1);
    EXPECT_EQ(controller.nvram[0], file[0]);
}

TEST_F(NvramTransferTest, FileLongerThanTheAddressRangeIsRefusedBeforeAnyCommand) {
    WriteFileBytes(PathOf("big.nvr"), Pattern(NvramTransfer::kLargestImage + 1, 2));
    const NvramTransfer::Result result = transfer.Load(PathOf("big.nvr"));
    EXPECT_EQ(result.outcome, Outcome::FileRefused);
    EXPECT_FALSE(result.commandsSent);
    EXPECT_EQ(result.message, "NVRAM image file is larger than 65536 bytes.");
    EXPECT_TRUE(site.controller.Requests().empty());
    EXPECT_TRUE(site.console.messages.empty());
}

TEST_F(NvramTransferTest, UnreadableFileIsNamedWithItsReasonAndNothingIsSent) {
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {PathOf("missing.nvr"), "No such file or directory"},
        {folder.string(), "Is a directory"},
    };
    for (const auto &c : cases) {
        const NvramTransfer::Result result = transfer.Load(c.path);
        EXPECT_EQ(result.outcome, Outcome::FileRefused);
        EXPECT_EQ(result.message,
                  "NVRAM image not loaded: cannot read " + c.path + " (" + c.reason + ").");
    }
    if (::geteuid() != 0) {
        WriteFileBytes(PathOf("locked.nvr"), Pattern(16, 0));
        ::chmod(PathOf("locked.nvr").c_str(), 0);
        EXPECT_EQ(transfer.Load(PathOf("locked.nvr")).message,
                  "NVRAM image not loaded: cannot read " + PathOf("locked.nvr") +
                      " (Permission denied).");
    }
    EXPECT_TRUE(site.controller.Requests().empty());
}

TEST_F(NvramTransferTest, AddressRefusedStopsTheLoadWhichStillEnds) {
    site.model.ResetNvram(32);
    WriteFileBytes(PathOf("long.nvr"), Pattern(80, 4));
    const NvramTransfer::Result result = transfer.Load(PathOf("long.nvr"));

    EXPECT_EQ(result.outcome, Outcome::AddressRefused);
    EXPECT_EQ(result.blocksDone, 2);
    EXPECT_TRUE(result.commandsSent);
    EXPECT_TRUE(result.message.empty());  // the status handler has said it
    EXPECT_EQ(site.SentCodes(),
              (std::vector<int>{kBegin, kPrepare, kWrite, kWrite, kWrite, kEnd, kLoadComplete}));
    EXPECT_EQ(site.console.messages,
              std::vector<std::string>{"NVRAM Address Invalid, Aborting Transfer"});
    EXPECT_TRUE(site.system.FailureFlag());
}

TEST_F(NvramTransferTest, AddressRefusedStopsTheSaveAndWritesNothing) {
    site.model.ResetNvram(32);
    site.controller.Faults().reportedNvramSize = 64;
    const std::string path = PathOf("site.nvr");
    WriteFileBytes(path, Pattern(48, 8));
    const NvramTransfer::Result result = transfer.Save(path);

    EXPECT_EQ(result.outcome, Outcome::AddressRefused);
    EXPECT_EQ(BlockAddresses(kRead), (std::vector<int>{0, 16, 32}));
    EXPECT_EQ(site.SentCodes().back(), kSaveComplete);
    EXPECT_EQ(result.message,
              "NVRAM image not saved: the Central Controller did not deliver every block.");
    EXPECT_EQ(ReadFileBytes(path), Pattern(48, 8));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"site.nvr"});
}

TEST_F(NvramTransferTest, SilentControllerLeavesAGoodImageUntouchedAndNothingBehind) {
    const std::string path = PathOf("good.nvr");
    WriteFileBytes(path, Pattern(2048, 6));
    site.controller.Faults().silent = true;
    const NvramTransfer::Result result = transfer.Save(path);

    EXPECT_EQ(result.outcome, Outcome::Incomplete);
    EXPECT_EQ(result.blocksDone, 0);
    EXPECT_EQ(result.message,
              "NVRAM image not saved: the Central Controller did not deliver every block.");
    EXPECT_EQ(ReadFileBytes(path), Pattern(2048, 6));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"good.nvr"});
    // The transfer's closing commands were still tried.
    EXPECT_EQ(site.console.messages.size(), 5u);
}

TEST_F(NvramTransferTest, BlockReadFailureEndsTheLoopAndCreatesNoFile) {
    site.model.ResetNvram(64);
    FaultPlan &faults = site.controller.Faults();
    faults.forcedStatus = ControllerStatus::kReceiveTimeoutFailure;
    faults.forcedStatusCount = 1;
    faults.forcedStatusCommand = kRead;
    const NvramTransfer::Result result = transfer.Save(PathOf("new.nvr"));

    EXPECT_EQ(result.outcome, Outcome::Incomplete);
    // The first read was answered with a line failure: resent quietly, no reply taken.
    EXPECT_EQ(BlockAddresses(kRead), (std::vector<int>{0, 0}));
    EXPECT_TRUE(site.console.messages.empty());
    EXPECT_EQ(result.message,
              "NVRAM image not saved: the Central Controller did not deliver every block.");
    EXPECT_TRUE(FolderNames().empty());
}

TEST_F(NvramTransferTest, LoadThatLostABlockSaysSo) {
    FaultPlan &faults = site.controller.Faults();
    faults.forcedStatus = ControllerStatus::kChecksumFailure;
    faults.forcedStatusCount = 1;
    faults.forcedStatusCommand = kWrite;
    WriteFileBytes(PathOf("in.nvr"), Pattern(64, 1));
    const NvramTransfer::Result result = transfer.Load(PathOf("in.nvr"));

    EXPECT_EQ(result.outcome, Outcome::Incomplete);
    EXPECT_EQ(result.blocksDone, 0);
    EXPECT_EQ(result.message,
              "NVRAM image not loaded completely: the Central Controller did not accept every "
              "block.");
    EXPECT_EQ(site.SentCodes().back(), kLoadComplete);
}

TEST_F(NvramTransferTest, ProgramEndDuringASaveCountsNoStaleBlock) {
    site.model.ResetNvram(64);
    // Once the end is asked for, transactions stop and the model keeps the last reply: a
    // block "read" after that would repeat the one before.
    transfer.Save(PathOf("a.nvr"), [&](int done, int) {
        if (done == 1) site.system.RequestProgramEnd();
    });
    EXPECT_EQ(BlockAddresses(kRead), std::vector<int>{0});
    EXPECT_TRUE(FolderNames().empty());
}

// The program's end asked for in the middle of a load (a stop signal, the window closed):
// no further block goes out, and the load is not taken for a complete one.
TEST_F(NvramTransferTest, ProgramEndDuringALoadSendsNoFurtherBlock) {
    site.model.ResetNvram(64);
    WriteFileBytes(PathOf("site.nvr"), Pattern(64, 9));
    const NvramTransfer::Result result = transfer.Load(PathOf("site.nvr"), [&](int done, int) {
        if (done == 1) site.system.RequestProgramEnd();
    });
    EXPECT_EQ(BlockAddresses(kWrite), std::vector<int>{0});
    EXPECT_EQ(result.blocksDone, 1);
    EXPECT_NE(result.outcome, Outcome::Complete);
    EXPECT_EQ(site.SentCodes(), (std::vector<int>{kBegin, kPrepare, kWrite}));
}

TEST_F(NvramTransferTest, SaveIntoAFolderThatCannotTakeIt) {
    const std::string path = (folder / "no-such-folder" / "x.nvr").string();
    const NvramTransfer::Result result = transfer.Save(path);
    EXPECT_EQ(result.outcome, Outcome::FileRefused);
    EXPECT_FALSE(result.commandsSent);
    // The folder did not take the new file, so the folder is named.
    EXPECT_EQ(result.message, "NVRAM image not saved: cannot write in the folder " +
                                  (folder / "no-such-folder").string() +
                                  " (No such file or directory).");
    EXPECT_EQ(transfer.Save(folder.string()).message,
              "NVRAM image not saved: cannot write " + folder.string() + " (Is a directory).");
    EXPECT_TRUE(site.controller.Requests().empty());
}

TEST_F(NvramTransferTest, ImageRoundTripsByteForByte) {
    site.model.ResetNvram(300);
    const Bytes original = controller.nvram;
    ASSERT_EQ(transfer.Save(PathOf("before.nvr")).outcome, Outcome::Complete);

    controller.nvram.assign(300, 0);
    ASSERT_EQ(transfer.Load(PathOf("before.nvr")).outcome, Outcome::Complete);
    EXPECT_EQ(controller.nvram, original);
    ASSERT_EQ(transfer.Save(PathOf("after.nvr")).outcome, Outcome::Complete);
    EXPECT_EQ(ReadFileBytes(PathOf("after.nvr")), ReadFileBytes(PathOf("before.nvr")));
}

// The permissions of a saved image: the controller's memory holds its password.
struct ImageMode {
    const char *name;
    mode_t umask;
    std::optional<mode_t> existing;  // the mode of the image replaced, when there is one
    mode_t expected;
};

void PrintTo(const ImageMode &c, std::ostream *os) {
    *os << c.name;
}

class NvramImageModes : public NvramTransferTest,
                        public ::testing::WithParamInterface<ImageMode> {};

TEST_P(NvramImageModes, NewImagesArePrivateAndReplacedOnesKeepTheirMode) {
    const ImageMode c = GetParam();
    site.model.ResetNvram(48);
    const std::string path = PathOf("site.nvr");
    if (c.existing) {
        WriteFileBytes(path, Pattern(32, 3));
        ASSERT_EQ(::chmod(path.c_str(), *c.existing), 0);
    }
    const mode_t before = ::umask(c.umask);
    const NvramTransfer::Result result = transfer.Save(path);
    ::umask(before);

    ASSERT_EQ(result.outcome, Outcome::Complete);
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, c.expected) << std::oct << (status.st_mode & 07777);
    EXPECT_EQ(ReadFileBytes(path), ControllerModel::InitialNvram(48));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"site.nvr"});
}

INSTANTIATE_TEST_SUITE_P(
    UmaskAndExistingFile, NvramImageModes,
    ::testing::Values(ImageMode{"NewUnderUmask022", 022, std::nullopt, 0600},
                      ImageMode{"NewUnderUmask000", 0, std::nullopt, 0600},
                      ImageMode{"NewUnderUmask277", 0277, std::nullopt, 0400},
                      ImageMode{"Replaced0640", 022, 0640, 0640},
                      // The owner's choice stands, even against a stricter umask.
                      ImageMode{"Replaced0664UnderUmask077", 077, 0664, 0664},
                      ImageMode{"Replaced0600", 0, 0600, 0600}),
    [](const auto &row) { return std::string(row.param.name); });

// What the line sees of a transfer: one hold from before its first command to after its
// last, with the block on its way told to the programs that wait.
class HoldRecordingPlatform : public SimLinkPlatform {
public:
    using SimLinkPlatform::SimLinkPlatform;
    bool BeginTransaction(const std::string &, std::string &) override {
        events.push_back(depth > 0 ? "transaction" : "transaction outside a hold");
        return true;
    }
    void BeginHold(const std::string &activity) override {
        ++depth;
        events.push_back("hold: " + activity);
    }
    void SetHoldProgress(const std::string &progress) override {
        events.push_back("progress: " + progress);
    }
    void EndHold() override {
        --depth;
        events.push_back("end");
    }
    std::vector<std::string> events;
    int depth = 0;
};

TEST(NvramTransferHold, BothTransfersHoldTheLineThroughoutAndCountTheirBlocks) {
    ControllerEndpoint controller;
    controller.Model().ResetNvram(32);
    HoldRecordingPlatform platform{controller};
    RecordingConsole console;
    SignSystem system{platform, console};
    system.SetPortName("COM1");
    TemporaryFolder scratch{"voxa-nvram-hold"};
    const std::string path = (scratch.Path() / "site.nvr").string();
    const std::string t = "transaction";

    ASSERT_EQ(NvramTransfer(system).Save(path).outcome, Outcome::Complete);
    EXPECT_EQ(platform.events,
              (std::vector<std::string>{"hold: saving an NVRAM image", t, t, t,
                                        "progress: block 1 of 2", t, "progress: block 2 of 2", t,
                                        "progress: ending the transfer", t, t, "end"}));
    platform.events.clear();
    ASSERT_EQ(NvramTransfer(system).Load(path).outcome, Outcome::Complete);
    EXPECT_EQ(platform.events,
              (std::vector<std::string>{"hold: loading an NVRAM image", t, t,
                                        "progress: block 1 of 2", t, "progress: block 2 of 2", t,
                                        "progress: ending the transfer", t, t, "end"}));
    // A file that cannot be read never takes the line.
    platform.events.clear();
    NvramTransfer(system).Load(path + ".missing");
    EXPECT_EQ(platform.events, std::vector<std::string>{});
}

// What stands where an image is to be read or written, instead of a regular file.
struct PlantedImage {
    const char *name;
    std::function<void(const std::string &)> plant;
    std::string readReason;   // what the load says of it
    std::string writeReason;  // what the save says
};

void PrintTo(const PlantedImage &c, std::ostream *os) {
    *os << c.name;
}

std::vector<PlantedImage> PlantedImages() {
    return {
        {"Fifo", [](const std::string &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0666), 0); },
         "it is a named pipe, not a regular file", "it is a named pipe, not a regular file"},
        {"LinkToDevice", [](const std::string &p) { fs::create_symlink("/dev/null", p); },
         "it is a character device, not a regular file",
         "it leads to /dev/null, which is a character device, not a regular file"},
    };
}

class NvramPlantedImages : public NvramTransferTest,
                           public ::testing::WithParamInterface<PlantedImage> {};

// A FIFO would block the read for ever, and a device node must never be replaced by a
// regular file (as root, /dev/null): both are refused before anything is sent.
TEST_P(NvramPlantedImages, AreRefusedWithoutWaitingAndLeftAsTheyWere) {
    const PlantedImage c = GetParam();
    const std::string path = PathOf("site.nvr");
    c.plant(path);
    struct stat before {};
    ASSERT_EQ(::lstat(path.c_str(), &before), 0);
    site.model.ResetNvram(32);

    const auto loaded = RunForked(
        [&] {
            const NvramTransfer::Result result = transfer.Load(path);
            return result.outcome == Outcome::FileRefused &&
                           result.message == "NVRAM image not loaded: cannot read " + path + " (" +
                                                 c.readReason + ")." &&
                           site.controller.Requests().empty()
                       ? 0
                       : 1;
        },
        std::chrono::seconds(5));
    EXPECT_EQ(loaded, 0);

    const NvramTransfer::Result saved = transfer.Save(path);
    EXPECT_EQ(saved.outcome, Outcome::FileRefused);
    EXPECT_EQ(saved.message,
              "NVRAM image not saved: cannot write " + path + " (" + c.writeReason + ").");
    EXPECT_TRUE(site.controller.Requests().empty());
    struct stat after {};
    ASSERT_EQ(::lstat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
}

INSTANTIATE_TEST_SUITE_P(InPlaceOfTheImage, NvramPlantedImages,
                         ::testing::ValuesIn(PlantedImages()),
                         [](const auto &row) { return std::string(row.param.name); });

// An image chosen by the user may be a link to an image elsewhere: it is written through
// the link, but never with the permissions of the file the link leads to, which may have
// been put there to read the system password out of the next save.
TEST_F(NvramTransferTest, AnImageSavedThroughALinkIsWrittenThereForItsOwnerOnly) {
    site.model.ResetNvram(48);
    const std::string shared = PathOf("shared.nvr");
    WriteFileBytes(shared, Pattern(16, 5));
    ASSERT_EQ(::chmod(shared.c_str(), 0666), 0);
    fs::create_symlink(shared, PathOf("site.nvr"));

    const mode_t before = ::umask(0);
    const NvramTransfer::Result result = transfer.Save(PathOf("site.nvr"));
    ::umask(before);
    ASSERT_EQ(result.outcome, Outcome::Complete) << result.message;
    EXPECT_TRUE(fs::is_symlink(PathOf("site.nvr")));
    EXPECT_EQ(ReadFileBytes(shared), ControllerModel::InitialNvram(48));
    struct stat status {};
    ASSERT_EQ(::stat(shared.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u) << std::oct << (status.st_mode & 07777);
}

}  // namespace
