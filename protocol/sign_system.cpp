#include "sign_system.h"

#include <cstdio>
#include <ctime>
#include <iostream>

#include "command_code.h"
#include "reply_decoder.h"
#include "secret_text.h"
#include "status_handler.h"

std::string CutToRoom(const std::string &text, std::size_t room) {
    std::string cut = text.substr(0, text.find('\0'));
    if (room > 0 && cut.size() > room - 1) {
        cut.resize(room - 1);
    }
    return cut;
}

namespace {

// Change password and Verify password carry the password in their request.
bool CarriesPassword(std::uint8_t code) {
    return code == ToByte(CommandCode::ChangePassword) ||
           code == ToByte(CommandCode::VerifyPassword);
}

bool IsLineNumber(int line) {
    return line >= 1 && line <= SignSystem::kMaxLines;
}
bool IsIndex(int index, int count) {
    return index >= 0 && index < count;
}

}  // namespace

SignSystem::SignSystem(LinkPlatform &platform, OperatorConsole &console)
    : m_platform(platform),
      m_console(console),
      m_diagnostics(&std::cout),
      m_builder(std::make_unique<FrameBuilder>()),
      m_link(std::make_unique<ControllerLink>(*this, platform)),
      m_decoder(std::make_unique<ReplyDecoder>(*this)),
      m_statusHandler(std::make_unique<StatusHandler>(*this)) {
    m_faceTags.fill("Not Installed");
    m_lineTags.fill("Not Installed");
    m_lineFormats = {"8.889", "8.889", "8.889", "8.88", "88.88", "88.88", "8.88", "8.88"};

    // Until the controller tells its own, its clock reads as the workstation's, on the
    // same 12-hour dial as the status line's clock.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    m_ccTime = TimeRecord::FromTwentyFourHour(local.tm_hour, local.tm_min, local.tm_sec);
    m_ccDate = DateRecord{local.tm_mon + 1, local.tm_mday, local.tm_year + 1900};
}

SignSystem::~SignSystem() {
    // The frame builder goes first, then the link.
    m_builder.reset();
    m_link.reset();
}

// ---- Accessors ----

std::string SignSystem::GetFaceTag(int face) const {
    return IsIndex(face, kFaces) ? m_faceTags[face] : std::string();
}

void SignSystem::SetFaceTag(int face, const std::string &text) {
    if (IsIndex(face, kFaces)) m_faceTags[face] = CutToRoom(text, kTagRoom);
}

std::string SignSystem::GetLineTag(int lineIndex) const {
    return IsIndex(lineIndex, kMaxLines) ? m_lineTags[lineIndex] : std::string();
}

void SignSystem::SetLineTag(int lineIndex, const std::string &text) {
    if (IsIndex(lineIndex, kMaxLines)) m_lineTags[lineIndex] = CutToRoom(text, kTagRoom);
}

std::string SignSystem::GetLineFormat(int line) const {
    return IsLineNumber(line) ? m_lineFormats[line - 1] : std::string();
}

bool SignSystem::LineFormatRead(int line) const {
    return IsLineNumber(line) && m_lineFormatRead[line - 1];
}

std::uint8_t SignSystem::GetFaceMask(int lineIndex) const {
    return IsIndex(lineIndex, kMaxLines) ? m_faceMasks[lineIndex] : 0;
}

int SignSystem::InstalledLineCount() const {
    return m_numberOfLines > kMaxLines ? kMaxLines : m_numberOfLines;
}

void SignSystem::SetPortName(const std::string &name) {
    m_portName = CutToRoom(name, kPortNameRoom);
}

bool SignSystem::LineChanged(int line) const {
    return IsLineNumber(line) && m_lineChanged[line - 1];
}

void SignSystem::SetLineChanged(int line, bool changed) {
    if (IsLineNumber(line)) m_lineChanged[line - 1] = changed;
}

void SignSystem::SetSignTestResultText(const std::string &text) {
    m_signTestResultText = CutToRoom(text, kLogRoom);
}

// ---- Transactions ----

