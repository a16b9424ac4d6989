// The price log on disk: its header, appending across runs, files that are not ours,
// failures, the CSV quoting and the export.
#include "price_log_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "csv_text.h"
#include "file_contents.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::time_t kNoon = 1796212800;  // a fixed moment; shown in local time

PriceAttempt Attempt(int line, const std::string &tag, const std::string &oldPrice,
                     const std::string &newPrice, PriceOutcome outcome) {
    return PriceAttempt{line, tag, oldPrice, newPrice, outcome};
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
    std::string expected = std::string(PriceLogFile::kHeader) + "\n";
    {
        const auto first = Run("workstation");
        EXPECT_EQ(first->Prepare(), "");
        for (PriceOutcome outcome : outcomes) {
            ASSERT_TRUE(first->Append(Attempt(2, "Plus", "3.599", "3.559", outcome)));
            expected +=
                time + ",workstation,op,2,Plus,3.599,3.559," + PriceOutcomeName(outcome) + "\n";
        }
    }
    const std::string afterFirst = ReadWholeFile(m_dir / "voxa-prices.csv");
    EXPECT_EQ(afterFirst, expected);

    const auto second = Run("voxa-ctl");
    EXPECT_EQ(second->Prepare(), "");
    ASSERT_TRUE(second->Append(Attempt(1, "Regular", "", "3.459", PriceOutcome::Sent)));
    const std::string afterSecond = ReadWholeFile(m_dir / "voxa-prices.csv");
    // Never rewritten: the first run's lines stand as they were, the new one after them.
    EXPECT_EQ(afterSecond, afterFirst + time + ",voxa-ctl,op,1,Regular,,3.459,sent\n");
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
    EXPECT_NE(ReadWholeFile(m_dir / "voxa-prices-1.csv").find(",3.459,3.449,sent\n"),
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
                                           CsvCase{"\n", {{""}}}));

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
