#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "device_map.h"
#include "file_contents.h"
#include "settings_binding.h"
#include "settings_file.h"
#include "simulated_site.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;

// A settings file in a directory of its own, read and written through the binding on a
// sign system of the simulated site.
class SettingsBindingTest : public ::testing::Test {
protected:
    void WriteFile(const std::string &text) { WriteWholeFile(m_path, text); }
    std::string FileText() const { return ReadWholeFile(m_path); }

    std::string Load() {
        SettingsFile file(m_path);
        file.Load();
        return SettingsBinding::Load(file, m_site.system, m_devices);
    }

    // Saves as the main window does at its end, with the last-update field as shown.
    void Save(const std::string &lastUpdate) {
        SettingsFile file(m_path);
        file.Load();
        SettingsBinding::Save(file, m_site.system, lastUpdate);
        ASSERT_TRUE(file.Save()) << file.LastError();
    }

    std::string Read(const char *section, const char *key) const {
        SettingsFile file(m_path);
        file.Load();
        return file.ReadString(section, key, "<missing>");
    }

    TemporaryFolder m_folder{"voxa-binding"};
    const fs::path m_path = m_folder.Path() / "voxa.ini";
    SimulatedSite m_site;
    DeviceMap m_devices;
};

TEST_F(SettingsBindingTest, NoFileReadsDefaultsAndTheFirstSaveWritesEverySectionInOrder) {
    EXPECT_EQ(Load(), "Last Update:\nXXX");
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(m_site.system.GetLineTag(i), "XXX") << "line index " << i;
        EXPECT_EQ(m_site.system.GetFaceTag(i), "XXX") << "face " << i;
    }
    EXPECT_EQ(m_site.system.GetPortName(), "XXX");
    EXPECT_FALSE(m_site.system.ShowPortDialog());
    EXPECT_EQ(m_devices.DevicePath("COM1"), "/dev/ttyS0");

    Save("Last Update:\nXXX");
    const std::string text = FileText();
    const auto tags = text.find("[Tags]");
    const auto update = text.find("[UpdateStatus]");
    const auto faces = text.find("[FaceTags]");
    const auto communications = text.find("[Communications]");
    ASSERT_NE(tags, std::string::npos) << text;
    ASSERT_NE(communications, std::string::npos) << text;
    EXPECT_LT(tags, update);
    EXPECT_LT(update, faces);
    EXPECT_LT(faces, communications);
    EXPECT_EQ(Read("Tags", "tag7"), "XXX");
    EXPECT_EQ(Read("UpdateStatus", "lastmsg"), "XXX");
    EXPECT_EQ(Read("FaceTags", "face0"), "XXX");
    // No port was chosen: the placeholder is not saved as one.
    EXPECT_EQ(Read("Communications", "Port"), "<missing>");
    EXPECT_EQ(Read("Communications", "ShowStartup"), "No");
}

TEST_F(SettingsBindingTest, OnlyAnExactYesShowsThePortDialog) {
    for (const char *value : {"yes", "1", "YES", "Yes "}) {
        WriteFile(std::string("[Communications]\nShowStartup=") + value + "\n");
        Load();
        // Values are read trimmed, so "Yes " is still the exact word.
        EXPECT_EQ(m_site.system.ShowPortDialog(), std::string(value) == "Yes ") << value;
    }
    WriteFile("[communications]\nshowstartup=yes\n");
    Load();
    Save("Last Update:\nXXX");
    EXPECT_EQ(Read("Communications", "ShowStartup"), "No");

    WriteFile("[Communications]\nShowStartup=Yes\nPort=COM3\n");
    Load();
    EXPECT_TRUE(m_site.system.ShowPortDialog());
    EXPECT_EQ(m_site.system.GetPortName(), "COM3");
    Save("Last Update:\nXXX");
    EXPECT_EQ(Read("Communications", "ShowStartup"), "Yes");
    EXPECT_EQ(Read("Communications", "Port"), "COM3");
}

TEST_F(SettingsBindingTest, TagsAreSavedAsTheSignSystemStoresThem) {
    // Whatever the tag column shows (leader dots, or none after a tag of 69 characters),
    // the file gets the tag itself.
    const std::string longTag(69, 'T');
    m_site.system.SetLineTag(0, "Super .Unleaded");
    m_site.system.SetLineTag(1, longTag);
    m_site.system.SetLineTag(6, "not installed");
    m_site.system.SetLineTag(7, "Diesel");
    Save("Last Update:\nXXX");
    EXPECT_EQ(Read("Tags", "tag0"), "Super .Unleaded");
    EXPECT_EQ(Read("Tags", "tag1"), longTag);
    EXPECT_EQ(Read("Tags", "tag7"), "Diesel");

    // Lines 7 and 8 come back like the others.
    m_site.system.SetLineTag(0, "");
    Load();
    EXPECT_EQ(m_site.system.GetLineTag(0), "Super .Unleaded");
    EXPECT_EQ(m_site.system.GetLineTag(1), longTag);
    EXPECT_EQ(m_site.system.GetLineTag(6), "not installed");
    EXPECT_EQ(m_site.system.GetLineTag(7), "Diesel");
}

