#include "settings_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "file_contents.h"
#include "file_size_limit.h"
#include "temporary_folder.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Entries(const fs::path &directory) {
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class SettingsFileTest : public ::testing::Test {
protected:
    // A settings file loaded from the given text.
    SettingsFile Loaded(const std::string &text) {
        WriteWholeFile(m_path, text);
        SettingsFile settings(m_path);
        EXPECT_TRUE(settings.Load());
        return settings;
    }

    TemporaryFolder m_folder{"voxa-settings"};
    const fs::path m_dir = m_folder.Path();
    const fs::path m_path = m_dir / "voxa.ini";
};

// --- Reading ---------------------------------------------------------------------------

TEST_F(SettingsFileTest, MissingFileReadsDefaults) {
    SettingsFile settings(m_path);
    EXPECT_FALSE(settings.Load());
    EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), "XXX");
    EXPECT_EQ(settings.ReadString("Communications", "Port", "XXX"), "XXX");
    EXPECT_EQ(settings.Text(), "");
}

TEST_F(SettingsFileTest, SectionAndKeyNamesIgnoreCase) {
    SettingsFile settings = Loaded("[Tags]\nTag0=Regular\n[COMMUNICATIONS]\nport=COM3\n");
    const struct {
        const char *section;
        const char *key;
        const char *expected;
    } kCases[] = {
        {"Tags", "tag0", "Regular"},
        {"TAGS", "TAG0", "Regular"},
        {"tags", "Tag0", "Regular"},
        {"Communications", "Port", "COM3"},
        {"communications", "PORT", "COM3"},
        {"Tags", "tag1", "XXX"},
        {"Tag", "tag0", "XXX"},
        {"Communications", "Por", "XXX"},
    };
    for (const auto &c : kCases) {
        EXPECT_EQ(settings.ReadString(c.section, c.key, "XXX"), c.expected)
            << c.section << "/" << c.key;
    }
}

TEST_F(SettingsFileTest, FirstMatchingSectionAndKeyWin) {
    SettingsFile settings = Loaded(
        "[Tags]\ntag0=first\ntag0=second\n"
        "[tags]\ntag0=third\ntag1=only in the second section\n");
    EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), "first");
    EXPECT_EQ(settings.ReadString("Tags", "tag1", "XXX"), "XXX");
}

TEST_F(SettingsFileTest, ValuesAndNamesAreTrimmedOfBlanksAndTabs) {
    SettingsFile settings = Loaded(
        "  [ Tags ]  \n"
        " \ttag0 \t=  \t Super  Unleaded \t \n"
        "tag1=   \n"
        "tag2=a=b\n");
    EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), "Super  Unleaded");
    EXPECT_EQ(settings.ReadString("Tags", "tag1", "XXX"), "");
    EXPECT_EQ(settings.ReadString("Tags", "tag2", "XXX"), "a=b");
}

TEST_F(SettingsFileTest, EmptyValueIsNotAMissingKey) {
    SettingsFile settings = Loaded("[UpdateStatus]\nlastmsg=\nnoequals\n");
    EXPECT_EQ(settings.ReadString("UpdateStatus", "lastmsg", "XXX"), "");
    EXPECT_EQ(settings.ReadString("UpdateStatus", "noequals", "XXX"), "XXX");
    EXPECT_EQ(settings.ReadString("UpdateStatus", "other", "XXX"), "XXX");
}

TEST_F(SettingsFileTest, CommentsUnknownLinesAndKeysBeforeAnySectionAreIgnored) {
    SettingsFile settings = Loaded(
        "tag0=before any section\n"
        "[Tags]\n"
        "; tag0=commented out\n"
        "# tag0=commented out too\n"
        "just some text\n"
        "=no key\n"
        "[unterminated\n"
        "tag0=Diesel\n");
    EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), "Diesel");
    EXPECT_EQ(settings.ReadString("Tags", "", "XXX"), "XXX");
}

