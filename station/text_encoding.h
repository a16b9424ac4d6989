#pragma once

#include <optional>
#include <string>
#include <string_view>

// The two encodings a settings file comes in: UTF-8, as this workstation writes new files,
// and the Windows code page 1252, as the Windows programs of the installation wrote theirs.
namespace TextEncoding {

// True for well-formed UTF-8: no stray continuation byte, no overlong form, no surrogate,
// nothing above U+10FFFF. Plain ASCII is UTF-8.
bool IsUtf8(std::string_view bytes);

// Every byte has its character: the five bytes the code page leaves unassigned (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number, as Windows
// reads them, so that any file survives the way there and back byte for byte.
std::string Windows1252ToUtf8(std::string_view bytes);

// Nothing when the text holds a character the code page has no byte for.
std::optional<std::string> Utf8ToWindows1252(std::string_view utf8);

}  // namespace TextEncoding
