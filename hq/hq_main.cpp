// voxa-hq: head office's command line for the stations' price signs.

#include <signal.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "hq_command.h"

namespace {

std::atomic<bool> g_stop{false};

void OnStopSignal(int /*signal*/) {
    g_stop.store(true);
}

}  // namespace

int main(int argc, char **argv) {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return HqCommand::Run(arguments, std::cout, std::cerr, g_stop);
}
