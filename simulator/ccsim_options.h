#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "controller_endpoint.h"
#include "fault_plan.h"

// The command line of voxa-ccsim: where to serve, how the simulated installation looks
// and which faults it shows.
struct CcsimOptions {
    std::string device;  // empty: serve on a new pseudo-terminal
    std::string link;    // empty: no symlink
    bool trace = false;
    bool traceSecrets = false;  // the trace shows password texts
    bool help = false;
    bool version = false;
    // Each byte takes its time on the line, both ways, as at 9600 baud.
    bool paced = false;
    std::optional<int> replyDelayMs;
    FaultPlan faults;
    std::optional<int> lines;
    std::optional<std::size_t> nvramSize;
    std::optional<std::string> password;
    std::optional<std::uint8_t> ccStatus;  // the controller's own condition code
    std::uint32_t seed = 1;

    // Reads the arguments after the program name. On failure returns nothing and puts
    // the reason in error.
    static std::optional<CcsimOptions> Parse(const std::vector<std::string> &args,
                                             std::string &error);
    static std::string Usage();

    // Sets up the endpoint's model, faults and random seed as asked.
    void ApplyTo(ControllerEndpoint &endpoint) const;
};
