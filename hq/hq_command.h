#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

// voxa-hq's command line: the options, the settings file, then one of push, status, watch
// and cancel on HeadOffice. Returns the exit status.
namespace HqCommand {

int Run(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err,
        const std::atomic<bool> &stop);
void PrintHelp(std::ostream &out);

}  // namespace HqCommand
