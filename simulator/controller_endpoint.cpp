#include "controller_endpoint.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "command_code.h"

namespace {

// Line noise for the junk fault; never 0xD6, which the workstation would take as sync.
constexpr std::array<std::uint8_t, 5> kJunkPattern{0x55, 0xAA, 0x00, 0xFF, 0x3C};

// A request that carries a password from byte 3: Change password and Verify password.
bool CarriesPassword(const CommandFrame &frame, bool reply) {
    return !reply && (frame.Code() == ToByte(CommandCode::ChangePassword) ||
                      frame.Code() == ToByte(CommandCode::VerifyPassword));
}

// The frame's bytes in hex. Hidden bytes show as "**": the password's text up to its NUL,
// and the checksum, whose sum would give the text away.
std::string Hex(const CommandFrame &frame, bool hideText) {
    std::size_t textEnd = 3;
    if (hideText) {
        while (textEnd <= kLastDataIndex && frame[textEnd] != 0) ++textEnd;
    }
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        const bool hidden = hideText && ((i >= 3 && i < textEnd) || i == kChecksumIndex);
        if (hidden) {
            std::snprintf(byte, sizeof byte, i == 0 ? "%s" : " %s", "**");
        } else {
            std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", frame[i]);
        }
        text += byte;
    }
    return text;
}

}  // namespace

ControllerEndpoint::ControllerEndpoint(ControllerModel::WallClock clock, std::uint32_t seed)
    : m_model(std::move(clock)), m_random(seed) {}

std::string ControllerEndpoint::Describe(const CommandFrame &frame, bool reply,
                                         bool showSecrets) {
    std::string text = reply ? "CC->WS " : "WS->CC ";
    text += ControllerModel::CommandName(frame.Code());
    text += " (" + std::to_string(frame.Code()) + ")";
    if (reply) {
        text += " status " + std::to_string(frame.Status());
    }
    if (!frame.ChecksumValid()) {
        text += " bad checksum";
    }
    return text + ": " + Hex(frame, !showSecrets && CarriesPassword(frame, reply));
}

void ControllerEndpoint::Trace(const std::string &line) const {
    if (m_trace) {
        m_trace(line);
    }
}

double ControllerEndpoint::Draw() {
    // mt19937 is fully specified, unlike the standard distributions, so a seed gives
    // the same NAKs on every platform.
    return static_cast<double>(m_random()) / 4294967296.0;
}

std::vector<std::uint8_t> ControllerEndpoint::TakeOutput() {
    std::vector<std::uint8_t> output;
    output.swap(m_output);
    return output;
}

void ControllerEndpoint::GoIdle(const std::string &why) {
    if (!why.empty()) {
        Trace(why);
    }
    m_phase = Phase::Idle;
}

void ControllerEndpoint::StartRequest() {
    if (m_phase == Phase::ReplyDelay || m_phase == Phase::SyncWait || m_phase == Phase::Replying) {
        Trace("reply abandoned: the workstation started a new request");
    }
    m_phase = Phase::Receiving;
    m_received = 0;
    m_request = CommandFrame{};
    m_nakedPositions.clear();
    m_junkedPositions.clear();
}

void ControllerEndpoint::Unplug() {
    m_unplugged = true;
    m_output.clear();
    GoIdle("line unplugged after " + std::to_string(m_bytesTaken) + " bytes from the workstation");
}

