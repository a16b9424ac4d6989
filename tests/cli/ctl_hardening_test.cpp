// The real voxa-ctl under faults and hostile files: killed or stopped at every stage of a
// price, a full disk, a huge log, things planted in the place of its files, a controller
// with no memory to save or one that wants its memory loaded, a run killed while it holds
// the port, and a password in memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "csv_text.h"
#include "ctl_process_fixture.h"
#include "exit_status.h"
#include "file_contents.h"
#include "file_size_limit.h"
#include "line_lock.h"
#include "nvram_transfer.h"
#include "price_log_file.h"

// Whether this test program, and so the programs it runs, are built with the address
// sanitizer.
#if defined(__SANITIZE_ADDRESS__)
#define VOXA_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOXA_TEST_UNDER_ASAN 1
#endif
#endif
#ifndef VOXA_TEST_UNDER_ASAN
#define VOXA_TEST_UNDER_ASAN 0
#endif

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uid_t kNobody = 65534;

class CtlHardening : public CtlProcess {
protected:
    std::vector<std::string> Ctl(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--device", LinkPath()});
        return args;
    }
    fs::path Log() const { return fs::path(m_dir) / PriceLogFile::kFileName; }
    // The log's lines after the header, as the reader takes them.
    std::vector<PriceLogFile::Entry> Entries() const {
        PriceLogFile log(m_dir, "test");
        std::vector<PriceLogFile::Entry> entries;
        std::string reason;
        EXPECT_TRUE(log.Read(entries, reason)) << reason;
        return entries;
    }
    // The price a line of the simulated controller's site takes, of its line's format.
    std::string PriceFor(int line, char digit) const {
        std::string price = m_reference.Current().lines[static_cast<std::size_t>(line - 1)].format;
        for (char &c : price) c = c == '8' ? digit : c;
        return price;
    }
};

// ---- A price is on record, whatever stops the program ----

struct Stop {
    const char *name;
    int signal;
    std::chrono::milliseconds after;  // after the line "sending" appeared
};

void PrintTo(const Stop &c, std::ostream *os) {
    *os << c.name;
}

class CtlStopped : public CtlHardening, public ::testing::WithParamInterface<Stop> {};

