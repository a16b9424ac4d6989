#pragma once

#include <ctime>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>

#include "change_result.h"
#include "change_store.h"
#include "price_change.h"
#include "site_state.h"

class MessageLink;
class SignStation;

// The station agent's logic, without the broker's library, the line or the real clock:
// the program feeds it what the broker delivers and calls Tick() a few times a second;
// tests do the same on a clock of their own.
//
// A change is answered at once when it cannot be applied (malformed, expired, cancelled,
// superseded, a duplicate), answered "scheduled" when it waits for its time, and applied
// by Tick() once its time has come. Every change's final result is kept in the store, so a
// second delivery is answered with it and never applied twice; results and alerts wait in
// the store's outbox until the broker has acknowledged them, so none is lost while the
// broker is away or the agent restarts.
class SiteAgent {
public:
    using Clock = std::function<std::time_t()>;

    struct Options {
        std::string site;
        double pollMinutes = 5;
        double maxLateMinutes = 60;
        std::string version;
    };

    // A change issued further ahead of this station's clock than this shows the clock off.
    static constexpr long kClockTolerance = 120;
    // After a poll that found the line busy, the next try.
    static constexpr long kBusyRetrySeconds = 60;

    SiteAgent(Options options, ChangeStore &store, SignStation &station, MessageLink &link,
              std::ostream &log);

    void SetClock(Clock clock) { m_clock = std::move(clock); }

    // Finishes what a stopped agent left: a change it was applying is answered
    // "interrupted" (never sent again: the price log tells what went out). False when the
    // store cannot be written.
    bool Start(std::string &problem);

    // The broker took the connection (again): subscribe, send what waits, say online.
    void Connected();
    void Received(const std::string &topic, const std::string &payload);
    // The broker acknowledged the message with this id.
    void Delivered(int messageId);
    // Applies the changes whose time has come and polls the controller when due.
    void Tick();

    // The state as it would be published now, and as the last will says it (offline).
    SiteState State() const;
    SiteState OfflineState() const;

    // A problem writing the store, for the program to report; empty while none.
    const std::string &StoreProblem() const { return m_storeProblem; }

private:
    void HandleChange(const PriceChange &change, std::time_t now);
    void HandleCancel(const PriceChange &cancel, std::time_t now);
    void ApplyDue(std::time_t now);
    void Poll(std::time_t now);
    // Answers a change; a final result is kept as the change's answer for good.
    void Answer(const ChangeResult &result);
    void Finish(ChangeStore::Waiting &waiting, const char *outcome, const std::string &reason,
                std::time_t now);
    ChangeResult ResultFor(const ChangeStore::Waiting &waiting, const char *outcome,
                           const std::string &reason) const;
    void Queue(const std::string &topic, const std::string &payload);
    void SendOutbox();
    void PublishState();
    void Save();
    void Alert(const char *kind, const std::string &text, std::time_t now);

    Options m_options;
    ChangeStore &m_store;
    SignStation &m_station;
    MessageLink &m_link;
    std::ostream &m_log;
    Clock m_clock = [] { return std::time(nullptr); };

    SiteState m_state;
    std::time_t m_nextPoll = 0;
    bool m_polled = false;
    // Message id of each outbox entry on its way, by the entry's payload.
    std::map<int, std::string> m_inFlight;
    std::string m_storeProblem;
};
