#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

class SimulatorProcess;

// The workstation itself, run as its users run it against the simulator: how long its
// start-up takes beyond starting the process, how much of a core it uses while it sits
// idle with its one-second timer running, and how much memory it held at most.
namespace WorkstationProbe {

using Nanos = std::chrono::nanoseconds;

struct Figures {
    Nanos processStart{};          // from the start of the process to its first request
    Nanos startUp{};               // from its first start-up request to its last
    double idleCpuShare = 0.0;     // of one core, over the idle time
    std::size_t idleRequests = 0;  // requests sent while idle (none expected)
    std::size_t peakResidentBytes = 0;
};

// The workstation's requests at start-up with eight lines (see LineBench).
inline constexpr std::size_t kStartUpRequests = 26;

// Runs voxa in folder (writing its voxa.ini there) against the simulator's line, on
// Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise, and ends it with
// SIGTERM. Nothing, with the reason in error, when the workstation did not get through
// or a stop signal came.
std::optional<Figures> Run(const std::string &voxaPath, const std::string &folder,
                           SimulatorProcess &simulator, Nanos transactionFloor,
                           std::chrono::seconds idleTime, std::string &error);

}  // namespace WorkstationProbe
