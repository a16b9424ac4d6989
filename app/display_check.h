#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Whether the workstation has a display to open, said in words before Qt would abort with
// its own advice (to reinstall the program, which never helps). voxa over ssh without X
// forwarding, or from a service, then ends with status 1 and a line that says what is
// missing.
namespace DisplayCheck {

inline constexpr int kNoDisplay = 1;

// Reads an environment variable; empty or missing both give nullptr.
using Environment = std::function<const char *(const char *)>;

// Before Qt: the message when the window system Qt will use needs a display and none is
// named (neither DISPLAY nor WAYLAND_DISPLAY, nor a -display argument); nothing when a
// display is named or another platform was asked for (-platform offscreen, say).
std::optional<std::string> Missing(const std::vector<std::string> &arguments,
                                   const Environment &environment);

// The message for a display that was named but could not be opened.
std::string NotOpened(const std::string &display);

// The display Qt will try: -display's value, else DISPLAY, else WAYLAND_DISPLAY.
std::string Named(const std::vector<std::string> &arguments, const Environment &environment);

// Around the creation of the application object: a platform that cannot be initialised
// ends the program with NotOpened() and status 1 instead of Qt's abort, and Qt's own
// lines about the platform plugin are held back. The handler Qt had before comes back
// when the object goes.
class Guard {
public:
    explicit Guard(std::string display);
    ~Guard();
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;
};

}  // namespace DisplayCheck
