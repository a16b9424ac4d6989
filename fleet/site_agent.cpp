#include "site_agent.h"

#include <algorithm>
#include <ostream>

#include "fleet_topics.h"
#include "iso_time.h"
#include "message_link.h"
#include "sign_station.h"
#include "site_alert.h"

namespace {

std::string LineList(const std::vector<int> &lines) {
    std::string text;
    for (const int line : lines) text += (text.empty() ? "" : ", ") + std::to_string(line);
    return text;
}

}  // namespace

SiteAgent::SiteAgent(Options options, ChangeStore &store, SignStation &station, MessageLink &link,
                     std::ostream &log)
    : m_options(std::move(options)), m_store(store), m_station(station), m_link(link), m_log(log) {
    m_state.site = m_options.site;
    m_state.agentVersion = m_options.version;
}

bool SiteAgent::Start(std::string &problem) {
    const std::time_t now = m_clock();
    for (ChangeStore::Waiting &waiting : m_store.WaitingChanges()) {
        if (!waiting.applying) continue;
        m_log << "voxa-agent: change " << waiting.change.id
              << " was being applied when the agent stopped; it is not sent again" << std::endl;
        ChangeResult result = ResultFor(waiting, ChangeResult::kInterrupted,
                                        "the agent stopped while applying this change: the price "
                                        "log (voxa-prices.csv) tells which lines were sent, and "
                                        "the state the prices the sign shows");
        result.appliedAt = now;
        for (ChangeResult::Line &line : result.lines) line.outcome = "unknown";
        Answer(result);
        waiting.applying = false;
        waiting.change.id.clear();  // removed below
    }
    m_store.RemoveWaiting("");
    Save();
    problem = m_storeProblem;
    return m_storeProblem.empty();
}

void SiteAgent::Connected() {
    m_inFlight.clear();
    m_link.Subscribe(FleetTopics::Changes(m_options.site));
    SendOutbox();
    PublishState();
}

void SiteAgent::Received(const std::string &topic, const std::string &payload) {
    if (topic != FleetTopics::Changes(m_options.site)) return;
    const std::time_t now = m_clock();
    std::string id;
    std::string reason;
    const std::optional<PriceChange> change = PriceChange::Parse(payload, id, reason);
    if (!id.empty()) {
        if (const ChangeResult *earlier = m_store.Handled(id)) {
            m_log << "voxa-agent: change " << id << " came again; answered with its result ("
                  << earlier->outcome << ")" << std::endl;
            ChangeResult again = *earlier;
            again.duplicate = true;
            Queue(FleetTopics::Results(m_options.site), again.Payload());
            Save();
            SendOutbox();
            return;
        }
        if (const ChangeStore::Waiting *waiting = m_store.FindWaiting(id)) {
            ChangeResult again = ResultFor(*waiting, ChangeResult::kScheduled, "");
            again.final = false;
            again.duplicate = true;
            Queue(FleetTopics::Results(m_options.site), again.Payload());
            Save();
            SendOutbox();
            return;
        }
    }
    if (!change) {
        m_log << "voxa-agent: refused a change" << (id.empty() ? "" : " " + id) << ": " << reason
              << std::endl;
        ChangeResult result;
        result.id = id;
        result.site = m_options.site;
        result.outcome = ChangeResult::kRejected;
        result.reason = reason + "; nothing was sent";
        result.receivedAt = now;
        Answer(result);
    } else if (change->IsCancel()) {
        HandleCancel(*change, now);
    } else {
        HandleChange(*change, now);
    }
    Save();
    ApplyDue(now);
    SendOutbox();
    PublishState();
}

void SiteAgent::HandleChange(const PriceChange &change, std::time_t now) {
    m_log << "voxa-agent: change " << change.id << " from " << change.author << " for "
          << IsoTime::Format(change.effectiveAt) << std::endl;
    if (change.issuedAt > now + kClockTolerance) {
        m_state.clockOffsetSeconds = static_cast<long>(change.issuedAt - now);
        m_log << "voxa-agent: this station's clock is " << m_state.clockOffsetSeconds
              << " s behind head office's (change issued at " << IsoTime::Format(change.issuedAt)
              << ")" << std::endl;
    } else if (change.issuedAt + kClockTolerance >= now) {
        m_state.clockOffsetSeconds = 0;
    }
    ChangeStore::Waiting incoming{change, now, false, ""};
    const auto lateBy = static_cast<double>(now - change.effectiveAt);
    if (lateBy > m_options.maxLateMinutes * 60) {
        Answer(ResultFor(incoming, ChangeResult::kExpired,
                         "effective at " + IsoTime::Format(change.effectiveAt) + ", more than " +
                             std::to_string(static_cast<long>(m_options.maxLateMinutes)) +
                             " minutes ago ([Fleet] MaxLateMinutes); nothing was sent"));
        return;
    }
    // Whichever of two changes was issued later has the lines they share.
    for (ChangeStore::Waiting &waiting : m_store.WaitingChanges()) {
        std::vector<int> shared;
        for (const auto &[line, price] : change.prices) {
            if (waiting.change.prices.contains(line)) shared.push_back(line);
        }
        if (shared.empty()) continue;
        const bool newer = change.issuedAt >= waiting.change.issuedAt;
        ChangeStore::Waiting &loser = newer ? waiting : incoming;
        const std::string &winner = newer ? change.id : waiting.change.id;
        for (const int line : shared) loser.change.prices.erase(line);
        loser.note += (loser.note.empty() ? "" : "; ") + std::string("line") +
                      (shared.size() > 1 ? "s " : " ") + LineList(shared) + " superseded by " +
                      winner;
        if (loser.change.prices.empty()) {
            Finish(loser, ChangeResult::kSuperseded, loser.note, now);
            loser.change.id.clear();
        }
    }
    m_store.RemoveWaiting("");
    if (incoming.change.id.empty()) return;  // superseded whole by a waiting change
    m_store.WaitingChanges().push_back(incoming);
    if (change.effectiveAt > now) {
        ChangeResult scheduled = ResultFor(incoming, ChangeResult::kScheduled, incoming.note);
        scheduled.final = false;
        Answer(scheduled);
    }
}

