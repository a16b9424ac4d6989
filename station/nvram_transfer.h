#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frame_builder.h"

class SignSystem;

// Copies the controller's whole NVRAM into an image file (save) and an image file back
// into the controller (load), 16 bytes per command. The image file is a raw copy: the
// byte at NVRAM address k stands at file offset k, with no header and no checksum.
//
// Save:  39, 42, 35, then 36 for each block from address 0 up, then 43, 41.
// Load:  39, 42, then 37 for each block of the file, then 43, 40.
//
// A block loop ends at the first block that does not go through: the controller's
// "NVRAM Address Invalid" status (22) says the rest lies beyond its memory, and after any
// other failure the image can no longer be whole, while every further block would cost a
// full time-out on a dead line. The closing commands are sent either way, so the
// controller always sees its transfer end.
//
// Nothing here talks to the person at the screen: the result carries the text to show,
// and the caller shows it once its progress display is gone.
class NvramTransfer {
public:
    static constexpr int kBlockSize = 16;
    // Block addresses travel in 16 bits: a longer image would wrap round to address 0.
    static constexpr std::size_t kLargestImage = 65536;
    // What the save writes into the padding of a short last block is the controller's; a
    // load pads the last block of a file with this.
    static constexpr std::uint8_t kPadding = 0xFF;

    static constexpr const char *kNotSavedText =
        "NVRAM image not saved: the Central Controller did not deliver every block.";
    static constexpr const char *kNotLoadedText =
        "NVRAM image not loaded completely: the Central Controller did not accept every "
        "block.";
    static constexpr const char *kTooLargeText = "NVRAM image file is larger than 65536 bytes.";
    // A save of a memory that reports no bytes: nothing would be written.
    static constexpr const char *kEmptyMemoryText =
        "NVRAM image not saved: the Central Controller reported an NVRAM size of 0 bytes, so "
        "there is nothing to save.";

    // Called once before the first command (blocks is 0 while the save does not know the
    // size yet), again when the number of blocks is known, and after every block that went
    // through. A caller shows its progress display at the first call.
    using Progress = std::function<void(int done, int blocks)>;

    enum class Outcome {
        Complete,        // every block went through with status 0 (and the size, for a save)
        Incomplete,      // a block or the size did not come through; a save wrote nothing
        EmptyMemory,     // the controller reported a size of 0; a save wrote nothing
        AddressRefused,  // the controller refused a block address (status 22)
        FileRefused,     // the file could not be read or written, or is too large
    };

    struct Result {
        Outcome outcome = Outcome::Complete;
        int blocksDone = 0;
        int blocks = 0;
        // Whether the controller was spoken to at all. A load that sent commands has
        // changed the controller's memory, whatever else happened.
        bool commandsSent = false;
        // What to tell the user; empty when the status handler already said everything.
        std::string message;
    };

    explicit NvramTransfer(SignSystem &system) : m_system(system) {}

    // Writes the controller's memory to path. The file is replaced only when every block
    // was read with status 0: the image goes to a new file beside it, renamed over it at
    // the end, so a failed save leaves an existing image as it was and no file behind. A
    // controller that reports a size of 0 has nothing to save: no file is written or
    // replaced. path may be a link to an image, which is written through it.
    Result Save(const std::string &path, const Progress &progress = {});
    // Sends the image in path to the controller. A file that cannot be read or is longer
    // than kLargestImage is refused before any command is sent.
    Result Load(const std::string &path, const Progress &progress = {});

    // Blocks of an image of that many bytes, the last one possibly short.
    static int BlockCount(std::size_t bytes);
    // Block index of an image, a short last block completed with kPadding.
    static NvramBlock BlockOf(const std::vector<std::uint8_t> &image, int index);

private:
    Result SaveImage(const std::string &path, const Progress &progress,
                     std::vector<std::uint8_t> &image);
    Result LoadImage(const std::string &path, const Progress &progress,
                     std::vector<std::uint8_t> &image);
    // Puts the transfer on the sign system's journal: the file, its size and its SHA-256.
    void Record(const std::string &what, const std::string &path,
                const std::vector<std::uint8_t> &image, const Result &result, bool withImage);

    // The operating system's half: the image file itself.
    // Reads a whole image of at most kLargestImage bytes; tooLarge when it is longer.
    static bool ReadImage(const std::string &path, std::vector<std::uint8_t> &bytes, bool &tooLarge,
                          std::string &reason);
    // Whether a new file can be made beside path (and path is not a folder), so that a save
    // that could never be written is refused before the controller is asked anything.
    // refused names what could not be written: path itself when it is a folder, otherwise
    // "in the folder" and the folder that did not take the new file.
    static bool CanWriteBeside(const std::string &path, std::string &refused, std::string &reason);
    static bool Exists(const std::string &path);
    // Writes the image to a new file beside path, syncs it and renames it over path.
    static bool ReplaceWith(const std::string &path, const std::vector<std::uint8_t> &bytes,
                            std::string &reason);

    // One transaction; false when it did not end with status 0 or the program is ending.
    bool Run(const CommandFrame &request);
    bool Ending() const;

    SignSystem &m_system;
};
