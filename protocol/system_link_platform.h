#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device_map.h"
#include "line_lock.h"
#include "link_platform.h"

// The running workstation's surroundings: the real serial port and real time.
class SystemLinkPlatform : public LinkPlatform {
public:
    // The map is read at every open, so a change to it takes effect at the next frame.
    explicit SystemLinkPlatform(const DeviceMap &devices);

    std::unique_ptr<SerialLine> NewLine() override;
    void Pause(std::chrono::milliseconds duration) override;
    bool BeginTransaction(const std::string &portName, std::string &problem) override;
    void EndTransaction() override;
    void BeginHold(const std::string &activity) override;
    void SetHoldProgress(const std::string &progress) override;
    void LetGoOfHold() override;
    void EndHold() override;

    // How long a transaction waits for a line that another program holds (60 s, more
    // than the longest transaction, a silent controller's); zero fails at once.
    static constexpr std::chrono::milliseconds kLineWait{60000};
    void SetLineWait(std::chrono::milliseconds wait) { m_lineWait = wait; }
    std::chrono::milliseconds LineWait() const { return m_lineWait; }
    // Called with true when a transaction starts to wait for the line, with false when
    // the wait is over (the workstation shows the wait cursor meanwhile).
    void SetWaitingHook(std::function<void(bool)> hook) { m_waiting = std::move(hook); }
    // Called while a transaction waits for the line, with what holds it ("COM1
    // (/dev/ttyUSB0) is busy: voxa-ctl (PID 4242) is loading an NVRAM image, block 12 of
    // 128"): when the wait begins and whenever that changes.
    void SetWaitNotice(std::function<void(const std::string &)> notice) {
        m_notice = std::move(notice);
    }
    // Where the lock files are made (the system's lock folder unless a test says else).
    void SetLockDirectory(std::string directory) { m_lockDirectory = std::move(directory); }
    // Tells whether the program was asked to stop (a signal arrived): a wait for the line
    // or for a reply then ends, and no transaction starts.
    void SetStopCheck(std::function<bool()> stop) { m_stop = std::move(stop); }
    bool StopRequested() const override { return m_stop && m_stop(); }

private:
    // The innermost hold's activity with its progress; empty outside holds.
    std::string Activity() const;

    const DeviceMap &m_devices;
    std::chrono::milliseconds m_lineWait = kLineWait;
    std::function<void(bool)> m_waiting;
    std::function<void(const std::string &)> m_notice;
    std::function<bool()> m_stop;
    std::string m_lockDirectory = LineLock::kDefaultDirectory;
    std::unique_ptr<LineLock> m_lock;
    std::string m_lockedPort;
    std::vector<std::string> m_activities;  // one per hold, outermost first
    std::string m_progress;
    // Why the line could not be had within the holds now open.
    std::optional<std::string> m_holdProblem;
    bool m_inTransaction = false;
};
