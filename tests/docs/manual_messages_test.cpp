// The manual against the program: every text the workstation shows its user is in the
// manual (docs/manual.md, which is also the program's help), and the manual stands on its
// own once installed. A message added without its words in the manual fails here, naming
// the file, the line and the text; message_scan.h says how messages are found.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "message_scan.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = VOXA_SOURCE_DIR;

std::string Read(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> Texts(const std::vector<MessageScan::Fragment> &fragments) {
    std::set<std::string> texts;
    for (const MessageScan::Fragment &fragment : fragments) texts.insert(fragment.text);
    return texts;
}

struct ScanCase {
    const char *name;
    const char *source;
    std::set<std::string> fragments;
};

std::ostream &operator<<(std::ostream &out, const ScanCase &c) {
    return out << c.name;
}

const ScanCase kScanCases[] = {
    {"console message", R"(void F() { console.ShowMessage("Exit now?"); })", {"Exit now?"}},
    {"pieces around values",
     R"(m_console.ShowMessage("The log " + path + " cannot be read.");)",
     {"The log", "cannot be read."}},
    {"adjacent literals", R"(AskYesNo("Update " "NVRAM?");)", {"Update NVRAM?"}},
    {"escapes", R"(ShowMessage("Say \"yes\"\tnow\\");)", {"Say \"yes\" now\\"}},
    {"raw literal", R"x(ShowMessage(R"(Path C:\temp)");)x", {"Path C:\\temp"}},
    {"line ends and placeholders",
     R"(StopAt(line, QString::asprintf("Error:\nBad Value, Price #%d", line));)",
     {"Error:", "Bad Value, Price #"}},
    {"Qt placeholders",
     R"(m_summary->setText(QString("Showing %1 of %2.").arg(a).arg(b));)",
     {"Showing"}},
    {"percent sign",
     R"(AskYesNo(QString::asprintf("Up by %+.0f%% today?", x));)",
     {"Up by", "% today?"}},
    {"comments", "// ShowMessage(\"in a comment\");\n/* AskYesNo(\"nor here\") */ int x;", {}},
    {"preprocessor", "#define TEXT ShowMessage(\"not a call\")\nint y;", {}},
    {"character literals", R"(char c = '"'; ShowMessage("After the quote");)", {"After the quote"}},
    {"message constant",
     R"(static constexpr const char *kRestartText = "Restart now.";)",
     {"Restart now."}},
    {"other constant shown",
     "constexpr const char *kHint = \"Plug it in.\";\nvoid F() { m_message->setText(kHint); }",
     {"Plug it in."}},
    {"other constant not shown", R"(constexpr const char *kSuffix = "nvr file";)", {}},
    {"label that is no message", R"(m_heading->setText("Face settings");)", {}},
    {"status label",
     R"(m_statusText->setText("Error Status: Check logs. ");)",
     {"Error Status: Check logs."}},
    {"message field",
     R"(result.message = "NVRAM image not saved: " + reason;)",
     {"NVRAM image not saved:"}},
    {"message list",
     R"(problems.push_back(key + " is not a price: line " + n);)",
     {"is not a price: line"}},
    {"comparison is no assignment", R"(if (message == "quit now") return;)", {}},
    {"message function",
     R"(std::string MessageFor(int code) { switch (code) { case 1: return "Line Failure"; }
        return "Other failure"; }
        std::string Name() { return "Not a message"; })",
     {"Line Failure", "Other failure"}},
    {"lambda inside a message function",
     R"(std::string Question() { auto f = [] { return 1; }; if (f()) { return "Go on?"; } })",
     {"Go on?"}},
    {"setter of a text",
     R"(m_system.SetSignTestResultText("Test Incomplete");)",
     {"Test Incomplete"}},
    {"message box", R"(QMessageBox::warning(this, title, "Disk full.");)", {"Disk full."}},
    {"failure texts of the fixed form",
     R"x(reason = Failure("open()", errno); m_problem = "Open(): open() failed on " + path;)x",
     {}},
    {"short pieces", R"(ShowMessage(a + " (" + b + ").");)", {}},
};