// The moment the line says "sending" the request is about to go out; the transaction takes
// about 600 ms more (the request, the reply, the closing wait of 500 ms). A kill at any of
// these stages leaves the price on record; a stop request (SIGTERM, SIGINT) lets the program
// put the outcome in before it ends as the signal asks.
TEST_P(CtlStopped, AtAnyStageLeavesThePriceOnRecord) {
    const Stop &c = GetParam();
    StartSimulator({"--lines", "2"});
    const std::string price = PriceFor(1, '4');
    ChildProcess ctl(VOXA_CTL_PATH, Ctl({"set-line-price", "1", price}), m_dir);
    ASSERT_TRUE(ctl.Started());
    const auto end = Clock::now() + 30s;
    while (ReadWholeFile(Log()).find(",sending") == std::string::npos && Clock::now() < end) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_NE(ReadWholeFile(Log()).find(",sending"), std::string::npos) << "no line appeared";
    std::this_thread::sleep_for(c.after);
    ::kill(ctl.Pid(), c.signal);
    const std::optional<int> status = ctl.Finish(30s);
    ASSERT_TRUE(status) << "still running";

    const std::vector<PriceLogFile::Entry> entries = Entries();
    ASSERT_EQ(entries.size(), 1u) << ReadWholeFile(Log());
    EXPECT_EQ(entries[0].line, "1");
    EXPECT_EQ(entries[0].newPrice, price);
    const std::string &outcome = entries[0].outcome;
    if (c.signal == SIGKILL) {
        EXPECT_TRUE(outcome == "sending" || outcome == "sent") << outcome;
    } else {
        // Finished before the program ended; whether the stop came in time to end the run
        // before its end, it ends as the signal says or with its own status.
        EXPECT_TRUE(outcome == "sent" || outcome == "unknown") << outcome;
        EXPECT_TRUE(*status == 128 + c.signal || *status == ExitStatus::kOk) << *status;
        if (*status == 128 + c.signal) {
            EXPECT_NE(ctl.ErrText().find("voxa-ctl: stopped ("), std::string::npos)
                << ctl.ErrText();
        }
    }
    // What the log says came true: a price that was sent is the line's price.
    if (outcome == "sent") {
        const CtlRun get = RunCtl(Ctl({"get-line-price", "1"}));
        EXPECT_EQ(get.out, price + "\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Stages, CtlStopped,
                         ::testing::Values(Stop{"KillDuringTheRequest", SIGKILL, 0ms},
                                           Stop{"KillDuringTheReply", SIGKILL, 100ms},
                                           Stop{"KillInTheClosingWait", SIGKILL, 350ms},
                                           Stop{"TermDuringTheRequest", SIGTERM, 0ms},
                                           Stop{"TermDuringTheReply", SIGTERM, 100ms},
                                           Stop{"TermInTheClosingWait", SIGTERM, 350ms},
                                           Stop{"IntInTheClosingWait", SIGINT, 450ms}),
                         [](const auto &row) { return std::string(row.param.name); });

// ---- A full disk, a huge log ----

// A line that did not go in whole (here a file size limit, as a full disk) leaves no half
// line behind it that would hide the lines after it: the quoted tag's open quote would
// otherwise swallow them.
TEST_F(CtlHardening, AFullDiskLeavesNoHalfLineToHideTheNext) {
    StartSimulator({"--lines", "2"});
    WriteWholeFile(fs::path(m_dir) / "voxa.ini", "[Tags]\ntag0=Diesel, truck\n");
    ASSERT_EQ(RunCtl(Ctl({"set-line-price", "1", PriceFor(1, '4')}), m_dir).status,
              ExitStatus::kOk);
    const std::string before = ReadWholeFile(Log());
    CtlRun full;
    {
        FileSizeLimit limit(before.size() + 40);
        ASSERT_TRUE(limit.Active());
        full = RunCtl(Ctl({"set-line-price", "1", PriceFor(1, '5')}), m_dir);
    }
    // The price went out all the same; the log's trouble is told.
    EXPECT_EQ(full.status, ExitStatus::kOk) << full.err;
    EXPECT_NE(full.err.find("price change not logged: " + Log().string() + ": write() failed"),
              std::string::npos)
        << full.err;
    EXPECT_EQ(ReadWholeFile(Log()), before);

    ASSERT_EQ(RunCtl(Ctl({"set-line-price", "1", PriceFor(1, '6')}), m_dir).status,
              ExitStatus::kOk);
    const CtlRun history = RunCtl({"price-history"}, m_dir);
    EXPECT_EQ(history.status, ExitStatus::kOk) << history.err;
    const std::vector<CsvText::Row> rows = CsvText::Parse(history.out);
    ASSERT_EQ(rows.size(), 3u) << history.out;
    EXPECT_EQ(rows[1][4], "Diesel, truck");
    EXPECT_EQ(rows[1][6], PriceFor(1, '4'));
    EXPECT_EQ(rows[2][6], PriceFor(1, '6'));
    EXPECT_EQ(rows[2][7], "sent");
}

// price-history goes through a log of any length line by line: a log of 32 MB costs it no
// more memory than a small one.
TEST_F(CtlHardening, PriceHistoryStreamsAHugeLog) {
    {
        std::string text = std::string(PriceLogFile::kHeader) + "\n";
        const std::string line =
            "2026-12-07T10:00:00+00:00,voxa-ctl,pos,1,Regular,3.499,3.459,confirmed\n";
        text.reserve(32u << 20);
        while (text.size() < (32u << 20)) text += line;
        WriteWholeFile(Log(), text);
    }
    // Under the address sanitizer, freed memory is held back for a while to catch late use,
    // which would count every line ever read: the child is told to hold back none, and its
    // runtime's own memory (30 MB at rest, about 100 MB through this log) is allowed for. A
    // log held whole takes several times that.
    std::size_t limitKb = 16 * 1024;
#if VOXA_TEST_UNDER_ASAN
    const char *set = std::getenv("ASAN_OPTIONS");
    const std::optional<std::string> given =
        set != nullptr ? std::optional<std::string>(set) : std::nullopt;
    const std::string options =
        given.value_or("") + ":quarantine_size_mb=0:thread_local_quarantine_size_kb=0";
    ::setenv("ASAN_OPTIONS", options.c_str(), 1);
    limitKb = 160 * 1024;
#endif
    rusage before{};
    ::getrusage(RUSAGE_CHILDREN, &before);
    const CtlRun run = RunCtl({"price-history", "--line", "2"}, m_dir, 60s);
    rusage after{};
    ::getrusage(RUSAGE_CHILDREN, &after);
    EXPECT_EQ(run.status, ExitStatus::kOk) << run.err;
    EXPECT_EQ(run.out, std::string(PriceLogFile::kHeader) + "\n");
    // ru_maxrss in kilobytes; the largest child so far, which is this one.
    EXPECT_LT(static_cast<std::size_t>(after.ru_maxrss), limitKb)
        << "voxa-ctl took " << after.ru_maxrss << " kB";
#if VOXA_TEST_UNDER_ASAN
    if (given) {
        ::setenv("ASAN_OPTIONS", given->c_str(), 1);
    } else {
        ::unsetenv("ASAN_OPTIONS");
    }
#endif
}

// ---- Things planted in the place of its files ----

struct Planted {
    const char *name;
    std::function<void(const fs::path &folder)> plant;
    std::vector<std::string> args;  // after --device LINE
    int status;
    std::string says;  // on standard error
    std::function<void(const fs::path &folder)> check;
};

void PrintTo(const Planted &c, std::ostream *os) {
    *os << c.name;
}

void Fifo(const fs::path &path) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0);
}

