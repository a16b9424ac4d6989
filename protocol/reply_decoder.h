#pragma once

#include <optional>
#include <string>

#include "command_frame.h"

class SignSystem;

// Turns a checked reply into model values, or passes the controller's status on to the
// problem report.
class ReplyDecoder {
public:
    explicit ReplyDecoder(SignSystem &system) : m_system(system) {}

    // Returns 0 when the reply was taken, the controller's status, -2 for a command code no
    // request has, or SignSystem::kNoData for a text that lacks its end (the field keeps
    // its value).
    int Decode(const CommandFrame &reply);
    // Whether the reply to a request with this command code carries a value to store.
    static bool CarriesData(int commandCode);
    // Writes the console line for codes outside the known set, then calls the status handler.
    void Report(int code);

    // A NUL-terminated text from byte start; nothing when bytes start to 20 hold no NUL.
    static std::optional<std::string> TextAt(const CommandFrame &reply, std::size_t start);
    // "LDFS:%02x%02x %x %s" from the three code bytes 4, 5, 6 and a text.
    static std::string CodeText(const CommandFrame &reply, const std::string &text);

private:
    // False when the reply lacked the data it should carry.
    bool Store(const CommandFrame &reply);

    SignSystem &m_system;
};
