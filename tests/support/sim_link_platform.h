#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "controller_endpoint.h"  // simulator
#include "link_platform.h"        // protocol

// The controller link's surroundings for tests: serial lines wired to a simulated
// controller, all on one virtual clock that only moves when the link writes, waits for
// a byte or pauses. Nothing sleeps, so a silent controller's 25 s of sync search runs
// in milliseconds, and every byte and time-out is recorded for the tests to inspect.
//
// A keep-alive hook (SetKeepAlive) is called every kKeepAlivePeriod of virtual time while a
// read or a pause waits, as the real port calls it in real time.
//
// A line that outlives its platform fails every call. Bytes the controller puts out while no line
// is open are lost, as on a real port; a newly opened line starts with nothing to read.
class SimLinkPlatform : public LinkPlatform {
public:
    // One byte's time on the line at 9600 baud, 8N1 (10 bits).
    static constexpr std::chrono::milliseconds kByteTime{1};

    explicit SimLinkPlatform(ControllerEndpoint &controller);
    ~SimLinkPlatform() override;

    std::unique_ptr<SerialLine> NewLine() override;
    void Pause(std::chrono::milliseconds d) override;
    std::chrono::milliseconds Now() const { return m_now; }

    struct LineEvent {
        enum class Kind { Open, Close, Write, Read, ReadTimeout, Pause };
        Kind kind;
        std::uint8_t byte = 0;  // for Write and Read
        std::chrono::milliseconds at{};
    };
    const std::vector<LineEvent> &Events() const { return m_events; }
    void ClearEvents() { m_events.clear(); }
    // The bytes of every Write event, in order.
    std::vector<std::uint8_t> WrittenBytes() const;
    // The bytes of every Read event, in order.
    std::vector<std::uint8_t> ReadBytes() const;
    int CountEvents(LineEvent::Kind kind) const;

    // A missing port fails Open, and reads and writes on lines already open fail at once.
    void SetPortMissing(bool missing) { m_portMissing = missing; }
    // Missing, or unplugged by the controller's fault plan.
    bool PortGone() const { return m_portMissing || m_controller.Unplugged(); }
    // Port names another program holds: opening them fails, the others open.
    void SetHeldPorts(std::set<std::string> names) { m_heldPorts = std::move(names); }
    int OpenCount() const { return m_openCount; }
    // The port name of every open tried, in order, whether it opened or not.
    const std::vector<std::string> &OpenTries() const { return m_openTries; }

    ControllerEndpoint &Controller() { return m_controller; }

    // How operations held the line, in order: "hold: ACTIVITY", "progress: TEXT",
    // "let go", "end", and "transaction" for each transaction begun.
    bool BeginTransaction(const std::string &portName, std::string &problem) override;
    void BeginHold(const std::string &activity) override;
    void SetHoldProgress(const std::string &progress) override;
    void LetGoOfHold() override;
    void EndHold() override;
    const std::vector<std::string> &HoldEvents() const { return m_holdEvents; }
    void ClearHoldEvents() { m_holdEvents.clear(); }

private:
    class Line;

    void Record(LineEvent::Kind kind, std::uint8_t byte = 0);
    // Hands the controller's output to every open line; with none open it is lost.
    void Deliver();
    // Moves the clock to target, letting every controller timer on the way fire on time.
    void AdvanceTo(std::chrono::milliseconds target);
    // Moves the clock to the controller's next timer if it falls by limit; false if not.
    bool StepToNextDeadline(std::chrono::milliseconds limit);
    // The end of the wait's next keep-alive period, or end itself without a hook.
    std::chrono::milliseconds SliceEnd(std::chrono::milliseconds end) const;
    void Opened(Line *line);
    void Closed(Line *line);
    void Forget(Line *line);

    ControllerEndpoint &m_controller;
    std::chrono::milliseconds m_now{0};
    std::vector<LineEvent> m_events;
    std::vector<Line *> m_lines;  // every line alive, open or not
    std::vector<Line *> m_openLines;
    bool m_portMissing = false;
    std::set<std::string> m_heldPorts;
    std::vector<std::string> m_openTries;
    int m_openCount = 0;
    std::vector<std::string> m_holdEvents;
};
