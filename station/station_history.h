#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "event_log_file.h"

class PriceLogFile;

// The station's history: the rows of the price log and of the event log as one list in the
// order of the moments they were written, each with its kind, for the history window and
// voxa-ctl history alike.
class StationHistory {
public:
    struct Row {
        std::string time;
        std::string kind;  // "price", "password", "clock", ... (Kinds())
        std::string source;
        std::string user;
        int line = 0;          // of a price; 0 for a supervisor change
        std::string what;      // "line 2 price (Plus)", "manual level (face 0)", ...
        std::string before;    // the old price, or the value read before
        std::string after;     // the new price, or the value set
        std::string outcome;   // "sent (forced)", "done", "refused", ...
        std::string question;  // of a forced or held-back price
    };

    // Every kind, in the order the filters list them.
    static const std::vector<std::string> &Kinds();
    // The kind of a supervisor change, by what it changed.
    static std::string KindOf(std::string_view what);
    // The row of one supervisor change of the event log.
    static Row RowOf(EventLogFile::Entry &&change);
    // The moment an ISO 8601 time with its offset names, in seconds since the epoch; nothing
    // for a text that is not one.
    static std::optional<std::time_t> MomentOf(std::string_view time);

    // Both logs, oldest first (rows of the same moment in the order written, prices before
    // changes). A log that cannot be read gives false and the reason; the rows of the other
    // are still given.
    static bool Read(const PriceLogFile &prices, const EventLogFile &events, std::vector<Row> &rows,
                     std::string &reason);
};
