#include "change_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "file_contents.h"
#include "temporary_folder.h"

namespace {

class ChangeStoreTest : public ::testing::Test {
protected:
    std::filesystem::path Path() const { return m_folder.Path() / ChangeStore::kFileName; }

    static ChangeResult Result(const std::string &id) {
        ChangeResult result;
        result.id = id;
        result.outcome = "confirmed";
        return result;
    }

    TemporaryFolder m_folder{"voxa-change-store"};
};

TEST_F(ChangeStoreTest, MissingFileIsAnEmptyStore) {
    ChangeStore store(Path());
    std::string problem;
    EXPECT_TRUE(store.Load(problem));
    EXPECT_TRUE(store.WaitingChanges().empty());
}

TEST_F(ChangeStoreTest, KeepsWaitingChangesHandledResultsAndOutboxAcrossALoad) {
    ChangeStore store(Path());
    PriceChange change;
    change.id = "c1";
    change.author = "a";
    change.issuedAt = 1796709600;
    change.effectiveAt = 1796710200;
    change.prices = {{3, "3.799"}};
    store.WaitingChanges().push_back({change, 1796709601, true, "line 2 superseded by c0"});
    store.AddHandled(Result("c0"));
    store.Outbox().push_back({"voxa/s/results", "{}"});
    std::string problem;
    ASSERT_TRUE(store.Save(problem)) << problem;
    struct stat status {};
    ASSERT_EQ(stat(Path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    ChangeStore again(Path());
    ASSERT_TRUE(again.Load(problem)) << problem;
    ASSERT_EQ(again.WaitingChanges().size(), 1u);
    const ChangeStore::Waiting &waiting = again.WaitingChanges()[0];
    EXPECT_EQ(waiting.change.prices, change.prices);
    EXPECT_EQ(waiting.change.effectiveAt, 1796710200);
    EXPECT_EQ(waiting.receivedAt, 1796709601);
    EXPECT_TRUE(waiting.applying);
    EXPECT_EQ(waiting.note, "line 2 superseded by c0");
    ASSERT_NE(again.Handled("c0"), nullptr);
    EXPECT_EQ(again.Handled("c0")->outcome, "confirmed");
    EXPECT_EQ(again.Handled("c1"), nullptr);
    ASSERT_EQ(again.Outbox().size(), 1u);
    EXPECT_EQ(again.Outbox()[0].topic, "voxa/s/results");
}

TEST_F(ChangeStoreTest, ForgetsTheOldestHandledIdsBeyondItsRoom) {
    ChangeStore store(Path());
    for (std::size_t i = 0; i <= ChangeStore::kHandledKept; ++i)
        store.AddHandled(Result("c" + std::to_string(i)));
    EXPECT_EQ(store.HandledCount(), ChangeStore::kHandledKept);
    EXPECT_EQ(store.Handled("c0"), nullptr);
    EXPECT_NE(store.Handled("c1"), nullptr);
}

TEST_F(ChangeStoreTest, RefusesAFileThatIsNotOurs) {
    for (const char *text : {"", "{", "[]", R"({"format":2})", "garbage"}) {
        WriteWholeFile(Path(), text);
        ChangeStore store(Path());
        std::string problem;
        EXPECT_FALSE(store.Load(problem)) << text;
        EXPECT_NE(problem.find(ChangeStore::kFileName), std::string::npos);
    }
}

TEST_F(ChangeStoreTest, RefusesAFolderInItsPlace) {
    std::filesystem::create_directory(Path());
    ChangeStore store(Path());
    std::string problem;
    EXPECT_FALSE(store.Load(problem));
    EXPECT_FALSE(store.Save(problem));
    EXPECT_NE(problem.find("rename()"), std::string::npos) << problem;
}

}  // namespace
