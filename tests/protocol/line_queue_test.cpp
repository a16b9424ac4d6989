#include "line_queue.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;

class LineQueueTest : public ::testing::Test {
protected:
    std::string LockPath() const { return (m_dir / "LCK..ttyUSB0").string(); }
    fs::path QueuePath() const { return m_dir / "voxa-queue..ttyUSB0"; }

    TemporaryFolder m_folder{"voxa-queue"};
    const fs::path m_dir = m_folder.Path();
};

TEST_F(LineQueueTest, FirstIsWhoJoinedFirstAndTheNextMovesUpWhenItLeaves) {
    std::vector<std::unique_ptr<LineQueue>> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.push_back(std::make_unique<LineQueue>(LockPath()));
        ASSERT_TRUE(waiters.back()->Usable());
        waiters.back()->Join();
        ASSERT_TRUE(waiters.back()->Joined());
    }
    LineQueue newcomer(LockPath());
    const auto firsts = [&] {
        std::vector<bool> someoneFirst;
        for (const auto &waiter : waiters) someoneFirst.push_back(waiter->SomeoneFirst());
        return someoneFirst;
    };
    EXPECT_EQ(firsts(), (std::vector<bool>{false, true, true}));
    // A program that has not joined finds others waiting, and goes behind them.
    EXPECT_TRUE(newcomer.SomeoneFirst());

    waiters[0]->Leave();
    EXPECT_FALSE(waiters[0]->Joined());
    EXPECT_EQ(firsts(), (std::vector<bool>{true, false, true}));
    waiters[2].reset();  // gone, place and all
    waiters[1]->Leave();
    EXPECT_FALSE(newcomer.SomeoneFirst());
    // A second Join keeps the first place.
    newcomer.Join();
    LineQueue later(LockPath());
    later.Join();
    newcomer.Join();
    EXPECT_FALSE(newcomer.SomeoneFirst());
    EXPECT_TRUE(later.SomeoneFirst());
}

TEST_F(LineQueueTest, AWaiterThatIsKilledLeavesNoGap) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        LineQueue queue(LockPath());
        queue.Join();
        const char joined = queue.Joined() ? 'y' : 'n';
        if (::write(ready[1], &joined, 1) != 1) ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    char joined = 0;
    ASSERT_EQ(::read(ready[0], &joined, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(joined, 'y');
    LineQueue queue(LockPath());
    queue.Join();
    EXPECT_TRUE(queue.SomeoneFirst());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(queue.SomeoneFirst());
}

TEST_F(LineQueueTest, ItsFileIsMadeReadableForEveryUserWhateverTheUmask) {
    const mode_t before = ::umask(077);
    {
        LineQueue queue(LockPath());
        EXPECT_TRUE(queue.Usable());
    }
    ::umask(before);
    struct stat status {};
    ASSERT_EQ(::stat(QueuePath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
}

// Anything but a regular file of that name is not used: nobody queues, and nothing
// planted there is followed or blocked on.
TEST_F(LineQueueTest, APlantedLinkOrFifoIsNotUsed) {
    fs::create_symlink(m_dir / "elsewhere", QueuePath());
    EXPECT_FALSE(LineQueue(LockPath()).Usable());
    EXPECT_FALSE(fs::exists(m_dir / "elsewhere"));
    fs::remove(QueuePath());
    ASSERT_EQ(::mkfifo(QueuePath().c_str(), 0644), 0);
    LineQueue queue(LockPath());
    EXPECT_FALSE(queue.Usable());
    queue.Join();
    EXPECT_FALSE(queue.Joined());
    EXPECT_FALSE(queue.SomeoneFirst());
}

TEST(LineQueue, NamedAfterTheLockFile) {
    EXPECT_EQ(LineQueue::FileNameFor("LCK..ttyUSB0"), "voxa-queue..ttyUSB0");
    EXPECT_EQ(LineQueue::FileNameFor("LCK..pts_3"), "voxa-queue..pts_3");
}

}  // namespace
