#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "command_frame.h"
#include "controller_model.h"
#include "fault_plan.h"

// The controller's side of the byte handshake on the serial line. Time is handed in by
// the caller on every call, so the same state machine runs on virtual time inside the
// tests and on the real clock in voxa-ccsim.
//
// Receiving: idle until 0xD6; every byte of a request is answered (ACK, or whatever the
// fault plan says); after the 22nd the request goes to the model. A gap of more than
// kInterByteLimit discards a half-received request.
// Replying: after the reply delay (kReplyDelay unless set) the sync byte goes out, repeated every
// kSyncRepeat until the workstation acknowledges it (the workstation's port is closed between its
// send and its receive, and bytes sent into a closed port are lost), for at most kSyncGiveUp. Each
// following byte goes out on the ACK of the one before, until byte 21 is acknowledged; no ACK
// within kAckLimit drops the reply. A 0xD6 from the workstation at any point of the reply abandons
// it and starts a new request.
class ControllerEndpoint {
public:
    using Millis = std::chrono::milliseconds;
    using TraceHook = std::function<void(const std::string &line)>;

    static constexpr Millis kInterByteLimit{1000};
    static constexpr Millis kReplyDelay{5};
    static constexpr Millis kSyncRepeat{250};
    static constexpr Millis kSyncGiveUp{30000};
    static constexpr Millis kAckLimit{2000};
    static constexpr std::size_t kHistoryLimit = 4096;

    enum class Phase { Idle, Receiving, ReplyDelay, SyncWait, Replying };

    explicit ControllerEndpoint(ControllerModel::WallClock clock = {}, std::uint32_t seed = 1);

    // A byte from the workstation.
    void ReceiveByte(std::uint8_t byte, Millis now);
    // Lets every timer due by now fire. Afterwards NextDeadline() is later than now.
    void Advance(Millis now);
    // When Advance next has something to do; none while idle.
    std::optional<Millis> NextDeadline() const;
    // The bytes put on the line since the last call, in order.
    std::vector<std::uint8_t> TakeOutput();

    // How long the controller takes to start its reply once a request is in.
    Millis ReplyDelay() const { return m_replyDelay; }
    void SetReplyDelay(Millis delay) { m_replyDelay = delay; }

    // Whether the fault plan's unplug has cut the line: from then on nothing is answered.
    bool Unplugged() const { return m_unplugged; }

    FaultPlan &Faults() { return m_faults; }
    ControllerModel &Model() { return m_model; }
    const ControllerModel &Model() const { return m_model; }

    // One readable line per frame received and sent, and per reply given up.
    void SetTraceHook(TraceHook hook) { m_trace = std::move(hook); }
    // Lets the trace show password texts as they travel.
    void SetTraceSecrets(bool show) { m_traceSecrets = show; }
    // Called just before a repeated sync byte goes out. A line that keeps bytes for a
    // closed port (a pseudo-terminal whose other side nobody holds open) flushes them
    // here, so the workstation never finds a backlog of stale sync bytes.
    void SetSyncRepeatHook(std::function<void()> hook) { m_syncRepeatHook = std::move(hook); }
    void Seed(std::uint32_t seed) { m_random.seed(seed); }

    Phase CurrentPhase() const { return m_phase; }
    // Every complete request taken, oldest first (at most kHistoryLimit).
    const std::deque<CommandFrame> &Requests() const { return m_requests; }
    void ClearRequests() { m_requests.clear(); }
    // Replies whose last byte the workstation acknowledged.
    int RepliesCompleted() const { return m_repliesCompleted; }

    // "WS->CC Get time (9): D6 19 09 ..." or "CC->WS Get time (9) status 0: D6 19 ...".
    // The text of a password request and its checksum show as "**" unless showSecrets.
    static std::string Describe(const CommandFrame &frame, bool reply, bool showSecrets = false);

private:
    void StartRequest();
    void AnswerRequestByte(std::uint8_t byte, Millis now);
    void TakeRequest(Millis now);
    CommandFrame ReplyTo(const CommandFrame &request);
    void SendReplyByte(int index, Millis now);
    void ReplyAcknowledged(Millis now);
    void GoIdle(const std::string &why);
    void Unplug();
    void Emit(std::uint8_t byte) { m_output.push_back(byte); }
    void Trace(const std::string &line) const;
    double Draw();

    ControllerModel m_model;
    FaultPlan m_faults;
    std::mt19937 m_random;
    TraceHook m_trace;
    bool m_traceSecrets = false;
    std::function<void()> m_syncRepeatHook;

    Millis m_replyDelay = kReplyDelay;
    int m_bytesTaken = 0;
    bool m_unplugged = false;

    Phase m_phase = Phase::Idle;
    CommandFrame m_request;
    int m_received = 0;
    Millis m_lastByteAt{};
    std::set<int> m_nakedPositions;
    std::set<int> m_junkedPositions;

    CommandFrame m_reply;
    int m_sent = 0;  // index of the reply byte last sent
    Millis m_replyAt{};
    Millis m_nextSyncAt{};
    Millis m_giveUpAt{};
    Millis m_ackDeadline{};

    std::vector<std::uint8_t> m_output;
    std::deque<CommandFrame> m_requests;
    int m_repliesCompleted = 0;
};
