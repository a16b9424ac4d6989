#pragma once

#include <signal.h>

#include <array>

// The signals that ask voxa-ctl to stop (SIGTERM from a shutdown or a job's time limit,
// SIGINT from Ctrl+C, SIGHUP when its terminal goes) are noted rather than obeyed at once:
// a transaction on its way ends early at its next wait, no new one starts, and what the run
// must still do (a price log line's outcome, a terminal given back) is done before the
// program ends the way the signal asks, with 128 + the signal as its status. A signal the
// program was started to ignore (nohup) stays ignored.
class StopRequests {
public:
    StopRequests();
    ~StopRequests();

    StopRequests(const StopRequests &) = delete;
    StopRequests &operator=(const StopRequests &) = delete;

    // The signal that arrived first, 0 while none did. Safe from any thread.
    static int Arrived();

    // Ends the program as the signal that arrived would have: its default action, restored.
    [[noreturn]] void EndBySignal();

private:
    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

    std::array<struct sigaction, kSignals.size()> m_saved{};
    std::array<bool, kSignals.size()> m_handled{};
};