void SiteAgent::HandleCancel(const PriceChange &cancel, std::time_t now) {
    ChangeResult result;
    result.id = cancel.id;
    result.site = m_options.site;
    result.author = cancel.author;
    result.receivedAt = now;
    if (ChangeStore::Waiting *waiting = m_store.FindWaiting(cancel.cancel)) {
        m_log << "voxa-agent: change " << cancel.cancel << " cancelled by " << cancel.author
              << std::endl;
        Finish(*waiting, ChangeResult::kCancelled,
               "cancelled by " + cancel.author + " (" + cancel.id + ")", now);
        m_store.RemoveWaiting(cancel.cancel);
        result.outcome = ChangeResult::kCancelled;
        result.reason = "change " + cancel.cancel + " cancelled";
    } else if (const ChangeResult *handled = m_store.Handled(cancel.cancel)) {
        result.outcome = ChangeResult::kRejected;
        result.reason =
            "change " + cancel.cancel + " is no longer waiting: it was " + handled->outcome;
    } else {
        result.outcome = ChangeResult::kRejected;
        result.reason = "no change " + cancel.cancel + " has come to this site";
    }
    Answer(result);
}

void SiteAgent::Tick() {
    const std::time_t now = m_clock();
    ApplyDue(now);
    if (!m_polled || now >= m_nextPoll) Poll(now);
    SendOutbox();
}

void SiteAgent::ApplyDue(std::time_t now) {
    for (;;) {
        std::vector<ChangeStore::Waiting> &waiting = m_store.WaitingChanges();
        auto due = waiting.end();
        for (auto it = waiting.begin(); it != waiting.end(); ++it) {
            if (it->change.effectiveAt > now) continue;
            if (due == waiting.end() || it->change.effectiveAt < due->change.effectiveAt ||
                (it->change.effectiveAt == due->change.effectiveAt &&
                 it->change.issuedAt < due->change.issuedAt)) {
                due = it;
            }
        }
        if (due == waiting.end()) return;
        const std::string id = due->change.id;
        if (static_cast<double>(now - due->change.effectiveAt) > m_options.maxLateMinutes * 60) {
            // Waited here past its time (the line was held, or the agent was stopped).
            Finish(*due, ChangeResult::kExpired,
                   "its time " + IsoTime::Format(due->change.effectiveAt) + " passed more than " +
                       std::to_string(static_cast<long>(m_options.maxLateMinutes)) +
                       " minutes ago while the agent was not running; nothing was sent",
                   now);
            m_store.RemoveWaiting(id);
            Save();
            continue;
        }
        due->applying = true;
        Save();
        const PriceChange change = due->change;
        m_log << "voxa-agent: applying change " << id << std::endl;
        const SignStation::Applied applied = m_station.Apply(change);
        ChangeStore::Waiting *still = m_store.FindWaiting(id);
        ChangeResult result = ResultFor(*still, applied.outcome.c_str(), applied.reason);
        if (!still->note.empty())
            result.reason += (result.reason.empty() ? "" : "; ") + still->note;
        result.appliedAt = m_clock();
        result.lines = applied.lines;
        m_log << "voxa-agent: change " << id << ": " << result.outcome
              << (result.reason.empty() ? "" : " (" + result.reason + ")") << std::endl;
        for (const ChangeResult::Line &line : applied.lines) {
            if (ChangeResult::Succeeded(line.outcome)) {
                m_state.prices[line.line] = line.shown.empty() ? line.price : line.shown;
            } else if (line.outcome == "mismatch") {
                m_state.prices[line.line] = line.shown;
            }
        }
        Answer(result);
        m_store.RemoveWaiting(id);
        Save();
        SendOutbox();
        PublishState();
    }
}