std::string SignSystem::NoDataText(int commandCode) {
    return "The controller's reply to command " + std::to_string(commandCode) +
           " carried no data; no value was read.";
}

int SignSystem::RunTransaction(const CommandFrame &request) {
    m_requestReached = false;
    m_requestResent = false;
    m_lastSkipped = false;
    const bool despiteAStop = m_runNextDespiteAStop;
    m_runNextDespiteAStop = false;
    if (!m_programEndRequested && !despiteAStop && m_platform.StopRequested()) {
        RequestProgramEnd();
    }
    if (m_programEndRequested) {
        // Nothing goes out. The outcome kept is still that of the last transaction run (the
        // one that ended the program, as a rule); the value fields hold older replies,
        // which must not pass for this request's answer.
        m_lastSkipped = true;
        return kNotRun;
    }
    // Read before anything else: the request is often the frame builder's own frame,
    // which the status handler may build anew during the transaction.
    const bool holdsPassword = CarriesPassword(request.Code());
    // The line is held from the request to the end of its reply's check, which may resend
    // the request: no other program's frames come in between.
    std::string busy;
    if (!m_platform.BeginTransaction(m_portName, busy)) {
        // Another program kept the line for longer than a transaction can last. Reported
        // like a request that got no answer, with the holder named in its details; the
        // controller itself was not asked, so the link's state stays as it was.
        m_link->SetLineProblem(busy);
        m_link->SetLastSentFrame(request);
        m_lastOutcome = LinkOwner::kNoSync;
        Report(m_lastOutcome);
    } else {
        CommandFrame reply{};
        m_link->Send(request);
        m_requestReached = m_link->LastSendReachedEnd();
        if (m_link->Receive(reply) != 0) {
            m_linkDown = true;
        }
        m_lastOutcome = m_link->Check(reply);
        m_platform.EndTransaction();
        if (holdsPassword) SecretText::Wipe(reply.bytes.data(), reply.bytes.size());
    }
    // The transaction is over, quiet resends included: the password is no longer needed
    // anywhere on this side of the line.
    if (holdsPassword) {
        m_builder->WipeData();
        m_link->WipeData();
    }
    if (m_lastOutcome != 0) {
        ++m_failedTransactions;
        if (m_strictTransactions) {
            RequestProgramEnd();
        }
    }
    return m_lastOutcome;
}

int SignSystem::Decode(const CommandFrame &reply) {
    m_linkDown = false;
    const int asked = m_link->LastSentFrame().Code();
    const int answered = reply.Code();
    if (m_strictTransactions && answered != asked && answered != ToByte(CommandCode::NeverSent)) {
        m_console.ShowMessage("The controller answered command " + std::to_string(asked) +
                              " with a reply for command " + std::to_string(answered) +
                              "; the reply was not used.");
        return kReplyForAnotherCommand;
    }
    // The acknowledgement code answers a request that asks for nothing; taken for a
    // request that asks for data, it would leave the previous value to pass for the answer.
    const bool bareAcknowledgement = answered == ToByte(CommandCode::NeverSent) &&
                                     reply.Status() == ControllerStatus::kOk &&
                                     ReplyDecoder::CarriesData(asked);
    const int outcome = bareAcknowledgement ? kNoData : m_decoder->Decode(reply);
    if (outcome == kNoData && m_strictTransactions) {
        m_console.ShowMessage(NoDataText(asked));
    }
    return outcome;
}

void SignSystem::Report(int code) {
    // A reply not waited for because the program was asked to stop is no failure to tell.
    if (code == LinkOwner::kNoSync && m_platform.StopRequested()) return;
    m_decoder->Report(code);
}

void SignSystem::HandleStatus(int code) {
    m_statusHandler->Handle(code);
}

void SignSystem::ResetFailureCounters() {
    m_failureCounters.fill(0);
}

void SignSystem::ResendQuietly() {
    m_link->Resend();
    m_requestResent = true;
    m_requestReached = m_requestReached || m_link->LastSendReachedEnd();
}