void ControllerEndpoint::ReceiveByte(std::uint8_t byte, Millis now) {
    Advance(now);
    if (m_unplugged) {
        return;
    }
    ++m_bytesTaken;
    if (m_faults.unplugAfterBytes && m_bytesTaken >= *m_faults.unplugAfterBytes) {
        Unplug();
        return;
    }
    if (m_faults.silent) {
        return;
    }
    switch (m_phase) {
        case Phase::Idle:
            if (byte == kSyncByte1) {
                StartRequest();
                AnswerRequestByte(byte, now);
            }
            return;
        case Phase::Receiving:
            if (m_received == 0 && byte != kSyncByte1) {
                GoIdle("");
                return;
            }
            if (m_received == 1 && byte != kSyncByte2) {
                // A frame always starts D6 19: a second D6 is the start of a new frame.
                if (byte == kSyncByte1) {
                    StartRequest();
                    AnswerRequestByte(byte, now);
                } else {
                    GoIdle("request dropped: byte 1 was not 0x19");
                }
                return;
            }
            AnswerRequestByte(byte, now);
            return;
        case Phase::ReplyDelay:
        case Phase::SyncWait:
        case Phase::Replying:
            if (byte == kSyncByte1) {
                StartRequest();
                AnswerRequestByte(byte, now);
            } else if (byte == kAck && m_phase != Phase::ReplyDelay) {
                ReplyAcknowledged(now);
            }
            return;
    }
}

void ControllerEndpoint::AnswerRequestByte(std::uint8_t byte, Millis now) {
    const int position = m_received;
    m_lastByteAt = now;
    if (m_faults.nakAt.count(position) != 0 && m_nakedPositions.insert(position).second) {
        Emit(kNak);
        return;
    }
    if (m_faults.junkAnswerAt.count(position) != 0 && m_junkedPositions.insert(position).second) {
        Emit(FaultPlan::kJunkAnswer);
        return;
    }
    if (m_faults.nakRate > 0.0 && Draw() < m_faults.nakRate) {
        Emit(kNak);
        return;
    }
    m_request[position] = byte;
    ++m_received;
    Emit(kAck);
    if (m_received == static_cast<int>(kFrameSize)) {
        TakeRequest(now);
    }
}

CommandFrame ControllerEndpoint::ReplyTo(const CommandFrame &request) {
    const bool forcedHere =
        !m_faults.forcedStatusCommand || *m_faults.forcedStatusCommand == request.Code();
    if (m_faults.forcedStatusCount != 0 && forcedHere) {
        if (m_faults.forcedStatusCount > 0) {
            --m_faults.forcedStatusCount;
        }
        return ControllerModel::MakeReply(request.Code(), m_faults.forcedStatus);
    }
    // The fault plan's conditions stand in for the model's own for this one reply, so
    // they never linger in the model once the plan is changed back.
    ControllerModel::State &state = m_model.Current();
    const bool ownSignTestFault = state.signTestFault;
    state.signTestFault = ownSignTestFault || m_faults.signTestFails;
    CommandFrame reply;
    if (m_faults.ccStatusCode && request.Code() == ToByte(CommandCode::GetCcStatus)) {
        const ControllerModel::CodedText ownStatus = state.ccStatus;
        state.ccStatus = ControllerModel::ConditionReport(*m_faults.ccStatusCode);
        reply = m_model.Handle(request);
        state.ccStatus = ownStatus;
    } else {
        reply = m_model.Handle(request);
    }
    if (m_faults.manglePrice && request.Code() == ToByte(CommandCode::SetLinePrice) &&
        reply.Status() == ControllerStatus::kOk) {
        ControllerModel::PriceLine &line = state.lines[request[3]];
        for (std::size_t i = 0; i < line.price.size() && i < line.format.size(); ++i) {
            char &digit = line.price[i];
            if (line.format[i] == '8' && digit >= '0' && digit <= '9') {
                digit = digit == '9' ? '0' : static_cast<char>(digit + 1);
                break;
            }
        }
    }
    if (m_faults.reportedNvramSize && request.Code() == ToByte(CommandCode::GetNvramSize) &&
        reply.Status() == ControllerStatus::kOk) {
        reply[4] = static_cast<std::uint8_t>(*m_faults.reportedNvramSize >> 8);
        reply[5] = static_cast<std::uint8_t>(*m_faults.reportedNvramSize & 0xFF);
        reply.StoreChecksum();
    }
    state.signTestFault = ownSignTestFault;
    return reply;
}

