#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

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
    Sending,        // on its way: the program ended before it knew the outcome
    Unknown,        // the request reached the controller, but whether it took the price is not
                    // known (the reply was lost or garbled, or a resend was never answered)
};

// The word the price log keeps for an outcome: "sent", "confirmed", "no answer", ...
const char *PriceOutcomeName(PriceOutcome outcome);
// The length of the longest of those words.
std::size_t LongestPriceOutcomeName();
// The outcome a word stands for; nothing for a word that is none of them.
std::optional<PriceOutcome> PriceOutcomeNamed(std::string_view name);

// What the log says of an attempt sent although it broke one of the site's limits.
constexpr const char *kForcedMark = " (forced)";

// One attempt, as the price update knows it. The log adds when and by whom.
struct PriceAttempt {
    int line = 0;  // 1-8
    std::string tag;
    std::string oldPrice;  // empty when no price is known for the line
    std::string newPrice;
    PriceOutcome outcome = PriceOutcome::Sent;
    // Sent although it broke a limit (the question answered Yes, or --force): the outcome
    // is logged as "sent (forced)", "confirmed (forced)", ...
    bool forced = false;
    // The question about the limits, for a forced or a held-back price.
    std::string question;
};

// The log's word for an attempt's outcome, marked when the attempt was forced.
std::string PriceOutcomeText(PriceOutcome outcome, bool forced);
// The outcome an outcome text stands for, its mark left aside.
std::optional<PriceOutcome> PriceOutcomeOfText(std::string_view text);

// Where the price update records every attempt, one record each. The workstation and
// voxa-ctl append to a file; tests record.
//
// An attempt whose price goes out is recorded before it goes, with the outcome Sending, so
// that a program that is killed (or a machine that stops) while the controller may be
// taking the price leaves it on record; Complete() then puts the outcome into that same
// record.
class PriceLog {
public:
    virtual ~PriceLog() = default;
    // Records a finished attempt. False when it could not be recorded. The update goes on
    // either way: a price is never held back because its record could not be written.
    virtual bool Append(const PriceAttempt &attempt) = 0;
    // Records an attempt whose price is about to go out, as Sending. One at a time: the
    // next Begin() or Append() comes after its Complete().
    virtual bool Begin(const PriceAttempt &attempt) = 0;
    // Gives the attempt begun last its outcome.
    virtual bool Complete(PriceOutcome outcome) = 0;
};
