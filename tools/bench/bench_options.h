#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The command line of voxa-bench.
struct BenchOptions {
    enum class Work { Transaction, StartUp, NvramSave, Workstation };

    int runs = 3;
    bool paced = false;
    std::chrono::milliseconds replyDelay{0};
    std::chrono::seconds idleTime{30};
    std::set<Work> work{Work::Transaction, Work::StartUp, Work::NvramSave, Work::Workstation};
    std::string ccsimPath;
    std::string voxaPath;
    std::string agentPath;
    // Sites of the fleet bench; 0 runs the workstation's measurements instead.
    int fleetSites = 0;
    bool help = false;

    // Reads the arguments after the program name over the given defaults. On failure
    // returns nothing and puts the reason in error.
    static std::optional<BenchOptions> Parse(const std::vector<std::string> &args,
                                             BenchOptions defaults, std::string &error);
    static std::string Usage();
};
