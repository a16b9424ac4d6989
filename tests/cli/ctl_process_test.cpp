// The real voxa-ctl against voxa-ccsim on a pseudo-terminal: the serial port code, the
// settings file in the current directory and the exit statuses as a shell sees them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controller_model.h"
#include "ctl_process_fixture.h"
#include "exit_status.h"
#include "file_contents.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::size_t Occurrences(const std::string &text, const std::string &part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST_F(CtlProcess, ReadsTheLineCountAndFormatsThroughTheDevice) {
    // Not the six lines the workstation assumes before it asks.
    StartSimulator({"--lines", "2"});
    const CtlRun count = RunCtl({"--device", LinkPath(), "get-number-of-lines"});
    EXPECT_EQ(count.status, ExitStatus::kOk) << count.err;
    EXPECT_EQ(count.out, "2\n");
    EXPECT_EQ(count.err, "");

    const CtlRun formats = RunCtl({"--device", LinkPath(), "read-line-formats"});
    EXPECT_EQ(formats.status, ExitStatus::kOk) << formats.err;
    EXPECT_EQ(formats.out, "1 " + m_reference.Current().lines[0].format + "\n2 " +
                               m_reference.Current().lines[1].format + "\n");
    EXPECT_EQ(formats.err, "");
}

TEST_F(CtlProcess, PriceSetIsThePriceReadAndAPriceThatDoesNotFitIsNeverSent) {
    StartSimulator({"--lines", "2", "--trace"});
    const std::string &format = m_reference.Current().lines[1].format;
    std::string price = format;
    for (char &c : price) c = c == '8' ? '4' : c;
    ASSERT_NE(price, m_reference.Current().lines[1].price);

    // In the test's folder, where the price log goes.
    const CtlRun set = RunCtl({"--device", LinkPath(), "set-line-price", "2", price}, m_dir);
    EXPECT_EQ(set.status, ExitStatus::kOk) << set.err;
    EXPECT_EQ(set.out, "");
    EXPECT_EQ(set.err, "");

    const CtlRun refused =
        RunCtl({"--device", LinkPath(), "set-line-price", "2", price + "4"}, m_dir);
    EXPECT_EQ(refused.status, ExitStatus::kRefused);
    EXPECT_EQ(refused.err, "voxa-ctl: Error: Bad Value, Price #2 (format " + format + ")\n");

    const CtlRun get = RunCtl({"--device", LinkPath(), "get-line-price", "2"});
    EXPECT_EQ(get.status, ExitStatus::kOk) << get.err;
    EXPECT_EQ(get.out, price + "\n");

    ASSERT_EQ(m_sim->Terminate(), 0);
    const std::string &trace = m_sim->ErrText();
    EXPECT_EQ(Occurrences(trace, "WS->CC Set line price (2)"), 1u) << trace;
    EXPECT_NE(trace.find("WS->CC Set line price (2): D6 19 02 01" + Hex(price) + " 00"),
              std::string::npos)
        << trace;
}

TEST_F(CtlProcess, PortAndDeviceComeFromVoxaIniInTheCurrentDirectory) {
    StartSimulator({"--lines", "5"});
    {
        std::ofstream ini(m_dir + "/voxa.ini");
        ini << "[Communications]\nPort=COM4\n\n[Devices]\nCOM4=" << LinkPath() << "\nCOM5=" << m_dir
            << "/no-such-tty\n";
    }
    const CtlRun fromIni = RunCtl({"get-number-of-lines"}, m_dir);
    EXPECT_EQ(fromIni.status, ExitStatus::kOk) << fromIni.err;
    EXPECT_EQ(fromIni.out, "5\n");

    // --port picks another name of the map; its device is missing, so nothing answers.
    const CtlRun otherPort = RunCtl({"--port", "COM5", "get-number-of-lines"}, m_dir);
    EXPECT_EQ(otherPort.status, ExitStatus::kTransactionFailed);
    EXPECT_EQ(otherPort.out, "");
    EXPECT_NE(otherPort.err, "");

    // --device serves the port from its own path instead of the map's.
    const CtlRun device =
        RunCtl({"--port", "COM5", "--device", LinkPath(), "get-number-of-lines"}, m_dir);
    EXPECT_EQ(device.status, ExitStatus::kOk) << device.err;
    EXPECT_EQ(device.out, "5\n");
}

TEST_F(CtlProcess, OptionsAreCheckedBeforeAnyPortIsUsed) {
    const CtlRun help = RunCtl({"--help"});
    EXPECT_EQ(help.status, ExitStatus::kOk);
    EXPECT_EQ(help.out.rfind("Usage: voxa-ctl", 0), 0u) << help.out;

    const CtlRun incomplete = RunCtl({"--port"});
    EXPECT_EQ(incomplete.status, ExitStatus::kUsage);
    EXPECT_NE(incomplete.err.find("--port"), std::string::npos) << incomplete.err;

    const CtlRun notComN = RunCtl({"--port", "LPT1", "--device", LinkPath(), "get-time"});
    EXPECT_EQ(notComN.status, ExitStatus::kUsage);
    EXPECT_NE(notComN.err.find("COMn"), std::string::npos) << notComN.err;
    EXPECT_EQ(notComN.out, "");

    const CtlRun unknown = RunCtl({"--device", LinkPath(), "get-everything"});
    EXPECT_EQ(unknown.status, ExitStatus::kUsage);
}