void SiteAgent::Poll(std::time_t now) {
    m_polled = true;
    const std::optional<SignStation::Reading> reading = m_station.Read();
    const std::time_t after = m_clock();
    if (!reading) {
        m_nextPoll = after + std::min<long>(kBusyRetrySeconds,
                                            static_cast<long>(m_options.pollMinutes * 60));
        return;
    }
    m_nextPoll = after + std::max<long>(1, static_cast<long>(m_options.pollMinutes * 60));
    const bool wasBad = !m_state.answering || m_state.failure || m_state.memory;
    if (!reading->answering && m_state.answering)
        Alert(SiteAlert::kNoAnswer, "the controller does not answer: " + reading->status, now);
    if (reading->answering && reading->failure && !m_state.failure)
        Alert(SiteAlert::kFailure, "the controller reports a failure: " + reading->status, now);
    if (reading->answering && reading->memory && !m_state.memory)
        Alert(SiteAlert::kMemory,
              "the controller's memory must be loaded (an NVRAM image, from the workstation's "
              "maintenance menu): " +
                  reading->status,
              now);
    m_state.answering = reading->answering;
    if (reading->answering) {
        m_state.failure = reading->failure;
        m_state.memory = reading->memory;
    }
    m_state.status = reading->status;
    const bool isBad = !m_state.answering || m_state.failure || m_state.memory;
    if (wasBad && !isBad)
        Alert(SiteAlert::kRecovered, "the controller answers without a failure: " + reading->status,
              now);
    if (reading->answering && !reading->memory) {
        m_state.prices = reading->prices;
        m_state.tags = reading->tags;
        m_state.readAt = after;
    }
    Save();
    PublishState();
}

void SiteAgent::Alert(const char *kind, const std::string &text, std::time_t now) {
    SiteAlert alert{m_options.site, now, kind, text};
    m_log << "voxa-agent: alert: " << kind << ": " << text << std::endl;
    Queue(FleetTopics::Alerts(m_options.site), alert.Payload());
}

ChangeResult SiteAgent::ResultFor(const ChangeStore::Waiting &waiting, const char *outcome,
                                  const std::string &reason) const {
    ChangeResult result;
    result.id = waiting.change.id;
    result.site = m_options.site;
    result.outcome = outcome;
    result.reason = reason;
    result.author = waiting.change.author;
    result.receivedAt = waiting.receivedAt;
    result.effectiveAt = waiting.change.effectiveAt;
    for (const auto &[line, price] : waiting.change.prices) {
        result.lines.push_back({line, price, ChangeResult::kNotSent, "", 0});
    }
    return result;
}

void SiteAgent::Finish(ChangeStore::Waiting &waiting, const char *outcome,
                       const std::string &reason, std::time_t /*now*/) {
    m_log << "voxa-agent: change " << waiting.change.id << ": " << outcome << " (" << reason << ")"
          << std::endl;
    Answer(ResultFor(waiting, outcome, reason));
}

void SiteAgent::Answer(const ChangeResult &result) {
    if (result.final && !result.id.empty()) {
        m_store.AddHandled(result);
        m_state.lastChangeId = result.id;
        m_state.lastChangeOutcome = result.outcome;
        m_state.lastChangeAt = result.appliedAt != 0 ? result.appliedAt : m_clock();
    }
    Queue(FleetTopics::Results(m_options.site), result.Payload());
}

void SiteAgent::Queue(const std::string &topic, const std::string &payload) {
    m_store.Outbox().push_back({topic, payload});
}

void SiteAgent::SendOutbox() {
    if (!m_link.IsConnected()) return;
    for (const ChangeStore::Outgoing &message : m_store.Outbox()) {
        const bool sent = std::any_of(m_inFlight.begin(), m_inFlight.end(), [&](const auto &entry) {
            return entry.second == message.payload;
        });
        if (sent) continue;
        const std::optional<int> id = m_link.Publish(message.topic, message.payload, false);
        if (!id) return;
        m_inFlight[*id] = message.payload;
    }
}

void SiteAgent::Delivered(int messageId) {
    const auto found = m_inFlight.find(messageId);
    if (found == m_inFlight.end()) return;
    auto &outbox = m_store.Outbox();
    const auto entry = std::find_if(outbox.begin(), outbox.end(), [&](const auto &message) {
        return message.payload == found->second;
    });
    if (entry != outbox.end()) outbox.erase(entry);
    m_inFlight.erase(found);
    Save();
}

SiteState SiteAgent::State() const {
    SiteState state = m_state;
    state.online = true;
    state.time = m_clock();
    state.waiting.clear();
    for (const ChangeStore::Waiting &waiting : m_store.WaitingChanges())
        state.waiting.push_back(waiting.change.id);
    return state;
}

SiteState SiteAgent::OfflineState() const {
    SiteState state = State();
    state.online = false;
    return state;
}

void SiteAgent::PublishState() {
    if (m_link.IsConnected())
        m_link.Publish(FleetTopics::State(m_options.site), State().Payload(), true);
}

void SiteAgent::Save() {
    std::string problem;
    if (m_store.Save(problem)) {
        m_storeProblem.clear();
    } else if (problem != m_storeProblem) {
        m_storeProblem = problem;
        m_log << "voxa-agent: " << problem << std::endl;
    }
}