TEST_F(SettingsFileTest, ReadsCrLfAndByteOrderMarkAndKeepsThem) {
    SettingsFile settings = Loaded("\xEF\xBB\xBF[Tags]\r\ntag0=Regular\r\ntag1=Plus\r\n");
    EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), "Regular");
    EXPECT_EQ(settings.ReadString("Tags", "tag1", "XXX"), "Plus");
    ASSERT_TRUE(settings.WriteString("Tags", "tag2", "Cr\xC3\xA8me"));
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ReadWholeFile(m_path),
              "\xEF\xBB\xBF[Tags]\r\ntag0=Regular\r\ntag1=Plus\r\ntag2=Cr\xC3\xA8me\r\n");
}

// A file the Windows programs wrote: code page 1252, CRLF, bytes this program does not know
// (one the code page leaves unassigned among them) and no line end after the last line.
TEST_F(SettingsFileTest, WindowsFileComesBackByteForByte) {
    const std::string before =
        "; Station 14 \x96 caf\xE9\r\n"
        "[Tags]\r\n"
        "tag0=Cr\xE8me\r\n"
        "tag1=Plus\r\n"
        "\r\n"
        "[Vendor]\r\n"
        "raw=\x81\x8D\x8F\x90\x9D\xFF\x80";
    SettingsFile settings = Loaded(before);
    EXPECT_EQ(settings.FileEncoding(), SettingsFile::Encoding::kWindows1252);
    EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), "Cr\xC3\xA8me");  // UTF-8 inside
    EXPECT_EQ(settings.Text(), before);

    // Values written back go out in the code page, with the file's line ends.
    ASSERT_TRUE(settings.WriteString("Tags", "tag0",
                                     "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                                     "e"));
    ASSERT_TRUE(settings.WriteString("Tags", "tag2", "Diesel \xE2\x82\xAC"));
    ASSERT_TRUE(settings.WriteString("Communications", "Port", "COM2"));
    ASSERT_TRUE(settings.Save()) << settings.LastError();
    std::string expected = before;
    expected.replace(expected.find("tag0=Cr\xE8me"), 10,
                     "tag0=Cr\xE8me br\xFBl\xE9"
                     "e");
    expected.insert(expected.find("\r\n\r\n[Vendor]") + 2, "tag2=Diesel \x80\r\n");
    expected += "\r\n\r\n[Communications]\r\nPort=COM2\r\n";
    EXPECT_EQ(ReadWholeFile(m_path), expected);
}

TEST_F(SettingsFileTest, MixedLineEndsStayAsTheyWere) {
    SettingsFile settings = Loaded("[Tags]\ntag0=a\r\ntag1=b\n\r\n");
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "A"));
    ASSERT_TRUE(settings.WriteString("Tags", "tag2", "c"));
    EXPECT_EQ(settings.Text(), "[Tags]\ntag0=A\r\ntag1=b\ntag2=c\n\r\n");
}

// Bytes that only looked like Windows-1252 because of the value just replaced would read as
// UTF-8 next time, and as other characters: the file becomes UTF-8 instead.
TEST_F(SettingsFileTest, WindowsFileThatWouldReadAsUtf8BecomesUtf8) {
    SettingsFile settings = Loaded("[Tags]\r\ntag0=Cr\xE8me\r\ntag1=\xC3\xA9\r\n");
    const std::string tag1 = settings.ReadString("Tags", "tag1", "");
    EXPECT_EQ(tag1, "\xC3\x83\xC2\xA9");
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "Plus"));
    SettingsFile again = Loaded(settings.Text());
    EXPECT_EQ(again.ReadString("Tags", "tag1", ""), tag1);
    EXPECT_EQ(again.ReadString("Tags", "tag0", ""), "Plus");
}

