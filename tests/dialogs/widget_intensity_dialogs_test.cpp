#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>
#include <memory>

#include "dialog_test_kit.h"
#include "intensity_mode_dialog.h"
#include "light_sensor_dialog.h"
#include "manual_intensity_dialog.h"
#include "resource_ids.h"
#include "time_of_day_dialog.h"

namespace I = Ids::IntensityMode;
namespace T = Ids::TimeOfDay;

namespace {

const QString kLevelMessage = "Level out of range!\nPlease select a level.";
const QString kHoursMessage = "Hours out of range! \nPlease check your time entry.";
const QString kMinutesMessage = "Minutes out of range! \nPlease check your time entry.";

QString CheckedMode(QWidget *wizard) {
    QStringList on;
    for (int id : {I::kManual, I::kLightSensor, I::kTimeOfDay}) {
        if (Child<QRadioButton>(wizard, id)->isChecked()) on << IdName(id);
    }
    return on.join(',');
}

std::unique_ptr<ControllerDialog> MakeModeDialog(const QString &which, SignSystem &system) {
    if (which == "manual") return std::make_unique<ManualIntensityDialog>(system);
    if (which == "light sensor") return std::make_unique<LightSensorDialog>(system);
    return std::make_unique<TimeOfDayDialog>(system);
}

}  // namespace

// The intensity wizard and its three mode dialogs against the simulated controller: what
// each sends when it opens and on Apply, and where Apply stops.
class IntensityDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_site = std::make_unique<DialogSite>(); }
    void cleanup() { m_site.reset(); }

    void FaceListComesFromTheMasksOfTheInstalledLines_data();
    void FaceListComesFromTheMasksOfTheInstalledLines();
    void ReportedModeTurnsOnOneButton_data();
    void ReportedModeTurnsOnOneButton();
    void AnotherFaceAsksForItsModeOnly();
    void NextRunsTheChosenModeDialogForTheFace_data();
    void NextRunsTheChosenModeDialogForTheFace();
    void AccessKeyTurnsTheModeOnBeforeAQuickReturn();
    void CancelFinishEndsTheWizardSendingNothing_data();
    void CancelFinishEndsTheWizardSendingNothing();

    void ManualOpensOnTheFaceLevelAndApplies();
    void ManualHasOnlyItsTemplatesTexts();
    void LightSensorOpensOnBothSlotsAndApplies();
    void TimeOfDayOpensOnBothRows();
    void TimeOfDayApplyStopsAtTheFirstBadEntry_data();
    void TimeOfDayApplyStopsAtTheFirstBadEntry();
    void LevelWithoutSelectionIsRefusedNotSentAsZero_data();
    void LevelWithoutSelectionIsRefusedNotSentAsZero();
    void ModeDialogCancelSendsNothing_data();
    void ModeDialogCancelSendsNothing();

private:
    std::unique_ptr<DialogSite> m_site;
};

void IntensityDialogsTest::FaceListComesFromTheMasksOfTheInstalledLines_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<QList<int>>("masks");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("modeAsked");
    QTest::newRow("0x0B and 0x16") << 2 << QList<int>{0x0B, 0x16}
                                   << QStringList{"0: Pump", "1: North", "2: Not Installed",
                                                  "3: Not Installed", "4: Not Installed"}
                                   << "30";
    QTest::newRow("lines past the count do not count")
        << 1 << QList<int>{0x40, 0x01} << QStringList{"6: Not Installed"} << "30 6";
    QTest::newRow("more lines than the model holds")
        << 12 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0x80} << QStringList{"7: West"} << "30 7";
    QTest::newRow("no face at all") << 1 << QList<int>{0} << QStringList{} << "30";
}

