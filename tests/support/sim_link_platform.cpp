#include "sim_link_platform.h"

#include <algorithm>
#include <deque>
#include <string>

using Millis = std::chrono::milliseconds;

class SimLinkPlatform::Line : public SerialLine {
public:
    explicit Line(SimLinkPlatform &platform) : m_platform(&platform) {}
    ~Line() override {
        if (m_platform != nullptr) {
            Close();
            m_platform->Forget(this);
        }
    }

    bool Open(const std::string &portName, int, Parity, StopBits, int) override {
        if (m_platform != nullptr) m_platform->m_openTries.push_back(portName);
        if (m_platform == nullptr || m_platform->PortGone()) {
            Fail("Open(): open() failed: (2) No such file or directory\n");
            return false;
        }
        if (m_platform->m_heldPorts.count(portName) != 0) {
            Fail("Open(): flock() failed, " + portName +
                 " is in use by another program: (11) Resource temporarily unavailable\n");
            return false;
        }
        if (m_open) {
            Close();
        }
        m_platform->Opened(this);
        m_open = true;
        m_hungUp = false;
        return true;
    }

    void Close() override {
        if (!m_open) {
            return;
        }
        m_open = false;
        if (m_platform != nullptr) {
            m_platform->Closed(this);
        }
        m_input.clear();
    }

    int WriteData(const std::uint8_t *bytes, int count) override {
        if (!Usable("WriteData(): write() failed")) {
            return -1;
        }
        if (count <= 0) {
            return count == 0 ? 0 : -1;
        }
        SimLinkPlatform &p = *m_platform;
        for (int i = 0; i < count; ++i) {
            p.Record(LineEvent::Kind::Write, bytes[i]);
            p.m_controller.ReceiveByte(bytes[i], p.m_now);
            p.Deliver();
            p.AdvanceTo(p.m_now + kByteTime);
        }
        return count;
    }

    int ReadData(std::uint8_t *buffer, int count, int timeLimitMs) override {
        if (!Usable("ReadData(): read() failed")) {
            return -1;
        }
        if (count <= 0) {
            return count == 0 ? 0 : -1;
        }
        SimLinkPlatform &p = *m_platform;
        p.Deliver();
        const Millis end = p.m_now + Millis{std::max(timeLimitMs, 0)};
        // With a keep-alive hook, the wait is cut into its periods, the hook called after
        // each, as the real port does.
        for (Millis sliceEnd = p.SliceEnd(end);; sliceEnd = p.SliceEnd(end)) {
            while (m_input.empty() && p.StepToNextDeadline(sliceEnd)) {
            }
            if (!m_input.empty() || sliceEnd >= end) break;
            p.AdvanceTo(sliceEnd);
            if (!m_input.empty()) break;
            p.KeepAlive();
        }
        if (m_input.empty()) {
            p.AdvanceTo(end);
            p.Record(LineEvent::Kind::ReadTimeout);
            Fail("ReadData(): no byte within " + std::to_string(timeLimitMs) + " ms\n");
            return -1;
        }
        const int n = std::min(count, static_cast<int>(m_input.size()));
        for (int i = 0; i < n; ++i) {
            buffer[i] = m_input.front();
            m_input.pop_front();
            p.Record(LineEvent::Kind::Read, buffer[i]);
        }
        return n;
    }

    void DiscardInput() override { m_input.clear(); }
    bool HungUp() const override { return m_hungUp; }

    std::string LastError() const override { return m_lastError; }

    void Take(const std::vector<std::uint8_t> &bytes) {
        m_input.insert(m_input.end(), bytes.begin(), bytes.end());
    }
    void Detach() {
        m_open = false;
        m_platform = nullptr;
    }

private:
    bool Usable(const char *where) {
        if (m_platform == nullptr || !m_open) {
            Fail(std::string(where) + ": (9) Bad file descriptor\n");
            return false;
        }
        if (m_platform->PortGone()) {
            m_hungUp = true;
            Fail(std::string(where) + ": (5) Input/output error\n");
            return false;
        }
        return true;
    }
    void Fail(std::string text) { m_lastError = std::move(text); }

    SimLinkPlatform *m_platform;
    bool m_open = false;
    bool m_hungUp = false;
    std::deque<std::uint8_t> m_input;
    std::string m_lastError;
};