// A last line cut off after its carriage return reads as it will once a line follows it.
TEST_F(SettingsFileTest, CarriageReturnAtTheEndEndsTheLastLine) {
    SettingsFile settings = Loaded("[Communications]\r\nPort=COM2\r\r");
    EXPECT_EQ(settings.ReadString("Communications", "Port", ""), "COM2");
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "Regular"));
    SettingsFile again = Loaded(settings.Text());
    EXPECT_EQ(again.ReadString("Communications", "Port", ""), "COM2");
    EXPECT_EQ(again.ReadString("Tags", "tag0", ""), "Regular");
}

// A character the code page has no byte for is not lost: the file becomes UTF-8.
TEST_F(SettingsFileTest, WindowsFileTakesUtf8RatherThanLoseACharacter) {
    SettingsFile settings = Loaded("[Tags]\r\ntag0=Cr\xE8me\r\n");
    ASSERT_TRUE(settings.WriteString("Tags", "tag1",
                                     "\xC5\x81\xC3\xB3"
                                     "d\xC5\xBA"));  // Łódź
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ReadWholeFile(m_path),
              "[Tags]\r\ntag0=Cr\xC3\xA8me\r\ntag1=\xC5\x81\xC3\xB3"
              "d\xC5\xBA\r\n");
    SettingsFile reread(m_path);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.ReadString("Tags", "tag0", "XXX"), "Cr\xC3\xA8me");
}

TEST_F(SettingsFileTest, MatchingQuotesAroundAValueAreTakenOff) {
    const struct {
        const char *written;
        const char *read;
    } kCases[] = {
        {"\"Premium\"", "Premium"}, {"'Plus'", "Plus"},
        {"\" Super \"", " Super "}, {"\"\"", ""},
        {"\"Diesel'", "\"Diesel'"}, {"\"", "\""},
        {"'a'b'", "a'b"},           {"\"\"\"\"", "\"\""},
    };
    for (const auto &c : kCases) {
        SettingsFile settings = Loaded(std::string("[Tags]\ntag0=") + c.written + "\n");
        EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), c.read) << c.written;
        // What the program writes reads back as it was written.
        ASSERT_TRUE(settings.WriteString("Tags", "tag1", c.read));
        EXPECT_EQ(settings.ReadString("Tags", "tag1", "XXX"), c.read) << c.written;
    }
}

TEST_F(SettingsFileTest, ValuesAreCutTo255Bytes) {
    const struct {
        std::size_t length;
        std::size_t expected;
    } kCases[] = {{0, 0}, {1, 1}, {254, 254}, {255, 255}, {256, 255}, {1000, 255}};
    for (const auto &c : kCases) {
        const std::string value(c.length, 'v');
        SettingsFile settings = Loaded("[Tags]\ntag0=" + value + "\n");
        EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), value.substr(0, c.expected))
            << "length " << c.length;
        EXPECT_EQ(settings.ReadString("Tags", "missing", value), value.substr(0, c.expected))
            << "default of length " << c.length;
    }
}

TEST_F(SettingsFileTest, CutNeverSplitsAUtf8Character) {
    const std::string a253(253, 'a');
    const std::string a254(254, 'a');
    const struct {
        std::string value;
        std::string expected;
    } kCases[] = {
        {a254 + "\xC3\xA9", a254},                     // two-byte character across the cut
        {a253 + "\xC3\xA9" + "x", a253 + "\xC3\xA9"},  // ends exactly at the cut
        {a253 + "\xE2\x82\xAC", a253},                 // three-byte character across the cut
        {a254 + "\x80\x80", a254 + "\xE2\x82\xAC"},    // not UTF-8: Windows-1252, bytes
    };
    for (const auto &c : kCases) {
        SettingsFile settings = Loaded("[Tags]\ntag0=" + c.value + "\n");
        EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), c.expected);
    }
}

TEST_F(SettingsFileTest, LoadReplacesWhatWasInMemory) {
    SettingsFile settings(m_path);
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "Unsaved"));
    WriteWholeFile(m_path, "[Tags]\ntag1=Saved\n");
    ASSERT_TRUE(settings.Load());
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), "XXX");
    EXPECT_EQ(settings.Text(), "[Tags]\ntag1=Saved\n");
}

