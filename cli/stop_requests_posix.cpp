#include <unistd.h>

#include <cstdlib>

#include "stop_requests.h"

namespace {

volatile sig_atomic_t g_arrived = 0;

extern "C" void NoteStop(int signal) {
    if (g_arrived == 0) g_arrived = signal;
}

}  // namespace

StopRequests::StopRequests() {
    struct sigaction note {};
    note.sa_handler = NoteStop;
    sigemptyset(&note.sa_mask);
    // Every wait of the program bounds itself and retries when interrupted; SA_RESTART
    // spares the calls that do not.
    note.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], nullptr, &m_saved[i]);
        m_handled[i] = m_saved[i].sa_handler != SIG_IGN;
        if (m_handled[i]) ::sigaction(kSignals[i], &note, nullptr);
    }
}

StopRequests::~StopRequests() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (m_handled[i]) ::sigaction(kSignals[i], &m_saved[i], nullptr);
    }
}

int StopRequests::Arrived() {
    return g_arrived;
}

void StopRequests::EndBySignal() {
    const int signal = g_arrived;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    // A signal whose default action does not end the program (none of those handled here).
    std::_Exit(128 + signal);
}
