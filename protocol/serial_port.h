#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "device_map.h"
#include "serial_line.h"

// The operating system's serial device behind the four line operations. The port is
// held exclusively while open, so that no other program can talk to the controller in
// the middle of a frame, and every wait is bounded: a dead or unplugged adapter ends a
// call with a failure instead of freezing the workstation.
class SerialPort : public SerialLine {
public:
    // How long a write may wait for the driver to take more bytes before it fails.
    static constexpr std::chrono::milliseconds kWriteTimeLimit{2000};

    explicit SerialPort(const DeviceMap &devices,
                        std::chrono::milliseconds writeTimeLimit = kWriteTimeLimit);
    ~SerialPort() override;

    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    bool Open(const std::string &portName, int baudRate, Parity parity, StopBits stopBits,
              int byteSize) override;
    void Close() override;
    int WriteData(const std::uint8_t *bytes, int count) override;
    int ReadData(std::uint8_t *buffer, int count, int timeLimitMs) override;
    void DiscardInput() override;
    bool HungUp() const override { return m_hungUp; }
    std::string LastError() const override;
    std::string DeviceName() const override { return m_deviceName; }

    bool IsOpen() const;

    // Called every period while a read or a write waits on the line (not at all when the
    // wait is shorter), so that the program's window stays alive meanwhile.
    void SetKeepAlive(std::function<void()> hook, std::chrono::milliseconds period) {
        m_keepAlive = std::move(hook);
        m_keepAlivePeriod = period;
    }

private:
    // poll() on the port until the deadline, in slices of the keep-alive period with the
    // hook between them; returns as poll() does.
    int PollUntil(struct pollfd &watch, std::chrono::steady_clock::time_point deadline);
    // Records the failure (problemText in place of the usual form when given) and closes.
    bool FailOpen(const std::string &where, int error, const std::string &problemText = {});
    void RecordFailure(const std::string &where, int error);
    void RecordText(const std::string &text);
    void ReleaseAndClose();

    const DeviceMap &m_devices;
    std::chrono::milliseconds m_writeTimeLimit;
    int m_fd = -1;
    bool m_holdsLock = false;
    bool m_setExclusive = false;
    // Set when a transfer failed: whatever output is still queued may never leave, and
    // close() would wait for it.
    bool m_discardOutputOnClose = false;
    bool m_hungUp = false;
    std::string m_lastError;
    std::string m_deviceName;
    std::function<void()> m_keepAlive;
    std::chrono::milliseconds m_keepAlivePeriod{0};
};