// --- Writing ---------------------------------------------------------------------------

TEST_F(SettingsFileTest, NewFileGetsSectionsInOrderOfFirstWrite) {
    SettingsFile settings(m_path);
    EXPECT_FALSE(settings.Load());
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "Regular"));
    ASSERT_TRUE(settings.WriteString("UpdateStatus", "lastmsg", "3/3/2003 2:07 PM"));
    ASSERT_TRUE(settings.WriteString("FaceTags", "face0", "North"));
    ASSERT_TRUE(settings.WriteString("Tags", "tag1", "Plus"));
    ASSERT_TRUE(settings.WriteString("Communications", "Port", "COM1"));
    ASSERT_TRUE(settings.WriteString("Communications", "ShowStartup", "No"));
    ASSERT_TRUE(settings.Save()) << settings.LastError();

    EXPECT_EQ(ReadWholeFile(m_path),
              "[Tags]\ntag0=Regular\ntag1=Plus\n"
              "\n[UpdateStatus]\nlastmsg=3/3/2003 2:07 PM\n"
              "\n[FaceTags]\nface0=North\n"
              "\n[Communications]\nPort=COM1\nShowStartup=No\n");

    SettingsFile reread(m_path);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.ReadString("Tags", "tag1", "XXX"), "Plus");
    EXPECT_EQ(reread.ReadString("UpdateStatus", "lastmsg", "XXX"), "3/3/2003 2:07 PM");
    EXPECT_EQ(reread.ReadString("Communications", "ShowStartup", "XXX"), "No");
}

TEST_F(SettingsFileTest, UpdatedKeyKeepsItsLineAndSpelling) {
    SettingsFile settings = Loaded("[Tags]\nTAG0=a\n  tag1 = b\ntag2=c\n");
    ASSERT_TRUE(settings.WriteString("tags", "tag1", "B"));
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "A"));
    EXPECT_EQ(settings.Text(), "[Tags]\nTAG0=A\ntag1=B\ntag2=c\n");
}

TEST_F(SettingsFileTest, OnlyTheFirstOfDuplicateKeysIsUpdated) {
    SettingsFile settings = Loaded("[Tags]\ntag0=a\ntag0=b\n[Tags]\ntag0=c\n");
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "new"));
    EXPECT_EQ(settings.Text(), "[Tags]\ntag0=new\ntag0=b\n[Tags]\ntag0=c\n");
    EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), "new");
}

TEST_F(SettingsFileTest, NewKeyFollowsTheLastKeyOfItsSection) {
    SettingsFile settings =
        Loaded("[Tags]\ntag0=a\n; a note\ntag1=b\n\n; Faces next\n[FaceTags]\nface0=f\n");
    ASSERT_TRUE(settings.WriteString("Tags", "tag2", "c"));
    ASSERT_TRUE(settings.WriteString("FaceTags", "face1", "g"));
    EXPECT_EQ(settings.Text(),
              "[Tags]\ntag0=a\n; a note\ntag1=b\ntag2=c\n\n; Faces next\n"
              "[FaceTags]\nface0=f\nface1=g\n");
}

TEST_F(SettingsFileTest, NewKeyInAnEmptySectionFollowsItsHeader) {
    SettingsFile settings = Loaded("[Tags]\n\n[FaceTags]\n");
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "a"));
    EXPECT_EQ(settings.Text(), "[Tags]\ntag0=a\n\n[FaceTags]\n");
}

