#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "change_journal.h"
#include "controller_link.h"
#include "frame_builder.h"
#include "link_owner.h"
#include "link_platform.h"
#include "operator_console.h"
#include "time_records.h"

class ReplyDecoder;
class StatusHandler;

enum class IntensityMode { Manual, TimeOfDay, LightSensor };

// The workstation's picture of the sign installation and its one gateway to the
// controller. Every command operation runs one transaction, lets the decoder store the
// reply here, and returns the stored value; a failed transaction leaves the previous
// value in place. Controller problems never reach the caller as errors: the status
// handler shows them, resends quietly or offers the NVRAM update.
class SignSystem : public LinkOwner {
public:
    static constexpr int kMaxLines = 8;
    static constexpr int kFaces = 8;
    static constexpr int kFailureCounters = 5;

    // Room of each text field, NUL included; a longer text is cut to room - 1 characters.
    static constexpr std::size_t kPartNumberRoom = 17;
    static constexpr std::size_t kPortNameRoom = 8;
    static constexpr std::size_t kTagRoom = 256;
    static constexpr std::size_t kFormatRoom = 128;
    static constexpr std::size_t kLogRoom = 1024;
    static constexpr std::size_t kAmPmRoom = 4;

    SignSystem(LinkPlatform &platform, OperatorConsole &console);
    ~SignSystem() override;

    SignSystem(const SignSystem &) = delete;
    SignSystem &operator=(const SignSystem &) = delete;

    // ---- Accessors (no controller traffic) ----
    std::string GetFaceTag(int face) const;
    void SetFaceTag(int face, const std::string &text);
    std::string GetLineTag(int lineIndex) const;
    void SetLineTag(int lineIndex, const std::string &text);
    // Empty for a line whose format could not be read: it takes no price.
    std::string GetLineFormat(int line) const;  // line 1-8
    // False once a read of the line's format failed, until one succeeds.
    bool LineFormatRead(int line) const;
    // 0 (no face) for a line whose mask could not be read.
    std::uint8_t GetFaceMask(int lineIndex) const;
    // The number of lines as the controller reported it.
    int NumberOfLines() const { return m_numberOfLines; }
    // The lines that exist in the model: the reported number bounded to 0-8.
    int InstalledLineCount() const;
    bool LineTagsDisplayPending() const { return m_lineTagsDisplayPending; }
    void SetLineTagsDisplayPending(bool pending) { m_lineTagsDisplayPending = pending; }
    bool FailureFlag() const { return m_failureFlag; }
    void SetFailureFlag(bool failed) { m_failureFlag = failed; }
    // Down once a transaction ended without any reply (nothing answered, or the port did
    // not open); up again with the next reply that is decoded, whatever its status. Up
    // until the first transaction.
    bool LinkDown() const { return m_linkDown; }
    // Why the link is down, in the words of the port or "no answer ... on <device>".
    const std::string &LinkProblem() const { return m_link->LastLineProblem(); }
    bool ShowPortDialog() const { return m_showPortDialog; }
    void SetShowPortDialog(bool show) { m_showPortDialog = show; }
    std::string GetPortName() const { return m_portName; }
    void SetPortName(const std::string &name);
    int CurrentFace() const { return m_currentFace; }
    void SetCurrentFace(int face) { m_currentFace = face; }
    bool LineChanged(int line) const;  // line 1-8
    void SetLineChanged(int line, bool changed);
    bool NvramUpdateFlag() const { return m_nvramUpdateFlag; }
    bool NvramOfferMade() const { return m_nvramOfferMade; }
    int FailureCounter(int index) const { return m_failureCounters.at(index); }
    std::string CcStatusText() const { return m_ccStatusText; }
    std::string SignTestResultText() const { return m_signTestResultText; }
    void SetSignTestResultText(const std::string &text);
    std::string ResetLogText() const { return m_resetLogText; }
    std::string FailLogText() const { return m_failLogText; }
    std::string CcSoftwarePartNumber() const { return m_ccSoftwarePartNumber; }
    TimeRecord CcTime() const { return m_ccTime; }
    DateRecord CcDate() const { return m_ccDate; }
    int NvramSize() const { return m_nvramSize; }
    std::string LineFormatScratch() const { return m_lineFormatScratch; }
    std::string LastLinePrice() const { return m_lastLinePrice; }
    bool PasswordAccepted() const { return m_passwordAccepted; }
    bool DaylightSavingFlag() const { return m_daylightSaving; }
    ShortTimeRecord OnOffTime() const { return m_onOffTime; }
    bool OnOffTimerSwitch() const { return m_onOffTimerSwitch; }
    ShortTimeRecord SwitchTime() const { return m_switchTime; }
    int LastDutyCycle() const { return m_lastDutyCycle; }
    int LastFaceLevel() const { return m_lastFaceLevel; }
    int LastManualLevel() const { return m_lastManualLevel; }
    int LastIntensityMode() const { return m_lastIntensityMode; }
    std::uint8_t LastFaceMask() const { return m_lastFaceMask; }
    const NvramBlock &LastNvramBlock() const { return m_lastNvramBlock; }

