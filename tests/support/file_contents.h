#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A file's whole content at once, for tests that look at what the code wrote or lay out
// what it is to read. A file that cannot be opened reads as empty; a write replaces what
// the file held.
std::string ReadWholeFile(const std::filesystem::path &path);
void WriteWholeFile(const std::filesystem::path &path, const std::string &text);

// The same for binary images.
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path &path);
void WriteFileBytes(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes);
