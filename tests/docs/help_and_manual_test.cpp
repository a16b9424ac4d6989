// What the programs tell about themselves: the version of the build, and a --help whose
// every option and subcommand is in the program's manual page, which formats without a
// warning.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "child_process.h"
#include "voxa_version.h"

namespace {

using namespace std::chrono_literals;

struct Program {
    const char *name;
    const char *path;
};

std::ostream &operator<<(std::ostream &out, const Program &program) {
    return out << program.name;
}

const Program kPrograms[] = {
    {"voxa", VOXA_PATH},
    {"voxa-ctl", VOXA_CTL_PATH},
    {"voxa-ccsim", VOXA_CCSIM_PATH},
};

std::string PagePath(const Program &program) {
    return std::string(VOXA_MAN_DIR) + "/" + program.name + ".1";
}

std::string Help(const Program &program) {
    ChildProcess child(program.path, {"--help"});
    EXPECT_TRUE(child.Started());
    EXPECT_EQ(child.Finish(10s), 0) << child.ErrText();
    return child.OutText();
}

// Options as --help writes them: a word that starts with one or two hyphens and a letter,
// not inside another word ("pseudo-terminal", "0-255").
std::set<std::string> Options(const std::string &help) {
    static const std::regex option(R"((^|[^A-Za-z0-9-])(--?[A-Za-z][A-Za-z0-9-]*))");
    std::set<std::string> found;
    for (std::sregex_iterator i(help.begin(), help.end(), option), end; i != end; ++i) {
        found.insert((*i)[2]);
    }
    return found;
}

// The first word of each indented line below "Subcommands:", up to the next blank line.
std::set<std::string> Subcommands(const std::string &help) {
    std::set<std::string> found;
    std::istringstream in(help.substr(std::min(help.size(), help.find("\nSubcommands:\n"))));
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    while (std::getline(in, line) && !line.empty()) {
        std::istringstream words(line);
        std::string word;
        if (words >> word) found.insert(word);
    }
    return found;
}

// The page's text as a reader sees it: roff's escaped hyphens as hyphens, font changes
// and quotes gone.
std::string PageText(const Program &program) {
    std::ifstream in(PagePath(program));
    std::stringstream text;
    text << in.rdbuf();
    std::string page = text.str();
    page = std::regex_replace(page, std::regex(R"(\\f[BIRP])"), "");
    page = std::regex_replace(page, std::regex(R"(\\\((lq|rq|aq))"), "\"");
    page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
    return page;
}

bool Mentions(const std::string &page, const std::string &word) {
    for (std::size_t at = page.find(word); at != std::string::npos; at = page.find(word, at + 1)) {
        const auto part = [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
        };
        const bool startsWord = at == 0 || !part(page[at - 1]);
        const std::size_t after = at + word.size();
        if (startsWord && (after == page.size() || !part(page[after]))) return true;
    }
    return false;
}

class ProgramTest : public ::testing::TestWithParam<Program> {};

TEST_P(ProgramTest, VersionIsTheBuildsWithoutADisplay) {
    // No display is needed: --version and --help answer before the window system is asked.
    ChildProcess child("/usr/bin/env", {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                                        "QT_QPA_PLATFORM=xcb", GetParam().path, "--version"});
    ASSERT_EQ(child.Finish(10s), 0) << child.ErrText();
    EXPECT_EQ(child.OutText(), std::string(GetParam().name) + " " + kVoxaVersion + "\n");
}

TEST_P(ProgramTest, EveryOptionOfTheHelpIsInThePage) {
    const std::string help = Help(GetParam());
    const std::set<std::string> options = Options(help);
    // The help of every program has these; a parser that finds nothing passes nothing.
    ASSERT_TRUE(options.count("--help") && options.count("--version")) << help;
    const std::string page = PageText(GetParam());
    ASSERT_FALSE(page.empty()) << "no page " << PagePath(GetParam());
    for (const std::string &option : options) {
        EXPECT_TRUE(Mentions(page, option))
            << GetParam().name << " --help names " << option << ", its manual page does not";
    }
}

TEST_P(ProgramTest, PageFormatsWithoutAWarning) {
    if (std::system("command -v groff >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "groff is not installed";
    }
    ChildProcess groff("/bin/sh",
                       {"-c", "groff -man -Tutf8 -ww -z \"$0\" 2>&1", PagePath(GetParam())});
    ASSERT_EQ(groff.Finish(30s), 0);
    EXPECT_EQ(groff.OutText(), "");
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramTest, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program> &program) {
                             return std::regex_replace(program.param.name, std::regex("-"), "_");
                         });

TEST(ManPages, EverySubcommandOfVoxaCtlIsInItsPage) {
    const std::string help = Help(kPrograms[1]);
    const std::set<std::string> subcommands = Subcommands(help);
    ASSERT_GE(subcommands.size(), 30u) << help;
    const std::string page = PageText(kPrograms[1]);
    for (const std::string &subcommand : subcommands) {
        EXPECT_TRUE(Mentions(page, subcommand)) << "voxa-ctl --help names the subcommand "
                                                << subcommand << ", its manual page does not";
    }
}

// The keys of every --json object, as each subcommand's help gives them, are documented in
// the manual page and the README.
TEST(ManPages, EveryJsonKeyOfVoxaCtlIsInItsPageAndTheReadme) {
    const std::string page = PageText(kPrograms[1]);
    std::ifstream in(VOXA_README_PATH);
    std::stringstream readme;
    readme << in.rdbuf();
    ASSERT_FALSE(readme.str().empty());
    const std::string help = Help(kPrograms[1]);
    int documented = 0;
    for (const std::string &subcommand : Subcommands(help)) {
        ChildProcess child(VOXA_CTL_PATH, {subcommand, "--help"});
        ASSERT_EQ(child.Finish(10s), 0) << subcommand;
        const std::string text = child.OutText();
        const std::size_t keys = text.find("with these keys:\n");
        if (keys == std::string::npos) continue;
        const std::string example = text.substr(keys, text.find("\n\n", keys) - keys);
        static const std::regex key(R"re("([a-z_]+)":)re");
        for (std::sregex_iterator i(example.begin(), example.end(), key), end; i != end; ++i) {
            const std::string name = (*i)[1];
            EXPECT_TRUE(Mentions(page, name)) << subcommand << " --json key " << name;
            EXPECT_TRUE(Mentions(readme.str(), "`" + name + "`"))
                << subcommand << " --json key " << name << " is not in the README";
        }
        ++documented;
    }
    EXPECT_GE(documented, 20);
}

TEST(Workstation, RefusesWhatQtDoesNotTakeAsItsOwn) {
    // Qt takes -platform and its value; what is left is refused before any window opens.
    ChildProcess child("/usr/bin/env", {"QT_QPA_PLATFORM=offscreen", VOXA_PATH, "-platform",
                                        "offscreen", "--port", "COM2"});
    ASSERT_EQ(child.Finish(30s), 2) << child.ErrText();
    EXPECT_NE(child.ErrText().find("voxa: unknown argument \"--port\" (see voxa --help)\n"),
              std::string::npos)
        << child.ErrText();
}

}  // namespace