TEST_F(SettingsFileTest, EverythingElseSurvivesAWriteAndSave) {
    const std::string before =
        "; VOXA workstation settings\n"
        "\n"
        "[Devices]\n"
        "COM1=Serial0\nCOM2=Serial1\nCOM3=Serial2\nCOM4=Serial3\nCOM5=Serial4\n"
        "COM6=Serial5\nCOM7=Serial6\nCOM8=Serial7\nCOM9=Serial8\n"
        "\n"
        "[Tags]\n"
        "# line names\n"
        "tag0=Regular\n"
        "some text the program does not know\n"
        "tag1=Plus\n"
        "\n"
        "[Vendor]\n"
        "  Indented = kept as it is  \n";
    SettingsFile settings = Loaded(before);
    ASSERT_TRUE(settings.WriteString("Tags", "tag1", "Premium"));
    ASSERT_TRUE(settings.WriteString("Communications", "Port", "COM2"));
    ASSERT_TRUE(settings.Save()) << settings.LastError();

    std::string expected = before;
    expected.replace(expected.find("tag1=Plus"), 9, "tag1=Premium");
    expected += "\n[Communications]\nPort=COM2\n";
    EXPECT_EQ(ReadWholeFile(m_path), expected);

    SettingsFile reread(m_path);
    ASSERT_TRUE(reread.Load());
    for (int n = 1; n <= 9; ++n) {
        EXPECT_EQ(reread.ReadString("Devices", "COM" + std::to_string(n), "XXX"),
                  "Serial" + std::to_string(n - 1));
    }
}

TEST_F(SettingsFileTest, ValueWithLineBreaksStaysOnOneLine) {
    SettingsFile settings = Loaded("[Tags]\ntag0=a\n");
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "Super\r\n[Communications]\nPort=COM9\r"));
    ASSERT_TRUE(settings.WriteString("Tags", "tag1", "x\ny"));
    ASSERT_TRUE(settings.Save());

    // The blank at the end would be lost on reading without the quotes.
    EXPECT_EQ(ReadWholeFile(m_path),
              "[Tags]\ntag0=\"Super  [Communications] Port=COM9 \"\ntag1=x y\n");
    SettingsFile reread(m_path);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.ReadString("Communications", "Port", "XXX"), "XXX");
    EXPECT_EQ(reread.ReadString("Tags", "tag0", "XXX"), "Super  [Communications] Port=COM9 ");
}

TEST_F(SettingsFileTest, ValueEndsAtANul) {
    SettingsFile settings(m_path);
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", std::string("ab\0\ncd", 6)));
    EXPECT_EQ(settings.Text(), "[Tags]\ntag0=ab\n");
}

TEST_F(SettingsFileTest, NamesThatCouldNotBeReadBackAreRefused) {
    const struct {
        std::string section;
        std::string key;
    } kCases[] = {
        {"", "tag0"},       {"  ", "tag0"},     {"Ta]gs", "tag0"},
        {"Tags\n", "tag0"}, {"Ta\rgs", "tag0"}, {std::string("T\0", 2), "tag0"},
        {"Tags", ""},       {"Tags", " \t"},    {"Tags", "tag=0"},
        {"Tags", "tag\n0"}, {"Tags", "tag0\r"}, {"Tags", ";tag0"},
        {"Tags", "#tag0"},  {"Tags", "[tag0]"}, {"Tags", std::string("t\0", 2)},
    };
    SettingsFile settings = Loaded("[Tags]\ntag0=a\n");
    for (const auto &c : kCases) {
        EXPECT_FALSE(settings.WriteString(c.section, c.key, "x")) << c.section << "/" << c.key;
    }
    EXPECT_EQ(settings.Text(), "[Tags]\ntag0=a\n");
}

TEST_F(SettingsFileTest, NamesAreWrittenTrimmed) {
    SettingsFile settings(m_path);
    ASSERT_TRUE(settings.WriteString(" Tags\t", "  tag0 ", "a"));
    EXPECT_EQ(settings.Text(), "[Tags]\ntag0=a\n");
    EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), "a");
}

// --- Saving ----------------------------------------------------------------------------