class MessageScanTable : public ::testing::TestWithParam<ScanCase> {};

TEST_P(MessageScanTable, FindsWhatTheUserSees) {
    EXPECT_EQ(Texts(MessageScan::Scan(GetParam().source, "case.cpp")), GetParam().fragments);
}

INSTANTIATE_TEST_SUITE_P(Cases, MessageScanTable, ::testing::ValuesIn(kScanCases),
                         [](const ::testing::TestParamInfo<ScanCase> &c) {
                             return std::regex_replace(c.param.name, std::regex("[^A-Za-z0-9]"),
                                                       "_");
                         });

TEST(MessageScan, FragmentsTellWhereTheyAre) {
    const auto fragments =
        MessageScan::Scan("int a;\n\nvoid F() {\n    ShowMessage(\"Third line\");\n}\n", "f.cpp");
    ASSERT_EQ(fragments.size(), 1u);
    EXPECT_EQ(fragments[0].file, "f.cpp");
    EXPECT_EQ(fragments[0].line, 4);
    EXPECT_EQ(fragments[0].literal, "\"Third line\"");
}

TEST(MessageScan, ManualReadsAsPlainText) {
    EXPECT_EQ(MessageScan::PlainText("**Bold** and `code`\n> quoted\n>\n> line \\* star\n"),
              "Bold and code quoted line * star ");
}

// The folders the workstation is built from. voxa-ctl's own words (cli/) are told in its
// manual page; the messages it shares with the workstation come from these folders too.
TEST(ManualMessages, EveryMessageOfTheWorkstationIsInTheManual) {
    std::vector<fs::path> folders;
    for (const char *folder :
         {"files", "protocol", "station", "widgets", "dialogs", "maintenance", "app"}) {
        folders.push_back(kRoot / folder);
    }
    const std::vector<MessageScan::Fragment> fragments = MessageScan::ScanFolders(folders);
    // A scan that finds nothing would pass everything.
    ASSERT_GE(fragments.size(), 120u);
    const std::string manual = MessageScan::PlainText(Read(kRoot / "docs/manual.md"));
    for (const MessageScan::Fragment &fragment : fragments) {
        EXPECT_NE(manual.find(fragment.text), std::string::npos)
            << fragment.file << ":" << fragment.line << ": the manual does not have \""
            << fragment.text << "\" (of " << fragment.literal << ")";
    }
}

// Installed, the manual and the manual pages are all a user has: the README is not.
TEST(InstalledDocs, DoNotSendReadersToTheReadme) {
    for (const char *page : {"docs/manual.md", "docs/man/voxa.1.in", "docs/man/voxa-ctl.1.in",
                             "docs/man/voxa-ccsim.1.in", "app/workstation_options.cpp",
                             "cli/command_line_client.cpp", "simulator/ccsim_options.cpp"}) {
        const std::string text = Read(kRoot / page);
        ASSERT_FALSE(text.empty()) << page;
        EXPECT_EQ(text.find("README"), std::string::npos) << page << " mentions the README";
    }
}

// Every picture the manual shows is there, compiled into the help and installed with it.
TEST(InstalledDocs, EveryPictureOfTheManualIsThere) {
    const std::string manual = Read(kRoot / "docs/manual.md");
    const std::string resources = Read(kRoot / "resources/manual.qrc");
    const std::string build = Read(kRoot / "CMakeLists.txt");
    static const std::regex picture(R"(!\[[^\]]*\]\(([^)]+)\))");
    int pictures = 0;
    for (std::sregex_iterator i(manual.begin(), manual.end(), picture), end; i != end; ++i) {
        const std::string name = (*i)[1];
        ++pictures;
        EXPECT_TRUE(fs::is_regular_file(kRoot / "docs" / name)) << name;
        EXPECT_NE(resources.find("alias=\"" + name + "\""), std::string::npos)
            << name << " is not in resources/manual.qrc";
        EXPECT_NE(build.find("docs/" + name), std::string::npos)
            << name << " is not installed (CMakeLists.txt)";
    }
    EXPECT_GE(pictures, 8);
}

}  // namespace
