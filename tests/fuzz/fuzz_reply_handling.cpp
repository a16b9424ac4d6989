// Replies from a controller that says anything at all: every command operation runs
// against a line that acknowledges the request and then delivers a reply built from the
// fuzzer's bytes (a valid frame, or one with a broken checksum or sync), and checked
// frames also go straight to the decoder. Nothing may crash, hang or read out of bounds,
// whatever the command code, status and data.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <sstream>

#include "link_platform.h"
#include "operator_console.h"
#include "serial_line.h"
#include "sign_system.h"

namespace {

// The bytes a line has to give, shared by every line the link opens.
struct Script {
    std::deque<std::uint8_t> replyBytes;
    bool nakEverything = false;
};

class ScriptedLine : public SerialLine {
public:
    explicit ScriptedLine(Script &script) : m_script(script) {}
    bool Open(const std::string &, int, Parity, StopBits, int) override { return true; }
    void Close() override {}
    int WriteData(const std::uint8_t *, int count) override {
        m_answer = m_script.nakEverything ? kNak : kAck;
        return count;
    }
    int ReadData(std::uint8_t *buffer, int count, int) override {
        if (count == 0) return 0;
        if (m_answer != 0) {  // the answer to a request byte
            buffer[0] = m_answer;
            m_answer = 0;
            return 1;
        }
        if (m_script.replyBytes.empty()) return -1;
        buffer[0] = m_script.replyBytes.front();
        m_script.replyBytes.pop_front();
        return 1;
    }
    std::string LastError() const override { return {}; }

private:
    Script &m_script;
    std::uint8_t m_answer = 0;
};

class ScriptedPlatform : public LinkPlatform {
public:
    explicit ScriptedPlatform(Script &script) : m_script(script) {}
    std::unique_ptr<SerialLine> NewLine() override {
        return std::make_unique<ScriptedLine>(m_script);
    }
    void Pause(std::chrono::milliseconds) override {}

private:
    Script &m_script;
};

class QuietConsole : public OperatorConsole {
public:
    void ShowMessage(const std::string &) override {}
    bool AskYesNo(const std::string &) override { return yes; }
    void Wait(std::chrono::milliseconds) override {}
    bool RunNvramLoad() override { return false; }
    void RequestEnd() override {}
    bool yes = false;
};

// One command operation per selector value.
void RunOperation(SignSystem &s, std::uint8_t which, std::uint8_t argument) {
    const int small = argument % 10 - 1;  // -1 to 8: also out of range
    switch (which % 24) {
        case 0: s.GetCcStatus(); break;
        case 1: s.GetNumberOfLines(); s.ReadLineFormats(); break;
        case 2: s.ReadFaceMasks(); break;
        case 3: s.GetLinePrice(small); break;
        case 4: s.SetLinePrice(small, "1.799"); break;
        case 5: s.VerifyPassword("voxa"); break;
        case 6: s.ChangePassword(""); break;
        case 7: s.GetTime(); break;
        case 8: s.GetDate(); break;
        case 9: s.SetTime({12, 30, 0, "PM"}); break;
        case 10: s.GetResetCount(); break;
        case 11: s.GetFailLog(); break;
        case 12: s.RunTransaction(s.Builder().StopSignTest()); break;
        case 13: s.GetOnOffTime(small); break;
        case 14: s.GetSwitchTime(small, small); break;
        case 15: s.GetIntensityMode(small); break;
        case 16: s.GetFaceLevel(small, small); break;
        case 17: s.GetDutyCycle(small); break;
        case 18: s.GetNvramSize(); break;
        case 19: s.ReadNvramBlock(argument * 16); break;
        case 20: s.WriteNvramBlock(argument * 16, {}); break;
        case 21: s.GetCcSoftwarePartNumber(); break;
        case 22: s.GetDaylightSaving(); break;
        default: s.StartSignTest(); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Script script;
    ScriptedPlatform platform(script);
    QuietConsole console;
    std::ostringstream diagnostics;
    SignSystem system(platform, console);
    system.SetPortName("COM1");
    system.SetDiagnosticStream(diagnostics);

    // Each round: a mode byte, an operation and its argument, then the 19 bytes of a reply
    // from the command code on.
    constexpr std::size_t kRound = 3 + 19;
    for (std::size_t at = 0; at + kRound <= size; at += kRound) {
        const std::uint8_t mode = data[at];
        CommandFrame reply;
        reply[0] = kSyncByte1;
        reply[1] = kSyncByte2;
        for (std::size_t i = 0; i < 19; ++i) reply[2 + i] = data[at + 3 + i];
        reply.StoreChecksum();
        if (mode & 0x10) reply[21] ^= 0x5A;  // a broken checksum
        if (mode & 0x20) reply[1] = 0;       // one sync byte wrong
        console.yes = (mode & 0x40) != 0;
        script.nakEverything = (mode & 0x80) != 0;

        if ((mode & 0x0F) == 0) {
            if (reply.ChecksumValid()) system.Decode(reply);
            continue;
        }
        script.replyBytes.assign(reply.bytes.begin(), reply.bytes.end());
        if (mode & 0x08) script.replyBytes.resize(mode & 0x07);  // cut short
        RunOperation(system, data[at + 1], data[at + 2]);
    }
    // Every text the model keeps must still fit its room.
    for (int i = 0; i < SignSystem::kMaxLines; ++i) {
        if (system.GetLineFormat(i + 1).size() >= SignSystem::kFormatRoom) __builtin_trap();
    }
    if (system.CcStatusText().size() >= SignSystem::kLogRoom) __builtin_trap();
    return 0;
}