void IntensityDialogsTest::FaceListComesFromTheMasksOfTheInstalledLines() {
    QFETCH(int, lines);
    QFETCH(QList<int>, masks);
    QFETCH(QStringList, items);
    QFETCH(QString, modeAsked);
    m_site->SetLines(lines, std::vector<std::uint8_t>(masks.begin(), masks.end()));
    m_site->system.SetFaceTag(0, "Pump");
    m_site->system.SetFaceTag(1, "North");
    m_site->system.SetFaceTag(7, "West");

    IntensityModeDialog wizard(m_site->system);
    wizard.Initialise();
    QCOMPARE(Items(&wizard, I::kFaceList), items);
    QCOMPARE(Child<QComboBox>(&wizard, I::kFaceList)->currentIndex(), items.isEmpty() ? -1 : 0);
    // An empty list asks for face 0.
    QCOMPARE(m_site->Requests(), QStringList({"34", modeAsked}));
}

void IntensityDialogsTest::ReportedModeTurnsOnOneButton_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("button");
    QTest::newRow("0") << 0 << I::kManual;
    QTest::newRow("1") << 1 << I::kManual;
    QTest::newRow("2") << 2 << I::kTimeOfDay;
    QTest::newRow("3") << 3 << I::kLightSensor;
    QTest::newRow("7") << 7 << I::kManual;
}

void IntensityDialogsTest::ReportedModeTurnsOnOneButton() {
    QFETCH(int, mode);
    QFETCH(int, button);
    m_site->SetLines(1, {0x01});
    m_site->State().faces[0].mode = mode;
    IntensityModeDialog wizard(m_site->system);
    wizard.Initialise();
    QCOMPARE(CheckedMode(&wizard), IdName(button));
}

void IntensityDialogsTest::AnotherFaceAsksForItsModeOnly() {
    m_site->SetLines(2, {0x0B, 0x16});
    m_site->State().faces[3].mode = 3;
    IntensityModeDialog wizard(m_site->system);
    wizard.Initialise();
    wizard.show();
    m_site->ForgetRequests();
    Choose(&wizard, I::kFaceList, "3: Not Installed");
    QCOMPARE(m_site->Requests(), QStringList({"30 3"}));
    QCOMPARE(CheckedMode(&wizard), IdName(I::kLightSensor));

    // Choosing a mode sends nothing.
    Click(&wizard, I::kTimeOfDay);
    QVERIFY(m_site->Requests().size() == 1);
    QCOMPARE(m_site->State().faces[3].mode, 3);
}

void IntensityDialogsTest::NextRunsTheChosenModeDialogForTheFace_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("Manual") << I::kManual << IdName(Ids::Dialog::kManualIntensity);
    QTest::newRow("Light Sensor") << I::kLightSensor << IdName(Ids::Dialog::kLightSensor);
    QTest::newRow("Time of Day") << I::kTimeOfDay << IdName(Ids::Dialog::kTimeOfDay);
}

void IntensityDialogsTest::NextRunsTheChosenModeDialogForTheFace() {
    QFETCH(int, button);
    QFETCH(QString, dialog);
    m_site->SetLines(2, {0x0B, 0x16});
    IntensityModeDialog wizard(m_site->system);
    QStringList ran;
    wizard.SetModalRunner([&](QDialog &modeDialog) {
        ran << modeDialog.objectName() + " face " + QString::number(m_site->system.CurrentFace());
        return Ids::Result::kCancel;
    });
    wizard.Initialise();
    wizard.show();
    m_site->ForgetRequests();

    Choose(&wizard, I::kFaceList, "2: Not Installed");
    Click(&wizard, button);
    Click(&wizard, I::kNext);
    // The wizard stays open for the next face; the current face follows the last Next.
    QVERIFY(wizard.isVisible());
    Choose(&wizard, I::kFaceList, "4: Not Installed");
    Click(&wizard, button);
    QTest::keyClick(&wizard, Qt::Key_Return);  // Next is the default button

    QCOMPARE(ran, QStringList({dialog + " face 2", dialog + " face 4"}));
    QCOMPARE(m_site->system.CurrentFace(), 4);
    QCOMPARE(m_site->Requests(), QStringList({"30 2", "30 4"}));
}

