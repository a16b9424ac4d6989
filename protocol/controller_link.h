#pragma once

#include <chrono>

#include "command_frame.h"
#include "link_owner.h"
#include "link_platform.h"

// Moves one frame at a time between the workstation and the controller, every byte
// acknowledged on its own. No port is held between calls: every Send and every Receive
// opens a fresh line and closes it on every way out, so a port name changed in the
// meantime takes effect at the next frame.
class ControllerLink {
public:
    static constexpr int kReadLimitMs = 500;
    static constexpr std::chrono::milliseconds kSyncPause{10};
    static constexpr int kSyncTries = 50;
    static constexpr int kMaxNaks = 3;
    // Answers that are neither ACK nor NAK are not counted as refusals, but a line that
    // answers nothing but garbage (a controller at the wrong baud rate) must not keep
    // Send writing the same byte for ever.
    static constexpr int kMaxStrayAnswers = 100;

    ControllerLink(LinkOwner &owner, LinkPlatform &platform);

    // 0 when all 22 bytes were acknowledged; -1 after the fourth NAK (a missing answer
    // counts as a NAK) or too many stray answers.
    int Send(const CommandFrame &frame);
    // 0 when a frame was taken; -1 when no sync byte came in 50 tries, the reply left as it was.
    int Receive(CommandFrame &reply);
    // Tests sync and checksum; hands a good frame to the owner's decoder and returns its
    // result, otherwise reports the problem code and returns it.
    int Check(const CommandFrame &reply);
    // Sends the last sent frame again; no reply is received.
    int Resend();
    // Opens the named port with the line settings and closes it again at once.
    bool TestOpen(const std::string &portName);

    const CommandFrame &LastSentFrame() const { return m_lastSent; }
    // Whether the last Send wrote the frame's last byte: only then can the controller have
    // taken it, whatever came back.
    bool LastSendReachedEnd() const { return m_reachedEnd; }
    // A request that could not go out (its line was busy) still names the command in
    // the message that reports it.
    void SetLastSentFrame(const CommandFrame &frame) { m_lastSent = frame; }
    // Overwrites the data and checksum of the last sent frame, and the last received
    // bytes, with zeros once a transaction whose request held a password is over. The
    // last sent frame keeps its command code, so messages still name the command; a
    // resend after this sends no password.
    void WipeData();
    // Why the last Receive (or Test open) got nothing, for whoever has to put it right:
    // the port's own diagnostic when it would not open, that the controller refused the
    // request's bytes when a send ended on NAKs, else that nothing answered on it.
    // After a Receive that took a frame: that the line hung up in the middle of it, or
    // empty.
    const std::string &LastLineProblem() const { return m_lineProblem; }
    void SetLineProblem(std::string problem) { m_lineProblem = std::move(problem); }

private:
    bool OpenLine(SerialLine &line, const std::string &portName) const;

    LinkOwner &m_owner;
    LinkPlatform &m_platform;
    CommandFrame m_lastSent;
    bool m_reachedEnd = false;
    // Set when the last Send ended on the controller's NAKs: what the next Receive's
    // silence then means.
    std::string m_sendRefusal;
    std::string m_lineProblem;
    // The 22 frame bytes plus the spare byte of the last receive exchange.
    std::array<std::uint8_t, kFrameSize + 1> m_receiveBuffer{};
};
