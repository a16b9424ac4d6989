#include "child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool WaitReadable(int fd, Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    pollfd p{fd, POLLIN, 0};
    return left > 0ms && poll(&p, 1, static_cast<int>(left.count())) == 1;
}

void Drain(const pollfd &p, int &fd, std::string &text) {
    if (fd < 0 || p.revents == 0) return;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    } else {
        close(fd);
        fd = -1;
    }
}

}  // namespace

ChildProcess::ChildProcess(const std::string &path, const std::vector<std::string> &args,
                           const std::string &directory, const std::optional<std::string> &input,
                           std::optional<uid_t> user) {
    int out[2];
    int err[2];
    int in[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0) return;
    if (pipe2(err, O_CLOEXEC) != 0 || (input && pipe2(in, O_CLOEXEC) != 0)) {
        for (const int fd : {out[0], out[1], err[0], err[1], in[0], in[1]}) {
            if (fd >= 0) close(fd);
        }
        return;
    }
    // Everything the child needs is made before the fork.
    std::vector<std::string> all{path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);

    m_pid = fork();
    if (m_pid < 0) {
        for (const int fd : {out[0], out[1], err[0], err[1], in[0], in[1]}) {
            if (fd >= 0) close(fd);
        }
        return;
    }
    if (m_pid == 0) {
        if ((!directory.empty() && chdir(directory.c_str()) != 0) ||
            dup2(out[1], STDOUT_FILENO) < 0 || dup2(err[1], STDERR_FILENO) < 0 ||
            (input && dup2(in[0], STDIN_FILENO) < 0)) {
            _exit(126);
        }
        if (user && (setgroups(0, nullptr) != 0 || setgid(*user) != 0 || setuid(*user) != 0)) {
            _exit(126);
        }
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    m_out = out[0];
    m_err = err[0];
    if (input) {
        close(in[0]);
        // Small texts fit the pipe; the child reads them when it is ready.
        std::size_t done = 0;
        while (done < input->size()) {
            const ssize_t n = write(in[1], input->data() + done, input->size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        close(in[1]);
    }
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0) Terminate();
    if (m_out >= 0) close(m_out);
    if (m_err >= 0) close(m_err);
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    std::string line;
    char c = 0;
    while (WaitReadable(m_out, end) && read(m_out, &c, 1) == 1) {
        if (c == '\n') return line;
        line.push_back(c);
    }
    return std::nullopt;
}

std::optional<std::string> ChildProcess::ReadErrorLine(std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    std::string line;
    char c = 0;
    while (m_err >= 0 && WaitReadable(m_err, end) && read(m_err, &c, 1) == 1) {
        m_errText.push_back(c);
        if (c == '\n') return line;
        line.push_back(c);
    }
    return std::nullopt;
}

std::optional<int> ChildProcess::Finish(std::chrono::milliseconds limit) {
    if (m_pid <= 0) return std::nullopt;
    const auto end = Clock::now() + limit;
    while (m_out >= 0 || m_err >= 0) {
        pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left <= 0ms) break;
        const int ready = poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        Drain(fds[0], m_out, m_outText);
        Drain(fds[1], m_err, m_errText);
    }
    const bool ended = m_out < 0 && m_err < 0;
    if (!ended) kill(m_pid, SIGKILL);
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    if (!ended) return std::nullopt;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::optional<int> ChildProcess::Terminate() {
    if (m_pid <= 0) return std::nullopt;
    kill(m_pid, SIGTERM);
    return Finish(5000ms);
}
