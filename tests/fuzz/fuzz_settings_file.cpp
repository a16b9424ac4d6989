// The settings file, read from any bytes and written back: content nobody changed comes
// back byte for byte, and a value written reads back as written (on one line, cut to the
// value buffer), whatever else the file holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings_file.h"
#include "text_encoding.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// What a value becomes on its one line: up to a NUL, line breaks as blanks.
std::string OneLine(std::string_view value) {
    std::string line(value.substr(0, value.find('\0')));
    for (char &c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // The file's bytes, then after a 0xFF separator the value to write.
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t split = input.find('\xFF');
    const std::string_view fileBytes = input.substr(0, split);
    const std::string_view value = split == std::string_view::npos ? std::string_view()
                                                                   : input.substr(split + 1);

    SettingsFile file("/nonexistent/voxa.ini");
    file.LoadBytes(fileBytes);
    Check(file.Text() == fileBytes);

    const std::string other = file.ReadString("Communications", "Port", "none");
    // Callers hand the file UTF-8 texts, as the workstation's widgets give them.
    if (!TextEncoding::IsUtf8(value)) return 0;
    Check(file.WriteString("Tags", "tag0", value));
    SettingsFile again("/nonexistent/voxa.ini");
    again.LoadBytes(file.Text());
    const std::string read = again.ReadString("Tags", "tag0", "missing");
    const std::string expected = OneLine(value);
    if (expected.size() <= 200) {
        Check(read == expected);
    } else {
        Check(expected.compare(0, read.size(), read) == 0);
    }
    // Writing one value leaves the others as they were. A value longer than the value
    // buffer is cut in the file's own encoding (255 bytes), so when the write made a
    // Windows-1252 file UTF-8 it may be cut shorter, but at the same value.
    const std::string otherAgain = again.ReadString("Communications", "Port", "none");
    if (other.size() < 255 && otherAgain.size() < 255) {
        Check(otherAgain == other);
    } else {
        const std::size_t shorter = std::min(other.size(), otherAgain.size());
        Check(other.compare(0, shorter, otherAgain, 0, shorter) == 0);
    }
    return 0;
}
