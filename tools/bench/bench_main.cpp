// voxa-bench: how close the workstation comes to the floor the protocol sets, measured
// against voxa-ccsim on a pseudo-terminal. See docs/performance.md.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "bench_options.h"
#include "child_guard.h"
#include "fleet_bench.h"
#include "line_bench.h"
#include "measurement.h"
#include "paced_wire.h"
#include "simulator_process.h"
#include "workstation_probe.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

using Nanos = Measurement::Nanos;

struct Work {
    BenchOptions::Work which;
    const char *name;
    int transactions;
    std::function<std::optional<Nanos>(LineBench &, const std::string &folder)> run;
};

const Work kLineWork[] = {
    {BenchOptions::Work::Transaction, "one transaction", 1,
     [](LineBench &bench, const std::string &) { return bench.OneTransaction(); }},
    {BenchOptions::Work::StartUp, "start-up, 8 lines", LineBench::kStartUpTransactions,
     [](LineBench &bench, const std::string &) { return bench.StartUpSequence(); }},
    {BenchOptions::Work::NvramSave, "NVRAM save, 2048 bytes", LineBench::kNvramSaveTransactions,
     [](LineBench &bench, const std::string &folder) {
         return bench.NvramSave(folder + "/image.nvr");
     }},
};

std::string Seconds(Nanos time) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", std::chrono::duration<double>(time).count());
    return text;
}

// Ends the bench after a stop signal: the guard has already ended the programs.
int Stopped(const std::string &folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::cerr << "voxa-bench: stopped; the programs it started have ended" << std::endl;
    return 128 + ChildGuard::StopSignal();
}

int Failed(const std::string &folder, const std::string &what) {
    if (ChildGuard::StopSignal() != 0) return Stopped(folder);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::cerr << "voxa-bench: " << what << std::flush;
    return kExitFailure;
}

