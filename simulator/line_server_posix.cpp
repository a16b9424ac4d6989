// The line server on POSIX: pseudo-terminals, termios and ppoll.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "line_server.h"

namespace {

volatile sig_atomic_t g_stopRequested = 0;

void RequestStop(int) {
    g_stopRequested = 1;
}

std::string SystemError(const std::string &where, int error) {
    return where + ": (" + std::to_string(error) + ") " + std::strerror(error) + "\n";
}

bool MakeRaw(int fd, const std::string &where, std::string &error) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        error = SystemError(where + ": tcgetattr() failed", errno);
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, B9600) != 0 || cfsetospeed(&settings, B9600) != 0) {
        error = SystemError(where + ": cfsetspeed() failed", errno);
        return false;
    }
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        error = SystemError(where + ": tcsetattr() failed", errno);
        return false;
    }
    return true;
}

void CloseQuietly(int &fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

}  // namespace

LineServer::LineServer(ControllerEndpoint &endpoint) : m_endpoint(endpoint) {}

LineServer::~LineServer() {
    RemoveLink();
    CloseQuietly(m_slaveFd);
    CloseQuietly(m_fd);
}

bool LineServer::HoldStopSignals(std::string &error) {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: the wait in Run() must return to look at the stop request.
    if (sigaction(SIGINT, &action, nullptr) != 0 || sigaction(SIGTERM, &action, nullptr) != 0) {
        error = SystemError("HoldStopSignals(): sigaction() failed", errno);
        return false;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        error = SystemError("HoldStopSignals(): sigprocmask() failed", errno);
        return false;
    }
    return true;
}

bool LineServer::OpenPseudoTerminal(std::string &error) {
    m_fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_fd < 0) {
        error = SystemError("OpenPseudoTerminal(): posix_openpt() failed", errno);
        return false;
    }
    if (grantpt(m_fd) != 0 || unlockpt(m_fd) != 0) {
        error = SystemError("OpenPseudoTerminal(): grantpt() failed", errno);
        return false;
    }
    std::array<char, PATH_MAX> name{};
    if (const int result = ptsname_r(m_fd, name.data(), name.size()); result != 0) {
        error = SystemError("OpenPseudoTerminal(): ptsname_r() failed", result);
        return false;
    }
    m_linePath = name.data();
    // Our own descriptor on the slave keeps the terminal alive and raw between the
    // workstation's opens, and keeps the master from reporting a hang-up meanwhile.
    m_slaveFd = open(m_linePath.c_str(), O_RDWR | O_NOCTTY);
    if (m_slaveFd < 0) {
        error = SystemError("OpenPseudoTerminal(): open() failed", errno);
        return false;
    }
    if (!MakeRaw(m_slaveFd, "OpenPseudoTerminal()", error)) {
        return false;
    }
    const int flags = fcntl(m_fd, F_GETFL);
    if (flags < 0 || fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError("OpenPseudoTerminal(): fcntl() failed", errno);
        return false;
    }
    const int slaveFd = m_slaveFd;
    m_endpoint.SetSyncRepeatHook([slaveFd] {
        // Unread bytes in the terminal were sent while the workstation had its port
        // closed; a real line would have lost them.
        tcflush(slaveFd, TCIFLUSH);
    });
    return true;
}

bool LineServer::OpenDevice(const std::string &path, std::string &error) {
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        error = SystemError("OpenDevice(): open() failed", errno);
        return false;
    }
    m_linePath = path;
    return MakeRaw(m_fd, "OpenDevice()", error);
}

