// The serial port on a POSIX terminal device (Linux termios).

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;

// Room of the diagnostic text, its terminating NUL included.
constexpr std::size_t kErrorRoom = 256;

constexpr const char *kReadTimeOutText =
    "Error ReadData(): no byte arrived within the time limit\n";

// strerror_r comes in two shapes (XSI returns int, GNU returns the text); these pick
// the text out of either.
[[maybe_unused]] const char *ErrorTextOf(int result, const char *buffer) {
    return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char *ErrorTextOf(const char *result, const char *) {
    return result;
}

std::string SystemErrorText(int error) {
    char buffer[kErrorRoom] = {};
    return ErrorTextOf(strerror_r(error, buffer, sizeof buffer), buffer);
}

std::optional<speed_t> SpeedFor(int baudRate) {
    switch (baudRate) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return std::nullopt;
    }
}

std::optional<tcflag_t> CharacterSizeFor(int byteSize) {
    switch (byteSize) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        case 8:
            return CS8;
        default:
            return std::nullopt;
    }
}

tcflag_t ParityBitsFor(SerialLine::Parity parity) {
    switch (parity) {
        case SerialLine::Parity::Odd:
            return PARENB | PARODD;
        case SerialLine::Parity::Even:
            return PARENB;
        case SerialLine::Parity::None:
            break;
    }
    return 0;
}

// A pseudo-terminal or an unusual driver lacks some of the ioctls a real UART has;
// the port works without them.
bool IsMissingFeature(int error) {
    return error == ENOTTY || error == EINVAL;
}

// Milliseconds left until the deadline, rounded up so that a wait never ends early.
int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// The group that may use the device, for the permission hint ("dialout" on Debian).
std::string DeviceGroup(const std::string &path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return "dialout";
    }
    if (const group *owner = getgrgid(status.st_gid); owner != nullptr && owner->gr_name) {
        return owner->gr_name;
    }
    return std::to_string(status.st_gid);
}

// The causes of a failed open that the person at the screen can put right, each said in
// words with what to do, then how the system call told it: "Open(): /dev/ttyUSB0:
// permission denied; ... (open() failed: (13) Permission denied)". Empty for any other
// cause, which keeps the usual form.
std::string OpenProblemText(const std::string &path, const std::string &how, int error) {
    std::string problem;
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            problem =
                "not found; check that the cable or adapter is plugged in and that the "
                "port setting names this device";
            break;
        case EACCES:
            problem = "permission denied; the device belongs to group " + DeviceGroup(path) +
                      ": add the user to that group and log in again";
            break;
        case EBUSY:
        case EWOULDBLOCK:
            problem = "in use by another program; end that program and try again";
            break;
        default:
            return {};
    }
    return "Open(): " + path + ": " + problem + " (" + how + ": (" + std::to_string(error) + ") " +
           SystemErrorText(error) + ")\n";
}

// The process that holds an advisory lock (flock()) on the device at path, as the kernel
// lists it in /proc/locks; 0 when none does.
int LockHolder(const std::string &path) {
    struct stat device {};
    if (::stat(path.c_str(), &device) != 0) return 0;
    char wanted[64];
    std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", major(device.st_dev),
                  minor(device.st_dev), static_cast<unsigned long long>(device.st_ino));
    std::FILE *locks = std::fopen("/proc/locks", "re");
    if (locks == nullptr) return 0;
    int holder = 0;
    char line[256];
    while (holder == 0 && std::fgets(line, sizeof line, locks) != nullptr) {
        char kind[16] = {};
        char where[64] = {};
        int pid = 0;
        // "1: FLOCK  ADVISORY  WRITE 4242 00:19:3 0 EOF"; a waiter's line starts "1: ->".
        if (std::sscanf(line, "%*d: %15s %*s %*s %d %63s", kind, &pid, where) == 3 &&
            std::strcmp(kind, "FLOCK") == 0 && std::strcmp(where, wanted) == 0) {
            holder = pid;
        }
    }
    std::fclose(locks);
    return holder;
}