    // ---- The journal of supervisor changes ----
    // Every command that changes the controller's settings (and every password
    // verification) is put on record there, with the value before when this program read it
    // with status 0 since, and the outcome. Nothing is recorded while none is set.
    void SetJournal(ChangeJournal *journal) { m_journal = journal; }
    ChangeJournal *Journal() const { return m_journal; }
    // Puts a change that is not a controller command on record (a tag, the port, the
    // supervisor mode, an NVRAM image): before and after as given.
    void RecordChange(const std::string &what, const std::optional<std::string> &before,
                      const std::string &after, const std::string &outcome);
    // The value of what as last read with status 0 (or set since); nothing when it was not
    // read, or its last read failed.
    std::optional<std::string> ReadValue(const std::string &what) const;
    // The outcome of the last transaction in the journal's words.
    std::string LastOutcomeText() const;

    // ---- Controller commands: one transaction each ----
    void ReadLineFormats();
    // True when the controller took the price; a refusal or no answer has been reported
    // to the person at the screen by then.
    bool SetLinePrice(int line, const std::string &price);
    std::string GetLinePrice(int line);
    int GetNumberOfLines();
    void ChangePassword(const std::string &password);
    // Told when a new password and its repetition differ; nothing is sent then.
    static constexpr const char *kPasswordsDoNotMatchText =
        "Passwords do not match.\nSystem Password NOT changed.\n";
    void SetDaylightSaving(bool on);
    bool GetDaylightSaving();
    void SetTime(const TimeRecord &time);
    TimeRecord GetTime();
    DateRecord GetDate();
    void SetDate(const DateRecord &date);
    void ClearResetLog();
    std::string GetResetCount();
    void ClearFailLog();
    std::string GetFailLog();
    void StartSignTest();
    void SetOnOffTime(int index, const ShortTimeRecord &time);
    ShortTimeRecord GetOnOffTime(int index);
    void SetOnOffTimerSwitch(bool on);
    bool GetOnOffTimerSwitch();
    void SetDutyCycle(int level, int percent);
    int GetDutyCycle(int level);
    // The switch times are not tied to a face: the face is taken but not sent.
    void SetSwitchTime(int face, int index, const ShortTimeRecord &time);
    ShortTimeRecord GetSwitchTime(int face, int index);
    void SetFaceLevel(int face, int slot, int level);
    int GetFaceLevel(int face, int slot);
    void SetManualLevel(int face, int level);
    int GetManualLevel(int face);
    IntensityMode GetIntensityMode(int face);
    void SetIntensityMode(int face, int mode);
    void ReadFaceMasks();
    bool VerifyPassword(const std::string &password);
    bool GetCcStatus();
    int GetNvramSize();
    // The block operations also give the reply's outcome (0, a controller status, or a
    // negative problem code), so a transfer can stop when an address is refused.
    NvramBlock ReadNvramBlock(int address, int *outcome = nullptr);
    void WriteNvramBlock(int address, const NvramBlock &data, int *outcome = nullptr);
    std::string GetCcSoftwarePartNumber();
    bool PriceCheck(const std::string &price, int line) const;
    bool TestOpen(const std::string &portName);

    // One transaction: send the request, receive the reply, check and decode it. Returns
    // 0 for an accepted command, the controller's status, or a negative problem code.
    // Used by the procedures that build their own frames (NVRAM transfer, sign test).
    int RunTransaction(const CommandFrame &request);
    FrameBuilder &Builder() { return *m_builder; }
    ControllerLink &Link() { return *m_link; }
    // The line's surroundings, for operations that hold the line across transactions
    // (LineHold).
    LinkPlatform &Platform() { return m_platform; }

    // Outcome of the most recent transaction, and how many did not end with status 0.
    int LastOutcome() const { return m_lastOutcome; }
    int FailedTransactionCount() const { return m_failedTransactions; }

    // The outcome of a reply that carries neither the request's command code nor the
    // acknowledgement code 38, under strict transactions.
    static constexpr int kReplyForAnotherCommand = -4;
    // The outcome of a reply that carries none of the data its request asks for: the bare
    // acknowledgement code 38, or a text without its end. The value stays as it was, and
    // must not pass for the controller's answer.
    static constexpr int kNoData = -5;
    // What RunTransaction() returns for a transaction that was not run because the program
    // is ending; LastOutcome() stays that of the last one run.
    static constexpr int kNotRun = -6;
    // Told under strict transactions for a reply that carried no data.
    static std::string NoDataText(int commandCode);

