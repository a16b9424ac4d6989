#pragma once

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "change_result.h"
#include "head_office_settings.h"
#include "site_state.h"

class MosquittoLink;

// voxa-hq's commands on head office's side of the broker: push a change and wait for each
// site's result, show every site's state, watch results and alerts as they come, cancel a
// change that is still waiting.
class HeadOffice {
public:
    // Exit statuses.
    static constexpr int kOk = 0;
    static constexpr int kFailed = 1;        // the broker could not be reached or used
    static constexpr int kUsage = 2;         // bad arguments or settings
    static constexpr int kNotConfirmed = 4;  // a site refused, failed or did not answer in time

    struct Push {
        std::vector<std::string> sites;  // empty with all
        bool all = false;
        std::map<int, std::string> prices;
        std::optional<std::time_t> at;
        bool confirm = false;
        std::string author;
        std::chrono::seconds timeout{60};
        bool json = false;
    };

    HeadOffice(HeadOfficeSettings settings, std::string password, std::ostream &out,
               std::ostream &err);
    ~HeadOffice();

    int RunPush(const Push &push);
    int RunStatus(const std::vector<std::string> &sites, bool json);
    // Runs until stop, or until count messages when count is above 0.
    int RunWatch(const std::string &onAlert, int count, bool json, const std::atomic<bool> &stop);
    int RunCancel(const std::string &id, std::vector<std::string> sites, bool all,
                  const std::string &author, std::chrono::seconds timeout, bool json);

    // A new change id: "c-" and the UTC time, then a random part.
    static std::string NewId(const char *prefix, std::time_t now);

private:
    // Connects and subscribes; false (told) when the broker did not take us within the limit.
    bool Connect(const std::vector<std::string> &topics);
    // Works the connection until done() or the limit.
    bool PumpUntil(const std::function<bool()> &done, std::chrono::milliseconds limit);
    // The retained state of every site (or of the sites named), gathered until quiet.
    void GatherStates();
    std::vector<std::string> KnownSites() const;
    // Keeps the state a message carries, when it is a site's state.
    void KeepState(const std::string &topic, const std::string &payload);
    // Every site that reported its state, for --all; false (told) when none did.
    bool AllKnownSites(std::vector<std::string> &sites);
    // Publishes a change to each site and waits for the broker to take them all.
    bool Send(const std::vector<std::string> &sites, const std::string &payload);
    // Waits for each site's final result for id (or the scheduled one when enough); prints
    // them and returns the exit status.
    int Await(const std::string &id, const std::vector<std::string> &sites, bool scheduledIsEnough,
              std::chrono::seconds timeout, bool json);
    void RunAlertCommand(const std::string &command, const std::string &payload) const;

    HeadOfficeSettings m_settings;
    std::string m_password;
    std::ostream &m_out;
    std::ostream &m_err;
    std::unique_ptr<MosquittoLink> m_link;
    bool m_subscribed = false;
    int m_pendingSubscriptions = 0;
    std::string m_problem;
    std::chrono::steady_clock::time_point m_lastMessage{};
    std::function<void(const std::string &, const std::string &)> m_onMessage;
    std::vector<int> m_delivered;
    std::map<std::string, SiteState> m_states;
};