// A failed run always says on standard error what happened, and prints no value.
TEST_F(CtlProcess, EveryFailureSaysWhatHappened) {
    const std::string missing = m_dir + "/no-such-tty";
    const struct {
        const char *name;
        std::vector<std::string> simulator;  // empty: no simulator
        bool holdPort;
        std::vector<std::string> args;
        int status;
        std::string says;
    } kCases[] = {
        {"quiet resend",
         {"--status", "6:1"},
         false,
         {"get-number-of-lines"},
         1,
         "voxa-ctl: Checksum Failure (controller status 6): the request was resent, and the "
         "resend got no confirmation\n"},
        {"reply for another command",
         {"--reply-code", "7"},
         false,
         {"get-number-of-lines"},
         1,
         "voxa-ctl: The controller answered command 4 with a reply for command 7; the reply was "
         "not used.\n"},
        {"held port",
         {"--lines", "2"},
         true,
         {"get-number-of-lines"},
         1,
         "voxa-ctl: Open(): " + LinkPath() +
             ": in use by another program; end that program and "
             "try again (flock() failed: (11) Resource temporarily unavailable)\n"},
        {"missing device",
         {},
         false,
         {"--device", missing, "get-number-of-lines"},
         1,
         "voxa-ctl: Open(): " + missing +
             ": not found; check that the cable or adapter is "
             "plugged in and that the port setting names this device (open() failed: (2) No such "
             "file or directory)\n"},
        {"test-open of a missing device",
         {},
         false,
         {"--device", missing, "test-open", "COM1"},
         1,
         "voxa-ctl: Open(): " + missing + ": not found;"},
        {"long password",
         {},
         false,
         {"verify-password", std::string(18, 'p')},
         2,
         "voxa-ctl: PASSWORD must be at most 17 characters\n"},
        {"empty device",
         {},
         false,
         {"--device", "", "get-number-of-lines"},
         2,
         "voxa-ctl: --device needs a value"},
        {"wait of no number",
         {},
         false,
         {"--wait", "soon", "get-number-of-lines"},
         2,
         "voxa-ctl: --wait needs a number of seconds from 0 to 3600"},
        {"wait too long",
         {},
         false,
         {"--wait", "3601", "get-number-of-lines"},
         2,
         "voxa-ctl: --wait needs a number of seconds from 0 to 3600"},
        {"empty port",
         {},
         false,
         {"--port", "", "get-number-of-lines"},
         2,
         "voxa-ctl: --port needs a value"},
        {"test-open beyond COM9",
         {},
         false,
         {"test-open", "COM10"},
         2,
         "voxa-ctl: COMn must be COM1 to COM9\n"},
    };
    for (const auto &c : kCases) {
        m_sim.reset();
        std::vector<std::string> args = c.args;
        if (!c.simulator.empty()) {
            StartSimulator(c.simulator);
            args.insert(args.begin(), {"--device", LinkPath()});
        }
        int holder = -1;
        if (c.holdPort) {
            holder = ::open(LinkPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            ASSERT_GE(holder, 0) << c.name;
            ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0) << c.name;
        }
        const CtlRun run = RunCtl(args, m_dir);
        if (holder >= 0) ::close(holder);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
        // Usage errors and ports that do not open are found at once, without the half
        // minute of waiting for a controller.
        if (c.simulator.empty()) {
            EXPECT_LT(run.took, 5s) << c.name;
        }
        // test-open says "failed" on standard output; nothing else prints a value.
        if (std::find(c.args.begin(), c.args.end(), "test-open") == c.args.end()) {
            EXPECT_EQ(run.out, "") << c.name;
        }
    }
}

}  // namespace

// The controller's memory goes out and comes back byte for byte through the real serial
// port code; no progress is written to a standard error that is not a terminal.
TEST_F(CtlProcess, NvramImageRoundTripsByteForByte) {
    constexpr std::size_t kSize = 96;
    StartSimulator({"--nvram-size", std::to_string(kSize)});
    const std::vector<std::string> port{"--device", LinkPath()};
    const auto ctl = [&](const std::string &subcommand, const std::string &file) {
        std::vector<std::string> args = port;
        args.insert(args.end(), {subcommand, m_dir + "/" + file});
        return RunCtl(args, {}, 60s);
    };

    const CtlRun saved = ctl("save-nvram-image", "before.nvr");
    EXPECT_EQ(saved.status, ExitStatus::kOk) << saved.err;
    EXPECT_EQ(saved.out + saved.err, "");
    const std::vector<std::uint8_t> initial = ControllerModel::InitialNvram(kSize);
    EXPECT_EQ(ReadWholeFile(m_dir + "/before.nvr"), std::string(initial.begin(), initial.end()));

    std::string image(kSize, '\0');
    for (std::size_t i = 0; i < kSize; ++i) image[i] = static_cast<char>(255 - i * 3);
    std::ofstream(m_dir + "/new.nvr", std::ios::binary) << image;
    const CtlRun loaded = ctl("load-nvram-image", "new.nvr");
    EXPECT_EQ(loaded.status, ExitStatus::kOk) << loaded.err;
    EXPECT_EQ(loaded.out, "VOXA must be restarted to comply with NVRAM changes.\n");
    EXPECT_EQ(loaded.err, "");

    const CtlRun again = ctl("save-nvram-image", "after.nvr");
    EXPECT_EQ(again.status, ExitStatus::kOk) << again.err;
    EXPECT_EQ(ReadWholeFile(m_dir + "/after.nvr"), image);
}
