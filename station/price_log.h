#pragma once

#include <string>

// What became of one attempt to change a line's price.
enum class PriceOutcome {
    Sent,           // the controller took it; no read-back was asked for
    Confirmed,      // the controller took it and the read-back shows the same text
    Mismatch,       // the controller took it, but the read-back shows another text
    NotConfirmed,   // the controller took it, but the read-back got no good reply
    Refused,        // the controller answered with a status, or a reply that failed its check
    NoAnswer,       // nothing answered (or the port did not open)
    BadValue,       // the text does not fit the line's format: nothing was sent
    OutsideLimits,  // outside the site's limits, and not sent anyway: nothing was sent
};

// The word the price log keeps for an outcome: "sent", "confirmed", "no answer", ...
const char *PriceOutcomeName(PriceOutcome outcome);

// One attempt, as the price update knows it. The log adds when and by whom.
struct PriceAttempt {
    int line = 0;  // 1-8
    std::string tag;
    std::string oldPrice;  // empty when no price is known for the line
    std::string newPrice;
    PriceOutcome outcome = PriceOutcome::Sent;
};

// Where the price update records every attempt. The workstation and voxa-ctl append to
// a file; tests record.
class PriceLog {
public:
    virtual ~PriceLog() = default;
    // False when the attempt could not be recorded. The update goes on either way: a price
    // is never held back because its record could not be written.
    virtual bool Append(const PriceAttempt &attempt) = 0;
};