void StillAFifo(const fs::path &path) {
    EXPECT_EQ(fs::symlink_status(path).type(), fs::file_type::fifo) << path;
}

std::vector<Planted> PlantedCases() {
    return {
        {"FifoAsVoxaIni",
         [](const fs::path &f) { Fifo(f / "voxa.ini"); },
         {"get-number-of-lines"},
         ExitStatus::kTransactionFailed,
         "voxa-ctl: Load(): ./voxa.ini is a named pipe, not a regular file; nothing was sent\n",
         [](const fs::path &f) { StillAFifo(f / "voxa.ini"); }},
        {"VoxaIniLinkedToAnEndlessDevice",
         [](const fs::path &f) { fs::create_symlink("/dev/zero", f / "voxa.ini"); },
         {"get-number-of-lines"},
         ExitStatus::kTransactionFailed,
         "voxa-ctl: Load(): ./voxa.ini is a character device, not a regular file; nothing was "
         "sent\n",
         {}},
        {"PriceLogLinkedElsewhere",
         [](const fs::path &f) {
             WriteWholeFile(f / "elsewhere", "someone's\n");
             fs::create_symlink(f / "elsewhere", f / "voxa-prices.csv");
         },
         {"set-line-price", "1", "4.449"},
         ExitStatus::kOk,
         "voxa-ctl: voxa-prices.csv is not a VOXA price log (it is a symbolic link, not a "
         "regular file), so it is left as it is: price changes are logged in "
         "voxa-prices-1.csv instead.\n",
         [](const fs::path &f) {
             EXPECT_EQ(ReadWholeFile(f / "elsewhere"), "someone's\n");
             EXPECT_NE(ReadWholeFile(f / "voxa-prices-1.csv").find(",4.449,sent,,"),
                       std::string::npos);
         }},
        {"FifoAsPriceLog",
         [](const fs::path &f) { Fifo(f / "voxa-prices.csv"); },
         {"price-history"},
         ExitStatus::kOk,
         "voxa-ctl: voxa-prices.csv is not a VOXA price log (it is a named pipe, not a regular "
         "file)",
         [](const fs::path &f) { StillAFifo(f / "voxa-prices.csv"); }},
        {"FifoAsImageToSave",
         [](const fs::path &f) { Fifo(f / "site.nvr"); },
         {"save-nvram-image", "site.nvr"},
         ExitStatus::kTransactionFailed,
         "voxa-ctl: NVRAM image not saved: cannot write site.nvr (it is a named pipe, not a "
         "regular file).\n",
         [](const fs::path &f) { StillAFifo(f / "site.nvr"); }},
        {"FifoAsImageToLoad",
         [](const fs::path &f) { Fifo(f / "site.nvr"); },
         {"load-nvram-image", "site.nvr"},
         ExitStatus::kTransactionFailed,
         "voxa-ctl: NVRAM image not loaded: cannot read site.nvr (it is a named pipe, not a "
         "regular file).\n",
         [](const fs::path &f) { StillAFifo(f / "site.nvr"); }},
        {"ImageLinkedToADevice",
         [](const fs::path &f) { fs::create_symlink("/dev/null", f / "site.nvr"); },
         {"save-nvram-image", "site.nvr"},
         ExitStatus::kTransactionFailed,
         "voxa-ctl: NVRAM image not saved: cannot write site.nvr (it leads to /dev/null, which "
         "is a character device, not a regular file).\n",
         [](const fs::path &) {
             EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
         }},
    };
}