// Stored data survives any number of start/exit cycles byte for byte: the file after ten
// rounds is the file after one, and every tag is what was stored.
TEST_F(SettingsBindingTest, LongAndOddTagsSurviveTenRoundsByteForByte) {
    const std::array<std::string, 8> lines{
        std::string(69, 'L'),                     // no leader dots on the screen
        std::string(255, 'x'),                    // the longest a value can be
        "  Premium  ",                            // blanks at both ends
        "\"Quoted\"",                             // quotes of its own
        "a=b; #c [d]",                            // what a profile line means otherwise
        "Super .Unleaded",                        // what the tag column would cut
        "Gazole \xC3\xA9t\xC3\xA9 \xE2\x82\xAC",  // UTF-8
        std::string(84, 'e') + "\xC3\xA9" + std::string(40, 'z'),  // a character past 84 bytes
    };
    const std::array<std::string, 8> faces{
        "\tTabbed", "North ", ": West", "'", "", "XXX", std::string(255, 'f'), "South"};
    for (int i = 0; i < 8; ++i) {
        m_site.system.SetLineTag(i, lines[i]);
        m_site.system.SetFaceTag(i, faces[i]);
    }
    Save("Last Update:\n12/6/2026 4:29 PM");
    const std::string first = FileText();
    for (int round = 0; round < 10; ++round) {
        Load();
        Save("Last Update:\n12/6/2026 4:29 PM");
        ASSERT_EQ(FileText(), first) << "round " << round;
    }
    Load();
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(m_site.system.GetLineTag(i), lines[i]) << "line index " << i;
        EXPECT_EQ(m_site.system.GetFaceTag(i), faces[i]) << "face " << i;
    }
}

// A line that was never loaded (start-up stopped early, or the controller has fewer lines
// than the file has tags) shows the not-installed text; its name must not be lost.
TEST_F(SettingsBindingTest, LinesNotLoadedKeepTheTagsReadFromTheFile) {
    WriteFile("[Tags]\ntag0=Regular\ntag1=Plus\ntag4=Kerosene\ntag7=Diesel\n");
    Load();
    m_site.system.SetLineTag(1, "Super");  // renamed while running
    Save("Last Update:\nXXX");
    const std::array<const char *, 8> expected{"Regular",  "Super", "XXX", "XXX",
                                               "Kerosene", "XXX",   "XXX", "Diesel"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(Read("Tags", ("tag" + std::to_string(i)).c_str()), expected[i]) << i;
    }
}

TEST_F(SettingsBindingTest, LastMessageIsKeptWhileAnErrorIsShown) {
    WriteFile("[UpdateStatus]\nlastmsg=12/6/2026 4:29 PM\n");
    EXPECT_EQ(Load(), "Last Update:\n12/6/2026 4:29 PM");

    Save("Error:\nBad Value, Price #2");
    EXPECT_EQ(Read("UpdateStatus", "lastmsg"), "12/6/2026 4:29 PM");

    Save("Last Update:\n12/7/2026 9:05 AM");
    EXPECT_EQ(Read("UpdateStatus", "lastmsg"), "12/7/2026 9:05 AM");

    EXPECT_EQ(SettingsBinding::LastMessageFromField("Last Update:\n"), "");
    EXPECT_FALSE(SettingsBinding::LastMessageFromField("Last Update: 5 PM").has_value());
    EXPECT_FALSE(SettingsBinding::LastMessageFromField("e:\nstarts the text").has_value());
}

TEST_F(SettingsBindingTest, LongValuesComeBackCutTo255Characters) {
    const std::string tag(300, 'a');
    WriteFile("[Tags]\ntag2=" + tag + "\n[FaceTags]\nface5=" + tag + "\n");
    Load();
    EXPECT_EQ(m_site.system.GetLineTag(2).size(), 255u);
}

TEST_F(SettingsBindingTest, SavingKeepsEverythingElseInTheFile) {
    WriteFile(
        "; site of station 14\n"
        "[Devices]\n"
        "COM1=/dev/ttyUSB0\n"
        "COM4=/dev/serial/by-id/usb-cc-line\n"
        "\n"
        "[Tags]\n"
        "tag0=Regular\n"
        "[Notes]\n"
        "fitter=visited 3/12\n");
    Load();
    EXPECT_EQ(m_devices.DevicePath("COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(m_devices.DevicePath("COM4"), "/dev/serial/by-id/usb-cc-line");
    EXPECT_EQ(m_devices.DevicePath("COM2"), "/dev/ttyS1");

    Save("Last Update:\nXXX");
    const std::string text = FileText();
    EXPECT_EQ(text.rfind("; site of station 14\n[Devices]\nCOM1=/dev/ttyUSB0\n", 0), 0u) << text;
    EXPECT_NE(text.find("[Notes]\nfitter=visited 3/12\n"), std::string::npos) << text;
    EXPECT_EQ(Read("Tags", "tag0"), "Regular");
    EXPECT_EQ(Read("Devices", "COM4"), "/dev/serial/by-id/usb-cc-line");
}

TEST_F(SettingsBindingTest, ATagCannotInjectKeysOrSections) {
    m_site.system.SetFaceTag(0, "North\n[Communications]\nPort=COM9");
    m_site.system.SetPortName("COM2");
    Save("Last Update:\nXXX");
    EXPECT_EQ(Read("Communications", "Port"), "COM2");
    EXPECT_EQ(Read("FaceTags", "face0"), "North [Communications] Port=COM9");
}

}  // namespace
