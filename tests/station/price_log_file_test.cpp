// The price log on disk: its header, appending across runs, files that are not ours,
// failures, the CSV quoting and the export.
#include "price_log_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "csv_text.h"
#include "file_contents.h"
#include "file_size_limit.h"
#include "forked_call.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::time_t kNoon = 1796212800;  // a fixed moment; shown in local time

PriceAttempt Attempt(int line, const std::string &tag, const std::string &oldPrice,
                     const std::string &newPrice, PriceOutcome outcome) {
    return PriceAttempt{line, tag, oldPrice, newPrice, outcome, false, ""};
}

// The rows of a log as its writer chains them: each text (a row up to its chain value) with
// the chain value that follows it.
std::string Chained(const std::vector<std::string> &texts,
                    std::string carry = std::string(ChainedLog::kFirstCarry)) {
    std::string lines;
    for (const std::string &text : texts) {
        carry = ChainedLog::ChainValue(carry, text);
        lines += text + ',' + carry + '\n';
    }
    return lines;
}

class PriceLogFileTest : public ::testing::Test {
protected:
    // One run of a program with its own log object, as the workstation and voxa-ctl have.
    std::unique_ptr<PriceLogFile> Run(const std::string &source) {
        auto log = std::make_unique<PriceLogFile>(m_dir, source);
        log->SetClock([] { return kNoon; });
        log->SetUser("op");
        return log;
    }

    TemporaryFolder m_folder{"voxa-price-log"};
    const fs::path m_dir = m_folder.Path();
};

TEST_F(PriceLogFileTest, EveryOutcomeIsAppendedUnderOneHeaderAcrossRuns) {
    const std::vector<PriceOutcome> outcomes = {
        PriceOutcome::Sent,         PriceOutcome::Confirmed,    PriceOutcome::Mismatch,
        PriceOutcome::NotConfirmed, PriceOutcome::Refused,      PriceOutcome::NoAnswer,
        PriceOutcome::BadValue,     PriceOutcome::OutsideLimits};
    const std::string time = PriceLogFile::TimeText(kNoon);
    std::vector<std::string> texts;
    {
        const auto first = Run("workstation");
        EXPECT_EQ(first->Prepare(), "");
        for (PriceOutcome outcome : outcomes) {
            ASSERT_TRUE(first->Append(Attempt(2, "Plus", "3.599", "3.559", outcome)));
            texts.push_back(time + ",workstation,op,2,Plus,3.599,3.559," +
                            PriceOutcomeName(outcome) + ",");
        }
    }
    const std::string afterFirst = ReadWholeFile(m_dir / "voxa-prices.csv");
    EXPECT_EQ(afterFirst, std::string(PriceLogFile::kChainedHeader) + "\n" + Chained(texts));

    const auto second = Run("voxa-ctl");
    EXPECT_EQ(second->Prepare(), "");
    ASSERT_TRUE(second->Append(Attempt(1, "Regular", "", "3.459", PriceOutcome::Sent)));
    const std::string afterSecond = ReadWholeFile(m_dir / "voxa-prices.csv");
    // Never rewritten: the first run's lines stand as they were, the new one after them.
    texts.push_back(time + ",voxa-ctl,op,1,Regular,,3.459,sent,");
    EXPECT_EQ(afterSecond, std::string(PriceLogFile::kChainedHeader) + "\n" + Chained(texts));
    EXPECT_EQ(second->Problem(), "");

    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(second->Read(entries, reason)) << reason;
    ASSERT_EQ(entries.size(), outcomes.size() + 1);
    EXPECT_EQ(entries[2].outcome, "mismatch");
    EXPECT_EQ(entries.back().source, "voxa-ctl");
    EXPECT_EQ(entries.back().oldPrice, "");
}

TEST_F(PriceLogFileTest, TagsWithCommasAndQuotesComeBackWhole) {
    const auto log = Run("workstation");
    const std::string tag = "Super \"98\", unleaded";
    ASSERT_TRUE(log->Append(Attempt(5, tag, "12,50", "12,60", PriceOutcome::Confirmed)));
    EXPECT_NE(
        ReadWholeFile(log->Path()).find(",5,\"Super \"\"98\"\", unleaded\",\"12,50\",\"12,60\","),
        std::string::npos);
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(log->Read(entries, reason));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].tag, tag);
    EXPECT_EQ(entries[0].oldPrice, "12,50");
    EXPECT_EQ(entries[0].newPrice, "12,60");
}

