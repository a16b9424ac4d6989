// The chain of a log: what an edit, a crash and an earlier version's log look like to
// Verify(), and appending that goes on after each.
#include "chained_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "file_contents.h"
#include "price_log_file.h"
#include "sha256.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::time_t kNoon = 1796212800;

ChainedLog::Layout TestLayout() {
    return {"voxa-test", "time,what,chain", "time,what", "test log", "test rows"};
}

class ChainedLogTest : public ::testing::Test {
protected:
    ChainedLog Log() { return ChainedLog(m_dir, TestLayout()); }
    fs::path File() const { return m_dir / "voxa-test.csv"; }

    // Appends rows 1..count.
    void Write(int count) {
        ChainedLog log = Log();
        for (int n = 1; n <= count; ++n) ASSERT_TRUE(log.Append({"t" + std::to_string(n), "row"}));
    }

    ChainedLog::Verdict Verdict() {
        ChainedLog::Verdict verdict;
        std::string reason;
        EXPECT_TRUE(Log().Verify(verdict, reason)) << reason;
        return verdict;
    }

    // The file with one of its lines (1 = the header) replaced by what edit makes of it.
    void EditLine(int number, const std::function<std::string(std::string)> &edit) {
        std::string text = ReadWholeFile(File());
        std::size_t start = 0;
        for (int n = 1; n < number; ++n) start = text.find('\n', start) + 1;
        const std::size_t end = text.find('\n', start);
        text = text.substr(0, start) + edit(text.substr(start, end - start)) + text.substr(end);
        WriteWholeFile(File(), text);
    }

    TemporaryFolder m_folder{"voxa-chained-log"};
    const fs::path m_dir = m_folder.Path();
};

