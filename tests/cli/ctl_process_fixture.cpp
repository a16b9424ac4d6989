#include "ctl_process_fixture.h"

#include <cstdio>

namespace {

const std::string kAnnouncement = "voxa-ccsim: listening on ";

}  // namespace

CtlRun RunCtl(const std::vector<std::string> &args, const std::string &directory,
              std::chrono::milliseconds limit, const std::optional<std::string> &input) {
    const auto start = std::chrono::steady_clock::now();
    ChildProcess ctl(VOXA_CTL_PATH, args, directory, input);
    CtlRun run;
    if (!ctl.Started()) return run;
    run.status = ctl.Finish(limit);
    run.took = std::chrono::steady_clock::now() - start;
    run.out = ctl.OutText();
    run.err = ctl.ErrText();
    return run;
}

std::string Hex(const std::string &text) {
    std::string hex;
    char byte[4];
    for (const char c : text) {
        std::snprintf(byte, sizeof byte, " %02X", static_cast<unsigned char>(c));
        hex += byte;
    }
    return hex;
}

std::vector<int> TracedRequests(const std::string &trace) {
    // "[  1.234] WS->CC Get time (9): D6 19 09 ..."
    std::vector<int> codes;
    const std::string marker = "] WS->CC ";
    for (std::size_t at = trace.find(marker); at != std::string::npos;
         at = trace.find(marker, at + 1)) {
        const std::size_t open = trace.find(" (", at);
        const std::size_t close = trace.find("):", at);
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        codes.push_back(std::stoi(trace.substr(open + 2, close - open - 2)));
    }
    return codes;
}

std::unique_ptr<ChildProcess> StartLinkedSimulator(std::vector<std::string> args,
                                                   const std::string &link, std::string &problem) {
    args.insert(args.end(), {"--link", link});
    auto sim = std::make_unique<ChildProcess>(VOXA_CCSIM_PATH, args);
    if (!sim->Started()) {
        problem = "voxa-ccsim did not start";
        return nullptr;
    }
    const auto announcement = sim->ReadLine(std::chrono::seconds(5));
    if (!announcement || announcement->rfind(kAnnouncement, 0) != 0) {
        problem = "voxa-ccsim did not announce its line: " + announcement.value_or("");
        return nullptr;
    }
    return sim;
}

void CtlProcess::StartSimulator(std::vector<std::string> args) {
    std::string problem;
    m_sim = StartLinkedSimulator(std::move(args), LinkPath(), problem);
    ASSERT_TRUE(m_sim) << problem;
}
