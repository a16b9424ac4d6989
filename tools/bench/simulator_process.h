#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "child_program.h"

// voxa-ccsim on a new pseudo-terminal, with its trace read as it comes, so that the bench
// can tell when the workstation's requests reached the controller.
class SimulatorProcess {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kAnnouncementLimit{5};

    SimulatorProcess() = default;
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess &) = delete;
    SimulatorProcess &operator=(const SimulatorProcess &) = delete;

    // Starts the simulator with the options (its trace is added) and waits for it to
    // announce its line. False, with what the simulator said in error, when it did not.
    bool Start(const std::string &path, const std::vector<std::string> &options,
               std::string &error);
    const std::string &LinePath() const { return m_linePath; }
    bool Running() { return m_program.Running(); }
    void Stop();

    // Requests counted from here on.
    std::size_t Mark();
    // How many requests reached the controller since the mark.
    std::size_t RequestsSince(std::size_t mark);
    // When the nth request (1 for the first) after the mark reached the controller; nothing
    // if it has not within the limit, or the simulator ended first.
    std::optional<Clock::time_point> WaitForRequest(std::size_t mark, std::size_t nth,
                                                    std::chrono::milliseconds limit);

private:
    void ReadTrace();

    ChildProgram m_program;
    std::string m_linePath;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<Clock::time_point> m_requests;  // when each request's trace line came
    bool m_traceEnded = false;
};