bool LineServer::MakeLink(const std::string &linkPath, std::string &error) {
    struct stat info {};
    if (lstat(linkPath.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            error = "MakeLink(): " + linkPath + " exists and is not a symlink\n";
            return false;
        }
        if (unlink(linkPath.c_str()) != 0) {
            error = SystemError("MakeLink(): unlink() failed", errno);
            return false;
        }
    }
    if (symlink(m_linePath.c_str(), linkPath.c_str()) != 0) {
        error = SystemError("MakeLink(): symlink() failed", errno);
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

void LineServer::RemoveLink() {
    if (m_linkPath.empty()) {
        return;
    }
    // Only our own link: another simulator may have taken the name over meanwhile.
    std::array<char, PATH_MAX> target{};
    const ssize_t length = readlink(m_linkPath.c_str(), target.data(), target.size() - 1);
    if (length > 0 && std::string(target.data(), static_cast<std::size_t>(length)) == m_linePath) {
        unlink(m_linkPath.c_str());
    }
    m_linkPath.clear();
}

void LineServer::SetByteTime(PacedWire::Nanos byteTime) {
    m_toController = PacedWire(byteTime);
    m_toWorkstation = PacedWire(byteTime);
}

PacedWire::Nanos LineServer::Elapsed() const {
    return std::chrono::duration_cast<PacedWire::Nanos>(std::chrono::steady_clock::now() - m_start);
}

namespace {

ControllerEndpoint::Millis ToMillis(PacedWire::Nanos time) {
    return std::chrono::duration_cast<ControllerEndpoint::Millis>(time);
}

}  // namespace

void LineServer::CloseLine() {
    CloseQuietly(m_slaveFd);
    CloseQuietly(m_fd);
    m_toController.Clear();
    m_toWorkstation.Clear();
}

bool LineServer::WriteOutput(PacedWire::Nanos now, std::string &error) {
    for (const std::uint8_t byte : m_endpoint.TakeOutput()) {
        m_toWorkstation.Put(byte, now);
    }
    const std::vector<std::uint8_t> output = m_toWorkstation.TakeArrived(now);
    std::size_t done = 0;
    while (m_fd >= 0 && done < output.size()) {
        const ssize_t written = write(m_fd, output.data() + done, output.size() - done);
        if (written >= 0) {
            done += static_cast<std::size_t>(written);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // Nobody drains the line; like a real line with no listener, the bytes go.
            return true;
        } else if (errno != EINTR) {
            error = SystemError("Run(): write() failed", errno);
            return false;
        }
    }
    return true;
}

bool LineServer::DeliverInput(PacedWire::Nanos now, std::string &error) {
    for (const std::uint8_t byte : m_toController.TakeArrived(now)) {
        m_endpoint.ReceiveByte(byte, ToMillis(now));
        if (!WriteOutput(now, error)) {
            return false;
        }
    }
    return true;
}

bool LineServer::Run(std::string &error) {
    sigset_t waitMask;
    sigprocmask(SIG_SETMASK, nullptr, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    constexpr PacedWire::Nanos kHangUpBackOff = std::chrono::milliseconds(50);

    std::array<std::uint8_t, 256> buffer{};
    bool hungUp = false;
    while (g_stopRequested == 0) {
        PacedWire::Nanos now = Elapsed();
        if (!DeliverInput(now, error)) {
            return false;
        }
        m_endpoint.Advance(ToMillis(now));
        if (!WriteOutput(now, error)) {
            return false;
        }
        if (m_endpoint.Unplugged() && m_fd >= 0) {
            CloseLine();
        }

        // The wait ends at the next controller timer or the next byte due off a wire.
        std::optional<PacedWire::Nanos> wakeUp;
        const auto earliest = [&wakeUp](std::optional<PacedWire::Nanos> at) {
            if (at && (!wakeUp || *at < *wakeUp)) wakeUp = at;
        };
        if (const auto deadline = m_endpoint.NextDeadline()) {
            earliest(std::chrono::duration_cast<PacedWire::Nanos>(*deadline));
        }
        earliest(m_toController.NextArrival());
        earliest(m_toWorkstation.NextArrival());
        std::optional<PacedWire::Nanos> wait;
        if (wakeUp) {
            wait = std::max(*wakeUp - Elapsed(), PacedWire::Nanos{0});
        }
        if (hungUp && (!wait || *wait > kHangUpBackOff)) {
            wait = kHangUpBackOff;
        }
        timespec timeout{};
        if (wait) {
            timeout.tv_sec = static_cast<time_t>(wait->count() / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(wait->count() % 1'000'000'000);
        }
        // While the line reports a hang-up, poll returns at once; wait on no descriptor
        // then, so a hang-up cannot make the loop spin. A cut line has none to wait on.
        pollfd line{m_fd, POLLIN, 0};
        const nfds_t watched = hungUp || m_fd < 0 ? 0 : 1;
        const int ready = ppoll(&line, watched, wait ? &timeout : nullptr, &waitMask);
        hungUp = false;
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = SystemError("Run(): ppoll() failed", errno);
            return false;
        }
        if (ready == 0) {
            continue;
        }
        if ((line.revents & POLLIN) == 0) {
            hungUp = (line.revents & (POLLHUP | POLLERR)) != 0;
            continue;
        }
        const ssize_t count = read(m_fd, buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            if (errno == EIO) {
                hungUp = true;
                continue;
            }
            error = SystemError("Run(): read() failed", errno);
            return false;
        }
        if (count == 0) {
            hungUp = true;
            continue;
        }
        now = Elapsed();
        for (ssize_t i = 0; i < count; ++i) {
            m_toController.Put(buffer[static_cast<std::size_t>(i)], now);
        }
    }
    return true;
}
