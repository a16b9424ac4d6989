// voxa-ccsim: the simulated Central Controller on a pseudo-terminal or a serial device,
// for running the workstation without the controller box.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "ccsim_options.h"
#include "controller_endpoint.h"
#include "line_server.h"
#include "voxa_version.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char **argv) {
    std::string error;
    const std::optional<CcsimOptions> options =
        CcsimOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "voxa-ccsim: " << error << "\nTry 'voxa-ccsim --help'.\n";
        return kExitUsage;
    }
    if (options->help) {
        std::cout << CcsimOptions::Usage();
        return 0;
    }
    if (options->version) {
        std::cout << "voxa-ccsim " << kVoxaVersion << '\n';
        return 0;
    }

    ControllerEndpoint endpoint;
    options->ApplyTo(endpoint);
    const auto start = std::chrono::steady_clock::now();
    if (options->trace) {
        endpoint.SetTraceSecrets(options->traceSecrets);
        endpoint.SetTraceHook([start](const std::string &line) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
            std::fprintf(stderr, "[%6lld.%03lld] %s\n", static_cast<long long>(ms / 1000),
                         static_cast<long long>(ms % 1000), line.c_str());
        });
    }

    LineServer server(endpoint);
    if (options->paced) {
        server.SetByteTime(PacedWire::kByteTimeAt9600);
    }
    const bool opened = LineServer::HoldStopSignals(error) &&
                        (options->device.empty() ? server.OpenPseudoTerminal(error)
                                                 : server.OpenDevice(options->device, error)) &&
                        (options->link.empty() || server.MakeLink(options->link, error));
    if (!opened) {
        std::cerr << "voxa-ccsim: " << error;
        return kExitFailure;
    }
    std::string announcement = "voxa-ccsim: listening on " + server.LinePath();
    if (!options->link.empty()) {
        announcement += " (link " + options->link + ")";
    }
    std::cout << announcement << std::endl;

    if (!server.Run(error)) {
        std::cerr << "voxa-ccsim: " << error;
        return kExitFailure;
    }
    return 0;
}
