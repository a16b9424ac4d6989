#pragma once

#include <optional>
#include <string>

// One supervisor change as the journal keeps it: what was changed ("manual level (face 1)"),
// the value before where one was read, the value after, and what became of it ("done",
// "refused", "no answer", "unknown", "failed"). Never a password.
struct SupervisorChange {
    std::string what;
    std::optional<std::string> before;
    std::string after;
    std::string outcome;
};

// Where the sign system and the programs put every supervisor change on record: the event
// log in the programs (station's EventLogFile), a recording in tests. A change whose record
// cannot be written goes on all the same; the journal tells of that itself.
class ChangeJournal {
public:
    virtual ~ChangeJournal() = default;
    virtual void Record(const SupervisorChange &change) = 0;
};
