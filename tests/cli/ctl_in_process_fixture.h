#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "controller_endpoint.h"
#include "controller_model.h"
#include "sign_system.h"
#include "sim_link_platform.h"
#include "stream_console.h"

// voxa-ctl's subcommands in this process, against the simulated controller on virtual
// time. The sign system answers to a StreamConsole, as it does in voxa-ctl itself, so the
// controller's messages reach the captured standard error the way the user sees them.
// A test runs its subcommands through a CommandLineClient on out and err.
class CtlInProcess : public ::testing::Test {
protected:
    // clock is the controller's wall clock; the real one when none is given.
    explicit CtlInProcess(ControllerModel::WallClock clock = {});

    // The command codes of every request the controller took whole, in order.
    std::vector<int> RequestCodes() const;

    ControllerEndpoint controller;
    ControllerModel &model = controller.Model();
    ControllerModel::State &state = model.Current();
    SimLinkPlatform platform{controller};
    std::ostringstream out;
    std::ostringstream err;
    StreamConsole console{err};
    SignSystem system{platform, console};
};
