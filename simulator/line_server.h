#pragma once

#include <chrono>
#include <string>

#include "controller_endpoint.h"
#include "paced_wire.h"

// Serves a ControllerEndpoint on a serial line of this machine: a new pseudo-terminal
// whose other side the workstation opens as its port, or a real serial device. Failures
// are returned as false with "Operation(): call() failed: (errno) text" in error.
class LineServer {
public:
    explicit LineServer(ControllerEndpoint &endpoint);
    ~LineServer();
    LineServer(const LineServer &) = delete;
    LineServer &operator=(const LineServer &) = delete;

    // Blocks SIGINT and SIGTERM so that they only end Run(), and cleanly. Call before
    // announcing the line, so that a stop request can never kill the process outright.
    static bool HoldStopSignals(std::string &error);

    bool OpenPseudoTerminal(std::string &error);
    bool OpenDevice(const std::string &path, std::string &error);
    // Makes linkPath a symlink to the pseudo-terminal; removed again on destruction.
    bool MakeLink(const std::string &linkPath, std::string &error);
    const std::string &LinePath() const { return m_linePath; }
    // Each byte takes this long on the line, both ways (zero: as fast as the line goes).
    void SetByteTime(PacedWire::Nanos byteTime);

    // Serves until SIGINT or SIGTERM. Returns false on a failure of the line.
    bool Run(std::string &error);

private:
    PacedWire::Nanos Elapsed() const;
    // Hands the controller's output to the wire and what has crossed it to the line.
    bool WriteOutput(PacedWire::Nanos now, std::string &error);
    // Lets the bytes that have crossed the wire by now reach the controller.
    bool DeliverInput(PacedWire::Nanos now, std::string &error);
    // The fault plan cut the line: both sides of the terminal are closed.
    void CloseLine();
    void RemoveLink();

    ControllerEndpoint &m_endpoint;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    int m_fd = -1;       // the pseudo-terminal's master or the device
    int m_slaveFd = -1;  // held open so the line outlives the workstation's opens
    std::string m_linePath;
    std::string m_linkPath;
    PacedWire m_toController;
    PacedWire m_toWorkstation;
};