TEST(Sha256, IsLibcryptosDigestInHex) {
    EXPECT_EQ(Sha256::Hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256::Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_TRUE(Sha256::IsHex(Sha256::Hex("x")));
    EXPECT_FALSE(Sha256::IsHex(std::string(63, 'a')));
    EXPECT_FALSE(Sha256::IsHex(std::string(64, 'A')));
}

TEST_F(ChainedLogTest, EachRowChainsOntoTheOneBefore) {
    Write(3);
    const std::string first = ChainedLog::ChainValue(ChainedLog::kFirstCarry, "t1,row");
    const std::string second = ChainedLog::ChainValue(first, "t2,row");
    const std::string third = ChainedLog::ChainValue(second, "t3,row");
    EXPECT_EQ(ReadWholeFile(File()), "time,what,chain\nt1,row," + first + "\nt2,row," + second +
                                         "\nt3,row," + third + "\n");
    const ChainedLog::Verdict verdict = Verdict();
    EXPECT_TRUE(verdict.fits);
    EXPECT_EQ(verdict.rows, 3);
    EXPECT_EQ(verdict.firstChainedLine, 2);
    EXPECT_EQ(verdict.Text("voxa-test.csv"),
              "voxa-test.csv: 3 rows; the chain holds from the first row to the end.");
}

// Each edit an editor can make is found, at the line it was made.
struct Edit {
    const char *name;
    int line;  // of the file, the header being 1
    std::function<std::string(std::string)> change;
    long badLine;
};

class ChainedLogEdit : public ChainedLogTest, public ::testing::WithParamInterface<Edit> {};

TEST_P(ChainedLogEdit, IsFoundByVerify) {
    Write(5);
    EditLine(GetParam().line, GetParam().change);
    const ChainedLog::Verdict verdict = Verdict();
    EXPECT_FALSE(verdict.fits);
    EXPECT_EQ(verdict.badLine, GetParam().badLine);
    // Every row is counted, also those after the first that does not fit.
    EXPECT_GE(verdict.rows, 4);
    EXPECT_NE(verdict.Text("voxa-test.csv")
                  .find("line " + std::to_string(GetParam().badLine) + " does not fit the chain"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, ChainedLogEdit,
    ::testing::Values(
        Edit{"OneByteOfAField", 3, [](std::string l) { return l.replace(1, 1, "9"); }, 3},
        Edit{"OneByteOfAChainValue", 4,
             [](std::string l) { return l.replace(l.size() - 1, 1, l.back() == '0' ? "1" : "0"); },
             4},
        Edit{"ADeletedRow", 3, [](std::string) { return std::string("\r"); }, 4},
        Edit{"ARowPutIn", 3, [](std::string l) { return "t9,inserted\n" + l; }, 3},
        Edit{"ARowCopied", 3, [](std::string l) { return l + "\n" + l; }, 4},
        Edit{"ARowAddedAtTheEnd", 6, [](std::string l) { return l + "\nt6,added"; }, 7}),
    [](const ::testing::TestParamInfo<Edit> &info) { return info.param.name; });

// A crash in the middle of the last row leaves it cut, with nothing after it: that is no edit,
// and the next append ends the line and goes on, its row chained over the cut one.
TEST_F(ChainedLogTest, AFileCutInItsLastRowIsACrashAndAppendingGoesOn) {
    Write(3);
    std::string text = ReadWholeFile(File());
    for (std::size_t cut : {text.size() - 2, text.size() - 30, text.size() - 70}) {
        WriteWholeFile(File(), text.substr(0, cut));
        const ChainedLog::Verdict verdict = Verdict();
        EXPECT_TRUE(verdict.fits) << cut;
        EXPECT_EQ(verdict.cutLine, 4) << cut;
        EXPECT_NE(verdict.Text("f").find("The last line, 4, was cut short"), std::string::npos);
    }
    ChainedLog log = Log();
    ASSERT_TRUE(log.Append({"t4", "after the crash"}));
    const ChainedLog::Verdict verdict = Verdict();
    EXPECT_TRUE(verdict.fits) << verdict.Text("f");
    EXPECT_EQ(verdict.cutLine, 0);
    EXPECT_EQ(verdict.looseLines, std::vector<long>{4});
    // ... and the cut row, now inside the chain, can no more be changed than any other.
    EditLine(4, [](std::string l) { return l.replace(0, 1, "X"); });
    EXPECT_FALSE(Verdict().fits);
}

// A last line that was not cut as it was written (it ends with its line end) has no reason to
// be without a chain value.
TEST_F(ChainedLogTest, AWholeLastLineWithoutAChainValueIsAnEdit) {
    Write(2);
    WriteWholeFile(File(), ReadWholeFile(File()) + "t3,typed\n");
    const ChainedLog::Verdict verdict = Verdict();
    EXPECT_FALSE(verdict.fits);
    EXPECT_EQ(verdict.badLine, 4);
}

// A program stopped between Begin and Complete leaves the row as begun, which verifies; so
// does each way a completion can go.
TEST_F(ChainedLogTest, BegunRowsVerifyHoweverTheyEnd) {
    ChainedLog first = Log();
    ASSERT_TRUE(first.Begin({"t1", "sending"}, 10));
    EXPECT_TRUE(Verdict().fits);  // killed here
    ASSERT_TRUE(first.Complete({"t1", "sent"}));
    EXPECT_EQ(ReadWholeFile(File()),
              "time,what,chain\nt1,sent," +
                  ChainedLog::ChainValue(ChainedLog::kFirstCarry, "t1,sent") + "\n");
    EXPECT_TRUE(Verdict().fits);

    ASSERT_TRUE(first.Begin({"t2", "sending"}, 10));
    ChainedLog second = Log();
    ASSERT_TRUE(second.Append({"t3", "other"}));
    ASSERT_TRUE(first.Complete({"t2", "confirmed"}));
    const ChainedLog::Verdict verdict = Verdict();
    EXPECT_TRUE(verdict.fits) << verdict.Text("f");
    EXPECT_EQ(verdict.rows, 4);  // the completion is a row of its own
}

// The earlier version's log: continued under its own header, its rows taken into the chain as
// they stand when the first chained row is written, and the report says where the chain
// starts.
TEST_F(ChainedLogTest, AnEarlierVersionsLogIsContinuedAndChainedFromItsNextRow) {
    const std::string old = "time,what\nt1,old\nt2,old\n";
    WriteWholeFile(File(), old);
    ChainedLog::Verdict verdict = Verdict();
    EXPECT_TRUE(verdict.fits);
    EXPECT_EQ(verdict.firstChainedLine, 0);
    EXPECT_NE(verdict.Text("f").find("none of them chained yet"), std::string::npos);

    ChainedLog log = Log();
    EXPECT_EQ(log.Prepare(), "");
    EXPECT_EQ(log.Path(), File());
    ASSERT_TRUE(log.Append({"t3", "new"}));
    EXPECT_EQ(ReadWholeFile(File()).substr(0, old.size()), old);
    verdict = Verdict();
    EXPECT_TRUE(verdict.fits) << verdict.Text("f");
    EXPECT_EQ(verdict.firstChainedLine, 4);
    EXPECT_EQ(verdict.unchainedRows, 2);
    EXPECT_NE(verdict.Text("f").find("the chain starts at line 4 (2 rows before it"),
              std::string::npos);
    // An old row changed afterwards breaks the first chained one.
    EditLine(2, [](std::string) { return "t1,changed"; });
    verdict = Verdict();
    EXPECT_FALSE(verdict.fits);
    EXPECT_EQ(verdict.badLine, 4);
}

// The same for the price log written by the previous version of the programs.
TEST_F(ChainedLogTest, APreviousVersionsPriceLogIsContinuedNotReplaced) {
    const std::string old = std::string(PriceLogFile::kHeader) +
                            "\n2026-12-01T09:00:00+00:00,workstation,op,1,Regular,3.499,3.459,"
                            "sent\n";
    WriteWholeFile(m_dir / "voxa-prices.csv", old);
    PriceLogFile log(m_dir, "head-office");
    log.SetClock([] { return kNoon; });
    EXPECT_EQ(log.Prepare(), "");
    ASSERT_TRUE(log.Append(PriceAttempt{2, "Plus", "3.599", "3.559", PriceOutcome::Confirmed, false, ""}));
    EXPECT_EQ(log.Path(), m_dir / "voxa-prices.csv");
    EXPECT_EQ(ReadWholeFile(log.Path()).substr(0, old.size()), old);
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(log.Read(entries, reason)) << reason;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].outcome, "sent");
    EXPECT_EQ(entries[1].source, "head-office");
    EXPECT_EQ(entries[1].outcome, "confirmed");
    ChainedLog::Verdict verdict;
    ASSERT_TRUE(log.Verify(verdict, reason));
    EXPECT_TRUE(verdict.fits);
    EXPECT_EQ(verdict.firstChainedLine, 3);
}

// A forced price keeps its mark and the question that was answered.
TEST_F(ChainedLogTest, AForcedPriceIsMarkedWithItsQuestion) {
    PriceLogFile log(m_dir, "voxa-ctl");
    PriceAttempt attempt{1, "Regular", "3.499", "4.999", PriceOutcome::Sending, false, ""};
    attempt.forced = true;
    attempt.question = "The price changes by 43%, more than 10%.\nSend it anyway?";
    ASSERT_TRUE(log.Begin(attempt));
    ASSERT_TRUE(log.Complete(PriceOutcome::Confirmed));
    std::vector<PriceLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(log.Read(entries, reason));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].outcome, "confirmed (forced)");
    EXPECT_EQ(entries[0].question, "The price changes by 43%, more than 10%. Send it anyway?");
    ChainedLog::Verdict verdict;
    ASSERT_TRUE(log.Verify(verdict, reason));
    EXPECT_TRUE(verdict.fits);
}

// The start-up check of a large log is one pass that keeps little in memory.
TEST_F(ChainedLogTest, ALargeLogIsVerifiedInOnePass) {
    std::string text = "time,what,chain\n";
    std::string carry(ChainedLog::kFirstCarry);
    for (int n = 0; n < 20000; ++n) {
        const std::string row = "2026-12-07T10:00:00+00:00," + std::to_string(n);
        text += ChainedLog::ChainedLine({"2026-12-07T10:00:00+00:00", std::to_string(n)}, carry);
        carry = ChainedLog::ChainValue(carry, row);
    }
    WriteWholeFile(File(), text);
    const ChainedLog::Verdict verdict = Verdict();
    EXPECT_TRUE(verdict.fits) << verdict.Text("f");
    EXPECT_EQ(verdict.rows, 20000);
}

}  // namespace
