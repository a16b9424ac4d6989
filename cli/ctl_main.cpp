#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "command_line_client.h"
#include "descriptor_stream_buffer.h"
#include "exit_status.h"
#include "stop_requests.h"

namespace {

// A standard stream that is closed would be taken by the first file the program opens (the
// serial port, say), and values meant for standard output would go there. It gets
// /dev/null opened the wrong way round instead, so that writing to it fails and is told.
void KeepStandardStreamsTaken() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

// A reader that closed the pipe had enough: the program ends as it would by SIGPIPE, as
// cat or git do, also when SIGPIPE was ignored by whoever started it.
[[noreturn]] void EndAsByBrokenPipe() {
    ::signal(SIGPIPE, SIG_DFL);
    ::raise(SIGPIPE);
    ::_exit(ExitStatus::kTransactionFailed);
}

}  // namespace

int main(int argc, char **argv) {
    KeepStandardStreamsTaken();
    StopRequests stops;
    DescriptorStreamBuffer outBuffer(STDOUT_FILENO);
    DescriptorStreamBuffer errBuffer(STDERR_FILENO);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    err.setf(std::ios::unitbuf);
    int status = ExitStatus::kOk;
    {
        // Progress is for a person watching, not for a log or a pipe.
        CommandLineClient client(out, err, ::isatty(STDERR_FILENO) == 1);
        client.SetStopCheck([] { return StopRequests::Arrived() != 0; });
        status = client.Run(std::vector<std::string>(argv + 1, argv + argc));
    }
    out.flush();
    // Values that could not be written were not delivered: the run failed, whatever it did.
    if (outBuffer.Error() == EPIPE || errBuffer.Error() == EPIPE) EndAsByBrokenPipe();
    if (outBuffer.Error() != 0) {
        err << "voxa-ctl: cannot write to standard output: write() failed: (" << outBuffer.Error()
            << ") " << std::strerror(outBuffer.Error()) << '\n';
        status = ExitStatus::kTransactionFailed;
    }
    err.flush();
    if (errBuffer.Error() != 0) status = ExitStatus::kTransactionFailed;
    if (const int signal = StopRequests::Arrived(); signal != 0) {
        err << "voxa-ctl: stopped (" << ::strsignal(signal) << ")\n";
        err.flush();
        stops.EndBySignal();
    }
    return status;
}
