// Stop signals on POSIX: the handler only writes a byte to a socket, which the event
// loop watches; everything else happens outside the signal handler.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>

#include "stop_signals.h"

namespace {

std::array<int, 2> g_sockets{-1, -1};
volatile sig_atomic_t g_arrived = 0;
constexpr std::array<int, 3> kStopSignals{SIGTERM, SIGHUP, SIGINT};

extern "C" void OnStopSignal(int) {
    const int saved = errno;
    g_arrived = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t wrote = ::write(g_sockets[0], &byte, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> stop, QObject *parent)
    : QObject(parent), m_stop(std::move(stop)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_sockets.data()) !=
        0) {
        return;  // the signals keep their default effect
    }
    m_notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(g_sockets[1], bytes, sizeof bytes) > 0) {
        }
        if (m_stop) m_stop();
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

bool StopSignals::Arrived() {
    return g_arrived != 0;
}

StopSignals::~StopSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals) {
        ::sigaction(signal, &action, nullptr);
    }
    for (int &fd : g_sockets) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}
