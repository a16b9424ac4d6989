#include "ctl_in_process_fixture.h"

#include <utility>

CtlInProcess::CtlInProcess(ControllerModel::WallClock clock) : controller(std::move(clock)) {
    console.Attach(&system);
    system.SetDiagnosticStream(err);
    system.SetPortName("COM1");
}

std::vector<int> CtlInProcess::RequestCodes() const {
    std::vector<int> codes;
    for (const CommandFrame &frame : controller.Requests()) codes.push_back(frame.Code());
    return codes;
}
