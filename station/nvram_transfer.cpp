#include "nvram_transfer.h"

#include <algorithm>

#include "chained_log.h"
#include "command_code.h"
#include "line_hold.h"
#include "sha256.h"
#include "sign_system.h"

namespace {

void Tell(const NvramTransfer::Progress &progress, int done, int blocks) {
    if (progress) progress(done, blocks);
}

// The block on its way, for the programs that wait for the line.
void Tell(LineHold &hold, int block, int blocks) {
    hold.Progress("block " + std::to_string(block + 1) + " of " + std::to_string(blocks));
}

}  // namespace

int NvramTransfer::BlockCount(std::size_t bytes) {
    return static_cast<int>((bytes + kBlockSize - 1) / kBlockSize);
}

NvramBlock NvramTransfer::BlockOf(const std::vector<std::uint8_t> &image, int index) {
    NvramBlock block;
    block.fill(kPadding);
    const std::size_t start = static_cast<std::size_t>(index) * kBlockSize;
    if (start < image.size()) {
        const std::size_t length = std::min<std::size_t>(kBlockSize, image.size() - start);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(start), length, block.begin());
    }
    return block;
}

bool NvramTransfer::Ending() const {
    // Once the program's end is requested no transaction runs any more, and the model
    // keeps the previous reply's values: nothing read after that point is real.
    return m_system.ProgramEndRequested();
}

bool NvramTransfer::Run(const CommandFrame &request) {
    const int outcome = m_system.RunTransaction(request);
    return outcome == ControllerStatus::kOk && !Ending();
}

NvramTransfer::Result NvramTransfer::SaveImage(const std::string &path, const Progress &progress,
                                               std::vector<std::uint8_t> &image) {
    Result result;
    std::string reason;
    std::string refused;
    if (!CanWriteBeside(path, refused, reason)) {
        result.outcome = Outcome::FileRefused;
        result.message = "NVRAM image not saved: cannot write " + refused + " (" + reason + ").";
        return result;
    }

    // The whole transfer keeps the line: another program's command between two blocks
    // would land in the middle of the controller's transfer.
    LineHold hold(m_system, "saving an NVRAM image");
    FrameBuilder &build = m_system.Builder();
    result.commandsSent = true;
    Tell(progress, 0, 0);
    Run(build.NvramTransferBegin());
    Run(build.NvramTransferPrepare());
    const bool sizeKnown = Run(build.GetNvramSize());

    result.outcome = sizeKnown ? Outcome::Complete : Outcome::Incomplete;
    if (sizeKnown && m_system.NvramSize() == 0) {
        // An empty image would replace a good one with nothing.
        result.outcome = Outcome::EmptyMemory;
        result.message = std::string(kEmptyMemoryText) + " " +
                         (Exists(path) ? path + " was left as it was." : "No file was written.");
    } else if (sizeKnown) {
        result.blocks = BlockCount(static_cast<std::size_t>(m_system.NvramSize()));
        Tell(progress, 0, result.blocks);
        for (int block = 0; block < result.blocks; ++block) {
            Tell(hold, block, result.blocks);
            int status = 0;
            const NvramBlock bytes = m_system.ReadNvramBlock(block * kBlockSize, &status);
            if (status != ControllerStatus::kOk || Ending()) {
                result.outcome = status == ControllerStatus::kNvramAddressInvalid
                                     ? Outcome::AddressRefused
                                     : Outcome::Incomplete;
                break;
            }
            image.insert(image.end(), bytes.begin(), bytes.end());
            ++result.blocksDone;
            Tell(progress, result.blocksDone, result.blocks);
        }
    }

    if (result.outcome == Outcome::Complete && !ReplaceWith(path, image, reason)) {
        result.outcome = Outcome::FileRefused;
        result.message = "NVRAM image not saved: cannot write " + path + " (" + reason + ").";
    }
    hold.Progress("ending the transfer");
    Run(build.NvramTransferEnd());
    Run(build.NvramSaveComplete());
    if (result.outcome == Outcome::Incomplete || result.outcome == Outcome::AddressRefused) {
        result.message = kNotSavedText;
    }
    return result;
}

NvramTransfer::Result NvramTransfer::LoadImage(const std::string &path, const Progress &progress,
                                               std::vector<std::uint8_t> &image) {
    Result result;
    bool tooLarge = false;
    std::string reason;
    if (!ReadImage(path, image, tooLarge, reason)) {
        result.outcome = Outcome::FileRefused;
        result.message = tooLarge
                             ? std::string(kTooLargeText)
                             : "NVRAM image not loaded: cannot read " + path + " (" + reason + ").";
        return result;
    }

    LineHold hold(m_system, "loading an NVRAM image");
    FrameBuilder &build = m_system.Builder();
    result.commandsSent = true;
    result.blocks = BlockCount(image.size());
    Tell(progress, 0, result.blocks);
    Run(build.NvramTransferBegin());
    Run(build.NvramTransferPrepare());
    for (int block = 0; block < result.blocks; ++block) {
        Tell(hold, block, result.blocks);
        int status = 0;
        m_system.WriteNvramBlock(block * kBlockSize, BlockOf(image, block), &status);
        if (status != ControllerStatus::kOk || Ending()) {
            result.outcome = status == ControllerStatus::kNvramAddressInvalid
                                 ? Outcome::AddressRefused
                                 : Outcome::Incomplete;
            break;
        }
        ++result.blocksDone;
        Tell(progress, result.blocksDone, result.blocks);
    }
    hold.Progress("ending the transfer");
    Run(build.NvramTransferEnd());
    Run(build.NvramLoadComplete());
    // The status handler has told of an address beyond the memory; any other failure may
    // have been a quiet resend that showed nothing at all.
    if (result.outcome == Outcome::Incomplete) {
        result.message = kNotLoadedText;
    }
    return result;
}

NvramTransfer::Result NvramTransfer::Save(const std::string &path, const Progress &progress) {
    std::vector<std::uint8_t> image;
    const Result result = SaveImage(path, progress, image);
    // A save the controller was never asked for changed nothing anyone need know of.
    if (result.commandsSent || result.outcome == Outcome::Complete)
        Record("NVRAM image saved", path, image, result, result.outcome == Outcome::Complete);
    return result;
}

NvramTransfer::Result NvramTransfer::Load(const std::string &path, const Progress &progress) {
    std::vector<std::uint8_t> image;
    const Result result = LoadImage(path, progress, image);
    if (result.commandsSent) Record("NVRAM image loaded", path, image, result, true);
    return result;
}

void NvramTransfer::Record(const std::string &what, const std::string &path,
                           const std::vector<std::uint8_t> &image, const Result &result,
                           bool withImage) {
    const bool whole = result.outcome == Outcome::Complete;
    std::string after = path;
    // A save that did not go through wrote no file: there is no image to name.
    if (withImage) {
        const std::string_view bytes(reinterpret_cast<const char *>(image.data()), image.size());
        const std::string described =
            " (" + std::to_string(image.size()) + " bytes, SHA-256 " + Sha256::Hex(bytes) + ")";
        // The log keeps 255 bytes of a value: a long path gives up its beginning, never the
        // digest.
        const std::size_t room = ChainedLog::kFieldRoom - 1 - described.size();
        if (after.size() > room) after = "..." + after.substr(after.size() - (room - 3));
        after += described;
    }
    std::string outcome = "done";
    if (!whole) {
        outcome = "failed after " + std::to_string(result.blocksDone) + " of " +
                  std::to_string(result.blocks) + " blocks";
    }
    m_system.RecordChange(what, std::nullopt, after, outcome);
}
