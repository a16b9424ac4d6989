#pragma once

#include <chrono>
#include <functional>
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

    // How often a transaction that waits (for a byte, in a pause, for a line another
    // program holds) calls the keep-alive hook.
    static constexpr std::chrono::milliseconds kKeepAlivePeriod{40};
    // Called every kKeepAlivePeriod while a transaction waits, so that a program with a
    // window can keep it drawn and answering the desktop during a half-second read or a
    // silent controller's half minute. The hook must not start a transaction of its own:
    // the link is in the middle of one.
    void SetKeepAlive(std::function<void()> hook) { m_keepAlive = std::move(hook); }

    // An operation of several transactions (an NVRAM transfer, a price update, the
    // start-up reads) holds the line from its first transaction to its end, so that no
    // other program's frame lands between two of them; activity says what it does for the
    // programs that wait meanwhile ("loading an NVRAM image"). Holds nest: the innermost
    // activity is shown, and the line goes when the outermost ends. A hold whose first
    // transaction could not have the line fails its later transactions at once with the
    // same problem rather than waiting again for each.
    virtual void BeginHold(const std::string & /*activity*/) {}
    // How far the operation has come ("block 12 of 128"), shown after its activity.
    virtual void SetHoldProgress(const std::string & /*progress*/) {}
    // Lets the line go between two transactions of a hold, while a person decides
    // something; the next transaction takes it again, behind the programs that waited.
    virtual void LetGoOfHold() {}
    virtual void EndHold() {}

    // Whether the program was asked to stop (a signal): the link then gives up a wait for
    // a reply, and no further transaction starts.
    virtual bool StopRequested() const { return false; }

protected:
    const std::function<void()> &KeepAliveHook() const { return m_keepAlive; }
    void KeepAlive() const {
        if (m_keepAlive) m_keepAlive();
    }

private:
    std::function<void()> m_keepAlive;
};
