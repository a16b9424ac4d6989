// The simulator's pipes on POSIX: poll with a time limit for the announcement, a thread
// that reads its trace.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "simulator_process.h"

namespace {

const std::string kAnnouncement = "voxa-ccsim: listening on ";
const std::string kRequestTrace = "WS->CC ";

// Reads what is there on fd within the limit, up to the first newline when wanted.
std::string ReadFor(int fd, std::chrono::milliseconds limit, bool oneLine) {
    const auto end = std::chrono::steady_clock::now() + limit;
    std::string text;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return text;
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return text;
        if (oneLine && c == '\n') return text;
        text.push_back(c);
    }
}

}  // namespace

SimulatorProcess::~SimulatorProcess() {
    Stop();
}

bool SimulatorProcess::Start(const std::string &path, const std::vector<std::string> &options,
                             std::string &error) {
    ChildProgram::Launch launch;
    launch.path = path;
    launch.args = options;
    launch.args.push_back("--trace");
    if (!m_program.Start(launch, error)) {
        error = "the simulator " + path + " did not start: " + error;
        return false;
    }
    const std::string announcement = ReadFor(m_program.OutFd(), kAnnouncementLimit, true);
    if (announcement.rfind(kAnnouncement, 0) != 0) {
        // Whatever it said before it ended (or while it hung) says why.
        std::string said = ReadFor(m_program.ErrFd(), std::chrono::milliseconds(500), false);
        m_program.Stop();
        while (!said.empty() && said.back() == '\n') said.pop_back();
        if (said.empty()) said = "it did not announce its line within 5 s";
        error = "the simulator " + path + " did not start: " + said + "\n";
        return false;
    }
    const std::string rest = announcement.substr(kAnnouncement.size());
    m_linePath = rest.substr(0, rest.find(' '));
    m_reader = std::thread(&SimulatorProcess::ReadTrace, this);
    return true;
}

void SimulatorProcess::Stop() {
    m_program.Stop();
    // The simulator's end closes the pipe, which ends the reader.
    if (m_reader.joinable()) m_reader.join();
}

void SimulatorProcess::ReadTrace() {
    // Stop signals are for the bench's main thread, which acts on them between its steps.
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);

    std::string line;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(m_program.ErrFd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // The simulator has ended (or was ended by a stop signal): nothing more comes.
            std::lock_guard lock(m_mutex);
            m_traceEnded = true;
            m_arrived.notify_all();
            return;
        }
        const auto now = Clock::now();
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                line.push_back(buffer[i]);
                continue;
            }
            // "[     1.234] WS->CC Get number of lines (4): D6 19 04 ..."
            if (line.find("] " + kRequestTrace) != std::string::npos) {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(now);
                m_arrived.notify_all();
            }
            line.clear();
        }
    }
}

std::size_t SimulatorProcess::Mark() {
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

std::size_t SimulatorProcess::RequestsSince(std::size_t mark) {
    std::lock_guard lock(m_mutex);
    return m_requests.size() - mark;
}

std::optional<SimulatorProcess::Clock::time_point> SimulatorProcess::WaitForRequest(
    std::size_t mark, std::size_t nth, std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    const std::size_t index = mark + nth - 1;
    m_arrived.wait_for(lock, limit, [&] { return m_requests.size() > index || m_traceEnded; });
    if (m_requests.size() <= index) return std::nullopt;
    return m_requests[index];
}
