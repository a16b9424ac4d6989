#include "controller_link.h"

#include <algorithm>

#include "secret_text.h"

namespace {

// A diagnostic without its closing line break.
std::string Chomp(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

ControllerLink::ControllerLink(LinkOwner &owner, LinkPlatform &platform)
    : m_owner(owner), m_platform(platform) {}

bool ControllerLink::OpenLine(SerialLine &line, const std::string &portName) const {
    return line.Open(portName, kBaudRate, SerialLine::Parity::None, SerialLine::StopBits::One,
                     kByteSize);
}

int ControllerLink::Send(const CommandFrame &frame) {
    // The bytes go out of the one copy kept for a resend: a frame may hold a password,
    // and no further copy of it is left on the stack.
    m_lastSent = frame;
    const CommandFrame &outgoing = m_lastSent;

    auto line = m_platform.NewLine();
    // A port that does not open is not tested here: every read on it fails at once, and
    // those count as NAKs, so the send ends quickly.
    OpenLine(*line, m_owner.PortName());
    // Bytes from before the request (a late answer, the rest of an abandoned reply) must
    // not pass for the answers to its bytes. The receive that follows keeps what came in
    // since: a controller that answers at once may have begun its reply already.
    line->DiscardInput();

    m_reachedEnd = false;
    m_sendRefusal.clear();
    std::size_t acknowledged = 0;
    int naks = 0;
    int naksAnswered = 0;
    int strayAnswers = 0;
    const auto giveUp = [&] {
        // Refusals the controller answered, not silences, make this a refused request:
        // something on the line spoils the bytes.
        if (naksAnswered > 0) {
            const std::string device =
                line->DeviceName().empty() ? m_owner.PortName() : line->DeviceName();
            m_sendRefusal = "the Central Controller on " + device +
                            " refused the request's bytes (" + std::to_string(naksAnswered) +
                            " NAKs); noise on the line or a wrong line speed spoils them: check "
                            "the cable, and that the controller's port runs at 9600 baud, 8 data "
                            "bits, no parity, 1 stop bit";
        }
        line->Close();
        return -1;
    };
    while (acknowledged < kFrameSize) {
        line->WriteData(&outgoing.bytes[acknowledged], 1);
        if (acknowledged + 1 == kFrameSize) m_reachedEnd = true;
        // Reset before every read: a read that brings nothing must not be taken for the
        // previous byte's answer.
        std::uint8_t answer = 0;
        const int got = line->ReadData(&answer, 1, kReadLimitMs);
        if (got == 1 && answer == kAck) {
            ++acknowledged;
        } else if (got != 1 || answer == kNak) {
            if (got == 1) ++naksAnswered;
            if (++naks > kMaxNaks) return giveUp();
        } else if (++strayAnswers > kMaxStrayAnswers) {
            return giveUp();
        }
    }
    line->Close();
    return 0;
}

int ControllerLink::Receive(CommandFrame &reply) {
    auto line = m_platform.NewLine();
    const std::string portName = m_owner.PortName();
    const bool opened = OpenLine(*line, portName);
    const std::string device = line->DeviceName().empty() ? portName : line->DeviceName();
    if (opened && !m_sendRefusal.empty()) {
        m_lineProblem = m_sendRefusal;
    } else if (opened) {
        m_lineProblem = "no answer from the Central Controller on " + device +
                        "; check that it is switched on and connected to this port";
    } else {
        m_lineProblem = Chomp(line->LastError());
    }

    bool synced = false;
    for (int attempt = 0; attempt < kSyncTries && !synced; ++attempt) {
        // A program asked to stop does not wait out a silent controller's half minute.
        if (m_platform.StopRequested()) {
            m_lineProblem =
                "the wait for the Central Controller's reply on " + device + " was stopped";
            break;
        }
        std::uint8_t byte = 0;
        synced = line->ReadData(&byte, 1, kReadLimitMs) == 1 && byte == kSyncByte1;
        if (!synced) {
            m_platform.Pause(kSyncPause);
        }
    }
    if (!synced) {
        line->Close();
        return -1;
    }

    m_receiveBuffer[0] = kSyncByte1;
    // Exchange n acknowledges the byte taken last and reads byte n. The 22nd acknowledges
    // the checksum byte; its read normally finds nothing and waits out its limit.
    for (std::size_t n = 1; n <= kFrameSize; ++n) {
        line->WriteData(&kAck, 1);
        std::uint8_t byte = kAck;  // a byte that does not arrive in time is taken as ACK
        line->ReadData(&byte, 1, kReadLimitMs);
        m_receiveBuffer[n] = byte;
    }
    // The bytes after a hang-up are taken as ACKs and the checksum test refuses the frame;
    // what happened goes with that report.
    m_lineProblem = line->HungUp() ? "the line to the Central Controller on " + device +
                                         " hung up in the middle of the reply; check that the "
                                         "cable or adapter is plugged in"
                                   : std::string();
    line->Close();
    std::copy_n(m_receiveBuffer.begin(), kFrameSize, reply.bytes.begin());
    return 0;
}

int ControllerLink::Check(const CommandFrame &reply) {
    // One right sync byte is enough: only a frame with both wrong counts as no sync.
    if (reply[0] != kSyncByte1 && reply[1] != kSyncByte2) {
        m_owner.Report(LinkOwner::kNoSync);
        return LinkOwner::kNoSync;
    }
    if (!reply.ChecksumValid()) {
        m_owner.Report(LinkOwner::kChecksumFailure);
        return LinkOwner::kChecksumFailure;
    }
    return m_owner.Decode(reply);
}

int ControllerLink::Resend() {
    return Send(m_lastSent);
}

void ControllerLink::WipeData() {
    SecretText::Wipe(m_lastSent.bytes.data() + 3, kFrameSize - 3);
    SecretText::Wipe(m_receiveBuffer.data(), m_receiveBuffer.size());
}

bool ControllerLink::TestOpen(const std::string &portName) {
    auto line = m_platform.NewLine();
    const bool opened = OpenLine(*line, portName);
    m_lineProblem = opened ? std::string() : Chomp(line->LastError());
    line->Close();
    return opened;
}
