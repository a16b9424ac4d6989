#include "price_update.h"

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
    Record(line, price, PriceOutcome::BadValue);
    return false;
}

std::optional<std::string> PriceUpdate::LimitQuestion(int line, const std::string &price) const {
    return m_limits.Question(line, KnownPrice(line).value_or(""), price);
}

void PriceUpdate::HoldBack(int line, const std::string &price) {
    Record(line, price, PriceOutcome::OutsideLimits);
}

PriceUpdate::Result PriceUpdate::Send(int line, const std::string &price) {
    Result result;
    if (!m_system.SetLinePrice(line, price)) {
        // The controller's own message has been shown by now. Only silence leaves the
        // line's state unknown; a reply with a status says the price was not taken.
        result.outcome = m_system.LastOutcome() == LinkOwner::kNoSync ? PriceOutcome::NoAnswer
                                                                      : PriceOutcome::Refused;
        Record(line, price, result.outcome);
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
    Record(line, price, result.outcome);
    // The controller took the price: that is what the line shows from now on, unless the
    // read-back said otherwise.
    SetKnownPrice(line, result.outcome == PriceOutcome::Mismatch ? result.shown : price);
    return result;
}

void PriceUpdate::Record(int line, const std::string &price, PriceOutcome outcome) {
    if (m_log == nullptr) return;
    PriceAttempt attempt;
    attempt.line = line;
    attempt.tag = m_system.GetLineTag(line - 1);
    attempt.oldPrice = KnownPrice(line).value_or("");
    attempt.newPrice = price;
    attempt.outcome = outcome;
    m_log->Append(attempt);
}
