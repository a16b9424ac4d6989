#include "stoppable_link_platform.h"

#include <utility>

#include "child_guard.h"

namespace {

// The port, with the stop signal checked at every open.
class StoppableLine : public SerialLine {
public:
    explicit StoppableLine(std::unique_ptr<SerialLine> line) : m_line(std::move(line)) {}

    bool Open(const std::string &portName, int baudRate, Parity parity, StopBits stopBits,
              int byteSize) override {
        if (ChildGuard::StopSignal() != 0) {
            m_stopped = true;
            return false;
        }
        m_stopped = false;
        return m_line->Open(portName, baudRate, parity, stopBits, byteSize);
    }
    void Close() override { m_line->Close(); }
    int WriteData(const std::uint8_t *bytes, int count) override {
        return m_line->WriteData(bytes, count);
    }
    int ReadData(std::uint8_t *buffer, int count, int timeLimitMs) override {
        return m_line->ReadData(buffer, count, timeLimitMs);
    }
    void DiscardInput() override { m_line->DiscardInput(); }
    bool HungUp() const override { return m_line->HungUp(); }
    std::string LastError() const override {
        return m_stopped ? "Open(): voxa-bench is stopping: (4) Interrupted system call\n"
                         : m_line->LastError();
    }
    std::string DeviceName() const override { return m_line->DeviceName(); }

private:
    std::unique_ptr<SerialLine> m_line;
    bool m_stopped = false;
};

}  // namespace

std::unique_ptr<SerialLine> StoppableLinkPlatform::NewLine() {
    return std::make_unique<StoppableLine>(SystemLinkPlatform::NewLine());
}