class CtlPlanted : public CtlHardening, public ::testing::WithParamInterface<Planted> {};

// Refused by name, at once, and left as they were.
TEST_P(CtlPlanted, IsRefusedWithoutWaitingAndLeftAlone) {
    const Planted &c = GetParam();
    StartSimulator({"--lines", "2", "--nvram-size", "32"});
    c.plant(m_dir);
    const CtlRun run = RunCtl(Ctl(c.args), m_dir, 20s);
    ASSERT_TRUE(run.status) << "still running";
    EXPECT_EQ(*run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_LT(run.took, 10s);
    if (c.check) c.check(m_dir);
}

INSTANTIATE_TEST_SUITE_P(InPlaceOfItsFiles, CtlPlanted, ::testing::ValuesIn(PlantedCases()),
                         [](const auto &row) { return std::string(row.param.name); });

// As root, save-nvram-image onto a device node once replaced it with a regular file.
TEST_F(CtlHardening, AnImageIsNeverSavedOverADeviceNode) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root makes device nodes";
    StartSimulator({"--nvram-size", "32"});
    const fs::path node = fs::path(m_dir) / "null.nvr";
    ASSERT_EQ(::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    const CtlRun run = RunCtl(Ctl({"save-nvram-image", node.string()}), m_dir);
    EXPECT_EQ(run.status, ExitStatus::kTransactionFailed) << run.err;
    EXPECT_NE(run.err.find("it is a character device, not a regular file"), std::string::npos)
        << run.err;
    EXPECT_EQ(fs::symlink_status(node).type(), fs::file_type::character);
}

// ---- The controller's memory ----

// A controller that reports a memory of 0 bytes has nothing to save: a good image of that
// name stays, and the run says so.
TEST_F(CtlHardening, ASaveOfAnEmptyMemoryLeavesAGoodImage) {
    StartSimulator({"--report-nvram-size", "0"});
    const fs::path image = fs::path(m_dir) / "good.nvr";
    const std::string good(2048, '\x5A');
    WriteWholeFile(image, good);
    const CtlRun run = RunCtl(Ctl({"save-nvram-image", image.string()}), m_dir);
    EXPECT_EQ(run.status, ExitStatus::kTransactionFailed) << run.err;
    EXPECT_EQ(run.err, "voxa-ctl: " + std::string(NvramTransfer::kEmptyMemoryText) + " " +
                           image.string() + " was left as it was.\n");
    EXPECT_EQ(ReadWholeFile(image), good);
}

// An image chosen through a link is written where the link leads, for its owner only, not
// with the permissions of the file there.
TEST_F(CtlHardening, AnImageSavedThroughALinkIsForItsOwnerOnly) {
    StartSimulator({"--nvram-size", "32"});
    const fs::path shared = fs::path(m_dir) / "shared.nvr";
    WriteWholeFile(shared, "old");
    ASSERT_EQ(::chmod(shared.c_str(), 0666), 0);
    fs::create_symlink(shared, fs::path(m_dir) / "site.nvr");
    const CtlRun run = RunCtl(Ctl({"save-nvram-image", "site.nvr"}), m_dir);
    EXPECT_EQ(run.status, ExitStatus::kOk) << run.err;
    EXPECT_TRUE(fs::is_symlink(fs::path(m_dir) / "site.nvr"));
    EXPECT_EQ(ReadWholeFile(shared).size(), 32u);
    struct stat status {};
    ASSERT_EQ(::stat(shared.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u) << std::oct << (status.st_mode & 0777);
}

// As the workstation does: a controller that wants its memory loaded is sent no price.
TEST_F(CtlHardening, NoPriceGoesToAControllerWhoseMemoryMustBeLoaded) {
    StartSimulator({"--nvram-update", "--trace"});
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"set-line-price", "1", "4.449"},
          std::vector<std::string>{"set-prices", "1=4.449", "2=4.559"}}) {
        const CtlRun run = RunCtl(Ctl(args), m_dir);
        EXPECT_EQ(run.status, ExitStatus::kTransactionFailed) << run.err;
        EXPECT_NE(run.err.find("reports that its NVRAM must be updated: no price is sent"),
                  std::string::npos)
            << run.err;
    }
    ASSERT_EQ(m_sim->Terminate(), 0);
    EXPECT_EQ(m_sim->ErrText().find("Set line price"), std::string::npos) << m_sim->ErrText();
    EXPECT_FALSE(fs::exists(Log()));
}