void SignSystem::RequestProgramEnd() {
    if (!m_programEndRequested) {
        m_programEndRequested = true;
        m_console.RequestEnd();
    }
}

// ---- The journal ----

namespace {

const char *OnOff(bool on) {
    return on ? "on" : "off";
}

std::string ShortTimeText(const ShortTimeRecord &time) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d %s", time.hour, time.minute, time.ampm.c_str());
    return text;
}

std::string TimeText(const TimeRecord &time) {
    char text[40];
    std::snprintf(text, sizeof text, "%d:%02d:%02d %s", time.hour, time.minute, time.second,
                  time.ampm.c_str());
    return text;
}

std::string DateText(const DateRecord &date) {
    return std::to_string(date.month) + "/" + std::to_string(date.day) + "/" +
           std::to_string(date.year);
}

std::string ModeText(int mode) {
    switch (mode) {
        case 1:
            return "manual";
        case 2:
            return "time of day";
        case 3:
            return "light sensor";
        default:
            return std::to_string(mode);
    }
}

// "duty cycle (level 3)", "switch time (2)".
std::string Indexed(const char *what, int index, const char *name = nullptr) {
    return std::string(what) + " (" + (name != nullptr ? std::string(name) + " " : "") +
           std::to_string(index) + ")";
}

std::string FaceSlot(int face, int slot) {
    return "face level (face " + std::to_string(face) + ", slot " + std::to_string(slot) + ")";
}

}  // namespace

void SignSystem::RecordChange(const std::string &what, const std::optional<std::string> &before,
                              const std::string &after, const std::string &outcome) {
    if (m_journal != nullptr) m_journal->Record({what, before, after, outcome});
}

std::optional<std::string> SignSystem::ReadValue(const std::string &what) const {
    const auto found = m_readValues.find(what);
    if (found == m_readValues.end()) return std::nullopt;
    return found->second;
}

std::string SignSystem::LastOutcomeText() const {
    if (m_lastOutcome == 0) return "done";
    if (m_requestResent) return "unknown";
    if (m_lastOutcome > 0) return "refused";
    if (m_lastSkipped) return "not sent";
    if (m_requestReached) return "unknown";
    return "no answer";
}

void SignSystem::Remember(const std::string &what, const std::string &value) {
    // A value whose read failed is not known: the one read before must not pass for it.
    if (m_lastOutcome == 0 && !m_lastSkipped) {
        m_readValues[what] = value;
    } else {
        m_readValues.erase(what);
    }
}

void SignSystem::Changed(const std::string &what, const std::string &after) {
    // A command that was not run (the program is ending) changed nothing.
    if (m_lastSkipped) return;
    RecordChange(what, ReadValue(what), after, LastOutcomeText());
    // What the controller took is what it holds now; after any other outcome it is not known.
    if (m_lastOutcome == 0 && !after.empty() && what.rfind("password", 0) != 0) {
        m_readValues[what] = after;
    } else {
        m_readValues.erase(what);
    }
}

// ---- Controller commands ----

void SignSystem::ReadLineFormats() {
    for (int n = 0; n < InstalledLineCount(); ++n) {
        // A failed read leaves the format of the line read before it behind: that is not
        // this line's, and a price checked against it could be anything to the controller.
        const bool read = RunTransaction(m_builder->GetLineFormat(n)) == 0;
        m_lineFormats[n] = read ? m_lineFormatScratch : std::string();
        m_lineFormatRead[n] = read;
    }
}

bool SignSystem::SetLinePrice(int line, const std::string &price) {
    return RunTransaction(m_builder->SetLinePrice(line - 1, price)) == 0;
}

std::string SignSystem::GetLinePrice(int line) {
    RunTransaction(m_builder->GetLinePrice(line - 1));
    return m_lastLinePrice;
}

int SignSystem::GetNumberOfLines() {
    RunTransaction(m_builder->GetNumberOfLines());
    return m_numberOfLines;
}