TEST_F(PriceLogFileTest, AFileThatIsNotOursIsLeftAloneForTheNextName) {
    const std::string foreign = "date;pump;price\n2026-01-01;1;3.599\n";
    WriteWholeFile(m_dir / "voxa-prices.csv", foreign);
    const auto log = Run("workstation");
    const std::string notice = log->Prepare();
    EXPECT_EQ(notice,
              "voxa-prices.csv is not a VOXA price log (its first line is not the log's header), "
              "so it is left as it is: price changes are logged in voxa-prices-1.csv instead.");
    EXPECT_EQ(log->Path(), m_dir / "voxa-prices-1.csv");
    ASSERT_TRUE(log->Append(Attempt(1, "Regular", "3.499", "3.459", PriceOutcome::Sent)));
    EXPECT_EQ(ReadWholeFile(m_dir / "voxa-prices.csv"), foreign);
    EXPECT_EQ(ReadWholeFile(m_dir / "voxa-prices-1.csv").rfind(PriceLogFile::kHeader, 0), 0u);
    // Told once.
    EXPECT_EQ(log->TakeNotice(), "");
}

TEST_F(PriceLogFileTest, AFileReplacedDuringTheSessionIsNotAppendedTo) {
    const auto log = Run("workstation");
    ASSERT_TRUE(log->Append(Attempt(1, "Regular", "3.499", "3.459", PriceOutcome::Sent)));
    WriteWholeFile(m_dir / "voxa-prices.csv", "something else\n");
    ASSERT_TRUE(log->Append(Attempt(1, "Regular", "3.459", "3.449", PriceOutcome::Sent)));
    EXPECT_EQ(ReadWholeFile(m_dir / "voxa-prices.csv"), "something else\n");
    EXPECT_NE(log->TakeNotice().find("logged in voxa-prices-1.csv"), std::string::npos);
    EXPECT_NE(ReadWholeFile(m_dir / "voxa-prices-1.csv").find(",3.459,3.449,sent,,"),
              std::string::npos);
}

TEST_F(PriceLogFileTest, ALineCutShortByACrashIsEndedBeforeTheNext) {
    WriteWholeFile(m_dir / "voxa-prices.csv", std::string(PriceLogFile::kHeader) +
                                                  "\n2026-12-07T10:00:00+00:00,workstation,op,1");
    const auto log = Run("workstation");
    ASSERT_TRUE(log->Append(Attempt(2, "Plus", "3.599", "3.559", PriceOutcome::Sent)));
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(log->Read(entries, reason));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].line, "1");
    EXPECT_EQ(entries[0].outcome, PriceLogFile::kDamaged);
    EXPECT_EQ(entries[1].line, "2");
    EXPECT_EQ(entries[1].outcome, "sent");
}

TEST_F(PriceLogFileTest, ALineThatCannotBeWrittenIsAProblemNotAStop) {
    // A folder that went away (an unmounted share, say): nothing can be created in it.
    PriceLogFile log(m_dir / "gone", "workstation");
    EXPECT_FALSE(log.Append(Attempt(1, "Regular", "3.499", "3.459", PriceOutcome::Sent)));
    const std::string first = log.Problem();
    EXPECT_EQ(first, (m_dir / "gone" / "voxa-prices.csv").string() +
                         ": open() failed: (2) No such file or directory");
    fs::create_directory(m_dir / "gone");
    EXPECT_TRUE(log.Append(Attempt(2, "Plus", "3.599", "3.559", PriceOutcome::Sent)));
    // The first failure stays the one reported: a line was lost this session.
    EXPECT_EQ(log.Problem(), first);
}

TEST_F(PriceLogFileTest, AFolderInTheLogsPlaceIsNotOurs) {
    fs::create_directory(m_dir / "voxa-prices.csv");
    const auto log = Run("workstation");
    ASSERT_TRUE(log->Append(Attempt(1, "Regular", "3.499", "3.459", PriceOutcome::Sent)));
    EXPECT_EQ(log->Path(), m_dir / "voxa-prices-1.csv");
    EXPECT_NE(log->TakeNotice(), "");
}