void ControllerEndpoint::TakeRequest(Millis now) {
    Trace(Describe(m_request, false, m_traceSecrets));
    m_requests.push_back(m_request);
    if (m_requests.size() > kHistoryLimit) {
        m_requests.pop_front();
    }
    m_reply = ReplyTo(m_request);
    if (m_faults.replyCode) {
        m_reply[2] = *m_faults.replyCode;
        m_reply.StoreChecksum();
    }
    if (m_faults.corruptChecksum) {
        m_reply[kChecksumIndex] = static_cast<std::uint8_t>(~m_reply[kChecksumIndex]);
    }
    Trace(Describe(m_reply, true, m_traceSecrets));
    m_phase = Phase::ReplyDelay;
    m_replyAt = now + m_replyDelay;
}

void ControllerEndpoint::SendReplyByte(int index, Millis now) {
    Emit(m_reply[static_cast<std::size_t>(index)]);
    m_sent = index;
    m_ackDeadline = now + kAckLimit;
    if (m_faults.stopAfterReplyByte && index >= *m_faults.stopAfterReplyByte) {
        GoIdle("reply cut after byte " + std::to_string(index));
    }
}

void ControllerEndpoint::ReplyAcknowledged(Millis now) {
    if (m_phase == Phase::SyncWait) {
        m_phase = Phase::Replying;
    }
    if (m_sent + 1 == static_cast<int>(kFrameSize)) {
        ++m_repliesCompleted;
        GoIdle("");
        return;
    }
    SendReplyByte(m_sent + 1, now);
}

void ControllerEndpoint::Advance(Millis now) {
    if (m_faults.silent || m_unplugged) {
        m_phase = Phase::Idle;
        return;
    }
    for (;;) {
        switch (m_phase) {
            case Phase::Idle:
                return;
            case Phase::Receiving:
                if (now - m_lastByteAt > kInterByteLimit) {
                    GoIdle("request discarded after " + std::to_string(m_received) +
                           " bytes: the workstation stopped sending");
                    continue;
                }
                return;
            case Phase::ReplyDelay:
                if (now < m_replyAt) {
                    return;
                }
                for (int i = 0; i < m_faults.junkBeforeSync; ++i) {
                    Emit(kJunkPattern[static_cast<std::size_t>(i) % kJunkPattern.size()]);
                }
                m_phase = Phase::SyncWait;
                m_nextSyncAt = m_replyAt + kSyncRepeat;
                m_giveUpAt = m_replyAt + kSyncGiveUp;
                SendReplyByte(0, m_replyAt);
                continue;
            case Phase::SyncWait:
                if (now >= m_giveUpAt) {
                    GoIdle("reply given up: the sync byte was never acknowledged");
                    continue;
                }
                if (now < m_nextSyncAt) {
                    return;
                }
                if (m_syncRepeatHook) {
                    m_syncRepeatHook();
                }
                SendReplyByte(0, m_nextSyncAt);
                // Repeats missed while nobody called in are not made up for.
                while (m_nextSyncAt <= now) {
                    m_nextSyncAt += kSyncRepeat;
                }
                continue;
            case Phase::Replying:
                if (now >= m_ackDeadline) {
                    GoIdle("reply dropped: no ACK for byte " + std::to_string(m_sent));
                    continue;
                }
                return;
        }
    }
}

std::optional<ControllerEndpoint::Millis> ControllerEndpoint::NextDeadline() const {
    switch (m_phase) {
        case Phase::Idle:
            break;
        case Phase::Receiving:
            return m_lastByteAt + kInterByteLimit + Millis{1};
        case Phase::ReplyDelay:
            return m_replyAt;
        case Phase::SyncWait:
            return std::min(m_nextSyncAt, m_giveUpAt);
        case Phase::Replying:
            return m_ackDeadline;
    }
    return std::nullopt;
}
