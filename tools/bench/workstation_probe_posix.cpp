// The workstation as a Linux process: its CPU time and peak memory come from /proc.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "child_guard.h"
#include "child_program.h"
#include "simulator_process.h"
#include "workstation_probe.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The first timer tick comes a second after start-up; it is left to run before the idle
// time is measured.
constexpr auto kSettle = 2s;
// The workstation pauses a second on its way out and saves its settings.
constexpr auto kStopGrace = 10s;

// User and system time of every thread of the process so far.
std::optional<Clock::duration> CpuTime(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return std::nullopt;
    // The command name in parentheses may hold blanks; the fields after it do not.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long user = 0;
    long long system = 0;
    // State is field 3 of the line; utime and stime are fields 14 and 15.
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14) user = std::atoll(field.c_str());
        if (number == 15) system = std::atoll(field.c_str());
    }
    const long ticks = sysconf(_SC_CLK_TCK);
    if (ticks <= 0) return std::nullopt;
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(user + system) / ticks));
}

std::optional<std::size_t> PeakResident(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return static_cast<std::size_t>(std::atoll(line.c_str() + 6)) * 1024;
        }
    }
    return std::nullopt;
}

// Sleeps for the duration unless a stop signal comes or the program ends first.
bool Idle(ChildProgram &program, Clock::duration duration) {
    const auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        if (ChildGuard::StopSignal() != 0 || !program.Running()) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(50ms, end - Clock::now()));
    }
    return true;
}

std::string Tail(const std::string &path) {
    std::ifstream log(path);
    std::string line;
    std::string last;
    while (std::getline(log, line)) {
        if (!line.empty()) last = line;
    }
    return last.empty() ? std::string() : " (its last words: " + last + ")";
}

}  // namespace

std::optional<WorkstationProbe::Figures> WorkstationProbe::Run(
    const std::string &voxaPath, const std::string &folder, SimulatorProcess &simulator,
    Nanos transactionFloor, std::chrono::seconds idleTime, std::string &error) {
    {
        std::ofstream ini(folder + "/voxa.ini");
        ini << "[Communications]\nPort=COM1\nShowStartup=No\n[Devices]\nCOM1="
            << simulator.LinePath() << "\n";
        if (!ini) {
            error = "cannot write " + folder + "/voxa.ini\n";
            return std::nullopt;
        }
    }
    ChildProgram::Launch launch;
    launch.path = voxaPath;
    launch.directory = folder;
    launch.outputFile = folder + "/voxa.log";
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        launch.environment.push_back("QT_QPA_PLATFORM=offscreen");
    }
    const std::size_t mark = simulator.Mark();
    ChildProgram voxa;
    const auto started = Clock::now();
    if (!voxa.Start(launch, error)) {
        error = "the workstation " + voxaPath + " did not start: " + error;
        return std::nullopt;
    }
    // Generous, for a loaded machine; a workstation that shows a message box waits for
    // ever, which the limit turns into a report.
    const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(
        20s + 3 * kStartUpRequests * transactionFloor);
    Figures figures;
    const auto first = simulator.WaitForRequest(mark, 1, 20s);
    const auto last =
        first ? simulator.WaitForRequest(mark, kStartUpRequests, limit) : std::nullopt;
    if (!last) {
        const std::size_t sent = simulator.RequestsSince(mark);
        voxa.Stop();
        error = "the workstation sent " + std::to_string(sent) + " of its " +
                std::to_string(kStartUpRequests) + " start-up requests" + Tail(launch.outputFile) +
                "\n";
        return std::nullopt;
    }
    figures.processStart = *first - started;
    figures.startUp = *last - *first;

    if (!Idle(voxa, kSettle)) {
        error = voxa.Running()
                    ? "stopped\n"
                    : "the workstation ended during its start-up" + Tail(launch.outputFile) + "\n";
        return std::nullopt;
    }
    const std::size_t idleMark = simulator.Mark();
    const auto cpuBefore = CpuTime(voxa.Pid());
    const auto idleStart = Clock::now();
    if (!Idle(voxa, idleTime)) {
        error = voxa.Running()
                    ? "stopped\n"
                    : "the workstation ended while idle" + Tail(launch.outputFile) + "\n";
        return std::nullopt;
    }
    const auto cpuAfter = CpuTime(voxa.Pid());
    const auto idleTook = Clock::now() - idleStart;
    const auto peak = PeakResident(voxa.Pid());
    if (!cpuBefore || !cpuAfter || !peak) {
        error = "cannot read the workstation's figures from /proc\n";
        return std::nullopt;
    }
    figures.idleCpuShare = std::chrono::duration<double>(*cpuAfter - *cpuBefore) /
                           std::chrono::duration<double>(idleTook);
    figures.idleRequests = simulator.RequestsSince(idleMark);
    figures.peakResidentBytes = *peak;

    const auto status = voxa.Stop(kStopGrace);
    if (status != 0) {
        error = "the workstation did not end cleanly on SIGTERM (exit status " +
                (status ? std::to_string(*status) : std::string("unknown")) + ")" +
                Tail(launch.outputFile) + "\n";
        return std::nullopt;
    }
    return figures;
}