bool AllDigits(const char *text) {
    return *text != '\0' && std::strspn(text, "0123456789") == std::strlen(text);
}

// Whether process pid holds the master of the pseudo-terminal with this index: the far end
// of the line (voxa-ccsim), which keeps the terminal open but is no user of the port.
bool HoldsMasterOf(const std::string &pid, unsigned index) {
    const std::string folder = "/proc/" + pid + "/fdinfo";
    DIR *fds = ::opendir(folder.c_str());
    if (fds == nullptr) return false;
    bool holds = false;
    const std::string wanted = "tty-index:\t" + std::to_string(index) + "\n";
    while (!holds) {
        const dirent *entry = ::readdir(fds);
        if (entry == nullptr) break;
        if (!AllDigits(entry->d_name)) continue;
        std::FILE *info = std::fopen((folder + "/" + entry->d_name).c_str(), "re");
        if (info == nullptr) continue;
        char line[128];
        while (std::fgets(line, sizeof line, info) != nullptr) {
            if (wanted == line) holds = true;
        }
        std::fclose(info);
    }
    ::closedir(fds);
    return holds;
}

// Another process that has the device at path open, as far as /proc lets this process see
// (every process for root, its own user's otherwise); 0 when none does. The far end of a
// pseudo-terminal does not count.
int OtherUser(const std::string &path) {
    struct stat device {};
    if (::stat(path.c_str(), &device) != 0) return 0;
    // Unix 98 pseudo-terminal slaves have majors 136 to 143.
    const bool pseudoTerminal = major(device.st_rdev) >= 136 && major(device.st_rdev) <= 143;
    const unsigned index = (major(device.st_rdev) - 136) * 256 + minor(device.st_rdev);
    const std::string self = std::to_string(::getpid());
    DIR *processes = ::opendir("/proc");
    if (processes == nullptr) return 0;
    int user = 0;
    while (user == 0) {
        const dirent *process = ::readdir(processes);
        if (process == nullptr) break;
        if (!AllDigits(process->d_name) || self == process->d_name) continue;
        const std::string folder = std::string("/proc/") + process->d_name + "/fd";
        DIR *fds = ::opendir(folder.c_str());
        if (fds == nullptr) continue;
        bool opened = false;
        while (!opened) {
            const dirent *fd = ::readdir(fds);
            if (fd == nullptr) break;
            struct stat file {};
            opened = AllDigits(fd->d_name) &&
                     ::stat((folder + "/" + fd->d_name).c_str(), &file) == 0 &&
                     file.st_dev == device.st_dev && file.st_ino == device.st_ino;
        }
        ::closedir(fds);
        if (opened && !(pseudoTerminal && HoldsMasterOf(process->d_name, index))) {
            user = std::atoi(process->d_name);
        }
    }
    ::closedir(processes);
    return user;
}

// Why an open was refused with EBUSY: exclusive mode (TIOCEXCL) is set on the device. A
// program of the system holds the device's advisory lock for as long as it keeps exclusive
// mode; with no lock held and no other program that has the device open, the mode was left
// behind by one that ended without clearing it (killed in the middle of a transaction), and
// stays until the device goes away.
std::string BusyText(const std::string &path, int error) {
    if (error != EBUSY) return OpenProblemText(path, "open() failed", error);
    if (LockHolder(path) != 0 || OtherUser(path) != 0) {
        return OpenProblemText(path, "open() failed", error);
    }
    return "Open(): " + path +
           ": the device is still marked exclusive by a program that ended; unplug and replug "
           "the adapter, or restart what provides the device, and try again (open() failed: (" +
           std::to_string(error) + ") " + SystemErrorText(error) + ")\n";
}

