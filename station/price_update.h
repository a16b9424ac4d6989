#pragma once

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "price_limits.h"
#include "price_log.h"

class SignSystem;

// One price change, the same from the workstation's Send Update and from voxa-ctl: the
// check against the line's format, the site's limits, Set line price, the read-back that
// confirms it when the site asks for one, and a record of every attempt in the price log.
//
// The caller decides what a held-back price means to the person who typed it (the
// workstation asks, voxa-ctl wants --force) and what to show: nothing here talks to
// anyone, and the controller's own messages come from the status handler as ever.
//
// With confirmation off and no limits, a send is exactly one Set line price.
class PriceUpdate {
public:
    static constexpr int kLines = 8;

    struct Result {
        PriceOutcome outcome = PriceOutcome::Sent;
        // What the read-back showed, for a mismatch.
        std::string shown;
    };

    // log may be null: nothing is recorded.
    PriceUpdate(SignSystem &system, PriceLog *log) : m_system(system), m_log(log) {}

    void SetLimits(PriceLimits limits) { m_limits = std::move(limits); }
    const PriceLimits &Limits() const { return m_limits; }
    // Follow every Set line price with Get line price and compare the texts.
    void SetConfirm(bool confirm) { m_confirm = confirm; }
    bool Confirm() const { return m_confirm; }

    // The price a line shows as far as this program knows: read from the controller, or
    // last sent or confirmed. The log's old price and the base of the change limit.
    void SetKnownPrice(int line, const std::optional<std::string> &price);
    const std::optional<std::string> &KnownPrice(int line) const;

    // True when the price fits its line's format. A price that does not is recorded as a
    // bad value; nothing is sent.
    bool CheckFormat(int line, const std::string &price);
    // The question to ask before the price goes out, or nothing when it is within the
    // site's limits. Records nothing: the answer decides.
    std::optional<std::string> LimitQuestion(int line, const std::string &price) const;
    // Records a price held back at the limits, with the question that was asked (or would
    // have been); nothing is sent.
    void HoldBack(int line, const std::string &price, const std::string &question = {});

    // What each line will show once changes (line to new price) are sent: the new price
    // where one fits its line's format, the known price elsewhere; nothing for a line past
    // installed, a line whose price is not known, or a new price that does not fit.
    PriceLimits::LinePrices PricesAfter(const std::map<int, std::string> &changes,
                                        int installed) const;
    // The grade-order question before changes go out, or nothing. Records nothing.
    std::optional<std::string> OrderQuestion(const std::map<int, std::string> &changes,
                                             int installed) const;
    // The changed lines whose new prices break the grade order.
    std::set<int> OrderBreakingLines(const std::map<int, std::string> &changes,
                                     int installed) const;
    // The question a price was sent against: its own limit question, or the grade order's
    // when line is one that breaks it (orderQuestion, answered Yes or overruled by --force).
    std::optional<std::string> ForcedQuestion(int line, const std::string &price,
                                              const std::set<int> &orderBreaking,
                                              const std::optional<std::string> &orderQuestion) const;
    // Records every changed line that breaks the grade order as held back at the limits;
    // nothing is sent. The first such line, 0 when none.
    int HoldBackOrder(const std::map<int, std::string> &changes, int installed);

    // Sends a checked price and, with confirmation on, reads it back; records the attempt
    // before the price goes out, then its outcome, and what the line shows now (nothing
    // known when the outcome is Unknown). A price sent although it broke a limit comes with
    // the question that was answered Yes (or overruled by --force): it is logged as forced,
    // with the question.
    Result Send(int line, const std::string &price,
                const std::optional<std::string> &forcedQuestion = std::nullopt);

private:
    // What became of a price whose Set line price failed.
    PriceOutcome FailedOutcome() const;
    PriceAttempt AttemptOf(int line, const std::string &price, PriceOutcome outcome) const;
    void Record(PriceAttempt attempt);
    void Begin(PriceAttempt attempt);
    void Complete(PriceOutcome outcome);

    SignSystem &m_system;
    PriceLog *m_log;
    PriceLimits m_limits;
    bool m_confirm = false;
    std::array<std::optional<std::string>, kLines> m_known;
};
