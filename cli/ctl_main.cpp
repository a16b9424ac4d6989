#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "command_line_client.h"
#include "stop_requests.h"

int main(int argc, char **argv) {
    StopRequests stops;
    // Progress is for a person watching, not for a log or a pipe.
    CommandLineClient client(std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
    client.SetStopCheck([] { return StopRequests::Arrived() != 0; });
    const int status = client.Run(std::vector<std::string>(argv + 1, argv + argc));
    if (const int signal = StopRequests::Arrived(); signal != 0) {
        std::cout.flush();
        std::cerr << "voxa-ctl: stopped (" << ::strsignal(signal) << ")" << std::endl;
        stops.EndBySignal();
    }
    return status;
}