bool SettingsTook(const termios &wanted, const termios &actual) {
    constexpr tcflag_t kFramingBits = CSIZE | PARENB | PARODD | CSTOPB;
    const speed_t inputSpeed = cfgetispeed(&actual);
    return cfgetospeed(&actual) == cfgetospeed(&wanted) &&
           (inputSpeed == cfgetispeed(&wanted) || inputSpeed == B0) &&
           (actual.c_cflag & kFramingBits) == (wanted.c_cflag & kFramingBits);
}

}  // namespace

SerialPort::SerialPort(const DeviceMap &devices, std::chrono::milliseconds writeTimeLimit)
    : m_devices(devices), m_writeTimeLimit(writeTimeLimit) {}

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::Open(const std::string &portName, int baudRate, Parity parity, StopBits stopBits,
                      int byteSize) {
    // A second claim on the same device from this object would collide with its own lock.
    Close();
    m_hungUp = false;

    const std::string path = m_devices.DevicePath(portName);
    m_deviceName = path.empty() ? portName : path;
    if (path.empty()) {
        return FailOpen("Open(): \"" + portName + "\" is not a port name of the form COMn", ENOENT);
    }
    if (path.front() != '/') {
        return FailOpen(
            "Open(): device path \"" + path + "\" of " + portName + " is not an absolute path",
            ENOENT);
    }
    const std::optional<speed_t> speed = SpeedFor(baudRate);
    if (!speed) {
        return FailOpen("Open(): baud rate " + std::to_string(baudRate) + " not supported", EINVAL);
    }
    const std::optional<tcflag_t> characterSize = CharacterSizeFor(byteSize);
    if (!characterSize) {
        return FailOpen("Open(): byte size " + std::to_string(byteSize) + " not supported", EINVAL);
    }

    // Non-blocking, so that neither the open (waiting for carrier) nor any later transfer
    // can block beyond the waits this class bounds itself.
    do {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        const int error = errno;
        return FailOpen("Open(): open() failed on " + path, error, BusyText(path, error));
    }
    // A terminal that is the controlling terminal of a session (voxa-ctl --device /dev/tty)
    // is someone's terminal, not a line to the controller: its settings are left alone, so
    // it is not left raw.
    if (const pid_t session = ::tcgetsid(m_fd); session >= 0) {
        const std::string whose =
            session == ::getsid(0)
                ? "the terminal this program runs in"
                : "the terminal of another session (session " + std::to_string(session) + ")";
        RecordText("Open(): " + path + ": this is " + whose +
                   ", not a line to the Central Controller; check that the port setting names "
                   "the controller's serial device\n");
        m_discardOutputOnClose = false;
        Close();
        return false;
    }

    // TIOCEXCL keeps other programs from opening the device, but not root, which opens it
    // regardless and never sees EBUSY. The advisory lock is the claim that serial programs
    // check whoever they run as (picocom takes the same one). Both are taken.
    int result = 0;
    do {
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        return FailOpen("Open(): flock() failed", error,
                        OpenProblemText(path, "flock() failed", error));
    }
    // Root gets past exclusive mode. Found set while this program holds the advisory lock,
    // the mode is another program's only while that one still has the device open; else a
    // program that ended without clearing it (killed in the middle of a transaction) left
    // it, and it would keep every other program out until the device goes away: it is taken
    // over, and cleared at the close.
    int exclusive = 0;
    if (::ioctl(m_fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        if (OtherUser(path) != 0) {
            return FailOpen("Open(): ioctl(TIOCGEXCL) failed", EBUSY,
                            OpenProblemText(path, "ioctl(TIOCGEXCL) found it held", EBUSY));
        }
    }
    m_holdsLock = true;
    if (::ioctl(m_fd, TIOCEXCL) == 0) {
        m_setExclusive = true;
    } else if (!IsMissingFeature(errno)) {
        return FailOpen("Open(): ioctl(TIOCEXCL) failed", errno);
    }

    termios settings{};
    if (::tcgetattr(m_fd, &settings) != 0) {
        return FailOpen("Open(): tcgetattr() failed", errno);
    }
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
    settings.c_cflag |= *characterSize | ParityBitsFor(parity) | CLOCAL | CREAD;
    if (stopBits == StopBits::Two) {
        settings.c_cflag |= CSTOPB;
    }
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, *speed) != 0 || ::cfsetospeed(&settings, *speed) != 0) {
        return FailOpen("Open(): cfsetspeed() failed", errno);
    }
    do {
        result = ::tcsetattr(m_fd, TCSANOW, &settings);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return FailOpen("Open(): tcsetattr() failed", errno);
    }
    // tcsetattr() succeeds when any one of the changes took; a driver that cannot do the
    // speed or the framing quietly keeps its own.
    termios applied{};
    if (::tcgetattr(m_fd, &applied) != 0) {
        return FailOpen("Open(): tcgetattr() failed", errno);
    }
    if (!SettingsTook(settings, applied)) {
        return FailOpen("Open(): tcsetattr() failed, the line settings did not take", EINVAL);
    }

    // Output left queued by an earlier holder of the device belongs to nobody's exchange.
    // Input is kept: on a line that holds bytes while the port is closed (a USB adapter, a
    // pseudo-terminal), the reply's first byte may be there already when the port opens for
    // it. The link discards input itself where it is stale (DiscardInput()).
    if (::tcflush(m_fd, TCOFLUSH) != 0 && !IsMissingFeature(errno)) {
        return FailOpen("Open(): tcflush() failed", errno);
    }
    m_discardOutputOnClose = false;
    return true;
}