void IntensityDialogsTest::AccessKeyTurnsTheModeOnBeforeAQuickReturn() {
    IntensityModeDialog wizard(m_site->system);
    QStringList ran;
    wizard.SetModalRunner([&](QDialog &modeDialog) {
        ran << modeDialog.objectName();
        return Ids::Result::kCancel;
    });
    wizard.Initialise();
    wizard.show();
    QApplication::setActiveWindow(&wizard);
    QVERIFY(QTest::qWaitForWindowActive(&wizard));
    QTest::keyClick(&wizard, Qt::Key_T, Qt::AltModifier);
    QTest::keyClick(&wizard, Qt::Key_Return);
    QCOMPARE(ran, QStringList{IdName(Ids::Dialog::kTimeOfDay)});
}

void IntensityDialogsTest::CancelFinishEndsTheWizardSendingNothing_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel / Finish") << false;
    QTest::newRow("Escape") << true;
}

void IntensityDialogsTest::CancelFinishEndsTheWizardSendingNothing() {
    QFETCH(bool, escape);
    IntensityModeDialog wizard(m_site->system);
    wizard.Initialise();
    wizard.show();
    m_site->ForgetRequests();
    if (escape)
        QTest::keyClick(&wizard, Qt::Key_Escape);
    else
        Click(&wizard, I::kCancelFinish);
    QVERIFY(!wizard.isVisible());
    QCOMPARE(wizard.result(), I::kCancelFinish);
    QVERIFY(m_site->Requests().isEmpty());
}

void IntensityDialogsTest::ManualOpensOnTheFaceLevelAndApplies() {
    m_site->system.SetCurrentFace(3);
    m_site->State().faces[3] = {2, 2, {1, 5}};
    ManualIntensityDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    QCOMPARE(m_site->Requests(), QStringList({"34", "29 3"}));
    QCOMPARE(Child<QLabel>(&dialog, Ids::ManualIntensity::kHeading)->text(),
             QString("Face 3 Intensity Mode Setting:"));
    QCOMPARE(Selected(&dialog, Ids::ManualIntensity::kLevelList), QString("2"));

    m_site->ForgetRequests();
    Choose(&dialog, Ids::ManualIntensity::kLevelList, "5");
    Click(&dialog, Ids::Result::kApply);
    QVERIFY(dialog.isVisible());
    QCOMPARE(m_site->Requests(), QStringList({"28 3 5", "31 3 1"}));
    QCOMPARE(m_site->State().faces[3].mode, 1);
    QCOMPARE(m_site->State().faces[3].manualLevel, 5);
}

void IntensityDialogsTest::LightSensorOpensOnBothSlotsAndApplies() {
    m_site->system.SetCurrentFace(5);
    m_site->State().faces[5] = {1, 4, {2, 4}};  // night 2, day 4
    LightSensorDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    QCOMPARE(m_site->Requests(), QStringList({"34", "27 5 1", "27 5"}));
    QCOMPARE(Child<QLabel>(&dialog, Ids::LightSensor::kHeading)->text(),
             QString("Face 5 Light Sensor Settings:"));
    QCOMPARE(Selected(&dialog, Ids::LightSensor::kDayLevelList), QString("4"));
    QCOMPARE(Selected(&dialog, Ids::LightSensor::kNightLevelList), QString("2"));

    m_site->ForgetRequests();
    Choose(&dialog, Ids::LightSensor::kDayLevelList, "5");
    Choose(&dialog, Ids::LightSensor::kNightLevelList, "1");
    Click(&dialog, Ids::Result::kOk);
    QCOMPARE(dialog.result(), Ids::Result::kOk);
    QCOMPARE(m_site->Requests(), QStringList({"26 5 1 5", "26 5 0 1", "31 5 3"}));
    QCOMPARE(m_site->State().faces[5].mode, 3);
}

