#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "device_map.h"
#include "operator_console.h"
#include "sign_system.h"
#include "stoppable_link_platform.h"

// The workstation's own protocol code (SignSystem, the controller link, the serial port
// and the line lock) run against a controller on a serial device, with each piece of work
// timed. Any message the workstation would have shown ends the measurement: a figure is
// only worth having for work that went through.
class LineBench {
public:
    using Nanos = std::chrono::nanoseconds;

    // The price lines the start-up sequence expects the controller to have.
    static constexpr int kStartUpLines = 8;
    // Get CC status, the number of lines, then a format, a face mask and a price per line.
    static constexpr int kStartUpTransactions = 2 + 3 * kStartUpLines;
    static constexpr int kNvramImageBytes = 2048;
    // Transfer begin and prepare, the size, a block per 16 bytes, transfer end and save
    // complete.
    static constexpr int kNvramSaveTransactions = 3 + kNvramImageBytes / 16 + 2;

    explicit LineBench(const std::string &devicePath);

    // Get number of lines: one transaction.
    std::optional<Nanos> OneTransaction();
    // What the workstation asks at start-up: Get CC status, Get number of lines, the line
    // formats, the face masks and each line's price.
    std::optional<Nanos> StartUpSequence();
    // The controller's memory saved to the file through the NVRAM transfer.
    std::optional<Nanos> NvramSave(const std::string &path);

    // Why the last measurement gave nothing.
    const std::string &Problem() const { return m_console.problem; }

private:
    // Keeps the first message, as the person at the screen would have seen it.
    class Console : public OperatorConsole {
    public:
        void ShowMessage(const std::string &text) override { ShowDetailedMessage(text, {}); }
        void ShowDetailedMessage(const std::string &text, const std::string &details) override;
        bool AskYesNo(const std::string &text) override;
        void Wait(std::chrono::milliseconds) override {}
        bool RunNvramLoad() override { return false; }
        void RequestEnd() override {}
        std::string problem;
    };

    std::optional<Nanos> Finish(std::chrono::steady_clock::time_point start);

    DeviceMap m_devices;
    StoppableLinkPlatform m_platform;
    Console m_console;
    SignSystem m_system;
};
