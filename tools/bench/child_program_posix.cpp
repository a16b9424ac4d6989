// Child processes on Linux: fork and exec, with PR_SET_PDEATHSIG so that a child never
// outlives a bench that was killed outright.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <thread>

#include "child_guard.h"
#include "child_program.h"

extern char **environ;

namespace {

std::string SystemError(const std::string &where, int error) {
    return where + ": (" + std::to_string(error) + ") " + std::strerror(error) + "\n";
}

void CloseAll(std::initializer_list<int> fds) {
    for (const int fd : fds) {
        if (fd >= 0) close(fd);
    }
}

}  // namespace

ChildProgram::~ChildProgram() {
    Stop();
    CloseAll({m_out, m_err});
}

bool ChildProgram::Start(const Launch &launch, std::string &error) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    int file = -1;
    if (launch.outputFile.empty()) {
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            error = SystemError("Start(): pipe2() failed", errno);
            CloseAll({out[0], out[1], err[0], err[1]});
            return false;
        }
    } else {
        file = open(launch.outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (file < 0) {
            error = SystemError("Start(): open() failed on " + launch.outputFile, errno);
            return false;
        }
    }
    // Everything the child needs is made before the fork: it may only make
    // async-signal-safe calls between fork and exec.
    std::vector<std::string> words{launch.path};
    words.insert(words.end(), launch.args.begin(), launch.args.end());
    std::vector<char *> argv;
    for (std::string &word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> added = launch.environment;
    std::vector<char *> envp;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const char *equals = std::strchr(*entry, '=');
        const std::size_t nameLength = equals ? static_cast<std::size_t>(equals - *entry) : 0;
        bool replaced = false;
        for (const std::string &a : added) {
            replaced = replaced || (a.size() > nameLength && a[nameLength] == '=' &&
                                    a.compare(0, nameLength, *entry, nameLength) == 0);
        }
        if (!replaced) envp.push_back(*entry);
    }
    for (std::string &a : added) envp.push_back(a.data());
    envp.push_back(nullptr);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0) {
        error = SystemError("Start(): fork() failed", errno);
        CloseAll({out[0], out[1], err[0], err[1], file});
        return false;
    }
    if (pid == 0) {
        // The bench's own handlers would end the bench's other children from here.
        for (const int stop : {SIGINT, SIGTERM, SIGHUP}) signal(stop, SIG_DFL);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(126);
        const int outTo = file >= 0 ? file : out[1];
        const int errTo = file >= 0 ? file : err[1];
        const int nullInput = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if ((!launch.directory.empty() && chdir(launch.directory.c_str()) != 0) ||
            dup2(outTo, STDOUT_FILENO) < 0 || dup2(errTo, STDERR_FILENO) < 0 ||
            (nullInput >= 0 && dup2(nullInput, STDIN_FILENO) < 0)) {
            _exit(126);
        }
        execve(launch.path.c_str(), argv.data(), envp.data());
        const char *text = "cannot run the program: ";
        (void)!write(STDERR_FILENO, text, std::strlen(text));
        const char *reason = std::strerror(errno);
        (void)!write(STDERR_FILENO, reason, std::strlen(reason));
        (void)!write(STDERR_FILENO, "\n", 1);
        _exit(127);
    }
    m_pid = pid;
    ChildGuard::Add(pid);
    CloseAll({out[1], err[1], file});
    m_out = out[0];
    m_err = err[0];
    return true;
}

void ChildProgram::Collect(int status) {
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ChildGuard::Remove(m_pid);
    m_pid = -1;
}

bool ChildProgram::Running() {
    if (m_pid <= 0) return false;
    int status = 0;
    pid_t result;
    do {
        result = waitpid(m_pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return true;
    if (result < 0) {
        // Reaped by the stop-signal handler.
        ChildGuard::Remove(m_pid);
        m_pid = -1;
        return false;
    }
    Collect(status);
    return false;
}

std::optional<int> ChildProgram::Stop(std::chrono::milliseconds grace) {
    if (!Running()) return m_status;
    kill(m_pid, SIGTERM);
    const auto end = std::chrono::steady_clock::now() + grace;
    while (Running() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (Running()) {
        kill(m_pid, SIGKILL);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        Collect(status);
    }
    return m_status;
}
