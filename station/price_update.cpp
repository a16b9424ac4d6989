#include "price_update.h"

#include <algorithm>
#include <set>

#include "command_code.h"
#include "link_owner.h"
#include "sign_system.h"

namespace {

const std::optional<std::string> kUnknown;

bool IsLine(int line) {
    return line >= 1 && line <= PriceUpdate::kLines;
}

}  // namespace

void PriceUpdate::SetKnownPrice(int line, const std::optional<std::string> &price) {
    if (IsLine(line)) m_known[line - 1] = price;
}

const std::optional<std::string> &PriceUpdate::KnownPrice(int line) const {
    return IsLine(line) ? m_known[line - 1] : kUnknown;
}

bool PriceUpdate::CheckFormat(int line, const std::string &price) {
    if (m_system.PriceCheck(price, line)) return true;
    Record(AttemptOf(line, price, PriceOutcome::BadValue));
    return false;
}

std::optional<std::string> PriceUpdate::LimitQuestion(int line, const std::string &price) const {
    return m_limits.Question(line, KnownPrice(line).value_or(""), price);
}

void PriceUpdate::HoldBack(int line, const std::string &price, const std::string &question) {
    PriceAttempt attempt = AttemptOf(line, price, PriceOutcome::OutsideLimits);
    attempt.question = question;
    Record(std::move(attempt));
}

PriceLimits::LinePrices PriceUpdate::PricesAfter(const std::map<int, std::string> &changes,
                                                 int installed) const {
    PriceLimits::LinePrices prices;
    for (int line = 1; line <= std::min(installed, kLines); ++line) {
        const auto change = changes.find(line);
        if (change == changes.end()) {
            prices[line - 1] = KnownPrice(line);
        } else if (m_system.PriceCheck(change->second, line)) {
            prices[line - 1] = change->second;
        }
    }
    return prices;
}

std::optional<std::string> PriceUpdate::OrderQuestion(const std::map<int, std::string> &changes,
                                                      int installed) const {
    return m_limits.OrderQuestion(PricesAfter(changes, installed));
}

std::set<int> PriceUpdate::OrderBreakingLines(const std::map<int, std::string> &changes,
                                              int installed) const {
    std::set<int> breaking;
    for (const PriceLimits::OrderStep &step :
         m_limits.OrderBreaks(PricesAfter(changes, installed))) {
        for (const int line : {step.lower, step.upper}) {
            if (changes.count(line) != 0) breaking.insert(line);
        }
    }
    return breaking;
}

std::optional<std::string> PriceUpdate::ForcedQuestion(
    int line, const std::string &price, const std::set<int> &orderBreaking,
    const std::optional<std::string> &orderQuestion) const {
    if (auto own = LimitQuestion(line, price)) return own;
    if (orderQuestion && orderBreaking.count(line) != 0) return orderQuestion;
    return std::nullopt;
}

int PriceUpdate::HoldBackOrder(const std::map<int, std::string> &changes, int installed) {
    const std::string question = OrderQuestion(changes, installed).value_or("");
    const std::set<int> held = OrderBreakingLines(changes, installed);
    for (const int line : held) HoldBack(line, changes.at(line), question);
    return held.empty() ? 0 : *held.begin();
}

PriceUpdate::Result PriceUpdate::Send(int line, const std::string &price,
                                      const std::optional<std::string> &forcedQuestion) {
    Result result;
    if (m_system.ProgramEndRequested() || m_system.StopRequested()) {
        // Nothing goes out any more: there is no attempt to record.
        result.outcome = PriceOutcome::NoAnswer;
        return result;
    }
    // On record before it goes out: a program stopped while the controller may be taking
    // the price (killed, or the machine switched off) leaves it as "sending". A price on
    // record as going out goes out, whatever stop request comes meanwhile.
    PriceAttempt attempt = AttemptOf(line, price, PriceOutcome::Sending);
    attempt.forced = forcedQuestion.has_value();
    attempt.question = forcedQuestion.value_or("");
    Begin(std::move(attempt));
    m_system.RunNextDespiteAStop();
    if (!m_system.SetLinePrice(line, price)) {
        // The controller's own message has been shown by now.
        result.outcome = FailedOutcome();
        Complete(result.outcome);
        // Only a refusal leaves the line as it was known; otherwise it may show either.
        if (result.outcome == PriceOutcome::Unknown) SetKnownPrice(line, std::nullopt);
        return result;
    }
    if (!m_confirm) {
        result.outcome = PriceOutcome::Sent;
    } else {
        const std::string shown = m_system.GetLinePrice(line);
        // Once the program is ending no transaction runs, and the model still holds an
        // older reply: never take that for the sign's answer.
        const bool answered =
            m_system.LastOutcome() == ControllerStatus::kOk && !m_system.ProgramEndRequested();
        if (!answered) {
            result.outcome = PriceOutcome::NotConfirmed;
        } else if (shown != price) {
            result.outcome = PriceOutcome::Mismatch;
            result.shown = shown;
        } else {
            result.outcome = PriceOutcome::Confirmed;
        }
    }
    Complete(result.outcome);
    // The controller took the price: that is what the line shows from now on, unless the
    // read-back said otherwise.
    SetKnownPrice(line, result.outcome == PriceOutcome::Mismatch ? result.shown : price);
    return result;
}

PriceOutcome PriceUpdate::FailedOutcome() const {
    // "refused" only when the controller said no. A request that reached it whole may have
    // been taken whatever came back (a reply cut or garbled, for another command, or none),
    // and a quiet resend is never answered: that is not known. A request that never got
    // through whole was not taken.
    const int outcome = m_system.LastOutcome();
    if (m_system.LastRequestResent()) return PriceOutcome::Unknown;
    if (outcome > 0) return PriceOutcome::Refused;
    if (m_system.LastRequestReachedController()) return PriceOutcome::Unknown;
    return PriceOutcome::NoAnswer;
}

PriceAttempt PriceUpdate::AttemptOf(int line, const std::string &price,
                                    PriceOutcome outcome) const {
    PriceAttempt attempt;
    attempt.line = line;
    attempt.tag = m_system.GetLineTag(line - 1);
    attempt.oldPrice = KnownPrice(line).value_or("");
    attempt.newPrice = price;
    attempt.outcome = outcome;
    return attempt;
}

void PriceUpdate::Record(PriceAttempt attempt) {
    if (m_log != nullptr) m_log->Append(attempt);
}

void PriceUpdate::Begin(PriceAttempt attempt) {
    if (m_log != nullptr) m_log->Begin(attempt);
}

void PriceUpdate::Complete(PriceOutcome outcome) {
    if (m_log != nullptr) m_log->Complete(outcome);
}