void SerialPort::Close() {
    if (m_fd < 0) {
        return;
    }
    ReleaseAndClose();
}

int SerialPort::WriteData(const std::uint8_t *bytes, int count) {
    if (count <= 0) {
        return 0;
    }
    if (m_fd < 0) {
        RecordFailure("WriteData(): port not open", EBADF);
        return -1;
    }
    int written = 0;
    Clock::time_point deadline = Clock::now() + m_writeTimeLimit;
    while (written < count) {
        const ssize_t taken =
            ::write(m_fd, bytes + written, static_cast<std::size_t>(count - written));
        if (taken > 0) {
            written += static_cast<int>(taken);
            deadline = Clock::now() + m_writeTimeLimit;
            continue;
        }
        if (taken < 0 && errno == EINTR) {
            continue;
        }
        if (taken < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // A terminal whose far end is gone refuses writes with EIO.
            m_hungUp = m_hungUp || errno == EIO;
            RecordFailure("WriteData(): write() failed", errno);
            m_discardOutputOnClose = true;
            return -1;
        }

        pollfd watch{m_fd, POLLOUT, 0};
        const int ready = PollUntil(watch, deadline);
        if (ready < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            RecordFailure("WriteData(): poll() failed", errno);
            m_discardOutputOnClose = true;
            return -1;
        }
        if (ready == 0) {
            RecordFailure(
                "WriteData(): poll() failed, the driver took no bytes within the time limit",
                ETIMEDOUT);
            m_discardOutputOnClose = true;
            return -1;
        }
        if ((watch.revents & POLLOUT) == 0) {
            RecordFailure("WriteData(): poll() failed, the line hung up", EIO);
            m_hungUp = true;
            m_discardOutputOnClose = true;
            return -1;
        }
    }
    return written;
}