TEST_F(SettingsFileTest, SaveLeavesOnlyTheFileAndKeepsItsPermissions) {
    SettingsFile settings = Loaded("[Tags]\ntag0=a\n");
    ASSERT_EQ(::chmod(m_path.c_str(), 0640), 0);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(settings.WriteString("Tags", "tag0", std::to_string(round)));
        ASSERT_TRUE(settings.Save()) << settings.LastError();
        EXPECT_EQ(Entries(m_dir), std::vector<std::string>{"voxa.ini"});
        EXPECT_EQ(ReadWholeFile(m_path), "[Tags]\ntag0=" + std::to_string(round) + "\n");
    }
    struct stat info {};
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(SettingsFileTest, SaveWithRelativePathUsesTheCurrentDirectory) {
    const fs::path previous = fs::current_path();
    fs::current_path(m_dir);
    SettingsFile settings("./voxa.ini");
    settings.Load();
    ASSERT_TRUE(settings.WriteString("Communications", "Port", "COM1"));
    const bool saved = settings.Save();
    fs::current_path(previous);
    ASSERT_TRUE(saved) << settings.LastError();
    EXPECT_EQ(Entries(m_dir), std::vector<std::string>{"voxa.ini"});
    EXPECT_EQ(ReadWholeFile(m_path), "[Communications]\nPort=COM1\n");
}

TEST_F(SettingsFileTest, SaveUnderARegularFileFailsAndChangesNothing) {
    const fs::path blocker = m_dir / "not-a-directory";
    WriteWholeFile(blocker, "plain file");
    SettingsFile settings(blocker / "voxa.ini");
    EXPECT_FALSE(settings.Load());
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "a"));
    EXPECT_FALSE(settings.Save());
    EXPECT_NE(settings.LastError().find("Save(): open() failed: ("), std::string::npos)
        << settings.LastError();
    EXPECT_EQ(ReadWholeFile(blocker), "plain file");
    EXPECT_EQ(Entries(m_dir), std::vector<std::string>{"not-a-directory"});
}

TEST_F(SettingsFileTest, FailedRenameRemovesTheTemporaryFile) {
    // A directory in the file's place cannot be replaced by a file.
    fs::create_directory(m_path);
    WriteWholeFile(m_path / "keep", "kept");
    SettingsFile settings(m_path);
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "a"));
    EXPECT_FALSE(settings.Save());
    EXPECT_NE(settings.LastError().find("Save(): rename() failed: ("), std::string::npos)
        << settings.LastError();
    EXPECT_EQ(Entries(m_dir), std::vector<std::string>{"voxa.ini"});
    EXPECT_EQ(ReadWholeFile(m_path / "keep"), "kept");
}

TEST_F(SettingsFileTest, UnreadableFileIsNotReplaced) {
    fs::create_directory(m_path);
    SettingsFile settings(m_path);
    EXPECT_FALSE(settings.Load());
    EXPECT_FALSE(settings.LastError().empty());
    EXPECT_EQ(settings.ReadString("Tags", "tag0", "XXX"), "XXX");
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", "a"));
    EXPECT_FALSE(settings.Save());
    EXPECT_TRUE(fs::is_directory(m_path));
    EXPECT_EQ(Entries(m_dir), std::vector<std::string>{"voxa.ini"});
}

TEST_F(SettingsFileTest, FullDiskDuringSaveKeepsTheOldFileWhole) {
    const std::string before = "[Tags]\ntag0=Regular\ntag1=Plus\n";
    SettingsFile settings = Loaded(before);
    ASSERT_TRUE(settings.WriteString("Tags", "tag0", std::string(200, 'x')));
    bool saved = true;
    {
        FileSizeLimit limit(16);
        ASSERT_TRUE(limit.Active());
        saved = settings.Save();
    }
    EXPECT_FALSE(saved);
    EXPECT_NE(settings.LastError().find("Save(): write() failed: ("), std::string::npos)
        << settings.LastError();
    EXPECT_EQ(ReadWholeFile(m_path), before);
    EXPECT_EQ(Entries(m_dir), std::vector<std::string>{"voxa.ini"});

    // With room again the same content goes out whole.
    ASSERT_TRUE(settings.Save()) << settings.LastError();
    EXPECT_EQ(ReadWholeFile(m_path), settings.Text());
}

}  // namespace