void IntensityDialogsTest::TimeOfDayOpensOnBothRows() {
    m_site->system.SetCurrentFace(1);
    m_site->State().faces[1].slotLevels = {3, 4};
    m_site->State().switchTimes = {ControllerModel::ShortTime{7, 5, false},
                                   ControllerModel::ShortTime{12, 0, true}};
    TimeOfDayDialog dialog(m_site->system);
    dialog.Initialise();
    // Each row reads its level, then its switch time; the switch times carry no face.
    QCOMPARE(m_site->Requests(), QStringList({"34", "27 1 1", "25 1", "27 1", "25 2"}));
    QCOMPARE(Child<QLabel>(&dialog, T::kHeading)->text(),
             QString("Time of Day Intensity Mode: Face 1"));
    const QStringList shown = {
        Selected(&dialog, T::kFirstLevelList),  TextOf(&dialog, T::kFirstHour),
        TextOf(&dialog, T::kFirstMinute),       Selected(&dialog, T::kFirstMeridian),
        Selected(&dialog, T::kSecondLevelList), TextOf(&dialog, T::kSecondHour),
        TextOf(&dialog, T::kSecondMinute),      Selected(&dialog, T::kSecondMeridian)};
    QCOMPARE(shown, QStringList({"4", "7", "05", "AM", "3", "12", "00", "PM"}));
}

void IntensityDialogsTest::TimeOfDayApplyStopsAtTheFirstBadEntry_data() {
    QTest::addColumn<QStringList>("entries");  // first hour, minute, second hour, minute
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("messages");
    // Face 2; the first row reads level 5 at 6:00 AM, the second level 2 at 8:00 PM
    // (hour byte 8 + 0x80 = 136).
    QTest::newRow("12:00 AM and 12:00 PM accepted")
        << QStringList{"12", "00", "12", "00"}
        << QStringList{"26 2 1 5", "24 1 12", "26 2 0 2", "24 2 140", "31 2 2"} << QStringList{};
    QTest::newRow("7 and letters read as 7")
        << QStringList{"7pm", "30x", "8", "0"}
        << QStringList{"26 2 1 5", "24 1 7 30", "26 2 0 2", "24 2 136", "31 2 2"} << QStringList{};
    QTest::newRow("first hour 0") << QStringList{"0", "00", "8", "0"} << QStringList{"26 2 1 5"}
                                  << QStringList{kHoursMessage};
    QTest::newRow("first hour 13") << QStringList{"13", "00", "8", "0"} << QStringList{"26 2 1 5"}
                                   << QStringList{kHoursMessage};
    QTest::newRow("first hour empty")
        << QStringList{"", "00", "8", "0"} << QStringList{"26 2 1 5"} << QStringList{kHoursMessage};
    QTest::newRow("first minute 60") << QStringList{"6", "60", "8", "0"} << QStringList{"26 2 1 5"}
                                     << QStringList{kMinutesMessage};
    QTest::newRow("second hour -1")
        << QStringList{"6", "0", "-1", "0"} << QStringList{"26 2 1 5", "24 1 6", "26 2 0 2"}
        << QStringList{kHoursMessage};
    QTest::newRow("second minute 75")
        << QStringList{"6", "0", "8", "75"} << QStringList{"26 2 1 5", "24 1 6", "26 2 0 2"}
        << QStringList{kMinutesMessage};
}

