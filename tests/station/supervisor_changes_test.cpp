// Supervisor changes on record: the sign system's journal (what, the value read before, the
// value set, the outcome; never a password), the NVRAM image rows, and the event log file.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "change_journal.h"
#include "event_log_file.h"
#include "file_contents.h"
#include "nvram_transfer.h"
#include "sha256.h"
#include "simulated_site.h"
#include "temporary_folder.h"

namespace {

struct RecordingJournal : ChangeJournal {
    void Record(const SupervisorChange &change) override { changes.push_back(change); }
    std::vector<SupervisorChange> changes;
};

class SupervisorChanges : public ::testing::Test {
protected:
    SupervisorChanges() { site.system.SetJournal(&journal); }

    SimulatedSite site;
    SignSystem &system = site.system;
    RecordingJournal journal;
};

// Each command that changes a setting, after the read a dialog opens with: one record, with
// what was read before and what was set.
struct Change {
    const char *name;
    std::function<std::string(SignSystem &)> read;  // gives the value read, as recorded
    std::function<void(SignSystem &)> set;
    const char *what;
    const char *after;
};

class EverySetting : public SupervisorChanges, public ::testing::WithParamInterface<Change> {};

TEST_P(EverySetting, IsOneRecordWithTheValueReadBeforeAndTheValueSet) {
    const std::string before = GetParam().read(system);
    ASSERT_TRUE(journal.changes.empty());
    GetParam().set(system);
    ASSERT_EQ(journal.changes.size(), 1u);
    const SupervisorChange &change = journal.changes[0];
    EXPECT_EQ(change.what, GetParam().what);
    EXPECT_EQ(change.before, before);
    EXPECT_EQ(change.after, GetParam().after);
    EXPECT_EQ(change.outcome, "done");
    // What was set is what the next change starts from.
    GetParam().set(system);
    ASSERT_EQ(journal.changes.size(), 2u);
    EXPECT_EQ(journal.changes[1].before, GetParam().after);
}

std::string Short(const ShortTimeRecord &t) {
    return std::to_string(t.hour) + ":" + (t.minute < 10 ? "0" : "") + std::to_string(t.minute) +
           " " + t.ampm;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, EverySetting,
    ::testing::Values(
        Change{"ManualLevel", [](SignSystem &s) { return std::to_string(s.GetManualLevel(1)); },
               [](SignSystem &s) { s.SetManualLevel(1, 4); }, "manual level (face 1)", "4"},
        Change{"IntensityMode",
               [](SignSystem &s) {
                   s.GetIntensityMode(0);
                   return std::string(s.LastIntensityMode() == 2   ? "time of day"
                                      : s.LastIntensityMode() == 3 ? "light sensor"
                                                                   : "manual");
               },
               [](SignSystem &s) { s.SetIntensityMode(0, 3); }, "intensity mode (face 0)",
               "light sensor"},
        Change{"FaceLevel", [](SignSystem &s) { return std::to_string(s.GetFaceLevel(0, 1)); },
               [](SignSystem &s) { s.SetFaceLevel(0, 1, 4); }, "face level (face 0, slot 1)", "4"},
        Change{"DutyCycle", [](SignSystem &s) { return std::to_string(s.GetDutyCycle(2)); },
               [](SignSystem &s) { s.SetDutyCycle(2, 40); }, "duty cycle (level 2)", "40"},
        Change{"SwitchTime", [](SignSystem &s) { return Short(s.GetSwitchTime(0, 1)); },
               [](SignSystem &s) {
                   s.SetSwitchTime(0, 1, {7, 5, "PM"});
               },
               "switch time (1)", "7:05 PM"},
        Change{"OnOffTime", [](SignSystem &s) { return Short(s.GetOnOffTime(0)); },
               [](SignSystem &s) {
                   s.SetOnOffTime(0, {6, 30, "AM"});
               },
               "on/off time (0)", "6:30 AM"},
        Change{"OnOffTimer",
               [](SignSystem &s) { return std::string(s.GetOnOffTimerSwitch() ? "on" : "off"); },
               [](SignSystem &s) { s.SetOnOffTimerSwitch(true); }, "on/off timer", "on"},
        Change{"DaylightSaving",
               [](SignSystem &s) { return std::string(s.GetDaylightSaving() ? "on" : "off"); },
               [](SignSystem &s) { s.SetDaylightSaving(false); }, "daylight saving", "off"},
        Change{"Date",
               [](SignSystem &s) {
                   const DateRecord d = s.GetDate();
                   return std::to_string(d.month) + "/" + std::to_string(d.day) + "/" +
                          std::to_string(d.year);
               },
               [](SignSystem &s) {
                   s.SetDate({12, 7, 2026});
               },
               "date", "12/7/2026"},
        Change{"Time",
               [](SignSystem &s) {
                   s.GetTime();
                   return *s.ReadValue("time");
               },
               [](SignSystem &s) {
                   s.SetTime({9, 15, 0, "AM"});
               },
               "time", "9:15:00 AM"}),
    [](const ::testing::TestParamInfo<Change> &info) { return info.param.name; });

// A value not read has no value before: "the last good value" never passes for a reading.
TEST_F(SupervisorChanges, AValueNotReadHasNoValueBefore) {
    system.SetManualLevel(0, 2);
    ASSERT_EQ(journal.changes.size(), 1u);
    EXPECT_FALSE(journal.changes[0].before.has_value());
}

// A change the controller refused is on record as refused, and what the setting holds is not
// known afterwards.
TEST_F(SupervisorChanges, ARefusedChangeIsRefusedAndLeavesNoValueBefore) {
    system.GetTime();
    system.SetTime({0, 60, 0, "AM"});  // no such time: the controller refuses it
    ASSERT_EQ(journal.changes.size(), 1u);
    EXPECT_EQ(journal.changes[0].outcome, "refused");
    EXPECT_TRUE(journal.changes[0].before.has_value());
    system.SetTime({9, 0, 0, "AM"});
    ASSERT_EQ(journal.changes.size(), 2u);
    EXPECT_FALSE(journal.changes[1].before.has_value());
}

TEST_F(SupervisorChanges, PasswordsAreOnRecordButNeverTheirText) {
    const std::string right = site.model.Current().password;
    EXPECT_TRUE(system.VerifyPassword(right));
    EXPECT_FALSE(system.VerifyPassword("wrong-one"));
    system.ChangePassword("s3cret-new");
    ASSERT_EQ(journal.changes.size(), 3u);
    EXPECT_EQ(journal.changes[0].what, "password verified");
    EXPECT_EQ(journal.changes[0].outcome, "done");
    EXPECT_EQ(journal.changes[1].what, "password refused");
    EXPECT_EQ(journal.changes[2].what, "password changed");
    for (const SupervisorChange &change : journal.changes) {
        for (const std::string &text : {change.before.value_or(""), change.after}) {
            EXPECT_EQ(text.find(right), std::string::npos);
            EXPECT_EQ(text.find("wrong-one"), std::string::npos);
            EXPECT_EQ(text.find("s3cret"), std::string::npos);
        }
    }
}

TEST_F(SupervisorChanges, MaintenanceCommandsAreOnRecord) {
    system.ClearFailLog();
    system.ClearResetLog();
    system.StartSignTest();
    ASSERT_EQ(journal.changes.size(), 3u);
    EXPECT_EQ(journal.changes[0].what, "fail log cleared");
    EXPECT_EQ(journal.changes[1].what, "reset log cleared");
    EXPECT_EQ(journal.changes[2].what, "sign test");
}

// An NVRAM image is named by its file, its size and its SHA-256, so that an inspector can
// tell which image the controller was given.
TEST_F(SupervisorChanges, NvramImagesAreNamedWithTheirSizeAndDigest) {
    TemporaryFolder folder{"voxa-changes"};
    const std::string path = (folder.Path() / "cc.nvr").string();
    site.model.ResetNvram(100);
    NvramTransfer transfer(system);
    ASSERT_EQ(transfer.Save(path).outcome, NvramTransfer::Outcome::Complete);
    const std::string image = ReadWholeFile(path);
    ASSERT_EQ(journal.changes.size(), 1u);
    EXPECT_EQ(journal.changes[0].what, "NVRAM image saved");
    EXPECT_EQ(journal.changes[0].after, path + " (" + std::to_string(image.size()) +
                                            " bytes, SHA-256 " + Sha256::Hex(image) + ")");
    EXPECT_EQ(journal.changes[0].outcome, "done");
    ASSERT_EQ(transfer.Load(path).outcome, NvramTransfer::Outcome::Complete);
    ASSERT_EQ(journal.changes.size(), 2u);
    EXPECT_EQ(journal.changes[1].what, "NVRAM image loaded");
    EXPECT_EQ(journal.changes[1].after, journal.changes[0].after);
}

// A long path gives up its beginning, never the digest, to the room of a value.
TEST_F(SupervisorChanges, ALongImagePathKeepsItsDigest) {
    TemporaryFolder folder{"voxa-changes"};
    // Deep rather than long: a name of 240 bytes leaves no room for the temporary beside it.
    const std::filesystem::path deep =
        folder.Path() / std::string(100, 'a') / std::string(100, 'b') / std::string(100, 'c');
    std::filesystem::create_directories(deep);
    const std::string path = (deep / (std::string(40, 'n') + ".nvr")).string();
    site.model.ResetNvram(32);
    NvramTransfer transfer(system);
    ASSERT_EQ(transfer.Save(path).outcome, NvramTransfer::Outcome::Complete);
    ASSERT_EQ(journal.changes.size(), 1u);
    const std::string &after = journal.changes[0].after;
    EXPECT_EQ(after.size(), ChainedLog::kFieldRoom - 1);
    EXPECT_EQ(after.substr(0, 3), "...");
    EXPECT_NE(after.find("nnn.nvr (32 bytes, SHA-256 " + Sha256::Hex(ReadWholeFile(path)) + ")"),
              std::string::npos);
}

// The event log file: one chained row per change, fields on one line and within their room.
TEST(EventLogFileTest, EachChangeIsOneChainedRow) {
    TemporaryFolder folder{"voxa-events"};
    EventLogFile log(folder.Path(), "voxa-ctl");
    log.SetUser("op");
    log.SetClock([] { return std::time_t{1796212800}; });
    EXPECT_EQ(log.Prepare(), "");
    log.Record({"manual level (face 0)", std::string("3"), "4", "done"});
    log.Record({"line tag (line 1)", std::nullopt, "Two\nlines" + std::string(300, 'x'), "done"});
    EXPECT_EQ(log.Problem(), "");
    const std::string text = ReadWholeFile(log.Path());
    EXPECT_EQ(text.rfind(std::string(EventLogFile::kHeader) + "\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    std::vector<EventLogFile::Entry> entries;
    std::string reason;
    ASSERT_TRUE(log.ReadEach([&](EventLogFile::Entry &&e) { entries.push_back(e); }, reason));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].source, "voxa-ctl");
    EXPECT_EQ(entries[0].user, "op");
    EXPECT_EQ(entries[0].before, "3");
    EXPECT_EQ(entries[0].after, "4");
    EXPECT_EQ(entries[1].before, "");
    EXPECT_EQ(entries[1].after.size(), 255u);
    EXPECT_EQ(entries[1].after.substr(0, 10), "Two linesx");
    ChainedLog::Verdict verdict;
    ASSERT_TRUE(log.Verify(verdict, reason));
    EXPECT_TRUE(verdict.fits) << verdict.Text("events");
}

// A file of that name that is not ours is left alone, as the price log's.
TEST(EventLogFileTest, AFileThatIsNotOursIsLeftAlone) {
    TemporaryFolder folder{"voxa-events"};
    WriteWholeFile(folder.Path() / "voxa-events.csv", "someone else's\n");
    EventLogFile log(folder.Path(), "workstation");
    EXPECT_EQ(log.Prepare(),
              "voxa-events.csv is not a VOXA event log (its first line is not the log's "
              "header), so it is left as it is: supervisor changes are logged in "
              "voxa-events-1.csv instead.");
    log.Record({"port", std::string("COM1"), "COM2", "done"});
    EXPECT_EQ(ReadWholeFile(folder.Path() / "voxa-events.csv"), "someone else's\n");
    EXPECT_NE(ReadWholeFile(folder.Path() / "voxa-events-1.csv").find(",port,COM1,COM2,done,"),
              std::string::npos);
}

}  // namespace
