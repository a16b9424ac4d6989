#pragma once

#include <sstream>
#include <vector>

#include "controller_endpoint.h"
#include "controller_model.h"
#include "recording_console.h"
#include "sign_system.h"
#include "sim_link_platform.h"

// A whole installation in one process: our controller model behind the link's seams on
// virtual time, and a sign system talking to it with a recording console.
struct SimulatedSite {
    SimulatedSite()
    {
        system.SetPortName("COM1");
        system.SetDiagnosticStream(diagnostics);
    }

    // The request frames the workstation sent whole, in order (a send cut short by NAKs
    // or a silent line is left out).
    std::vector<CommandFrame> SentFrames() const;
    // The command codes of SentFrames().
    std::vector<int> SentCodes() const;

    ControllerEndpoint controller;
    ControllerModel &model = controller.Model();
    SimLinkPlatform platform{controller};
    RecordingConsole console;
    std::ostringstream diagnostics;
    SignSystem system{platform, console};
};