// The fleet: one site's change, then the same change to every site, each beside the floor
// of one site's transactions.
int RunFleet(const BenchOptions &options, const std::string &folder) {
    const Nanos floor = Measurement::TransactionFloor(Nanos::zero(), Nanos::zero());
    std::cerr << "voxa-bench: starting a broker, " << options.fleetSites << " simulators and "
              << options.fleetSites << " agents" << std::endl;
    std::string error;
    int status = 0;
    {
        FleetBench fleet({options.ccsimPath, options.agentPath, VOXA_FLEET_BROKER_SCRIPT}, folder,
                         options.fleetSites);
        const auto started = std::chrono::steady_clock::now();
        if (!fleet.Start(error)) return Failed(folder, "the fleet did not start: " + error);
        std::cout << "voxa-bench: fleet of " << options.fleetSites
                  << " sites on this machine (Mosquitto with TLS, voxa-ccsim and voxa-agent each),"
                  << " every agent online after "
                  << Seconds(std::chrono::steady_clock::now() - started)
                  << "\nfloor of one transaction: " << Seconds(floor)
                  << "; a change with read-back is " << FleetBench::kChangeTransactions
                  << " transactions at a site; median of " << options.runs
                  << (options.runs == 1 ? " run" : " runs") << "\n"
                  << Measurement::Header() << std::endl;
        Measurement one("change to 1 site", FleetBench::kChangeTransactions, floor);
        Measurement all("change to " + std::to_string(options.fleetSites) + " sites",
                        FleetBench::kChangeTransactions, floor);
        int price = 0;
        for (Measurement *measurement : {&one, &all}) {
            const int sites = measurement == &one ? 1 : options.fleetSites;
            for (int run = 0; run < options.runs; ++run) {
                char text[8];
                // Line 1's format is 8.889: its last digit is always 9.
                std::snprintf(text, sizeof text, "3.%02d9", 40 + ++price % 50);
                const auto took = fleet.Push(sites, text, error);
                if (!took) {
                    status = Failed(folder, "the push did not go through: " + error);
                    return status;
                }
                measurement->Add(*took);
            }
            std::cout << measurement->Row() << std::endl;
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return status;
}

}  // namespace

int main(int argc, char **argv) {
    BenchOptions defaults;
    defaults.ccsimPath = VOXA_CCSIM_PATH;
    defaults.voxaPath = VOXA_PATH;
    defaults.agentPath = VOXA_AGENT_PATH;
    std::string error;
    const auto options =
        BenchOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), defaults, error);
    if (!options) {
        std::cerr << "voxa-bench: " << error << "\nTry 'voxa-bench --help'.\n";
        return kExitUsage;
    }
    if (options->help) {
        std::cout << BenchOptions::Usage();
        return 0;
    }
    if (!ChildGuard::Install()) {
        std::perror("voxa-bench: sigaction");
        return kExitFailure;
    }
    char pattern[] = "/tmp/voxa-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("voxa-bench: mkdtemp");
        return kExitFailure;
    }
    const std::string folder = pattern;

    if (options->fleetSites > 0) {
        const int status = RunFleet(*options, folder);
        if (ChildGuard::StopSignal() != 0) return Stopped(folder);
        return status;
    }

    std::vector<std::string> simulatorOptions{"--lines", std::to_string(LineBench::kStartUpLines),
                                              "--reply-delay",
                                              std::to_string(options->replyDelay.count())};
    if (options->paced) simulatorOptions.push_back("--paced");
    SimulatorProcess simulator;
    if (!simulator.Start(options->ccsimPath, simulatorOptions, error)) {
        return Failed(folder, error);
    }
    const Nanos byteTime = options->paced ? PacedWire::kByteTimeAt9600 : Nanos::zero();
    const Nanos floor = Measurement::TransactionFloor(byteTime, options->replyDelay);
    std::cout << "voxa-bench: voxa-ccsim on " << simulator.LinePath() << ", "
              << LineBench::kStartUpLines << " lines, reply delay " << options->replyDelay.count()
              << " ms, "
              << (options->paced ? "every byte paced at 9600 baud"
                                 : "no time on the wire (pseudo-terminal)")
              << "\nfloor of one transaction: " << Seconds(floor) << "; median of " << options->runs
              << (options->runs == 1 ? " run" : " runs") << "\n"
              << Measurement::Header() << std::endl;

    LineBench bench(simulator.LinePath());
    for (const Work &work : kLineWork) {
        if (options->work.count(work.which) == 0) continue;
        std::cerr << "voxa-bench: " << work.name << ": " << options->runs << " x about "
                  << Seconds(work.transactions * floor) << std::endl;
        Measurement measurement(work.name, work.transactions, floor);
        for (int run = 0; run < options->runs; ++run) {
            const auto took = work.run(bench, folder);
            if (ChildGuard::StopSignal() != 0) return Stopped(folder);
            if (!took) {
                return Failed(folder,
                              std::string(work.name) + " failed: " + bench.Problem() + "\n");
            }
            measurement.Add(*took);
        }
        std::cout << measurement.Row() << std::endl;
    }

    if (options->work.count(BenchOptions::Work::Workstation) != 0) {
        std::cerr << "voxa-bench: the workstation: its start-up, then " << options->idleTime.count()
                  << " s idle" << std::endl;
        const auto figures = WorkstationProbe::Run(options->voxaPath, folder, simulator, floor,
                                                   options->idleTime, error);
        if (ChildGuard::StopSignal() != 0) return Stopped(folder);
        if (!figures) return Failed(folder, error);
        constexpr int kMeasuredTransactions = WorkstationProbe::kStartUpRequests - 1;
        Measurement startUp("workstation start-up", kMeasuredTransactions, floor);
        startUp.Add(figures->startUp);
        char text[200];
        std::snprintf(text, sizeof text,
                      "  (from its first request to its last; the process start before it, "
                      "%.3f s, is not counted)\n"
                      "workstation idle: %.2f %% of one core over %lld s, %zu requests sent\n"
                      "workstation peak resident memory: %.1f MB",
                      std::chrono::duration<double>(figures->processStart).count(),
                      100.0 * figures->idleCpuShare,
                      static_cast<long long>(options->idleTime.count()), figures->idleRequests,
                      static_cast<double>(figures->peakResidentBytes) / (1024.0 * 1024.0));
        std::cout << startUp.Row() << "\n" << text << std::endl;
    }

    simulator.Stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
