#include "status_handler.h"

#include <chrono>
#include <cstdio>

#include "command_code.h"
#include "sign_system.h"

namespace {

constexpr std::chrono::milliseconds kRepeatedNvramStatusWait{2000};

const char *const kNvramMustBeUpdatedText =
    "Central Controller Has Reported That NVRAM Must Be Updated.\n"
    "If Needed, Contact Supervisor or Lumivane for Assistance.";
const char *const kUpdateNvramQuestion = "Update NVRAM?";

}  // namespace

std::string StatusHandler::MessageFor(int code, int lastCommandCode) {
    switch (code) {
        case 5:
            return kNvramMustBeUpdatedText;
        case 6:
            return "Checksum Failure";
        case 7:
            return "Excessive Receive Failure";
        case 8:
            return "Excessive Transmit Failure";
        case 9:
            return "Receive Timeout Failure";
        case 10:
            return "Transmit Timeout Failure";
        case 11:
            return "Central Controller Glitch!\nReboot Central Controller and Restart VOXA.";
        case 12:
            return "Central Controller: Invalid Line Number";
        case 13:
            return "Central Controller: Invalid Face Number";
        case 14:
            return "Central Controller: Invalid Line Configuration";
        case 15:
            return "Central Controller: Format Mismatch";
        case 16:
            return "Central Controller: Invalid Number of Digits";
        case 17:
            return "Central Controller: Line Update Problem";
        case 18:
            return "Central Controller: Duty Cycle Out of Range";
        case 19:
            return "Central Controller: Face Update Problem";
        case 20:
        case 21:
            return "Central Controller: Intensity Mode Error";
        case 22:
            return "NVRAM Address Invalid, Aborting Transfer";
        case 24:
            return "VOXA sent cc an unknown command.";
        default: {
            // A negative code prints as its 32-bit two's complement: -1 is ffffffff.
            char text[96];
            std::snprintf(text, sizeof text,
                          "CC sent VOXA an unknown status.\nCmd Code: %02x Status:%02x",
                          static_cast<unsigned>(lastCommandCode), static_cast<std::uint32_t>(code));
            return text;
        }
    }
}

void StatusHandler::Handle(int code) {
    SignSystem &s = m_system;
    switch (code) {
        case ControllerStatus::kNvramMustBeUpdated:
            OfferNvramUpdate();
            return;
        case ControllerStatus::kChecksumFailure:
        case ControllerStatus::kExcessiveReceiveFailure:
        case ControllerStatus::kExcessiveTransmitFailure:
        case ControllerStatus::kReceiveTimeoutFailure:
        case ControllerStatus::kTransmitTimeoutFailure:
            CountFailure(code);
            return;
        case ControllerStatus::kLineUpdateProblem:
        case ControllerStatus::kFaceUpdateProblem:
            s.m_console.ShowMessage(MessageFor(code, 0));
            // Refresh the controller's status; no reply is received.
            s.m_link->Send(s.m_builder->GetCcStatus());
            return;
        case ControllerStatus::kNvramAddressInvalid:
            s.m_console.ShowMessage(MessageFor(code, 0));
            s.m_failureFlag = true;
            return;
        case LinkOwner::kNoSync:
        case LinkOwner::kChecksumFailure:
            // The message keeps its fixed text; what went wrong on the line goes with it
            // (for a checksum failure, only when the line hung up in the middle of the reply).
            s.m_console.ShowDetailedMessage(MessageFor(code, s.m_link->LastSentFrame().Code()),
                                            s.m_link->LastLineProblem());
            return;
        default:
            s.m_console.ShowMessage(MessageFor(code, s.m_link->LastSentFrame().Code()));
            return;
    }
}

void StatusHandler::CountFailure(int code) {
    SignSystem &s = m_system;
    int &counter =
        s.m_failureCounters.at(static_cast<std::size_t>(code - ControllerStatus::kChecksumFailure));
    if (counter < kQuietResends) {
        s.ResendQuietly();
        ++counter;
        return;
    }
    s.m_failureFlag = true;
    counter = 0;
    s.m_console.ShowMessage(MessageFor(code, 0));
}

void StatusHandler::OfferNvramUpdate() {
    SignSystem &s = m_system;
    if (s.m_nvramOfferMade) {
        s.m_console.Wait(kRepeatedNvramStatusWait);
        return;
    }
    s.m_console.ShowMessage(kNvramMustBeUpdatedText);
    if (!s.m_console.AskYesNo(kUpdateNvramQuestion)) {
        s.RequestProgramEnd();
        return;
    }
    // Made once: when the load goes on without ending the program (the chosen file could
    // not be opened), the status is only waited out from now on. Marking it before the
    // load also keeps a reply inside the load from offering the update a second time.
    s.m_nvramOfferMade = true;
    if (!s.m_console.RunNvramLoad()) {
        s.RequestProgramEnd();
    }
}
