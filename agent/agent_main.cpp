// voxa-agent: the station's service that applies head office's price changes.

#include <signal.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "agent_service.h"
#include "voxa_version.h"

namespace {

std::atomic<bool> g_stop{false};

void OnStopSignal(int /*signal*/) {
    g_stop.store(true);
}

void PrintHelp() {
    std::cout << "Usage: voxa-agent [--folder DIR]\n"
                 "\n"
                 "Applies the price changes head office sends through its MQTT broker to this\n"
                 "station's sign, and reports results, the sign's state and alerts back.\n"
                 "Runs in the station's VOXA folder (the one with voxa.ini) beside the\n"
                 "workstation, and takes the broker from voxa.ini's [Fleet] section.\n"
                 "\n"
                 "  --folder DIR   the station's VOXA folder (default: the current folder)\n"
                 "  --help         show this help\n"
                 "  --version      show the version\n"
                 "\n"
                 "Exit status: 0 after SIGTERM or SIGINT, 1 on a failure, 2 when the settings\n"
                 "cannot be used. Messages go to standard error (the journal under systemd).\n"
                 "See voxa-agent(1) and the manual's section on head office.\n";
}

}  // namespace

int main(int argc, char **argv) {
    std::filesystem::path folder = ".";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        }
        if (arg == "--version") {
            std::cout << "voxa-agent " << kVoxaVersion << '\n';
            return 0;
        }
        if (arg == "--folder" && i + 1 < argc && argv[i + 1][0] != '\0') {
            folder = argv[++i];
            continue;
        }
        std::cerr << "voxa-agent: "
                  << (arg == "--folder" ? "--folder needs a folder" : "unknown option " + arg)
                  << " (see voxa-agent --help)\n";
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    AgentService service(folder, std::cerr);
    return service.Run(g_stop);
}