TEST_F(PriceLogFileTest, ExportWritesTheEntriesGivenButNeverOverTheLog) {
    const auto log = Run("workstation");
    ASSERT_TRUE(log->Append(Attempt(1, "Regular", "3.499", "3.459", PriceOutcome::Sent)));
    ASSERT_TRUE(log->Append(Attempt(2, "Plus", "3.599", "3.559", PriceOutcome::Sent)));
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(log->Read(entries, reason));
    const std::string before = ReadWholeFile(log->Path());

    ASSERT_TRUE(log->Export(m_dir / "out.csv", {entries[1]}, reason)) << reason;
    EXPECT_EQ(ReadWholeFile(m_dir / "out.csv"),
              std::string(PriceLogFile::kHeader) + "\n" + PriceLogFile::LineOf(entries[1]));

    EXPECT_FALSE(log->Export(m_dir / "./voxa-prices.csv", {}, reason));
    EXPECT_EQ(reason, "that is the price log itself, which is never rewritten");
    EXPECT_EQ(ReadWholeFile(log->Path()), before);
}

// ---- One line per attempt, whatever happens ----

std::string Header() {
    return std::string(PriceLogFile::kHeader) + "\n";
}

// The header of a log begun now.
std::string ChainedHeader() {
    return std::string(PriceLogFile::kChainedHeader) + "\n";
}

// A line cut short with its quote open, as a full disk left it, hides nothing after it: the
// reader starts afresh at every line.
TEST_F(PriceLogFileTest, ATornLineWithAnOpenQuoteIsDamagedAndTheLinesAfterItStay) {
    WriteWholeFile(m_dir / "voxa-prices.csv",
                   Header() +
                       "2026-12-07T10:00:00+00:00,workstation,op,1,Regular,3.499,3.459,sent\n" +
                       "2026-12-07T10:01:00+00:00,voxa-ctl,op,5,\"Diesel, tr\n" +
                       "2026-12-07T10:02:00+00:00,voxa-ctl,op,2,Plus,3.599,3.559,confirmed\n");
    const auto log = Run("voxa-ctl");
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(log->Read(entries, reason)) << reason;
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].outcome, "sent");
    EXPECT_EQ(entries[1].line, "5");
    EXPECT_EQ(entries[1].outcome, PriceLogFile::kDamaged);
    EXPECT_EQ(entries[2].line, "2");
    EXPECT_EQ(entries[2].outcome, "confirmed");
}

// A line that does not go in whole (a full disk) is cut back, so the next one starts on a
// line of its own and the file holds no half line.
TEST_F(PriceLogFileTest, AnAppendThatFailsIsCutBackToWhereItBegan) {
    const auto log = Run("workstation");
    ASSERT_TRUE(log->Append(Attempt(1, "Regular", "3.499", "3.459", PriceOutcome::Sent)));
    const std::string before = ReadWholeFile(log->Path());
    {
        FileSizeLimit full(before.size() + 20);
        ASSERT_TRUE(full.Active());
        EXPECT_FALSE(
            log->Append(Attempt(5, "Diesel, truck", "12.50", "12.60", PriceOutcome::Sent)));
    }
    EXPECT_EQ(ReadWholeFile(log->Path()), before);
    EXPECT_NE(log->Problem().find("write() failed: (27) File too large"), std::string::npos)
        << log->Problem();
    ASSERT_TRUE(log->Append(Attempt(2, "Plus", "3.599", "3.559", PriceOutcome::Sent)));
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(log->Read(entries, reason));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].outcome, "sent");
}

// Before the price goes out its line says "sending", in the room of the longest outcome; the
// outcome then takes that room, and a last line loses the padding.
TEST_F(PriceLogFileTest, APriceOnItsWayIsSendingUntilItsOutcomeIsIn) {
    const auto log = Run("voxa-ctl");
    const std::string time = PriceLogFile::TimeText(kNoon);
    const std::string head = time + ",voxa-ctl,op,1,Regular,3.499,3.459,";
    ASSERT_TRUE(log->Begin(Attempt(1, "Regular", "3.499", "3.459", PriceOutcome::Sending)));
    const std::string sending = Chained({head + "sending,"});
    EXPECT_EQ(ReadWholeFile(log->Path()), ChainedHeader() + sending.substr(0, sending.size() - 1) +
                                              std::string(LongestPriceOutcomeName() + 9 - 7, ' ') +
                                              "\n");
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(log->Read(entries, reason));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].outcome, "sending");

    ASSERT_TRUE(log->Complete(PriceOutcome::Sent));
    EXPECT_EQ(ReadWholeFile(log->Path()), ChainedHeader() + Chained({head + "sent,"}));
    EXPECT_EQ(log->Problem(), "");
}

