#pragma once

#include <ctime>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "change_result.h"
#include "price_change.h"

// What the agent must not forget across a restart, in voxa-fleet.json beside voxa.ini: the
// changes waiting for their time, the results of the changes it has handled (so that a
// second delivery of one is answered with its result and never applied again), and the
// results the broker has not yet acknowledged. The file is replaced as a whole after each
// change of state, so a crash leaves the state before or after, never half of it.
class ChangeStore {
public:
    static constexpr const char *kFileName = "voxa-fleet.json";
    // The handled ids kept; a change delivered again after this many newer ones would be
    // applied again, which the broker's redelivery never comes near.
    static constexpr std::size_t kHandledKept = 2000;

    struct Waiting {
        PriceChange change;
        std::time_t receivedAt = 0;
        // Set just before the change goes to the controller and cleared with its result: a
        // change found applying at start-up was interrupted, and is not sent again.
        bool applying = false;
        // Lines a later change took over, for the result: "line 2 superseded by c-...".
        std::string note;
    };
    struct Outgoing {
        std::string topic;
        std::string payload;
    };

    explicit ChangeStore(std::filesystem::path path) : m_path(std::move(path)) {}

    // Reads the file; a missing file is an empty store. False with the reason for a file
    // that cannot be read or is not ours.
    bool Load(std::string &problem);
    // Replaces the file with the store; false with the reason when that failed (the old
    // file is then as it was).
    bool Save(std::string &problem);

    std::vector<Waiting> &WaitingChanges() { return m_waiting; }
    const std::vector<Waiting> &WaitingChanges() const { return m_waiting; }
    Waiting *FindWaiting(const std::string &id);
    void RemoveWaiting(const std::string &id);

    // The result a handled change got; null for an id never handled.
    const ChangeResult *Handled(const std::string &id) const;
    void AddHandled(const ChangeResult &result);
    std::size_t HandledCount() const { return m_handled.size(); }

    std::vector<Outgoing> &Outbox() { return m_outbox; }

    const std::filesystem::path &Path() const { return m_path; }

private:
    std::filesystem::path m_path;
    std::vector<Waiting> m_waiting;
    std::deque<ChangeResult> m_handled;  // oldest first
    std::vector<Outgoing> m_outbox;
};