int SerialPort::ReadData(std::uint8_t *buffer, int count, int timeLimitMs) {
    if (count <= 0) {
        return 0;
    }
    if (m_fd < 0) {
        RecordFailure("ReadData(): port not open", EBADF);
        return -1;
    }
    // Bytes go straight into the caller's buffer: read() stores nothing when it fails, so
    // the buffer is untouched unless bytes are returned.
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(std::max(timeLimitMs, 0));
    int got = 0;
    while (got < count) {
        pollfd watch{m_fd, POLLIN, 0};
        const int ready = PollUntil(watch, deadline);
        if (ready < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            RecordFailure("ReadData(): poll() failed", errno);
            break;
        }
        if (ready == 0) {
            if (got == 0) {
                RecordText(kReadTimeOutText);
            }
            break;
        }
        if ((watch.revents & POLLIN) == 0) {
            // An unplugged adapter or a closed far end: nothing more will come, so the
            // rest of the time limit is not waited out.
            RecordFailure("ReadData(): poll() failed, the line hung up", EIO);
            m_hungUp = true;
            m_discardOutputOnClose = true;
            break;
        }
        const ssize_t taken = ::read(m_fd, buffer + got, static_cast<std::size_t>(count - got));
        if (taken > 0) {
            got += static_cast<int>(taken);
            continue;
        }
        if (taken == 0) {
            RecordFailure("ReadData(): read() failed, the line hung up", EIO);
            m_hungUp = true;
            m_discardOutputOnClose = true;
            break;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // Readiness without bytes; past the deadline it counts as the time-out.
            if (Clock::now() >= deadline) {
                if (got == 0) {
                    RecordText(kReadTimeOutText);
                }
                break;
            }
            continue;
        }
        RecordFailure("ReadData(): read() failed", errno);
        m_discardOutputOnClose = true;
        break;
    }
    return got > 0 ? got : -1;
}

int SerialPort::PollUntil(pollfd &watch, Clock::time_point deadline) {
    for (;;) {
        const int left = MillisecondsUntil(deadline);
        const int slice = m_keepAlive && m_keepAlivePeriod.count() > 0
                              ? std::min(left, static_cast<int>(m_keepAlivePeriod.count()))
                              : left;
        const int ready = ::poll(&watch, 1, slice);
        if (ready != 0 || slice >= left) {
            return ready;
        }
        m_keepAlive();
    }
}

void SerialPort::DiscardInput() {
    if (m_fd >= 0) {
        ::tcflush(m_fd, TCIFLUSH);
    }
}

std::string SerialPort::LastError() const {
    return m_lastError;
}

bool SerialPort::IsOpen() const {
    return m_fd >= 0;
}

bool SerialPort::FailOpen(const std::string &where, int error, const std::string &problemText) {
    if (problemText.empty()) {
        RecordFailure(where, error);
    } else {
        RecordText(problemText);
    }
    m_discardOutputOnClose = true;
    Close();
    return false;
}

void SerialPort::RecordFailure(const std::string &where, int error) {
    char text[kErrorRoom] = {};
    std::snprintf(text, sizeof text, "%s: (%d) %s\n", where.c_str(), error,
                  SystemErrorText(error).c_str());
    m_lastError = text;
}

void SerialPort::RecordText(const std::string &text) {
    m_lastError = text.substr(0, kErrorRoom - 1);
}

void SerialPort::ReleaseAndClose() {
    // Only what this port claimed is undone: an open refused because another program
    // holds the device must leave that program's output and exclusive mode alone.
    if (m_holdsLock) {
        // close() waits for queued output to drain, which on a dead adapter is up to the
        // driver's closing wait (30 s on most UARTs); after a failure nothing queued is
        // worth that.
        if (m_discardOutputOnClose) {
            ::tcflush(m_fd, TCOFLUSH);
        }
        // Exclusive mode belongs to the device, not to this descriptor: left set, it
        // would keep the next open out, ours included.
        if (m_setExclusive) {
            ::ioctl(m_fd, TIOCNXCL);
        }
        ::flock(m_fd, LOCK_UN);
    }
    // No retry on EINTR: Linux has released the descriptor whatever close() returns.
    ::close(m_fd);
    m_fd = -1;
    m_holdsLock = false;
    m_setExclusive = false;
    m_discardOutputOnClose = false;
}