// Another program wrote after the line while its price went out: the outcome comes as a row of
// its own after the other's, which stays as it was (its chain value rests on the first row as
// it was written), and the reader folds it into its price's row.
TEST_F(PriceLogFileTest, AnOutcomeComesAsARowOfItsOwnWhenOthersWroteAfterIt) {
    const auto workstation = Run("workstation");
    const auto script = Run("voxa-ctl");
    ASSERT_TRUE(workstation->Begin(Attempt(1, "Regular", "3.499", "3.459", PriceOutcome::Sending)));
    ASSERT_TRUE(script->Append(Attempt(2, "Plus", "3.599", "3.559", PriceOutcome::Confirmed)));
    ASSERT_TRUE(workstation->Complete(PriceOutcome::NotConfirmed));
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(script->Read(entries, reason));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].source, "workstation");
    EXPECT_EQ(entries[0].outcome, "not confirmed");
    EXPECT_EQ(entries[1].source, "voxa-ctl");
    EXPECT_EQ(entries[1].outcome, "confirmed");
    const std::vector<CsvText::Row> rows = CsvText::Parse(ReadWholeFile(script->Path()));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][7].substr(0, 7), "sending");
    EXPECT_EQ(rows[2][7], "confirmed");
    EXPECT_EQ(rows[3][7], "not confirmed");
    ChainedLog::Verdict verdict;
    ASSERT_TRUE(script->Verify(verdict, reason)) << reason;
    EXPECT_TRUE(verdict.fits) << verdict.Text("log");
}

// The log moved away while a price went out (rotated, say): the attempt is logged whole
// where the log is now.
TEST_F(PriceLogFileTest, AnOutcomeWhoseLineIsGoneIsLoggedWhole) {
    const auto log = Run("voxa-ctl");
    ASSERT_TRUE(log->Begin(Attempt(1, "Regular", "3.499", "3.459", PriceOutcome::Sending)));
    fs::rename(log->Path(), m_dir / "voxa-prices.csv.1");
    ASSERT_TRUE(log->Complete(PriceOutcome::Unknown));
    EXPECT_EQ(ReadWholeFile(log->Path()),
              ChainedHeader() + Chained({PriceLogFile::TimeText(kNoon) +
                                         ",voxa-ctl,op,1,Regular,3.499,3.459,unknown,"}));
}

// Every attempt is one line, and a field holds at most its room: a 100 kB argument is not
// logged whole, and a line break in a tag does not start a line of its own.
TEST_F(PriceLogFileTest, FieldsAreCutToTheirRoomAndKeepToOneLine) {
    const auto log = Run("voxa-ctl");
    ASSERT_TRUE(log->Append(Attempt(1, "Two\nlines\r", "", std::string(100000, '7') + "\xC3\xA9",
                                    PriceOutcome::BadValue)));
    const std::string text = ReadWholeFile(log->Path());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(log->Read(entries, reason));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].tag, "Two lines ");
    EXPECT_EQ(entries[0].newPrice, std::string(PriceLogFile::kFieldRoom - 1, '7'));
    EXPECT_EQ(entries[0].outcome, "bad value");
}

// What stands in the log's place that is no file of ours: never written through, never
// waited on, and left alone for the next name.
struct PlantedLog {
    const char *name;
    std::function<void(const fs::path &)> plant;
    std::string why;
};

void PrintTo(const PlantedLog &c, std::ostream *os) {
    *os << c.name;
}

class PriceLogPlanted : public PriceLogFileTest,
                        public ::testing::WithParamInterface<PlantedLog> {};

TEST_P(PriceLogPlanted, IsLeftAloneAndTheLogGoesToTheNextName) {
    const PlantedLog c = GetParam();
    c.plant(m_dir / "voxa-prices.csv");
    const auto status = RunForked(
        [&] {
            const auto log = Run("workstation");
            const std::string notice = log->Prepare();
            const bool appended =
                log->Append(Attempt(1, "Regular", "3.499", "3.459", PriceOutcome::Sent));
            return appended && log->Path() == m_dir / "voxa-prices-1.csv" &&
                           notice == "voxa-prices.csv is not a VOXA price log (" + c.why +
                                         "), so it is left as it is: price changes are logged in "
                                         "voxa-prices-1.csv instead."
                       ? 0
                       : 1;
        },
        std::chrono::seconds(5));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadWholeFile(m_dir / "elsewhere"), "someone's file\n");
}

