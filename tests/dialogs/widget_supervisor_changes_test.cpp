#include <QtTest>
#include <memory>

#include "change_journal.h"
#include "dialog_test_kit.h"
#include "duty_cycle_dialog.h"
#include "manual_intensity_dialog.h"
#include "resource_ids.h"
#include "tags_dialog.h"

namespace {

struct RecordingJournal : ChangeJournal {
    void Record(const SupervisorChange &change) override { changes.push_back(change); }
    std::vector<SupervisorChange> changes;
};

QString Before(const SupervisorChange &change) {
    return change.before ? QString::fromStdString(*change.before) : QString("(not read)");
}

}  // namespace

// What the supervisor dialogs put on record: one row for each value they send, with the value
// their opening read found (nothing where it failed) and the value sent.
class SupervisorChangesTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_site = std::make_unique<DialogSite>();
        m_site->system.SetJournal(&m_journal);
        m_journal.changes.clear();
    }
    void cleanup() { m_site.reset(); }

    void ManualIntensityRecordsTheLevelReadAndTheLevelSet();
    void DutyCycle_data();
    void DutyCycle();
    void TagsRecordOnlyTheTagThatChanged();
    void CancelRecordsNothing();

private:
    std::unique_ptr<DialogSite> m_site;
    RecordingJournal m_journal;
};

void SupervisorChangesTest::ManualIntensityRecordsTheLevelReadAndTheLevelSet() {
    m_site->system.SetCurrentFace(3);
    m_site->State().faces[3] = {2, 2, {1, 5}};
    ManualIntensityDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    QVERIFY(m_journal.changes.empty());
    Choose(&dialog, Ids::ManualIntensity::kLevelList, "5");
    Click(&dialog, Ids::Result::kApply);
    QCOMPARE(m_journal.changes.size(), std::size_t{2});
    QCOMPARE(m_journal.changes[0].what, std::string("manual level (face 3)"));
    QCOMPARE(Before(m_journal.changes[0]), QString("2"));
    QCOMPARE(m_journal.changes[0].after, std::string("5"));
    QCOMPARE(m_journal.changes[0].outcome, std::string("done"));
    // The mode was not read by this dialog: no value before.
    QCOMPARE(m_journal.changes[1].what, std::string("intensity mode (face 3)"));
    QCOMPARE(Before(m_journal.changes[1]), QString("(not read)"));
    QCOMPARE(m_journal.changes[1].after, std::string("manual"));
}

void SupervisorChangesTest::DutyCycle_data() {
    QTest::addColumn<bool>("readFails");
    QTest::addColumn<QString>("before");
    QTest::newRow("read") << false << "12";
    // Shown empty with "Not read": the value the sign system held before must not pass for
    // the value before.
    QTest::newRow("not read") << true << "(not read)";
}

void SupervisorChangesTest::DutyCycle() {
    QFETCH(bool, readFails);
    QFETCH(QString, before);
    m_site->State().dutyCycles[0] = 12;
    // Read once before: what the sign system holds when the dialog's own read fails.
    m_site->system.GetDutyCycle(1);
    if (readFails) {
        FaultPlan &faults = m_site->controller.Faults();
        faults.forcedStatus = 18;
        faults.forcedStatusCount = 1;
        faults.forcedStatusCommand = 23;
    }
    DutyCycleDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    m_journal.changes.clear();
    Type(&dialog, Ids::DutyCycle::kDutyCycle, "40");
    Click(&dialog, Ids::Result::kOk);
    QCOMPARE(m_journal.changes.size(), std::size_t{1});
    QCOMPARE(m_journal.changes[0].what, std::string("duty cycle (level 1)"));
    QCOMPARE(Before(m_journal.changes[0]), before);
    QCOMPARE(m_journal.changes[0].after, std::string("40"));
}

void SupervisorChangesTest::TagsRecordOnlyTheTagThatChanged() {
    m_site->SetLines(2, {0x01, 0x03});
    m_site->system.SetLineTag(1, "Plus");
    m_site->system.SetFaceTag(0, "North");
    TagsDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    Choose(&dialog, Ids::Tags::kLineList, "1");
    Type(&dialog, Ids::Tags::kLineTag, "Diesel");
    Click(&dialog, Ids::Result::kOk);
    QCOMPARE(m_journal.changes.size(), std::size_t{1});
    QCOMPARE(m_journal.changes[0].what, std::string("line tag (line 2)"));
    QCOMPARE(Before(m_journal.changes[0]), QString("Plus"));
    QCOMPARE(m_journal.changes[0].after, std::string("Diesel"));
}

void SupervisorChangesTest::CancelRecordsNothing() {
    DutyCycleDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    Type(&dialog, Ids::DutyCycle::kDutyCycle, "40");
    Click(&dialog, Ids::Result::kCancel);
    QVERIFY(m_journal.changes.empty());
}

QTEST_MAIN(SupervisorChangesTest)
#include "widget_supervisor_changes_test.moc"
