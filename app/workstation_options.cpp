#include "workstation_options.h"

#include <ostream>

#include "voxa_version.h"

std::string WorkstationOptions::Help() {
    return "Usage: voxa [--help | --version]\n"
           "\n"
           "The workstation for Lumivane LED price signs: prices, sign set-up and\n"
           "maintenance over the serial line of the Central Controller.\n"
           "\n"
           "It works in the folder it is started in: ./voxa.ini keeps the tags, the serial\n"
           "port and its device, and the time of the last update; it is read at start-up\n"
           "and written when the program ends. From the desktop menu the workstation starts\n"
           "in ~/.local/share/voxa/ (or $XDG_DATA_HOME/voxa). Without a voxa.ini, or with\n"
           "no port named in it, the port dialog opens before the controller is asked\n"
           "anything.\n"
           "\n"
           "Options:\n"
           "  --help       show this text\n"
           "  --version    show the version\n"
           "\n"
           "Qt's own options, such as -platform or -display, are taken as usual. The manual\n"
           "opens with F1 in the main window.\n";
}

std::optional<int> WorkstationOptions::Answer(const std::vector<std::string> &arguments,
                                              std::ostream &out) {
    for (const std::string &word : arguments) {
        if (word == "--help" || word == "-h") {
            out << Help();
            return kOk;
        }
        if (word == "--version") {
            out << "voxa " << kVoxaVersion << '\n';
            return kOk;
        }
    }
    return std::nullopt;
}

std::optional<int> WorkstationOptions::RefuseLeftovers(const std::vector<std::string> &leftovers,
                                                       std::ostream &err) {
    if (leftovers.empty()) return std::nullopt;
    err << "voxa: unknown argument \"" << leftovers.front() << "\" (see voxa --help)\n";
    return kUsage;
}