INSTANTIATE_TEST_SUITE_P(
    InTheLogsPlace, PriceLogPlanted,
    ::testing::Values(
        PlantedLog{"LinkToAnotherFile",
                   [](const fs::path &p) {
                       WriteWholeFile(p.parent_path() / "elsewhere", "someone's file\n");
                       fs::create_symlink(p.parent_path() / "elsewhere", p);
                   },
                   "it is a symbolic link, not a regular file"},
        PlantedLog{"LinkToAFileThatIsNotThereYet",
                   [](const fs::path &p) {
                       fs::create_symlink(p.parent_path() / "made-through-the-link", p);
                       WriteWholeFile(p.parent_path() / "elsewhere", "someone's file\n");
                   },
                   "it is a symbolic link, not a regular file"},
        PlantedLog{"Fifo",
                   [](const fs::path &p) {
                       ASSERT_EQ(::mkfifo(p.c_str(), 0666), 0);
                       WriteWholeFile(p.parent_path() / "elsewhere", "someone's file\n");
                   },
                   "it is a named pipe, not a regular file"}),
    [](const auto &row) { return std::string(row.param.name); });

// A log far longer than one piece of the reader is read whole, line by line, the lines that
// straddle two pieces included.
TEST_F(PriceLogFileTest, ALongLogIsReadLineByLineInOrder) {
    std::string text = Header();
    constexpr int kLines = 3000;
    for (int i = 0; i < kLines; ++i) {
        text += "2026-12-07T10:00:00+00:00,voxa-ctl,op," + std::to_string(i % 8 + 1) +
                ",Regular,3.499," + std::to_string(i) + ",sent\r\n";
    }
    WriteWholeFile(m_dir / "voxa-prices.csv", text);
    const auto log = Run("voxa-ctl");
    int seen = 0;
    bool inOrder = true;
    std::string reason;
    ASSERT_TRUE(log->ReadEach(
        [&](PriceLogFile::Entry &&entry) {
            inOrder = inOrder && entry.newPrice == std::to_string(seen) && entry.outcome == "sent";
            ++seen;
        },
        reason));
    EXPECT_EQ(seen, kLines);
    EXPECT_TRUE(inOrder);
}

TEST(PriceLogTime, IsLocalTimeInIso8601WithItsOffset) {
    const std::string text = PriceLogFile::TimeText(kNoon);
    EXPECT_TRUE(
        std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
        << text;
    std::tm local{};
    localtime_r(&kNoon, &local);
    char hour[4];
    std::snprintf(hour, sizeof hour, "%02d", local.tm_hour);
    EXPECT_EQ(text.substr(11, 2), hour);
}

TEST(PriceLogUser, IsTheProcesssUser) {
    EXPECT_FALSE(PriceLogFile::ProcessUser().empty());
}

struct CsvCase {
    std::string text;
    std::vector<CsvText::Row> rows;
};

class CsvParse : public ::testing::TestWithParam<CsvCase> {};

TEST_P(CsvParse, ReadsRowsAsSpreadsheetsWriteThem) {
    EXPECT_EQ(CsvText::Parse(GetParam().text), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Texts, CsvParse,
                         ::testing::Values(CsvCase{"", {}}, CsvCase{"a,b\n", {{"a", "b"}}},
                                           CsvCase{"a,,b\r\nc\n", {{"a", "", "b"}, {"c"}}},
                                           CsvCase{"\"x, \"\"y\"\"\",z", {{"x, \"y\"", "z"}}},
                                           CsvCase{"\"two\nlines\",end\n", {{"two\nlines", "end"}}},
                                           CsvCase{"\n", {{""}}},
                                           // A lone carriage return is no line end.
                                           CsvCase{"a\rb,c\n", {{"a\rb", "c"}}},
                                           CsvCase{"\"a\rb\",c\r\nd\n", {{"a\rb", "c"}, {"d"}}},
                                           CsvCase{"a,b\r", {{"a", "b\r"}}}));

TEST(CsvField, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(CsvText::Field("Regular"), "Regular");
    EXPECT_EQ(CsvText::Field("1,25"), "\"1,25\"");
    EXPECT_EQ(CsvText::Field("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvText::Field(" padded"), "\" padded\"");
    EXPECT_EQ(CsvText::Line({"a", "b,c", ""}), "a,\"b,c\",\n");
    const CsvText::Row row = {"x\r\ny", "\"", ",", ""};
    EXPECT_EQ(CsvText::Parse(CsvText::Line(row)), std::vector<CsvText::Row>{row});
}

}  // namespace