// ---- A run killed while it holds the port ----

int ExclusiveMode(int fd) {
    int exclusive = -1;
    return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 ? exclusive : -1;
}

// kill -9 in the middle of a transaction leaves exclusive mode set on the device, which no
// later open clears by itself. Root's next run takes it over and clears it; anyone else's is
// told what happened and how to put it right.
TEST_F(CtlHardening, ARunKilledWhileItHoldsThePortLeavesTheLineUsable) {
    StartSimulator({"--lines", "2"});
    const std::string device = fs::read_symlink(LinkPath()).string();
    bool left = false;
    for (int attempt = 0; attempt < 20 && !left; ++attempt) {
        // Opened before the run starts, so that exclusive mode does not keep it out.
        const int watch = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(watch, 0);
        ChildProcess ctl(VOXA_CTL_PATH, Ctl({"read-line-formats"}), m_dir);
        const auto end = Clock::now() + 20s;
        while (ExclusiveMode(watch) != 1 && Clock::now() < end) {
            std::this_thread::sleep_for(1ms);
        }
        ::kill(ctl.Pid(), SIGKILL);
        ctl.Finish(10s);
        left = ExclusiveMode(watch) == 1;
        ::close(watch);
    }
    ASSERT_TRUE(left) << "no run was killed while it held the port";
    // The controller drops the half request the killed run left once no byte has followed it
    // for its inter-byte limit (1 s); a request sent before that would be taken for its rest.
    std::this_thread::sleep_for(1500ms);

    if (::geteuid() == 0) {
        // The killed run's lock file is root's and stale; an ordinary user's run could not
        // remove it from the sticky lock folder (and would say so): gone, as that user's own
        // killed run's would be.
        fs::remove(fs::path(LineLock::kDefaultDirectory) / LineLock::FileNameFor(device));
        ASSERT_EQ(::chmod(device.c_str(), 0666), 0);
        const CtlRun other = [&] {
            ChildProcess ctl(VOXA_CTL_PATH, {"--device", device, "get-number-of-lines"}, "/",
                             std::nullopt, kNobody);
            CtlRun run;
            run.status = ctl.Finish(20s);
            run.err = ctl.ErrText();
            return run;
        }();
        EXPECT_EQ(other.status, ExitStatus::kTransactionFailed) << other.err;
        EXPECT_NE(other.err.find("the device is still marked exclusive by a program that ended; "
                                 "unplug and replug the adapter, or restart what provides the "
                                 "device, and try again"),
                  std::string::npos)
            << other.err;
        const CtlRun run = RunCtl(Ctl({"get-number-of-lines"}), m_dir);
        EXPECT_EQ(run.status, ExitStatus::kOk) << run.err;
        EXPECT_EQ(run.out, "2\n");

        const int watch = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(watch, 0);
        EXPECT_EQ(ExclusiveMode(watch), 0);
        ::close(watch);
    } else {
        const CtlRun run = RunCtl(Ctl({"get-number-of-lines"}), m_dir);
        EXPECT_EQ(run.status, ExitStatus::kTransactionFailed) << run.err;
        EXPECT_NE(run.err.find("the device is still marked exclusive by a program that ended"),
                  std::string::npos)
            << run.err;
    }
}

