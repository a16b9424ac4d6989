#include "quiet_terminal.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The signal that arrived while a read waited; 0 when none did.
volatile sig_atomic_t g_arrived = 0;

void NoteSignal(int signal) {
    g_arrived = signal;
}

std::string Failure(const char *where, int error) {
    return std::string(where) + " failed: (" + std::to_string(error) + ") " + std::strerror(error);
}

int SetAttributes(int fd, int when, const termios &attributes) {
    int result;
    do {
        result = ::tcsetattr(fd, when, &attributes);
    } while (result != 0 && errno == EINTR);
    return result;
}

}  // namespace

QuietTerminal::QuietTerminal(int fd) : m_fd(fd) {
    if (::tcgetattr(m_fd, &m_saved) != 0) {
        m_problem = Failure("tcgetattr()", errno);
        return;
    }
    // The signals wait, blocked, until a read waits for a key: ppoll() lets them in only
    // there, so none can slip in between testing for one and starting to wait.
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signal : kSignals) sigaddset(&blocked, signal);
    pthread_sigmask(SIG_BLOCK, &blocked, &m_savedMask);
    m_armed = true;
    g_arrived = 0;
    InstallHandlers();
    m_quiet = SilenceEcho();
}

QuietTerminal::~QuietTerminal() {
    if (m_quiet) RestoreEcho();
    if (!m_armed) return;
    RestoreHandlers();
    // Raised while still blocked, the signal waits until the old mask lets it in, and then
    // meets the disposition the program had before: the default one ends it.
    if (m_endingSignal != 0) ::raise(m_endingSignal);
    pthread_sigmask(SIG_SETMASK, &m_savedMask, nullptr);
}

bool QuietTerminal::SilenceEcho() {
    termios quiet = m_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
    // Like getpass(): what was typed before echo went off was shown, and is dropped.
    if (SetAttributes(m_fd, TCSAFLUSH, quiet) != 0) {
        m_problem = Failure("tcsetattr()", errno);
        return false;
    }
    return true;
}

void QuietTerminal::RestoreEcho() {
    SetAttributes(m_fd, TCSANOW, m_saved);
}

void QuietTerminal::InstallHandlers() {
    struct sigaction note {};
    note.sa_handler = NoteSignal;
    sigemptyset(&note.sa_mask);
    note.sa_flags = 0;  // no SA_RESTART: the wait must end to see the signal
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], nullptr, &m_savedActions[i]);
        // A signal the program was started to ignore (nohup, a background job) stays
        // ignored.
        m_handled[i] = m_savedActions[i].sa_handler != SIG_IGN;
        if (m_handled[i]) sigaction(kSignals[i], &note, nullptr);
    }
}

void QuietTerminal::RestoreHandlers() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (m_handled[i]) sigaction(kSignals[i], &m_savedActions[i], nullptr);
    }
}

void QuietTerminal::Suspend() {
    RestoreEcho();
    Say("\n");
    struct sigaction stop {};
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    struct sigaction note {};
    sigaction(SIGTSTP, &stop, &note);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, SIGTSTP);
    ::raise(SIGTSTP);
    // The program stops here, and goes on when the shell continues it.
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    pthread_sigmask(SIG_BLOCK, &only, nullptr);
    sigaction(SIGTSTP, &note, nullptr);
    // The shell may have changed the terminal meanwhile: what it is now is what goes back.
    if (::tcgetattr(m_fd, &m_saved) == 0) m_quiet = SilenceEcho();
    Say(m_lastPrompt);
}

int QuietTerminal::ReadByte(char &byte) {
    for (;;) {
        const int arrived = g_arrived;
        g_arrived = 0;
        if (arrived == SIGTSTP) {
            Suspend();
        } else if (arrived != 0) {
            m_endingSignal = arrived;
            Say("\n");
            return kInterrupted;
        }
        pollfd watch{m_fd, POLLIN, 0};
        const int ready = ::ppoll(&watch, 1, nullptr, &m_savedMask);
        if (ready < 0) {
            if (errno == EINTR) continue;
            m_problem = Failure("ppoll()", errno);
            return kFailed;
        }
        const ssize_t got = ::read(m_fd, &byte, 1);
        if (got == 1) return 1;
        if (got == 0) return 0;
        if (errno == EINTR || errno == EAGAIN) continue;
        m_problem = Failure("read()", errno);
        return kFailed;
    }
}

void QuietTerminal::Say(const std::string &text) {
    if (text.empty()) return;
    if (text != "\n") m_lastPrompt = text;
    std::size_t done = 0;
    int fd = m_fd;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (fd == m_fd) {
            fd = STDERR_FILENO;  // a terminal opened for reading only
        } else {
            return;
        }
    }
}
