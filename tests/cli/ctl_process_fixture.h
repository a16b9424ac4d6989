#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "controller_model.h"
#include "temporary_folder.h"

// One run of the real voxa-ctl to its end.
struct CtlRun {
    std::optional<int> status;  // none: still running at the limit, and killed
    std::string out;
    std::string err;
    std::chrono::steady_clock::duration took{};
};

// Runs voxa-ctl with the arguments in directory (when given), with input on its standard
// input (when given).
CtlRun RunCtl(const std::vector<std::string> &args, const std::string &directory = {},
              std::chrono::milliseconds limit = std::chrono::seconds(20),
              const std::optional<std::string> &input = std::nullopt);

// " 76 6F 78 61" for "voxa": a text as the simulator's trace writes its bytes.
std::string Hex(const std::string &text);

// The command codes of the requests a simulator's trace shows, in order.
std::vector<int> TracedRequests(const std::string &trace);

// voxa-ccsim with the arguments and its pseudo-terminal linked at link, once it has
// announced its line; nothing, with the reason in problem, when it did not.
std::unique_ptr<ChildProcess> StartLinkedSimulator(std::vector<std::string> args,
                                                   const std::string &link, std::string &problem);

// A folder of its own and voxa-ccsim on a pseudo-terminal linked inside it.
class CtlProcess : public ::testing::Test {
protected:
    std::string LinkPath() const { return m_dir + "/ttyCC"; }
    // Starts voxa-ccsim with its pseudo-terminal linked at LinkPath().
    void StartSimulator(std::vector<std::string> args);

    TemporaryFolder m_folder{"voxa-ctl-test"};
    const std::string m_dir = m_folder.Path().string();
    // Declared after the folder, so that the simulator has ended before its link goes.
    std::unique_ptr<ChildProcess> m_sim;
    // The installation voxa-ccsim starts with.
    const ControllerModel m_reference;
};