SimLinkPlatform::SimLinkPlatform(ControllerEndpoint &controller) : m_controller(controller) {}

SimLinkPlatform::~SimLinkPlatform() {
    for (Line *line : m_lines) {
        line->Detach();
    }
}

std::unique_ptr<SerialLine> SimLinkPlatform::NewLine() {
    auto line = std::make_unique<Line>(*this);
    m_lines.push_back(line.get());
    return line;
}

void SimLinkPlatform::Pause(Millis d) {
    Record(LineEvent::Kind::Pause);
    const Millis end = m_now + std::max(d, Millis{0});
    for (Millis sliceEnd = SliceEnd(end); sliceEnd < end; sliceEnd = SliceEnd(end)) {
        AdvanceTo(sliceEnd);
        KeepAlive();
    }
    AdvanceTo(end);
}

Millis SimLinkPlatform::SliceEnd(Millis end) const {
    return KeepAliveHook() ? std::min(end, m_now + kKeepAlivePeriod) : end;
}

void SimLinkPlatform::Record(LineEvent::Kind kind, std::uint8_t byte) {
    m_events.push_back({kind, byte, m_now});
}

void SimLinkPlatform::Deliver() {
    const std::vector<std::uint8_t> output = m_controller.TakeOutput();
    if (output.empty()) {
        return;
    }
    for (Line *line : m_openLines) {
        line->Take(output);
    }
}

bool SimLinkPlatform::StepToNextDeadline(Millis limit) {
    const std::optional<Millis> next = m_controller.NextDeadline();
    if (!next || *next > limit) {
        return false;
    }
    // A timer can only fire now or later; never move the clock back.
    m_now = std::max(m_now, *next);
    m_controller.Advance(m_now);
    Deliver();
    const std::optional<Millis> after = m_controller.NextDeadline();
    if (after && *after <= m_now) {
        // The controller promises to move its timers past now; should it not, time
        // still moves on so the wait ends.
        m_now += Millis{1};
    }
    return true;
}

void SimLinkPlatform::AdvanceTo(Millis target) {
    while (StepToNextDeadline(target)) {
    }
    m_now = std::max(m_now, target);
    m_controller.Advance(m_now);
    Deliver();
}

void SimLinkPlatform::Opened(Line *line) {
    // Whatever the controller sent before this moment went to a closed port.
    Deliver();
    m_openLines.push_back(line);
    ++m_openCount;
    Record(LineEvent::Kind::Open);
}

void SimLinkPlatform::Closed(Line *line) {
    Deliver();
    std::erase(m_openLines, line);
    Record(LineEvent::Kind::Close);
}

void SimLinkPlatform::Forget(Line *line) {
    std::erase(m_openLines, line);
    std::erase(m_lines, line);
}

std::vector<std::uint8_t> SimLinkPlatform::WrittenBytes() const {
    std::vector<std::uint8_t> bytes;
    for (const LineEvent &event : m_events) {
        if (event.kind == LineEvent::Kind::Write) {
            bytes.push_back(event.byte);
        }
    }
    return bytes;
}

std::vector<std::uint8_t> SimLinkPlatform::ReadBytes() const {
    std::vector<std::uint8_t> bytes;
    for (const LineEvent &event : m_events) {
        if (event.kind == LineEvent::Kind::Read) {
            bytes.push_back(event.byte);
        }
    }
    return bytes;
}

int SimLinkPlatform::CountEvents(LineEvent::Kind kind) const {
    return static_cast<int>(std::count_if(m_events.begin(), m_events.end(),
                                          [kind](const LineEvent &e) { return e.kind == kind; }));
}

bool SimLinkPlatform::BeginTransaction(const std::string &, std::string &) {
    m_holdEvents.push_back("transaction");
    return true;
}

void SimLinkPlatform::BeginHold(const std::string &activity) {
    m_holdEvents.push_back("hold: " + activity);
}

void SimLinkPlatform::SetHoldProgress(const std::string &progress) {
    m_holdEvents.push_back("progress: " + progress);
}

void SimLinkPlatform::LetGoOfHold() {
    m_holdEvents.push_back("let go");
}

void SimLinkPlatform::EndHold() {
    m_holdEvents.push_back("end");
}