    // Whether the last transaction's request (or a resend of it) went out to its last byte,
    // so that the controller may have acted on it whatever the reply said or whether one
    // came; and whether the status handler resent it, with no reply read after the resend.
    bool LastRequestReachedController() const { return m_requestReached; }
    bool LastRequestResent() const { return m_requestResent; }
    // Whether the program was asked to stop (a signal): no transaction starts any more, and
    // a wait for a reply ends early.
    bool StopRequested() const { return m_platform.StopRequested(); }
    // The next transaction starts even when a stop request comes first (only the program's
    // end keeps it back): a request that is already on record as going out does go out.
    void RunNextDespiteAStop() { m_runNextDespiteAStop = true; }
    // Stricter rules for a run of a few commands from a script (voxa-ctl), where nothing
    // may pass for an answer that is not one: a reply must answer the request it follows
    // (else it is not used, the console is told, and the outcome is
    // kReplyForAnotherCommand), and the first failed transaction ends the run, so that no
    // later one can take the controller's answer to a resend for its own.
    void SetStrictTransactions(bool strict) { m_strictTransactions = strict; }

    // Ends the program through the console. No transaction is started afterwards: the
    // handlers still on the stack return without talking to the controller again.
    void RequestProgramEnd();
    bool ProgramEndRequested() const { return m_programEndRequested; }

    // The person at the screen, for the windows that show their own messages the same way.
    OperatorConsole &Console() { return m_console; }

    // Where the problem report writes its console line (standard output by default).
    void SetDiagnosticStream(std::ostream &stream) { m_diagnostics = &stream; }

    // ---- LinkOwner ----
    std::string PortName() const override { return m_portName; }
    int Decode(const CommandFrame &reply) override;
    void Report(int code) override;

private:
    // After a read: keeps the value read, or forgets it when the read failed.
    void Remember(const std::string &what, const std::string &value);
    // After a command that changes a setting: puts it on record with what was read before.
    void Changed(const std::string &what, const std::string &after);

    friend class ReplyDecoder;
    friend class StatusHandler;

    void HandleStatus(int code);
    void ResetFailureCounters();
    // Resends the last request quietly, noting that it went out again.
    void ResendQuietly();

    LinkPlatform &m_platform;
    OperatorConsole &m_console;
    std::ostream *m_diagnostics;

    bool m_showPortDialog = false;
    bool m_nvramOfferMade = false;
    std::string m_ccSoftwarePartNumber = "No CC SW PN";
    bool m_nvramUpdateFlag = false;
    bool m_failureFlag = false;
    bool m_linkDown = false;
    std::array<int, kFailureCounters> m_failureCounters{};
    std::string m_portName;
    std::unique_ptr<FrameBuilder> m_builder;
    std::string m_signTestResultText;
    std::unique_ptr<ControllerLink> m_link;
    std::array<std::string, kFaces> m_faceTags;
    std::array<std::string, kMaxLines> m_lineFormats;
    std::array<bool, kMaxLines> m_lineFormatRead{true, true, true, true, true, true, true, true};
    std::string m_lineFormatScratch;
    std::string m_lastLinePrice;
    std::array<bool, kMaxLines> m_lineChanged{};
    bool m_lineTagsDisplayPending = true;
    bool m_passwordAccepted = false;
    ChangeJournal *m_journal = nullptr;
    // The last transaction was not run: the program is ending.
    bool m_lastSkipped = false;
    // The values read with status 0 (or set since), by what the journal calls them.
    std::map<std::string, std::string> m_readValues;
    std::array<std::string, kMaxLines> m_lineTags;
    int m_numberOfLines = 6;
    bool m_daylightSaving = true;
    std::string m_resetLogText = "System Started OK.  No resets.";
    std::string m_failLogText = "System Started OK.  No failures.";
    ShortTimeRecord m_onOffTime;
    bool m_onOffTimerSwitch = false;
    int m_lastDutyCycle = 0;
    int m_lastFaceLevel = 0;
    int m_lastManualLevel = 0;
    int m_lastIntensityMode = 0;
    int m_currentFace = 0;
    std::string m_ccStatusText;
    std::array<std::uint8_t, kMaxLines> m_faceMasks{0x0B, 0x16, 0xA8, 0x0B, 0x38, 0x2C, 0x32, 0x91};
    std::uint8_t m_lastFaceMask = 0;
    ShortTimeRecord m_switchTime;
    TimeRecord m_ccTime;
    DateRecord m_ccDate;
    int m_nvramSize = 0;
    NvramBlock m_lastNvramBlock{};

    std::unique_ptr<ReplyDecoder> m_decoder;
    std::unique_ptr<StatusHandler> m_statusHandler;
    int m_lastOutcome = 0;
    int m_failedTransactions = 0;
    bool m_requestReached = false;
    bool m_requestResent = false;
    bool m_runNextDespiteAStop = false;
    bool m_strictTransactions = false;
    bool m_programEndRequested = false;
};

// The one sign system of the running program, for the windows and dialogs that reach it.
inline SignSystem *g_signSystem = nullptr;

// Cuts a text to the room of its field (room includes the NUL).
std::string CutToRoom(const std::string &text, std::size_t room);