void SignSystem::ChangePassword(const std::string &password) {
    RunTransaction(m_builder->ChangePassword(password));
    // Never the password itself.
    Changed("password changed", "");
}

void SignSystem::SetDaylightSaving(bool on) {
    RunTransaction(m_builder->SetDaylightSaving(on));
    Changed("daylight saving", OnOff(on));
}

bool SignSystem::GetDaylightSaving() {
    RunTransaction(m_builder->GetDaylightSaving());
    Remember("daylight saving", OnOff(m_daylightSaving));
    return m_daylightSaving;
}

void SignSystem::SetTime(const TimeRecord &time) {
    RunTransaction(m_builder->SetTime(time));
    Changed("time", TimeText(time));
}

TimeRecord SignSystem::GetTime() {
    RunTransaction(m_builder->GetTime());
    Remember("time", TimeText(m_ccTime));
    return m_ccTime;
}

DateRecord SignSystem::GetDate() {
    RunTransaction(m_builder->GetDate());
    Remember("date", DateText(m_ccDate));
    return m_ccDate;
}

void SignSystem::SetDate(const DateRecord &date) {
    RunTransaction(m_builder->SetDate(date));
    Changed("date", DateText(date));
}

void SignSystem::ClearResetLog() {
    RunTransaction(m_builder->ClearResetLog());
    Changed("reset log cleared", "");
}

std::string SignSystem::GetResetCount() {
    RunTransaction(m_builder->GetResetCount());
    return m_resetLogText;
}

void SignSystem::ClearFailLog() {
    RunTransaction(m_builder->ClearFailLog());
    Changed("fail log cleared", "");
}

std::string SignSystem::GetFailLog() {
    RunTransaction(m_builder->GetFailLog());
    return m_failLogText;
}

void SignSystem::StartSignTest() {
    RunTransaction(m_builder->StartSignTest());
    Changed("sign test", "started");
}

void SignSystem::SetOnOffTime(int index, const ShortTimeRecord &time) {
    RunTransaction(m_builder->SetOnOffTime(index, time));
    Changed(Indexed("on/off time", index), ShortTimeText(time));
}

ShortTimeRecord SignSystem::GetOnOffTime(int index) {
    RunTransaction(m_builder->GetOnOffTime(index));
    Remember(Indexed("on/off time", index), ShortTimeText(m_onOffTime));
    return m_onOffTime;
}

void SignSystem::SetOnOffTimerSwitch(bool on) {
    RunTransaction(m_builder->SetOnOffTimerSwitch(on));
    Changed("on/off timer", OnOff(on));
}

bool SignSystem::GetOnOffTimerSwitch() {
    RunTransaction(m_builder->GetOnOffTimerSwitch());
    Remember("on/off timer", OnOff(m_onOffTimerSwitch));
    return m_onOffTimerSwitch;
}

void SignSystem::SetDutyCycle(int level, int percent) {
    RunTransaction(m_builder->SetDutyCycle(level, percent));
    Changed(Indexed("duty cycle", level, "level"), std::to_string(percent));
}

int SignSystem::GetDutyCycle(int level) {
    RunTransaction(m_builder->GetDutyCycle(level));
    Remember(Indexed("duty cycle", level, "level"), std::to_string(m_lastDutyCycle));
    return m_lastDutyCycle;
}

void SignSystem::SetSwitchTime(int /*face*/, int index, const ShortTimeRecord &time) {
    RunTransaction(m_builder->SetSwitchTime(index, time));
    Changed(Indexed("switch time", index), ShortTimeText(time));
}

ShortTimeRecord SignSystem::GetSwitchTime(int /*face*/, int index) {
    RunTransaction(m_builder->GetSwitchTime(index));
    Remember(Indexed("switch time", index), ShortTimeText(m_switchTime));
    return m_switchTime;
}

void SignSystem::SetFaceLevel(int face, int slot, int level) {
    RunTransaction(m_builder->SetFaceLevel(face, slot, level));
    Changed(FaceSlot(face, slot), std::to_string(level));
}

