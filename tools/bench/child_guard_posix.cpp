// Signal handling of the bench on POSIX: only async-signal-safe calls in the handler.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

#include "child_guard.h"

namespace {

volatile sig_atomic_t g_children[ChildGuard::kSlots] = {};
volatile sig_atomic_t g_stopSignal = 0;

// How long a child gets to end on SIGTERM before SIGKILL: the workstation pauses a second
// and saves its settings on the way out.
constexpr int kGraceSteps = 300;
constexpr long kStepNanoseconds = 10'000'000;

bool Reaped(pid_t pid) {
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    // Gone already (ECHILD) counts as reaped.
    return result != 0;
}

void EndChildren(int signal) {
    const int savedErrno = errno;
    g_stopSignal = signal;
    for (int i = 0; i < ChildGuard::kSlots; ++i) {
        if (g_children[i] > 0) kill(static_cast<pid_t>(g_children[i]), SIGTERM);
    }
    for (int i = 0; i < ChildGuard::kSlots; ++i) {
        const pid_t pid = static_cast<pid_t>(g_children[i]);
        if (pid <= 0) continue;
        int step = 0;
        while (!Reaped(pid) && step++ < kGraceSteps) {
            const timespec pause{0, kStepNanoseconds};
            nanosleep(&pause, nullptr);
        }
        if (step > kGraceSteps) {
            kill(pid, SIGKILL);
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        g_children[i] = 0;
    }
    errno = savedErrno;
}

}  // namespace

bool ChildGuard::Install() {
    struct sigaction action {};
    action.sa_handler = EndChildren;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
    // The second stop signal finds the default action back in place and ends the bench.
    action.sa_flags = SA_RESETHAND;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigaction(signal, &action, nullptr) != 0) return false;
    }
    return true;
}

bool ChildGuard::Add(pid_t pid) {
    for (int i = 0; i < kSlots; ++i) {
        if (g_children[i] == 0) {
            g_children[i] = pid;
            return true;
        }
    }
    return false;
}

void ChildGuard::Remove(pid_t pid) {
    for (int i = 0; i < kSlots; ++i) {
        if (g_children[i] == pid) g_children[i] = 0;
    }
}

int ChildGuard::StopSignal() {
    return g_stopSignal;
}
