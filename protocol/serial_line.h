#pragma once

#include <cstdint>
#include <string>

// The four operations the controller link needs from a serial line. The real port
// implements them on the operating system's serial device; tests put the controller
// simulator behind them on virtual time.
class SerialLine {
public:
    enum class Parity { None, Odd, Even };
    enum class StopBits { One, Two };

    virtual ~SerialLine() = default;

    // Opens the port named "COM%d" with the given line settings.
    virtual bool Open(const std::string &portName, int baudRate, Parity parity, StopBits stopBits,
                      int byteSize) = 0;
    virtual void Close() = 0;
    // Returns the count written, 0 for a count of 0, or -1 on failure.
    virtual int WriteData(const std::uint8_t *bytes, int count) = 0;
    // Returns the count read, 0 for a count of 0, or -1 on failure or when nothing
    // arrived within the time limit; on -1 the buffer is left as it was.
    virtual int ReadData(std::uint8_t *buffer, int count, int timeLimitMs) = 0;
    // Drops what arrived and was not read yet. The line itself keeps such bytes across an
    // open: a reply may begin before the port opened for it is ready.
    virtual void DiscardInput() {}
    // Whether a transfer since the last Open() found the line hung up: its far end closed,
    // or the adapter unplugged.
    virtual bool HungUp() const { return false; }
    // "%s: (%d) %s\n" of the most recent failure; empty when there was none.
    virtual std::string LastError() const = 0;
    // The device the last Open() was for, as messages name it ("/dev/ttyUSB0"); empty
    // when the line has no name of its own to give.
    virtual std::string DeviceName() const { return {}; }
};

// The line settings every caller uses: 9600 baud, 8 data bits, no parity, 1 stop bit.
inline constexpr int kBaudRate = 9600;
inline constexpr int kByteSize = 8;
