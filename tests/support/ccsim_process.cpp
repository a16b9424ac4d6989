#include "ccsim_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char **environ;

namespace {

using namespace std::chrono_literals;

constexpr int kIoLimitMs = 3000;
const std::string kAnnouncement = "voxa-ccsim: listening on ";

int ReadWithin(int fd, char *c) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kIoLimitMs) != 1) return -1;
    return static_cast<int>(read(fd, c, 1));
}

}  // namespace

CcsimProcess::CcsimProcess(const std::string &program, const std::vector<std::string> &args) {
    int out[2];
    int err[2];
    if (pipe(out) != 0) return;
    if (pipe(err) != 0) {
        close(out[0]);
        close(out[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    m_out = out[0];
    m_err = err[0];
}

CcsimProcess::~CcsimProcess() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) close(m_out);
    if (m_err >= 0) close(m_err);
}

std::optional<std::string> CcsimProcess::ReadLine() {
    std::string line;
    char c = 0;
    while (ReadWithin(m_out, &c) == 1) {
        if (c == '\n') return line;
        line.push_back(c);
    }
    return std::nullopt;
}

std::string CcsimProcess::ReadListeningPath() {
    const auto line = ReadLine();
    if (!line || line->rfind(kAnnouncement, 0) != 0) return {};
    const std::string rest = line->substr(kAnnouncement.size());
    return rest.substr(0, rest.find(' '));
}

std::string CcsimProcess::ErrorText() {
    std::string text;
    char c = 0;
    while (ReadWithin(m_err, &c) == 1) text.push_back(c);
    return text;
}

std::optional<int> CcsimProcess::Wait() {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        const pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(5ms);
    }
    return std::nullopt;
}

std::optional<int> CcsimProcess::Terminate() {
    kill(m_pid, SIGTERM);
    return Wait();
}
