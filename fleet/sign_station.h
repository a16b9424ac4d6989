#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "change_result.h"
#include "price_change.h"

// The station's sign as the agent reaches it: a change applied through the price update,
// and the controller's status and prices read. The program's is ControllerStation on the
// real line; tests put a script or the simulated controller behind it.
class SignStation {
public:
    struct Applied {
        std::string outcome;  // ChangeResult's: confirmed, sent, failed, rejected
        std::string reason;
        std::vector<ChangeResult::Line> lines;
    };
    struct Reading {
        bool answering = true;
        bool failure = false;
        bool memory = false;
        std::string status;
        std::map<int, std::string> prices;
        std::map<int, std::string> tags;
    };

    virtual ~SignStation() = default;

    virtual Applied Apply(const PriceChange &change) = 0;
    // Nothing when the line stayed busy with another program (the workstation goes
    // first; the agent asks again at its next poll).
    virtual std::optional<Reading> Read() = 0;
};
