// The simulated controller's byte receiver and reply state machine, fed bytes at
// arbitrary times: whatever a workstation sends, in whatever rhythm, it neither crashes
// nor leaves its phase machine in a state it cannot leave, and a line once unplugged stays
// silent.
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "controller_endpoint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using Millis = ControllerEndpoint::Millis;
    ControllerEndpoint endpoint([] { return std::chrono::system_clock::time_point{}; });
    // Three bytes of faults: the line's, the reply delay, the unplug.
    constexpr std::size_t kSetUp = 3;
    if (size < kSetUp) return 0;
    FaultPlan &faults = endpoint.Faults();
    faults.corruptChecksum = data[0] & 1;
    faults.junkBeforeSync = (data[0] >> 1) & 3;
    if (data[0] & 8) faults.stopAfterReplyByte = data[0] >> 4;
    faults.nakRate = (data[0] & 0x80) ? 0.2 : 0.0;
    endpoint.SetReplyDelay(Millis(data[1]));
    if (data[2] != 0) faults.unplugAfterBytes = data[2];

    Millis now{0};
    bool unplugged = false;
    // Pairs: a time step and a byte. A step of 255 lets every timer run out.
    for (std::size_t i = kSetUp; i + 1 < size; i += 2) {
        now += Millis(data[i] == 255 ? 40000 : data[i]);
        endpoint.ReceiveByte(data[i + 1], now);
        const bool quiet = endpoint.TakeOutput().empty();
        if (unplugged && !quiet) __builtin_trap();
        unplugged = endpoint.Unplugged();
    }
    // Left alone long enough, it always comes back to idle.
    now += Millis(120000);
    endpoint.Advance(now);
    now += Millis(120000);
    endpoint.Advance(now);
    if (endpoint.CurrentPhase() != ControllerEndpoint::Phase::Idle) __builtin_trap();
    if (endpoint.Unplugged() && !endpoint.TakeOutput().empty()) __builtin_trap();
    return 0;
}
