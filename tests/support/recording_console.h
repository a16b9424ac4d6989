#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "operator_console.h"

// Records what the protocol asks of the person at the screen and answers from a script.
class RecordingConsole : public OperatorConsole {
public:
    void ShowMessage(const std::string &text) override { ShowDetailedMessage(text, {}); }
    void ShowDetailedMessage(const std::string &text, const std::string &detail) override {
        messages.push_back(text);
        details.push_back(detail);
    }
    bool AskYesNo(const std::string &text) override {
        questions.push_back(text);
        return answerYes;
    }
    void Wait(std::chrono::milliseconds duration) override { waits.push_back(duration); }
    bool RunNvramLoad() override {
        ++nvramLoads;
        return nvramFileChosen;
    }
    void RequestEnd() override { ++endRequests; }

    std::vector<std::string> messages;
    std::vector<std::string> details;  // one per message, empty for a plain one
    std::vector<std::string> questions;
    std::vector<std::chrono::milliseconds> waits;
    int nvramLoads = 0;
    int endRequests = 0;

    bool answerYes = false;
    bool nvramFileChosen = false;
};
