#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "serial_line.h"

// What the controller link takes from its surroundings: a fresh serial line for every
// frame it sends or receives, and short pauses. The running program uses the real port
// and real time; tests hand in a simulated line on virtual time.
class LinkPlatform {
public:
    virtual ~LinkPlatform() = default;

    virtual std::unique_ptr<SerialLine> NewLine() = 0;
    virtual void Pause(std::chrono::milliseconds duration) = 0;

    // Holds the named line for one transaction, so that no other program's frames come
    // between a request and its reply; false, with the reason in problem, when the line
    // stayed busy. Every true is followed by one EndTransaction().
    virtual bool BeginTransaction(const std::string & /*portName*/, std::string & /*problem*/) {
        return true;
    }
    virtual void EndTransaction() {}

    // Whether the program was asked to stop (a signal): the link then gives up a wait for
    // a reply, and no further transaction starts.
    virtual bool StopRequested() const { return false; }
};
