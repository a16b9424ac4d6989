#pragma once

#include <chrono>
#include <string>

// How the protocol reaches the person at the screen. The workstation implements it with
// message boxes; the command-line client with standard error; tests with a recorder.
class OperatorConsole {
public:
    virtual ~OperatorConsole() = default;

    // A message with an OK button and the exclamation icon.
    virtual void ShowMessage(const std::string &text) = 0;
    // The same message with details for whoever has to put the problem right (the serial
    // port's own diagnostic, say), shown on request. A console without a place for them
    // shows them after the text.
    virtual void ShowDetailedMessage(const std::string &text, const std::string &details) {
        ShowMessage(details.empty() ? text : text + "\n\n" + details);
    }
    // A question with Yes and No buttons and the question icon; true for Yes.
    virtual bool AskYesNo(const std::string &text) = 0;
    // A pause during which the window may still repaint.
    virtual void Wait(std::chrono::milliseconds duration) = 0;
    // Runs the NVRAM load; false when the user chose no file.
    virtual bool RunNvramLoad() = 0;
    // Asks for the program's end. It takes effect only after the running handlers have
    // returned, so nothing on the call stack outlives the objects it uses.
    virtual void RequestEnd() = 0;
};