void IntensityDialogsTest::TimeOfDayApplyStopsAtTheFirstBadEntry() {
    QFETCH(QStringList, entries);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, messages);
    m_site->system.SetCurrentFace(2);
    m_site->State().faces[2].slotLevels = {2, 5};
    m_site->State().switchTimes = {ControllerModel::ShortTime{6, 0, false},
                                   ControllerModel::ShortTime{8, 0, true}};
    TimeOfDayDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    m_site->ForgetRequests();
    Type(&dialog, T::kFirstHour, entries[0]);
    Type(&dialog, T::kFirstMinute, entries[1]);
    Type(&dialog, T::kSecondHour, entries[2]);
    Type(&dialog, T::kSecondMinute, entries[3]);
    Click(&dialog, Ids::Result::kOk);

    QCOMPARE(m_site->Requests(), sent);
    QCOMPARE(Messages(m_site->console), messages);
    // OK closes whether or not Apply refused an entry.
    QCOMPARE(dialog.result(), Ids::Result::kOk);
}

void IntensityDialogsTest::LevelWithoutSelectionIsRefusedNotSentAsZero_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("badSlot");
    QTest::addColumn<QStringList>("sent");
    // Face 6 reports a level outside 1 to 5; what Apply sent before that list stays sent.
    QTest::newRow("manual") << "manual" << -1 << QStringList{};
    QTest::newRow("light sensor, day") << "light sensor" << 1 << QStringList{};
    QTest::newRow("light sensor, night") << "light sensor" << 0 << QStringList{"26 6 1 3"};
    QTest::newRow("time of day, first row") << "time of day" << 1 << QStringList{};
    QTest::newRow("time of day, second row")
        << "time of day" << 0 << QStringList{"26 6 1 3", "24 1 6"};
}

void IntensityDialogsTest::LevelWithoutSelectionIsRefusedNotSentAsZero() {
    QFETCH(QString, dialog);
    QFETCH(int, badSlot);
    QFETCH(QStringList, sent);
    m_site->system.SetCurrentFace(6);
    ControllerModel::Face &face = m_site->State().faces[6];
    face = {1, 3, {3, 3}};
    if (badSlot < 0)
        face.manualLevel = 9;
    else
        face.slotLevels[badSlot] = 0;
    std::unique_ptr<ControllerDialog> modeDialog = MakeModeDialog(dialog, m_site->system);
    modeDialog->Initialise();
    modeDialog->show();
    m_site->ForgetRequests();
    Click(modeDialog.get(), Ids::Result::kApply);

    QCOMPARE(m_site->Requests(), sent);
    QCOMPARE(Messages(m_site->console), QStringList{kLevelMessage});
    QCOMPARE(face.mode, 1);
}

void IntensityDialogsTest::ModeDialogCancelSendsNothing_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<bool>("escape");
    for (const char *which : {"manual", "light sensor", "time of day"}) {
        QTest::addRow("%s, Cancel", which) << QString(which) << false;
        QTest::addRow("%s, Escape", which) << QString(which) << true;
    }
}

void IntensityDialogsTest::ModeDialogCancelSendsNothing() {
    QFETCH(QString, dialog);
    QFETCH(bool, escape);
    std::unique_ptr<ControllerDialog> modeDialog = MakeModeDialog(dialog, m_site->system);
    modeDialog->Initialise();
    modeDialog->show();
    m_site->ForgetRequests();
    for (auto *list : modeDialog->findChildren<QComboBox *>()) list->setCurrentIndex(0);
    if (escape)
        QTest::keyClick(modeDialog.get(), Qt::Key_Escape);
    else
        Click(modeDialog.get(), Ids::Result::kCancel);
    QCOMPARE(modeDialog->result(), Ids::Result::kCancel);
    QVERIFY(m_site->Requests().isEmpty());
}

void IntensityDialogsTest::ManualHasOnlyItsTemplatesTexts() {
    ManualIntensityDialog dialog(m_site->system);
    QStringList texts;
    for (const QLabel *label : dialog.findChildren<QLabel *>()) {
        if (!label->text().isEmpty()) texts << label->text();
    }
    texts.sort();
    QCOMPARE(texts,
             QStringList({"Face N Intensity Mode Setting:", "Levels: 5 - Highest, 1 - Lowest"}));
}

QTEST_MAIN(IntensityDialogsTest)
#include "widget_intensity_dialogs_test.moc"
