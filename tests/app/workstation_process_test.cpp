// The real workstation as a newcomer meets it: started without a display, and a first start
// on a virtual display (Xvfb) driven by the keyboard with xdotool, against voxa-ccsim on a
// pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "file_contents.h"
#include "temporary_folder.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char *kMainWindow = "Lumivane Electronic Sign Workstation";
constexpr const char *kPortDialog = "Com Port Configuration";
// Message boxes carry the program's name as their caption.
constexpr const char *kMessageBox = "voxa";
constexpr auto kWindowLimit = 30s;

bool OnPath(const std::string &program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// voxa with the environment given and Qt's test platform taken away.
std::unique_ptr<ChildProcess> StartVoxa(std::vector<std::string> environment,
                                        const std::string &directory) {
    std::vector<std::string> args{"-u", "QT_QPA_PLATFORM", "-u", "DISPLAY",
                                  "-u", "WAYLAND_DISPLAY"};
    args.insert(args.end(), environment.begin(), environment.end());
    args.push_back(VOXA_PATH);
    return std::make_unique<ChildProcess>("/usr/bin/env", args, directory);
}

TEST(Workstation, WithoutADisplaySaysSoAndEndsWithStatus1) {
    TemporaryFolder folder("voxa-no-display");
    auto voxa = StartVoxa({}, folder.Path().string());
    ASSERT_EQ(voxa->Finish(20s), 1) << voxa->ErrText();
    EXPECT_EQ(voxa->ErrText(),
              "voxa needs a graphical display: DISPLAY (or WAYLAND_DISPLAY) is not set.\n"
              "Start it on the desktop, or through ssh -X; voxa-ctl runs the controller's "
              "commands without a display.\n");
    EXPECT_EQ(voxa->OutText(), "");
    // Nothing was written where it ran.
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(Workstation, ADisplayThatDoesNotOpenIsNamed) {
    TemporaryFolder folder("voxa-no-display");
    // No X server listens at display 64999.
    ASSERT_FALSE(std::filesystem::exists("/tmp/.X11-unix/X64999"));
    auto voxa = StartVoxa({"DISPLAY=:64999"}, folder.Path().string());
    ASSERT_EQ(voxa->Finish(20s), 1) << voxa->ErrText();
    EXPECT_EQ(voxa->ErrText(),
              "voxa needs a graphical display: the display \":64999\" could not be opened.\n"
              "Check that it is running and that this user may use it (xauth); voxa-ctl runs "
              "the controller's commands without a display.\n");
}

TEST(Workstation, HelpNeedsNoDisplay) {
    ChildProcess help("/usr/bin/env", {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u",
                                       "QT_QPA_PLATFORM", VOXA_PATH, "--help"});
    ASSERT_EQ(help.Finish(20s), 0) << help.ErrText();
    EXPECT_EQ(help.OutText().rfind("Usage: voxa", 0), 0u) << help.OutText();
}

// A virtual display of its own, voxa-ccsim serving one price line on a pseudo-terminal
// linked in a folder, and the workstation started in an empty folder beside it: a first
// start.
class FirstStart : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OnPath("Xvfb") || !OnPath("xdotool")) {
            GTEST_SKIP() << "Xvfb and xdotool are needed to drive the workstation (scripts/setup "
                            "installs them)";
        }
        std::filesystem::create_directories(m_work);
        std::filesystem::create_directories(m_runtime);
        std::filesystem::permissions(m_runtime, std::filesystem::perms::owner_all);
        m_xvfb = std::make_unique<ChildProcess>(
            "/usr/bin/env", std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0",
                                                     "1024x768x24", "-nolisten", "tcp"});
        const auto number = m_xvfb->ReadLine(20s);
        ASSERT_TRUE(number && !number->empty()) << "Xvfb did not start";
        m_display = ":" + *number;
        m_sim = std::make_unique<ChildProcess>(
            VOXA_CCSIM_PATH, std::vector<std::string>{"--lines", "1", "--trace", "--link", Line()});
        const auto announced = m_sim->ReadLine(5s);
        ASSERT_TRUE(announced && announced->find("listening") != std::string::npos)
            << "voxa-ccsim did not start";
        m_voxa = StartVoxa(
            {"DISPLAY=" + m_display, "XDG_RUNTIME_DIR=" + m_runtime.string(), "LC_ALL=C.UTF-8"},
            m_work.string());
        ASSERT_TRUE(m_voxa->Started());
    }

    std::string Line() const { return (m_folder.Path() / "cc-line").string(); }
    std::string Settings() const { return ReadWholeFile(m_work / "voxa.ini"); }

    // xdotool on the virtual display; its standard output, nothing when it failed.
    std::optional<std::string> Xdotool(const std::vector<std::string> &args) const {
        std::vector<std::string> all{"DISPLAY=" + m_display, "xdotool"};
        all.insert(all.end(), args.begin(), args.end());
        ChildProcess xdotool("/usr/bin/env", all);
        if (xdotool.Finish(10s) != 0) return std::nullopt;
        return xdotool.OutText();
    }
    bool Shown(const std::string &title) const {
        return Xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"}).has_value();
    }
    // Waits for the window, and gives it the keyboard; false when it did not come.
    bool WaitFor(const std::string &title) {
        for (const auto end = Clock::now() + kWindowLimit; Clock::now() < end;) {
            if (const auto id = Xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"})) {
                const std::string window = id->substr(0, id->find('\n'));
                return Xdotool({"windowfocus", "--sync", window}).has_value();
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
    void Keys(const std::vector<std::string> &keys) const {
        std::vector<std::string> args{"key", "--delay", "30"};
        args.insert(args.end(), keys.begin(), keys.end());
        ASSERT_TRUE(Xdotool(args));
    }
    void Type(const std::string &text) const {
        ASSERT_TRUE(Xdotool({"type", "--delay", "30", text}));
    }
    // The workstation's exit status once it ended by itself.
    std::optional<int> Ended() { return m_voxa->Finish(20s); }

    TemporaryFolder m_folder{"voxa-first-start"};
    const std::filesystem::path m_work = m_folder.Path() / "station";
    const std::filesystem::path m_runtime = m_folder.Path() / "runtime";
    std::string m_display;
    // Ended in the reverse order: the workstation, the controller, the display.
    std::unique_ptr<ChildProcess> m_xvfb;
    std::unique_ptr<ChildProcess> m_sim;
    std::unique_ptr<ChildProcess> m_voxa;
};

// No port chosen: OK does not close the port dialog; Escape leaves it, the workstation says
// why it asks the controller nothing, and no placeholder is saved as the port.
TEST_F(FirstStart, PortDialogLeftWithoutAPortAsksNothingAndSavesNoPort) {
    ASSERT_TRUE(WaitFor(kPortDialog)) << m_voxa->ErrText();
    Keys({"Return"});
    // Were OK taken, the controller's status would be asked on a port that opens nothing,
    // and its message box would come at once.
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(Shown(kPortDialog));
    EXPECT_FALSE(Shown(kMessageBox));

    Keys({"Escape"});
    ASSERT_TRUE(WaitFor(kMessageBox)) << "no word on the missing port";
    Keys({"Return"});
    ASSERT_TRUE(WaitFor(kMainWindow));
    // Nothing was typed: Escape ends the workstation at once.
    Keys({"Escape"});
    ASSERT_EQ(Ended(), 0) << m_voxa->ErrText();
    const std::string settings = Settings();
    EXPECT_NE(settings.find("[Communications]"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("Port="), std::string::npos) << settings;
}

// A device typed in the port dialog reaches the controller; a price typed and not sent is
// asked about on Escape, No keeps it, Yes ends without sending it.
TEST_F(FirstStart, TypedDeviceReachesTheControllerAndUnsentPricesAreAskedAbout) {
    ASSERT_TRUE(WaitFor(kPortDialog)) << m_voxa->ErrText();
    Keys({"alt+d"});
    Type(Line());
    Keys({"Return"});
    ASSERT_TRUE(WaitFor(kMainWindow)) << m_voxa->ErrText();
    // The first tick, a second after the start-up reads, lets the price fields take edits;
    // the window shows half a second before it.
    std::this_thread::sleep_for(2500ms);
    Type("2199");
    Keys({"Escape"});
    ASSERT_TRUE(WaitFor(kMessageBox)) << "no question about the unsent price";
    Keys({"Escape"});  // No
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(Shown(kMainWindow));
    EXPECT_FALSE(Shown(kMessageBox));

    ASSERT_TRUE(WaitFor(kMainWindow));
    Keys({"Escape"});
    ASSERT_TRUE(WaitFor(kMessageBox));
    Keys({"y"});  // Yes
    ASSERT_EQ(Ended(), 0) << m_voxa->ErrText();

    const std::string settings = Settings();
    EXPECT_NE(settings.find("=" + Line() + "\n"), std::string::npos) << settings;
    const auto mapped = settings.find("=" + Line());
    const std::string port = settings.substr(settings.rfind('\n', mapped) + 1, 4);
    EXPECT_NE(settings.find("Port=" + port + "\n"), std::string::npos) << settings;
    m_sim->Terminate();
    // The controller was asked for its line, and no price was set.
    EXPECT_NE(m_sim->ErrText().find("(3) status 0"), std::string::npos) << m_sim->ErrText();
    EXPECT_EQ(m_sim->ErrText().find("(2) status"), std::string::npos) << m_sim->ErrText();
}

}  // namespace