int SignSystem::GetFaceLevel(int face, int slot) {
    RunTransaction(m_builder->GetFaceLevel(face, slot));
    Remember(FaceSlot(face, slot), std::to_string(m_lastFaceLevel));
    return m_lastFaceLevel;
}

void SignSystem::SetManualLevel(int face, int level) {
    RunTransaction(m_builder->SetManualLevel(face, level));
    Changed(Indexed("manual level", face, "face"), std::to_string(level));
}

int SignSystem::GetManualLevel(int face) {
    RunTransaction(m_builder->GetManualLevel(face));
    Remember(Indexed("manual level", face, "face"), std::to_string(m_lastManualLevel));
    return m_lastManualLevel;
}

IntensityMode SignSystem::GetIntensityMode(int face) {
    RunTransaction(m_builder->GetIntensityMode(face));
    Remember(Indexed("intensity mode", face, "face"), ModeText(m_lastIntensityMode));
    switch (m_lastIntensityMode) {
        case 2:
            return IntensityMode::TimeOfDay;
        case 3:
            return IntensityMode::LightSensor;
        default:
            return IntensityMode::Manual;
    }
}

void SignSystem::SetIntensityMode(int face, int mode) {
    RunTransaction(m_builder->SetIntensityMode(face, mode));
    Changed(Indexed("intensity mode", face, "face"), ModeText(mode));
}

void SignSystem::ReadFaceMasks() {
    for (int n = 0; n < InstalledLineCount(); ++n) {
        // As with the formats: a failed read is no face at all, not the line before's.
        const bool read = RunTransaction(m_builder->GetLineFaceMask(n)) == 0;
        m_faceMasks[n] = read ? m_lastFaceMask : 0;
    }
}

bool SignSystem::VerifyPassword(const std::string &password) {
    // Cleared first, so a verification whose transaction fails answers false.
    m_passwordAccepted = false;
    RunTransaction(m_builder->VerifyPassword(password));
    // Never the password itself.
    RecordChange(m_passwordAccepted ? "password verified" : "password refused", std::nullopt, "",
                 m_passwordAccepted ? "done" : LastOutcomeText());
    return m_passwordAccepted;
}

bool SignSystem::GetCcStatus() {
    RunTransaction(m_builder->GetCcStatus());
    return m_nvramUpdateFlag;
}

int SignSystem::GetNvramSize() {
    RunTransaction(m_builder->GetNvramSize());
    return m_nvramSize;
}

NvramBlock SignSystem::ReadNvramBlock(int address, int *outcome) {
    const int result = RunTransaction(m_builder->ReadNvramBlock(address));
    if (outcome != nullptr) *outcome = result;
    return m_lastNvramBlock;
}

void SignSystem::WriteNvramBlock(int address, const NvramBlock &data, int *outcome) {
    const int result = RunTransaction(m_builder->WriteNvramBlock(address, data));
    if (outcome != nullptr) *outcome = result;
}

std::string SignSystem::GetCcSoftwarePartNumber() {
    RunTransaction(m_builder->GetCcSoftwarePartNumber());
    return m_ccSoftwarePartNumber;
}

bool SignSystem::PriceCheck(const std::string &price, int line) const {
    const std::string format = GetLineFormat(line);
    // A line whose format could not be read takes no price.
    if (format.empty() || price.size() > format.size()) {
        return false;
    }
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (i >= price.size()) {
            return false;
        }
        const char c = price[i];
        switch (format[i]) {
            case '8':
                if (c < '0' || c > '9') return false;
                break;
            case '9':
            case '.':
            case ',':
                if (c != format[i]) return false;
                break;
            default:
                return false;
        }
    }
    return true;
}

bool SignSystem::TestOpen(const std::string &portName) {
    // Opening a port flushes it: never in the middle of another program's transaction.
    std::string busy;
    if (!m_platform.BeginTransaction(portName, busy)) {
        m_link->SetLineProblem(busy);
        return false;
    }
    const bool opened = m_link->TestOpen(portName);
    m_platform.EndTransaction();
    return opened;
}