// ---- A password in memory ----

// While voxa-ctl holds a password, its process cannot be dumped: the kernel then gives its
// /proc files to root instead of to the user it runs as.
TEST_F(CtlHardening, APasswordRunCannotBeDumped) {
    const bool root = ::geteuid() == 0;
    const std::optional<uid_t> user = root ? std::optional<uid_t>(kNobody) : std::nullopt;
    const uid_t runsAs = root ? kNobody : ::geteuid();

    // Only of a process still running: the kernel gives an ended one's files to root too.
    const auto ownerOfFds = [](pid_t pid) -> std::optional<uid_t> {
        const std::string folder = "/proc/" + std::to_string(pid);
        const auto running = [&] {
            const std::string stat = ReadWholeFile(folder + "/stat");
            const std::size_t close = stat.rfind(')');
            return close != std::string::npos && close + 2 < stat.size() &&
                   stat[close + 2] != 'Z' && stat[close + 2] != 'X';
        };
        struct stat status {};
        if (!running() || ::stat((folder + "/fd").c_str(), &status) != 0 || !running())
            return std::nullopt;
        return status.st_uid;
    };
    // The owner once the run has got as far as the check asks (however long a loaded
    // machine takes), or as it stands at the limit.
    const auto ownerWhileRunning = [&](std::vector<std::string> args,
                                       const std::function<bool(pid_t, uid_t)> &farEnough) {
        // A controller that never answers keeps the run waiting, here with the password
        // in memory; a line of its own for each run.
        m_sim.reset();
        StartSimulator({"--silent"});
        const std::string device = fs::read_symlink(LinkPath()).string();
        if (root) EXPECT_EQ(::chmod(device.c_str(), 0666), 0);
        args.insert(args.begin(), {"--device", device});
        ChildProcess ctl(VOXA_CTL_PATH, args, "/", std::nullopt, user);
        std::optional<uid_t> owner;
        const auto end = Clock::now() + 10s;
        const std::string comm = "/proc/" + std::to_string(ctl.Pid()) + "/comm";
        while (Clock::now() < end) {
            // Not before it runs voxa-ctl: the child that changed its user to start it is
            // not dumpable by itself.
            owner = ReadWholeFile(comm) == "voxa-ctl\n" ? ownerOfFds(ctl.Pid()) : std::nullopt;
            if (owner && farEnough(ctl.Pid(), *owner)) break;
            std::this_thread::sleep_for(20ms);
        }
        ctl.Terminate();
        return std::make_pair(owner, device);
    };
    // An ordinary run's files are its user's while it waits on the line: the check tells
    // one kind of run from the other.
    const auto plain = ownerWhileRunning({"get-number-of-lines"}, [](pid_t pid, uid_t) {
        std::error_code error;
        for (const auto &fd :
             fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
            if (fs::read_symlink(fd.path(), error).string().rfind("/dev/pts/", 0) == 0) return true;
        }
        return false;
    });
    EXPECT_EQ(plain.first, runsAs);
    const auto secret = ownerWhileRunning({"verify-password", "voxa"},
                                          [](pid_t, uid_t owner) { return owner == 0; });
    EXPECT_EQ(secret.first, uid_t{0});
}

}  // namespace
